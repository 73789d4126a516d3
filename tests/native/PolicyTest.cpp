// The administrator's policy under HKEY_LOCAL_MACHINE\SOFTWARE\Policies:
// only REG_DWORD values of 0 or 1 count; they override the user's options
// without overwriting them, never lift the administrator rule, and keep
// relaxed mode off, undo included; they stand above --only and a run as
// SYSTEM in what a switch covers.
#include "diagnostics/Diagnostics.h"
#include "engine/ConsoleUser.h"
#include "switching/Coverage.h"
#include "switching/Switch.h"
#include "switching/Undo.h"
#include "ui/GatewiseMainDlgCore.h"
#include "MachineTest.h"

using settings::pmRelaxed;
using settings::pmSecure;

class PolicyTest : public MachineTest {
protected:
    static constexpr const WCHAR* kPolicyKey = WSTR("SOFTWARE\\Policies\\Vantrel\\Gatewise");
    static constexpr const WCHAR* kOptionsKey = WSTR("SOFTWARE\\Vantrel\\Gatewise");

    void SetPolicy(const WCHAR* name, DWORD value) { machine.SetDword(HKEY_LOCAL_MACHINE, kPolicyKey, name, value); }
    settings::OptionsPtr<settings::TOptions> LoadOptions() {
        auto options = settings::Create<settings::TOptions>(false, kOptionsKey);
        options->SetSaveOnDestroy(false);
        return options;
    }
    switching::TSwitchResult Switch(settings::TOptions& options, settings::TPromptMode mode) {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        return switching::SwitchMode(options, mode, lock);
    }
    switching::TUndoOutcome Undo(settings::TOptions& options) {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        return switching::UndoLastSwitch(options, false, lock);
    }
    void MakeRelaxed() {
        SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
        SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
        SetWinlogon(WSTR("DefaultPassword"), WSTR("wonderland"));
        for (auto& scheme : machine.powerSchemes) scheme.lockOnWakeAc = scheme.lockOnWakeDc = 0;
        machine.screenSaverSecure = FALSE;
    }
};

TEST_F(PolicyTest, OnlyDwordsOfZeroOrOneCountAndTheOthersAreNamedAsProblems) {
    EXPECT_TRUE(settings::TPolicies::Read().InForce().empty()) << "no key, no policy";
    EXPECT_TRUE(settings::TPolicies::Read().Problems().empty());

    SetPolicy(WSTR("AllowRelaxedMode"), 0);
    SetPolicy(WSTR("VerifyPassword"), 1);
    SetPolicy(WSTR("AutochangeStandby"), 2);
    machine.SetString(HKEY_LOCAL_MACHINE, kPolicyKey, WSTR("AutochangeStartup"), WSTR("1"));
    machine.SetRaw(HKEY_LOCAL_MACHINE, kPolicyKey, WSTR("ShowAdditionalProducts"), REG_DWORD, {0, 0});
    const settings::TPolicies policies = settings::TPolicies::Read();

    ASSERT_EQ(policies.InForce().size(), 2u);
    EXPECT_EQ(policies.InForce()[0].name, "AllowRelaxedMode");
    EXPECT_FALSE(policies.RelaxedModeAllowed());
    EXPECT_EQ(policies.Value("VerifyPassword"), true);
    EXPECT_FALSE(policies.Sets("AutochangeStandby"));
    EXPECT_FALSE(policies.Sets("AutochangeStartup"));
    EXPECT_TRUE(policies.ShowsAdditionalProducts()) << "a damaged value is no policy";
    ASSERT_EQ(policies.Problems().size(), 3u);
    EXPECT_NE(policies.Problems()[0].find("AutochangeStartup"), std::string::npos);
    EXPECT_NE(policies.Problems()[0].find("is REG_SZ, not a REG_DWORD of 0 or 1"), std::string::npos);
    EXPECT_NE(policies.Problems()[1].find("AutochangeStandby under HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Vantrel\\"
                                          "Gatewise is 2, not 0 or 1"),
              std::string::npos);
    EXPECT_NE(policies.Problems()[2].find("not 4 bytes long"), std::string::npos);

    // Read only, in the 64-bit view.
    EXPECT_NE(Args("RegOpenKeyExW").find("HKLM\\SOFTWARE\\Policies\\Vantrel\\Gatewise,access=0x20119"), std::string::npos)
        << Args("RegOpenKeyExW");
}

TEST_F(PolicyTest, PolicyOverridesTheOptionsButTheUsersOwnValuesStayStored) {
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("AutochangeScreenSaver"), WSTR("True"));
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("ModifyAllPowerProfiles"), WSTR("False"));
    SetPolicy(WSTR("AutochangeScreenSaver"), 0);
    SetPolicy(WSTR("ModifyAllPowerProfiles"), 1);
    SetPolicy(WSTR("ForgetPasswordInSecureMode"), 1);
    SetPolicy(WSTR("VerifyPassword"), 0);
    auto options = LoadOptions();
    EXPECT_FALSE(options->AutochangeScreenSaver());
    EXPECT_TRUE(options->ModifyAllPowerProfiles());
    EXPECT_TRUE(options->ForgetPasswordInSecureMode());
    EXPECT_FALSE(options->VerifyPassword());
    EXPECT_TRUE(options->SetByPolicy("VerifyPassword"));
    EXPECT_FALSE(options->SetByPolicy("AutochangeStartup"));

    options->Save();
    EXPECT_EQ(machine.String(HKEY_CURRENT_USER, kOptionsKey, WSTR("AutochangeScreenSaver")), WSTR("True"));
    EXPECT_EQ(machine.String(HKEY_CURRENT_USER, kOptionsKey, WSTR("ModifyAllPowerProfiles")), WSTR("False"));
    EXPECT_EQ(machine.String(HKEY_CURRENT_USER, kOptionsKey, WSTR("VerifyPassword")), WSTR("True"));

    // The switch covers what the policy says: the screen saver setting is left.
    Switch(*options, pmSecure);
    machine.screenSaverSecure = FALSE;
    MakeRelaxed();
    machine.screenSaverSecure = TRUE;
    Switch(*options, pmRelaxed);
    EXPECT_EQ(machine.screenSaverSecure, TRUE);
    for (const auto& scheme : machine.powerSchemes) EXPECT_EQ(scheme.lockOnWakeAc, 0u) << "every scheme";
}

TEST_F(PolicyTest, PolicyNeverLiftsTheAdministratorRule) {
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    SetPolicy(WSTR("AutochangeStartup"), 1);
    SetPolicy(WSTR("AutochangeStandby"), 1);
    auto options = LoadOptions();
    EXPECT_FALSE(options->AutochangeStartup());
    EXPECT_FALSE(options->AutochangeStandby());
    MakeRelaxed();
    Switch(*options, pmSecure);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1")) << "the start-up setting is left alone";
}

TEST_F(PolicyTest, RelaxedModeTurnedOffRefusesTheSwitchAndTheUndoBackToIt) {
    MakeRelaxed();
    auto options = LoadOptions();
    Switch(*options, pmSecure);  // recorded before the policy came
    SetPolicy(WSTR("AllowRelaxedMode"), 0);
    options = LoadOptions();
    machine.ClearCalls();

    const std::string refused = MessageOf<settings::EForbiddenByPolicy>([&] { Switch(*options, pmRelaxed); });
    EXPECT_EQ(refused, "Relaxed Mode is turned off by your organization (policy AllowRelaxedMode = 0 under "
                       "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Vantrel\\Gatewise). Nothing was changed.");
    EXPECT_EQ(MessageOf<settings::EForbiddenByPolicy>([&] { Undo(*options); }), refused);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("0"));
    EXPECT_EQ(machine.screenSaverSecure, TRUE);
    EXPECT_EQ(machine.CountCalls("RegSetValueExW"), 0);

    // Undoing a switch to relaxed mode goes back towards asking: allowed.
    SetPolicy(WSTR("AllowRelaxedMode"), 1);
    options = LoadOptions();
    Switch(*options, pmRelaxed);
    SetPolicy(WSTR("AllowRelaxedMode"), 0);
    EXPECT_EQ(Undo(*options).result, switching::TUndoResult::Done);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("0"));
}

TEST_F(PolicyTest, DiagnoseNamesThePoliciesAndTheValuesItIgnores) {
    auto options = LoadOptions();
    EXPECT_EQ(diagnostics::RunCheck("gatewise-policy", *options).finding, "No Gatewise policy is set.");

    SetPolicy(WSTR("AllowRelaxedMode"), 0);
    SetPolicy(WSTR("VerifyPassword"), 1);
    diagnostics::CheckResult result = diagnostics::RunCheck("gatewise-policy", *options);
    EXPECT_EQ(result.finding, "Your organization sets AllowRelaxedMode = 0, VerifyPassword = 1. Relaxed Mode is "
                              "turned off by your organization.");
    EXPECT_EQ(result.verdict, diagnostics::Verdict::Warning);
    EXPECT_EQ(diagnostics::RunCheck("gatewise-policy", *options, pmRelaxed).verdict, diagnostics::Verdict::Problem);
    EXPECT_EQ(diagnostics::RunCheck("gatewise-policy", *options, pmSecure).verdict, diagnostics::Verdict::Ok);

    machine.SetString(HKEY_LOCAL_MACHINE, kPolicyKey, WSTR("AutochangeStartup"), WSTR("1"));
    result = diagnostics::RunCheck("gatewise-policy", *options);
    EXPECT_EQ(result.verdict, diagnostics::Verdict::Warning);
    EXPECT_NE(result.finding.find("AutochangeStartup under"), std::string::npos) << result.finding;
}

TEST_F(PolicyTest, TheRelaxedExplanationLosesItsLinkForTheLine) {
    const os::WString line = WSTR("Relaxed Mode is turned off by your organization.");
    EXPECT_EQ(ui::WithoutRelaxedLink(WSTR("is properly secured (<a href=\"relaxed\">activate now</a>).\n"), line),
              WSTR("is properly secured.<br>Relaxed Mode is turned off by your organization."));
    EXPECT_EQ(ui::WithoutRelaxedLink(WSTR("Relaxed: <a href=\"relaxed\">go</a>"), line),
              WSTR("Relaxed: <br>Relaxed Mode is turned off by your organization."));
    EXPECT_EQ(ui::WithoutRelaxedLink(WSTR("No link here."), line),
              WSTR("No link here.<br>Relaxed Mode is turned off by your organization."));
}

TEST_F(PolicyTest, PolicyStandsAboveOnlyAndAboveARunAsSystem) {
    SetPolicy(WSTR("AutochangeStandby"), 0);
    SetPolicy(WSTR("AutochangeStartup"), 1);
    SetPolicy(WSTR("ModifyAllPowerProfiles"), 0);
    auto options = LoadOptions();
    const switching::TCoverage named = switching::DecideCoverage(*options, {settings::TSettingSet{false, true, true}});
    EXPECT_EQ(named.settings, (settings::TSettingSet{true, false, true}));
    EXPECT_EQ(named.leftOut, (std::vector<switching::TLeftOut>{{switching::TSetting::Resume,
                                                                switching::TLeftOutReason::Policy}}));

    machine.processUser = os::sim::LocalSystemSid();
    const engine::PerUserTargetScope nobody({engine::PerUserTarget::Nobody, {}});
    const switching::TCoverage asSystem = switching::DecideCoverage(*options);
    EXPECT_EQ(asSystem.settings, (settings::TSettingSet{true, false, false}));
    EXPECT_FALSE(asSystem.allSchemes) << "the policy picks the schemes, not the run as SYSTEM";
    SetPolicy(WSTR("AutochangeStartup"), 0);
    options = LoadOptions();
    EXPECT_EQ(switching::WhyNothingIsCovered(switching::DecideCoverage(*options)),
              "the screen saver setting belongs to the user at the console, and nobody is signed in there; the "
              "start-up and resume settings are turned off by your organization's policy");
}
