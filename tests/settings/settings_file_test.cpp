#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <iterator>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "settings/settings_file.h"
#include "support/recording_notifier.h"

namespace fs = std::filesystem;
using torv::PortSettings;
using torv::SettingsFile;
using torv::testing::RecordingNotifier;
using Bytes = std::vector<std::uint8_t>;

namespace {

class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "torv_settings_XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }
    fs::path file() const { return path_ / torv::kSettingsFileName; }

private:
    fs::path path_;
};

void writeFile(const fs::path& p, const Bytes& bytes)
{
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t entriesIn(const fs::path& dir)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

bool operator==(const PortSettings& a, const PortSettings& b)
{
    return a.ComIndex == b.ComIndex && a.BaudIndex == b.BaudIndex && a.ParityIndex == b.ParityIndex &&
           a.ModuleAddress == b.ModuleAddress;
}

const PortSettings kDefaults{0, 1, 0, 1};
const RecordingNotifier::Box kMissingBox{"notice", "Prawdopodobnie brak zbioru konfiguracyjnego.", "Uwaga !"};
const RecordingNotifier::Box kDamagedBox{"notice", "U W A G A   ! ! !\rUszkodzony zbiór konfiguracyjny.", "Uwaga !"};
const RecordingNotifier::Box kBlockedBox{"notice", "Blokada zapisu pliku na dysku !", "Uwaga !"};

struct LoadCase {
    const char* name;
    std::optional<Bytes> file; // nullopt: no file at all
    bool fileIsDirectory;
    PortSettings expected;
    bool bad;
    std::vector<RecordingNotifier::Box> boxes;
    bool fileIsLinkLoop = false;
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class LoadSettingsTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadSettingsTest, LoadsOrFallsBackToDefaults)
{
    const LoadCase& c = GetParam();
    TempDir dir;
    if (c.fileIsDirectory)
        fs::create_directory(dir.file());
    else if (c.fileIsLinkLoop)
        fs::create_symlink(torv::kSettingsFileName, dir.file());
    else if (c.file)
        writeFile(dir.file(), *c.file);

    RecordingNotifier notifier;
    SettingsFile file(notifier, dir.path().string());
    PortSettings s{9, 9, 9, 9}; // whatever was there before must not survive
    file.LoadSettings(s);

    EXPECT_TRUE(s == c.expected) << int(s.ComIndex) << ' ' << int(s.BaudIndex) << ' ' << int(s.ParityIndex) << ' '
                                 << int(s.ModuleAddress);
    EXPECT_EQ(file.SettingsBad, c.bad);
    EXPECT_EQ(notifier.boxes, c.boxes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadSettingsTest,
    ::testing::Values(
        // Port 1 (COM2), baud 0 (19200), address 5, parity index 2: address before parity.
        LoadCase{"sound", Bytes{0x01, 0x00, 0x05, 0x02, 0x00, 0x00, 0x08, 0x00}, false, {1, 0, 2, 5}, false, {}},
        LoadCase{"bad_checksum", Bytes{0x01, 0x00, 0x05, 0x02, 0x00, 0x00, 0x09, 0x00}, false, kDefaults, true,
                 {kDamagedBox}},
        LoadCase{"checksum_high_byte", Bytes{0x02, 0x02, 0xFA, 0x02, 0x00, 0x00, 0x00, 0x01}, false, {2, 2, 2, 250},
                 false, {}},
        LoadCase{"checksum_bytes_swapped", Bytes{0x02, 0x02, 0xFA, 0x02, 0x00, 0x00, 0x01, 0x00}, false, kDefaults,
                 true, {kDamagedBox}},
        LoadCase{"reserved_bytes_count_in_sum", Bytes{0x01, 0x00, 0x05, 0x02, 0x07, 0x00, 0x08, 0x00}, false,
                 kDefaults, true, {kDamagedBox}},
        LoadCase{"short", Bytes{0x01, 0x00, 0x05, 0x02, 0x00, 0x00, 0x08}, false, kDefaults, true, {kDamagedBox}},
        LoadCase{"empty", Bytes{}, false, kDefaults, true, {kDamagedBox}},
        LoadCase{"longer_than_record", Bytes{0x01, 0x00, 0x05, 0x02, 0x00, 0x00, 0x08, 0x00, 0xAA}, false,
                 {1, 0, 2, 5}, false, {}},
        LoadCase{"port_index_12_unchecked", Bytes{0x0C, 0x01, 0x01, 0x00, 0x00, 0x00, 0x0E, 0x00}, false,
                 {12, 1, 0, 1}, false, {}},
        // The checksum holds, but address 0 is the broadcast and no module has one above 250.
        LoadCase{"all_zero_address_0", Bytes(8, 0x00), false, kDefaults, true, {kDamagedBox}},
        LoadCase{"address_251", Bytes{0x00, 0x01, 0xFB, 0x00, 0x00, 0x00, 0xFC, 0x00}, false, kDefaults, true,
                 {kDamagedBox}},
        LoadCase{"address_255", Bytes{0x00, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01}, false, kDefaults, true,
                 {kDamagedBox}},
        LoadCase{"missing", std::nullopt, false, kDefaults, true, {kMissingBox}},
        LoadCase{"unreadable_directory", std::nullopt, true, kDefaults, true, {kMissingBox}},
        // A name that cannot be examined is unreadable like any other, not a crash.
        LoadCase{"link_loop", std::nullopt, false, kDefaults, true, {kMissingBox}, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct SaveCase {
    PortSettings settings;
    Bytes record;
    bool loadsBack = true; // false: an address the loader refuses
};

void PrintTo(const SaveCase& c, std::ostream* os)
{
    *os << int(c.settings.ComIndex) << '/' << int(c.settings.BaudIndex) << '/' << int(c.settings.ParityIndex) << '/'
        << int(c.settings.ModuleAddress);
}

class SaveSettingsTest : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveSettingsTest, WritesTheRecordAndReadsItBack)
{
    const SaveCase& c = GetParam();
    TempDir dir;
    RecordingNotifier notifier;
    SettingsFile file(notifier, dir.path().string());
    file.SaveSettings(c.settings);
    EXPECT_EQ(readFile(dir.file()), c.record);
    EXPECT_EQ(entriesIn(dir.path()), 1u) << "no temporary file may stay behind";

    PortSettings back;
    file.LoadSettings(back);
    EXPECT_TRUE(back == (c.loadsBack ? c.settings : kDefaults));
    EXPECT_EQ(notifier.boxes, c.loadsBack ? std::vector<RecordingNotifier::Box>{}
                                          : std::vector<RecordingNotifier::Box>{kDamagedBox});
}

INSTANTIATE_TEST_SUITE_P(
    Records, SaveSettingsTest,
    ::testing::Values(SaveCase{{2, 2, 2, 250}, {0x02, 0x02, 0xFA, 0x02, 0x00, 0x00, 0x00, 0x01}},
                      SaveCase{{0, 1, 0, 1}, {0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00}},
                      SaveCase{{255, 255, 255, 255}, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFC, 0x03}, false}));

TEST(SaveSettings, SuccessfulSaveClearsSettingsBadAndReplacesTheOldFile)
{
    TempDir dir;
    writeFile(dir.file(), {1, 2, 3});
    RecordingNotifier notifier;
    SettingsFile file(notifier, dir.path().string());
    PortSettings s;
    file.LoadSettings(s);
    ASSERT_TRUE(file.SettingsBad);

    s.ModuleAddress = 7;
    file.SaveSettings(s);
    EXPECT_FALSE(file.SettingsBad);
    EXPECT_EQ(readFile(dir.file()), (Bytes{0x00, 0x01, 0x07, 0x00, 0x00, 0x00, 0x08, 0x00}));
}

TEST(SaveSettings, MissingDirectoryReportsBlockedWrite)
{
    TempDir dir;
    RecordingNotifier notifier;
    SettingsFile file(notifier, (dir.path() / "no_such_dir").string());
    PortSettings s;
    file.LoadSettings(s);
    notifier.boxes.clear();

    file.SaveSettings(s);
    EXPECT_EQ(notifier.boxes, std::vector<RecordingNotifier::Box>{kBlockedBox});
    EXPECT_TRUE(file.SettingsBad);
}

TEST(SaveSettings, DirectoryInThePlaceOfTheFileIsLeftAloneAndNoTemporaryRemains)
{
    TempDir dir;
    fs::create_directory(dir.file());
    writeFile(dir.file() / "inside", {0x42});
    RecordingNotifier notifier;
    SettingsFile file(notifier, dir.path().string());

    file.SaveSettings(PortSettings{});
    EXPECT_EQ(notifier.boxes, std::vector<RecordingNotifier::Box>{kBlockedBox});
    EXPECT_TRUE(fs::is_directory(dir.file()));
    EXPECT_EQ(readFile(dir.file() / "inside"), Bytes{0x42});
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(SettingsFile, FifoInThePlaceOfTheFileIsNeitherWaitedOnNorReplaced)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file().c_str(), 0666), 0);
    RecordingNotifier notifier;
    SettingsFile file(notifier, dir.path().string());
    PortSettings s{9, 9, 9, 9};
    ::alarm(20); // an open that waits for a writer ends the test instead of hanging it
    file.LoadSettings(s);
    ::alarm(0);
    EXPECT_TRUE(s == kDefaults);
    file.SaveSettings(PortSettings{});
    EXPECT_EQ(notifier.boxes, (std::vector<RecordingNotifier::Box>{kMissingBox, kBlockedBox}));
    EXPECT_TRUE(fs::is_fifo(dir.file()));
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

// A disk that fills up in the middle of the record: the file size limit cuts
// the write short, which is what a full disk does.
TEST(SaveSettings, WriteCutShortKeepsTheOldFileIntact)
{
    TempDir dir;
    const Bytes old{0x01, 0x00, 0x05, 0x02, 0x00, 0x00, 0x08, 0x00};
    writeFile(dir.file(), old);
    RecordingNotifier notifier;
    SettingsFile file(notifier, dir.path().string());

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 4;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    file.SaveSettings(PortSettings{2, 2, 2, 250});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(notifier.boxes, std::vector<RecordingNotifier::Box>{kBlockedBox});
    EXPECT_EQ(readFile(dir.file()), old);
    EXPECT_EQ(entriesIn(dir.path()), 1u) << "the partial temporary file must be removed";

    PortSettings s;
    file.LoadSettings(s);
    EXPECT_FALSE(file.SettingsBad);
    EXPECT_EQ(s.ModuleAddress, 5);
}

// Root writes past file modes, so as root `body` runs in a child dropped to
// uid/gid 65534, owning `dir`. The body returns what went wrong or nullptr;
// the result is the child's exit status.
constexpr int kNoUnprivilegedUser = 77;

int runUnprivileged(const fs::path& dir, const std::function<const char*()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::chown(dir.c_str(), 65534, 65534) != 0 || ::setgroups(0, nullptr) != 0 ||
                                 ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(kNoUnprivilegedUser);
        // Capabilities left over would override modes just as root does.
        const fs::path probe = dir / "probe";
        const int created = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0444);
        const int reopened = created < 0 ? 0 : ::open(probe.c_str(), O_WRONLY);
        ::unlink(probe.c_str());
        if (reopened >= 0)
            ::_exit(kNoUnprivilegedUser);
        const char* failure = body();
        if (failure != nullptr)
            std::fprintf(stderr, "%s\n", failure);
        ::_exit(failure == nullptr ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

const Bytes kOldRecord{0x01, 0x00, 0x05, 0x02, 0x00, 0x00, 0x08, 0x00};
const PortSettings kNewSettings{2, 2, 2, 250};
const Bytes kNewRecord{0x02, 0x02, 0xFA, 0x02, 0x00, 0x00, 0x00, 0x01};

TEST(SaveSettings, WriteProtectedFileBlocksTheSaveAndStaysAsItWas)
{
    TempDir dir;
    const int status = runUnprivileged(dir.path(), [&]() -> const char* {
        writeFile(dir.file(), kOldRecord);
        fs::permissions(dir.file(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        RecordingNotifier notifier;
        SettingsFile file(notifier, dir.path().string());
        file.SaveSettings(kNewSettings);
        if (notifier.boxes != std::vector<RecordingNotifier::Box>{kBlockedBox})
            return "no blocked-write notice";
        if (readFile(dir.file()) != kOldRecord)
            return "the write-protected file was replaced";
        return entriesIn(dir.path()) == 1 ? nullptr : "a temporary file stayed behind";
    });
    if (status == kNoUnprivilegedUser)
        GTEST_SKIP() << "no user bound by file modes to run as (root drops to uid 65534)";
    EXPECT_EQ(status, 0);
}

TEST(SaveSettings, WritableFileInAClosedDirectoryIsRewrittenInPlace)
{
    TempDir dir;
    const int status = runUnprivileged(dir.path(), [&]() -> const char* {
        // Longer than a record, so the rewrite must cut it too.
        Bytes old = kOldRecord;
        old.push_back(0xAA);
        writeFile(dir.file(), old);
        fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
        RecordingNotifier notifier;
        SettingsFile file(notifier, dir.path().string());
        file.SaveSettings(kNewSettings);
        if (!notifier.boxes.empty())
            return "the save was refused";
        return readFile(dir.file()) == kNewRecord ? nullptr : "the file does not hold just the new record";
    });
    fs::permissions(dir.path(), fs::perms::owner_all);
    if (status == kNoUnprivilegedUser)
        GTEST_SKIP() << "no user bound by file modes to run as (root drops to uid 65534)";
    EXPECT_EQ(status, 0);
}

TEST(SaveSettings, LinkIsFollowedToItsTargetAndStaysALink)
{
    TempDir dir;
    const fs::path target = dir.path() / "store" / "real.set";
    fs::create_directory(target.parent_path());
    writeFile(target, kOldRecord);
    // Relative: it names a file beside the link, not beside the test.
    fs::create_symlink("store/real.set", dir.file());
    RecordingNotifier notifier;
    SettingsFile file(notifier, dir.path().string());

    file.SaveSettings(kNewSettings);
    ASSERT_TRUE(fs::is_symlink(dir.file()));
    EXPECT_EQ(fs::read_symlink(dir.file()), "store/real.set");
    EXPECT_EQ(readFile(target), kNewRecord);
    EXPECT_EQ(entriesIn(target.parent_path()), 1u);
    EXPECT_EQ(entriesIn(dir.path()), 2u);

    // A dangling link: its target is created.
    fs::remove(target);
    file.SaveSettings(PortSettings{});
    EXPECT_TRUE(fs::is_symlink(dir.file()));
    EXPECT_EQ(readFile(target), (Bytes{0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_TRUE(notifier.boxes.empty());
}

} // namespace
