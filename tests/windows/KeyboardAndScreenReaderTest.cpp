// The main window and its dialogs as a keyboard or screen-reader user meets
// them: what the accessible tree says (walked in this process), where the
// focus goes back to, and what Enter, F1 and Tab do.
#include "AccessibleTree.h"
#include "MainWindowFixture.h"
#include "ModalScript.h"
#include "ui/AboutDlg.h"
#include "ui/AutologonDlg.h"
#include "ui/InfoDlgEx.h"
#include "ui/OptionsDlg.h"

namespace {

using namespace toolkit;
using ui::TdlgGatewiseMain;

bool StartsWith(const std::wstring& text, const wchar_t* start) { return text.rfind(start, 0) == 0; }

class KeyboardAndScreenReader : public MainWindowFixture<TdlgGatewiseMain> {
protected:
    void ShowWindow() {
        Create();
        window->Show();
        Pump();
    }
    HWND Handle(const wchar_t* control) { return window->Get<TWinControl>(control).Handle(); }
};

TEST_F(KeyboardAndScreenReader, DialogsIconsLinksAndTheCustomLineAreTold) {
    machine.screenSaverSecure = FALSE;  // custom mode
    ShowWindow();
    ComPtr<IAccessible> console = ClientObject(Handle(L"pnlConsole"));
    ASSERT_TRUE(console);
    ComPtr<IAccessible> line = ChildWhere(console.Get(), [](const std::wstring& name) { return StartsWith(name, L"Custom Mode: "); });
    ASSERT_TRUE(line) << "the Custom Mode line is read";
    EXPECT_EQ(ROLE_SYSTEM_STATICTEXT, Role(line.Get()));
    for (const auto& [text, link] : {std::pair{L"While in secure mode", L"Activate Secure Mode"},
                                     std::pair{L"In relaxed mode", L"Activate Relaxed Mode"}}) {
        ComPtr<IAccessible> explanation = ChildWhere(console.Get(), [text = text](const std::wstring& name) { return StartsWith(name, text); });
        ASSERT_TRUE(explanation) << text;
        EXPECT_EQ(ROLE_SYSTEM_LINK, Role(explanation.Get(), 1));
        EXPECT_EQ(link, Name(explanation.Get(), 1)) << "the two links are told apart";
    }
    EXPECT_NE(ROLE_SYSTEM_DIALOG, Role(ClientObject(window->Handle()).Get())) << "the main window is no dialog";

    // Each message dialog is a dialog, and its icon is named by its kind.
    std::vector<std::wstring> icons;
    ModalScript script;
    auto readDialog = [&](ui::TdlgKVInfoEx& dialog) {
        ComPtr<IAccessible> client = ClientObject(dialog.Handle());
        EXPECT_EQ(ROLE_SYSTEM_DIALOG, Role(client.Get()));
        ComPtr<IAccessible> icon = ChildWhere(client.Get(), [](const std::wstring&) { return true; });
        ASSERT_TRUE(icon);
        EXPECT_EQ(ROLE_SYSTEM_GRAPHIC, Role(icon.Get()));
        icons.push_back(Name(icon.Get()));
        dialog.SetModalResult(mrCancel);
    };
    for (int i = 0; i < 3; ++i) script.Then<ui::TdlgKVInfoEx>(readDialog);
    script.Then<ui::TdlgAbout>([](ui::TdlgAbout& about) {
        EXPECT_EQ(ROLE_SYSTEM_DIALOG, Role(ClientObject(about.Handle()).Get()));
        const TWinControl& link = about.Get<TWinControl>(L"lblLink");
        ComPtr<IAccessible> object = ClientObject(link.Handle());
        EXPECT_EQ(ROLE_SYSTEM_LINK, Role(object.Get()));
        EXPECT_EQ(L"https://www.vantrel.com/gatewise/", Name(object.Get()));
        EXPECT_EQ(L"Jump", Action(object.Get()));
        const HWND ok = about.Get<TWinControl>(L"btnOK").Handle();
        EXPECT_EQ(link.Handle(), GetNextDlgTabItem(about.Handle(), ok, FALSE)) << "Tab goes from OK to the link";
        about.SetModalResult(mrOk);
    });
    ui::ShowErrorEx(window.get(), L"Failed.", L"", 0);
    ui::ShowInfoEx(window.get(), L"Done.", L"", 0);
    ui::AskYesNoEx(window.get(), L"Go on?", L"", false, nullptr, 0);
    window->mnuHelpAboutClick(nullptr);
    EXPECT_EQ(icons, (std::vector<std::wstring>{L"Error", L"Information", L"Question"}));
    EXPECT_TRUE(errors.empty());
}

TEST_F(KeyboardAndScreenReader, EnterPressesTheFocusedButtonAndTheFocusComesBack) {
    ShowWindow();
    ASSERT_EQ(Handle(L"btnOptions"), GetFocus()) << "the first button has the focus at start-up";

    ModalScript script;
    script.Then<ui::TdlgOptions>([](ui::TdlgOptions& options) {
        std::vector<std::wstring> order;
        for (const TWinControl* control : options.TabList()) order.push_back(control->Name);
        EXPECT_EQ(order, (std::vector<std::wstring>{L"chkStartup", L"chkStandby", L"chkScreenSaver",
                                                    L"chkModifyAllPowerProfiles", L"chkForgetPassword",
                                                    L"chkVerifyPassword", L"btnAutologon", L"btnOk", L"btnCancel",
                                                    L"btnHelp"}))
            << "the visual order";
        Click(options.Get<TButton>(L"btnCancel"));
    });
    PostMessageW(Handle(L"btnOptions"), WM_KEYDOWN, VK_RETURN, 0);
    Application().ProcessMessages();
    EXPECT_EQ(Handle(L"btnOptions"), GetFocus()) << "back on the button after the dialog";

    // Another window of the program takes the focus; coming back, the focus
    // is where the user left it.
    SetFocus(Handle(L"btnExit"));
    TForm other(nullptr);
    other.Show();
    Pump();
    EXPECT_NE(Handle(L"btnExit"), GetFocus());
    SetActiveWindow(window->Handle());
    Pump();
    EXPECT_EQ(Handle(L"btnExit"), GetFocus());
}

TEST_F(KeyboardAndScreenReader, AutologonDialogGoesBackToThePasswordAfterHelp) {
    ShowWindow();
    std::unique_ptr<TForm> help;
    auto saved = Application().OnHelpContext;
    Application().OnHelpContext = [&](int) {
        help = std::make_unique<TForm>(nullptr);
        help->Show();
    };
    ModalScript script;
    script.Then<ui::TdlgAutologon>([](ui::TdlgAutologon& dialog) {
        const HWND password = dialog.Get<TWinControl>(L"edtPassword").Handle();
        EXPECT_EQ(password, GetFocus());
        PostMessageW(password, WM_KEYDOWN, VK_F1, 0);
    });
    script.Then<ui::TdlgAutologon>([&](ui::TdlgAutologon& dialog) {
        ASSERT_TRUE(help) << "F1 opened the help";
        EXPECT_EQ(help->Handle(), GetActiveWindow());
        SetActiveWindow(dialog.Handle());
        EXPECT_EQ(dialog.Get<TWinControl>(L"edtPassword").Handle(), GetFocus());
        Click(dialog.Get<TButton>(L"btnCancel"));
    });
    window->mnuCommandsSetAccountClick(nullptr);
    Application().OnHelpContext = saved;
}

}  // namespace
