// The check report driven through its controls on a simulated machine: its
// rows, the Fix button, Copy and the try of the stored password.
#include "FormTest.h"
#include "ModalScript.h"
#include "SimMachineWithRealGdi.h"
#include "settings/Options.h"
#include "shell/Substitution.h"
#include "ui/CheckReportDlg.h"
#include "ui/InfoDlgEx.h"

namespace {

using namespace toolkit;
using ui::TdlgCheckReport;
using ui::TdlgKVInfoEx;

constexpr const wchar_t* kOptionsKey = L"SOFTWARE\\Vantrel\\Gatewise";
constexpr const wchar_t* kWinlogon = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

class CheckReportDlg : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        shell::CreateSubstitutionList();
        machine.SetString(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"SCRNSAVE.EXE", L"Bubbles.scr");
        machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName", L"alice");
        machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultDomainName", L"GATEWISE-PC");
        const std::wstring password = L"wonderland";
        const auto* bytes = reinterpret_cast<const BYTE*>(password.data());
        machine.lsaSecrets[L"DefaultPassword"].assign(bytes, bytes + password.size() * sizeof(wchar_t));
        machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoLogonCount", 2);
        settings::CreateGlobalOptions(kOptionsKey);
    }
    void TearDown() override {
        settings::FreeGlobalOptions();
        shell::FreeSubstitutionList();
        FormTest::TearDown();
    }
    static TButton* FixButtonOf(TdlgCheckReport& dialog, const char* id) {
        const auto& findings = dialog.Findings();
        for (std::size_t i = 0, buttons = 0; i < dialog.ComponentCount(); ++i) {
            auto* button = dynamic_cast<TButton*>(dialog.Components(i));
            if (!button || button->Parent() != &dialog.Get<TScrollBox>(L"sbxFindings").Content()) continue;
            if (findings[buttons++].id == id) return button;
        }
        return nullptr;
    }

    SimMachineWithRealGdi machine;
    os::ScopedMachine scope{machine};
};

TEST_F(CheckReportDlg, RowsComeProblemsFirstAndAFixableFindingIsFixedInPlace) {
    ModalScript script;
    script.Then<TdlgCheckReport>([](TdlgCheckReport& dialog) {
              const auto& findings = dialog.Findings();
              ASSERT_FALSE(findings.empty());
              EXPECT_EQ(findings[0].id, "autologon-count");
              EXPECT_EQ(findings[0].verdict, diagnostics::Verdict::Problem);
              EXPECT_NE(dialog.Get<TLabel>(L"lblSummary").Caption().find(L"Problems: 1."), std::wstring::npos);
              TButton* fix = FixButtonOf(dialog, "autologon-count");
              ASSERT_NE(fix, nullptr);
              EXPECT_TRUE(fix->Visible());
              EXPECT_EQ(fix->AccessibleName, L"Fix autologon-count");
              EXPECT_FALSE(FixButtonOf(dialog, "logon-banner")->Visible()) << "nothing to fix";
              // The first row has the focus, and says what it shows.
              auto* row = dynamic_cast<TWinControl*>(TWinControl::FromHandle(GetFocus()));
              ASSERT_NE(row, nullptr);
              EXPECT_EQ(row->AccessibleName.rfind(L"Problem: AutoLogonCount is 2", 0), 0u) << row->AccessibleName;
              PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
          })
        .Then<TdlgCheckReport>([](TdlgCheckReport& dialog) {
            TButton* fix = FixButtonOf(dialog, "autologon-count");
            EXPECT_EQ(GetFocus(), fix->Handle()) << "Tab goes from a row to its Fix button";
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        })
        .Then<TdlgCheckReport>([](TdlgCheckReport& dialog) {
            const TWinControl* row = TWinControl::FromHandle(GetFocus());
            ASSERT_NE(row, nullptr);
            const std::wstring second = os::FromUtf8(dialog.Findings()[1].finding);
            EXPECT_NE(row->AccessibleName.find(L": " + second), std::wstring::npos) << "then to the next row";
            Click(*FixButtonOf(dialog, "autologon-count"));
        })
        .Then<TdlgKVInfoEx>([](TdlgKVInfoEx& done) {
            EXPECT_EQ(done.Caption(), L"Finding fixed");
            EXPECT_NE(done.Get<TControl>(L"lblText").Caption().find(L"To reverse it, create AutoLogonCount"),
                      std::wstring::npos);
            Click(done.Get<TButton>(L"btnOk"));
        })
        .Then<TdlgCheckReport>([](TdlgCheckReport& dialog) {
            EXPECT_EQ(dialog.Findings()[0].verdict, diagnostics::Verdict::Ok) << "checked again";
            EXPECT_FALSE(FixButtonOf(dialog, "autologon-count")->Visible());
            EXPECT_NE(dialog.Get<TLabel>(L"lblSummary").Caption().find(L"Problems: 0."), std::wstring::npos);
            Click(dialog.Get<TButton>(L"btnClose"));
        });
    EXPECT_EQ(mrCancel, shell::ExecuteModalOrRaise<TdlgCheckReport>(nullptr));
    EXPECT_EQ(machine.Value(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoLogonCount"), nullptr);
    ASSERT_EQ(machine.eventLog.size(), 1u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(CheckReportDlg, CopyPutsTheReportOnTheClipboardAsText) {
    std::wstring copied;
    ModalScript script;
    script.Then<TdlgCheckReport>([](TdlgCheckReport& dialog) { Click(dialog.Get<TButton>(L"btnCopy")); })
        .Then<TdlgCheckReport>([](TdlgCheckReport& dialog) { Click(dialog.Get<TButton>(L"btnClose")); });
    shell::ExecuteModalOrRaise<TdlgCheckReport>(nullptr);
    ASSERT_TRUE(OpenClipboard(nullptr));
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        copied = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ(copied.rfind(L"problem  autologon-count\r\n         AutoLogonCount is 2", 0), 0u) << copied;
    EXPECT_NE(copied.find(L"\r\n1 problem, "), std::wstring::npos);
}

TEST_F(CheckReportDlg, StoredPasswordIsTriedOnlyAfterTheUserAgreed) {
    ModalScript script;
    script.Then<TdlgCheckReport>([](TdlgCheckReport& dialog) { Click(dialog.Get<TButton>(L"btnVerifyStored")); })
        .Then<TdlgKVInfoEx>([](TdlgKVInfoEx& question) {
            EXPECT_NE(question.Get<TControl>(L"lblText").Caption().find(L"counts toward the account's lockout"),
                      std::wstring::npos);
            Click(question.Get<TButton>(L"btnNo"));
        })
        .Then<TdlgCheckReport>([](TdlgCheckReport& dialog) { Click(dialog.Get<TButton>(L"btnVerifyStored")); })
        .Then<TdlgKVInfoEx>([](TdlgKVInfoEx& question) { Click(question.Get<TButton>(L"btnYes")); })
        .Then<TdlgKVInfoEx>([](TdlgKVInfoEx& answer) {
            EXPECT_EQ(answer.Get<TControl>(L"lblText").Caption(),
                      L"Windows accepts the stored password of GATEWISE-PC\\alice.");
            Click(answer.Get<TButton>(L"btnOk"));
        })
        .Then<TdlgCheckReport>([&](TdlgCheckReport& dialog) {
            EXPECT_EQ(machine.CountCalls("LogonUserW"), 1);
            Click(dialog.Get<TButton>(L"btnClose"));
        });
    shell::ExecuteModalOrRaise<TdlgCheckReport>(nullptr);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
