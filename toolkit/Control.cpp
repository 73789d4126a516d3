#include "toolkit/Control.h"

#include "engine/Exception.h"
#include "os/Text.h"
#include "toolkit/Accessibility.h"
#include "toolkit/Application.h"
#include "toolkit/Form.h"
#include "toolkit/Layout.h"
#include "toolkit/LayoutReader.h"

#include <windowsx.h>

#include <algorithm>

namespace toolkit {

// ---- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {
    font_.OnChange = [this] { FontChanged(); };
}

TControl::~TControl() {
    if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent_ == parent) return;
    bool first = parent_ == nullptr;
    if (parent_) {
        Invalidate();
        parent_->RemoveControl(this);
    }
    parent_ = parent;
    if (parent_) {
        parent_->InsertControl(this);
        if (first) font_ = parent_->Font();
        Invalidate();
    }
}

TForm* TControl::ParentForm() const {
    const TControl* control = this;
    while (control) {
        if (auto* form = dynamic_cast<TForm*>(const_cast<TControl*>(control))) return form;
        control = control->Parent();
    }
    return nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    Invalidate();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    BoundsChanged();
    Invalidate();
}

POINT TControl::ClientToScreen(POINT point) const {
    if (!parent_ || !parent_->Handle()) return point;
    POINT result{point.x + left_, point.y + top_};
    ::ClientToScreen(parent_->Handle(), &result);
    return result;
}

void TControl::SetCaption(const std::wstring& caption) {
    if (caption_ == caption) return;
    caption_ = caption;
    TextChanged();
}

void TControl::SetVisible(bool visible) {
    if (visible_ == visible) return;
    if (!visible) Invalidate();
    visible_ = visible;
    VisibilityChanged();
}

bool TControl::Showing() const {
    if (!visible_) return false;
    if (auto* window = dynamic_cast<const TWinControl*>(this); window && !parent_)
        return window->Handle() && IsWindowVisible(window->Handle());
    return !parent_ || parent_->Showing();
}

void TControl::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    Invalidate();
}

void TControl::SetColor(TColor color) {
    if (color_ == color) return;
    color_ = color;
    Invalidate();
}

TColor TControl::EffectiveBackground() const {
    if (color_ != clDefault && color_ != clNone) return ContrastColor(color_, TColorPart::Background);
    if (parent_) return parent_->EffectiveBackground();
    return clBtnFace;
}

COLORREF TControl::TextColor() const {
    if (!Enabled()) return ColorToRGB(clGrayText);
    return ColorToRGB(ContrastColor(font_.Color(), TextPart(), EffectiveBackground()));
}

void TControl::SetTransparent(bool transparent) {
    if (transparent_ == transparent) return;
    transparent_ = transparent;
    Invalidate();
}

void TControl::SetAutoSize(bool autoSize) {
    if (autoSize_ == autoSize) return;
    autoSize_ = autoSize;
    if (autoSize_) AdjustSize();
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::MouseEnter() {
    if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::MouseLeave() {
    if (OnMouseLeave) OnMouseLeave(this);
}

void TControl::Invalidate() {}

int TControl::PixelsPerInch() const { return parent_ ? parent_->PixelsPerInch() : ScreenPixelsPerInch(); }

void TControl::ScaleChanged(int pixelsPerInch) {
    font_.SetPixelsPerInch(pixelsPerInch);
    AdjustSize();
    Invalidate();
}

std::wstring TControl::AccessibleText() { return AccessibleName.empty() ? Caption() : AccessibleName; }

bool TControl::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    auto is = [&p](const char* name) { return os::EqualsIgnoringCase(p.name, name); };
    if (is("Bounds")) {
        std::vector<int> b = p.Ints(4);
        SetBounds(context.Scale(b[0]), context.Scale(b[1]), context.Scale(b[2]), context.Scale(b[3]));
    } else if (is("Left")) {
        SetLeft(context.Scale(p.Int()));
    } else if (is("Top")) {
        SetTop(context.Scale(p.Int()));
    } else if (is("Width")) {
        SetWidth(context.Scale(p.Int()));
    } else if (is("Height")) {
        SetHeight(context.Scale(p.Int()));
    } else if (is("Caption") || is("Text")) {
        SetCaption(p.Text());
    } else if (is("Hint")) {
        Hint = p.Text();
    } else if (is("AccessibleName")) {
        AccessibleName = p.Text();
    } else if (is("Visible")) {
        SetVisible(p.Bool());
    } else if (is("Enabled")) {
        SetEnabled(p.Bool());
    } else if (is("Color")) {
        SetColor(LayoutColor(p));
    } else if (is("Transparent")) {
        SetTransparent(p.Bool());
    } else if (is("Cursor")) {
        Cursor = LayoutCursor(p);
    } else if (is("AutoSize")) {
        SetAutoSize(p.Bool());
    } else if (is("Align")) {
        const std::string& align = p.Identifier();
        if (align == "top" || align == "alTop") Align = TAlign::alTop;
        else if (align == "none" || align == "alNone") Align = TAlign::alNone;
        else p.Fail("expected top or none");
    } else if (is("AlignWithMargins")) {
        AlignWithMargins = p.Bool();
    } else if (is("Margins")) {
        std::vector<int> m = p.Ints(4);
        Margins = {context.Scale(m[0]), context.Scale(m[1]), context.Scale(m[2]), context.Scale(m[3])};
    } else if (is("Font.Name")) {
        font_.SetName(p.Text());
    } else if (is("Font.Height")) {
        font_.SetHeight(p.Int());
    } else if (is("Font.Style")) {
        font_.SetStyle(LayoutFontStyle(p));
    } else if (is("Font.Color")) {
        font_.SetColor(LayoutColor(p));
    } else if (is("Font.Charset")) {
        font_.SetCharset(static_cast<BYTE>(p.Int()));
    } else if (is("OnClick")) {
        context.BindEvent(p, OnClick);
    } else if (is("OnMouseEnter")) {
        context.BindEvent(p, OnMouseEnter);
    } else if (is("OnMouseLeave")) {
        context.BindEvent(p, OnMouseLeave);
    } else {
        return TComponent::ApplyLayoutProperty(p, context);
    }
    return true;
}

// ---- TGraphicControl

void TGraphicControl::Invalidate() {
    if (!Parent() || !Parent()->Handle()) return;
    RECT bounds = BoundsRect();
    InvalidateRect(Parent()->Handle(), &bounds, FALSE);
}

// ---- TWinControl

const wchar_t* ControlWindowClass() {
    static const wchar_t* name = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = ControlWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
        windowClass.lpszClassName = L"GatewiseWindow";
        RegisterClassExW(&windowClass);
        return L"GatewiseWindow";
    }();
    return name;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    while (!controls_.empty()) controls_.back()->SetParent(nullptr);
    DestroyHandle();
}

TWinControl* TWinControl::FromHandle(HWND window) {
    if (!window) return nullptr;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) != ControlWindowProc) return nullptr;
    return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void TWinControl::CreateHandle(const wchar_t* className, DWORD style, DWORD exStyle, HWND parentWindow) {
    if (!parentWindow && Parent()) parentWindow = Parent()->Handle();
    if (Parent()) style |= WS_CHILD;
    if (Visible() && Parent()) style |= WS_VISIBLE;
    if (!Enabled()) style |= WS_DISABLED;
    bool own = className == nullptr;
    if (own) style |= WS_CLIPCHILDREN;
    static int nextId = 100;
    HMENU id = Parent() ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)) : nullptr;
    HWND window = CreateWindowExW(exStyle, own ? ControlWindowClass() : className, caption_.c_str(), style, Left(),
                                  Top(), Width(), Height(), parentWindow, id, GetModuleHandleW(nullptr),
                                  own ? this : nullptr);
    if (!window) throw engine::Exception("Cannot create the window of \"" + os::ToUtf8(Name) + "\"");
    if (!own) {
        handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        systemProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlWindowProc)));
    }
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
    if (Parent()) Parent()->UpdateZOrder();
}

void TWinControl::DestroyHandle() {
    if (!handle_) return;
    HWND window = handle_;
    DestroyWindow(window);
    handle_ = nullptr;
}

LRESULT TWinControl::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (systemProc_) return CallWindowProcW(systemProc_, handle_, message, wParam, lParam);
    return DefWindowProcW(handle_, message, wParam, lParam);
}

void TWinControl::InsertControl(TControl* control) {
    controls_.push_back(control);
    if (control->IsWindowed()) {
        auto* window = static_cast<TWinControl*>(control);
        if (window->handle_ && handle_) ::SetParent(window->handle_, handle_);
    }
}

void TWinControl::RemoveControl(TControl* control) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    if (hovered_ == control) hovered_ = nullptr;
    if (pressed_ == control) pressed_ = nullptr;
}

std::vector<TWinControl*> TWinControl::TabList() const {
    std::vector<TWinControl*> list;
    for (TControl* control : controls_)
        if (control->IsWindowed()) list.push_back(static_cast<TWinControl*>(control));
    std::stable_sort(list.begin(), list.end(), [](const TWinControl* a, const TWinControl* b) {
        unsigned orderA = static_cast<unsigned>(a->tabOrder_);
        unsigned orderB = static_cast<unsigned>(b->tabOrder_);
        return orderA < orderB;
    });
    return list;
}

void TWinControl::SetTabOrder(int order) {
    tabOrder_ = order;
    if (Parent()) Parent()->UpdateZOrder();
}

// Dialog navigation follows the z-order of the child windows.
void TWinControl::UpdateZOrder() {
    HWND after = HWND_TOP;
    for (TWinControl* child : TabList()) {
        if (!child->handle_) continue;
        SetWindowPos(child->handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = child->handle_;
    }
}

void TWinControl::SetParent(TWinControl* parent) {
    TControl::SetParent(parent);
    if (handle_ && parent && parent->Handle()) ::SetParent(handle_, parent->Handle());
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    if (handle_) MoveWindow(handle_, Left(), Top(), Width(), Height(), TRUE);
}

void TWinControl::SetCaption(const std::wstring& caption) {
    caption_ = caption;
    if (handle_) SetWindowTextW(handle_, caption.c_str());
    TextChanged();
}

std::wstring TWinControl::Caption() const {
    if (!handle_) return caption_;
    int length = GetWindowTextLengthW(handle_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(handle_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

void TWinControl::SetVisible(bool visible) {
    TControl::SetVisible(visible);
    if (handle_ && Parent()) ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled) {
    TControl::SetEnabled(enabled);
    if (handle_) EnableWindow(handle_, enabled);
}

void TWinControl::Invalidate() {
    if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::SetFocus() {
    if (handle_) ::SetFocus(handle_);
}

POINT TWinControl::ClientToScreen(POINT point) const {
    if (handle_) ::ClientToScreen(handle_, &point);
    return point;
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

int TWinControl::ClientWidth() const {
    RECT client{};
    if (handle_) GetClientRect(handle_, &client);
    return client.right;
}

int TWinControl::ClientHeight() const {
    RECT client{};
    if (handle_) GetClientRect(handle_, &client);
    return client.bottom;
}

void TWinControl::FontChanged() {
    if (handle_) SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
    AdjustSize();
    Invalidate();
}

void TWinControl::ClientResized(int dx) {
    for (TControl* control : controls_)
        if (control->Align == TAlign::alTop) control->SetWidth(control->Width() + dx);
}

bool TWinControl::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    if (os::EqualsIgnoringCase(p.name, "TabOrder")) {
        SetTabOrder(p.Int());
    } else if (os::EqualsIgnoringCase(p.name, "TabStop")) {
        TabStop = p.Bool();
    } else {
        return TControl::ApplyLayoutProperty(p, context);
    }
    return true;
}

HBRUSH TWinControl::HandleControlColor(HDC dc) {
    COLORREF color = EffectiveColor();
    if (!backgroundBrush_ || backgroundColor_ != color) {
        backgroundBrush_.Reset(CreateSolidBrush(color));
        backgroundColor_ = color;
    }
    SetBkColor(dc, color);
    SetTextColor(dc, TextColor());
    return static_cast<HBRUSH>(backgroundBrush_.Get());
}

void TWinControl::PaintWindow(HDC dc) {
    RECT client{};
    GetClientRect(handle_, &client);
    SetDCBrushColor(dc, EffectiveColor());
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void TWinControl::PaintContent(HDC dc, const RECT& area) {
    PaintWindow(dc);
    for (TControl* control : controls_) {
        if (control->IsWindowed() || !control->Visible()) continue;
        RECT bounds = control->BoundsRect();
        RECT visible{};
        if (!IntersectRect(&visible, &bounds, &area)) continue;
        int saved = SaveDC(dc);
        IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
        Guarded([&] { control->Paint(dc); });
        RestoreDC(dc, saved);
    }
}

// The buffer holds one band of rows at a time: one for the whole client area
// would stay with the process after the paint (under Wine, most of a megabyte
// for the main window).
void TWinControl::PaintBuffered() {
    constexpr LONG kBandHeight = 64;
    PAINTSTRUCT paint;
    HDC target = BeginPaint(handle_, &paint);
    const RECT area = paint.rcPaint;
    const LONG bandHeight = std::clamp<LONG>(area.bottom - area.top, 1, kBandHeight);
    HDC buffer = CreateCompatibleDC(target);
    GdiObject bitmap(CreateCompatibleBitmap(target, std::max<LONG>(area.right - area.left, 1), bandHeight));
    {
        SelectedObject selected(buffer, bitmap.Get());
        for (LONG top = area.top; top < area.bottom; top += bandHeight) {
            const RECT band{area.left, top, area.right, std::min(top + bandHeight, area.bottom)};
            SetViewportOrgEx(buffer, -band.left, -band.top, nullptr);
            PaintContent(buffer, band);
            BitBlt(target, band.left, band.top, band.right - band.left, band.bottom - band.top, buffer, band.left,
                   band.top, SRCCOPY);
        }
    }
    DeleteDC(buffer);
    EndPaint(handle_, &paint);
}

TControl* TWinControl::GraphicAt(POINT point) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* control = *it;
        if (control->IsWindowed() || !control->Visible()) continue;
        RECT bounds = control->BoundsRect();
        if (PtInRect(&bounds, point)) return control->Enabled() ? control : nullptr;
    }
    return nullptr;
}

void TWinControl::SetHovered(TControl* control) {
    if (hovered_ == control) return;
    TControl* previous = hovered_;
    hovered_ = control;
    if (previous) previous->MouseLeave();
    if (control) control->MouseEnter();
}

void TWinControl::GraphicMouseMove(POINT point) {
    TControl* graphic = GraphicAt(point);
    SetHovered(graphic);
    if (!graphic) return;
    const TCursor before = graphic->Cursor;
    graphic->MouseMove({point.x - graphic->Left(), point.y - graphic->Top()});
    // WM_SETCURSOR came before this move: a cursor that the move changed shows at once.
    if (graphic->Cursor != before && !SetGraphicCursor(MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)))
        SetCursor(CursorHandle(crArrow));
}

bool TWinControl::SetGraphicCursor(LPARAM lParam) {
    if (Application().ScreenCursor() != crDefault) {
        SetCursor(CursorHandle(Application().ScreenCursor()));
        return true;
    }
    if (LOWORD(lParam) != HTCLIENT) return false;
    TCursor cursor = Cursor;
    if (!systemProc_) {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(handle_, &point);
        if (TControl* graphic = GraphicAt(point)) cursor = graphic->Cursor;
    }
    if (cursor == crDefault) return false;
    SetCursor(CursorHandle(cursor));
    return true;
}

void TWinControl::ChildFocused(TWinControl& control) {
    if (Parent()) Parent()->ChildFocused(control);
}

LRESULT TWinControl::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFOCUS:
            if (Parent()) Parent()->ChildFocused(*this);
            break;
        case WM_GETOBJECT:
            if (LRESULT object = AccessibleObjectOf(*this, wParam, lParam)) return object;
            break;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == handle_ && SetGraphicCursor(lParam)) return TRUE;
            break;
        case WM_COMMAND:
            if (lParam) {
                if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lParam))) {
                    child->HandleCommand(HIWORD(wParam));
                    return 0;
                }
            }
            break;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            LRESULT result = 0;
            if (TWinControl* child = FromHandle(header->hwndFrom); child && child->HandleNotify(header, result))
                return result;
            break;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
            if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lParam)))
                if (HBRUSH brush = child->HandleControlColor(reinterpret_cast<HDC>(wParam)))
                    return reinterpret_cast<LRESULT>(brush);
            break;
        default:
            break;
    }
    if (systemProc_) return DefaultProc(message, wParam, lParam);

    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            PaintBuffered();
            return 0;
        case WM_PRINTCLIENT: {
            RECT client{};
            GetClientRect(handle_, &client);
            PaintContent(reinterpret_cast<HDC>(wParam), client);
            return 0;
        }
        case WM_MOUSEMOVE: {
            if (!trackingLeave_) {
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, handle_, 0};
                trackingLeave_ = TrackMouseEvent(&track) != FALSE;
            }
            GraphicMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        }
        case WM_MOUSELEAVE:
            trackingLeave_ = false;
            SetHovered(nullptr);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            pressed_ = GraphicAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_LBUTTONUP: {
            TControl* target = GraphicAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            TControl* pressed = pressed_;
            pressed_ = nullptr;
            if (target && target == pressed) target->Click();
            return 0;
        }
        case WM_SIZE: {
            int width = LOWORD(lParam);
            if (lastClientWidth_ > 0 && width != lastClientWidth_) ClientResized(width - lastClientWidth_);
            lastClientWidth_ = width;
            break;
        }
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (auto* control = static_cast<TWinControl*>(create->lpCreateParams)) {
            control->handle_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
        }
    }
    auto* control = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!control) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WNDPROC systemProc = control->systemProc_;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        control->handle_ = nullptr;
        if (systemProc) {
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(systemProc));
            return CallWindowProcW(systemProc, window, message, wParam, lParam);
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return control->WndProc(message, wParam, lParam);
    } catch (...) {
        Application().HandleException(std::current_exception());
        return 0;
    }
}

}  // namespace toolkit
