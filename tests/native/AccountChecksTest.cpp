// The checks of what stops automatic logon on today's accounts, the fixes that
// Gatewise applies on request, and the try of the stored password.
#include "audit/Audit.h"
#include "diagnostics/AutologonState.h"
#include "diagnostics/Diagnostics.h"
#include "diagnostics/Fixes.h"
#include "MachineTest.h"

#include <cstring>
#include <stdexcept>

using diagnostics::CheckResult;
using diagnostics::Verdict;

class AccountChecksTest : public MachineTest {
protected:
    static constexpr const WCHAR* kPasswordLess =
        WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\PasswordLess\\Device");
    static constexpr const WCHAR* kDeviceLock = WSTR("SOFTWARE\\Microsoft\\PolicyManager\\current\\device\\DeviceLock");
    static constexpr const WCHAR* kMachinePolicy = WSTR("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System");
    static constexpr const WCHAR* kUserPolicy = WSTR("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System");

    CheckResult Check(const char* id, settings::TPromptMode target = settings::pmCustom) {
        auto options = settings::Create<settings::TOptions>(false, WSTR("SOFTWARE\\Vantrel\\Gatewise"));
        options->SetSaveOnDestroy(false);
        return diagnostics::RunCheck(id, *options, target);
    }
    void StoreAccount(const WCHAR* user, const WCHAR* domain) {
        SetWinlogon(WSTR("DefaultUserName"), user);
        SetWinlogon(WSTR("DefaultDomainName"), domain);
    }
    void StoreSecret(const WCHAR* password) {
        std::vector<BYTE> bytes(std::char_traits<WCHAR>::length(password) * sizeof(WCHAR));
        std::memcpy(bytes.data(), password, bytes.size());
        machine.lsaSecrets[WSTR("DefaultPassword")] = bytes;
    }
    void EnforcePasswordLess() {
        machine.SetDword(HKEY_LOCAL_MACHINE, kPasswordLess, WSTR("DevicePasswordLessBuildVersion"), 2);
    }
    std::optional<DWORD> PasswordLessVersion() const {
        const os::sim::RegistryValue* value =
            machine.Value(HKEY_LOCAL_MACHINE, kPasswordLess, WSTR("DevicePasswordLessBuildVersion"));
        if (!value || value->type != REG_DWORD) return std::nullopt;
        DWORD number = 0;
        std::memcpy(&number, value->data.data(), sizeof number);
        return number;
    }
    void BecomeStandardUser() { machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}}; }
    static bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }
};

TEST_F(AccountChecksTest, PasswordLessSignInStopsRelaxedModeForAMicrosoftAccountOnly) {
    EnforcePasswordLess();
    StoreAccount(WSTR("bob"), WSTR("GATEWISE-PC"));
    CheckResult result = Check("password-less-sign-in");
    EXPECT_EQ(result.verdict, Verdict::Warning) << "a local account of its own: not confirmed to be stopped";
    EXPECT_TRUE(result.fixable);
    EXPECT_TRUE(Has(result.finding, "may skip automatic logon")) << result.finding;

    // A local account connected to a Microsoft account, as NetUserGetInfo level 24 tells.
    machine.accounts.push_back({WSTR("bob"), WSTR("GATEWISE-PC"), WSTR("pw"), 0, WSTR("bob@example.com")});
    result = Check("password-less-sign-in");
    EXPECT_EQ(result.verdict, Verdict::Problem);
    EXPECT_TRUE(Has(result.finding, "GATEWISE-PC\\bob is a Microsoft account")) << result.finding;
    EXPECT_TRUE(Has(result.fix, "gatewisecmd diagnose --fix password-less-sign-in")) << result.fix;
    EXPECT_EQ(Check("password-less-sign-in", settings::pmSecure).verdict, Verdict::Ok);
    EXPECT_FALSE(Check("password-less-sign-in", settings::pmSecure).fixable) << "nothing to fix for Secure Mode";
    EXPECT_EQ(Check("password-less-sign-in", settings::pmRelaxed).verdict, Verdict::Problem);

    StoreAccount(WSTR("MicrosoftAccount\\carol@example.com"), WSTR(""));
    EXPECT_EQ(Check("password-less-sign-in").verdict, Verdict::Problem);
    StoreAccount(WSTR("carol@example.com"), WSTR("MicrosoftAccount"));
    EXPECT_EQ(Check("password-less-sign-in").verdict, Verdict::Problem);

    // Values of another type are reported as such, never as a pass.
    machine.SetString(HKEY_LOCAL_MACHINE, kPasswordLess, WSTR("DevicePasswordLessBuildVersion"), WSTR("2"));
    result = Check("password-less-sign-in");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_EQ(result.finding, "Could not be checked: Invalid data type for 'DevicePasswordLessBuildVersion'");
    EXPECT_FALSE(result.fixable);
}

TEST_F(AccountChecksTest, ForceAutoLogonIsInformationInRelaxedModeAndAWarningWhileAnAccountStaysStored) {
    EXPECT_EQ(Check("force-autologon").verdict, Verdict::Ok);
    SetWinlogon(WSTR("ForceAutoLogon"), WSTR("1"));
    EXPECT_TRUE(Has(Check("force-autologon").finding, "no account is stored now"));

    StoreAccount(WSTR("alice"), WSTR("GATEWISE-PC"));
    CheckResult result = Check("force-autologon");
    EXPECT_EQ(result.verdict, Verdict::Warning) << "automatic logon is off, the account stays";
    EXPECT_TRUE(Has(result.finding, "GATEWISE-PC\\alice is still stored")) << result.finding;
    EXPECT_EQ(Check("force-autologon", settings::pmRelaxed).verdict, Verdict::Ok) << "a concern of Secure Mode";

    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    result = Check("force-autologon");
    EXPECT_EQ(result.verdict, Verdict::Ok);
    EXPECT_TRUE(Has(result.fix, "Delete the value ForceAutoLogon")) << "says where to turn it off";

    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("ForceAutoLogon"), 1);
    EXPECT_EQ(Check("force-autologon").finding, "Could not be checked: Invalid data type for 'ForceAutoLogon'");
}

TEST_F(AccountChecksTest, AutoLogonSidThatNamesAnotherAccountIsAWarning) {
    EXPECT_EQ(Check("autologon-sid").verdict, Verdict::Ok);
    const os::WString alice = os::sim::SidText(os::sim::AliceSid());
    StoreAccount(WSTR("alice"), WSTR("GATEWISE-PC"));
    SetWinlogon(WSTR("AutoLogonSID"), alice.c_str());
    EXPECT_EQ(Check("autologon-sid").verdict, Verdict::Ok);

    StoreAccount(WSTR("bob"), WSTR("GATEWISE-PC"));
    CheckResult result = Check("autologon-sid");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_TRUE(Has(result.finding, "names GATEWISE-PC\\alice, while the auto-logon account is GATEWISE-PC\\bob"))
        << result.finding;
    EXPECT_TRUE(Has(result.fix, "delete the value AutoLogonSID"));

    SetWinlogon(WSTR("AutoLogonSID"), WSTR("S-1-5-21-1-2-3-4242"));
    EXPECT_TRUE(Has(Check("autologon-sid").finding, "names no account of this computer"));
    SetWinlogon(WSTR("AutoLogonSID"), WSTR("S-1-5-21-x"));
    EXPECT_EQ(Check("autologon-sid").verdict, Verdict::Warning) << "text that is no SID names nobody";
    EXPECT_EQ(engine::AccountOfSid(WSTR("S-1-5-21-99999999999-1")), std::nullopt) << "out of range";
    ASSERT_TRUE(engine::AccountOfSid(alice).has_value());
    EXPECT_EQ(engine::AccountOfSid(alice)->user, WSTR("alice"));
}

TEST_F(AccountChecksTest, PolicyThatRemovesLockingWarnsForSecureModeOnly) {
    EXPECT_EQ(Check("lock-disabled").verdict, Verdict::Ok);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        const WCHAR* key = root == HKEY_CURRENT_USER ? kUserPolicy : kMachinePolicy;
        machine.SetDword(root, key, WSTR("DisableLockWorkstation"), 1);
        EXPECT_EQ(Check("lock-disabled").verdict, Verdict::Warning);
        EXPECT_EQ(Check("lock-disabled", settings::pmSecure).verdict, Verdict::Warning);
        EXPECT_EQ(Check("lock-disabled", settings::pmRelaxed).verdict, Verdict::Ok);
        machine.SetDword(root, key, WSTR("DisableLockWorkstation"), 0);
    }
    machine.SetString(HKEY_CURRENT_USER, kUserPolicy, WSTR("DisableLockWorkstation"), WSTR("1"));
    EXPECT_EQ(Check("lock-disabled").verdict, Verdict::Warning) << "another type is no pass";
}

TEST_F(AccountChecksTest, DeviceLockPoliciesThatRequireAPasswordStopRelaxedMode) {
    machine.SetDword(HKEY_LOCAL_MACHINE, kDeviceLock, WSTR("DevicePasswordEnabled"), 1);  // 1: not required
    EXPECT_EQ(Check("device-lock-policy").verdict, Verdict::Ok);
    machine.SetDword(HKEY_LOCAL_MACHINE, kDeviceLock, WSTR("DevicePasswordEnabled"), 0);  // 0: required
    machine.SetDword(HKEY_LOCAL_MACHINE, kDeviceLock, WSTR("MaxInactivityTimeDeviceLock"), 15);
    CheckResult result = Check("device-lock-policy");
    EXPECT_EQ(result.verdict, Verdict::Problem);
    EXPECT_TRUE(Has(result.finding, "locks the computer after 15 minutes")) << result.finding;
    EXPECT_EQ(Check("device-lock-policy", settings::pmSecure).verdict, Verdict::Ok);

    machine.SetDword(HKEY_LOCAL_MACHINE, kDeviceLock, WSTR("DevicePasswordEnabled"), 1);
    machine.SetDword(HKEY_LOCAL_MACHINE, WSTR("SYSTEM\\CurrentControlSet\\Control\\EAS\\Policies"), WSTR("1"), 1);
    result = Check("device-lock-policy");
    EXPECT_EQ(result.verdict, Verdict::Problem);
    EXPECT_TRUE(Has(result.finding, "Exchange ActiveSync")) << result.finding;

    BecomeStandardUser();  // the start-up setting is then left alone
    EXPECT_EQ(Check("device-lock-policy").verdict, Verdict::Warning);
    machine.SetString(HKEY_LOCAL_MACHINE, kDeviceLock, WSTR("DevicePasswordEnabled"), WSTR("0"));
    EXPECT_EQ(Check("device-lock-policy").finding, "Could not be checked: Invalid data type for 'DevicePasswordEnabled'");
}

TEST_F(AccountChecksTest, RestartSignOnIsInformationThatSaysWhereToTurnItOff) {
    CheckResult result = Check("restart-sign-on");
    EXPECT_EQ(result.verdict, Verdict::Ok);
    EXPECT_TRUE(Has(result.finding, "may sign the last user in by itself")) << result.finding;
    EXPECT_TRUE(Has(result.fix, "Use my sign-in info to automatically finish setting up after an update"));

    const os::WString optOut = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\UserARSO\\") +
                               os::sim::SidText(os::sim::AliceSid());
    machine.SetDword(HKEY_LOCAL_MACHINE, optOut, WSTR("OptOut"), 1);
    EXPECT_TRUE(Check("restart-sign-on").fix.empty()) << "the user turned it off";
    machine.SetDword(HKEY_LOCAL_MACHINE, optOut, WSTR("OptOut"), 0);
    machine.SetDword(HKEY_LOCAL_MACHINE, kMachinePolicy, WSTR("DisableAutomaticRestartSignOn"), 1);
    EXPECT_TRUE(Has(Check("restart-sign-on").finding, "A policy keeps Windows"));
    machine.SetString(HKEY_LOCAL_MACHINE, kMachinePolicy, WSTR("DisableAutomaticRestartSignOn"), WSTR("1"));
    EXPECT_EQ(Check("restart-sign-on").verdict, Verdict::Warning) << "another type is no pass";
}

TEST_F(AccountChecksTest, WindowsSevenDoesNotSignInByItselfAfterAnUpdateRestart) {
    machine.majorVersion = 6;
    machine.minorVersion = 1;
    EXPECT_TRUE(Has(Check("restart-sign-on").finding, "does not sign in by itself"));
}

TEST_F(AccountChecksTest, EachCheckRunsAloneWithTheVerdictOfTheWholeRun) {
    SetWinlogon(WSTR("DefaultPassword"), WSTR("plain"));
    auto options = settings::Create<settings::TOptions>(false, WSTR("SOFTWARE\\Vantrel\\Gatewise"));
    options->SetSaveOnDestroy(false);
    for (const CheckResult& whole : diagnostics::RunDiagnostics(*options, settings::pmRelaxed)) {
        const CheckResult alone = diagnostics::RunCheck(whole.id, *options, settings::pmRelaxed);
        EXPECT_EQ(alone.verdict, whole.verdict) << whole.id;
        EXPECT_EQ(alone.finding, whole.finding) << whole.id;
    }
    EXPECT_THROW(diagnostics::RunCheck("no-such-check", *options), std::invalid_argument);
}

TEST_F(AccountChecksTest, FixSetsPasswordLessSignInOffLogsItAndSaysHowToReverseIt) {
    EnforcePasswordLess();
    audit::Warnings warnings;
    const diagnostics::FixOutcome outcome = audit::ApplyFix("password-less-sign-in", audit::orWindow, warnings);
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(PasswordLessVersion(), DWORD{0});
    EXPECT_TRUE(Has(outcome.reverse, "back to 2")) << outcome.reverse;
    ASSERT_EQ(machine.eventLog.size(), 1u);
    EXPECT_EQ(machine.eventLog[0].id, static_cast<DWORD>(audit::ckFix));
    EXPECT_EQ(machine.eventLog[0].type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(machine.eventLog[0].strings[0], WSTR("Finding password-less-sign-in fixed."));
    EXPECT_NE(os::ToUtf8(machine.eventLog[0].strings[3]).find("To reverse it: set DevicePasswordLessBuildVersion"),
              std::string::npos);

    // Once more: nothing to fix, nothing written, nothing logged.
    machine.ClearCalls();
    EXPECT_FALSE(audit::ApplyFix("password-less-sign-in", audit::orWindow, warnings).changed);
    EXPECT_EQ(machine.CountCalls("RegSetValueExW"), 0);
    EXPECT_EQ(machine.eventLog.size(), 1u);
    EXPECT_TRUE(warnings.empty());
}

TEST_F(AccountChecksTest, FixThatCannotBeWrittenChangesNothingAndSaysWhy) {
    EnforcePasswordLess();
    audit::Warnings warnings;
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED);
    const std::string failed = MessageOf<engine::ERegistryException>(
        [&] { audit::ApplyFix("password-less-sign-in", audit::orCommandLine, warnings); });
    EXPECT_TRUE(Has(failed, "Nothing was changed.")) << failed;
    EXPECT_EQ(PasswordLessVersion(), DWORD{2});
    ASSERT_EQ(machine.eventLog.size(), 1u);
    EXPECT_EQ(machine.eventLog[0].type, EVENTLOG_ERROR_TYPE);

    // Refusals change nothing and write no event.
    machine.SetString(HKEY_LOCAL_MACHINE, kPasswordLess, WSTR("DevicePasswordLessBuildVersion"), WSTR("2"));
    EXPECT_TRUE(Has(MessageOf<diagnostics::EFixRefused>([] { diagnostics::ApplyFix("password-less-sign-in"); }),
                    "is not a number"));
    EnforcePasswordLess();
    BecomeStandardUser();
    EXPECT_TRUE(Has(MessageOf<diagnostics::EFixNeedsAdministrator>([] { diagnostics::ApplyFix("autologon-count"); }),
                    "needs administrator rights"));
    EXPECT_EQ(PasswordLessVersion(), DWORD{2});
    EXPECT_EQ(machine.eventLog.size(), 1u);
    EXPECT_THROW(diagnostics::ApplyFix("logon-banner"), std::invalid_argument) << "a policy is never fixed";
}

TEST_F(AccountChecksTest, FixOfAutoLogonCountDeletesItAndNamesTheCountToPutBack) {
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 3);
    EXPECT_TRUE(Check("autologon-count").fixable);
    const diagnostics::FixOutcome outcome = diagnostics::ApplyFix("autologon-count");
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(machine.Value(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount")), nullptr);
    EXPECT_TRUE(Has(outcome.reverse, "as REG_DWORD 3")) << outcome.reverse;
    EXPECT_EQ(Check("autologon-count").verdict, Verdict::Ok);
    EXPECT_FALSE(diagnostics::ApplyFix("autologon-count").changed);
}

TEST_F(AccountChecksTest, StoredPasswordIsTriedOnceProtectedOneFirst) {
    EXPECT_EQ(diagnostics::TryStoredPassword().tried, diagnostics::PasswordStore::None);
    EXPECT_EQ(machine.CountCalls("LogonUserW"), 0) << "nothing to try";

    StoreAccount(WSTR("alice"), WSTR("GATEWISE-PC"));
    SetWinlogon(WSTR("DefaultPassword"), WSTR("wonderland"));
    diagnostics::StoredPasswordTry attempt = diagnostics::TryStoredPassword();
    EXPECT_EQ(attempt.tried, diagnostics::PasswordStore::Plain);
    EXPECT_EQ(attempt.result, engine::pcAccepted);

    StoreSecret(WSTR("changed-since"));
    machine.ClearCalls();
    attempt = diagnostics::TryStoredPassword();
    EXPECT_EQ(attempt.tried, diagnostics::PasswordStore::Protected);
    EXPECT_EQ(attempt.result, engine::pcRejected);
    EXPECT_EQ(machine.CountCalls("LogonUserW"), 1) << "never retried";
}
