// The settings loader against any file content and length, and the saver
// against any four values.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "settings/settings_file.h"
#include "settings/settings_record.h"
#include "support/recording_notifier.h"
#include "texts/settings_texts.h"

namespace {

using torv::fuzz::require;

// One scratch directory per process, in memory when the machine has /dev/shm
// (the saver syncs every file it writes); removed when the process exits.
class ScratchDir {
public:
    ScratchDir()
    {
        const std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string tmpl = base + "/torv-fuzz-settings-XXXXXX";
        std::vector<char> name(tmpl.begin(), tmpl.end());
        name.push_back('\0');
        if (::mkdtemp(name.data()) == nullptr)
            torv::fuzz::violated("cannot make a scratch directory");
        path = name.data();
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

const std::string& scratchDir()
{
    static const ScratchDir dir;
    return dir.path;
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    require(f != nullptr, "cannot write the settings file");
    require(size == 0 || std::fwrite(data, 1, size, f) == size, "short write of the settings file");
    std::fclose(f);
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    require(f != nullptr, "the saved settings file is missing");
    for (int c; (c = std::fgetc(f)) != EOF;)
        bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(f);
    return bytes;
}

bool same(const torv::PortSettings& a, const torv::PortSettings& b)
{
    return a.ComIndex == b.ComIndex && a.BaudIndex == b.BaudIndex && a.ParityIndex == b.ParityIndex &&
           a.ModuleAddress == b.ModuleAddress;
}

// COM1, 9600 baud, no parity, address 1.
constexpr torv::PortSettings kDefaults{0, 1, 0, 1};
// Values no load may leave behind.
constexpr torv::PortSettings kLeftovers{0xA5, 0xA5, 0xA5, 0xA5};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    torv::fuzz::lastOutcome() = {};

    // A record is sound when it is complete, bytes 0..5 add up, as an
    // unsigned 16-bit number, to the little-endian word at 6, and its address
    // byte (2) names one module, 1..250.
    bool sound = size >= 8;
    if (sound) {
        unsigned sum = 0;
        for (std::size_t i = 0; i < 6; ++i)
            sum += data[i];
        sound = (sum & 0xFFFFu) == static_cast<unsigned>(data[6] | (data[7] << 8)) && data[2] >= 1 && data[2] <= 250;
    }
    // What is in the file: port, baud, address, parity (address before parity).
    const torv::PortSettings fromFile =
        sound ? torv::PortSettings{data[0], data[1], data[3], data[2]} : torv::PortSettings{};

    // The decoder on exactly the input's bytes, so a read past them is caught.
    torv::PortSettings decoded = kLeftovers;
    require(torv::DecodeSettingsRecord(data, size, decoded) == sound, "the decoder misjudged the record");
    require(same(decoded, sound ? fromFile : kLeftovers), "the decoder's values are wrong");

    torv::testing::RecordingNotifier notifier;
    torv::SettingsFile file(notifier, scratchDir());
    writeFile(file.path(), data, size);
    torv::PortSettings loaded = kLeftovers;
    file.LoadSettings(loaded);
    require(file.SettingsBad == !sound, "SettingsBad does not tell a damaged file");
    require(same(loaded, sound ? fromFile : kDefaults), "the load yielded neither the file's values nor the defaults");
    if (sound) {
        require(notifier.boxes.empty(), "a sound file raised a box");
    } else {
        require(notifier.boxes.size() == 1 && notifier.boxes[0].text == torv::texts::kSettingsDamaged &&
                    notifier.boxes[0].caption == torv::texts::kSettingsCaption,
                "a damaged file did not raise the damaged-file box");
    }
    ++(sound ? torv::fuzz::lastOutcome().accepted : torv::fuzz::lastOutcome().rejected);

    // Whatever four values the operator picks are saved; they come back
    // unless the address is outside 1..250, which loads as a damaged file.
    if (size >= 4) {
        const torv::PortSettings picked{data[0], data[1], data[2], data[3]};
        file.SaveSettings(picked);
        require(!file.SettingsBad, "a save left SettingsBad set");
        const std::vector<std::uint8_t> saved = readFile(file.path());
        const unsigned sum = picked.ComIndex + picked.BaudIndex + picked.ModuleAddress + picked.ParityIndex;
        const std::vector<std::uint8_t> expected{picked.ComIndex,    picked.BaudIndex, picked.ModuleAddress,
                                                 picked.ParityIndex, 0,                0,
                                                 static_cast<std::uint8_t>(sum & 0xFF),
                                                 static_cast<std::uint8_t>(sum >> 8)};
        require(saved == expected, "the saved record is wrong");
        const bool loadable = picked.ModuleAddress >= 1 && picked.ModuleAddress <= 250;
        torv::PortSettings reloaded = kLeftovers;
        file.LoadSettings(reloaded);
        require(same(reloaded, loadable ? picked : kDefaults) && file.SettingsBad == !loadable,
                "saved values did not load back as they should");
    }
    return 0;
}
