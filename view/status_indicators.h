#pragma once
#include <cstdint>
#include <string>

#include "view/control_change.h"

namespace torv {

// The recurring status sequences, each in its fixed order.
// Scanner: Label33 colour and text, Button2 caption, Label66 colour and text.
ControlChanges ScannerIndicators(bool ScanOn);
// Link: Label35 colour, then its text.
ControlChanges LinkIndicator(bool ReplyOk, const std::string& failureText);
// Error counter: Label36 text (prefix + count), then its colour. Counting, if
// any, is the caller's business and happens before.
ControlChanges ErrorCounterDisplay(const std::string& prefix, std::uint16_t ErrorCount);

} // namespace torv
