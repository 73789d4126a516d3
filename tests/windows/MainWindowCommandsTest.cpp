// The main window's commands, driven through its keys, clicks and menu on a
// simulated machine with real GDI. The machine starts in relaxed mode: the
// auto-logon account "alice" (password "wonderland") with its password
// stored, the screen saver not asking; the resume setting is left alone.
#include "MainWindowFixture.h"
#include "ModalScript.h"
#include "shell/Gatewise_IDH.h"
#include "toolkit/Menu.h"
#include "ui/AutologonDlg.h"
#include "ui/InfoDlgEx.h"
#include "ui/OptionsDlg.h"
#include "ui/VerifyPwdDlg.h"

#include <cstdlib>

namespace {

using namespace toolkit;
using ui::TdlgKVInfoEx;
using widgets::TBalloonHelp;
using widgets::TKXLabel;

constexpr const wchar_t* kNotConfirmed =
    L"You didn't confirm that you know your Windows password,\rtherefore secure mode was not enabled.";
constexpr const wchar_t* kNoPassword =
    L"Your user account is not password protected. Secure mode cannot be enabled, \rplease set a password first "
    L"(see \"Users management\" from Commands menu).";

// Keeps the pages it is asked to open instead of starting a browser.
class TestMainWindow : public ui::TdlgGatewiseMain {
public:
    using TdlgGatewiseMain::TdlgGatewiseMain;
    std::vector<std::wstring> pages;

protected:
    void OpenPage(const std::wstring& address) override { pages.push_back(address); }
};

class MainWindowCommands : public MainWindowFixture<TestMainWindow> {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        machine.SetString(HKEY_CURRENT_USER, kOptionsKey, L"AutochangeStandby", L"False");
        machine.SetString(HKEY_CURRENT_USER, kOptionsKey, L"VerifyPassword", L"False");
        machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon", L"1");
        machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName", L"alice");
        machine.lsaSecrets[L"DefaultPassword"] = {'w', 0};
        machine.screenSaverSecure = FALSE;
    }
    // Created, shown and painted, so that its links can be clicked.
    void Show() {
        Create();
        window->Show();
        RedrawWindow(window->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Pump();
    }
    void Press(WPARAM key) {
        PostMessageW(window->Handle(), WM_KEYDOWN, key, 0);
        Application().ProcessMessages();
    }
    // A real click at a point of the main window.
    void ClickAt(POINT point) {
        const HWND target = WindowFromPoint(point);
        ASSERT_TRUE(target == window->Handle() || IsChild(window->Handle(), target));
        Mouse(point, true);
    }
    // The middle of the left part of the first run of a markup label whose
    // link target is `href` ("" for plain text).
    POINT RunOnScreen(const wchar_t* label, const std::wstring& href) {
        TKXLabel& markup = window->Get<TKXLabel>(label);
        for (std::size_t i = 0; i < markup.Render().Items.Count(); ++i) {
            const widgets::THTMLRenderItem& item = markup.Render().Items[i];
            if (item.Href == href && !item.Text.empty())
                return markup.ClientToScreen({item.Rect.left + 3, (item.Rect.top + item.Rect.bottom) / 2});
        }
        ADD_FAILURE() << "no run links to " << std::string(href.begin(), href.end());
        return {};
    }
    POINT Middle(const wchar_t* control) {
        const TControl& found = window->Get<TControl>(control);
        return found.ClientToScreen({found.Width() / 2, found.Height() / 2});
    }

    std::wstring Title(const wchar_t* label) const { return window->Get<TLabel>(label).Caption(); }
    bool SecureOnMachine() const {
        return machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon") == L"0" && machine.screenSaverSecure;
    }
    bool RelaxedOnMachine() const {
        return machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon") == L"1" && !machine.screenSaverSecure;
    }
    int Sounds() const { return machine.CountCalls("PlaySoundA"); }
    TBalloonHelp& Balloon() const { return window->Get<TBalloonHelp>(L"dlgBalloon"); }
    // The balloon's stem points at the title's bottom left, 20 and 5 pixels off.
    void ExpectBalloonAt(const wchar_t* title) const {
        RECT balloon{};
        GetWindowRect(Balloon().Handle(), &balloon);
        const POINT stem = window->Get<TLabel>(title).ClientToScreen({20, window->Get<TLabel>(title).Height() + 5});
        EXPECT_LE(balloon.left, stem.x);
        EXPECT_GE(balloon.right, stem.x);
        EXPECT_LE(std::abs(balloon.top - stem.y), 2) << "the balloon hangs below its stem's point";
    }
    static void SetVerifyPassword(bool verify) { settings::GlobalOptions().SetVerifyPassword(verify); }

};

TEST_F(MainWindowCommands, F2SwitchesAtOnceAndTheBalloonConfirmsUntilItsTimeIsUp) {
    Show();
    EXPECT_EQ(L"Relaxed Mode (currently active)", Title(L"lblRelaxedTitle"));
    Press(VK_F2);
    EXPECT_TRUE(SecureOnMachine());
    EXPECT_EQ(std::vector<std::string>{"SystemExclamation,flags=0x1"}, machine.CallsTo("PlaySoundA"));
    ASSERT_TRUE(Balloon().Showing());
    EXPECT_EQ(L"Mode Changed", Balloon().Title());
    EXPECT_EQ(L"Password prompting has been successfully changed to Secure Mode.", Balloon().Text());
    EXPECT_EQ(widgets::bInfo, Balloon().BalloonIcon);
    EXPECT_EQ(clInfoBk, Balloon().BackGroundColor);
    EXPECT_EQ(L"Tahoma", Balloon().Font().Name());
    ExpectBalloonAt(L"lblSecureTitle");
    EXPECT_EQ(L"Secure Mode (currently active)", Title(L"lblSecureTitle"));
    EXPECT_EQ(L"Relaxed Mode", Title(L"lblRelaxedTitle"));

    TTimer& timer = window->Get<TTimer>(L"tmrBalloon");
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(15000u, timer.Interval());
    timer.Tick();
    EXPECT_FALSE(Balloon().Showing());
    EXPECT_FALSE(timer.Enabled());
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowCommands, VerificationDecidesWhetherF2Switches) {
    Show();
    SetVerifyPassword(true);
    ModalScript script;
    script.Then<ui::TdlgVerifyPwd>([](ui::TdlgVerifyPwd& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); });
    Press(VK_F2);
    EXPECT_TRUE(RelaxedOnMachine());
    EXPECT_EQ(1, Sounds()) << "a refusal sounds too";
    EXPECT_EQ(L"Mode not changed!", Balloon().Title());
    EXPECT_EQ(kNotConfirmed, Balloon().Text());
    EXPECT_EQ(widgets::bError, Balloon().BalloonIcon);
    EXPECT_EQ(RGBColor(255, 204, 255), Balloon().BackGroundColor);
    ExpectBalloonAt(L"lblSecureTitle");
    EXPECT_EQ(L"Relaxed Mode (currently active)", Title(L"lblRelaxedTitle"));

    machine.accounts[0].password.clear();
    script.Then<ui::TdlgVerifyPwd>([](ui::TdlgVerifyPwd& dialog) { Click(dialog.Get<TButton>(L"btnOk")); });
    Press(VK_F2);
    EXPECT_TRUE(RelaxedOnMachine());
    EXPECT_EQ(kNoPassword, Balloon().Text());

    machine.accounts[0].password = L"wonderland";
    script.Then<ui::TdlgVerifyPwd>([](ui::TdlgVerifyPwd& dialog) {
        Type(dialog.Get<TEdit>(L"edtPassword"), L"wonderland");
        Click(dialog.Get<TButton>(L"btnOk"));
    });
    Press(VK_F2);
    EXPECT_TRUE(SecureOnMachine());
    EXPECT_EQ(L"Mode Changed", Balloon().Title());
    EXPECT_EQ(3, Sounds());
    EXPECT_TRUE(errors.empty());
}

// Windows refuses to make the dialog's window: the error is shown as it is,
// and no message claims that the account has no password.
HHOOK vetoHook = nullptr;
LRESULT CALLBACK VetoTopLevelWindows(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !(reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->style & WS_CHILD)) return 1;
    return CallNextHookEx(vetoHook, code, wParam, lParam);
}

TEST_F(MainWindowCommands, AVerificationDialogThatCannotOpenReportsItsErrorAndChangesNothing) {
    Show();
    SetVerifyPassword(true);
    vetoHook = SetWindowsHookExW(WH_CBT, VetoTopLevelWindows, nullptr, GetCurrentThreadId());
    Press(VK_F2);
    UnhookWindowsHookEx(vetoHook);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(0u, errors[0].find("Cannot create the window")) << errors[0];
    EXPECT_TRUE(RelaxedOnMachine());
    EXPECT_EQ(0, Sounds());
    EXPECT_FALSE(Balloon().Showing());
}

TEST_F(MainWindowCommands, AFailedWriteIsShownWithoutSoundNotificationOrRefresh) {
    Show();
    machine.screenSaverSecure = TRUE;  // changed behind the window's back: custom mode, not shown yet
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED);
    Press(VK_F2);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(L"1", machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon"));
    EXPECT_EQ(0, Sounds());
    EXPECT_FALSE(Balloon().Showing());
    EXPECT_EQ(L"Relaxed Mode (currently active)", Title(L"lblRelaxedTitle"));
}

TEST_F(MainWindowCommands, F3AsksForTheAccountOnlyWhenTheStartUpSettingNeedsOne) {
    machine.lsaSecrets.clear();
    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon", L"0");
    machine.screenSaverSecure = TRUE;
    Show();
    ModalScript script;
    script.Then<ui::TdlgAutologon>([](ui::TdlgAutologon& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); });
    Press(VK_F3);
    EXPECT_TRUE(SecureOnMachine());
    EXPECT_EQ(0, Sounds()) << "Cancel ends the command silently";
    EXPECT_FALSE(Balloon().Showing());

    script.Then<ui::TdlgAutologon>([](ui::TdlgAutologon& dialog) {
        Type(dialog.Get<TEdit>(L"edtPassword"), L"wonderland");
        Type(dialog.Get<TEdit>(L"edtPasswordAgain"), L"wonderland");
        Click(dialog.Get<TButton>(L"btnOk"));
    });
    Press(VK_F3);
    EXPECT_TRUE(RelaxedOnMachine());
    EXPECT_EQ(1u, machine.lsaSecrets.count(L"DefaultPassword"));
    EXPECT_EQ(L"Password prompting has been successfully changed to Relaxed Mode.", Balloon().Text());
    ExpectBalloonAt(L"lblRelaxedTitle");
    EXPECT_EQ(L"Relaxed Mode (currently active)", Title(L"lblRelaxedTitle"));

    // Without administrator rights only the screen saver is switched, and
    // nothing asks for an account.
    machine.lsaSecrets.clear();
    machine.screenSaverSecure = TRUE;
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    Press(VK_F3);
    EXPECT_FALSE(machine.screenSaverSecure);
    EXPECT_TRUE(machine.lsaSecrets.empty());
    EXPECT_EQ(2, Sounds());
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowCommands, WithBalloonTipsOffTheConfirmationsAreMessages) {
    machine.SetDword(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced",
                     L"EnableBalloonTips", 0);
    Show();
    std::vector<std::wstring> shown;
    auto answer = [&shown](TdlgKVInfoEx& message) {
        shown.push_back(message.Caption() + L": " + message.Get<TControl>(L"lblText").Caption());
        EXPECT_EQ(shell::IDH_MainWindow, message.HelpContext);
        Click(message.Get<TButton>(L"btnOk"));
    };
    ModalScript script;
    script.Then<ui::TdlgVerifyPwd>([](ui::TdlgVerifyPwd& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); })
        .Then<TdlgKVInfoEx>(answer)
        .Then<TdlgKVInfoEx>(answer);
    SetVerifyPassword(true);
    Press(VK_F2);
    SetVerifyPassword(false);
    Press(VK_F2);
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Mode not changed!: You didn't confirm that you know your Windows password,<br>therefore secure "
                  L"mode was not enabled.",
                  L"Mode Changed: Password prompting has been successfully changed to Secure Mode."}),
              shown);
    EXPECT_FALSE(Balloon().Showing());
    EXPECT_EQ(2, Sounds());
}

TEST_F(MainWindowCommands, LinksTitlesAndMenuItemsRunTheirCommands) {
    Show();
    ClickAt(RunOnScreen(L"lblSecure", L"secure"));
    EXPECT_TRUE(SecureOnMachine());
    ASSERT_TRUE(Balloon().Showing());

    // Targets are compared exactly: any other link only hides the balloon.
    widgets::THTMLRenderItem other;
    other.Href = L"Relaxed";
    window->LinkClick(&window->Get<TKXLabel>(L"lblRelaxed"), other);
    EXPECT_FALSE(Balloon().Showing());
    EXPECT_TRUE(SecureOnMachine());

    ClickAt(RunOnScreen(L"lblRelaxed", L"relaxed"));
    EXPECT_TRUE(RelaxedOnMachine());
    ClickAt(Middle(L"imgSecure"));
    EXPECT_TRUE(SecureOnMachine());
    ClickAt(Middle(L"lblRelaxedTitle"));
    EXPECT_TRUE(RelaxedOnMachine());
    EXPECT_EQ(4, Sounds());

    // The advertisement's link, its plain text, its title and its logo open
    // the shown product's page; a product menu item opens its own product's.
    ClickAt(RunOnScreen(L"lblAdvertisement", L"advertisement"));
    ClickAt(RunOnScreen(L"lblAdvertisement", L""));
    ClickAt(Middle(L"lblAdvertisementTitle"));
    ClickAt(Middle(L"imgAdvertisement"));
    window->Get<TMenuItem>(L"mnuProductsLedgerly").Click();
    const std::wstring shown = ui::AdvertisementAddress(window->AdvertIndex());
    EXPECT_EQ((std::vector<std::wstring>{shown, shown, shown, shown, ui::AdvertisementAddress(2)}), window->pages);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowCommands, OptionsRefreshTheTitlesAndCheckSettingsReportsProblemsFirst) {
    Show();
    machine.screenSaverSecure = TRUE;  // custom mode from now on
    ModalScript script;
    script.Then<ui::TdlgOptions>([](ui::TdlgOptions& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); });
    Click(window->Get<TButton>(L"btnOptions"));
    Application().ProcessMessages();
    EXPECT_EQ(L"Relaxed Mode", Title(L"lblRelaxedTitle"));
    EXPECT_EQ(L"Secure Mode", Title(L"lblSecureTitle"));

    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"LegalNoticeCaption", L"Notice");
    script.Then<TdlgKVInfoEx>([](TdlgKVInfoEx& report) {
        EXPECT_EQ(L"Check settings", report.Caption());
        EXPECT_EQ(shell::IDH_CheckSettings, report.HelpContext);
        EXPECT_EQ(0u, report.Get<TControl>(L"lblText").Caption().find(L"<b>Problems</b><br>\u2022 A logon message"));
        Click(report.Get<TButton>(L"btnOk"));
    });
    window->Get<TMenuItem>(L"mnuCommandsCheckSettings").Click();
    EXPECT_TRUE(errors.empty());
}

}  // namespace
