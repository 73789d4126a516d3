// What a switch covers is decided in one order: the rules on administrator
// rights and on a user in reach, then what the caller names, then a run as
// SYSTEM, then the user's options.
#include "engine/ConsoleUser.h"
#include "switching/Coverage.h"
#include "MachineTest.h"

using switching::TLeftOutReason;
using switching::TSetting;

class CoverageTest : public MachineTest {
protected:
    void SetUp() override {
        options = settings::Create<settings::TOptions>(false, WSTR("SOFTWARE\\Vantrel\\Gatewise"));
        options->SetSaveOnDestroy(false);
        // The user's options narrow the switch: the screen saver alone, in the active scheme.
        options->SetAutochangeStartup(false);
        options->SetAutochangeStandby(false);
        options->SetModifyAllPowerProfiles(false);
    }

    switching::TCoverage Decide(std::optional<settings::TSettingSet> only = std::nullopt) {
        return switching::DecideCoverage(*options, {only});
    }

    settings::OptionsPtr<settings::TOptions> options;
};

TEST_F(CoverageTest, TheCallerOutranksSystemWhichOutranksTheUsersOptions) {
    const switching::TCoverage byOptions = Decide();
    EXPECT_EQ(byOptions.settings, (settings::TSettingSet{false, false, true}));
    EXPECT_FALSE(byOptions.allSchemes);
    EXPECT_EQ(byOptions.leftOut, (std::vector<switching::TLeftOut>{{TSetting::Startup, TLeftOutReason::OptionsOff},
                                                                   {TSetting::Resume, TLeftOutReason::OptionsOff}}));

    const switching::TCoverage named = Decide(settings::TSettingSet{false, true, false});
    EXPECT_EQ(named.settings, (settings::TSettingSet{false, true, false}));
    EXPECT_EQ(named.leftOut, (std::vector<switching::TLeftOut>{{TSetting::Startup, TLeftOutReason::NotRequested},
                                                              {TSetting::ScreenSaver, TLeftOutReason::NotRequested}}));

    // Run as SYSTEM, nothing the user stored narrows the switch or picks the schemes.
    machine.processUser = os::sim::LocalSystemSid();
    const engine::PerUserTargetScope alice({engine::PerUserTarget::Console, {1, WSTR("S-1-5-21-1"), WSTR("PC\\alice")}});
    const switching::TCoverage asSystem = Decide();
    EXPECT_EQ(asSystem.settings, (settings::TSettingSet{true, true, true}));
    EXPECT_TRUE(asSystem.allSchemes);
    EXPECT_TRUE(asSystem.leftOut.empty());
    const switching::TCoverage namedToSystem = Decide(settings::TSettingSet{true, false, false});
    EXPECT_EQ(namedToSystem.settings, (settings::TSettingSet{true, false, false}));
    EXPECT_TRUE(namedToSystem.allSchemes);
}

TEST_F(CoverageTest, TheRulesHoldWhateverIsAskedAndTheReasonSaysWhy) {
    const std::vector<os::sim::TokenGroup> administrator = machine.processGroups;
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    const switching::TCoverage standard = Decide(settings::TSettingSet{true, true, false});
    EXPECT_TRUE(standard.settings.Empty());
    EXPECT_EQ(standard.leftOut,
              (std::vector<switching::TLeftOut>{{TSetting::Startup, TLeftOutReason::NeedsAdministrator},
                                                {TSetting::Resume, TLeftOutReason::NeedsAdministrator},
                                                {TSetting::ScreenSaver, TLeftOutReason::NotRequested}}));
    EXPECT_EQ(switching::WhyNothingIsCovered(standard),
              "the start-up and resume settings need administrator rights; the screen saver setting is not named by "
              "--only");

    machine.processGroups = administrator;
    machine.processUser = os::sim::LocalSystemSid();
    const engine::PerUserTargetScope nobody({engine::PerUserTarget::Nobody, {}});
    const switching::TCoverage alone = Decide(settings::TSettingSet{false, false, true});
    EXPECT_TRUE(alone.settings.Empty());
    EXPECT_EQ(switching::WhyNothingIsCovered(alone),
              "the screen saver setting belongs to the user at the console, and nobody is signed in there; the "
              "start-up and resume settings are not named by --only");
    EXPECT_EQ(Decide().settings, (settings::TSettingSet{true, true, false}));
}
