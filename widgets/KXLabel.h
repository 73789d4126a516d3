#pragma once
// The label of the program's explanatory texts: its caption is markup (bold,
// italic, underline, fonts, colours, line breaks, links) word-wrapped to its
// width and painted on its parent. Pointing at a link shows the hand cursor;
// a click on a link raises OnLinkClick with the clicked run instead of
// OnClick. The label never takes the keyboard focus.

#include "toolkit/Control.h"
#include "widgets/HTMLRender.h"

#include <functional>
#include <map>
#include <string>

namespace widgets {

// Sender is the label; the item belongs to the label's renderer and is valid
// only during the call.
using TKXLabelLinkClickEvent = std::function<void(toolkit::TComponent* sender, THTMLRenderItem& item)>;

class TKXLabel : public toolkit::TGraphicControl {
public:
    // Transparent, with blue links.
    TKXLabel(toolkit::TComponent* owner, toolkit::TWinControl* parent);

    // Pixels added below every line.
    int InterlineSpacing() const { return render_.InterlineSpacing; }
    void SetInterlineSpacing(int spacing);
    toolkit::TColor LinkColor() const { return linkColor_; }
    // Repaints even when the colour is unchanged.
    void SetLinkColor(toolkit::TColor color);
    // Stretches wrapped lines to the full width.
    bool Justify() const { return justify_; }
    void SetJustify(bool justify);
    TKXLabelLinkClickEvent OnLinkClick;

    // The runs of the last layout; their rectangles, in the label's own
    // coordinates, exist once the layout has been painted.
    const THTMLRender& Render() const { return render_; }
    // The layout is stale and is redone at the next paint.
    bool NeedsLayout() const { return needsLayout_; }
    // Lays the caption out for the current width and returns its height in
    // pixels; the runs can be pointed at again after the next paint.
    int GetTextHeight();

    void Paint(HDC dc) override;
    void Invalidate() override;
    // A link under the mouse with OnLinkClick assigned raises only
    // OnLinkClick; anything else is an ordinary click.
    void Click() override;
    // The hand cursor over a link, the default one elsewhere.
    void MouseMove(POINT point) override;
    // What screen readers call the links to `href`, instead of their words
    // (layout: AccessibleName.<href> = "name").
    std::map<std::wstring, std::wstring> LinkNames;
    // For screen readers: text without its markup, and its links; following
    // a link raises OnLinkClick with the link's first run, or OnClick
    // without a link handler, as a click on it would.
    toolkit::TAccessibleRole AccessibleRole() const override { return toolkit::TAccessibleRole::Text; }
    std::wstring AccessibleText() override;
    std::vector<toolkit::TAccessibleLink> AccessibleLinks() override;
    void FollowAccessibleLink(std::size_t index) override;
    // InterlineSpacing, LinkColor, Justify, OnLinkClick, AccessibleName.<href>,
    // and every control's.
    bool ApplyLayoutProperty(const toolkit::LayoutProperty& property, toolkit::TLayoutContext& context) override;

private:
    // Lays the caption out in a DC that holds the label's font and text colour.
    void LayoutText(HDC dc);
    // The links' colour, which gives way to the system's in high contrast.
    COLORREF LinkRGB() const;
    // Makes the runs match the caption, laying it out when it is stale.
    void UpdateRuns();
    // The caption's runs before wrapping.
    void ParseCaption(THTMLRender& parsed) const;
    RECT ClientRect() const { return {0, 0, Width(), Height()}; }

    THTMLRender render_;
    bool needsLayout_ = false;
    toolkit::TColor linkColor_ = toolkit::clBlue;
    bool justify_ = false;
};

// Lets stored layouts create markup labels (kind "markuplabel").
void RegisterKXLabel();

}  // namespace widgets
