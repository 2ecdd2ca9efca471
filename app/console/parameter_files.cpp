// Parameter sets: what the window shows saved to a file, and a file loaded
// into the window for ZAPIS to write.
#include <filesystem>
#include <string>
#include <vector>

#include "app/console/console.h"
#include "app/console/write_back_row.h"
#include "controller/conversions.h"
#include "files/parameter_set.h"
#include "texts/parameter_set_texts.h"
#include "view/parameter_set_changes.h"

namespace torv {

namespace {

constexpr const char* kSavedCaption = "Zapis OK!";
constexpr const char* kReadCaption = "Odczyt OK!";

using bytes::kAlarmBuzzer;

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// One problem a line; the boxes draw "\r" as a line break.
std::string lines(const std::string& heading, const std::vector<std::string>& problems)
{
    std::string text = heading;
    for (const std::string& p : problems)
        text += "\r" + p;
    return text;
}

} // namespace

bool Console::parameterSaveAllowed()
{
    if (DataLoaded)
        return true;
    notifier_.notice(texts::kNotLoaded, texts::kCaptionWarning);
    return false;
}

bool Console::parameterLoadAllowed()
{
    if (!parameterSaveAllowed())
        return false;
    // STOP's last scan and every tick repaint the programme and set values
    // from the controller, over what a set had put there.
    if (ScanOn) {
        notifier_.notice(texts::kScanningOn, texts::kCaptionWarning);
        return false;
    }
    return true;
}

bool Console::saveParameterSet(const std::string& path)
{
    if (!parameterSaveAllowed())
        return false;
    // The bytes ZAPIS would leave in the controller: an untouched field
    // stands for the byte it was made from, however it shows it.
    ImageRow shown = row();
    for (const WriteBackRow& r : WriteBackTable())
        if (const std::optional<std::int16_t> value = RowValue(r, panel_, row(), separator_))
            shown[static_cast<std::size_t>(r.byte - kFirstByte)] = Low8(*value);
    shown[static_cast<std::size_t>(kAlarmBuzzer - kFirstByte)] = panel_.checked(controls::CheckBox1) ? 1 : 0;

    ParameterSetResult result = ParameterSetFromRow(shown);
    if (!result.ok()) {
        notifier_.notice(lines(texts::kSetOutOfRange, result.problems), texts::kCaptionWarning);
        return false;
    }
    result.set.sourceAddress = ActiveAddress;
    result.set.saved = ParameterSetTimestamp();
    std::string error;
    if (!WriteParameterSetFile(path, result.set, error)) {
        notifier_.notice(lines(texts::kSetNotSaved + fileName(path) + ":", {error}), texts::kCaptionWarning);
        return false;
    }
    notifier_.notice(texts::kSetSaved + fileName(path), kSavedCaption);
    return true;
}

bool Console::loadParameterSet(const std::string& path)
{
    if (!parameterLoadAllowed())
        return false;
    const ParameterSetResult result = ReadParameterSetFile(path);
    if (!result.ok()) {
        notifier_.notice(lines(texts::kSetNotRead + fileName(path) + ":", result.problems), texts::kCaptionWarning);
        return false;
    }
    // A changed alarm tick is written at once, as the operator's click is.
    panel_.apply(ParameterSetChanges(result.set, separator_));
    notifier_.notice(lines(texts::kSetRead + fileName(path), {texts::kSetReadNext}), kReadCaption);
    return true;
}

} // namespace torv
