#include "toolkit/Label.h"

#include "os/Text.h"
#include "toolkit/Form.h"
#include "toolkit/Layout.h"
#include "toolkit/LayoutReader.h"

#include <algorithm>
#include <numeric>

namespace toolkit {

wchar_t AccessKeyOf(const std::wstring& caption) {
    const TShownCaption shown = ShownCaption(caption);
    if (shown.accessKey == std::wstring::npos) return 0;
    wchar_t key[2] = {shown.text[shown.accessKey], L'\0'};
    CharUpperW(key);
    return key[0];
}

std::wstring WithoutAccessKeys(const std::wstring& caption) { return ShownCaption(caption).text; }

TLabel::TLabel(TComponent* owner, TWinControl* parent) : TGraphicControl(owner) {
    SetParent(parent);
    SetAutoSize(true);
}

void TLabel::SetWordWrap(bool wordWrap) {
    if (wordWrap_ == wordWrap) return;
    wordWrap_ = wordWrap;
    AdjustSize();
    Invalidate();
}

void TLabel::SetAlignment(TAlignment alignment) {
    if (alignment_ == alignment) return;
    alignment_ = alignment;
    Invalidate();
}

void TLabel::SetShowAccelChar(bool show) {
    if (showAccelChar_ == show) return;
    showAccelChar_ = show;
    AdjustSize();
    Invalidate();
}

TLabel::TextLayout TLabel::LayOutText(HDC dc, int maxWidth) const {
    TextLayout layout;
    if (showAccelChar_) layout.shown = ShownCaption(caption_);
    else layout.shown.text = caption_;
    // An empty caption is as tall as one line.
    if (layout.shown.text.empty()) layout.shown.text = L" ";
    const std::wstring& text = layout.shown.text;
    std::vector<int> extents(text.size());
    SIZE size{};
    if (GetTextExtentExPointW(dc, text.c_str(), static_cast<int>(text.size()), 0, nullptr, extents.data(), &size)) {
        layout.advances.resize(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool lineEnd = text[i] == L'\n' || text[i] == L'\r';
            layout.advances[i] = lineEnd ? 0 : extents[i] - (i > 0 ? extents[i - 1] : 0);
        }
    } else {
        layout.advances.assign(text.size(), 0);
    }
    layout.lines = BreakLines(text, layout.advances, wordWrap_ ? std::max(maxWidth, 1) : 0);
    GetTextMetricsW(dc, &layout.metrics);
    return layout;
}

void TLabel::DrawLines(HDC dc, const TextLayout& layout, const RECT& bounds) const {
    const std::wstring& text = layout.shown.text;
    const COLORREF color = TextColor();
    SetTextColor(dc, color);
    SetDCBrushColor(dc, color);
    int y = bounds.top;
    for (const TTextLine& line : layout.lines) {
        int x = bounds.left;
        if (alignment_ == TAlignment::taRightJustify) x = bounds.right - line.width;
        if (alignment_ == TAlignment::taCenter) x = bounds.left + (bounds.right - bounds.left - line.width) / 2;
        ExtTextOutW(dc, x, y, ETO_CLIPPED, &bounds, text.c_str() + line.first, static_cast<UINT>(line.count),
                    layout.advances.data() + line.first);
        const std::size_t key = layout.shown.accessKey;
        if (key >= line.first && key < line.first + line.count) {
            const int keyLeft = x + std::accumulate(layout.advances.begin() + static_cast<std::ptrdiff_t>(line.first),
                                                    layout.advances.begin() + static_cast<std::ptrdiff_t>(key), 0);
            const int underline = y + layout.metrics.tmAscent + 1;
            RECT mark{keyLeft, underline, keyLeft + layout.advances[key], underline + 1};
            if (IntersectRect(&mark, &mark, &bounds)) FillRect(dc, &mark, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        }
        y += layout.metrics.tmHeight;
    }
}

SIZE TLabel::MeasureText(int maxWidth) const {
    WindowDC screen;
    SelectedObject font(screen.Get(), Font().Handle());
    const TextLayout layout = LayOutText(screen.Get(), maxWidth);
    LONG width = 0;
    for (const TTextLine& line : layout.lines) width = std::max<LONG>(width, line.width);
    // Slanted glyphs reach past their advance width; leave room for the last one.
    if (Font().Style() & fsItalic)
        width += std::max<LONG>(layout.metrics.tmOverhang, layout.metrics.tmAveCharWidth / 2);
    return {width, static_cast<LONG>(layout.lines.size()) * layout.metrics.tmHeight};
}

void TLabel::AdjustSize() {
    if (!AutoSize()) return;
    SIZE size = MeasureText(Width());
    int width = wordWrap_ ? Width() : size.cx;
    int left = Left();
    if (alignment_ == TAlignment::taRightJustify && !wordWrap_) left = Left() + Width() - width;
    SetBounds(left, Top(), width, size.cy);
}

void TLabel::Paint(HDC dc) {
    RECT bounds = BoundsRect();
    if (!Transparent()) {
        SetDCBrushColor(dc, EffectiveColor());
        FillRect(dc, &bounds, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    SelectedObject font(dc, Font().Handle());
    SetBkMode(dc, TRANSPARENT);
    DrawLines(dc, LayOutText(dc, Width()), bounds);
}

std::wstring TLabel::AccessibleText() {
    if (!AccessibleName.empty()) return AccessibleName;
    return showAccelChar_ ? WithoutAccessKeys(caption_) : caption_;
}

bool TLabel::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    if (os::EqualsIgnoringCase(p.name, "WordWrap")) {
        SetWordWrap(p.Bool());
    } else if (os::EqualsIgnoringCase(p.name, "Alignment")) {
        SetAlignment(LayoutAlignment(p));
    } else if (os::EqualsIgnoringCase(p.name, "ShowAccelChar")) {
        SetShowAccelChar(p.Bool());
    } else if (os::EqualsIgnoringCase(p.name, "FocusControl")) {
        context.Resolve(p, [this, &p](TComponent& target) {
            FocusControl = dynamic_cast<TWinControl*>(&target);
            if (!FocusControl) p.Fail("names no control that can take the focus");
        });
    } else {
        return TControl::ApplyLayoutProperty(p, context);
    }
    return true;
}

}  // namespace toolkit
