#include "widgets/BalloonHelp.h"

#include "os/WinApi.h"
#include "os/sim/SimMachine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using widgets::TBalloonHelp;

// Records the tool messages that reach the tooltip window; installed after the
// balloon's own subclass, so it sees every message first.
struct MessageSpy {
    explicit MessageSpy(HWND window) : window(window) {
        SetWindowSubclass(window, Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~MessageSpy() { RemoveWindowSubclass(window, Proc, 1); }
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
        auto* spy = reinterpret_cast<MessageSpy*>(self);
        if (message == TTM_TRACKACTIVATE) ++spy->activations;
        if (message == TTM_SETTITLEW) {
            ++spy->titles;
            spy->titleIcon = wParam;
            spy->title = reinterpret_cast<const wchar_t*>(lParam);
        }
        if (message == WM_SETFONT) spy->font = reinterpret_cast<HFONT>(wParam);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    HWND window;
    int activations = 0;
    int titles = 0;
    WPARAM titleIcon = 0;
    std::wstring title;
    HFONT font = nullptr;
};

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

std::wstring TipText(HWND window) {
    wchar_t buffer[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.lpszText = buffer;
    SendMessageW(window, TTM_GETTEXTW, std::size(buffer), reinterpret_cast<LPARAM>(&tool));
    return buffer;
}

BOOL CALLBACK CountTooltip(HWND window, LPARAM count) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wstring(className) == TOOLTIPS_CLASSW) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int TooltipWindowsOfThisThread() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountTooltip, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST(BalloonHelpTest, WindowIsMadeAtTheFirstShowWithTheSettingsGivenBefore) {
    const int before = TooltipWindowsOfThisThread();
    TBalloonHelp balloon(nullptr);
    balloon.SetText(L"made when first shown");
    toolkit::TFont bold;
    bold.SetName(L"Tahoma");
    bold.SetHeight(-14);
    balloon.SetFont(&bold);
    balloon.Hide();
    EXPECT_EQ(before, TooltipWindowsOfThisThread()) << "no window while nothing was shown";

    balloon.ShowAt(300, 200);
    Pump();
    EXPECT_EQ(before + 1, TooltipWindowsOfThisThread());
    EXPECT_TRUE(IsWindowVisible(balloon.Handle()));
    EXPECT_EQ(L"made when first shown", TipText(balloon.Handle()));
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(balloon.Handle(), WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(-14, font.lfHeight);
    balloon.ShowAt(300, 250);
    EXPECT_EQ(before + 1, TooltipWindowsOfThisThread()) << "one window for the balloon's life";
}

TEST(BalloonHelpTest, NewBalloonIsAHiddenTopmostTrackingTooltip) {
    TBalloonHelp balloon(nullptr);
    ASSERT_NE(nullptr, balloon.Handle());
    wchar_t className[64] = {};
    GetClassNameW(balloon.Handle(), className, 64);
    EXPECT_STREQ(TOOLTIPS_CLASSW, className);
    const LONG_PTR style = GetWindowLongPtrW(balloon.Handle(), GWL_STYLE);
    EXPECT_EQ(TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, style & (TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP));
    EXPECT_TRUE(GetWindowLongPtrW(balloon.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(balloon.Showing());
    EXPECT_FALSE(IsWindowVisible(balloon.Handle()));
    EXPECT_EQ(widgets::bInfo, balloon.BalloonIcon);
    EXPECT_EQ(toolkit::clInfoBk, balloon.BackGroundColor);
    EXPECT_EQ(-1, balloon.MaxTipWidth);
    EXPECT_EQ(L"Verdana", balloon.Font().Name());
    EXPECT_EQ(-11, balloon.Font().Height());
}

TEST(BalloonHelpTest, ShowAtShowsAndHideHides) {
    TBalloonHelp balloon(nullptr);
    MessageSpy spy(balloon.Handle());
    balloon.SetTitle(L"Mode Changed");
    balloon.SetText(L"Password prompting has been successfully changed to Secure Mode.");
    balloon.BalloonIcon = widgets::bWarning;
    balloon.BackGroundColor = RGB(0xFF, 0xFF, 0xE1);
    balloon.MaxTipWidth = 250;

    balloon.ShowAt(300, 200);
    Pump();
    EXPECT_TRUE(balloon.Showing());
    EXPECT_TRUE(IsWindowVisible(balloon.Handle()));
    EXPECT_EQ(L"Password prompting has been successfully changed to Secure Mode.", TipText(balloon.Handle()));
    EXPECT_EQ(L"Mode Changed", spy.title);
    EXPECT_EQ(static_cast<WPARAM>(widgets::bWarning), spy.titleIcon);
    EXPECT_EQ(RGB(0xFF, 0xFF, 0xE1), static_cast<COLORREF>(SendMessageW(balloon.Handle(), TTM_GETTIPBKCOLOR, 0, 0)));
    EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), static_cast<COLORREF>(SendMessageW(balloon.Handle(), TTM_GETTIPTEXTCOLOR, 0, 0)));
    EXPECT_EQ(250, SendMessageW(balloon.Handle(), TTM_GETMAXTIPWIDTH, 0, 0));
    EXPECT_EQ(balloon.Font().Handle(), spy.font);

    balloon.Hide();
    Pump();
    EXPECT_FALSE(balloon.Showing());
    EXPECT_FALSE(IsWindowVisible(balloon.Handle()));
}

TEST(BalloonHelpTest, ShowingAgainMovesTheBalloonWithCurrentSettings) {
    TBalloonHelp balloon(nullptr);
    balloon.SetText(L"first");
    balloon.ShowAt(200, 200);
    Pump();
    RECT first{};
    GetWindowRect(balloon.Handle(), &first);

    balloon.SetText(L"second");
    balloon.BalloonIcon = widgets::bError;
    MessageSpy spy(balloon.Handle());
    balloon.ShowAt(600, 500);
    Pump();
    RECT second{};
    GetWindowRect(balloon.Handle(), &second);

    EXPECT_EQ(2, spy.activations) << "hidden, then shown again";
    EXPECT_TRUE(balloon.Showing());
    EXPECT_TRUE(IsWindowVisible(balloon.Handle()));
    EXPECT_GT(second.left, first.left + 300);
    EXPECT_GT(second.top, first.top + 200);
    EXPECT_EQ(L"second", TipText(balloon.Handle()));
    EXPECT_EQ(static_cast<WPARAM>(widgets::bError), spy.titleIcon);
}

TEST(BalloonHelpTest, TextChangesAtOnceWhileOtherSettingsWaitForShowAt) {
    TBalloonHelp balloon(nullptr);
    MessageSpy spy(balloon.Handle());
    balloon.SetText(L"before");
    balloon.BackGroundColor = RGB(1, 2, 3);
    balloon.ShowAt(300, 300);

    balloon.SetText(L"after");
    balloon.BackGroundColor = RGB(4, 5, 6);
    balloon.BalloonIcon = widgets::bNoIcon;
    balloon.MaxTipWidth = 123;

    EXPECT_EQ(L"after", TipText(balloon.Handle()));
    EXPECT_EQ(RGB(1, 2, 3), static_cast<COLORREF>(SendMessageW(balloon.Handle(), TTM_GETTIPBKCOLOR, 0, 0)));
    EXPECT_NE(123, SendMessageW(balloon.Handle(), TTM_GETMAXTIPWIDTH, 0, 0));
    EXPECT_EQ(static_cast<WPARAM>(widgets::bInfo), spy.titleIcon);
    EXPECT_TRUE(balloon.Showing());

    balloon.ShowAt(300, 300);
    EXPECT_EQ(RGB(4, 5, 6), static_cast<COLORREF>(SendMessageW(balloon.Handle(), TTM_GETTIPBKCOLOR, 0, 0)));
    EXPECT_EQ(123, SendMessageW(balloon.Handle(), TTM_GETMAXTIPWIDTH, 0, 0));
    EXPECT_EQ(static_cast<WPARAM>(widgets::bNoIcon), spy.titleIcon);
}

TEST(BalloonHelpTest, EmptyTitleKeepsThePreviousOne) {
    TBalloonHelp balloon(nullptr);
    MessageSpy spy(balloon.Handle());
    balloon.SetTitle(L"Mode Not Changed");
    EXPECT_EQ(1, spy.titles) << "a new title reaches the window at once";
    EXPECT_EQ(L"Mode Not Changed", spy.title);
    balloon.SetTitle(L"");
    EXPECT_EQ(L"Mode Not Changed", balloon.Title());
    balloon.ShowAt(100, 100);
    EXPECT_EQ(L"Mode Not Changed", spy.title);
}

TEST(BalloonHelpTest, FontChangesReachTheWindowAtOnce) {
    TBalloonHelp balloon(nullptr);
    balloon.ShowAt(100, 100);
    MessageSpy spy(balloon.Handle());
    toolkit::TFont bold;
    bold.SetName(L"Tahoma");
    bold.SetHeight(-14);
    bold.SetStyle(toolkit::fsBold);
    balloon.SetFont(&bold);
    EXPECT_EQ(L"Tahoma", balloon.Font().Name());
    EXPECT_EQ(toolkit::fsBold, balloon.Font().Style());
    EXPECT_EQ(balloon.Font().Handle(), spy.font);
    // The tooltip may keep a copy of the font: compare what it describes.
    const HFONT current = reinterpret_cast<HFONT>(SendMessageW(balloon.Handle(), WM_GETFONT, 0, 0));
    LOGFONTW font{};
    GetObjectW(current, sizeof(font), &font);
    EXPECT_EQ(-14, font.lfHeight);
    EXPECT_EQ(FW_BOLD, font.lfWeight);

    balloon.SetFont(nullptr);
    EXPECT_EQ(L"Tahoma", balloon.Font().Name());

    // On a screen of 150 %: the same font made larger, the balloon still shown.
    balloon.ScaleChanged(144);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(balloon.Handle(), WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(-21, font.lfHeight);
    EXPECT_TRUE(balloon.Showing());
}

TEST(BalloonHelpTest, ClickCallsOnClickOnceAndHides) {
    TBalloonHelp balloon(nullptr);
    int clicks = 0;
    toolkit::TComponent* sender = nullptr;
    balloon.SetOnClick([&](toolkit::TComponent* from) {
        ++clicks;
        sender = from;
    });
    balloon.SetOnClick(nullptr);  // keeps the handler

    SendMessageW(balloon.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(0, clicks) << "a hidden balloon ignores clicks";

    balloon.ShowAt(400, 300);
    SendMessageW(balloon.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(1, clicks);
    EXPECT_EQ(&balloon, sender);
    EXPECT_FALSE(balloon.Showing());
    Pump();
    EXPECT_FALSE(IsWindowVisible(balloon.Handle()));
}

TEST(BalloonHelpTest, RealMouseClickOnTheBalloonReachesOnClick) {
    TBalloonHelp balloon(nullptr);
    int clicks = 0;
    balloon.SetOnClick([&](toolkit::TComponent*) { ++clicks; });
    balloon.SetTitle(L"Mode Changed");
    balloon.SetText(L"Click me");
    balloon.ShowAt(500, 400);
    Pump();
    RECT bounds{};
    GetWindowRect(balloon.Handle(), &bounds);
    // Inside the balloon's body, away from its stem and rounded corners.
    const POINT inside{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
    ASSERT_EQ(balloon.Handle(), WindowFromPoint(inside));

    SetCursorPos(inside.x, inside.y);
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(2u, SendInput(2, press, sizeof(INPUT)));
    for (int i = 0; i < 50 && clicks == 0; ++i) {
        Pump();
        Sleep(10);
    }
    EXPECT_EQ(1, clicks);
    EXPECT_FALSE(balloon.Showing());
}

TEST(BalloonHelpTest, HideSendsNothingWhenHidden) {
    TBalloonHelp balloon(nullptr);
    MessageSpy spy(balloon.Handle());
    balloon.Hide();
    EXPECT_EQ(0, spy.activations);
    balloon.ShowAt(100, 100);
    balloon.Hide();
    balloon.Hide();
    EXPECT_EQ(2, spy.activations);
}

TEST(BalloonHelpTest, OwnerDestroysTheBalloonAndItsWindow) {
    auto* owner = new toolkit::TComponent(nullptr);
    auto* balloon = new TBalloonHelp(owner);
    const HWND window = balloon->Handle();
    balloon->ShowAt(100, 100);
    ASSERT_TRUE(IsWindow(window));
    delete owner;
    EXPECT_FALSE(IsWindow(window));
}

TEST(BalloonHelpTest, StaysInertOnWindows98) {
    os::sim::SimMachine machine;
    machine.platformId = VER_PLATFORM_WIN32_WINDOWS;
    machine.majorVersion = 4;
    machine.minorVersion = 10;
    os::ScopedMachine scope(machine);

    TBalloonHelp balloon(nullptr);
    EXPECT_EQ(nullptr, balloon.Handle());
    balloon.SetText(L"text");
    balloon.SetTitle(L"title");
    balloon.ShowAt(100, 100);
    EXPECT_FALSE(balloon.Showing());
    balloon.Hide();
    EXPECT_EQ(L"text", balloon.Text());
}

TEST(BalloonHelpTest, WindowsMeStillGetsTheBalloon) {
    os::sim::SimMachine machine;
    machine.platformId = VER_PLATFORM_WIN32_WINDOWS;
    machine.majorVersion = 4;
    machine.minorVersion = 90;
    os::ScopedMachine scope(machine);
    TBalloonHelp balloon(nullptr);
    EXPECT_NE(nullptr, balloon.Handle());
}

TEST(BalloonHelpTest, BalloonTipsEnabledUnlessAReadableZero) {
    const wchar_t* path = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
    os::sim::SimMachine machine;
    os::ScopedMachine scope(machine);

    EXPECT_TRUE(widgets::BalloonTipsEnabled()) << "no key";
    machine.Key(HKEY_CURRENT_USER, path);
    EXPECT_TRUE(widgets::BalloonTipsEnabled()) << "no value";
    machine.SetDword(HKEY_CURRENT_USER, path, L"EnableBalloonTips", 0);
    EXPECT_FALSE(widgets::BalloonTipsEnabled());
    machine.SetDword(HKEY_CURRENT_USER, path, L"EnableBalloonTips", 2);
    EXPECT_TRUE(widgets::BalloonTipsEnabled());
    machine.SetString(HKEY_CURRENT_USER, path, L"EnableBalloonTips", L"0");
    EXPECT_TRUE(widgets::BalloonTipsEnabled()) << "text is not an integer";
    machine.SetRaw(HKEY_CURRENT_USER, path, L"EnableBalloonTips", REG_DWORD, {0, 0});
    EXPECT_TRUE(widgets::BalloonTipsEnabled()) << "a short value is unreadable";
    machine.SetDword(HKEY_CURRENT_USER, path, L"EnableBalloonTips", 0);
    machine.Fail("RegQueryValueExW", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(widgets::BalloonTipsEnabled());
    EXPECT_EQ(0, machine.OpenHandles());
}

}  // namespace
