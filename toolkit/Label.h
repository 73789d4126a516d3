#pragma once
// A text painted on its parent: caption, font, colour or transparent
// background, alignment, word wrap, auto-size and the hover and click events
// of every control. Other text controls (link label, markup label) derive from it.

#include "toolkit/Control.h"

namespace toolkit {

// The upper-case character after the first single "&" of a caption, or 0.
wchar_t AccessKeyOf(const std::wstring& caption);
// The caption as shown: the "&" marks taken out, "&&" read as "&".
std::wstring WithoutAccessKeys(const std::wstring& caption);

class TLabel : public TGraphicControl {
public:
    TLabel(TComponent* owner, TWinControl* parent);

    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wordWrap);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    // "&" marks an access key (drawn underlined) unless this is false.
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool show);
    // The control that gets the focus through the label's access key.
    TWinControl* FocusControl = nullptr;

    void Paint(HDC dc) override;
    TAccessibleRole AccessibleRole() const override { return TAccessibleRole::Text; }
    std::wstring AccessibleText() override;
    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;
    void Loaded() override { AdjustSize(); }

protected:
    void AdjustSize() override;
    void FontChanged() override {
        AdjustSize();
        Invalidate();
    }
    // DrawText flags of the caption.
    virtual UINT TextFlags() const;
    // Size of the caption, wrapped at maxWidth when WordWrap is on.
    SIZE MeasureText(int maxWidth) const;

private:
    bool wordWrap_ = false;
    TAlignment alignment_ = TAlignment::taLeftJustify;
    bool showAccelChar_ = true;
};

}  // namespace toolkit
