#include "widgets/HTMLRender.h"

#include "os/WinApi.h"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <stdexcept>

namespace widgets {
namespace {

using os::WString;
using os::WStringView;

struct NamedColor {
    const char* name;
    COLORREF value;
};

constexpr NamedColor kColorNames[] = {
    {"clBlack", 0x000000},  {"clMaroon", 0x000080}, {"clGreen", 0x008000}, {"clOlive", 0x008080},
    {"clNavy", 0x800000},   {"clPurple", 0x800080}, {"clTeal", 0x808000},  {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF},    {"clLime", 0x00FF00},  {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00}, {"clWhite", 0xFFFFFF},
};

constexpr int kMaxFaceLength = LF_FACESIZE - 1;

bool IsBlank(WCHAR c) { return c <= 32; }
bool IsFoldedWhitespace(WCHAR c) { return c == 9 || c == 10 || c == 13 || c == 32; }

WCHAR LowerAscii(WCHAR c) { return (c >= 'A' && c <= 'Z') ? static_cast<WCHAR>(c - 'A' + 'a') : c; }

bool EqualsAscii(WStringView text, const char* ascii) {
    std::size_t i = 0;
    for (; ascii[i]; ++i)
        if (i >= text.size() || text[i] != static_cast<WCHAR>(ascii[i])) return false;
    return i == text.size();
}

bool EqualsAsciiIgnoringCase(WStringView text, const char* ascii) {
    std::size_t i = 0;
    for (; ascii[i]; ++i)
        if (i >= text.size() || LowerAscii(text[i]) != LowerAscii(static_cast<WCHAR>(ascii[i]))) return false;
    return i == text.size();
}

WStringView TrimBlanks(WStringView text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Tokens separated by runs of characters of code 32 or below. A token that
// begins with a double quote runs to the closing quote, without the quotes,
// two quotes inside standing for one; an unclosed one runs to the end.
std::vector<WString> Tokenize(WStringView text) {
    std::vector<WString> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i >= text.size()) break;
        WString token;
        if (text[i] == '"') {
            for (++i; i < text.size(); ++i) {
                if (text[i] != '"') {
                    token += text[i];
                } else if (i + 1 < text.size() && text[i + 1] == '"') {
                    token += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        } else {
            const std::size_t start = i;
            while (i < text.size() && !IsBlank(text[i])) ++i;
            token.assign(text.substr(start, i - start));
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

// The part after the first "=" of the first token whose part before it is the
// name; empty when there is none.
WString RawAttribute(const std::vector<WString>& tokens, const char* name) {
    for (const WString& token : tokens) {
        const std::size_t equals = token.find('=');
        if (equals != WString::npos && EqualsAsciiIgnoringCase(WStringView(token).substr(0, equals), name))
            return token.substr(equals + 1);
    }
    return {};
}

// A value in double quotes loses them (two quotes inside stand for one); an
// unclosed quote leaves the value as written.
WString Dequote(const WString& raw) {
    if (raw.empty() || raw[0] != '"') return raw;
    WString value;
    for (std::size_t i = 1; i < raw.size(); ++i) {
        if (raw[i] != '"') {
            value += raw[i];
        } else if (i + 1 < raw.size() && raw[i + 1] == '"') {
            value += '"';
            ++i;
        } else {
            return value;
        }
    }
    return raw;
}

int HexDigit(WCHAR c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// An integer as Pascal reads one: leading blanks, an optional sign, decimal
// digits or "$" / "0x" and hexadecimal digits (up to 32 bits), nothing after.
std::optional<int32_t> ReadInteger(WStringView text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    bool hex = false;
    if (!text.empty() && text.front() == '$') {
        hex = true;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hex = true;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    long long value = 0;
    for (WCHAR c : text) {
        const int digit = hex ? HexDigit(c) : ((c >= '0' && c <= '9') ? c - '0' : -1);
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + digit;
        if (value > (hex ? 0xFFFFFFFFLL : 0x80000000LL)) return std::nullopt;
    }
    if (hex) value = static_cast<int32_t>(static_cast<uint32_t>(value));
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(value);
}

int32_t Negated(int32_t value) { return static_cast<int32_t>(0u - static_cast<uint32_t>(value)); }

int ClampToInt(long long value) { return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)); }

int CountSpaces(WStringView text) { return static_cast<int>(std::count(text.begin(), text.end(), WCHAR(' '))); }

// Measures prefixes of one text in the selected font, each length once.
class PrefixWidths {
public:
    PrefixWidths(HDC dc, WStringView text) : dc_(dc), text_(text) {}

    int Of(std::size_t length) {
        auto it = known_.find(length);
        if (it != known_.end()) return it->second;
        const int width = MeasureWidth(dc_, text_.substr(0, length));
        known_.emplace(length, width);
        return width;
    }

    // The longest prefix no wider than the limit; -1 when even the empty one
    // is too wide. Widths grow with the length, so the search gallops from the
    // start and then bisects, measuring little more than one line.
    long long LongestWithin(long long limit) {
        if (limit < 0) return -1;
        const std::size_t length = text_.size();
        std::size_t fits = 0;
        std::size_t step = 64;
        std::size_t tooWide = 0;
        for (;;) {
            const std::size_t probe = std::min(length, fits + step);
            if (Of(probe) <= limit) {
                fits = probe;
                if (probe == length) return static_cast<long long>(length);
                step *= 2;
            } else {
                tooWide = probe;
                break;
            }
        }
        while (tooWide - fits > 1) {
            const std::size_t middle = fits + (tooWide - fits) / 2;
            if (Of(middle) <= limit)
                fits = middle;
            else
                tooWide = middle;
        }
        return static_cast<long long>(fits);
    }

private:
    HDC dc_;
    WStringView text_;
    std::map<std::size_t, int> known_;
};

// How much of a run stays on the current line when it begins at lineX on a
// line of the given width: whole words move on to the next line until the rest
// fits; a word wider than the line itself is split between characters. None
// when the line must end before the run instead: its first word fits a line of
// its own but not after what the line already holds. A line narrower than one
// character still keeps one.
std::optional<std::size_t> Place(PrefixWidths& widths, WStringView text, long long lineX, long long width) {
    const long long fits = widths.LongestWithin(width - lineX);
    if (fits == static_cast<long long>(text.size())) return text.size();
    if (fits >= 0) {
        const std::size_t space = text.rfind(' ', static_cast<std::size_t>(fits));
        if (space != WStringView::npos) return space;
    }
    // No word fits after what the line holds.
    if (lineX == 0) {
        if (fits > 0) return static_cast<std::size_t>(fits);
        return (!text.empty() && text[0] != ' ') ? 1 : 0;
    }
    const long long fitsLine = widths.LongestWithin(width);
    if (fitsLine < 0) return std::nullopt;
    const bool firstWordFitsLine = static_cast<long long>(text.size()) <= fitsLine ||
                                   text.substr(0, static_cast<std::size_t>(fitsLine) + 1).find(' ') != WStringView::npos;
    if (!firstWordFitsLine && fitsLine == fits) return static_cast<std::size_t>(fits);
    return std::nullopt;
}

struct Split {
    std::size_t keep = 0;     // characters that stay on the current line
    bool wrapBefore = false;  // the line ended before this run
};

Split SplitRun(PrefixWidths& widths, WStringView text, long long lineX, long long width) {
    if (std::optional<std::size_t> keep = Place(widths, text, lineX, width)) return Split{*keep, false};
    return Split{Place(widths, text, 0, width).value(), true};
}

}  // namespace

// ---------------------------------------------------------------- free functions

int MeasureWidth(HDC dc, WStringView text) {
    SIZE size{};
    if (!os::Api().GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size)) return 0;
    return size.cx;
}

COLORREF ParseColor(WStringView value, COLORREF defaultColor) {
    if (value.empty()) return defaultColor;
    if (value[0] == '#') {
        WString hex(1, '$');
        for (std::size_t from : {6u, 4u, 2u})
            for (std::size_t position = from; position <= from + 1; ++position)
                if (position <= value.size()) hex += value[position - 1];
        const std::optional<int32_t> number = ReadInteger(hex);
        return number ? static_cast<COLORREF>(*number) : defaultColor;
    }
    WString name = WSTR("cl");
    name += value;
    for (const NamedColor& color : kColorNames)
        if (EqualsAsciiIgnoringCase(name, color.name)) return color.value;
    return defaultColor;
}

int SpaceShare(int k, int spaces, int extra) {
    if (spaces <= 0) return 0;
    const int base = extra / spaces;
    // The fraction extra / spaces - base is remainder / spaces; the integer
    // parts of its multiples are taken exactly, rounding toward zero.
    const long long remainder = static_cast<long long>(extra) - static_cast<long long>(base) * spaces;
    if (k > 0 && (k * remainder) / spaces > ((k - 1) * remainder) / spaces) return base + 1;
    return base;
}

// ---------------------------------------------------------------- THTMLRenderFont

void THTMLRenderFont::Assign(const THTMLRenderFont& other) {
    Face = other.Face;
    Height = other.Height;
    Style = other.Style;
    Color = other.Color;
}

void THTMLRenderFont::InitFromDC(HDC dc) {
    os::WinApi& api = os::Api();
    LOGFONTW font{};
    HGDIOBJ current = api.GetCurrentObject(dc, OBJ_FONT);
    if (current && api.GetObjectW(current, sizeof font, &font) > 0) {
        const WCHAR* end = std::find(font.lfFaceName, font.lfFaceName + LF_FACESIZE, WCHAR(0));
        Face = os::ToUtf8(WStringView(font.lfFaceName, static_cast<std::size_t>(end - font.lfFaceName)));
        Height = font.lfHeight;
        Style = 0;
        if (font.lfWeight >= FW_BOLD) Style |= fsBold;
        if (font.lfItalic) Style |= fsItalic;
        if (font.lfUnderline) Style |= fsUnderline;
        if (font.lfStrikeOut) Style |= fsStrikeOut;
    }
    Color = api.GetTextColor(dc);
}

void THTMLRenderFont::SelectInto(HDC dc) {
    os::WinApi& api = os::Api();
    LOGFONTW font{};
    font.lfHeight = Height;
    font.lfWeight = (Style & fsBold) ? FW_BOLD : FW_NORMAL;
    font.lfItalic = (Style & fsItalic) ? 1 : 0;
    font.lfUnderline = (Style & fsUnderline) ? 1 : 0;
    font.lfStrikeOut = (Style & fsStrikeOut) ? 1 : 0;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfPitchAndFamily = VARIABLE_PITCH;
    const WString face = os::FromUtf8(Face);
    std::copy_n(face.begin(), std::min<std::size_t>(face.size(), kMaxFaceLength), font.lfFaceName);
    Handle = api.CreateFontIndirectW(&font);
    SavedFont = Handle ? api.SelectObject(dc, Handle) : nullptr;
    SavedColor = api.SetTextColor(dc, Color);
}

void THTMLRenderFont::Restore(HDC dc) {
    os::WinApi& api = os::Api();
    if (SavedFont) api.SelectObject(dc, SavedFont);
    if (SavedColor != CLR_INVALID) api.SetTextColor(dc, SavedColor);
    if (Handle) api.DeleteObject(Handle);
    Handle = nullptr;
    SavedFont = nullptr;
}

// ---------------------------------------------------------------- THTMLRenderStack

void THTMLRenderStack::Clear() {
    while (!items_.empty()) items_.pop_back();
}

void THTMLRenderStack::Push(std::unique_ptr<THTMLRenderItem> item) { items_.push_back(std::move(item)); }

void THTMLRenderStack::Insert(std::size_t index, std::unique_ptr<THTMLRenderItem> item) {
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(std::min(index, items_.size())), std::move(item));
}

std::unique_ptr<THTMLRenderItem> THTMLRenderStack::Pop() {
    if (items_.empty()) return nullptr;
    std::unique_ptr<THTMLRenderItem> item = std::move(items_.back());
    items_.pop_back();
    return item;
}

THTMLRenderItem* THTMLRenderStack::Peek() const { return items_.empty() ? nullptr : items_.back().get(); }

// ---------------------------------------------------------------- THTMLRender

struct THTMLRender::ParseState {
    HDC dc;
    COLORREF linkColor;
    WString href;
    THTMLRenderStack saved;  // each saved state is an item whose Font holds it
    THTMLRenderFont font;
};

void THTMLRender::Layout(const WString& text, HDC dc, COLORREF linkColor, bool justify, const RECT& rect) {
    const int width = ClampToInt(static_cast<long long>(rect.right) - rect.left);
    Parse(text, dc, linkColor);
    WrapItems(dc, width);
    if (justify) JustifyLines(dc, width);
}

void THTMLRender::Parse(const WString& text, HDC dc, COLORREF linkColor) {
    ParseState state{dc, linkColor, {}, {}, {}};
    state.font.InitFromDC(dc);
    Items.Clear();
    WStringView rest(text);
    for (;;) {
        const std::size_t open = rest.find('<');
        if (open == WStringView::npos) {
            AddRun(state, rest);
            return;
        }
        if (open > 0) {
            AddRun(state, rest.substr(0, open));
            rest.remove_prefix(open);
        }
        const std::size_t close = rest.find('>');
        if (close == WStringView::npos) return;
        ApplyTag(state, TrimBlanks(rest.substr(1, close - 1)));
        rest.remove_prefix(close + 1);
    }
}

void THTMLRender::AddRun(ParseState& state, WStringView text) {
    auto item = std::make_unique<THTMLRenderItem>();
    bool afterWhitespace = false;
    for (WCHAR c : text) {
        const bool whitespace = IsFoldedWhitespace(c);
        if (!whitespace)
            item->Text += c;
        else if (!afterWhitespace)
            item->Text += ' ';
        afterWhitespace = whitespace;
    }
    item->Href = state.href;
    item->Font.Assign(state.font);
    Items.Push(std::move(item));
}

void THTMLRender::ApplyTag(ParseState& state, WStringView tag) {
    const std::vector<WString> tokens = Tokenize(tag);
    if (tokens.empty()) return;
    WString name = tokens[0];
    std::transform(name.begin(), name.end(), name.begin(), LowerAscii);
    const auto save = [&state] {
        auto copy = std::make_unique<THTMLRenderItem>();
        copy->Font.Assign(state.font);
        state.saved.Push(std::move(copy));
    };

    if (EqualsAscii(name, "br")) {
        if (THTMLRenderItem* last = Items.Peek()) last->LineBreak = lbHard;
    } else if (EqualsAscii(name, "b") || EqualsAscii(name, "i") || EqualsAscii(name, "u")) {
        save();
        state.font.Style |= name[0] == 'b' ? fsBold : name[0] == 'i' ? fsItalic : fsUnderline;
    } else if (EqualsAscii(name, "font")) {
        save();
        const WString face = RawAttribute(tokens, "face");
        if (!face.empty()) state.font.Face = os::ToUtf8(Dequote(face));
        const WString size = RawAttribute(tokens, "size");
        if (!size.empty()) {
            const int32_t points = ReadInteger(Dequote(size)).value_or(0);
            if (points != 0) {
                os::WinApi& api = os::Api();
                state.font.Height = Negated(api.MulDiv(points, api.GetDeviceCaps(state.dc, LOGPIXELSY), 72));
            }
        }
        const WString color = RawAttribute(tokens, "color");
        if (!color.empty()) state.font.Color = ParseColor(Dequote(color), state.font.Color);
    } else if (EqualsAscii(name, "a")) {
        save();
        const WString color = RawAttribute(tokens, "color");
        state.font.Color = color.empty() ? state.linkColor : ParseColor(Dequote(color), state.linkColor);
        state.font.Style |= fsUnderline;
        state.href = Dequote(RawAttribute(tokens, "href"));
    } else if (EqualsAscii(name, "/b") || EqualsAscii(name, "/i") || EqualsAscii(name, "/u") ||
               EqualsAscii(name, "/font") || EqualsAscii(name, "/a")) {
        if (EqualsAscii(name, "/a")) state.href.clear();
        if (std::unique_ptr<THTMLRenderItem> previous = state.saved.Pop()) state.font.Assign(previous->Font);
    }
}

void THTMLRender::WrapItems(HDC dc, int width) {
    TextHeight = 0;
    int lineMax = 0;
    long long lineX = 0;
    const auto endLine = [&] {
        TextHeight += InterlineSpacing + lineMax;
        lineMax = 0;
        lineX = 0;
    };
    for (std::size_t i = 0; i < Items.Count(); ++i) {
        THTMLRenderItem& first = Items[i];
        const WString text = std::move(first.Text);
        const TLineBreak lineBreak = first.LineBreak;
        TSelectedFont selected(first.Font, dc);
        TEXTMETRICW metrics{};
        const bool hasMetrics = os::Api().GetTextMetricsW(dc, &metrics) != FALSE;

        // The run becomes one item per line it occupies.
        THTMLRenderItem* item = &first;
        std::size_t start = 0;
        for (;;) {
            if (hasMetrics) {
                item->Height = metrics.tmHeight;
                item->Ascent = metrics.tmAscent;
                lineMax = std::max(lineMax, item->Height);
            }
            const WStringView rest = WStringView(text).substr(start);
            PrefixWidths widths(dc, rest);
            const Split split = SplitRun(widths, rest, lineX, width);
            if (split.wrapBefore) {
                if (i == 0) throw std::logic_error("Assertion failure (HTMLRender)");
                Items[i - 1].LineBreak = lbWrap;
                TextHeight += InterlineSpacing + lineMax;
                lineX = 0;
            }
            item->Text.assign(rest.substr(0, split.keep));
            item->Width = widths.Of(split.keep);
            if (split.keep == rest.size()) {
                item->LineBreak = lineBreak;
                if (lineBreak == lbNone)
                    lineX += item->Width;
                else
                    endLine();
                break;
            }
            item->LineBreak = lbWrap;
            endLine();
            start += split.keep;
            if (text[start] == ' ') ++start;
            auto next = std::make_unique<THTMLRenderItem>();
            next->Href = first.Href;
            next->Font.Assign(first.Font);
            item = next.get();
            Items.Insert(++i, std::move(next));
        }
    }
    TextHeight += InterlineSpacing + lineMax;
}

void THTMLRender::JustifyLines(HDC dc, int width) {
    long long lineWidth = 0;
    int spaces = 0;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < Items.Count(); ++i) {
        THTMLRenderItem& item = Items[i];
        lineWidth += item.Width;
        spaces += CountSpaces(item.Text);
        if (item.LineBreak == lbNone) continue;

        std::size_t trailing = 0;
        while (trailing < item.Text.size() && item.Text[item.Text.size() - 1 - trailing] == ' ') ++trailing;
        if (trailing > 0) {
            item.Text.resize(item.Text.size() - trailing);
            spaces -= static_cast<int>(trailing);
            TSelectedFont selected(item.Font, dc);
            const int measured = MeasureWidth(dc, item.Text);
            lineWidth += measured - item.Width;
            item.Width = measured;
        }
        if (item.LineBreak == lbWrap) {
            const int extra = ClampToInt(width - lineWidth);
            int k = 0;
            for (std::size_t j = i + 1; j-- > lineStart;) {
                THTMLRenderItem& run = Items[j];
                run.SpaceExtra.assign(run.Text.size(), 0);
                for (std::size_t c = run.Text.size(); c-- > 0;)
                    if (run.Text[c] == ' ') run.SpaceExtra[c] = SpaceShare(k++, spaces, extra);
            }
        }
        lineStart = i + 1;
        lineWidth = 0;
        spaces = 0;
    }
}

void THTMLRender::Draw(HDC dc, const RECT& rect, COLORREF background, bool enabled, bool transparent) {
    os::WinApi& api = os::Api();
    if (!transparent) {
        if (HBRUSH brush = api.CreateSolidBrush(background)) {
            api.FillRect(dc, &rect, brush);
            api.DeleteObject(brush);
        }
    }
    api.SetMapMode(dc, MM_TEXT);
    api.SetBkMode(dc, TRANSPARENT);

    const std::size_t count = Items.Count();
    int y = rect.top;
    for (std::size_t i = 0; i < count;) {
        std::size_t last = i;
        while (last + 1 < count && Items[last].LineBreak == lbNone) ++last;
        int lineHeight = Items[i].Height;
        int lineAscent = Items[i].Ascent;
        for (std::size_t j = i; j <= last; ++j) {
            lineHeight = std::max(lineHeight, Items[j].Height);
            lineAscent = std::max(lineAscent, Items[j].Ascent);
        }
        int x = rect.left;
        for (std::size_t j = i; j <= last; ++j) {
            THTMLRenderItem& item = Items[j];
            TSelectedFont selected(item.Font, dc);
            item.Rect = RECT{x, y + lineAscent - item.Ascent, x + item.Width, y + lineAscent};
            x += DrawItem(dc, item, enabled);
        }
        y += lineHeight + InterlineSpacing;
        i = last + 1;
    }
}

int THTMLRender::DrawItem(HDC dc, THTMLRenderItem& item, bool enabled) {
    int advance = item.Width;
    if (item.Text.empty()) return advance;
    os::WinApi& api = os::Api();
    const int length = static_cast<int>(item.Text.size());
    std::vector<INT> extents(item.Text.size());
    int fit = 0;
    SIZE size{};
    const int maxExtent = ClampToInt(static_cast<long long>(item.Rect.right) - item.Rect.left + 1);
    if (!api.GetTextExtentExPointW(dc, item.Text.c_str(), length, maxExtent, &fit, extents.data(), &size))
        return advance;
    fit = std::clamp(fit, 0, length);
    std::vector<INT> advances(static_cast<std::size_t>(fit));
    for (int c = 0; c < fit; ++c) advances[c] = c == 0 ? extents[0] : extents[c] - extents[c - 1];
    if (item.SpaceExtra.size() == advances.size()) {
        for (int c = 0; c < fit; ++c) {
            advances[c] += item.SpaceExtra[c];
            advance += item.SpaceExtra[c];
        }
    }
    if (fit == 0) return advance;

    const UINT drawn = static_cast<UINT>(fit);
    if (enabled) {
        api.ExtTextOutW(dc, item.Rect.left, item.Rect.top, 0, nullptr, item.Text.c_str(), drawn, advances.data());
    } else {
        const COLORREF before = api.SetTextColor(dc, api.GetSysColor(COLOR_BTNHIGHLIGHT));
        api.ExtTextOutW(dc, item.Rect.left + 1, item.Rect.top + 1, 0, nullptr, item.Text.c_str(), drawn,
                        advances.data());
        api.SetTextColor(dc, api.GetSysColor(COLOR_BTNSHADOW));
        api.ExtTextOutW(dc, item.Rect.left, item.Rect.top, 0, nullptr, item.Text.c_str(), drawn, advances.data());
        if (before != CLR_INVALID) api.SetTextColor(dc, before);
    }
    return advance;
}

THTMLRenderItem* THTMLRender::ItemAt(int x, int y) const {
    for (std::size_t i = 0; i < Items.Count(); ++i) {
        const RECT& rect = Items[i].Rect;
        if (rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom) return &Items[i];
    }
    return nullptr;
}

WString THTMLRender::TextOf(TItemRange range) const {
    WString text;
    const auto addBlank = [&text] {
        if (!text.empty() && text.back() != ' ') text += ' ';
    };
    const std::size_t end = std::min(range.first + range.count, Items.Count());
    for (std::size_t i = range.first; i < end; ++i) {
        if (i > range.first && Items[i - 1].LineBreak != lbNone) addBlank();
        for (WCHAR c : Items[i].Text) {
            if (IsBlank(c)) addBlank();
            else text += c;
        }
    }
    if (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::vector<THTMLRender::TItemRange> THTMLRender::Links() const {
    std::vector<TItemRange> links;
    for (std::size_t i = 0; i < Items.Count(); ++i) {
        if (Items[i].Href.empty()) continue;
        if (i > 0 && !links.empty() && links.back().first + links.back().count == i && Items[i - 1].Href == Items[i].Href)
            ++links.back().count;
        else
            links.push_back({i, 1});
    }
    return links;
}

}  // namespace widgets
