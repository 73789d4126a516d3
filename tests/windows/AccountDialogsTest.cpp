// The password verification and auto-logon account dialogs, driven through
// their controls on a simulated machine whose account is "alice" of this
// computer, password "wonderland".
#include "FormTest.h"
#include "MemoryScan.h"
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
                    EXPECT_EQ(password, dialog.Get<TEdit>(L"edtPassword").SecretText().view()) << "left as it was";
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
        EXPECT_EQ(L"wonderland", dialog->Get<TEdit>(name).SecretText().view());
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
            EXPECT_EQ(L"wonderland", dialog.Get<TEdit>(L"edtPassword").SecretText().view());
            EXPECT_EQ(L"wonderland", dialog.Get<TEdit>(L"edtPasswordAgain").SecretText().view());
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
            EXPECT_EQ(L"rabbit", dialog.Get<TEdit>(L"edtPassword").SecretText().view());
            EXPECT_EQ(L"rabbit", dialog.Get<TEdit>(L"edtPasswordAgain").SecretText().view());
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

// Every wrong password counts toward the lockout: from the third one the
// question warns of it; a locked-out account is said so, nothing is stored
// and the dialog stays open.
TEST_F(AccountDialogs, RepeatedRejectionsWarnOfLockoutAndALockedOutAccountStoresNothing) {
    std::vector<std::wstring> shown;
    const auto answer = [&shown](const wchar_t* button) {
        return [&shown, button](TdlgKVInfoEx& box) {
            shown.push_back(box.Get<TControl>(L"lblText").Caption());
            Click(box.Get<TButton>(button));
        };
    };
    const auto pressOk = [](TdlgAutologon& dialog) { Click(dialog.Get<TButton>(L"btnOk")); };
    ModalScript script;
    script.Then<TdlgAutologon>([](TdlgAutologon& dialog) { EnterPassword(dialog, L"rabbit"); })
        .Then<TdlgKVInfoEx>(answer(L"btnYes"))
        .Then<TdlgAutologon>(pressOk)
        .Then<TdlgKVInfoEx>(answer(L"btnYes"))
        .Then<TdlgAutologon>(pressOk)
        .Then<TdlgKVInfoEx>(answer(L"btnYes"))
        .Then<TdlgAutologon>([this](TdlgAutologon& dialog) {
            machine.accounts[0].logonError = ERROR_ACCOUNT_LOCKED_OUT;
            Click(dialog.Get<TButton>(L"btnOk"));
        })
        .Then<TdlgKVInfoEx>(answer(L"btnOk"))
        .Then<TdlgAutologon>([](TdlgAutologon& dialog) { Click(dialog.Get<TButton>(L"btnCancel")); });
    EXPECT_EQ(mrCancel, shell::ExecuteModalOrRaise<TdlgAutologon>(nullptr));
    const std::wstring rejected =
        L"The user name and password you entered are not valid on this computer. Do you want to correct them?";
    const std::wstring warning =
        L"<br><br>Windows locks an account after too many wrong passwords: more wrong passwords may lock this one.";
    EXPECT_EQ((std::vector<std::wstring>{rejected, rejected, rejected + warning,
                                         L"This account is locked out after too many wrong passwords; try again "
                                         L"later."}),
              shown);
    EXPECT_EQ(4, machine.CountCalls("LogonUserW"));
    EXPECT_FALSE(machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName"));
    EXPECT_EQ(0u, machine.lsaSecrets.count(L"DefaultPassword"));
}

// Clear keeps the domain; OK then checks the current account with an empty
// password, which this one (without a password) passes: the account goes.
TEST_F(AccountDialogs, ClearThenOkAsksAndRemovesTheStoredAccountOfAUserWithoutPassword) {
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
            EXPECT_EQ(L"A password is stored for this account (protected).",
                      dialog.Get<TLabel>(L"lblStoredPassword").Caption());
            Click(dialog.Get<TButton>(L"btnOk"));
        })
        .Then<TdlgKVInfoEx>([](TdlgKVInfoEx& question) {
            EXPECT_NE(question.Get<TControl>(L"lblText").Caption().find(L"Remove the stored password?"),
                      std::wstring::npos);
            Click(question.Get<TButton>(L"btnYes"));
        });
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgAutologon>(nullptr));
    EXPECT_FALSE(machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName"));
    EXPECT_FALSE(machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultDomainName"));
    EXPECT_EQ(0u, machine.lsaSecrets.count(L"DefaultPassword"));
}

// Also when an older protected password cannot be removed, which the notice adds.
TEST_F(AccountDialogs, PasswordThatOnlyThePlainValueTookIsPointedOutBeforeTheDialogEnds) {
    for (const bool oldKept : {false, true}) {
        machine.lsaSecrets[L"DefaultPassword"] = {'o', 0};
        machine.Fail("LsaStorePrivateData", static_cast<DWORD>(STATUS_ACCESS_DENIED), 0, oldKept ? 2 : 1);
        std::wstring message;
        ModalScript script;
        script
            .Then<TdlgAutologon>([](TdlgAutologon& dialog) {
                Type(dialog.Get<TEdit>(L"edtPassword"), L"wonderland");
                Type(dialog.Get<TEdit>(L"edtPasswordAgain"), L"wonderland");
                Click(dialog.Get<TButton>(L"btnOk"));
            })
            .Then<TdlgKVInfoEx>([&message](TdlgKVInfoEx& notice) {
                message = notice.Get<TControl>(L"lblText").Caption();
                EXPECT_EQ(L"Password not protected", notice.Caption());
                Click(notice.Get<TButton>(L"btnOk"));
            });
        EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgAutologon>(nullptr));
        EXPECT_NE(std::wstring::npos, message.find(L"\"DefaultPassword\""));
        EXPECT_EQ(oldKept, message.find(L"an older password in the protected store could not be removed") !=
                               std::wstring::npos)
            << message;
        EXPECT_EQ(std::wstring::npos, message.find(L"wonderland"));
        EXPECT_EQ(L"wonderland", machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultPassword"));
        EXPECT_EQ(oldKept ? 1u : 0u, machine.lsaSecrets.count(L"DefaultPassword"));
    }
}

// Types with real keystrokes (Unicode key events through the input queue)
// into the control that has the focus.
void Keys(const std::wstring& text) {
    std::vector<INPUT> events;
    for (wchar_t c : text)
        for (DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
            INPUT event{};
            event.type = INPUT_KEYBOARD;
            event.ki.wScan = c;
            event.ki.dwFlags = KEYEVENTF_UNICODE | up;
            events.push_back(event);
        }
    ASSERT_EQ(events.size(), SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT)));
}

void Key(WORD virtualKey) {
    INPUT events[2] = {};
    for (INPUT& event : events) {
        event.type = INPUT_KEYBOARD;
        event.ki.wVk = virtualKey;
    }
    events[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(2u, SendInput(2, events, sizeof(INPUT)));
}

// After each password dialog, closed with OK and with Cancel, no copy of the
// password typed into it is left anywhere in the process. The password sits
// amid other characters, the last of which make the edit's buffers grow once
// it is whole in them (a freed block loses its first bytes to the heap).
TEST_F(AccountDialogs, TypedPasswordLeavesNoCopyInMemoryOnceTheDialogCloses) {
    const SplitSecret secret(L"Qz8-Kestrel", L"~umbra51");
    const std::wstring before(40, L'x');
    const std::wstring after(100, L'x');
    {
        std::vector<wchar_t> planted(secret.First().begin(), secret.First().end());
        planted.insert(planted.end(), secret.Second().begin(), secret.Second().end());
        EXPECT_LE(1, secret.CountInMemory()) << "the scan finds a copy";
        SecureZeroMemory(planted.data(), planted.size() * sizeof(wchar_t));
    }

    machine.Fail("LogonUserW", ERROR_NO_LOGON_SERVERS);  // no question for the account; go ahead for secure mode
    const auto focus = [](TForm& dialog) {
        SetForegroundWindow(dialog.Handle());
        SetFocus(dialog.Get<TEdit>(L"edtPassword").Handle());
    };
    const auto type = [&] {
        Keys(before + secret.First());
        Keys(secret.Second() + after);
    };
    for (const bool ok : {false, true}) {
        {
            ModalScript script;
            script.Then<TdlgVerifyPwd>([&](TdlgVerifyPwd& dialog) {
                focus(dialog);
                type();
                Key(ok ? VK_RETURN : VK_ESCAPE);
            });
            if (ok) script.Then<TdlgKVInfoEx>([](TdlgKVInfoEx& question) { Click(question.Get<TButton>(L"btnYes")); });
            EXPECT_EQ(ok ? mrOk : mrCancel, shell::ExecuteModalOrRaise<TdlgVerifyPwd>(nullptr));
        }
        EXPECT_EQ(0, secret.CountInMemory()) << "verification dialog, " << (ok ? "OK" : "Cancel");

        {
            ModalScript script;
            script.Then<TdlgAutologon>([&](TdlgAutologon& dialog) {
                focus(dialog);
                type();
                Key(VK_TAB);
                type();
                Key(ok ? VK_RETURN : VK_ESCAPE);
            });
            EXPECT_EQ(ok ? mrOk : mrCancel, shell::ExecuteModalOrRaise<TdlgAutologon>(nullptr));
        }
        // The simulated machine's store is the machine's memory, not the program's.
        const std::size_t stored = machine.lsaSecrets[L"DefaultPassword"].size();
        EXPECT_EQ(ok ? 2 * (before.size() + secret.First().size() + secret.Second().size() + after.size()) : 0u, stored);
        for (BYTE& byte : machine.lsaSecrets[L"DefaultPassword"]) byte = 0;
        EXPECT_EQ(0, secret.CountInMemory()) << "auto-logon dialog, " << (ok ? "OK" : "Cancel");
    }
    EXPECT_TRUE(errors.empty());
}

}  // namespace
