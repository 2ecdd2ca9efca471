#include "view/status_indicators.h"

#include "controller/number_format.h"
#include "texts/window_texts.h"
#include "view/colours.h"
#include "view/controls.h"

namespace torv {

ControlChanges ScannerIndicators(bool ScanOn)
{
    return {
        SetValue(controls::Label(33), Property::FontColor, ScanOn ? colours::kRed : colours::kBlue),
        SetText(controls::Label(33), ScanOn ? texts::kScannerOn : texts::kScannerOff),
        SetCaption(controls::Button(2), ScanOn ? texts::kButtonStop : texts::kButtonStart),
        SetValue(controls::Label(66), Property::FontColor, ScanOn ? colours::kGreen : colours::kRed),
        SetText(controls::Label(66), ScanOn ? texts::kConnected : texts::kDisconnected),
    };
}

ControlChanges LinkIndicator(bool ReplyOk, const std::string& failureText)
{
    return {
        SetValue(controls::Label(35), Property::FontColor, ReplyOk ? colours::kBlue : colours::kRed),
        SetText(controls::Label(35), ReplyOk ? std::string(texts::kLinkOk) : failureText),
    };
}

ControlChanges ErrorCounterDisplay(const std::string& prefix, std::uint16_t ErrorCount)
{
    // A whole number: the separator never appears.
    return {
        SetText(controls::Label(36), prefix + FormatNumber(ErrorCount, 5, 0, ",")),
        SetValue(controls::Label(36), Property::FontColor, ErrorCount == 0 ? colours::kBlue : colours::kRed),
    };
}

} // namespace torv
