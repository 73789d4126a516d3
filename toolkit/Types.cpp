#include "toolkit/Types.h"

#include "os/Text.h"

#include <array>

namespace toolkit {
namespace {

struct NamedColor {
    const char* name;
    TColor color;
};

constexpr std::array<NamedColor, 17> kColors{{
    {"clNone", clNone},         {"clDefault", clDefault},       {"clBlack", clBlack},
    {"clWhite", clWhite},       {"clMaroon", clMaroon},         {"clBlue", clBlue},
    {"clWindow", clWindow},     {"clWindowText", clWindowText}, {"clBtnFace", clBtnFace},
    {"clBtnText", clBtnText},   {"clBtnShadow", clBtnShadow},   {"clBtnHighlight", clBtnHighlight},
    {"clGrayText", clGrayText}, {"clInfoBk", clInfoBk},         {"clInfoText", clInfoText},
    {"clHighlight", clHighlight}, {"clHotLight", clHotLight},
}};

struct NamedCursor {
    const char* name;
    TCursor cursor;
};

constexpr std::array<NamedCursor, 5> kCursors{{
    {"crDefault", crDefault}, {"crArrow", crArrow}, {"crIBeam", crIBeam},
    {"crHourGlass", crHourGlass}, {"crHandPoint", crHandPoint},
}};

}  // namespace

COLORREF ColorToRGB(TColor color) {
    if ((color & 0xFF000000) == clSystemColor) return GetSysColor(static_cast<int>(color & 0xFF));
    return color & 0x00FFFFFF;
}

bool ColorFromName(std::string_view name, TColor& color) {
    for (const NamedColor& named : kColors)
        if (os::EqualsIgnoringCase(name, named.name)) {
            color = named.color;
            return true;
        }
    return false;
}

HCURSOR CursorHandle(TCursor cursor) {
    switch (cursor) {
        case crIBeam: return LoadCursorW(nullptr, IDC_IBEAM);
        case crHourGlass: return LoadCursorW(nullptr, IDC_WAIT);
        case crHandPoint: return LoadCursorW(nullptr, IDC_HAND);
        default: return LoadCursorW(nullptr, IDC_ARROW);
    }
}

bool CursorFromName(std::string_view name, TCursor& cursor) {
    for (const NamedCursor& named : kCursors)
        if (os::EqualsIgnoringCase(name, named.name)) {
            cursor = named.cursor;
            return true;
        }
    return false;
}

}  // namespace toolkit
