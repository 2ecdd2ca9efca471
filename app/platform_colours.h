#pragma once
#include <QColor>

#include "view/colours.h"

// Colours arrive as platform integers with blue in the high byte and red in
// the low one (0xBBGGRR), as the decoders hand them over (torv::colours).
inline QColor PlatformColour(int bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// The colours only the window itself uses.
namespace window_colours {
inline constexpr int kBlack = 0x000000;
// The desktop's button-highlight and menu-bar colours as the classic
// Windows scheme paints them (white and a light grey); Linux desktops have
// no such system colours.
inline constexpr int kWindow = 0xFFFFFF;
inline constexpr int kMenuBar = 0xF0F0F0;
} // namespace window_colours
