#pragma once
// A small markup renderer: text with a handful of HTML-like tags (b, i, u,
// font, a, br) becomes runs of uniform font and link target, word-wrapped to a
// width, optionally justified, drawn into a DC and hit-tested. It measures and
// draws through the GDI of the machine seam, in a DC that the caller supplies;
// the font selected into that DC and its text colour are the defaults of the text.
//
// Bad markup never fails: unknown tags are ignored, a "<" without a ">" ends
// the visible text, unusable colours and sizes leave the font as it was.

#include "os/Text.h"
#include "os/WinTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace widgets {

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;  // a set of TFontStyle

enum TLineBreak : uint8_t { lbNone = 0, lbWrap = 1, lbHard = 2 };

// One font state. Handle, SavedFont and SavedColor exist only between
// SelectInto and Restore; nothing copies them.
class THTMLRenderFont {
public:
    THTMLRenderFont() = default;
    THTMLRenderFont(const THTMLRenderFont&) = delete;
    THTMLRenderFont& operator=(const THTMLRenderFont&) = delete;

    std::string Face;  // UTF-8; at most 31 UTF-16 characters of it reach GDI
    int32_t Height = 0;  // LOGFONT meaning: negative = character height, positive = cell height
    TFontStyles Style = 0;
    COLORREF Color = 0;  // 0x00BBGGRR
    HFONT Handle = nullptr;
    HGDIOBJ SavedFont = nullptr;
    COLORREF SavedColor = 0;

    // Copies Face, Height, Style and Color.
    void Assign(const THTMLRenderFont& other);
    // Takes the font selected in the DC and its text colour.
    void InitFromDC(HDC dc);
    // Creates the font, selects it and sets the text colour; Restore undoes
    // both and deletes the font.
    void SelectInto(HDC dc);
    void Restore(HDC dc);
};

// SelectInto for one scope.
class TSelectedFont {
public:
    TSelectedFont(THTMLRenderFont& font, HDC dc) : font_(font), dc_(dc) { font_.SelectInto(dc_); }
    ~TSelectedFont() { font_.Restore(dc_); }
    TSelectedFont(const TSelectedFont&) = delete;
    TSelectedFont& operator=(const TSelectedFont&) = delete;

private:
    THTMLRenderFont& font_;
    HDC dc_;
};

// One run of text.
class THTMLRenderItem {
public:
    os::WString Text;  // after whitespace folding
    os::WString Href;  // empty: not a link
    THTMLRenderFont Font;
    TLineBreak LineBreak = lbNone;  // whether a line ends after this run, and why
    int32_t Ascent = 0;
    int32_t Width = 0;   // of Text, in pixels
    int32_t Height = 0;  // ascent plus descent
    RECT Rect{};         // where the run was drawn last
    std::vector<int32_t> SpaceExtra;  // per character, added when the line is justified; empty otherwise
};

// An ordered list that owns its items.
class THTMLRenderStack {
public:
    THTMLRenderStack() = default;
    THTMLRenderStack(const THTMLRenderStack&) = delete;
    THTMLRenderStack& operator=(const THTMLRenderStack&) = delete;
    ~THTMLRenderStack() { Clear(); }

    // Frees every item, the last first.
    void Clear();
    void Push(std::unique_ptr<THTMLRenderItem> item);
    void Insert(std::size_t index, std::unique_ptr<THTMLRenderItem> item);
    std::unique_ptr<THTMLRenderItem> Pop();  // null when empty
    THTMLRenderItem* Peek() const;           // null when empty
    std::size_t Count() const { return items_.size(); }
    THTMLRenderItem& operator[](std::size_t index) const { return *items_[index]; }

private:
    std::vector<std::unique_ptr<THTMLRenderItem>> items_;
};

class THTMLRender {
public:
    THTMLRenderStack Items;  // the runs in reading order
    int32_t TextHeight = 0;  // of the text laid out last
    int32_t InterlineSpacing = 0;

    // Parses, wraps to the rectangle's width and optionally justifies. Every
    // item's Rect is zero afterwards.
    void Layout(const os::WString& text, HDC dc, COLORREF linkColor, bool justify, const RECT& rect);
    // Paints the last layout and records every item's Rect.
    void Draw(HDC dc, const RECT& rect, COLORREF background, bool enabled, bool transparent);
    // The first item whose Rect holds the point; valid until the next Layout.
    THTMLRenderItem* ItemAt(int x, int y) const;

    // A run of items of the last layout: one link, or the whole text.
    struct TItemRange {
        std::size_t first = 0;
        std::size_t count = 0;
    };
    // The words of the items, without markup: a line end reads as a blank,
    // blanks are folded and the ends trimmed. Read after Parse: wrapping
    // drops the blanks where it breaks lines.
    os::WString TextOf(TItemRange range) const;
    os::WString PlainText() const { return TextOf({0, Items.Count()}); }
    // The links in reading order; consecutive items with the same target
    // (one link wrapped over lines) make one.
    std::vector<TItemRange> Links() const;

    // The stages of Layout.
    void Parse(const os::WString& text, HDC dc, COLORREF linkColor);
    // A width narrower than a character still ends: every line keeps at least
    // one character.
    void WrapItems(HDC dc, int width);
    void JustifyLines(HDC dc, int width);

private:
    struct ParseState;
    void AddRun(ParseState& state, os::WStringView text);
    void ApplyTag(ParseState& state, os::WStringView tag);
    int DrawItem(HDC dc, THTMLRenderItem& item, bool enabled);
};

// Width of the text in the DC's font; 0 when measuring fails.
int MeasureWidth(HDC dc, os::WStringView text);
// Colour names without their "cl" ("red", "Navy") and "#RRGGBB"; anything
// else gives the default.
COLORREF ParseColor(os::WStringView value, COLORREF defaultColor);
// Extra pixels for the k-th space from the right of a justified line.
int SpaceShare(int k, int spaces, int extra);

}  // namespace widgets
