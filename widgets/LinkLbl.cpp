#include "widgets/LinkLbl.h"

#include "os/Text.h"
#include "toolkit/Application.h"
#include "toolkit/Handles.h"
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

TLinkLabel::TLinkLabel(toolkit::TComponent* owner, toolkit::TWinControl* parent) : toolkit::TWinControl(owner) {
    SetParent(parent);
    CreateHandle(nullptr, WS_TABSTOP, 0);
    UpdateColors();
    Font().SetStyle(toolkit::fsUnderline);
    Cursor = toolkit::crHandPoint;
    SetAutoSize(true);
}

void TLinkLabel::SetParent(toolkit::TWinControl* parent) {
    // A control takes its new parent's font; the link keeps its own look.
    const toolkit::TFontStyles style = Font().Style();
    toolkit::TWinControl::SetParent(parent);
    Font().SetStyle(style);
    UpdateColors();
}

void TLinkLabel::SetAlignment(toolkit::TAlignment alignment) {
    alignment_ = alignment;
    Invalidate();
}

void TLinkLabel::AdjustSize() {
    if (!AutoSize()) return;
    toolkit::WindowDC screen;
    toolkit::SelectedObject font(screen.Get(), Font().Handle());
    const std::wstring text = Caption();
    SIZE size{};
    TEXTMETRICW metrics{};
    GetTextExtentPoint32W(screen.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    GetTextMetricsW(screen.Get(), &metrics);
    const int left = alignment_ == toolkit::TAlignment::taRightJustify ? Left() + Width() - size.cx : Left();
    SetBounds(left, Top(), size.cx, metrics.tmHeight);
}

void TLinkLabel::PaintWindow(HDC dc) {
    toolkit::TWinControl::PaintWindow(dc);
    RECT client{0, 0, ClientWidth(), ClientHeight()};
    toolkit::SelectedObject font(dc, Font().Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TextColor());
    const UINT align = alignment_ == toolkit::TAlignment::taRightJustify ? DT_RIGHT
                       : alignment_ == toolkit::TAlignment::taCenter     ? DT_CENTER
                                                                         : DT_LEFT;
    const std::wstring text = Caption();
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, align | DT_SINGLELINE | DT_NOPREFIX);
    if (Focused()) DrawFocusRect(dc, &client);
}

LRESULT TLinkLabel::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETDLGCODE: {
            // Enter reaches the link instead of pressing the dialog's default button.
            const auto* pressed = reinterpret_cast<const MSG*>(lParam);
            if (pressed && pressed->message == WM_KEYDOWN && pressed->wParam == VK_RETURN) return DLGC_WANTMESSAGE;
            return DLGC_BUTTON;
        }
        case WM_KEYDOWN:
            if (wParam == VK_RETURN || wParam == VK_SPACE) {
                Click();
                return 0;
            }
            break;
        case WM_LBUTTONUP:
            Click();
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Invalidate();
            break;
        default:
            break;
    }
    return toolkit::TWinControl::WndProc(message, wParam, lParam);
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
    } else if (os::EqualsIgnoringCase(p.name, "Alignment")) {
        SetAlignment(toolkit::LayoutAlignment(p));
    } else {
        return toolkit::TWinControl::ApplyLayoutProperty(p, context);
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
