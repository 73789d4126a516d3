#include "diagnostics/AutologonState.h"
#include "diagnostics/Diagnostics.h"
#include "MachineTest.h"

#include <algorithm>
#include <cstring>
#include <map>

using diagnostics::CheckResult;
using diagnostics::PasswordStore;
using diagnostics::Verdict;
using os::sim::UsersSid;

class DiagnosticsTest : public MachineTest {
protected:
    static constexpr const WCHAR* kPolicySystem = WSTR("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System");
    static constexpr const WCHAR* kWakePolicy =
        WSTR("SOFTWARE\\Policies\\Microsoft\\Power\\PowerSettings\\0e796bdb-100d-47d6-a2d5-f7d2daa51f51");
    static constexpr const WCHAR* kDesktopPolicy = WSTR("Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop");

    void SetUp() override {
        // A machine where nothing stands in the way: a chosen screen saver.
        machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("SCRNSAVE.EXE"), WSTR("C:\\Windows\\system32\\Bubbles.scr"));
        machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaveActive"), WSTR("1"));
    }

    settings::OptionsPtr<settings::TOptions> Options() {
        auto options = settings::Create<settings::TOptions>(false, WSTR("SOFTWARE\\Vantrel\\Gatewise"));
        options->SetSaveOnDestroy(false);
        return options;
    }

    std::vector<CheckResult> Run() { return diagnostics::RunDiagnostics(*Options()); }

    CheckResult Check(const std::string& id) {
        for (CheckResult& result : Run())
            if (result.id == id) return result;
        ADD_FAILURE() << "no check " << id;
        return {};
    }

    void StoreSecret(const WCHAR* password) {
        std::vector<BYTE> bytes(std::char_traits<WCHAR>::length(password) * sizeof(WCHAR));
        std::memcpy(bytes.data(), password, bytes.size());
        machine.lsaSecrets[WSTR("DefaultPassword")] = bytes;
    }

    void BecomeStandardUser() { machine.processGroups = {{UsersSid(), SE_GROUP_ENABLED}}; }

    void StoreOption(const WCHAR* name, const WCHAR* value) {
        machine.SetString(HKEY_CURRENT_USER, WSTR("SOFTWARE\\Vantrel\\Gatewise"), name, value);
    }
};

TEST_F(DiagnosticsTest, CleanMachineHasOnlyOkVerdictsApartFromTheMissingAccount) {
    for (const CheckResult& result : Run()) {
        EXPECT_FALSE(result.finding.empty()) << result.id;
        const Verdict expected = result.id == "autologon-account" ? Verdict::Warning : Verdict::Ok;
        EXPECT_EQ(result.verdict, expected) << result.id << ": " << result.finding;
        // Information may say where to turn something off; anything else needs a fix.
        if (result.verdict != Verdict::Ok) EXPECT_FALSE(result.fix.empty()) << result.id;
        if (result.id != "restart-sign-on") EXPECT_TRUE(result.verdict != Verdict::Ok || result.fix.empty()) << result.id;
    }
}

TEST_F(DiagnosticsTest, EveryCheckOnlyReads) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    SetWinlogon(WSTR("DefaultPassword"), WSTR("plain"));
    SetWinlogon(WSTR("LegalNoticeText"), WSTR("Authorised use only"));
    auto options = Options();
    machine.ClearCalls();
    diagnostics::RunDiagnostics(*options);
    for (const char* write : {"RegCreateKeyExW", "RegSetValueExW", "RegDeleteValueW", "LsaStorePrivateData",
                              "PowerWriteACValueIndex", "PowerWriteDCValueIndex", "PowerSetActiveScheme",
                              "SystemParametersInfoW"})
        EXPECT_EQ(machine.CountCalls(write), 0) << write;
    EXPECT_FALSE(machine.HasKey(HKEY_LOCAL_MACHINE, kWakePolicy));
    for (const std::string& open : machine.CallsTo("RegOpenKeyExW"))
        EXPECT_NE(open.find("access=0x20119"), std::string::npos) << open;  // KEY_READ and the 64-bit view
}

TEST_F(DiagnosticsTest, AdministratorRightsAreOkAndTheirLackAWarning) {
    EXPECT_EQ(Check("administrator").verdict, Verdict::Ok);
    BecomeStandardUser();
    const CheckResult result = Check("administrator");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_NE(result.finding.find("only the screen saver"), std::string::npos);
    EXPECT_FALSE(result.fix.empty());
}

TEST_F(DiagnosticsTest, PasswordLessSignInEnforcedIsAWarning) {
    const WCHAR* key = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\PasswordLess\\Device");
    machine.SetDword(HKEY_LOCAL_MACHINE, key, WSTR("DevicePasswordLessBuildVersion"), 0);
    EXPECT_EQ(Check("password-less-sign-in").verdict, Verdict::Ok);
    machine.SetDword(HKEY_LOCAL_MACHINE, key, WSTR("DevicePasswordLessBuildVersion"), 2);
    const CheckResult result = Check("password-less-sign-in");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_NE(result.finding.find("skip automatic logon"), std::string::npos);
    EXPECT_NE(result.fix.find("\"Require Windows Hello sign-in for Microsoft accounts\" (Windows 10)"),
              std::string::npos);
    EXPECT_NE(result.fix.find("only allow Windows Hello sign-in for Microsoft accounts on this device\" (Windows 11)"),
              std::string::npos);
}

TEST_F(DiagnosticsTest, BitLockerPinIsToldWhenElevatedAndNotLookedForOtherwise) {
    EXPECT_EQ(Check("bitlocker-pin").finding, "BitLocker asks for no PIN before Windows starts from drive C:.");
    EXPECT_EQ(Args("IsKeyProtectorAvailable"), "C:,4 | C:,6");
    machine.bitLockerProtectors = std::vector<ULONG>{1, 6};
    CheckResult result = Check("bitlocker-pin");
    EXPECT_EQ(result.verdict, Verdict::Ok);
    EXPECT_NE(result.finding.find("asks for its PIN before Windows starts"), std::string::npos);

    machine.bitLockerProtectors.reset();
    EXPECT_EQ(Check("bitlocker-pin").verdict, Verdict::Ok);
    machine.Fail("IsKeyProtectorAvailable", 0x80041003);  // WBEM_E_ACCESS_DENIED
    result = Check("bitlocker-pin");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_EQ(result.finding, "Could not be checked: BitLocker's key protectors could not be read (error 0x80041003).");

    BecomeStandardUser();
    machine.ClearCalls();
    EXPECT_NE(Check("bitlocker-pin").finding.find("Not checked"), std::string::npos);
    EXPECT_EQ(machine.CountCalls("IsKeyProtectorAvailable"), 0);
}

TEST_F(DiagnosticsTest, WakePolicyDefeatsAManagedResumeSetting) {
    machine.SetDword(HKEY_LOCAL_MACHINE, kWakePolicy, WSTR("DCSettingIndex"), 0);
    CheckResult result = Check("wake-policy");
    EXPECT_EQ(result.verdict, Verdict::Problem);
    EXPECT_NE(result.finding.find("plugged in: not set; on battery: does not ask"), std::string::npos)
        << result.finding;
    machine.SetDword(HKEY_LOCAL_MACHINE, kWakePolicy, WSTR("ACSettingIndex"), 1);
    EXPECT_NE(Check("wake-policy").finding.find("plugged in: asks"), std::string::npos);

    StoreOption(WSTR("AutochangeStandby"), WSTR("False"));
    EXPECT_EQ(Check("wake-policy").verdict, Verdict::Warning);
}

TEST_F(DiagnosticsTest, WakeSignInChoiceThatDisagreesWithThePowerSettingIsAWarning) {
    EXPECT_NE(Check("wake-sign-in").finding.find("no Modern Standby"), std::string::npos);
    machine.modernStandby = true;
    const auto setDelay = [&](DWORD seconds) {
        machine.SetDword(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), seconds);
    };
    setDelay(0);
    EXPECT_EQ(Check("wake-sign-in").verdict, Verdict::Ok);
    setDelay(0xFFFFFFFF);
    CheckResult result = Check("wake-sign-in");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_NE(result.finding.find("is Never while the power setting asks"), std::string::npos) << result.finding;
    setDelay(900);
    EXPECT_NE(Check("wake-sign-in").finding.find("is after 15 minutes:"), std::string::npos);
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), WSTR("900"));
    EXPECT_NE(Check("wake-sign-in").finding.find("not a number"), std::string::npos);

    StoreOption(WSTR("AutochangeStandby"), WSTR("False"));
    setDelay(900);
    EXPECT_EQ(Check("wake-sign-in").verdict, Verdict::Ok);
}

TEST_F(DiagnosticsTest, DomainRequiresTheWakePasswordUnlessAPolicyAllowsTheChoice) {
    machine.joinStatus = NetSetupDomainName;
    EXPECT_EQ(Check("domain-wake-delay").verdict, Verdict::Ok) << "no Modern Standby";
    machine.modernStandby = true;
    const CheckResult result = Check("domain-wake-delay");
    EXPECT_EQ(result.verdict, Verdict::Problem);
    EXPECT_NE(result.fix.find("resuming from connected standby"), std::string::npos);
    machine.SetDword(HKEY_LOCAL_MACHINE, WSTR("SOFTWARE\\Policies\\Microsoft\\Windows\\System"),
                     WSTR("AllowDomainDelayLock"), 1);
    EXPECT_EQ(Check("domain-wake-delay").verdict, Verdict::Ok);
    machine.SetDword(HKEY_LOCAL_MACHINE, WSTR("SOFTWARE\\Policies\\Microsoft\\Windows\\System"),
                     WSTR("AllowDomainDelayLock"), 0);
    StoreOption(WSTR("AutochangeStandby"), WSTR("False"));
    EXPECT_EQ(Check("domain-wake-delay").verdict, Verdict::Warning);
    machine.joinStatus = NetSetupWorkgroupName;
    EXPECT_EQ(Check("domain-wake-delay").verdict, Verdict::Ok);
}

TEST_F(DiagnosticsTest, MachineInactivityLimitLocksWhateverTheScreenSaverSays) {
    machine.SetDword(HKEY_LOCAL_MACHINE, kPolicySystem, WSTR("InactivityTimeoutSecs"), 0);
    EXPECT_EQ(Check("inactivity-limit").verdict, Verdict::Ok);
    machine.SetDword(HKEY_LOCAL_MACHINE, kPolicySystem, WSTR("InactivityTimeoutSecs"), 900);
    const CheckResult result = Check("inactivity-limit");
    EXPECT_EQ(result.verdict, Verdict::Problem);
    EXPECT_NE(result.finding.find("after 15 minutes without input"), std::string::npos);
    StoreOption(WSTR("AutochangeScreenSaver"), WSTR("False"));
    EXPECT_EQ(Check("inactivity-limit").verdict, Verdict::Warning);
}

TEST_F(DiagnosticsTest, DynamicLockIsAWarning) {
    const WCHAR* key = WSTR("Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
    machine.SetDword(HKEY_CURRENT_USER, key, WSTR("EnableGoodbye"), 0);
    EXPECT_EQ(Check("dynamic-lock").verdict, Verdict::Ok);
    machine.SetDword(HKEY_CURRENT_USER, key, WSTR("EnableGoodbye"), 1);
    const CheckResult result = Check("dynamic-lock");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_NE(result.finding.find("paired with it"), std::string::npos);
}

TEST_F(DiagnosticsTest, ScreenSaverPolicyDefeatsAManagedScreenSaverSetting) {
    EXPECT_EQ(Check("screen-saver-policy").verdict, Verdict::Ok);
    machine.SetString(HKEY_CURRENT_USER, kDesktopPolicy, WSTR("ScreenSaverIsSecure"), WSTR("1"));
    CheckResult result = Check("screen-saver-policy");
    EXPECT_EQ(result.verdict, Verdict::Problem);
    EXPECT_NE(result.finding.find("always ask"), std::string::npos);
    machine.SetString(HKEY_CURRENT_USER, kDesktopPolicy, WSTR("ScreenSaverIsSecure"), WSTR("0"));
    EXPECT_NE(Check("screen-saver-policy").finding.find("never ask"), std::string::npos);

    StoreOption(WSTR("AutochangeScreenSaver"), WSTR("False"));
    EXPECT_EQ(Check("screen-saver-policy").verdict, Verdict::Warning);
}

TEST_F(DiagnosticsTest, ScreenSaverNotInUseMakesItsPasswordMoot) {
    EXPECT_EQ(Check("screen-saver-in-use").verdict, Verdict::Ok);
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaveActive"), WSTR("0"));
    EXPECT_EQ(Check("screen-saver-in-use").verdict, Verdict::Warning);
    // A policy's value wins over the user's.
    machine.SetString(HKEY_CURRENT_USER, kDesktopPolicy, WSTR("ScreenSaveActive"), WSTR("1"));
    EXPECT_EQ(Check("screen-saver-in-use").verdict, Verdict::Ok);
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("SCRNSAVE.EXE"), WSTR(""));
    const CheckResult result = Check("screen-saver-in-use");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_NE(result.finding.find("No screen saver is chosen"), std::string::npos);
    machine.SetString(HKEY_CURRENT_USER, kDesktopPolicy, WSTR("SCRNSAVE.EXE"), WSTR("ssText3d.scr"));
    EXPECT_EQ(Check("screen-saver-in-use").finding, "The screen saver ssText3d.scr is in use.");
}

TEST_F(DiagnosticsTest, LogonBannerFromWinlogonOrPolicyStopsAutomaticLogon) {
    SetWinlogon(WSTR("LegalNoticeCaption"), WSTR(""));
    machine.SetString(HKEY_LOCAL_MACHINE, kPolicySystem, WSTR("legalnoticetext"), WSTR(""));
    EXPECT_EQ(Check("logon-banner").verdict, Verdict::Ok);

    // The pair under Winlogon stops automatic logon before Windows 6; later it may be a leftover.
    SetWinlogon(WSTR("LegalNoticeCaption"), WSTR("Notice"));
    CheckResult result = Check("logon-banner");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_NE(result.finding.find("may have no effect"), std::string::npos);
    {
        os::sim::SimMachine windowsXp;
        os::ScopedMachine use(windowsXp);
        windowsXp.majorVersion = 5;
        windowsXp.SetString(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("LegalNoticeCaption"), WSTR("Notice"));
        result = Check("logon-banner");
    }
    EXPECT_EQ(result.verdict, Verdict::Problem);
    EXPECT_NE(result.fix.find("LegalNoticeCaption"), std::string::npos);

    SetWinlogon(WSTR("LegalNoticeCaption"), WSTR(""));
    machine.SetString(HKEY_LOCAL_MACHINE, kPolicySystem, WSTR("legalnoticetext"), WSTR("Authorised use only"));
    result = Check("logon-banner");
    EXPECT_EQ(result.verdict, Verdict::Problem);
    EXPECT_NE(result.finding.find("security policy"), std::string::npos);

    StoreOption(WSTR("AutochangeStartup"), WSTR("False"));
    EXPECT_EQ(Check("logon-banner").verdict, Verdict::Warning);
}

TEST_F(DiagnosticsTest, AutoLogonCountSwitchesAutomaticLogonOff) {
    EXPECT_EQ(Check("autologon-count").verdict, Verdict::Ok);
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 3);
    CheckResult result = Check("autologon-count");
    EXPECT_EQ(result.verdict, Verdict::Problem);
    EXPECT_NE(result.finding.find("AutoLogonCount is 3"), std::string::npos);
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 0);
    EXPECT_NE(Check("autologon-count").finding.find("at the next start"), std::string::npos);
}

TEST_F(DiagnosticsTest, PlainTextPasswordIsAProblemThatNeverShowsThePassword) {
    SetWinlogon(WSTR("DefaultPassword"), WSTR(""));
    EXPECT_EQ(Check("plain-text-password").verdict, Verdict::Ok);
    SetWinlogon(WSTR("DefaultPassword"), WSTR("Sesame-4711"));
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    EXPECT_EQ(Check("plain-text-password").verdict, Verdict::Problem);
    for (const CheckResult& result : Run()) {
        EXPECT_EQ(result.finding.find("Sesame"), std::string::npos) << result.id;
        EXPECT_EQ(result.fix.find("Sesame"), std::string::npos) << result.id;
    }
}

TEST_F(DiagnosticsTest, AutoLogonOfAnotherAccountIsAWarning) {
    EXPECT_EQ(Check("autologon-user").verdict, Verdict::Ok);
    SetWinlogon(WSTR("DefaultUserName"), WSTR("ALICE"));
    SetWinlogon(WSTR("DefaultDomainName"), WSTR("gatewise-pc"));
    EXPECT_EQ(Check("autologon-user").verdict, Verdict::Ok);
    SetWinlogon(WSTR("DefaultDomainName"), WSTR(""));
    EXPECT_EQ(Check("autologon-user").verdict, Verdict::Ok);
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    const CheckResult result = Check("autologon-user");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_EQ(result.finding, "Automatic logon signs in bob, not the current account GATEWISE-PC\\alice.");
}

TEST_F(DiagnosticsTest, AutoLogonAccountNeedsANameAndAPasswordForRelaxedMode) {
    EXPECT_EQ(Check("autologon-account").verdict, Verdict::Warning);
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    SetWinlogon(WSTR("DefaultDomainName"), WSTR("GATEWISE-PC"));
    CheckResult result = Check("autologon-account");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_NE(result.finding.find("no password stored"), std::string::npos);
    StoreSecret(WSTR("wonderland"));
    result = Check("autologon-account");
    EXPECT_EQ(result.verdict, Verdict::Ok);
    EXPECT_EQ(result.finding, "Automatic logon uses GATEWISE-PC\\alice, with its password in the protected store.");

    // Without the start-up setting nothing here matters to a switch.
    machine.lsaSecrets.clear();
    StoreOption(WSTR("AutochangeStartup"), WSTR("False"));
    EXPECT_EQ(Check("autologon-account").verdict, Verdict::Ok);
}

TEST_F(DiagnosticsTest, PowerSchemesThatDisagreeWarnWhenOnlyTheActiveOneIsSwitched) {
    EXPECT_EQ(Check("power-schemes").finding, "The 3 power plans agree on the password on wake.");
    machine.powerSchemes[2].lockOnWakeDc = 0;
    CheckResult result = Check("power-schemes");
    EXPECT_EQ(result.verdict, Verdict::Warning);
    EXPECT_NE(result.finding.find("1 of the 3 power plans"), std::string::npos) << result.finding;
    EXPECT_NE(result.fix.find("ModifyAllPowerProfiles=True"), std::string::npos);

    StoreOption(WSTR("ModifyAllPowerProfiles"), WSTR("True"));
    machine.ClearCalls();
    EXPECT_EQ(Check("power-schemes").verdict, Verdict::Ok);
    StoreOption(WSTR("ModifyAllPowerProfiles"), WSTR("False"));
    StoreOption(WSTR("AutochangeStandby"), WSTR("False"));
    EXPECT_EQ(Check("power-schemes").verdict, Verdict::Ok);
    EXPECT_EQ(machine.CountCalls("PowerEnumerate"), 0);
}

TEST_F(DiagnosticsTest, PowerSchemesShareOneResumeSettingBeforeWindows6) {
    UseWindowsXp();
    machine.powerSchemes[2].lockOnWakeDc = 0;
    EXPECT_EQ(Check("power-schemes").verdict, Verdict::Ok);
    EXPECT_EQ(machine.CountCalls("PowerEnumerate"), 0);
}

TEST_F(DiagnosticsTest, CheckThatCannotReadIsAWarningAndTheOthersStillRun) {
    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), WSTR("3"));
    machine.Fail("PowerEnumerate", ERROR_CALL_NOT_IMPLEMENTED);
    const std::vector<CheckResult> results = Run();
    const std::vector<std::string> ids = diagnostics::CheckIds();
    ASSERT_EQ(results.size(), ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(results[i].id, ids[i]) << "in the fixed order";
    const auto find = [&](const char* id) {
        return *std::find_if(results.begin(), results.end(), [&](const CheckResult& r) { return r.id == id; });
    };
    EXPECT_EQ(find("autologon-count").verdict, Verdict::Warning);
    EXPECT_EQ(find("autologon-count").finding, "Could not be checked: Invalid data type for 'AutoLogonCount'");
    EXPECT_EQ(find("power-schemes").finding,
              "Could not be checked: System Error.  Code: 120. This function is not supported on this system.");
    EXPECT_EQ(find("logon-banner").verdict, Verdict::Ok);
}

TEST_F(DiagnosticsTest, SortingPutsProblemsFirstAndKeepsTheOrderWithin) {
    const auto check = [](std::string id, Verdict verdict) { return CheckResult{std::move(id), verdict, "", ""}; };
    std::vector<CheckResult> results = {check("a", Verdict::Ok), check("b", Verdict::Warning),
                                        check("c", Verdict::Problem), check("d", Verdict::Warning),
                                        check("e", Verdict::Problem)};
    EXPECT_TRUE(diagnostics::HasProblem(results));
    diagnostics::SortBySeverity(results);
    std::string order;
    for (const CheckResult& r : results) order += r.id;
    EXPECT_EQ(order, "cebda");
    EXPECT_FALSE(diagnostics::HasProblem({check("a", Verdict::Warning)}));
}

TEST_F(DiagnosticsTest, AutologonStateTellsWhereThePasswordIs) {
    using diagnostics::ReadAutologonState;
    EXPECT_EQ(ReadAutologonState().password, PasswordStore::None);
    StoreSecret(WSTR("wonderland"));
    EXPECT_EQ(ReadAutologonState().password, PasswordStore::Protected);
    SetWinlogon(WSTR("DefaultPassword"), WSTR("wonderland"));
    EXPECT_EQ(ReadAutologonState().password, PasswordStore::Both);
    machine.lsaSecrets.clear();
    EXPECT_EQ(ReadAutologonState().password, PasswordStore::Plain);
    machine.Fail("LsaOpenPolicy", STATUS_ACCESS_DENIED);
    EXPECT_EQ(ReadAutologonState().password, PasswordStore::Plain);
    SetWinlogon(WSTR("DefaultPassword"), WSTR(""));
    EXPECT_EQ(ReadAutologonState().password, PasswordStore::Unknown);
    EXPECT_STREQ(diagnostics::PasswordStoreName(PasswordStore::Unknown), "unknown");
    EXPECT_STREQ(diagnostics::PasswordStoreName(PasswordStore::Protected), "protected-store");
}

TEST_F(DiagnosticsTest, AutologonStateNeedsNoWriteAccess) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    SetWinlogon(WSTR("DefaultDomainName"), WSTR("OFFICE"));
    machine.Key(HKEY_LOCAL_MACHINE, kWinlogon).readOnly = true;
    BecomeStandardUser();
    const diagnostics::AutologonState state = diagnostics::ReadAutologonState();
    EXPECT_EQ(diagnostics::AccountDisplayName(state.user, state.domain), "OFFICE\\bob");
    EXPECT_EQ(diagnostics::AccountDisplayName(state.user, WSTR("")), "bob");
}

// For one mode, a problem is only what stops that mode's switch: what stops
// the other mode is information, an exposed password a warning.
TEST_F(DiagnosticsTest, ForOneModeOnlyWhatStopsItIsAProblem) {
    SetWinlogon(WSTR("DefaultPassword"), WSTR("plain"));                          // no user: stops relaxed
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 0);  // stops relaxed
    machine.SetDword(HKEY_LOCAL_MACHINE, kWakePolicy, WSTR("ACSettingIndex"), 0);  // stops secure on mains
    machine.SetDword(HKEY_LOCAL_MACHINE, kWakePolicy, WSTR("DCSettingIndex"), 1);  // stops relaxed on battery
    machine.SetString(HKEY_CURRENT_USER, kDesktopPolicy, WSTR("ScreenSaverIsSecure"), WSTR("0"));  // stops secure
    const struct {
        const char* id;
        Verdict both;
        Verdict secure;
        Verdict relaxed;
    } cases[] = {
        {"autologon-account", Verdict::Warning, Verdict::Ok, Verdict::Problem},
        {"plain-text-password", Verdict::Problem, Verdict::Warning, Verdict::Warning},
        {"autologon-count", Verdict::Problem, Verdict::Ok, Verdict::Problem},
        {"wake-policy", Verdict::Problem, Verdict::Problem, Verdict::Problem},
        {"screen-saver-policy", Verdict::Problem, Verdict::Problem, Verdict::Ok},
    };
    auto options = Options();
    std::map<std::string, Verdict> verdicts[3];
    for (const settings::TPromptMode target : {settings::pmCustom, settings::pmSecure, settings::pmRelaxed})
        for (const CheckResult& result : diagnostics::RunDiagnostics(*options, target))
            verdicts[target][result.id] = result.verdict;
    for (const auto& c : cases) {
        EXPECT_EQ(verdicts[settings::pmCustom].at(c.id), c.both) << c.id;
        EXPECT_EQ(verdicts[settings::pmSecure].at(c.id), c.secure) << c.id;
        EXPECT_EQ(verdicts[settings::pmRelaxed].at(c.id), c.relaxed) << c.id;
    }
}
