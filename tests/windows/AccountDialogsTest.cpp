// The password verification and auto-logon account dialogs, driven through
// their controls on a simulated machine whose account is "alice" of this
// computer, password "wonderland".
#include "FormTest.h"
#include "ModalScript.h"
#include "SimMachineWithRealGdi.h"
#include "settings/Options.h"
#include "shell/Substitution.h"
#include "toolkit/DpiScale.h"
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
    }
    void TearDown() override {
        settings::FreeGlobalOptions();
        shell::FreeSubstitutionList();
        FormTest::TearDown();
    }
    std::wstring StoredVerifyPassword() const {
        return machine.String(HKEY_CURRENT_USER, kOptionsKey, L"VerifyPassword").value_or(L"(none)");
    }
    // Shows the verification dialog: types the password, ticks "Don't show
    // this prompt again", presses OK and answers the questions that follow.
    int Verify(const wchar_t* password, std::vector<const wchar_t*> answers = {}) {
        ModalScript script;
        script.Then<TdlgVerifyPwd>([password](TdlgVerifyPwd& dialog) {
            Type(dialog.Get<TEdit>(L"edtPassword"), password);
            Click(dialog.Get<TCheckBox>(L"chkDontShowAgain"));
            Click(dialog.Get<TButton>(L"btnOk"));
        });
        for (const wchar_t* answer : answers) {
            script.Then<TdlgKVInfoEx>([this, answer](TdlgKVInfoEx& question) {
                questions.push_back(question.Get<TControl>(L"lblText").Caption());
                EXPECT_EQ(L"Password verification", question.Caption());
                Click(question.Get<TButton>(answer));
            });
            if (answer == std::wstring(L"btnYes"))
                script.Then<TdlgVerifyPwd>([password](TdlgVerifyPwd& dialog) {
                    EXPECT_EQ(password, dialog.Get<TEdit>(L"edtPassword").SecretText().str()) << "left as it was";
                    Click(dialog.Get<TButton>(L"btnOk"));
                });
        }
        return shell::ExecuteModalOrRaise<TdlgVerifyPwd>(nullptr);
    }

    // Types the password twice into the auto-logon dialog and presses OK.
    static void EnterPassword(TdlgAutologon& dialog, const wchar_t* password) {
        Type(dialog.Get<TEdit>(L"edtPassword"), password);
        Type(dialog.Get<TEdit>(L"edtPasswordAgain"), password);
        Click(dialog.Get<TButton>(L"btnOk"));
    }

    SimMachineWithRealGdi machine;
    os::ScopedMachine scope{machine};
    std::vector<std::wstring> questions;
};

TEST_F(AccountDialogs, RejectedPasswordAsksAgainThenNoCancelsAndLeavesTheOption) {
    EXPECT_EQ(mrCancel, Verify(L"rabbit", {L"btnYes", L"btnNo"}));
    ASSERT_EQ(2u, questions.size());
    EXPECT_EQ(L"The password you entered does not match your Windows password. Do you want to enter it again?",
              questions[1]);
    EXPECT_EQ(L"True", StoredVerifyPassword());
    EXPECT_TRUE(errors.empty());
}

TEST_F(AccountDialogs, UnverifiablePasswordStillSavesTheTickedBoxWhenTheAnswerIsNo) {
    machine.Fail("LogonUserW", ERROR_NO_LOGON_SERVERS);
    EXPECT_EQ(mrCancel, Verify(L"wonderland", {L"btnNo"}));
    EXPECT_EQ(std::vector<std::wstring>{L"Cannot verify your Windows password due to technical reasons. Do you still "
                                        L"want to go ahead and enable secure mode?"},
              questions);
    EXPECT_EQ(L"False", StoredVerifyPassword());
}

TEST_F(AccountDialogs, AccountWithoutPasswordAbortsAndLeavesTheOption) {
    machine.accounts[0].password.clear();
    EXPECT_EQ(mrAbort, Verify(L""));
    EXPECT_EQ(L"True", StoredVerifyPassword());
}

TEST_F(AccountDialogs, CorrectPasswordWithTheBoxTickedSwitchesThePromptOff) {
    EXPECT_EQ(mrOk, Verify(L"wonderland"));
    EXPECT_EQ(L"False", StoredVerifyPassword());
    EXPECT_FALSE(settings::GlobalOptions().VerifyPassword());
}

TEST_F(AccountDialogs, LocalAccountGoesWithoutTheDomainRow) {
    machine.samAccountName = L"CORP\\alice";
    std::unique_ptr<TdlgVerifyPwd> domain(CreateForm<TdlgVerifyPwd>(nullptr));
    machine.samAccountName = L"GATEWISE-PC\\alice";
    std::unique_ptr<TdlgVerifyPwd> local(CreateForm<TdlgVerifyPwd>(nullptr));
    EXPECT_TRUE(domain->Get<TEdit>(L"edtDomain").Visible());
    EXPECT_FALSE(local->Get<TEdit>(L"edtDomain").Visible());
    EXPECT_FALSE(local->Get<TLabel>(L"lblDomain").Visible());
    const auto expectRowGone = [&] {
        const int row = domain->Get<TEdit>(L"edtPassword").Top() - domain->Get<TEdit>(L"edtDomain").Top();
        EXPECT_EQ(ScaleToDpi(32, domain->PixelsPerInch()), row);
        EXPECT_EQ(domain->ClientHeight() - row, local->ClientHeight());
        for (const wchar_t* name : {L"lblDomain", L"edtPassword", L"chkDontShowAgain", L"btnOk"})
            EXPECT_EQ(domain->Get<TControl>(name).Top() - row, local->Get<TControl>(name).Top()) << name;
        EXPECT_EQ(domain->Get<TControl>(L"edtUserName").Top(), local->Get<TControl>(L"edtUserName").Top());
    };
    expectRowGone();
    // A move to a screen of another resolution takes the row out again.
    for (TdlgVerifyPwd* dialog : {domain.get(), local.get()}) {
        RECT placed{};
        GetWindowRect(dialog->Handle(), &placed);
        dialog->ChangeScale(144, placed);
    }
    EXPECT_FALSE(local->Get<TEdit>(L"edtDomain").Visible());
    expectRowGone();
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

// Verification is impossible, so the account is stored without a question.
TEST_F(AccountDialogs, AccountIsStoredOnceThePasswordsAgreeAndAFailedStoreKeepsTheDialogAsItWas) {
    machine.Fail("LogonUserW", ERROR_NO_LOGON_SERVERS);
    ModalScript script;
    script
        .Then<TdlgAutologon>([this](TdlgAutologon& dialog) {
            const TButton& ok = dialog.Get<TButton>(L"btnOk");
            Type(dialog.Get<TEdit>(L"edtPassword"), L"wonderland");
            EXPECT_FALSE(ok.Enabled());
            EXPECT_TRUE(dialog.Get<TLabel>(L"lblMismatch").Visible());
            Type(dialog.Get<TEdit>(L"edtPasswordAgain"), L"wonderland");
            EXPECT_TRUE(ok.Enabled());
            EXPECT_FALSE(dialog.Get<TLabel>(L"lblMismatch").Visible());
            machine.Fail("RegCreateKeyExW", ERROR_ACCESS_DENIED, 0, 1);
            Click(ok);
        })
        .Then<TdlgAutologon>([this](TdlgAutologon& dialog) {
            EXPECT_EQ(1u, errors.size()) << "the failure went to the error display";
            EXPECT_EQ(L"alice", dialog.Get<TEdit>(L"edtUserName").Text());
            EXPECT_EQ(L"wonderland", dialog.Get<TEdit>(L"edtPassword").SecretText().str());
            EXPECT_EQ(L"wonderland", dialog.Get<TEdit>(L"edtPasswordAgain").SecretText().str());
            Click(dialog.Get<TButton>(L"btnOk"));
        });
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgAutologon>(nullptr));
    EXPECT_EQ(L"alice", machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName"));
    EXPECT_EQ(L"GATEWISE-PC", machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultDomainName"));
    EXPECT_EQ(1u, machine.lsaSecrets.count(L"DefaultPassword"));
}

TEST_F(AccountDialogs, RejectedAccountAsksForACorrectionYesKeepsTheDialogNoCancels) {
    std::vector<std::wstring> asked;
    const auto answer = [&asked](const wchar_t* button) {
        return [&asked, button](TdlgKVInfoEx& question) {
            asked.push_back(question.Caption() + L": " + question.Get<TControl>(L"lblText").Caption());
            Click(question.Get<TButton>(button));
        };
    };
    ModalScript script;
    script
        .Then<TdlgAutologon>([](TdlgAutologon& dialog) { EnterPassword(dialog, L"rabbit"); })
        .Then<TdlgKVInfoEx>(answer(L"btnYes"))
        .Then<TdlgAutologon>([](TdlgAutologon& dialog) {
            EXPECT_EQ(L"alice", dialog.Get<TEdit>(L"edtUserName").Text());
            EXPECT_EQ(L"rabbit", dialog.Get<TEdit>(L"edtPassword").SecretText().str());
            EXPECT_EQ(L"rabbit", dialog.Get<TEdit>(L"edtPasswordAgain").SecretText().str());
            Click(dialog.Get<TButton>(L"btnOk"));
        })
        .Then<TdlgKVInfoEx>(answer(L"btnNo"));
    EXPECT_EQ(mrCancel, shell::ExecuteModalOrRaise<TdlgAutologon>(nullptr));
    const std::wstring question = L"Set auto-logon user name and password: The user name and password you entered are "
                                  L"not valid on this computer. Do you want to correct them?";
    EXPECT_EQ((std::vector<std::wstring>{question, question}), asked);
    EXPECT_FALSE(machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName"));
    EXPECT_EQ(0u, machine.lsaSecrets.count(L"DefaultPassword"));
}

// Clear keeps the domain; OK then checks the current account with an empty
// password, which this one (without a password) passes: the account goes.
TEST_F(AccountDialogs, ClearThenOkRemovesTheStoredAccountOfAUserWithoutPassword) {
    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName", L"bob");
    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultDomainName", L"GATEWISE-PC");
    machine.lsaSecrets[L"DefaultPassword"] = {'b', 0};
    machine.accounts[0].password.clear();
    ModalScript script;
    script
        .Then<TdlgAutologon>([](TdlgAutologon& dialog) {
            EXPECT_EQ(L"bob", dialog.Get<TEdit>(L"edtUserName").Text());
            Type(dialog.Get<TEdit>(L"edtPassword"), L"one");
            Type(dialog.Get<TEdit>(L"edtPasswordAgain"), L"two");
            Click(dialog.Get<TButton>(L"btnClear"));
        })
        .Then<TdlgAutologon>([](TdlgAutologon& dialog) {
            for (const wchar_t* name : {L"edtUserName", L"edtPassword", L"edtPasswordAgain"})
                EXPECT_EQ(L"", dialog.Get<TEdit>(name).Text()) << name;
            EXPECT_EQ(L"GATEWISE-PC", dialog.Get<TEdit>(L"edtDomain").Text());
            EXPECT_TRUE(dialog.Get<TButton>(L"btnOk").Enabled());
            EXPECT_FALSE(dialog.Get<TLabel>(L"lblMismatch").Visible());
            Click(dialog.Get<TButton>(L"btnOk"));
        });
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgAutologon>(nullptr));
    EXPECT_FALSE(machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName"));
    EXPECT_FALSE(machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultDomainName"));
    EXPECT_EQ(0u, machine.lsaSecrets.count(L"DefaultPassword"));
}

TEST_F(AccountDialogs, PasswordThatOnlyThePlainValueTookIsPointedOutBeforeTheDialogEnds) {
    machine.Fail("LsaStorePrivateData", static_cast<DWORD>(STATUS_ACCESS_DENIED), 0, 1);
    std::wstring message;
    ModalScript script;
    script
        .Then<TdlgAutologon>([](TdlgAutologon& dialog) { EnterPassword(dialog, L"wonderland"); })
        .Then<TdlgKVInfoEx>([&message](TdlgKVInfoEx& notice) {
            message = notice.Get<TControl>(L"lblText").Caption();
            EXPECT_EQ(L"Password not protected", notice.Caption());
            Click(notice.Get<TButton>(L"btnOk"));
        });
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgAutologon>(nullptr));
    EXPECT_NE(std::wstring::npos, message.find(L"\"DefaultPassword\""));
    EXPECT_EQ(std::wstring::npos, message.find(L"wonderland"));
    EXPECT_EQ(L"wonderland", machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultPassword"));
}

}  // namespace
