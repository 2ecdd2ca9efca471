// Writing the operator's edits to the controller: the conditional one-byte
// write, ZAPIS with its address change, the reset request, and the module's
// baud rate and parity lists.
#include <optional>
#include <string>

#include "app/console/console.h"
#include "app/console/write_back_row.h"
#include "controller/conversions.h"
#include "controller/number_format.h"

namespace torv {

namespace {

constexpr const char* kAddressCaption = "Modyfikacja adresu.";
constexpr const char* kAddressQuestion = "Czy napewno chcesz zmienić adres modułu ?";
constexpr const char* kOldAddress = "Stary adres=";
constexpr const char* kNewAddress = ", nowy adres=";
constexpr const char* kAddressNotChanged = "Nie zmieniono adresu modułu !!!";
constexpr const char* kAddressChanged = "Zmieniono adres na: ";
constexpr const char* kAddressChangedEnd = " !!!";
constexpr const char* kWriteOkCaption = "Zapis OK!";
constexpr const char* kLineCaption = "Modyfikacja parametrów transmisji.";
constexpr const char* kBaudQuestion = "Czy napewno chcesz zmienić prędkość transmisji modułu?";
constexpr const char* kParityQuestion = "Czy napewno chcesz zmienić parametry parzystości transmisji?";

using bytes::kAddressHigh;
using bytes::kBaudSet;
using bytes::kResetCounter;
using bytes::kSlaveAddress;

} // namespace

// The value a write-back row takes from its control, or nothing to write.
// An unselected list means the controller's byte matched no item; writing
// 255 for it would replace a value the operator never touched. So does a
// field still showing exactly what the view made of the stored byte: its
// text may be rounded ("1,2E2" for 123) or clamped, and read back it would
// overwrite the controller's value with another one.
std::optional<std::int16_t> RowValue(const WriteBackRow& row, const Panel& panel, const ImageRow& stored,
                                     const std::string& separator)
{
    const Control control = row.control;
    if (row.kind == Kind::List) {
        const int index = panel.listIndex(control);
        if (index < 0)
            return std::nullopt;
        return static_cast<std::int16_t>(index);
    }
    const std::string text = panel.text(control);
    if (text == FieldText(MapAt(row.byte), RowByte(stored, row.byte), separator))
        return std::nullopt;
    const std::optional<std::uint8_t> byte = StoredByteFromText(row.kind, text, separator);
    if (!byte)
        return std::nullopt;
    return static_cast<std::int16_t>(*byte);
}

namespace {

// The address the address field shows, or nothing when it shows no number
// or one no controller can answer at (0 would make it a broadcast listener).
std::optional<std::int16_t> AddressFieldValue(const Panel& panel, const std::string& separator)
{
    const std::optional<double> value = ParseNumber(panel.text(controls::Edit(1)), separator);
    if (!value)
        return std::nullopt;
    const std::uint8_t address = Low8(RoundHalfEven(*value));
    if (!IsSlaveAddress(address))
        return std::nullopt;
    return static_cast<std::int16_t>(address);
}

} // namespace

void Console::Load_Value(std::uint8_t a)
{
    const auto n = static_cast<std::uint8_t>(WorkValue & 0xFF);
    std::uint8_t& stored = link_.image.at(ActiveAddress, a);
    if (stored == n || !link_.ReplyOk)
        return;
    stored = n;
    link_.Load_Modbus_Byte(ActiveAddress, a, false);
    link_.DelayMs(10);
    read(ActiveAddress, a, 2, false);
}

void Console::ResetRequest()
{
    std::uint8_t& counter = link_.image.at(ActiveAddress, kResetCounter);
    counter = static_cast<std::uint8_t>(counter + 1);
    link_.DelayMs(10);
    link_.Load_Modbus_Byte(ActiveAddress, kResetCounter, false);
}

void Console::Button3Click()
{
    if (!DataLoaded) {
        notifier_.notice(texts::kNotLoaded, texts::kCaptionWarning);
        return;
    }
    if (ScanOn) {
        notifier_.notice(texts::kScanningOn, texts::kCaptionWarning);
        return;
    }
    read(ActiveAddress, kAddressHigh, 1, true);
    link_.DelayMs(5);

    const std::optional<std::int16_t> wanted = AddressFieldValue(panel_, separator);
    const std::uint8_t oldAddress = link_.image.at(ActiveAddress, kSlaveAddress);
    if (wanted && (*wanted & 0xFF) != oldAddress) {
        WorkValue = *wanted;
        const std::string field = panel_.text(controls::Edit(1));
        const std::string question = std::string(kAddressQuestion) + "\r" + kOldAddress +
                                     std::to_string(oldAddress) + kNewAddress + field;
        if (notifier_.question(question, kAddressCaption)) {
            const auto newAddress = static_cast<std::uint8_t>(WorkValue & 0xFF);
            link_.image.at(ActiveAddress, kAddressHigh) = 0;
            link_.image.at(ActiveAddress, kSlaveAddress) = newAddress;
            link_.Load_Modbus_Byte(ActiveAddress, kAddressHigh, false);
            link_.DelayMs(10);
            const bool moved = link_.ReplyOk;
            if (moved) {
                // The controller keeps its memory under the new address; so
                // does the image, or the writes below would carry another
                // row's bytes as their low halves.
                link_.image.row(newAddress) = link_.image.row(ActiveAddress);
                // The address actually written, so the saved settings find it.
                ActiveAddress = newAddress;
                settings().ModuleAddress = newAddress;
            } else {
                notifier_.notice(kAddressNotChanged, texts::kCaptionWarning);
            }
            read(ActiveAddress, kAddressHigh, 2, false);
            if (moved && link_.ReplyOk) {
                notifier_.notice(kAddressChanged + field + kAddressChangedEnd, kWriteOkCaption);
                settingsFile_.SaveSettings(settings());
            }
        }
    }

    const auto cancelled = [this] { return writeBackCancelled && writeBackCancelled(); };
    for (const WriteBackRow& row : WriteBackTable()) {
        const std::optional<std::int16_t> value = RowValue(row, panel_, this->row(), separator);
        if (!value)
            continue;
        if (cancelled())
            return;
        WorkValue = *value;
        Load_Value(static_cast<std::uint8_t>(row.byte));
    }
    if (cancelled())
        return;

    Read_Data_Modul();
    View_Data();
}

void Console::ComboBox1Change()
{
    const int index = panel_.listIndex(controls::ComboBox(1));
    if (index < 0)
        return;
    if (notifier_.question(kBaudQuestion, kLineCaption)) {
        WorkValue = static_cast<std::int16_t>(index + 1);
        Load_Value(kBaudSet);
        ResetRequest();
    }
    settings().BaudIndex = static_cast<std::uint8_t>(index);
    SaveAndReopenPort();
}

void Console::ComboBox3Change()
{
    const int index = panel_.listIndex(controls::ComboBox(3));
    if (index < 0)
        return;
    if (notifier_.question(kParityQuestion, kLineCaption)) {
        WorkValue = static_cast<std::int16_t>(index);
        Load_Value(kResetCounter);
        ResetRequest();
    }
    settings().ParityIndex = static_cast<std::uint8_t>(index);
    SaveAndReopenPort();
}

} // namespace torv
