// The main window's commands, driven through its keys, clicks and menu. The
// simulated machine starts in relaxed mode: auto-logon of "alice" (password
// "wonderland") with the password stored, the screen saver not asking; the
// resume setting is left alone.
#include "MainWindowFixture.h"
#include "audit/Audit.h"
#include "ModalScript.h"
#include "shell/Gatewise_IDH.h"
#include "toolkit/Menu.h"
#include "ui/AboutDlg.h"
#include "ui/AutologonDlg.h"
#include "ui/CheckReportDlg.h"
#include "ui/InfoDlgEx.h"
#include "ui/OptionsDlg.h"
#include "ui/VerifyPwdDlg.h"

#include <cstdlib>

namespace {

using namespace toolkit;
using ui::TdlgAutologon;
using ui::TdlgKVInfoEx;
using ui::TdlgVerifyPwd;


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
        Create();
        window->Show();
        RedrawWindow(window->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Pump();
    }
    void Press(WPARAM key) {
        PostMessageW(window->Handle(), WM_KEYDOWN, key, 0);
        Application().ProcessMessages();
    }
    // A real click on a control, or on the first run of a markup label that
    // links to `href` ("" for plain text).
    void ClickOn(const wchar_t* control, const wchar_t* href = nullptr) {
        TControl& target = window->Get<TControl>(control);
        POINT point{target.Width() / 2, target.Height() / 2};
        if (auto* label = dynamic_cast<widgets::TKXLabel*>(&target); label && href)
            for (std::size_t i = label->Render().Items.Count(); i-- > 0;)
                if (const widgets::THTMLRenderItem& item = label->Render().Items[i]; item.Href == href)
                    point = {item.Rect.left + 3, (item.Rect.top + item.Rect.bottom) / 2};
        Mouse(target.ClientToScreen(point), true);
    }
    // What the user can tell: the machine's mode, the sounds so far, the
    // title of the balloon that shows and the title marked active.
    std::wstring Seen() const {
        const std::optional<std::wstring> logon = machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon");
        std::wstring seen = logon == L"0" && machine.screenSaverSecure    ? L"secure"
                            : logon == L"1" && !machine.screenSaverSecure ? L"relaxed"
                                                                          : L"custom";
        seen += L", " + std::to_wstring(machine.CountCalls("PlaySoundA")) + L" sounds";
        if (Balloon().Showing()) seen += L", " + Balloon().Title();
        for (const wchar_t* title : {L"lblSecureTitle", L"lblRelaxedTitle"})
            if (window->Get<TLabel>(title).Caption().ends_with(L" (currently active)"))
                seen += L", " + window->Get<TLabel>(title).Caption();
        return seen;
    }
    widgets::TBalloonHelp& Balloon() const { return window->Get<widgets::TBalloonHelp>(L"dlgBalloon"); }
    // Its icon and colour, and its stem at the title's bottom left, 20 and 5 pixels off.
    void ExpectBalloon(widgets::TBalloonIconType icon, TColor color, const wchar_t* title) const {
        EXPECT_EQ(icon, Balloon().BalloonIcon);
        EXPECT_EQ(color, Balloon().BackGroundColor);
        RECT shown{};
        GetWindowRect(Balloon().Handle(), &shown);
        const TLabel& label = window->Get<TLabel>(title);
        const POINT stem = label.ClientToScreen({20, label.Height() + 5});
        EXPECT_TRUE(shown.left <= stem.x && stem.x <= shown.right && std::abs(shown.top - stem.y) <= 2);
    }
    static void SetVerifyPassword(bool verify) { settings::GlobalOptions().SetVerifyPassword(verify); }

    ModalScript script;
};

TEST_F(MainWindowCommands, F2WithoutVerificationSwitchesAndTheBalloonStaysItsTime) {
    Press(VK_F2);
    EXPECT_EQ(L"secure, 1 sounds, Mode Changed, Secure Mode (currently active)", Seen());
    EXPECT_EQ(L"Password prompting has been successfully changed to Secure Mode.", Balloon().Text());
    EXPECT_EQ(std::vector<std::string>{"SystemExclamation,flags=0x1"}, machine.CallsTo("PlaySoundA"));
    ExpectBalloon(widgets::bInfo, clInfoBk, L"lblSecureTitle");
    EXPECT_EQ(L"Tahoma", Balloon().Font().Name());
    TTimer& timer = window->Get<TTimer>(L"tmrBalloon");
    EXPECT_EQ(15000u, timer.Interval());
    ASSERT_TRUE(timer.Enabled());
    timer.Tick();
    EXPECT_FALSE(Balloon().Showing());
    EXPECT_FALSE(timer.Enabled());
}

TEST_F(MainWindowCommands, ASwitchToTheModeInPlaceSaysSoAndOneWhileAnotherChangeGoesOnChangesNothing) {
    Press(VK_F2);
    Press(VK_F2);
    EXPECT_EQ(L"secure, 2 sounds, Mode unchanged, Secure Mode (currently active)", Seen());
    EXPECT_EQ(L"The PC was already in Secure Mode; nothing was changed.", Balloon().Text());
    ExpectBalloon(widgets::bInfo, clInfoBk, L"lblSecureTitle");

    // Another process's change holds the lock of this user's settings.
    machine.currentProcess = 2;
    const std::wstring lock = L"Global\\Gatewise.Changes." + os::sim::SidText(machine.processUser);
    machine.WaitForSingleObject(machine.CreateMutexW(nullptr, FALSE, lock.c_str()), 0);
    machine.currentProcess = 1;
    Press(VK_F3);
    EXPECT_EQ(L"secure, 3 sounds, Mode not changed!, Secure Mode (currently active)", Seen());
    EXPECT_EQ(L"Another Gatewise change is in progress; nothing was changed.", Balloon().Text());
    machine.EndProcess(2);
}

TEST_F(MainWindowCommands, VerificationDecidesWhetherF2Switches) {
    SetVerifyPassword(true);
    script.Then<TdlgVerifyPwd>([](TdlgVerifyPwd& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); });
    Press(VK_F2);
    EXPECT_EQ(L"relaxed, 1 sounds, Mode not changed!, Relaxed Mode (currently active)", Seen());
    EXPECT_EQ(L"You didn't confirm that you know your Windows password,\rtherefore secure mode was not enabled.",
              Balloon().Text());
    ExpectBalloon(widgets::bError, RGBColor(255, 204, 255), L"lblSecureTitle");

    machine.accounts[0].password.clear();
    script.Then<TdlgVerifyPwd>([](TdlgVerifyPwd& dialog) { Click(dialog.Get<TButton>(L"btnOk")); });
    Press(VK_F2);
    EXPECT_EQ(L"relaxed, 2 sounds, Mode not changed!, Relaxed Mode (currently active)", Seen());
    EXPECT_EQ(L"Your user account is not password protected. Secure mode cannot be enabled, \rplease set a password "
              L"first (see \"Users management\" from Commands menu).",
              Balloon().Text());

    machine.accounts[0].password = L"wonderland";
    script.Then<TdlgVerifyPwd>([](TdlgVerifyPwd& dialog) {
        Type(dialog.Get<TEdit>(L"edtPassword"), L"wonderland");
        Click(dialog.Get<TButton>(L"btnOk"));
    });
    Press(VK_F2);
    EXPECT_EQ(L"secure, 3 sounds, Mode Changed, Secure Mode (currently active)", Seen());
    EXPECT_TRUE(errors.empty());
}

// Windows refuses to make the verification dialog's window.
HHOOK vetoHook = nullptr;
LRESULT CALLBACK VetoTopLevelWindows(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !(reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->style & WS_CHILD)) return 1;
    return CallNextHookEx(vetoHook, code, wParam, lParam);
}

TEST_F(MainWindowCommands, ErrorOfTheVerificationDialogIsShownAndARefusedSwitchSaysNothingWasChanged) {
    SetVerifyPassword(true);
    vetoHook = SetWindowsHookExW(WH_CBT, VetoTopLevelWindows, nullptr, GetCurrentThreadId());
    Press(VK_F2);
    UnhookWindowsHookEx(vetoHook);
    ASSERT_EQ(1u, errors.size()) << "the dialog's own error, not a message about the account";
    EXPECT_EQ(0u, errors[0].find("Cannot create the window"));
    EXPECT_EQ(L"relaxed, 0 sounds, Relaxed Mode (currently active)", Seen());

    SetVerifyPassword(false);
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED);
    machine.screenSaverSecure = TRUE;  // the refresh shows custom mode
    Press(VK_F2);
    EXPECT_EQ(1u, errors.size()) << "a refused switch is told, not reported as an error";
    EXPECT_EQ(L"custom, 1 sounds, Mode not changed!", Seen());
    EXPECT_EQ(L"Failed to set data for 'AutoAdminLogon'\r\nNothing was changed.", Balloon().Text());
}

TEST_F(MainWindowCommands, F3AsksForTheAccountOnlyWhenTheStartUpSettingNeedsOne) {
    machine.lsaSecrets.clear();
    script.Then<TdlgAutologon>([](TdlgAutologon& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); });
    Press(VK_F3);
    EXPECT_EQ(L"relaxed, 0 sounds, Relaxed Mode (currently active)", Seen()) << "Cancel ends it silently";

    machine.screenSaverSecure = TRUE;
    script.Then<TdlgAutologon>([](TdlgAutologon& dialog) {
        Type(dialog.Get<TEdit>(L"edtPassword"), L"wonderland");
        Type(dialog.Get<TEdit>(L"edtPasswordAgain"), L"wonderland");
        Click(dialog.Get<TButton>(L"btnOk"));
    });
    Press(VK_F3);
    EXPECT_EQ(1u, machine.lsaSecrets.count(L"DefaultPassword"));
    EXPECT_EQ(L"relaxed, 1 sounds, Mode Changed, Relaxed Mode (currently active)", Seen());
    EXPECT_EQ(L"Password prompting has been successfully changed to Relaxed Mode.", Balloon().Text());
    ExpectBalloon(widgets::bInfo, clInfoBk, L"lblRelaxedTitle");

    // Without administrator rights only the screen saver is switched, and
    // nothing asks for an account (a dialog would stay unanswered).
    machine.lsaSecrets.clear();
    machine.screenSaverSecure = TRUE;
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    Press(VK_F3);
    EXPECT_FALSE(machine.screenSaverSecure);
    EXPECT_EQ(2, machine.CountCalls("PlaySoundA"));
    EXPECT_TRUE(errors.empty());
}

// Windows Hello sign-in required for Microsoft accounts stops automatic logon
// of alice, connected to one: F3 says so before anything else and offers to
// turn the requirement off.
TEST_F(MainWindowCommands, F3SaysWhenPasswordLessSignInStopsTheAccountAndCanTurnItOff) {
    const wchar_t* passwordLess = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\PasswordLess\\Device";
    machine.SetDword(HKEY_LOCAL_MACHINE, passwordLess, L"DevicePasswordLessBuildVersion", 2);
    machine.accounts[0].microsoftAccount = L"alice@example.com";
    machine.screenSaverSecure = TRUE;
    script.Then<TdlgKVInfoEx>([](TdlgKVInfoEx& question) {
        EXPECT_EQ(L"Windows Hello sign-in required", question.Caption());
        EXPECT_NE(question.Get<TControl>(L"lblText").Caption().find(L", and alice is one"),
                  std::wstring::npos);
        Click(question.Get<TButton>(L"btnCancel"));
    });
    Press(VK_F3);
    EXPECT_EQ(L"custom, 0 sounds", Seen()) << "Cancel changes nothing";

    script.Then<TdlgKVInfoEx>([](TdlgKVInfoEx& question) { Click(question.Get<TButton>(L"btnYes")); });
    Press(VK_F3);
    const os::sim::RegistryValue* version = machine.Value(HKEY_LOCAL_MACHINE, passwordLess, L"DevicePasswordLessBuildVersion");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(0, version->data[0]);
    EXPECT_EQ(L"relaxed, 1 sounds, Mode Changed, Relaxed Mode (currently active)", Seen());
    EXPECT_EQ(static_cast<DWORD>(audit::ckFix), machine.eventLog.at(0).id);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowCommands, NextStartOnlyLogsOnOnceAndTheTitleSaysSoUntilASwitchForGood) {
    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon", L"0");
    machine.screenSaverSecure = TRUE;
    window->Get<TMenuItem>(L"mnuCommandsRelaxedOnce").Click();
    Application().ProcessMessages();
    const os::sim::RegistryValue* count = machine.Value(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoLogonCount");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(1, count->data[0]);
    EXPECT_EQ(L"relaxed, 1 sounds, Mode Changed, Relaxed Mode for the next start-up (currently active)", Seen());
    EXPECT_EQ(L"Password prompting has been successfully changed to Relaxed Mode for the next start-up.",
              Balloon().Text());

    Press(VK_F3);  // for good: the count goes
    EXPECT_EQ(nullptr, machine.Value(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoLogonCount"));
    EXPECT_EQ(L"Relaxed Mode (currently active)", window->Get<TLabel>(L"lblRelaxedTitle").Caption());
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowCommands, WithBalloonTipsOffTheConfirmationsAreMessages) {
    machine.SetDword(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced",
                     L"EnableBalloonTips", 0);
    std::vector<std::wstring> shown;
    auto answer = [&shown](TdlgKVInfoEx& message) {
        shown.push_back(message.Caption() + L": " + message.Get<TControl>(L"lblText").Caption());
        EXPECT_EQ(shell::IDH_MainWindow, message.HelpContext);
        Click(message.Get<TButton>(L"btnOk"));
    };
    script.Then<TdlgVerifyPwd>([](TdlgVerifyPwd& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); })
        .Then<TdlgKVInfoEx>(answer)
        .Then<TdlgKVInfoEx>(answer);
    SetVerifyPassword(true);
    Press(VK_F2);
    SetVerifyPassword(false);
    Press(VK_F2);
    EXPECT_EQ((std::vector<std::wstring>{L"Mode not changed!: You didn't confirm that you know your Windows "
                                         L"password,<br>therefore secure mode was not enabled.",
                                         L"Mode Changed: Password prompting has been successfully changed to Secure "
                                         L"Mode."}),
              shown);
    EXPECT_EQ(L"secure, 2 sounds, Secure Mode (currently active)", Seen());
}

TEST_F(MainWindowCommands, LinksPadlocksTitlesAndProductsRunTheirCommands) {
    ClickOn(L"lblSecure", L"secure");
    EXPECT_EQ(L"secure, 1 sounds, Mode Changed, Secure Mode (currently active)", Seen());
    widgets::THTMLRenderItem other;
    other.Href = L"Relaxed";  // targets are compared exactly
    window->LinkClick(&window->Get<TControl>(L"lblRelaxed"), other);
    EXPECT_EQ(L"secure, 1 sounds, Secure Mode (currently active)", Seen());
    ClickOn(L"lblRelaxed", L"relaxed");
    ClickOn(L"imgSecure");
    ClickOn(L"lblRelaxedTitle");
    EXPECT_EQ(4, machine.CountCalls("PlaySoundA"));
    EXPECT_TRUE(Seen().starts_with(L"relaxed"));

    // The box opens the shown product's page from its link, plain text, title
    // and logo; the product menu opens each item's own product.
    ClickOn(L"lblAdvertisement", L"advertisement");
    ClickOn(L"lblAdvertisement", L"");
    ClickOn(L"lblAdvertisementTitle");
    ClickOn(L"imgAdvertisement");
    window->Get<TMenuItem>(L"mnuProductsLedgerly").Click();
    const std::wstring page = ui::AdvertisementAddress(window->AdvertIndex());
    EXPECT_EQ((std::vector<std::wstring>{page, page, page, page, ui::AdvertisementAddress(2)}), window->pages);
    EXPECT_TRUE(errors.empty());
}

// Users management opens another program beside the window: the balloon of
// the last switch stays. Every other command first hides it.
TEST_F(MainWindowCommands, EveryCommandButUsersManagementHidesTheBalloon) {
    int helpShown = 0;
    Application().OnHelpContents = [&helpShown] { ++helpShown; };
    script.Then<ui::TdlgOptions>([](ui::TdlgOptions& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); })
        .Then<TdlgAutologon>([](TdlgAutologon& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); })
        .Then<ui::TdlgCheckReport>([](ui::TdlgCheckReport& report) { Click(report.Get<TButton>(L"btnClose")); })
        .Then<ui::TdlgAbout>([](ui::TdlgAbout& about) { Click(about.Get<TButton>(L"btnOK")); });
    for (const wchar_t* command : {L"mnuCommandsOptions", L"mnuCommandsSetAccount", L"mnuCommandsCheckSettings",
                                   L"mnuHelpHelp", L"mnuHelpWebSite", L"mnuHelpTechnicalSupport", L"mnuHelpAbout"}) {
        Press(VK_F2);
        ASSERT_TRUE(Balloon().Showing()) << command;
        window->Get<TMenuItem>(command).Click();
        Application().ProcessMessages();
        EXPECT_FALSE(Balloon().Showing()) << command;
    }
    Press(VK_F2);
    window->Get<TMenuItem>(L"mnuCommandsUsersManagement").Click();
    EXPECT_TRUE(Balloon().Showing());
    Application().OnHelpContents = nullptr;
    EXPECT_EQ(1, helpShown);
    EXPECT_EQ(2u, window->pages.size());
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowCommands, OptionsRefreshTheTitlesAndCheckSettingsListsProblemsFirst) {
    machine.screenSaverSecure = TRUE;
    script.Then<ui::TdlgOptions>([](ui::TdlgOptions& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); });
    Click(window->Get<TButton>(L"btnOptions"));
    Application().ProcessMessages();
    EXPECT_EQ(L"custom, 0 sounds", Seen());

    machine.SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                      L"legalnoticecaption", L"Notice");
    script.Then<ui::TdlgCheckReport>([](ui::TdlgCheckReport& report) {
        EXPECT_EQ(L"Check settings", report.Caption());
        EXPECT_EQ(shell::IDH_CheckSettings, report.HelpContext);
        EXPECT_EQ("logon-banner", report.Findings().at(0).id);
        EXPECT_EQ(diagnostics::Verdict::Problem, report.Findings().at(0).verdict);
        Click(report.Get<TButton>(L"btnClose"));
    });
    window->Get<TMenuItem>(L"mnuCommandsCheckSettings").Click();
    EXPECT_TRUE(errors.empty());
}

}  // namespace
