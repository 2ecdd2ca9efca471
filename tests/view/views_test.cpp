#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "view/colours.h"
#include "view/controls.h"
#include "view/view_data.h"
#include "view/view_temp.h"

namespace {

using torv::ControlChange;
using torv::ControlChanges;
using torv::ImageRow;
using torv::Property;
namespace colours = torv::colours;

void put(ImageRow& row, int byte, std::uint8_t v) { row.at(static_cast<std::size_t>(byte - 96)) = v; }
void putWord(ImageRow& row, int byte, int raw)
{
    put(row, byte, static_cast<std::uint8_t>(raw >> 8));
    put(row, byte + 1, static_cast<std::uint8_t>(raw & 0xFF));
}

// What a control shows once all changes are applied in order.
const ControlChange* last(const ControlChanges& changes, const std::string& control, Property p)
{
    const ControlChange* found = nullptr;
    for (const ControlChange& c : changes)
        if (c.control == control && c.property == p)
            found = &c;
    return found;
}
std::string textOf(const ControlChanges& changes, const std::string& control)
{
    const ControlChange* c = last(changes, control, Property::Text);
    return c ? c->text : "<unset>";
}
std::optional<int> valueOf(const ControlChanges& changes, const std::string& control, Property p)
{
    const ControlChange* c = last(changes, control, p);
    return c ? std::optional<int>(c->value) : std::nullopt;
}
std::optional<int> colourOf(const ControlChanges& changes, const std::string& control)
{
    return valueOf(changes, control, Property::FontColor);
}
std::ptrdiff_t position(const ControlChanges& changes, const std::string& control, Property p)
{
    const auto it = std::find_if(changes.begin(), changes.end(),
                                 [&](const ControlChange& c) { return c.control == control && c.property == p; });
    return it == changes.end() ? -1 : it - changes.begin();
}

const char* const kStepLabels[] = {"Label48", "Label55", "Label56", "Label57", "Label58",
                                   "Label59", "Label60", "Label61", "Label62", "Label63"};

TEST(ViewTemp, NeverFilledRow)
{
    const ControlChanges v = torv::View_Temp(ImageRow{}, ",");
    EXPECT_EQ(textOf(v, "Label44"), "Praca ręczna sterownika!");
    EXPECT_EQ(colourOf(v, "Label44"), colours::kBlue);
    for (const char* lamp : {"Label24", "Label39", "Label17", "Label18"})
        EXPECT_EQ(colourOf(v, lamp), colours::kRed) << lamp;
    EXPECT_EQ(textOf(v, "Label5"), "-50,0°C");
    EXPECT_EQ(textOf(v, "Label19"), "-50,0°C");
    EXPECT_EQ(textOf(v, "Label32"), "NIE AKT.!");
    EXPECT_EQ(textOf(v, "Label45"), "NIE AKT.!");
    EXPECT_EQ(textOf(v, "Label14"), "0,0°C");
    for (const char* label : kStepLabels)
        EXPECT_EQ(colourOf(v, label), colours::kPaleGreen) << label;
    for (int n = 16; n <= 47; ++n)
        EXPECT_EQ(textOf(v, "Edit" + std::to_string(n)), "0") << n;
}

TEST(ViewTemp, PaintsInStepOrder)
{
    const ControlChanges v = torv::View_Temp(ImageRow{}, ",");
    std::vector<std::pair<std::string, Property>> expected = {
        {"Edit16", Property::Text},      {"Edit17", Property::Text},      {"Label44", Property::Text},
        {"Label44", Property::FontColor}, {"Label24", Property::FontColor}, {"Label39", Property::FontColor},
        {"Label17", Property::FontColor}, {"Label18", Property::FontColor}, {"Label5", Property::Text},
        {"Label19", Property::Text},     {"Label32", Property::Text},     {"Label45", Property::Text},
        {"Label14", Property::Text}};
    for (int k = 0; k < 10; ++k) {
        expected.push_back({kStepLabels[k], Property::FontColor});
        for (int f = 0; f < 3; ++f)
            expected.push_back({"Edit" + std::to_string(18 + 3 * k + f), Property::Text});
    }
    ASSERT_EQ(v.size(), expected.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        EXPECT_EQ(v[i].control, expected[i].first) << i;
        EXPECT_EQ(v[i].property, expected[i].second) << i;
    }
}

TEST(ViewTemp, RunningProgramme)
{
    ImageRow row{};
    put(row, 104, 3);  // AutoStep
    put(row, 126, 5);  // AutoHoursDone
    put(row, 105, 12); // AutoHoursTotal
    put(row, 128, 4);  // steps 1..3 in use, step 5 too
    put(row, 131, 6);
    put(row, 134, 8);
    put(row, 140, 1);
    put(row, 135, 70);
    put(row, 136, 12);
    const ControlChanges v = torv::View_Temp(row, ",");
    EXPECT_EQ(textOf(v, "Label44"), "Tryb AUTOMAT!: cykl=3 z 10, czas=5 z 12[h]");
    EXPECT_EQ(colourOf(v, "Label44"), colours::kRed);
    const int expected[] = {colours::kGreen,     colours::kGreen,     colours::kRed,       colours::kPaleGreen,
                            colours::kGreen,     colours::kPaleGreen, colours::kPaleGreen, colours::kPaleGreen,
                            colours::kPaleGreen, colours::kPaleGreen};
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(colourOf(v, kStepLabels[k]), expected[k]) << kStepLabels[k];
    EXPECT_EQ(textOf(v, "Edit24"), "8");
    EXPECT_EQ(textOf(v, "Edit25"), "70");
    EXPECT_EQ(textOf(v, "Edit26"), "12");
}

TEST(ViewTemp, StepInProgressWithoutHoursAndOutOfRangeNumbers)
{
    ImageRow row{};
    put(row, 104, 3);
    put(row, 105, 120);
    put(row, 128, 4);
    put(row, 131, 120);
    const ControlChanges v = torv::View_Temp(row, ",");
    EXPECT_EQ(colourOf(v, "Label56"), colours::kPaleGreen); // in progress but 0 hours
    EXPECT_EQ(textOf(v, "Label44"), "Tryb AUTOMAT!: cykl=3 z 10, czas=0 z 1,2E2[h]");
    EXPECT_EQ(textOf(v, "Edit21"), "1,2E2");

    put(row, 104, 11); // beyond the table: no step red
    const ControlChanges w = torv::View_Temp(row, ",");
    EXPECT_EQ(textOf(w, "Label44"), "Tryb AUTOMAT!: cykl=11 z 10, czas=0 z 1,2E2[h]");
    for (const char* label : kStepLabels)
        EXPECT_NE(colourOf(w, label), colours::kRed) << label;
}

struct LampCase {
    std::uint8_t bits;
    int humidify, heat, open, close;
};

void PrintTo(const LampCase& c, std::ostream* os) { *os << "bits " << int(c.bits); }

class OutputLampsTest : public ::testing::TestWithParam<LampCase> {};

TEST_P(OutputLampsTest, LowerFourBits)
{
    const LampCase& c = GetParam();
    ImageRow row{};
    put(row, 127, c.bits);
    const ControlChanges v = torv::View_Temp(row, ",");
    EXPECT_EQ(colourOf(v, "Label24"), c.humidify);
    EXPECT_EQ(colourOf(v, "Label39"), c.heat);
    EXPECT_EQ(colourOf(v, "Label17"), c.open);
    EXPECT_EQ(colourOf(v, "Label18"), c.close);
}

constexpr int R = colours::kRed;
constexpr int M = colours::kMaroon;
INSTANTIATE_TEST_SUITE_P(Bits, OutputLampsTest,
                         ::testing::Values(LampCase{0xF5, R, M, R, M}, LampCase{0x0A, M, R, M, R},
                                           LampCase{0xF0, R, R, R, R}, LampCase{0x0F, M, M, M, M}));

struct SensorCase {
    const char* name;
    std::uint8_t lcdMode;
    int dry, wet, control1, control2;
    const char* label32;
    const char* label45;
    const char* humidity;
};

void PrintTo(const SensorCase& c, std::ostream* os) { *os << c.name; }

class SensorsTest : public ::testing::TestWithParam<SensorCase> {};

TEST_P(SensorsTest, ControlTemperaturesAndHumidity)
{
    const SensorCase& c = GetParam();
    ImageRow row{};
    put(row, 122, c.lcdMode);
    putWord(row, 160, c.dry);
    putWord(row, 162, c.wet);
    putWord(row, 164, c.control1);
    putWord(row, 166, c.control2);
    const ControlChanges v = torv::View_Temp(row, ",");
    EXPECT_EQ(textOf(v, "Label32"), c.label32);
    EXPECT_EQ(textOf(v, "Label45"), c.label45);
    EXPECT_EQ(textOf(v, "Label14"), c.humidity);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SensorsTest,
    ::testing::Values(
        SensorCase{"two_pairs", 2, 750, 700, 760, 700, "26,0°C", "20,0°C", "5,5°C"},
        SensorCase{"one_pair", 1, 750, 700, 760, 700, "26,0°C", "20,0°C", "5,0°C"},
        SensorCase{"no_module", 0, 750, 700, 760, 700, "NIE AKT.!", "NIE AKT.!", "5,0°C"},
        SensorCase{"unknown_mode", 3, 750, 700, 760, 700, "26,0°C", "20,0°C", "5,0°C"},
        // A wet bulb above the dry one is a negative difference, not a wrapped word.
        SensorCase{"wet_above_dry", 0, 700, 720, 0, 0, "NIE AKT.!", "NIE AKT.!", "-2,0°C"},
        SensorCase{"wet_above_dry_two_pairs", 2, 700, 720, 700, 720, "20,0°C", "22,0°C", "-2,0°C"},
        SensorCase{"pairs_of_opposite_sign", 2, 750, 700, 700, 760, "20,0°C", "26,0°C", "-0,5°C"},
        SensorCase{"extreme_words", 1, 65535, 0, 0, 0, "-50,0°C", "-50,0°C", "6554,0°C"},
        // The two-pair mean of an odd sum is a tie: to the even tenth, exactly.
        SensorCase{"tie_0_05", 2, 701, 700, 700, 700, "20,0°C", "20,0°C", "0,0°C"},
        SensorCase{"tie_0_15", 2, 703, 700, 700, 700, "20,0°C", "20,0°C", "0,2°C"},
        SensorCase{"tie_5_55", 2, 811, 700, 700, 700, "20,0°C", "20,0°C", "5,6°C"},
        SensorCase{"tie_5_65", 2, 813, 700, 700, 700, "20,0°C", "20,0°C", "5,6°C"},
        SensorCase{"tie_negative_0_15", 2, 700, 703, 700, 700, "20,0°C", "20,0°C", "-0,2°C"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TenthsCase {
    int byte;
    std::uint8_t stored;
    const char* spinner;
    const char* field;
    int position;
    const char* text;
};

void PrintTo(const TenthsCase& c, std::ostream* os) { *os << "byte " << c.byte << " = " << int(c.stored); }

class ViewDataTenthsTest : public ::testing::TestWithParam<TenthsCase> {};

TEST_P(ViewDataTenthsTest, SpinnerHeldInRangeAndTextFollowsIt)
{
    const TenthsCase& c = GetParam();
    ImageRow row{};
    put(row, 108, 100);
    put(row, 109, 100);
    put(row, 110, 100);
    put(row, 111, 100);
    put(row, c.byte, c.stored);
    const ControlChanges v = torv::View_Data(row, {}, ",");
    EXPECT_EQ(valueOf(v, c.spinner, Property::SpinnerPosition), c.position);
    EXPECT_EQ(textOf(v, c.field), c.text);
    EXPECT_LT(position(v, c.spinner, Property::SpinnerPosition), position(v, c.field, Property::Text));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ViewDataTenthsTest,
    ::testing::Values(TenthsCase{109, 95, "UpDown6", "Edit6", -5, "-0,5"},
                      TenthsCase{108, 250, "UpDown2", "Edit2", 100, "10,0"},
                      TenthsCase{110, 0, "UpDown9", "Edit9", -100, "-10,0"},
                      TenthsCase{111, 200, "UpDown12", "Edit12", 100, "10,0"},
                      TenthsCase{118, 5, "UpDown4", "Edit4", 5, "0,5"},
                      TenthsCase{118, 101, "UpDown4", "Edit4", 100, "10,0"},
                      TenthsCase{120, 0, "UpDown7", "Edit7", 1, "0,1"},
                      TenthsCase{121, 200, "UpDown10", "Edit10", 50, "5,0"}));

struct ListViewCase {
    int byte;
    std::uint8_t stored;
    const char* list;
    int index;
};

void PrintTo(const ListViewCase& c, std::ostream* os) { *os << "byte " << c.byte << " = " << int(c.stored); }

class ViewDataListsTest : public ::testing::TestWithParam<ListViewCase> {};

TEST_P(ViewDataListsTest, SelectionOrNone)
{
    const ListViewCase& c = GetParam();
    ImageRow row{};
    put(row, c.byte, c.stored);
    EXPECT_EQ(valueOf(torv::View_Data(row, {}, ","), c.list, Property::ListIndex), c.index);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ViewDataListsTest,
    ::testing::Values(ListViewCase{99, 0, "ComboBox1", -1}, ListViewCase{99, 1, "ComboBox1", 0},
                      ListViewCase{99, 2, "ComboBox1", 1}, ListViewCase{99, 3, "ComboBox1", 2},
                      ListViewCase{99, 4, "ComboBox1", -1}, ListViewCase{117, 108, "ComboBox5", 108},
                      ListViewCase{117, 109, "ComboBox5", -1}, ListViewCase{122, 2, "ComboBox4", 2},
                      ListViewCase{122, 3, "ComboBox4", -1}));

TEST(ViewData, WholeNumberFieldsSetTextOnly)
{
    ImageRow row{};
    put(row, 97, 7);
    put(row, 112, 10);
    put(row, 116, 120);
    put(row, 124, 30);
    const ControlChanges v = torv::View_Data(row, {}, ",");
    EXPECT_EQ(textOf(v, "Edit1"), "7");
    EXPECT_EQ(textOf(v, "Edit5"), "10");
    EXPECT_EQ(textOf(v, "Edit13"), "120");
    EXPECT_EQ(textOf(v, "Edit15"), "30");
    const std::set<std::string> tenthsSpinners = {"UpDown2", "UpDown4", "UpDown6", "UpDown7",
                                                  "UpDown9", "UpDown10", "UpDown12"};
    for (const ControlChange& c : v)
        if (c.property == Property::SpinnerPosition) {
            EXPECT_TRUE(tenthsSpinners.count(c.control)) << c;
        }
    // Three-digit fields show 100 and above whole, not in exponent form.
    for (const auto& [byte, control] : {std::pair<int, const char*>{106, "Edit16"}, {107, "Edit17"}, {112, "Edit5"},
                                        {113, "Edit8"}, {114, "Edit11"}, {115, "Edit14"}, {123, "Edit3"}, {124, "Edit15"}}) {
        ImageRow big{};
        put(big, byte, 123);
        EXPECT_EQ(textOf(torv::View_Data(big, {}, ","), control), "123") << byte;
    }
}

TEST(ViewData, AlarmBoxFollowsTheByteBeforeTheStatus)
{
    for (const auto& [stored, checked] : {std::pair<std::uint8_t, int>{0, 0}, {1, 1}, {2, 1}, {255, 1}}) {
        ImageRow row{};
        put(row, 125, stored);
        const ControlChanges v = torv::View_Data(row, {}, ",");
        EXPECT_EQ(valueOf(v, "CheckBox1", Property::Checked), checked) << int(stored);
        const auto box = position(v, "CheckBox1", Property::Checked);
        EXPECT_GT(box, position(v, "Edit15", Property::Text));
        EXPECT_GT(box, position(v, "ComboBox4", Property::ListIndex));
        EXPECT_LT(box, position(v, "Label33", Property::Text));
        EXPECT_LT(box, position(v, "Label35", Property::Text));
    }
}

TEST(ViewData, MeasurementsComeBetweenVentTimesAndLcdMode)
{
    const ControlChanges v = torv::View_Data(ImageRow{}, {}, ",");
    const auto measurements = position(v, "Edit16", Property::Text);
    EXPECT_GT(measurements, position(v, "Edit14", Property::Text));
    EXPECT_LT(position(v, "Edit47", Property::Text), position(v, "ComboBox4", Property::ListIndex));
    EXPECT_EQ(position(v, "Edit1", Property::Text), 0);
    EXPECT_EQ(position(v, "ComboBox1", Property::ListIndex), 1);
    EXPECT_EQ(v.back(), (ControlChange{"Label36", Property::FontColor, "", colours::kBlue}));
}

struct StatusCase {
    torv::ViewFlags flags;
    const char* scanner;
    int scannerColour;
    const char* button;
    const char* link;
    int linkColour;
    const char* connection;
    int connectionColour;
    const char* errors;
    int errorsColour;
};

void PrintTo(const StatusCase& c, std::ostream* os)
{
    *os << "ScanOn " << c.flags.ScanOn << " ReplyOk " << c.flags.ReplyOk << " ErrorCount " << c.flags.ErrorCount;
}

class ViewDataStatusTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ViewDataStatusTest, StatusControls)
{
    const StatusCase& c = GetParam();
    const ControlChanges v = torv::View_Data(ImageRow{}, c.flags, ",");
    EXPECT_EQ(textOf(v, "Label33"), c.scanner);
    EXPECT_EQ(colourOf(v, "Label33"), c.scannerColour);
    const ControlChange* button = last(v, "Button2", Property::Caption);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text, c.button);
    EXPECT_EQ(textOf(v, "Label35"), c.link);
    EXPECT_EQ(colourOf(v, "Label35"), c.linkColour);
    EXPECT_EQ(textOf(v, "Label66"), c.connection);
    EXPECT_EQ(colourOf(v, "Label66"), c.connectionColour);
    EXPECT_EQ(textOf(v, "Label36"), c.errors);
    EXPECT_EQ(colourOf(v, "Label36"), c.errorsColour);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, ViewDataStatusTest,
    ::testing::Values(StatusCase{{false, true, 0}, "Skaner ModBUS = OFF", colours::kBlue, "&START",
                                 "TEST ModBUS = OK", colours::kBlue, "ROZŁĄCZONY ! ", colours::kRed,
                                 "Błędy ModBus =0", colours::kBlue},
                      StatusCase{{true, false, 65535}, "Skaner ModBUS = ON", colours::kRed, "&STOP",
                                 "ModBUS ERROR !!!", colours::kRed, "POŁĄCZONY ", colours::kGreen,
                                 "Błędy ModBus =65535", colours::kRed}));

TEST(ViewData, FieldsThenStatusEqualsTheWholeView)
{
    ImageRow row{};
    put(row, 109, 95);
    put(row, 125, 1);
    const torv::ViewFlags flags{true, true, 2};
    ControlChanges split = torv::View_Data_Fields(row, ".");
    const ControlChanges status = torv::View_Data_Status(flags);
    split.insert(split.end(), status.begin(), status.end());
    const ControlChanges whole = torv::View_Data(row, flags, ".");
    EXPECT_EQ(split, whole);
    EXPECT_EQ(textOf(whole, "Edit6"), "-0.5");
}

// ---- controls by identity ----------------------------------------------------

// The main window's form file: each widget's name and class.
std::map<std::string, std::string> FormWidgets()
{
    std::map<std::string, std::string> widgets;
    QFile file(QStringLiteral(TORV_FORM_FILE));
    if (!file.open(QIODevice::ReadOnly))
        return widgets;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("widget"))
            widgets[xml.attributes().value("name").toString().toStdString()] =
                xml.attributes().value("class").toString().toStdString();
    return widgets;
}

TEST(ControlIdentities, EachIsAControlOfItsClassInTheFormAndTheFormHasNoOthers)
{
    const std::map<std::string, std::string> form = FormWidgets();
    ASSERT_GT(form.size(), 100u) << TORV_FORM_FILE;
    for (const torv::Control& c : torv::AllControls()) {
        const auto it = form.find(c.name());
        ASSERT_NE(it, form.end()) << c.name() << " is not in the form";
        const auto& range = *std::find_if(torv::kControlRanges.begin(), torv::kControlRanges.end(),
                                          [&](const torv::ControlRange& r) { return r.kind == c.kind; });
        EXPECT_EQ(it->second, range.formClass) << c.name();
        torv::Control back{};
        EXPECT_TRUE(torv::ControlNamed(c.name(), back) && back == c) << c.name();
    }
    // A control of a numbered class the table does not know would be unreachable.
    for (const auto& [name, cls] : form)
        for (const torv::ControlRange& r : torv::kControlRanges) {
            torv::Control c{};
            if (cls == r.formClass && name.rfind(r.prefix, 0) == 0) {
                EXPECT_TRUE(torv::ControlNamed(name, c)) << name;
            }
        }
    for (const char* stranger : {"Edit0", "Edit48", "Edit016", "Label1", "Label", "UpDown1x", "Image1"}) {
        torv::Control c{};
        EXPECT_FALSE(torv::ControlNamed(stranger, c)) << stranger;
    }
}

} // namespace
