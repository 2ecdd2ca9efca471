#pragma once

class QWidget;

// Maps the window's Windows face names onto faces that Debian ships
// (fonts-dejavu-core, fonts-liberation), keeping the names in the form.
// Safe to call more than once; must run before the window's fonts resolve.
void RegisterFontSubstitutes();

// The form stores font sizes in points; the window is laid out in pixels at
// 96 dpi. Turns every font set on `root` or below into its pixel height
// (8 pt -> 11 px, 9 -> 12, 10 -> 13, 11 -> 15, 12 -> 16, 14 -> 19, 15 -> 20),
// so the text keeps its size on a screen of any dpi.
void PinFontsToPixels(QWidget* root);

// The face each window face is drawn with here (empty when it has none).
struct FontSubstitute {
    const char* face;
    const char* substitute;
};
extern const FontSubstitute kFontSubstitutes[];
extern const int kFontSubstituteCount;
