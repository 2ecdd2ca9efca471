// Writing the operator's edits to the controller: ZAPIS with its address
// change, and the module's baud rate and parity lists.
#include <optional>
#include <string>

#include "app/console/console.h"
#include "app/console/write_back_row.h"
#include "controller/conversions.h"
#include "controller/number_format.h"
#include "view/control_map.h"

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

} // namespace

// The value a write-back row takes from its control, or nothing to write.
// An unselected list means the controller's byte matched no item; writing
// 255 for it would replace a value the operator never touched.
std::optional<std::int16_t> RowValue(const WriteBackRow& row, const Panel& panel, const ImageRow& stored,
                                     const std::string& separator)
{
    if (row.kind == Kind::List) {
        const int index = panel.listIndex(ControlOf(row.byte));
        if (index < 0)
            return std::nullopt;
        return static_cast<std::int16_t>(index);
    }
    const std::optional<std::uint8_t> byte =
        FieldWriteByte(MapAt(row.byte), panel.text(ControlOf(row.byte)), RowByte(stored, row.byte), separator);
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

void Console::writeBack()
{
    if (!DataLoaded) {
        notifier_.notice(texts::kNotLoaded, texts::kCaptionWarning);
        return;
    }
    if (ScanOn) {
        notifier_.notice(texts::kScanningOn, texts::kCaptionWarning);
        return;
    }
    WriteBackRequest request;
    if (const std::optional<std::int16_t> wanted = AddressFieldValue(panel_, separator_))
        request.newAddress = static_cast<std::uint8_t>(*wanted & 0xFF);
    const std::string field = panel_.text(controls::Edit(1));
    request.confirmAddressChange = [&](std::uint8_t oldAddress) {
        const std::string question = std::string(kAddressQuestion) + "\r" + kOldAddress +
                                     std::to_string(oldAddress) + kNewAddress + field;
        return notifier_.question(question, kAddressCaption);
    };
    request.addressWritten = [&](bool moved) {
        if (!moved) {
            notifier_.notice(kAddressNotChanged, texts::kCaptionWarning);
            return;
        }
        // The address actually written, so the saved settings find it.
        ActiveAddress = *request.newAddress;
        settings().ModuleAddress = ActiveAddress;
    };
    request.addressConfirmed = [&] {
        notifier_.notice(kAddressChanged + field + kAddressChangedEnd, kWriteOkCaption);
        settingsFile_.SaveSettings(settings());
    };
    // The rows as the operator leaves them: each field judged against the
    // byte the view made it from.
    for (const WriteBackRow& row : WriteBackTable())
        if (const std::optional<std::int16_t> value = RowValue(row, panel_, this->row(), separator_))
            request.rows.push_back({row.byte, static_cast<std::uint8_t>(*value & 0xFF)});

    station_.writeBack(ActiveAddress, request);
    readModule();
    viewData();
}

void Console::changeModuleBaud()
{
    const int index = panel_.listIndex(controls::ComboBox(1));
    if (index < 0)
        return;
    if (notifier_.question(kBaudQuestion, kLineCaption))
        station_.changeBaud(ActiveAddress, index);
    settings().BaudIndex = static_cast<std::uint8_t>(index);
    saveAndReopenPort();
}

void Console::changeModuleParity()
{
    const int index = panel_.listIndex(controls::ComboBox(3));
    if (index < 0)
        return;
    if (notifier_.question(kParityQuestion, kLineCaption))
        station_.changeParity(ActiveAddress, index);
    settings().ParityIndex = static_cast<std::uint8_t>(index);
    saveAndReopenPort();
}

} // namespace torv
