#include "engine/Exception.h"
#include "settings/Options.h"
#include "MachineTest.h"

using settings::pmCustom;
using settings::pmRelaxed;
using settings::pmSecure;
using settings::TOptions;

class ModeEngineTest : public MachineTest {
protected:
    void SetUp() override { SetWinlogon(WSTR("DefaultUserName"), WSTR("alice")); }

    // Puts each setting in the given state, or leaves it disabled.
    void Arrange(std::optional<bool> startup, std::optional<bool> resume, std::optional<bool> screenSaver) {
        options.SetAutochangeStartup(startup.has_value());
        options.SetAutochangeStandby(resume.has_value());
        options.SetAutochangeScreenSaver(screenSaver.has_value());
        if (startup) SetWinlogon(WSTR("AutoAdminLogon"), *startup ? WSTR("0") : WSTR("1"));
        if (resume) machine.powerSchemes[machine.activeScheme].lockOnWakeAc = *resume ? 1 : 0;
        if (screenSaver) machine.screenSaverSecure = *screenSaver;
        machine.ClearCalls();
    }
    bool ScreenSaverAsks() const { return machine.screenSaverSecure != FALSE; }
    bool ActiveSchemeAsks() const {
        const auto& scheme = machine.powerSchemes[machine.activeScheme];
        return scheme.lockOnWakeAc && scheme.lockOnWakeDc;
    }

    TOptions options{false, WSTR("SOFTWARE\\Vantrel\\Gatewise")};
};

TEST_F(ModeEngineTest, AgreeingSettingsGiveTheirModeAndDisagreeingOnesCustom) {
    Arrange(true, true, true);
    EXPECT_EQ(options.GetCurrentMode(), pmSecure);
    Arrange(false, false, false);
    EXPECT_EQ(options.GetCurrentMode(), pmRelaxed);
    Arrange(true, false, true);
    EXPECT_EQ(options.GetCurrentMode(), pmCustom);
    Arrange(std::nullopt, true, false);
    EXPECT_EQ(options.GetCurrentMode(), pmCustom);
}

TEST_F(ModeEngineTest, NoEnabledSettingIsCustomAndTouchesNothing) {
    Arrange(std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(options.GetCurrentMode(), pmCustom);
    options.ApplyMode(pmSecure);
    EXPECT_EQ(machine.CountCalls("RegCreateKeyExW"), 0);
    EXPECT_EQ(machine.CountCalls("SystemParametersInfoW"), 0);
    EXPECT_EQ(machine.CountCalls("PowerGetActiveScheme"), 0);
}

TEST_F(ModeEngineTest, ScreenSaverAloneFollowsItsSetting) {
    Arrange(std::nullopt, std::nullopt, true);
    EXPECT_EQ(options.GetCurrentMode(), pmSecure);
    Arrange(std::nullopt, std::nullopt, false);
    EXPECT_EQ(options.GetCurrentMode(), pmRelaxed);
}

TEST_F(ModeEngineTest, ReadsInTheOrderStartupResumeScreenSaverWithTwoAdministratorChecks) {
    Arrange(true, true, true);
    options.GetCurrentMode();
    std::vector<std::string> order;
    for (const auto& call : machine.Calls())
        if (call.function == "RegCreateKeyExW" || call.function == "PowerGetActiveScheme" ||
            call.function == "SystemParametersInfoW")
            order.push_back(call.function);
    EXPECT_EQ(order, (std::vector<std::string>{"RegCreateKeyExW", "PowerGetActiveScheme", "SystemParametersInfoW"}));
    EXPECT_EQ(machine.CountCalls("CheckTokenMembership"), 2);
}

TEST_F(ModeEngineTest, ApplyModeWritesEveryEnabledSettingAndTheModeReadsBack) {
    Arrange(true, true, true);
    options.ApplyMode(pmRelaxed);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("1")));
    EXPECT_FALSE(ActiveSchemeAsks());
    EXPECT_FALSE(ScreenSaverAsks());
    EXPECT_EQ(options.GetCurrentMode(), pmRelaxed);
    options.ApplyMode(pmSecure);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0")));
    EXPECT_TRUE(ActiveSchemeAsks());
    EXPECT_TRUE(ScreenSaverAsks());
    EXPECT_EQ(options.GetCurrentMode(), pmSecure);
    // Relaxed mode writes neither the account nor the password.
    EXPECT_EQ(machine.CountCalls("LsaStorePrivateData"), 0);
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), os::WString(WSTR("alice")));
}

TEST_F(ModeEngineTest, ApplyCustomChangesNothingEvenWithEveryOptionOn) {
    Arrange(true, false, true);
    options.SetModifyAllPowerProfiles(true);
    options.ApplyMode(pmCustom);
    EXPECT_TRUE(machine.Calls().empty());
}

TEST_F(ModeEngineTest, ModifyAllPowerProfilesWritesEveryScheme) {
    Arrange(std::nullopt, false, std::nullopt);
    for (auto& scheme : machine.powerSchemes) scheme.lockOnWakeAc = scheme.lockOnWakeDc = 0;
    options.SetModifyAllPowerProfiles(true);
    options.ApplyMode(pmSecure);
    EXPECT_EQ(machine.CountCalls("PowerEnumerate"), 4);
    for (const auto& scheme : machine.powerSchemes) {
        EXPECT_EQ(scheme.lockOnWakeAc, 1u);
        EXPECT_EQ(scheme.lockOnWakeDc, 1u);
    }
}

TEST_F(ModeEngineTest, FailingResumeWriteKeepsTheStartupChangeAndSkipsTheScreenSaver) {
    Arrange(true, true, true);
    machine.Fail("PowerWriteACValueIndex", ERROR_ACCESS_DENIED);
    try {
        options.ApplyMode(pmRelaxed);
        FAIL();
    } catch (const engine::EOSError& e) {
        EXPECT_STREQ(e.what(), "System Error.  Code: 5.\r\nAccess is denied.");
    }
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("1")));
    EXPECT_TRUE(ScreenSaverAsks());
    EXPECT_EQ(machine.CountCalls("SystemParametersInfoW"), 0);
    machine.Fail("PowerWriteACValueIndex", 0, 0, 0);
    EXPECT_EQ(options.GetCurrentMode(), pmCustom);
}

TEST_F(ModeEngineTest, ReadFailurePassesThroughUnchanged) {
    Arrange(std::nullopt, std::nullopt, true);
    machine.Fail("SystemParametersInfoW", ERROR_INVALID_SPI_VALUE);
    EXPECT_EQ(MessageOf<engine::EOSError>([&] { options.GetCurrentMode(); }),
              "System Error.  Code: 1439.\r\nInvalid system-wide (SPI_*) parameter.");
}

TEST_F(ModeEngineTest, NonAdministratorNeitherReadsNorWritesMachineSettingsAndLosesTheOptions) {
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    Arrange(false, false, true);
    EXPECT_EQ(options.GetCurrentMode(), pmSecure);
    options.ApplyMode(pmRelaxed);
    EXPECT_EQ(machine.CountCalls("RegCreateKeyExW"), 1);  // the desktop key only
    EXPECT_EQ(machine.CountCalls("PowerGetActiveScheme"), 0);
    EXPECT_FALSE(ScreenSaverAsks());
    // The stored values are cleared, not masked: an administrator now reads false too.
    machine.processGroups = {{os::sim::AdministratorsSid(), SE_GROUP_ENABLED}};
    EXPECT_FALSE(options.AutochangeStartup());
    EXPECT_FALSE(options.AutochangeStandby());
}

TEST_F(ModeEngineTest, WriteAccessorsOfGatedOptionsStoreTheValueUntilTheNextRead) {
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    options.SetAutochangeStartup(true);
    machine.processGroups = {{os::sim::AdministratorsSid(), SE_GROUP_ENABLED}};
    EXPECT_TRUE(options.AutochangeStartup());
}
