#include <gtest/gtest.h>

#include <set>

#include "controller/conversions.h"
#include "controller/memory_map.h"

namespace {

using torv::Kind;
using torv::MapAt;

struct StoreCase {
    Kind kind;
    double value;
    int expected;
};

void PrintTo(const StoreCase& c, std::ostream* os) { *os << "kind " << int(c.kind) << " value " << c.value; }

class StoredByteTest : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoredByteTest, OperatorValueToByte)
{
    const StoreCase& c = GetParam();
    EXPECT_EQ(torv::StoredByte(c.kind, c.value), c.expected) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, StoredByteTest,
    ::testing::Values(
        StoreCase{Kind::OffsetTenths, -0.5, 95}, StoreCase{Kind::OffsetTenths, -2.5, 75},
        StoreCase{Kind::OffsetTenths, 0.0, 100}, StoreCase{Kind::OffsetTenths, 10.0, 200},
        StoreCase{Kind::OffsetTenths, -10.0, 0}, StoreCase{Kind::OffsetTenths, 16.0, 4},  // 260, low 8 bits
        StoreCase{Kind::OffsetTenths, -10.1, 255},                                       // -1, low 8 bits
        StoreCase{Kind::Tenths, 0.5, 5}, StoreCase{Kind::Tenths, 5.0, 50}, StoreCase{Kind::Tenths, 0.1, 1},
        StoreCase{Kind::Tenths, 10.0, 100}, StoreCase{Kind::Tenths, 0.7, 7}, StoreCase{Kind::Tenths, 0.25, 2},
        StoreCase{Kind::WholeNumber, 20, 20}, StoreCase{Kind::WholeNumber, 2.5, 2},
        StoreCase{Kind::WholeNumber, 3.5, 4}, StoreCase{Kind::WholeNumber, 120, 120},
        StoreCase{Kind::WholeNumber, 256, 0}, StoreCase{Kind::WholeNumber, 300, 44},
        StoreCase{Kind::WholeNumber, -1, 255}, StoreCase{Kind::List, 2, 2}, StoreCase{Kind::List, -1, 255},
        StoreCase{Kind::List, 108, 108}, StoreCase{Kind::BaudSet, 2, 3}, StoreCase{Kind::BaudSet, 0, 1},
        StoreCase{Kind::Flag, 0, 0}, StoreCase{Kind::Flag, 1, 1}, StoreCase{Kind::Flag, 2, 1},
        StoreCase{Kind::AddressHigh, 7, 0}));

struct FieldCase {
    int byte;
    std::uint8_t stored;
    int spinner; // expected position (tenths fields only)
    const char* text;
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << "byte " << c.byte << " = " << int(c.stored); }

class FieldTextTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldTextTest, ByteToFieldText)
{
    const FieldCase& c = GetParam();
    const torv::MapEntry& e = MapAt(c.byte);
    if (e.kind == Kind::Tenths || e.kind == Kind::OffsetTenths) {
        EXPECT_EQ(torv::SpinnerPosition(e, c.stored), c.spinner);
    }
    EXPECT_EQ(torv::FieldText(e, c.stored, ","), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, FieldTextTest,
    ::testing::Values(
        FieldCase{108, 100, 0, "0,0"}, FieldCase{108, 200, 100, "10,0"},
        FieldCase{121, 51, 50, "5,0"}, FieldCase{121, 255, 50, "5,0"}, FieldCase{128, 120, 0, "1,2E2"},
        FieldCase{128, 99, 0, "99"}, FieldCase{157, 100, 0, "1E2"}, FieldCase{97, 250, 0, "250"},
        FieldCase{106, 0, 0, "0"}));

TEST(Temperature, WordsAreBigEndianWithOffset500)
{
    EXPECT_EQ(torv::DegreesText(torv::TemperatureValue(0x02, 0xEE), ","), "25,0°C");
    EXPECT_EQ(torv::DegreesText(torv::TemperatureValue(0x01, 0xF4), ","), "0,0°C");
    EXPECT_EQ(torv::DegreesText(torv::TemperatureValue(0xEE, 0x02), ","), "6043,0°C");
    EXPECT_EQ(torv::DegreesText(torv::TemperatureValue(0x01, 0xF9), "."), "0.5°C");
}

TEST(ListItemsOf, TheListBytesOnly)
{
    using namespace torv::bytes;
    EXPECT_EQ(torv::ListItemsOf(kBaudCode), (std::vector<std::string>{"19 200 b/s", "9 600 b/s", "4 800 b/s"}));
    EXPECT_EQ(torv::ListItemsOf(kLcdMode), (std::vector<std::string>{"WYŁĄCZONY", "MIRALUX", "NORDA"}));
    EXPECT_EQ(torv::ListItemsOf(kHumidifyPause).size(), static_cast<std::size_t>(torv::kHumidifyPauseItems));
    for (const int byte : {kBaudSet, kSlaveAddress, kAlarmBuzzer, kAirHysteresis})
        EXPECT_TRUE(torv::ListItemsOf(byte).empty()) << byte;
}

// A value in the map's units and the byte it stores: calibrations are
// offset by 100, a flag is 0 or 1 whatever non-zero byte ticks it.
TEST(UnitValue, OffsetsAndFlags)
{
    struct Case {
        int byte;
        std::uint8_t stored;
        int value;
        std::uint8_t storedBack;
    };
    for (const Case& c : {Case{108, 95, -5, 95}, Case{108, 200, 100, 200}, Case{120, 15, 15, 15},
                          Case{117, 6, 6, 6}, Case{125, 7, 1, 1}, Case{125, 0, 0, 0}}) {
        const torv::MapEntry& e = MapAt(c.byte);
        EXPECT_EQ(torv::UnitValue(e, c.stored), c.value) << e.name;
        EXPECT_EQ(torv::StoredByteOfUnitValue(e, c.value), c.storedBack) << e.name;
    }
}

// Whatever a field shows for a byte within its control's range is written
// back as that same byte: display and write-back agree for every field.
TEST(FieldRoundTrip, EveryWrittenFieldReadsBackItsByte)
{
    for (const char* sep : {",", "."}) {
        for (const torv::WriteBackRow& row : torv::WriteBackTable()) {
            const torv::MapEntry& e = MapAt(row.byte);
            if (e.kind == Kind::List)
                continue;
            const int first = e.kind == Kind::OffsetTenths ? e.range.min + 100 : e.range.min;
            const int last = e.kind == Kind::OffsetTenths ? e.range.max + 100 : e.range.max;
            for (int b = first; b <= last; ++b) {
                const std::string text = torv::FieldText(e, static_cast<std::uint8_t>(b), sep);
                const auto stored = torv::StoredByteFromText(e.kind, text, sep);
                ASSERT_TRUE(stored.has_value()) << e.name << ' ' << text;
                EXPECT_EQ(*stored, b) << e.name << " shows " << text;
            }
        }
    }
}

TEST(FieldRoundTrip, UnreadableTextWritesNothing)
{
    EXPECT_FALSE(torv::StoredByteFromText(Kind::Tenths, "", ",").has_value());
    EXPECT_FALSE(torv::StoredByteFromText(Kind::WholeNumber, "1e999", ",").has_value());
    EXPECT_FALSE(torv::StoredByteFromText(Kind::OffsetTenths, "-2.5", ",").has_value());
    EXPECT_EQ(torv::StoredByteFromText(Kind::OffsetTenths, "-2,5", ","), 75);
}

TEST(MemoryMap, NamesFindTheirBytes)
{
    EXPECT_EQ(torv::MapByName("AlarmBuzzer")->byte, 125);
    EXPECT_EQ(torv::MapByName("StepDifference10")->byte, 157);
    EXPECT_EQ(torv::MapByName("TempControl2")->byte, 166);
    EXPECT_EQ(torv::MapByName("NoSuchByte"), nullptr);
    EXPECT_THROW(torv::MapAt(169), std::out_of_range);
}

TEST(WriteBackTable, OrderOfTheRows)
{
    const auto& rows = torv::WriteBackTable();
    const int head[] = {108, 109, 110, 111, 112, 113, 114, 115, 120, 121, 118, 116, 117, 122, 123, 124, 106, 107};
    std::set<int> bytes;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].number, static_cast<int>(i) + 1);
        const int expected = i < std::size(head) ? head[i] : 128 + static_cast<int>(i - std::size(head));
        EXPECT_EQ(rows[i].byte, expected) << "row " << i + 1;
        EXPECT_TRUE(bytes.insert(rows[i].byte).second);
        EXPECT_TRUE(MapAt(rows[i].byte).range.limited) << "row " << i + 1;
    }
    EXPECT_EQ(rows[8].kind, Kind::Tenths);
    EXPECT_EQ(rows[12].kind, Kind::List);
    EXPECT_EQ(rows[0].kind, Kind::OffsetTenths);
}

} // namespace
