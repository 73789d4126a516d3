#pragma once
// A label that looks and acts like a web link: underlined, blue or purple,
// hand cursor; a click opens its address with the shell. It has a window of
// its own, so that Tab reaches it and Enter or Space opens it too.

#include "toolkit/Control.h"

#include <string>

namespace widgets {

inline constexpr toolkit::TColor clPurple = 0x800080;

class TLinkLabel : public toolkit::TWinControl {
public:
    // Sized to its text (AutoSize); a right-aligned link keeps its right edge.
    TLinkLabel(toolkit::TComponent* owner, toolkit::TWinControl* parent);

    toolkit::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(toolkit::TAlignment alignment);

    // The fixed link colours (blue, purple) instead of the two colour properties.
    bool AutoColors() const { return autoColors_; }
    void SetAutoColors(bool autoColors);
    toolkit::TColor ColorUnvisited() const { return colorUnvisited_; }
    void SetColorUnvisited(toolkit::TColor color);
    toolkit::TColor ColorVisited() const { return colorVisited_; }
    void SetColorVisited(toolkit::TColor color);
    bool Visited() const { return visited_; }
    void SetVisited(bool visited);
    // Opened on click; "http://" alone (the default) and an empty address open nothing.
    std::wstring HREF = L"http://";

    // Opens HREF with the shell, showing the hourglass meanwhile; the shell's
    // answer is ignored and Visited is left as it is.
    void OpenLink();
    // A click opens the link instead of raising OnClick.
    void Click() override;
    toolkit::TAccessibleRole AccessibleRole() const override { return toolkit::TAccessibleRole::Link; }
    bool AccessibleClickable() const override { return true; }
    toolkit::TColorPart TextPart() const override { return toolkit::TColorPart::Link; }
    void SetParent(toolkit::TWinControl* parent) override;
    // The text on the parent's background, with a focus rectangle while focused.
    void PaintWindow(HDC dc) override;
    // Enter and Space open the link, and so does a click.
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Loaded() override { AdjustSize(); }
    // HREF, AutoColors, Visited, ColorUnvisited, ColorVisited, Alignment, and
    // every control's.
    bool ApplyLayoutProperty(const toolkit::LayoutProperty& property, toolkit::TLayoutContext& context) override;

protected:
    // Sets the font colour from AutoColors and Visited.
    virtual void UpdateColors();
    // The shell call of OpenLink.
    virtual void ShellOpen(const std::wstring& address);
    void AdjustSize() override;

private:
    bool autoColors_ = true;
    bool visited_ = false;
    toolkit::TColor colorUnvisited_ = toolkit::clBlue;
    toolkit::TColor colorVisited_ = clPurple;
    toolkit::TAlignment alignment_ = toolkit::TAlignment::taLeftJustify;
};

// Lets stored layouts create link labels (kind "linklabel").
void RegisterLinkLabel();

}  // namespace widgets
