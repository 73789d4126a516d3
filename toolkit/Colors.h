#pragma once
// Colours of the windows: fixed colours, the system's colours, and what each
// becomes on screen. With a high-contrast scheme on, a fixed colour gives way
// to the system colour of the part it paints, so that every text stays
// readable in the user's scheme; system colours always stay what they are.

#include "os/WinTypes.h"

#include <cstdint>
#include <string_view>

namespace toolkit {

// A colour: 0x00BBGGRR, or a system colour (clSystemColor | COLOR_xxx index),
// or one of clNone / clDefault.
using TColor = std::uint32_t;
inline constexpr TColor clSystemColor = 0xFF000000;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;  // the parent's colour
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
inline constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
inline constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
inline constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
inline constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
inline constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
inline constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
inline constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;
inline constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;
inline constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
inline constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
inline constexpr TColor clHotLight = clSystemColor | COLOR_HOTLIGHT;

inline constexpr TColor RGBColor(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline constexpr bool IsSystemColor(TColor color) { return (color & 0xFF000000) == clSystemColor; }
// The RGB value; system colours are read from the machine in use.
COLORREF ColorToRGB(TColor color);
// "clBtnFace", "clWhite", ...; false for an unknown name.
bool ColorFromName(std::string_view name, TColor& color);

// Whether the user's high-contrast scheme is on. Read once from the machine
// in use and kept until SystemColorsChanged; a failed read counts as off.
bool HighContrast();
// The system's colours or its high-contrast setting changed: the next
// HighContrast reads the machine again.
void SystemColorsChanged();

// What a colour paints.
enum class TColorPart {
    Background,  // an area behind text: the window colour in high contrast
    Tip,         // the background of a tooltip: the tooltip colour
    Text,        // text and lines: the text colour that goes with the background
    Link,        // a link's text: the hot-track colour
};
// The colour that paints `part`: `color` itself, or with high contrast on and
// a fixed `color`, the system colour of the part. `background` is what text
// or a line is drawn on (a system colour by then); clWindowText goes with any
// background that has no text colour of its own.
TColor ContrastColor(TColor color, TColorPart part, TColor background = clWindow);
// The system's text colour for a system background colour.
TColor TextColorOn(TColor background);

}  // namespace toolkit
