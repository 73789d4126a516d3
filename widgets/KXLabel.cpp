#include "widgets/KXLabel.h"

#include "os/Text.h"
#include "toolkit/Handles.h"
#include "toolkit/Layout.h"
#include "toolkit/LayoutReader.h"

namespace widgets {
namespace {

// The label's font and text colour in a DC for one scope: the defaults of the markup.
class LabelCanvas {
public:
    LabelCanvas(HDC dc, const toolkit::TControl& label) : font_(dc, label.Font().Handle()) {
        SetTextColor(dc, label.TextColor());
    }

private:
    toolkit::SelectedObject font_;
};

}  // namespace

TKXLabel::TKXLabel(toolkit::TComponent* owner, toolkit::TWinControl* parent) : TGraphicControl(owner) {
    SetParent(parent);
    SetTransparent(true);
}

void TKXLabel::SetInterlineSpacing(int spacing) {
    if (render_.InterlineSpacing == spacing) return;
    render_.InterlineSpacing = spacing;
    Invalidate();
}

void TKXLabel::SetLinkColor(toolkit::TColor color) {
    linkColor_ = color;
    Invalidate();
}

void TKXLabel::SetJustify(bool justify) {
    if (justify_ == justify) return;
    justify_ = justify;
    Invalidate();
}

COLORREF TKXLabel::LinkRGB() const {
    return toolkit::ColorToRGB(toolkit::ContrastColor(linkColor_, toolkit::TColorPart::Link));
}

void TKXLabel::LayoutText(HDC dc) {
    render_.Layout(caption_, dc, LinkRGB(), justify_, ClientRect());
    // The markup's own colours are fixed ones: in high contrast its text takes
    // the label's text colour and its links the link colour.
    if (!toolkit::HighContrast()) return;
    for (std::size_t i = 0; i < render_.Items.Count(); ++i) {
        THTMLRenderItem& item = render_.Items[i];
        item.Font.Color = item.Href.empty() ? TextColor() : LinkRGB();
    }
}

int TKXLabel::GetTextHeight() {
    toolkit::WindowDC window(Parent() ? Parent()->Handle() : nullptr);
    LabelCanvas canvas(window.Get(), *this);
    LayoutText(window.Get());
    return render_.TextHeight;
}

void TKXLabel::Paint(HDC dc) {
    // The renderer works in the label's own coordinates, so that its runs are
    // hit-tested where they were drawn.
    POINT origin{};
    OffsetViewportOrgEx(dc, Left(), Top(), &origin);
    {
        LabelCanvas canvas(dc, *this);
        if (needsLayout_) {
            LayoutText(dc);
            needsLayout_ = false;
        }
        render_.Draw(dc, ClientRect(), EffectiveColor(), Enabled(), Transparent());
    }
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
}

void TKXLabel::Invalidate() {
    needsLayout_ = true;
    TGraphicControl::Invalidate();
}

void TKXLabel::Click() {
    POINT cursor{};
    if (OnLinkClick && GetCursorPos(&cursor)) {
        const POINT origin = ClientToScreen({0, 0});
        THTMLRenderItem* item = render_.ItemAt(cursor.x - origin.x, cursor.y - origin.y);
        if (item && !item->Href.empty()) {
            OnLinkClick(this, *item);
            return;
        }
    }
    TGraphicControl::Click();
}

void TKXLabel::MouseMove(POINT point) {
    TGraphicControl::MouseMove(point);
    const THTMLRenderItem* item = render_.ItemAt(point.x, point.y);
    Cursor = item && !item->Href.empty() ? toolkit::crHandPoint : toolkit::crDefault;
}

// GetTextHeight leaves the layout marked stale, so the next paint lays it
// out again and records where the runs are.
void TKXLabel::UpdateRuns() {
    if (needsLayout_) GetTextHeight();
}

// Wrapping splits runs and drops the blanks where it breaks lines, so the
// words are read from the runs before wrapping.
void TKXLabel::ParseCaption(THTMLRender& parsed) const {
    toolkit::WindowDC window(Parent() ? Parent()->Handle() : nullptr);
    LabelCanvas canvas(window.Get(), *this);
    parsed.Parse(caption_, window.Get(), LinkRGB());
}

std::wstring TKXLabel::AccessibleText() {
    if (!AccessibleName.empty()) return AccessibleName;
    THTMLRender parsed;
    ParseCaption(parsed);
    return parsed.PlainText();
}

std::vector<toolkit::TAccessibleLink> TKXLabel::AccessibleLinks() {
    THTMLRender parsed;
    ParseCaption(parsed);
    UpdateRuns();
    const std::vector<THTMLRender::TItemRange> painted = render_.Links();
    std::vector<toolkit::TAccessibleLink> links;
    for (const THTMLRender::TItemRange& range : parsed.Links()) {
        RECT bounds{};
        if (links.size() < painted.size()) {
            const THTMLRender::TItemRange& runs = painted[links.size()];
            for (std::size_t i = runs.first; i < runs.first + runs.count; ++i)
                UnionRect(&bounds, &bounds, &render_.Items[i].Rect);
        }
        const auto named = LinkNames.find(parsed.Items[range.first].Href);
        links.push_back({named != LinkNames.end() ? named->second : parsed.TextOf(range), bounds});
    }
    return links;
}

void TKXLabel::FollowAccessibleLink(std::size_t index) {
    UpdateRuns();
    const std::vector<THTMLRender::TItemRange> links = render_.Links();
    if (index >= links.size()) return;
    if (OnLinkClick) OnLinkClick(this, render_.Items[links[index].first]);
    else TGraphicControl::Click();
}

bool TKXLabel::ApplyLayoutProperty(const toolkit::LayoutProperty& p, toolkit::TLayoutContext& context) {
    if (os::EqualsIgnoringCase(p.name, "InterlineSpacing")) {
        SetInterlineSpacing(context.Scale(p.Int()));
    } else if (os::EqualsIgnoringCase(p.name, "LinkColor")) {
        SetLinkColor(toolkit::LayoutColor(p));
    } else if (os::EqualsIgnoringCase(p.name, "Justify")) {
        SetJustify(p.Bool());
    } else if (os::EqualsIgnoringCase(p.name, "OnLinkClick")) {
        context.BindEvent(p, OnLinkClick);
    } else if (constexpr std::string_view prefix = "AccessibleName.";
               p.name.size() > prefix.size() && os::EqualsIgnoringCase(p.name.substr(0, prefix.size()), prefix)) {
        LinkNames[os::FromUtf8(p.name.substr(prefix.size()))] = p.Text();
    } else {
        return TGraphicControl::ApplyLayoutProperty(p, context);
    }
    return true;
}

void RegisterKXLabel() {
    if (toolkit::ComponentKindRegistered("markuplabel")) return;
    toolkit::RegisterComponentKind("markuplabel", [](toolkit::TComponent* owner, toolkit::TWinControl* parent) {
        return static_cast<toolkit::TComponent*>(new TKXLabel(owner, parent));
    });
}

}  // namespace widgets
