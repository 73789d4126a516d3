// The password verification and auto-logon account dialogs, driven through
// their controls on a simulated machine whose account is "alice" of this
// computer, password "wonderland".
#include "FormTest.h"
#include "ModalScript.h"
#include "SimMachineWithRealGdi.h"
#include "settings/Options.h"
#include "shell/Substitution.h"
#include "ui/AutologonDlg.h"
#include "ui/InfoDlgEx.h"
#include "ui/VerifyPwdDlg.h"

namespace {

using namespace toolkit;
using ui::TdlgAutologon;
using ui::TdlgKVInfoEx;
using ui::TdlgVerifyPwd;

constexpr const wchar_t* kOptionsKey = L"SOFTWARE\\Vantrel\\Gatewise";
constexpr const wchar_t* kWinlogon = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

class AccountDialogs : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        shell::CreateSubstitutionList();
        machine.Key(HKEY_CURRENT_USER, kOptionsKey);
        settings::CreateGlobalOptions(kOptionsKey);
        Application().OnHelpContext = [this](int context) { helpTopics.push_back(context); };
    }
    void TearDown() override {
        Application().OnHelpContext = nullptr;
        settings::FreeGlobalOptions();
        shell::FreeSubstitutionList();
        FormTest::TearDown();
    }
    std::wstring StoredVerifyPassword() const {
        return machine.String(HKEY_CURRENT_USER, kOptionsKey, L"VerifyPassword").value_or(L"(none)");
    }
    // Types the password, ticks "Don't show this prompt again" and presses OK.
    static std::function<void(TdlgVerifyPwd&)> EnterTickedAndOk(const wchar_t* password) {
        return [password](TdlgVerifyPwd& dialog) {
            Type(dialog.Get<TEdit>(L"edtPassword"), password);
            Click(dialog.Get<TCheckBox>(L"chkDontShowAgain"));
            Click(dialog.Get<TButton>(L"btnOk"));
        };
    }
    static std::function<void(TdlgKVInfoEx&)> Answer(const wchar_t* button) {
        return [button](TdlgKVInfoEx& question) { Click(question.Get<TButton>(button)); };
    }

    SimMachineWithRealGdi machine;
    os::ScopedMachine scope{machine};
    std::vector<int> helpTopics;
};

TEST_F(AccountDialogs, RejectedPasswordAsksAgainThenNoCancelsAndLeavesTheOption) {
    ModalScript script;
    script.Then<TdlgVerifyPwd>(EnterTickedAndOk(L"rabbit"))
        .Then<TdlgKVInfoEx>([](TdlgKVInfoEx& question) {
            EXPECT_EQ(L"Password verification", question.Caption());
            EXPECT_EQ(L"The password you entered does not match your Windows password. Do you want to enter it again?",
                      question.Get<TControl>(L"lblText").Caption());
            EXPECT_TRUE(question.Get<TButton>(L"btnHelp").Visible());
            Click(question.Get<TButton>(L"btnYes"));
        })
        .Then<TdlgVerifyPwd>([](TdlgVerifyPwd& dialog) {
            EXPECT_EQ(L"alice", dialog.Get<TEdit>(L"edtUserName").Text());
            EXPECT_EQ(L"rabbit", dialog.Get<TEdit>(L"edtPassword").SecretText().str()) << "the fields stay as they were";
            Click(dialog.Get<TButton>(L"btnHelp"));
            Click(dialog.Get<TButton>(L"btnOk"));
        })
        .Then<TdlgKVInfoEx>(Answer(L"btnNo"));
    EXPECT_EQ(mrCancel, shell::ExecuteModalOrRaise<TdlgVerifyPwd>(nullptr));
    EXPECT_EQ(L"True", StoredVerifyPassword());
    EXPECT_EQ(std::vector<int>{10030}, helpTopics);
    EXPECT_TRUE(errors.empty());
}

TEST_F(AccountDialogs, UnverifiablePasswordStillSavesTheTickedBoxWhenTheAnswerIsNo) {
    machine.Fail("LogonUserW", ERROR_NO_LOGON_SERVERS);
    ModalScript script;
    script.Then<TdlgVerifyPwd>(EnterTickedAndOk(L"wonderland"))
        .Then<TdlgKVInfoEx>([](TdlgKVInfoEx& question) {
            EXPECT_EQ(L"Cannot verify your Windows password due to technical reasons. Do you still want to go ahead "
                      L"and enable secure mode?",
                      question.Get<TControl>(L"lblText").Caption());
            Click(question.Get<TButton>(L"btnNo"));
        });
    EXPECT_EQ(mrCancel, shell::ExecuteModalOrRaise<TdlgVerifyPwd>(nullptr));
    EXPECT_EQ(L"False", StoredVerifyPassword());
    EXPECT_FALSE(settings::GlobalOptions().VerifyPassword());
}

TEST_F(AccountDialogs, AccountWithoutPasswordAbortsAndLeavesTheOption) {
    machine.accounts[0].password.clear();
    ModalScript script;
    script.Then<TdlgVerifyPwd>(EnterTickedAndOk(L""));
    EXPECT_EQ(mrAbort, shell::ExecuteModalOrRaise<TdlgVerifyPwd>(nullptr));
    EXPECT_EQ(L"True", StoredVerifyPassword());
}

TEST_F(AccountDialogs, CorrectPasswordWithTheBoxTickedSwitchesThePromptOff) {
    ModalScript script;
    script.Then<TdlgVerifyPwd>(EnterTickedAndOk(L"wonderland"));
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgVerifyPwd>(nullptr));
    EXPECT_EQ(L"False", StoredVerifyPassword());
    EXPECT_EQ("alice,GATEWISE-PC,type=2,provider=0", machine.CallsTo("LogonUserW").back());
}

TEST_F(AccountDialogs, LocalAccountGoesWithoutTheDomainRow) {
    machine.samAccountName = L"CORP\\alice";
    std::unique_ptr<TdlgVerifyPwd> domain(CreateForm<TdlgVerifyPwd>(nullptr));
    machine.samAccountName = L"GATEWISE-PC\\alice";
    std::unique_ptr<TdlgVerifyPwd> local(CreateForm<TdlgVerifyPwd>(nullptr));
    ASSERT_TRUE(errors.empty());

    EXPECT_EQ(L"CORP", domain->Get<TEdit>(L"edtDomain").Text());
    EXPECT_TRUE(domain->Get<TEdit>(L"edtDomain").Visible());
    const int row = domain->Get<TEdit>(L"edtPassword").Top() - domain->Get<TEdit>(L"edtDomain").Top();
    if (domain->PixelsPerInch() == 96) {
        EXPECT_EQ(32, row);
        EXPECT_EQ(268, domain->ClientHeight());
    }
    EXPECT_FALSE(local->Get<TEdit>(L"edtDomain").Visible());
    EXPECT_FALSE(local->Get<TLabel>(L"lblDomain").Visible());
    EXPECT_EQ(L"GATEWISE-PC", local->Get<TEdit>(L"edtDomain").Text()) << "still verified against";
    for (const wchar_t* name : {L"lblDomain", L"edtPassword", L"chkDontShowAgain", L"btnOk", L"btnHelp"})
        EXPECT_EQ(domain->Get<TControl>(name).Top() - row, local->Get<TControl>(name).Top()) << name;
    EXPECT_EQ(domain->Get<TControl>(L"edtUserName").Top(), local->Get<TControl>(L"edtUserName").Top());
    EXPECT_EQ(domain->ClientHeight() - row, local->ClientHeight());

    local->ApplyRunTimeLayout();
    EXPECT_EQ(domain->ClientHeight() - row, local->ClientHeight()) << "a second run changes nothing";
    EXPECT_EQ(domain->Get<TControl>(L"btnOk").Top() - row, local->Get<TControl>(L"btnOk").Top());
}

TEST_F(AccountDialogs, PasswordEditsShowStarsAndKeepTheirTextOffTheClipboard) {
    std::unique_ptr<TdlgAutologon> dialog(CreateForm<TdlgAutologon>(nullptr));
    for (const wchar_t* name : {L"edtPassword", L"edtPasswordAgain"}) {
        const HWND edit = dialog->Get<TEdit>(name).Handle();
        EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_STYLE) & ES_PASSWORD) << name;
        EXPECT_EQ(L'*', static_cast<wchar_t>(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0)));
        SetWindowTextW(edit, L"wonderland");
        SendMessageW(edit, EM_SETSEL, 0, -1);
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        CloseClipboard();
        SendMessageW(edit, WM_COPY, 0, 0);
        SendMessageW(edit, WM_CUT, 0, 0);
        EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT)) << name;
        EXPECT_EQ(L"wonderland", dialog->Get<TEdit>(name).SecretText().str());
    }
}

TEST_F(AccountDialogs, MismatchDisablesOkAndAnUnverifiableAccountIsStoredWithoutAQuestion) {
    machine.Fail("LogonUserW", ERROR_NO_LOGON_SERVERS);
    ModalScript script;
    script.Then<TdlgAutologon>([](TdlgAutologon& dialog) {
        const TButton& ok = dialog.Get<TButton>(L"btnOk");
        const TLabel& mismatch = dialog.Get<TLabel>(L"lblMismatch");
        EXPECT_TRUE(ok.Enabled());
        EXPECT_FALSE(mismatch.Visible());
        Type(dialog.Get<TEdit>(L"edtPassword"), L"wonderland");
        EXPECT_FALSE(ok.Enabled());
        EXPECT_TRUE(mismatch.Visible());
        Type(dialog.Get<TEdit>(L"edtPasswordAgain"), L"Wonderland");
        EXPECT_FALSE(ok.Enabled()) << "letter case counts";
        Type(dialog.Get<TEdit>(L"edtPasswordAgain"), L"wonderland");
        EXPECT_TRUE(ok.Enabled());
        EXPECT_FALSE(mismatch.Visible());
        Click(ok);
    });
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgAutologon>(nullptr));
    EXPECT_EQ(L"alice", machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName"));
    EXPECT_EQ(L"GATEWISE-PC", machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultDomainName"));
    EXPECT_EQ(1u, machine.lsaSecrets.count(L"DefaultPassword"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(AccountDialogs, FailedStoreIsReportedAndTheDialogStaysOpenAsItWas) {
    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName", L"bob");
    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultDomainName", L"CORP");
    machine.accounts.push_back({L"bob", L"CORP", L"builder"});
    ModalScript script;
    script.Then<TdlgAutologon>([this](TdlgAutologon& dialog) {
            EXPECT_TRUE(dialog.Get<TEdit>(L"edtDomain").Visible()) << "a domain account";
            Type(dialog.Get<TEdit>(L"edtPassword"), L"builder");
            Type(dialog.Get<TEdit>(L"edtPasswordAgain"), L"builder");
            machine.Fail("RegCreateKeyExW", ERROR_ACCESS_DENIED);
            Click(dialog.Get<TButton>(L"btnOk"));
        })
        .Then<TdlgAutologon>([this](TdlgAutologon& dialog) {
            EXPECT_EQ(1u, errors.size()) << "the failure went to the error display";
            EXPECT_EQ(L"bob", dialog.Get<TEdit>(L"edtUserName").Text());
            EXPECT_EQ(L"CORP", dialog.Get<TEdit>(L"edtDomain").Text());
            EXPECT_EQ(L"builder", dialog.Get<TEdit>(L"edtPassword").SecretText().str());
            EXPECT_EQ(L"builder", dialog.Get<TEdit>(L"edtPasswordAgain").SecretText().str());
            Click(dialog.Get<TButton>(L"btnCancel"));
        });
    EXPECT_EQ(mrCancel, shell::ExecuteModalOrRaise<TdlgAutologon>(nullptr));
    EXPECT_TRUE(machine.lsaSecrets.empty());
}

}  // namespace
