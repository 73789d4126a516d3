#pragma once
// The simulated GDI: memory device contexts with their selected font, text
// colour, background mode and map mode; font and brush objects; deterministic
// font metrics; and a record of what was drawn. SimMachine owns one as `gdi`
// and answers the GDI functions of the seam from it.
//
// Metrics depend on the face, the height and the weight, so that a bold run is
// measurably wider than the same text in the regular weight. Every character
// is at least one pixel wide and a text's extent is the sum of its characters'
// advances.

#include "os/Text.h"
#include "os/WinTypes.h"

#include <cstdint>
#include <map>
#include <vector>

namespace os::sim {

struct SimDc {
    HGDIOBJ font = nullptr;
    HGDIOBJ brush = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    int bkMode = OPAQUE;
    int mapMode = MM_TEXT;
};

// One ExtTextOutW call.
struct DrawnText {
    HDC dc = nullptr;
    int x = 0;
    int y = 0;
    UINT options = 0;
    bool clipRect = false;  // a rectangle was passed
    WString text;
    std::vector<int> advances;  // per character: the caller's, else the font's
    COLORREF color = 0;         // the DC's text colour at the time
    int bkMode = OPAQUE;
    int mapMode = MM_TEXT;
    LOGFONTW font{};  // the font selected at the time
};

// One FillRect call.
struct FilledRect {
    HDC dc = nullptr;
    RECT rect{};
    COLORREF color = 0;
};

class SimGdi {
public:
    SimGdi();
    SimGdi(const SimGdi&) = delete;
    SimGdi& operator=(const SimGdi&) = delete;

    // ---- State for tests to arrange.
    int logPixelsX = 96;
    int logPixelsY = 96;
    std::map<int, COLORREF> sysColors;  // GetSysColor; missing indexes answer 0
    LOGFONTW stockFont{};               // selected into every new DC ("System", -16)

    // ---- Records.
    std::vector<DrawnText> texts;
    std::vector<FilledRect> fills;
    int fontsCreated = 0;  // CreateFontIndirectW calls that made a font

    // ---- Metrics of a font, the same whatever DC it is selected into.
    static TEXTMETRICW Metrics(const LOGFONTW& font);
    static int CharWidth(const LOGFONTW& font, WCHAR c);
    static int TextWidth(const LOGFONTW& font, WStringView text);

    // ---- Queries.
    const SimDc* Dc(HDC dc) const;
    const LOGFONTW* Font(HGDIOBJ object) const;  // null for anything but a font
    const LOGFONTW& SelectedFont(HDC dc) const;  // the stock font for an unknown DC
    // DCs, fonts and brushes made and not deleted.
    int OpenObjects() const;

    // ---- Operations behind the WinApi members (no logging, no injected failures).
    HDC NewDc();
    bool RemoveDc(HDC dc);
    HGDIOBJ NewFont(const LOGFONTW& font);
    HGDIOBJ NewBrush(COLORREF color);
    bool RemoveObject(HGDIOBJ object);  // false for unknown and selected objects
    HGDIOBJ Select(HDC dc, HGDIOBJ object);
    HGDIOBJ Current(HDC dc, UINT type) const;
    SimDc* FindDc(HDC dc);
    bool BrushColor(HBRUSH brush, COLORREF* color) const;

private:
    struct Object {
        UINT type = 0;  // OBJ_FONT or OBJ_BRUSH
        LOGFONTW font{};
        COLORREF color = 0;
        bool stock = false;
    };

    HGDIOBJ NewObject(Object object);
    bool IsSelected(HGDIOBJ object) const;

    std::map<HDC, SimDc> dcs_;
    std::map<HGDIOBJ, Object> objects_;
    HGDIOBJ stockFontObject_ = nullptr;
    HGDIOBJ stockBrushObject_ = nullptr;
    uintptr_t nextHandle_ = 0x6D0000;
};

}  // namespace os::sim
