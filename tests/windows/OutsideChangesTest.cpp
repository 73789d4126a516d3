// The main window stays true while others change the settings: registry
// change notifications and the messages Windows sends bring one refresh per
// burst, a watch that cannot be set up brings a refresh on activation, and
// the last switch can be undone from the Commands menu.
#include "MainWindowFixture.h"
#include "ModalScript.h"
#include "cli/Commands.h"
#include "toolkit/ChangeWatch.h"
#include "toolkit/Menu.h"
#include "ui/InfoDlgEx.h"

#include <algorithm>
#include <functional>
#include <sstream>

namespace {

using namespace toolkit;
using ui::TdlgKVInfoEx;

const wchar_t kTestKey[] = L"Software\\GatewiseTests\\Watched";

class NoInput final : public cli::PasswordInput {
public:
    bool IsConsole() override { return false; }
    std::size_t Read(char*, std::size_t) override { return 0; }
    os::SecretString ReadHidden(const char*) override { return {}; }
};

// Runs the message loop until `done`, for at most `limit` milliseconds.
bool RunUntil(const std::function<bool()>& done, DWORD limit = 10000) {
    const ULONGLONG end = GetTickCount64() + limit;
    while (!done() && GetTickCount64() < end) {
        while (Application().ProcessMessage()) {
        }
        Sleep(10);
    }
    return done();
}
// Longer than any burst's wait.
void RunAWhile() { RunUntil([] { return false; }, 1500); }

void WriteTestValue(DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &key, nullptr));
    RegistryKey owned(key);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, L"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
}

TEST(ChangeWatch, ChangesOfTheKeyAndItsSubkeysArriveThroughTheMessageLoopUntilTheWatchGoes) {
    WriteTestValue(0);
    int changes = 0;
    {
        TRegistryWatch watch(HKEY_CURRENT_USER, L"Software\\GatewiseTests", 0, true);
        watch.OnChange = [&] { ++changes; };
        for (DWORD i = 1; i <= 2; ++i) {  // renewed after each change
            WriteTestValue(i);
            EXPECT_TRUE(RunUntil([&] { return changes == static_cast<int>(i); })) << "change " << i;
        }
    }
    WriteTestValue(3);
    RunAWhile();
    EXPECT_EQ(changes, 2) << "nothing after the watch went";
    EXPECT_THROW(TRegistryWatch(HKEY_CURRENT_USER, L"Software\\GatewiseTests\\Missing", 0, false), engine::EOSError);
}

// The main window, watching the keys the test chooses.
class WatchingMainWindow : public ui::TdlgGatewiseMain {
public:
    using TdlgGatewiseMain::TdlgGatewiseMain;
    static inline std::vector<TWatchedKey> keys;

protected:
    std::vector<TWatchedKey> WatchedKeys() const override { return keys; }
};

class OutsideChanges : public MainWindowFixture<WatchingMainWindow> {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        WriteTestValue(0);
        WatchingMainWindow::keys = {{HKEY_CURRENT_USER, kTestKey, false}};
        machine.SetString(HKEY_CURRENT_USER, kOptionsKey, L"AutochangeStandby", L"False");
        machine.SetString(HKEY_CURRENT_USER, kOptionsKey, L"VerifyPassword", L"False");
        machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName", L"alice");
        machine.lsaSecrets[L"DefaultPassword"] = {'w', 0};
    }
    void Start() {
        Create();
        window->Show();
        Pump();
        machine.ClearCalls();
    }
    // Another program switches the machine: automatic logon and the screen saver.
    void SwitchOutside(bool secure) {
        machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon", secure ? L"0" : L"1");
        machine.screenSaverSecure = secure;
    }
    std::wstring SecureTitle() const { return window->Get<TLabel>(L"lblSecureTitle").Caption(); }
    // Each refresh of the painted window looks twice for the record of the
    // last switch, which is not there: for the undo command and for the checks
    // of what keeps the mode from taking effect.
    long Refreshes() const {
        const std::vector<std::string> reads = machine.CallsTo("RegQueryValueExW");
        return std::count(reads.begin(), reads.end(), "LastSwitch") / 2;
    }
    void Activate() { SendMessageW(window->Handle(), WM_ACTIVATE, WA_ACTIVE, 0); }
};

TEST_F(OutsideChanges, ABurstOfNotificationsRefreshesOnceShortlyAfterAndActivationDoesNot) {
    Start();
    SwitchOutside(true);
    for (int i = 0; i < 5; ++i) SendMessageW(window->Handle(), WM_SETTINGCHANGE, SPI_SETSCREENSAVESECURE, 0);
    SendMessageW(window->Handle(), WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
    WriteTestValue(1);
    EXPECT_EQ(Refreshes(), 0) << "not at once";
    EXPECT_TRUE(RunUntil([&] { return SecureTitle() == L"Secure Mode (currently active)"; }));
    RunAWhile();
    EXPECT_EQ(Refreshes(), 1);

    SwitchOutside(false);
    Activate();
    EXPECT_EQ(Refreshes(), 1) << "every watch is set up: activation refreshes nothing";
    WriteTestValue(2);
    EXPECT_TRUE(RunUntil([&] { return window->Get<TLabel>(L"lblRelaxedTitle").Caption().ends_with(L"active)"); }));
    EXPECT_EQ(Refreshes(), 2);
    EXPECT_TRUE(errors.empty());
}

TEST_F(OutsideChanges, WithAWatchThatCannotBeSetUpActivationRefreshes) {
    WatchingMainWindow::keys.push_back({HKEY_CURRENT_USER, L"Software\\GatewiseTests\\Missing", false});
    Start();
    SwitchOutside(true);
    Activate();
    EXPECT_EQ(SecureTitle(), L"Secure Mode (currently active)");
    EXPECT_TRUE(errors.empty());
}

TEST_F(OutsideChanges, UndoAsksWhenTheSettingsChangedSincePutsBackAndSaysSo) {
    // A mix set by hand: automatic logon, but the screen saver asks.
    SwitchOutside(false);
    machine.SetString(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"ScreenSaverIsSecure", L"1");
    machine.screenSaverSecure = TRUE;
    Start();
    TMenuItem& undo = window->Get<TMenuItem>(L"mnuCommandsUndo");
    EXPECT_FALSE(undo.Enabled()) << "nothing to undo yet";
    PostMessageW(window->Handle(), WM_KEYDOWN, VK_F2, 0);
    Application().ProcessMessages();
    EXPECT_TRUE(undo.Enabled());
    machine.SetString(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"ScreenSaverIsSecure", L"0");

    std::wstring question;
    ModalScript script;
    script.Then<TdlgKVInfoEx>([&](TdlgKVInfoEx& dialog) {
        question = dialog.Get<widgets::TKXLabel>(L"lblText").Caption();
        Click(dialog.Get<TButton>(L"btnYes"));
    });
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    EXPECT_TRUE(window->HandleShortCut('Z'));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);

    EXPECT_NE(question.find(L"These settings changed since the switch to Secure Mode of "), std::wstring::npos);
    EXPECT_NE(question.find(L": the password after the screen saver.<br><br>Undo the switch anyway"), std::wstring::npos)
        << question;
    EXPECT_EQ(machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon"), L"1");
    EXPECT_EQ(machine.String(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"ScreenSaverIsSecure"), L"1");
    const auto& balloon = window->Get<widgets::TBalloonHelp>(L"dlgBalloon");
    EXPECT_EQ(balloon.Title(), L"Switch undone");
    EXPECT_EQ(balloon.Text().rfind(L"The settings are back as they were before the switch to Secure Mode of ", 0), 0u);
    EXPECT_FALSE(undo.Enabled());
    EXPECT_TRUE(errors.empty());
}

// Another process switches while the question is open: Yes then undoes
// nothing, and says so, instead of undoing that other switch unchecked.
TEST_F(OutsideChanges, UndoAnywayUndoesOnlyTheSwitchItsQuestionNamed) {
    SwitchOutside(false);
    Start();
    PostMessageW(window->Handle(), WM_KEYDOWN, VK_F2, 0);
    Application().ProcessMessages();
    machine.screenSaverSecure = FALSE;  // changed since, by hand

    std::wstring refusal;
    ModalScript script;
    script
        .Then<TdlgKVInfoEx>([&](TdlgKVInfoEx& dialog) {
            machine.AsProcess(2, [&] {
                std::ostringstream out;
                NoInput input;
                cli::Console console{out, out, input};
                EXPECT_EQ(cli::RunCommandLine({"relaxed"}, kOptionsKey, console), 0) << out.str();
            });
            Click(dialog.Get<TButton>(L"btnYes"));
        })
        .Then<TdlgKVInfoEx>([&](TdlgKVInfoEx& dialog) {
            refusal = dialog.Get<widgets::TKXLabel>(L"lblText").Caption();
            Click(dialog.Get<TButton>(L"btnOk"));
        });
    window->Get<TMenuItem>(L"mnuCommandsUndo").Click();

    EXPECT_EQ(refusal.rfind(L"The switch to Secure Mode of ", 0), 0u) << refusal;
    EXPECT_NE(refusal.find(L" is no longer the last one: another switch was made or undone meanwhile. Nothing was "
                           L"changed."),
              std::wstring::npos)
        << refusal;
    EXPECT_EQ(machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon"), L"1") << "the other switch stays";
    EXPECT_EQ(machine.screenSaverSecure, FALSE);
    EXPECT_TRUE(window->Get<TMenuItem>(L"mnuCommandsUndo").Enabled()) << "the other switch can be undone";
    EXPECT_TRUE(errors.empty());
}

}  // namespace
