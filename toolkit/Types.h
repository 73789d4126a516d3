#pragma once
// Colours, cursors and modal results shared by every control.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string_view>

namespace toolkit {

class TComponent;

using TNotifyEvent = std::function<void(TComponent* sender)>;

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
inline constexpr TColor clHotLight = clSystemColor | COLOR_HOTLIGHT;

inline constexpr TColor RGBColor(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
COLORREF ColorToRGB(TColor color);
// "clBtnFace", "clWhite", ...; false for an unknown name.
bool ColorFromName(std::string_view name, TColor& color);

enum TCursor : int { crDefault = 0, crArrow = -2, crIBeam = -4, crHourGlass = -11, crHandPoint = -21 };
HCURSOR CursorHandle(TCursor cursor);
bool CursorFromName(std::string_view name, TCursor& cursor);

// Modal results, the standard numbers.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;

enum class TAlign { alNone, alTop };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

struct TMargins {
    int left = 3;
    int top = 3;
    int right = 3;
    int bottom = 3;
};

}  // namespace toolkit
