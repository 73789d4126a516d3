#include "os/sim/SimGdi.h"

#include "os/sim/SimMachine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace os::sim {
namespace {

constexpr int kMaxEm = 4096;  // keeps every width and sum far from overflow

WCHAR LowerAscii(WCHAR c) { return (c >= 'A' && c <= 'Z') ? static_cast<WCHAR>(c - 'A' + 'a') : c; }

// 90 to 110 percent, from the face name without regard to case, so that
// different faces measure differently.
int FacePercent(const LOGFONTW& font) {
    uint32_t hash = 2166136261u;
    for (int i = 0; i < LF_FACESIZE && font.lfFaceName[i]; ++i) {
        hash ^= LowerAscii(font.lfFaceName[i]);
        hash *= 16777619u;
    }
    return 90 + static_cast<int>(hash % 21);
}

struct Heights {
    int em;    // character height
    int cell;  // character height plus internal leading
};

Heights FontHeights(const LOGFONTW& font) {
    const long long height = font.lfHeight;
    if (height < 0) {
        const int em = static_cast<int>(std::min<long long>(-height, kMaxEm));
        return {em, em + (em + 3) / 4};
    }
    if (height > 0) {
        const int cell = static_cast<int>(std::min<long long>(height, kMaxEm + kMaxEm / 4));
        return {std::max(1, cell * 4 / 5), cell};
    }
    return {12, 15};
}

bool IsWide(WCHAR c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF);
}

int Permille(WCHAR c) {
    if (c == ' ') return 300;
    if (c < 0x80 && std::strchr("iljI.,;:'!|`", static_cast<char>(c)) && c != 0) return 280;
    if (c < 0x80 && std::strchr("mwMW@", static_cast<char>(c)) && c != 0) return 880;
    if (c >= 'A' && c <= 'Z') return 680;
    if (c >= '0' && c <= '9') return 560;
    if (c < 0x80) return 520;
    return IsWide(c) ? 1000 : 560;
}

std::string Hex(unsigned long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", value);
    return text;
}

std::string Handle(const void* handle) { return Hex(reinterpret_cast<uintptr_t>(handle)); }

std::string Text(LPCWSTR text, int count) {
    if (!text) return "(null)";
    return ToUtf8(WStringView(text, static_cast<std::size_t>(std::max(count, 0))));
}

}  // namespace

// ---------------------------------------------------------------- SimGdi

SimGdi::SimGdi() {
    sysColors = {
        {COLOR_WINDOW, RGB(255, 255, 255)},     {COLOR_WINDOWTEXT, RGB(0, 0, 0)},
        {COLOR_BTNFACE, RGB(240, 240, 240)},    {COLOR_BTNSHADOW, RGB(160, 160, 160)},
        {COLOR_GRAYTEXT, RGB(109, 109, 109)},   {COLOR_BTNTEXT, RGB(0, 0, 0)},
        {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)}, {COLOR_HOTLIGHT, RGB(0, 102, 204)},
        {COLOR_INFOBK, RGB(255, 255, 225)},     {COLOR_INFOTEXT, RGB(0, 0, 0)},
        {COLOR_HIGHLIGHT, RGB(0, 120, 215)},    {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)},
    };
    stockFont.lfHeight = -16;
    stockFont.lfWeight = FW_NORMAL;
    stockFont.lfCharSet = DEFAULT_CHARSET;
    const char16_t face[] = u"System";
    for (std::size_t i = 0; i < std::size(face); ++i) stockFont.lfFaceName[i] = static_cast<WCHAR>(face[i]);
    Object font;
    font.type = OBJ_FONT;
    font.stock = true;
    stockFontObject_ = NewObject(font);
    Object brush;
    brush.type = OBJ_BRUSH;
    brush.color = RGB(255, 255, 255);
    brush.stock = true;
    stockBrushObject_ = NewObject(brush);
}

TEXTMETRICW SimGdi::Metrics(const LOGFONTW& font) {
    const Heights heights = FontHeights(font);
    TEXTMETRICW metrics{};
    metrics.tmHeight = heights.cell;
    metrics.tmDescent = (heights.cell + 4) / 5;
    metrics.tmAscent = heights.cell - metrics.tmDescent;
    metrics.tmInternalLeading = heights.cell - heights.em;
    metrics.tmAveCharWidth = CharWidth(font, 'x');
    metrics.tmMaxCharWidth = CharWidth(font, 0x4E00);
    metrics.tmWeight = font.lfWeight ? font.lfWeight : FW_NORMAL;
    metrics.tmDigitizedAspectX = 96;
    metrics.tmDigitizedAspectY = 96;
    metrics.tmFirstChar = 0x20;
    metrics.tmLastChar = 0xFFFC;
    metrics.tmDefaultChar = 0x1F;
    metrics.tmBreakChar = 0x20;
    metrics.tmItalic = font.lfItalic;
    metrics.tmUnderlined = font.lfUnderline;
    metrics.tmStruckOut = font.lfStrikeOut;
    metrics.tmPitchAndFamily = font.lfPitchAndFamily;
    metrics.tmCharSet = font.lfCharSet;
    return metrics;
}

int SimGdi::CharWidth(const LOGFONTW& font, WCHAR c) {
    const int em = FontHeights(font).em;
    const long long scaled = static_cast<long long>(em) * Permille(c) * FacePercent(font);
    int width = std::max(1, static_cast<int>((scaled + 50000) / 100000));
    if (font.lfWeight >= FW_SEMIBOLD) width += std::max(1, em / 10);
    return width;
}

int SimGdi::TextWidth(const LOGFONTW& font, WStringView text) {
    int width = 0;
    for (WCHAR c : text) width += CharWidth(font, c);
    return width;
}

const SimDc* SimGdi::Dc(HDC dc) const {
    auto it = dcs_.find(dc);
    return it == dcs_.end() ? nullptr : &it->second;
}

SimDc* SimGdi::FindDc(HDC dc) {
    auto it = dcs_.find(dc);
    return it == dcs_.end() ? nullptr : &it->second;
}

const LOGFONTW* SimGdi::Font(HGDIOBJ object) const {
    if (object == stockFontObject_) return &stockFont;
    auto it = objects_.find(object);
    return (it == objects_.end() || it->second.type != OBJ_FONT) ? nullptr : &it->second.font;
}

const LOGFONTW& SimGdi::SelectedFont(HDC dc) const {
    const SimDc* state = Dc(dc);
    const LOGFONTW* font = state ? Font(state->font) : nullptr;
    return font ? *font : stockFont;
}

int SimGdi::OpenObjects() const {
    const auto made = std::count_if(objects_.begin(), objects_.end(),
                                    [](const auto& entry) { return !entry.second.stock; });
    return static_cast<int>(dcs_.size() + made);
}

HGDIOBJ SimGdi::NewObject(Object object) {
    HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(nextHandle_ += 4);
    objects_[handle] = object;
    return handle;
}

HDC SimGdi::NewDc() {
    HDC dc = reinterpret_cast<HDC>(nextHandle_ += 4);
    SimDc state;
    state.font = stockFontObject_;
    state.brush = stockBrushObject_;
    dcs_[dc] = state;
    return dc;
}

bool SimGdi::RemoveDc(HDC dc) { return dcs_.erase(dc) == 1; }

HGDIOBJ SimGdi::NewFont(const LOGFONTW& font) {
    Object object;
    object.type = OBJ_FONT;
    object.font = font;
    object.font.lfFaceName[LF_FACESIZE - 1] = 0;
    ++fontsCreated;
    return NewObject(object);
}

HGDIOBJ SimGdi::NewBrush(COLORREF color) {
    Object object;
    object.type = OBJ_BRUSH;
    object.color = color;
    return NewObject(object);
}

bool SimGdi::IsSelected(HGDIOBJ object) const {
    return std::any_of(dcs_.begin(), dcs_.end(), [&](const auto& entry) {
        return entry.second.font == object || entry.second.brush == object;
    });
}

bool SimGdi::RemoveObject(HGDIOBJ object) {
    auto it = objects_.find(object);
    if (it == objects_.end()) return false;
    if (it->second.stock) return true;  // Windows ignores deleting a stock object
    if (IsSelected(object)) return false;
    objects_.erase(it);
    return true;
}

HGDIOBJ SimGdi::Select(HDC dc, HGDIOBJ object) {
    SimDc* state = FindDc(dc);
    auto it = objects_.find(object);
    if (!state || it == objects_.end()) return nullptr;
    HGDIOBJ& slot = it->second.type == OBJ_FONT ? state->font : state->brush;
    HGDIOBJ previous = slot;
    slot = object;
    return previous;
}

HGDIOBJ SimGdi::Current(HDC dc, UINT type) const {
    const SimDc* state = Dc(dc);
    if (!state) return nullptr;
    if (type == OBJ_FONT) return state->font;
    if (type == OBJ_BRUSH) return state->brush;
    return nullptr;
}

bool SimGdi::BrushColor(HBRUSH brush, COLORREF* color) const {
    auto it = objects_.find(reinterpret_cast<HGDIOBJ>(brush));
    if (it != objects_.end() && it->second.type == OBJ_BRUSH) {
        *color = it->second.color;
        return true;
    }
    // A system colour index plus one stands for that colour's brush.
    const auto index = reinterpret_cast<uintptr_t>(brush);
    auto system = index > 0 ? sysColors.find(static_cast<int>(index - 1)) : sysColors.end();
    if (system == sysColors.end()) return false;
    *color = system->second;
    return true;
}

// ---------------------------------------------------------------- SimMachine: GDI

HDC SimMachine::CreateCompatibleDC(HDC dc) {
    Log("CreateCompatibleDC", Handle(dc));
    if (Injected("CreateCompatibleDC")) return nullptr;
    if (dc && !gdi.Dc(dc)) return nullptr;
    return gdi.NewDc();
}

BOOL SimMachine::DeleteDC(HDC dc) {
    Log("DeleteDC", Handle(dc));
    if (auto code = Injected("DeleteDC")) return FailWithLastError(*code);
    return gdi.RemoveDc(dc) ? TRUE : FailWithLastError(ERROR_INVALID_HANDLE);
}

HGDIOBJ SimMachine::GetCurrentObject(HDC dc, UINT type) {
    Log("GetCurrentObject", Handle(dc) + ",type=" + std::to_string(type));
    if (Injected("GetCurrentObject")) return nullptr;
    return gdi.Current(dc, type);
}

int SimMachine::GetObjectW(HANDLE object, int size, LPVOID buffer) {
    Log("GetObjectW", Handle(object) + ",size=" + std::to_string(size));
    if (Injected("GetObjectW")) return 0;
    const LOGFONTW* font = gdi.Font(object);
    if (!font) return 0;
    if (!buffer) return static_cast<int>(sizeof(LOGFONTW));
    if (size <= 0) return 0;
    const int copied = std::min(size, static_cast<int>(sizeof(LOGFONTW)));
    std::memcpy(buffer, font, static_cast<std::size_t>(copied));
    return copied;
}

HGDIOBJ SimMachine::SelectObject(HDC dc, HGDIOBJ object) {
    Log("SelectObject", Handle(dc) + "," + Handle(object));
    if (Injected("SelectObject")) return nullptr;
    return gdi.Select(dc, object);
}

BOOL SimMachine::DeleteObject(HGDIOBJ object) {
    Log("DeleteObject", Handle(object));
    if (auto code = Injected("DeleteObject")) return FailWithLastError(*code);
    return gdi.RemoveObject(object) ? TRUE : FALSE;
}

HFONT SimMachine::CreateFontIndirectW(const LOGFONTW* font) {
    Log("CreateFontIndirectW", font ? ToUtf8(WString(font->lfFaceName, std::find(font->lfFaceName,
                                                                                 font->lfFaceName + LF_FACESIZE,
                                                                                 WCHAR(0)))) +
                                          ",height=" + std::to_string(font->lfHeight) +
                                          ",weight=" + std::to_string(font->lfWeight)
                                    : "(null)");
    if (Injected("CreateFontIndirectW") || !font) return nullptr;
    return reinterpret_cast<HFONT>(gdi.NewFont(*font));
}

HBRUSH SimMachine::CreateSolidBrush(COLORREF color) {
    Log("CreateSolidBrush", Hex(color));
    if (Injected("CreateSolidBrush")) return nullptr;
    return reinterpret_cast<HBRUSH>(gdi.NewBrush(color));
}

COLORREF SimMachine::GetTextColor(HDC dc) {
    Log("GetTextColor", Handle(dc));
    const SimDc* state = gdi.Dc(dc);
    if (Injected("GetTextColor") || !state) return CLR_INVALID;
    return state->textColor;
}

COLORREF SimMachine::SetTextColor(HDC dc, COLORREF color) {
    Log("SetTextColor", Handle(dc) + "," + Hex(color));
    SimDc* state = gdi.FindDc(dc);
    if (Injected("SetTextColor") || !state) return CLR_INVALID;
    const COLORREF previous = state->textColor;
    state->textColor = color;
    return previous;
}

int SimMachine::SetBkMode(HDC dc, int mode) {
    Log("SetBkMode", Handle(dc) + "," + std::to_string(mode));
    SimDc* state = gdi.FindDc(dc);
    if (Injected("SetBkMode") || !state || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    const int previous = state->bkMode;
    state->bkMode = mode;
    return previous;
}

int SimMachine::SetMapMode(HDC dc, int mode) {
    Log("SetMapMode", Handle(dc) + "," + std::to_string(mode));
    SimDc* state = gdi.FindDc(dc);
    if (Injected("SetMapMode") || !state || mode < 1 || mode > 8) return 0;
    const int previous = state->mapMode;
    state->mapMode = mode;
    return previous;
}

int SimMachine::GetDeviceCaps(HDC dc, int index) {
    Log("GetDeviceCaps", Handle(dc) + "," + std::to_string(index));
    if (Injected("GetDeviceCaps") || !gdi.Dc(dc)) return 0;
    if (index == LOGPIXELSX) return gdi.logPixelsX;
    if (index == LOGPIXELSY) return gdi.logPixelsY;
    return 0;
}

BOOL SimMachine::GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) {
    Log("GetTextMetricsW", Handle(dc));
    if (auto code = Injected("GetTextMetricsW")) return FailWithLastError(*code);
    if (!gdi.Dc(dc) || !metrics) return FailWithLastError(ERROR_INVALID_PARAMETER);
    *metrics = SimGdi::Metrics(gdi.SelectedFont(dc));
    return TRUE;
}

BOOL SimMachine::GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) {
    Log("GetTextExtentPoint32W", "count=" + std::to_string(count));
    if (auto code = Injected("GetTextExtentPoint32W")) return FailWithLastError(*code);
    if (!gdi.Dc(dc) || !size || count < 0 || (count > 0 && !text)) return FailWithLastError(ERROR_INVALID_PARAMETER);
    const LOGFONTW& font = gdi.SelectedFont(dc);
    size->cx = SimGdi::TextWidth(font, WStringView(text ? text : WSTR(""), static_cast<std::size_t>(count)));
    size->cy = SimGdi::Metrics(font).tmHeight;
    return TRUE;
}

BOOL SimMachine::GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, LPINT fit,
                                        LPINT extents, LPSIZE size) {
    Log("GetTextExtentExPointW", "count=" + std::to_string(count) + ",max=" + std::to_string(maxExtent));
    if (auto code = Injected("GetTextExtentExPointW")) return FailWithLastError(*code);
    if (!gdi.Dc(dc) || !size || count < 0 || (count > 0 && !text)) return FailWithLastError(ERROR_INVALID_PARAMETER);
    const LOGFONTW& font = gdi.SelectedFont(dc);
    int width = 0;
    int fitting = 0;
    for (int i = 0; i < count; ++i) {
        width += SimGdi::CharWidth(font, text[i]);
        if (extents) extents[i] = width;
        if (width <= maxExtent && fitting == i) ++fitting;
    }
    if (fit) *fit = fitting;
    size->cx = width;
    size->cy = SimGdi::Metrics(font).tmHeight;
    return TRUE;
}

BOOL SimMachine::ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                              const INT* advances) {
    const int length = static_cast<int>(std::min<UINT>(count, 0x7FFFFFFF));
    Log("ExtTextOutW", std::to_string(x) + "," + std::to_string(y) + "," + Text(text, length));
    if (auto code = Injected("ExtTextOutW")) return FailWithLastError(*code);
    const SimDc* state = gdi.Dc(dc);
    if (!state || (count > 0 && !text)) return FailWithLastError(ERROR_INVALID_PARAMETER);
    DrawnText drawn;
    drawn.dc = dc;
    drawn.x = x;
    drawn.y = y;
    drawn.options = options;
    drawn.clipRect = rect != nullptr;
    drawn.text.assign(text ? text : WSTR(""), static_cast<std::size_t>(length));
    drawn.font = gdi.SelectedFont(dc);
    for (int i = 0; i < length; ++i)
        drawn.advances.push_back(advances ? advances[i] : SimGdi::CharWidth(drawn.font, text[i]));
    drawn.color = state->textColor;
    drawn.bkMode = state->bkMode;
    drawn.mapMode = state->mapMode;
    gdi.texts.push_back(std::move(drawn));
    return TRUE;
}

int SimMachine::FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    Log("FillRect", Handle(dc) + "," + Handle(brush));
    if (Injected("FillRect")) return 0;
    COLORREF color = 0;
    if (!gdi.Dc(dc) || !rect || !gdi.BrushColor(brush, &color)) return 0;
    gdi.fills.push_back(FilledRect{dc, *rect, color});
    return 1;
}

DWORD SimMachine::GetSysColor(int index) {
    Log("GetSysColor", std::to_string(index));
    auto it = gdi.sysColors.find(index);
    return it == gdi.sysColors.end() ? 0 : it->second;
}

int SimMachine::MulDiv(int number, int numerator, int denominator) {
    Log("MulDiv", std::to_string(number) + "," + std::to_string(numerator) + "," + std::to_string(denominator));
    if (denominator == 0) return -1;
    long long product = static_cast<long long>(number) * numerator;
    long long divisor = denominator;
    if (divisor < 0) {
        product = -product;
        divisor = -divisor;
    }
    const long long rounded = (product >= 0 ? product + divisor / 2 : product - divisor / 2) / divisor;
    if (rounded > 2147483647LL || rounded < -2147483647LL) return -1;
    return static_cast<int>(rounded);
}

}  // namespace os::sim
