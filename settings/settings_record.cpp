#include "settings/settings_record.h"

#include "link/memory_image.h"

namespace torv {

namespace {
std::uint16_t recordSum(const std::uint8_t* data)
{
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < 6; ++i)
        sum = static_cast<std::uint16_t>(sum + data[i]);
    return sum;
}
} // namespace

SettingsRecord EncodeSettingsRecord(const PortSettings& s)
{
    SettingsRecord r{s.ComIndex, s.BaudIndex, s.ModuleAddress, s.ParityIndex, 0, 0, 0, 0};
    const std::uint16_t sum = recordSum(r.data());
    r[6] = static_cast<std::uint8_t>(sum & 0xFF);
    r[7] = static_cast<std::uint8_t>(sum >> 8);
    return r;
}

bool DecodeSettingsRecord(const std::uint8_t* data, std::size_t length, PortSettings& s)
{
    if (data == nullptr || length < kSettingsRecordSize)
        return false;
    const std::uint16_t stored = static_cast<std::uint16_t>(data[6] | (data[7] << 8));
    if (recordSum(data) != stored)
        return false;
    // An all-zero file sums correctly, but address 0 would reach every
    // controller on the line, and no module answers above 250.
    if (data[2] < 1 || data[2] > kMaxAddress)
        return false;
    s.ComIndex = data[0];
    s.BaudIndex = data[1];
    s.ModuleAddress = data[2];
    s.ParityIndex = data[3];
    return true;
}

} // namespace torv
