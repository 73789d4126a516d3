#include "toolkit/Colors.h"

#include "os/Text.h"
#include "os/WinApi.h"

namespace toolkit {
namespace {

struct NamedColor {
    const char* name;
    TColor color;
};

constexpr NamedColor kColors[] = {
    {"clNone", clNone},           {"clDefault", clDefault},       {"clBlack", clBlack},
    {"clWhite", clWhite},         {"clMaroon", clMaroon},         {"clBlue", clBlue},
    {"clWindow", clWindow},       {"clWindowText", clWindowText}, {"clBtnFace", clBtnFace},
    {"clBtnText", clBtnText},     {"clBtnShadow", clBtnShadow},   {"clBtnHighlight", clBtnHighlight},
    {"clGrayText", clGrayText},   {"clInfoBk", clInfoBk},         {"clInfoText", clInfoText},
    {"clHighlight", clHighlight}, {"clHighlightText", clHighlightText}, {"clHotLight", clHotLight},
};

struct ContrastState {
    bool known = false;
    unsigned machine = 0;
    bool on = false;
};

ContrastState& Contrast() {
    static ContrastState state;
    return state;
}

bool ReadHighContrast() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    if (!os::Api().SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0)) return false;
    return (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace

COLORREF ColorToRGB(TColor color) {
    if (IsSystemColor(color)) return os::Api().GetSysColor(static_cast<int>(color & 0xFF));
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

bool HighContrast() {
    ContrastState& state = Contrast();
    if (!state.known || state.machine != os::MachineGeneration()) {
        state.on = ReadHighContrast();
        state.machine = os::MachineGeneration();
        state.known = true;
    }
    return state.on;
}

void SystemColorsChanged() { Contrast().known = false; }

TColor TextColorOn(TColor background) {
    switch (background) {
        case clBtnFace: return clBtnText;
        case clInfoBk: return clInfoText;
        case clHighlight: return clHighlightText;
        default: return clWindowText;
    }
}

TColor ContrastColor(TColor color, TColorPart part, TColor background) {
    if (IsSystemColor(color) || color == clNone || color == clDefault || !HighContrast()) return color;
    switch (part) {
        case TColorPart::Background: return clWindow;
        case TColorPart::Tip: return clInfoBk;
        case TColorPart::Link: return clHotLight;
        case TColorPart::Text: break;
    }
    return TextColorOn(background);
}

}  // namespace toolkit
