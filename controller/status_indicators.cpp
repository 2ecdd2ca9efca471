#include "controller/status_indicators.h"

#include "controller/colours.h"
#include "controller/number_format.h"

namespace torv {

ControlChanges ScannerIndicators(bool ScanOn)
{
    return {
        SetValue("Label33", Property::FontColor, ScanOn ? colours::kRed : colours::kBlue),
        SetText("Label33", ScanOn ? texts::kScannerOn : texts::kScannerOff),
        SetCaption("Button2", ScanOn ? texts::kButtonStop : texts::kButtonStart),
        SetValue("Label66", Property::FontColor, ScanOn ? colours::kGreen : colours::kRed),
        SetText("Label66", ScanOn ? texts::kConnected : texts::kDisconnected),
    };
}

ControlChanges LinkIndicator(bool ReplyOk, const std::string& failureText)
{
    return {
        SetValue("Label35", Property::FontColor, ReplyOk ? colours::kBlue : colours::kRed),
        SetText("Label35", ReplyOk ? std::string(texts::kLinkOk) : failureText),
    };
}

ControlChanges ErrorCounterDisplay(const std::string& prefix, std::uint16_t ErrorCount)
{
    // A whole number: the separator never appears.
    return {
        SetText("Label36", prefix + FormatNumber(ErrorCount, 5, 0, ",")),
        SetValue("Label36", Property::FontColor, ErrorCount == 0 ? colours::kBlue : colours::kRed),
    };
}

} // namespace torv
