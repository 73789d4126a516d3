#include "toolkit/Label.h"

#include "os/Text.h"
#include "toolkit/Form.h"
#include "toolkit/Layout.h"
#include "toolkit/LayoutReader.h"

#include <algorithm>

namespace toolkit {

wchar_t AccessKeyOf(const std::wstring& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        if (caption[i + 1] == L'&') {
            ++i;
            continue;
        }
        wchar_t key[2] = {caption[i + 1], L'\0'};
        CharUpperW(key);
        return key[0];
    }
    return 0;
}

std::wstring WithoutAccessKeys(const std::wstring& caption) {
    std::wstring shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return shown;
}

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

UINT TLabel::TextFlags() const {
    UINT flags = DT_EXPANDTABS;
    if (wordWrap_) flags |= DT_WORDBREAK;
    if (!showAccelChar_) flags |= DT_NOPREFIX;
    if (alignment_ == TAlignment::taRightJustify) flags |= DT_RIGHT;
    if (alignment_ == TAlignment::taCenter) flags |= DT_CENTER;
    return flags;
}

SIZE TLabel::MeasureText(int maxWidth) const {
    WindowDC screen;
    SelectedObject font(screen.Get(), Font().Handle());
    std::wstring text = caption_.empty() ? std::wstring(L" ") : caption_;
    RECT bounds{0, 0, wordWrap_ ? maxWidth : 0, 0};
    DrawTextW(screen.Get(), text.c_str(), static_cast<int>(text.size()), &bounds, TextFlags() | DT_CALCRECT);
    // Slanted glyphs reach past their advance width; leave room for the last one.
    if (Font().Style() & fsItalic) {
        TEXTMETRICW metrics{};
        GetTextMetricsW(screen.Get(), &metrics);
        bounds.right += std::max<LONG>(metrics.tmOverhang, metrics.tmAveCharWidth / 2);
    }
    return {bounds.right, bounds.bottom};
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
    SetTextColor(dc, Enabled() ? ColorToRGB(Font().Color()) : GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &bounds, TextFlags());
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
