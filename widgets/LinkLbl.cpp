#include "widgets/LinkLbl.h"

#include "os/Text.h"
#include "toolkit/Application.h"
#include "toolkit/Layout.h"
#include "toolkit/LayoutReader.h"
#include "widgets/GuiUtilities.h"

namespace widgets {
namespace {

// Shows the hourglass for one scope, then puts back the cursor shown before.
class BusyCursor {
public:
    BusyCursor() : previous_(toolkit::Application().ScreenCursor()) {
        toolkit::Application().SetScreenCursor(toolkit::crHourGlass);
    }
    ~BusyCursor() { toolkit::Application().SetScreenCursor(previous_); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    toolkit::TCursor previous_;
};

}  // namespace

TLinkLabel::TLinkLabel(toolkit::TComponent* owner, toolkit::TWinControl* parent) : toolkit::TLabel(owner, parent) {
    UpdateColors();
    Font().SetStyle(toolkit::fsUnderline);
    Cursor = toolkit::crHandPoint;
}

void TLinkLabel::SetParent(toolkit::TWinControl* parent) {
    // A control takes its new parent's font; the link keeps its own look.
    const toolkit::TFontStyles style = Font().Style();
    toolkit::TLabel::SetParent(parent);
    Font().SetStyle(style);
    UpdateColors();
}

void TLinkLabel::SetAutoColors(bool autoColors) {
    if (autoColors_ == autoColors) return;
    autoColors_ = autoColors;
    UpdateColors();
}

void TLinkLabel::SetVisited(bool visited) {
    if (visited_ == visited) return;
    visited_ = visited;
    UpdateColors();
}

void TLinkLabel::SetColorUnvisited(toolkit::TColor color) {
    if (colorUnvisited_ == color) return;
    colorUnvisited_ = color;
    if (!autoColors_) UpdateColors();
}

void TLinkLabel::SetColorVisited(toolkit::TColor color) {
    if (colorVisited_ == color) return;
    colorVisited_ = color;
    if (!autoColors_) UpdateColors();
}

bool TLinkLabel::ApplyLayoutProperty(const toolkit::LayoutProperty& p, toolkit::TLayoutContext& context) {
    if (os::EqualsIgnoringCase(p.name, "HREF")) {
        HREF = p.Text();
    } else if (os::EqualsIgnoringCase(p.name, "AutoColors")) {
        SetAutoColors(p.Bool());
    } else if (os::EqualsIgnoringCase(p.name, "Visited")) {
        SetVisited(p.Bool());
    } else if (os::EqualsIgnoringCase(p.name, "ColorUnvisited")) {
        SetColorUnvisited(toolkit::LayoutColor(p));
    } else if (os::EqualsIgnoringCase(p.name, "ColorVisited")) {
        SetColorVisited(toolkit::LayoutColor(p));
    } else {
        return toolkit::TLabel::ApplyLayoutProperty(p, context);
    }
    return true;
}

void TLinkLabel::UpdateColors() {
    if (autoColors_)
        Font().SetColor(visited_ ? clPurple : toolkit::clBlue);
    else
        Font().SetColor(visited_ ? colorVisited_ : colorUnvisited_);
}

void TLinkLabel::Click() { OpenLink(); }

void TLinkLabel::OpenLink() {
    BusyCursor busy;
    if (!HREF.empty() && HREF != L"http://") ShellOpen(HREF);
}

void TLinkLabel::ShellOpen(const std::wstring& address) { OpenURL(address); }

void RegisterLinkLabel() {
    if (toolkit::ComponentKindRegistered("linklabel")) return;
    toolkit::RegisterComponentKind("linklabel", [](toolkit::TComponent* owner, toolkit::TWinControl* parent) {
        return static_cast<toolkit::TComponent*>(new TLinkLabel(owner, parent));
    });
}

}  // namespace widgets
