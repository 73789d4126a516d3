#include "widgets/BalloonHelp.h"

#include "os/Text.h"
#include "os/WinApi.h"
#include "toolkit/Application.h"
#include "toolkit/Control.h"
#include "toolkit/Layout.h"

#include <utility>

namespace widgets {
namespace {

// Windows 95 and 98 have no balloon tooltips: the component stays inert there.
bool IsWindows9x() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!os::Api().GetVersionExW(&info)) return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && info.dwMajorVersion == 4 && info.dwMinorVersion < 90;
}

}  // namespace

TBalloonHelp::TBalloonHelp(toolkit::TComponent* owner) : toolkit::TComponent(owner) {
    if (auto* window = dynamic_cast<toolkit::TControl*>(owner)) font_.SetPixelsPerInch(window->PixelsPerInch());
    font_.OnChange = [this] { ApplyFont(); };
    font_.SetStyle(0);
    font_.SetCharset(DEFAULT_CHARSET);
    font_.SetHeight(-11);
    font_.SetName(L"Verdana");
    SetTitle(toolkit::Application().Title);
    SetText(toolkit::Application().Title);
}

TBalloonHelp::~TBalloonHelp() {
    if (!window_) return;
    RemoveWindowSubclass(window_, TipWindowProc, 0);
    DestroyWindow(window_);
}

HWND TBalloonHelp::Handle() {
    CreateTipWindow();
    return window_;
}

void TBalloonHelp::CreateTipWindow() {
    if (windowTried_) return;
    windowTried_ = true;
    if (IsWindows9x()) return;
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    window_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, 0,
                              0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_) return;
    SetWindowSubclass(window_, TipWindowProc, 0, reinterpret_cast<DWORD_PTR>(this));
    SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    // The V2 size is understood by every common controls version, with or
    // without visual styles.
    tool_.cbSize = TTTOOLINFOW_V2_SIZE;
    tool_.uFlags = TTF_TRACK;
    tool_.lpszText = text_.data();
    Send(TTM_SETTITLEW, BalloonIcon % 4, reinterpret_cast<LPARAM>(title_.c_str()));
    ApplyFont();
}

LRESULT TBalloonHelp::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return window_ ? SendMessageW(window_, message, wParam, lParam) : 0;
}

void TBalloonHelp::SetTitle(const std::wstring& title) {
    if (!title.empty()) title_ = title;
    Send(TTM_SETTITLEW, BalloonIcon % 4, reinterpret_cast<LPARAM>(title_.c_str()));
}

void TBalloonHelp::SetText(const std::wstring& text) {
    text_ = text;
    if (!window_) return;
    tool_.lpszText = text_.data();
    Send(TTM_UPDATETIPTEXTW, 0, ToolParam());
}

void TBalloonHelp::SetFont(const toolkit::TFont* font) {
    if (font) font_.Assign(*font);
}

void TBalloonHelp::SetOnClick(toolkit::TNotifyEvent handler) {
    if (handler) onClick_ = std::move(handler);
}

void TBalloonHelp::ShowAt(int x, int y) {
    CreateTipWindow();
    shownAt_ = {x, y};
    Send(TTM_TRACKPOSITION, 0, MAKELPARAM(x & 0xFFFF, y & 0xFFFF));
    UpdateTool();
    Send(TTM_SETMAXTIPWIDTH, 0, MaxTipWidth);
    Send(TTM_TRACKACTIVATE, TRUE, ToolParam());
}

void TBalloonHelp::Hide() {
    if (showing_) Send(TTM_TRACKACTIVATE, FALSE, ToolParam());
}

void TBalloonHelp::ScaleChanged(int pixelsPerInch) {
    font_.SetPixelsPerInch(pixelsPerInch);
    if (showing_) ShowAt(shownAt_.x, shownAt_.y);
}

bool TBalloonHelp::ApplyLayoutProperty(const toolkit::LayoutProperty& p, toolkit::TLayoutContext& context) {
    auto is = [&p](const char* name) { return os::EqualsIgnoringCase(p.name, name); };
    if (is("Font.Name")) {
        font_.SetName(p.Text());
    } else if (is("Font.Height")) {
        font_.SetHeight(p.Int());
    } else if (is("Font.Style")) {
        font_.SetStyle(toolkit::LayoutFontStyle(p));
    } else if (is("Font.Charset")) {
        font_.SetCharset(static_cast<BYTE>(p.Int()));
    } else {
        return TComponent::ApplyLayoutProperty(p, context);
    }
    return true;
}

void TBalloonHelp::UpdateTool() {
    if (showing_) Hide();
    tool_.lpszText = text_.data();
    Send(TTM_DELTOOLW, 0, ToolParam());
    Send(TTM_ADDTOOLW, 0, ToolParam());
    const toolkit::TColor background = toolkit::ContrastColor(BackGroundColor, toolkit::TColorPart::Tip);
    Send(TTM_SETTIPBKCOLOR, toolkit::ColorToRGB(background), 0);
    Send(TTM_SETTITLEW, BalloonIcon % 4, reinterpret_cast<LPARAM>(title_.c_str()));
    ApplyFont();
    const toolkit::TColor text = toolkit::HighContrast() ? toolkit::TextColorOn(background) : toolkit::clBtnText;
    Send(TTM_SETTIPTEXTCOLOR, toolkit::ColorToRGB(text), 0);
}

void TBalloonHelp::ApplyFont() {
    if (window_) Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
}

// Follows the activation messages, the component's own included, to know
// whether the balloon is shown; a click on a shown balloon raises OnClick and
// hides it. Every message then goes on to the tooltip class.
LRESULT CALLBACK TBalloonHelp::TipWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) {
    auto* balloon = reinterpret_cast<TBalloonHelp*>(self);
    if (message == WM_LBUTTONDOWN && balloon->showing_) {
        toolkit::Guarded([balloon] {
            if (balloon->onClick_) balloon->onClick_(balloon);
        });
        balloon->Hide();
    } else if (message == TTM_TRACKACTIVATE) {
        if (wParam == FALSE) balloon->showing_ = false;
        if (wParam == TRUE) balloon->showing_ = true;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void RegisterBalloonHelp() {
    if (toolkit::ComponentKindRegistered("balloon")) return;
    toolkit::RegisterComponentKind("balloon", [](toolkit::TComponent* owner, toolkit::TWinControl*) {
        return static_cast<toolkit::TComponent*>(new TBalloonHelp(owner));
    });
}

bool BalloonTipsEnabled() {
    os::WinApi& api = os::Api();
    HKEY key = nullptr;
    if (api.RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", 0,
                          KEY_READ, &key) != ERROR_SUCCESS)
        return true;
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        api.RegQueryValueExW(key, L"EnableBalloonTips", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    api.RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) return true;
    return value != 0;
}

}  // namespace widgets
