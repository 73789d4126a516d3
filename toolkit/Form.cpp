#include "toolkit/Form.h"

#include "engine/Exception.h"
#include "os/Text.h"
#include "toolkit/Application.h"
#include "toolkit/Label.h"
#include "toolkit/Menu.h"
#include "toolkit/OptionalFunction.h"
#include "toolkit/StdCtrls.h"

#include <set>

namespace toolkit {
namespace {

std::set<const TForm*>& LiveForms() {
    static std::set<const TForm*> forms;
    return forms;
}

RECT WorkArea(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY);
    if (GetMonitorInfoW(monitor, &info)) return info.rcWork;
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return screen;
}

bool ModifierDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

// The resolution of the screen the window is on: per window from Windows 10
// version 1607 on, the system's before.
int WindowPixelsPerInch(HWND window) {
    using PFN_GetDpiForWindow = UINT(WINAPI*)(HWND);
    static engine::OsFunctionSlot slot;
    auto getDpiForWindow = OptionalFunction<PFN_GetDpiForWindow>(slot, "user32.dll", "GetDpiForWindow");
    const UINT dpi = getDpiForWindow && window ? getDpiForWindow(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : ScreenPixelsPerInch();
}

// The top-level windows of this thread that a modal form disables.
BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM list) {
    if (IsWindowVisible(window) && IsWindowEnabled(window))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

BOOL CALLBACK ForwardColorChange(HWND child, LPARAM) {
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner), pixelsPerInch_(ScreenPixelsPerInch()) {
    LiveForms().insert(this);
    TControl::SetVisible(false);
    SetColor(clBtnFace);
    CreateHandle(nullptr, WindowStyle(), WindowExStyle(), OwnerWindow());
    pixelsPerInch_ = WindowPixelsPerInch(Handle());
    Font().SetPixelsPerInch(pixelsPerInch_);
}

TForm::~TForm() {
    if (OnDestroy) Guarded([this] { OnDestroy(this); });
    LiveForms().erase(this);
    if (Application().MainForm == this) Application().MainForm = nullptr;
    if (Handle()) {
        HWND window = Handle();
        if (menu_) {
            ::SetMenu(window, nullptr);
            menu_->AttachTo(nullptr);
        }
        DestroyHandle();
    }
}

bool TForm::Exists(const TForm* form) { return LiveForms().count(form) != 0; }

HWND TForm::OwnerWindow() const {
    if (auto* owner = dynamic_cast<TForm*>(Owner())) return owner->Handle();
    if (Application().MainForm && Application().MainForm != this) return Application().MainForm->Handle();
    return nullptr;
}

DWORD TForm::WindowStyle() const {
    DWORD style = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    switch (borderStyle_) {
        case TBorderStyle::bsNone: style |= WS_POPUP; break;
        case TBorderStyle::bsSingle: style |= WS_CAPTION | WS_BORDER; break;
        case TBorderStyle::bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
        case TBorderStyle::bsDialog: style |= WS_CAPTION | DS_MODALFRAME; break;
    }
    if (borderStyle_ != TBorderStyle::bsNone && borderIcons_.systemMenu) {
        style |= WS_SYSMENU;
        if (borderStyle_ != TBorderStyle::bsDialog) {
            if (borderIcons_.minimize) style |= WS_MINIMIZEBOX;
            if (borderIcons_.maximize) style |= WS_MAXIMIZEBOX;
        }
    }
    if (Visible()) style |= WS_VISIBLE;
    return style;
}

DWORD TForm::WindowExStyle() const {
    DWORD style = WS_EX_CONTROLPARENT;
    if (borderStyle_ == TBorderStyle::bsDialog) style |= WS_EX_DLGMODALFRAME;
    if (formStyle_ == TFormStyle::fsStayOnTop) style |= WS_EX_TOPMOST;
    return style;
}

void TForm::UpdateStyle() {
    if (!Handle()) return;
    SetWindowLongPtrW(Handle(), GWL_STYLE, static_cast<LONG_PTR>(WindowStyle()));
    SetWindowLongPtrW(Handle(), GWL_EXSTYLE, static_cast<LONG_PTR>(WindowExStyle() & ~WS_EX_TOPMOST));
    if (deferPlacement_) {
        framePending_ = true;
    } else {
        HWND order = formStyle_ == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST;
        SetWindowPos(Handle(), order, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    if (clientWidth_ >= 0) SetClientSize(clientWidth_, clientHeight_);
}

// Each SetWindowPos of a window costs a round of messages (and under Wine
// a trip to the X server), hidden or not: while the form is made, its size,
// frame and z-order go in one call.
void TForm::ApplyDeferredPlacement() {
    if (!deferPlacement_) return;
    if (!boundsPending_ && !framePending_) {
        deferPlacement_ = false;
        return;
    }
    UINT flags = SWP_NOACTIVATE;
    if (framePending_) flags |= SWP_FRAMECHANGED;
    else flags |= SWP_NOZORDER;
    HWND order = formStyle_ == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST;
    // The controls were laid out for the client width asked for, not for the
    // one the window still has.
    SetAlignedClientWidth(ClientWidth());
    deferPlacement_ = false;
    boundsPending_ = framePending_ = false;
    SetWindowPos(Handle(), order, Left(), Top(), Width(), Height(), flags);
    if (clientWidth_ >= 0) FitFrameToClient();
}

void TForm::SetBorderStyle(TBorderStyle style) {
    borderStyle_ = style;
    UpdateStyle();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
    borderIcons_ = icons;
    UpdateStyle();
}

void TForm::SetFormStyle(TFormStyle style) {
    formStyle_ = style;
    UpdateStyle();
}

void TForm::SetMenu(TMainMenu* menu) {
    menu_ = menu;
    if (menu_) menu_->AttachTo(this);
    else if (Handle()) ::SetMenu(Handle(), nullptr);
    if (clientWidth_ >= 0) SetClientSize(clientWidth_, clientHeight_);
}

void TForm::SetClientSize(int width, int height) {
    clientWidth_ = width;
    clientHeight_ = height;
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, WindowStyle(), menu_ != nullptr, WindowExStyle());
    SetBounds(Left(), Top(), frame.right - frame.left, frame.bottom - frame.top);
    if (!deferPlacement_) FitFrameToClient();
}

void TForm::FitFrameToClient() {
    const int width = clientWidth_;
    const int height = clientHeight_;
    // The frame of a window on a screen of another resolution than the
    // system's differs from the estimate; a menu bar that wraps onto a second
    // line takes client height away. Both show in the client area.
    RECT client{};
    GetClientRect(Handle(), &client);
    if (client.right != width) {
        SetBounds(Left(), Top(), Width() + width - client.right, Height() + height - client.bottom);
        GetClientRect(Handle(), &client);
    }
    if (client.bottom != height && client.right == width)
        SetBounds(Left(), Top(), Width(), Height() + height - client.bottom);
}

int TForm::ClientWidth() const {
    return deferPlacement_ && clientWidth_ >= 0 ? clientWidth_ : TWinControl::ClientWidth();
}

int TForm::ClientHeight() const {
    return deferPlacement_ && clientHeight_ >= 0 ? clientHeight_ : TWinControl::ClientHeight();
}

void TForm::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    if (deferPlacement_) boundsPending_ = true;
    else if (Handle()) SetWindowPos(Handle(), nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetVisible(bool visible) {
    if (visible) Show();
    else Hide();
}

void TForm::ApplyPosition() {
    if (placed_) return;
    placed_ = true;
    // Placed on a screen of another resolution, the form is scaled there and
    // so takes another size: it is centred again.
    const int pixelsPerInch = pixelsPerInch_;
    Center();
    if (pixelsPerInch_ != pixelsPerInch) Center();
}

void TForm::Center() {
    RECT area{};
    switch (Position) {
        case poScreenCenter:
        case poDesktopCenter:
            area = WorkArea(Handle());
            break;
        case poMainFormCenter:
        case poOwnerFormCenter: {
            TForm* reference = Position == poOwnerFormCenter ? dynamic_cast<TForm*>(Owner()) : nullptr;
            if (!reference) reference = Application().MainForm;
            if (reference && reference != this && reference->Handle()) {
                GetWindowRect(reference->Handle(), &area);
            } else {
                area = WorkArea(Handle());
            }
            break;
        }
        default:
            return;
    }
    int left = area.left + (area.right - area.left - Width()) / 2;
    int top = area.top + (area.bottom - area.top - Height()) / 2;
    RECT work = WorkArea(Handle());
    if (left + Width() > work.right) left = work.right - Width();
    if (top + Height() > work.bottom) top = work.bottom - Height();
    if (left < work.left) left = work.left;
    if (top < work.top) top = work.top;
    SetBounds(left, top, Width(), Height());
}

void TForm::Show() {
    ApplyDeferredPlacement();
    ApplyPosition();
    bool wasVisible = Visible();
    TControl::SetVisible(true);
    ShowWindow(Handle(), SW_SHOW);
    if (!wasVisible) {
        TWinControl* focus = FirstFocus();
        if (focus && focus->Showing()) focus->SetFocus();
        DoShow();
    }
}

TWinControl* TForm::FirstFocus() const {
    if (ActiveControl) return ActiveControl;
    for (TWinControl* control : TabList())
        if (control->Visible() && control->Enabled() && control->TabStop) return control;
    return nullptr;
}

void TForm::SaveFocus() {
    HWND focus = GetFocus();
    if (focus && IsChild(Handle(), focus)) savedFocus_ = focus;
}

bool TForm::RestoreFocus() {
    HWND focus = savedFocus_;
    const bool usable = focus && IsWindow(focus) && IsChild(Handle(), focus) && IsWindowVisible(focus) &&
                        IsWindowEnabled(focus);
    if (!usable) {
        TWinControl* first = FirstFocus();
        focus = first && first->Showing() && first->Enabled() ? first->Handle() : nullptr;
    }
    if (!focus) return false;
    ::SetFocus(focus);
    return true;
}

void TForm::Hide() {
    if (!Visible()) return;
    TControl::SetVisible(false);
    ShowWindow(Handle(), SW_HIDE);
    DoHide();
}

void TForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TForm::DoHide() {
    if (OnHide) OnHide(this);
}

TModalResult TForm::ShowModal() {
    if (Visible() || modal_) throw engine::Exception("Cannot make a visible window modal");
    std::vector<HWND> disabled;
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
    for (HWND window : disabled) EnableWindow(window, FALSE);
    HWND previousActive = GetActiveWindow();
    modal_ = true;
    modalResult_ = mrNone;
    try {
        Show();
        while (modalResult_ == mrNone) {
            Application().HandleMessage();
            if (Application().Terminated()) modalResult_ = mrCancel;
        }
    } catch (...) {
        for (HWND window : disabled) EnableWindow(window, TRUE);
        modal_ = false;
        Hide();
        throw;
    }
    for (HWND window : disabled) EnableWindow(window, TRUE);
    if (previousActive && IsWindow(previousActive)) SetActiveWindow(previousActive);
    Hide();
    modal_ = false;
    return modalResult_;
}

void TForm::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
    } else if (Application().MainForm == this) {
        Application().Terminate();
    } else {
        Hide();
    }
}

void TForm::Release() { Application().ReleaseLater(this); }

bool TForm::HandleShortCut(WPARAM key) {
    TShortCut pressed;
    pressed.key = static_cast<std::uint16_t>(key);
    pressed.shift = ModifierDown(VK_SHIFT);
    pressed.ctrl = ModifierDown(VK_CONTROL);
    pressed.alt = ModifierDown(VK_MENU);
    if (menu_ && menu_->DispatchShortCut(pressed)) return true;
    if (pressed.alt && !pressed.ctrl && FocusByAccessKey(static_cast<wchar_t>(key))) return true;
    const bool plain = !pressed.shift && !pressed.ctrl && !pressed.alt;
    if (key == VK_F1 && plain) {
        Application().HelpContext(HelpContext);
        return true;
    }
    // The dialog manager presses the focused button only once it has made it
    // the default one, which a window that is no dialog never does.
    if (key == VK_RETURN && plain) {
        auto* button = dynamic_cast<TButton*>(FromHandle(GetFocus()));
        if (button && button->ParentForm() == this && button->Enabled()) {
            button->Click();
            return true;
        }
    }
    return false;
}

// The label whose caption marks `key` with "&" gives the focus to its control.
bool TForm::FocusByAccessKey(wchar_t key) {
    if (!((key >= L'A' && key <= L'Z') || (key >= L'0' && key <= L'9'))) return false;
    for (std::size_t i = 0; i < ComponentCount(); ++i) {
        auto* label = dynamic_cast<TLabel*>(Components(i));
        if (!label || !label->FocusControl || !label->ShowAccelChar() || !label->Showing()) continue;
        if (AccessKeyOf(label->Caption()) != key) continue;
        TWinControl* target = label->FocusControl;
        if (!target->Showing() || !target->Enabled()) return false;
        target->SetFocus();
        return true;
    }
    return false;
}

// The system's controls learn of the change only from their top-level window.
void TForm::ColorsChanged() {
    SystemColorsChanged();
    EnumChildWindows(Handle(), ForwardColorChange, 0);
    for (std::size_t i = 0; i < ComponentCount(); ++i)
        if (auto* control = dynamic_cast<TControl*>(Components(i))) control->Invalidate();
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TForm::LoadLayout(const std::string& text, const std::string& source) {
    auto root = std::make_unique<LayoutNode>(ReadLayout(text, source));
    if (root->kind != "form") throw ELayoutError("Layout " + root->where + ": the first object must be a form");
    deferPlacement_ = true;
    layout_ = std::make_unique<TLayoutContext>(*this, pixelsPerInch_);
    toolkit::LoadLayout(*this, *root, *layout_);
    design_ = std::move(root);
}

void TForm::ChangeScale(int pixelsPerInch, const RECT& suggested) {
    if (pixelsPerInch <= 0) return;
    pixelsPerInch_ = pixelsPerInch;
    SetBounds(suggested.left, suggested.top, suggested.right - suggested.left, suggested.bottom - suggested.top);
    if (design_) {
        TLayoutContext context(*this, pixelsPerInch_);
        ApplyLayoutLengths(*this, *design_, context);
    }
    ScaleChanged(pixelsPerInch_);
    for (std::size_t i = 0; i < ComponentCount(); ++i) Guarded([&] { Components(i)->ScaleChanged(pixelsPerInch_); });
    ApplyRunTimeLayout();
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TForm::AfterConstruction(TCreateErrors createErrors) {
    if (layout_) {
        layout_->BindEvents(handlers_);
        layout_.reset();
    }
    if (OnCreate) {
        if (createErrors == TCreateErrors::Raise) OnCreate(this);
        else Guarded([this] { OnCreate(this); });
    }
    ApplyDeferredPlacement();
}

bool TForm::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    auto is = [&p](const char* name) { return os::EqualsIgnoringCase(p.name, name); };
    if (is("ClientSize")) {
        std::vector<int> size = p.Ints(2);
        SetClientSize(context.Scale(size[0]), context.Scale(size[1]));
    } else if (is("ClientWidth")) {
        SetClientSize(context.Scale(p.Int()), clientHeight_ < 0 ? ClientHeight() : clientHeight_);
    } else if (is("ClientHeight")) {
        SetClientSize(clientWidth_ < 0 ? ClientWidth() : clientWidth_, context.Scale(p.Int()));
    } else if (is("BorderStyle")) {
        const std::string& style = p.Identifier();
        if (style == "none") SetBorderStyle(TBorderStyle::bsNone);
        else if (style == "single") SetBorderStyle(TBorderStyle::bsSingle);
        else if (style == "sizeable") SetBorderStyle(TBorderStyle::bsSizeable);
        else if (style == "dialog") SetBorderStyle(TBorderStyle::bsDialog);
        else p.Fail("expected none, single, sizeable or dialog");
    } else if (is("BorderIcons")) {
        TBorderIcons icons{false, false, false};
        for (const std::string& icon : p.Set()) {
            if (icon == "systemMenu") icons.systemMenu = true;
            else if (icon == "minimize") icons.minimize = true;
            else if (icon == "maximize") icons.maximize = true;
            else p.Fail("unknown border icon \"" + icon + "\"");
        }
        SetBorderIcons(icons);
    } else if (is("FormStyle")) {
        const std::string& style = p.Identifier();
        if (style == "normal") SetFormStyle(TFormStyle::fsNormal);
        else if (style == "stayOnTop") SetFormStyle(TFormStyle::fsStayOnTop);
        else p.Fail("expected normal or stayOnTop");
    } else if (is("Position")) {
        const std::string& position = p.Identifier();
        if (position == "designed") Position = poDesigned;
        else if (position == "screenCenter") Position = poScreenCenter;
        else if (position == "mainFormCenter") Position = poMainFormCenter;
        else if (position == "ownerFormCenter") Position = poOwnerFormCenter;
        else p.Fail("expected designed, screenCenter, mainFormCenter or ownerFormCenter");
    } else if (is("HelpContext")) {
        HelpContext = p.Int();
    } else if (is("Menu")) {
        context.Resolve(p, [this, where = p.where](TComponent& target) {
            auto* menu = dynamic_cast<TMainMenu*>(&target);
            if (!menu) throw ELayoutError("Layout " + where + ": Menu: names no main menu");
            SetMenu(menu);
        });
    } else if (is("ActiveControl")) {
        context.Resolve(p, [this, where = p.where](TComponent& target) {
            ActiveControl = dynamic_cast<TWinControl*>(&target);
            if (!ActiveControl) throw ELayoutError("Layout " + where + ": ActiveControl: names no window control");
        });
    } else if (is("OnCreate")) {
        context.BindEvent(p, OnCreate);
    } else if (is("OnShow")) {
        context.BindEvent(p, OnShow);
    } else if (is("OnHide")) {
        context.BindEvent(p, OnHide);
    } else if (is("Left") || is("Top")) {
        int value = p.Int();
        if (is("Left")) SetBounds(value, Top(), Width(), Height());
        else SetBounds(Left(), value, Width(), Height());
    } else {
        return TWinControl::ApplyLayoutProperty(p, context);
    }
    return true;
}

LRESULT TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            Close();
            return 0;
        case WM_COMMAND:
            if (lParam == 0) {
                WORD id = LOWORD(wParam);
                if (id == IDOK || id == IDCANCEL) {
                    TButton* button = id == IDOK ? defaultButton_ : cancelButton_;
                    if (button && button->Showing() && button->Enabled()) button->Click();
                    return 0;
                }
                if (menu_ && menu_->DispatchCommand(id)) return 0;
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                SaveFocus();
                break;
            }
            // Not minimized: the default would give the focus to the form itself.
            if (!HIWORD(wParam) && RestoreFocus()) return 0;
            break;
        case WM_SETFOCUS:
            if (RestoreFocus()) return 0;
            break;
        case WM_ACTIVATEAPP:
            Application().AppActivated(wParam != FALSE);
            break;
        case WM_SETTINGCHANGE:
            if (wParam == SPI_SETHIGHCONTRAST) ColorsChanged();
            break;
        case WM_SYSCOLORCHANGE:
            ColorsChanged();
            break;
        case WM_DPICHANGED:
            ChangeScale(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_MOVE:
        case WM_SIZE: {
            // The window still has its old place while a new one waits, and
            // its aligned controls already have their new widths.
            if (deferPlacement_) return 0;
            RECT window{};
            GetWindowRect(Handle(), &window);
            TControl::SetBounds(window.left, window.top, window.right - window.left, window.bottom - window.top);
            break;
        }
        default:
            break;
    }
    return TWinControl::WndProc(message, wParam, lParam);
}

}  // namespace toolkit
