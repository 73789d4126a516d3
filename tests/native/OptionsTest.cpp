#include "settings/Options.h"
#include "MachineTest.h"

using settings::CreateGlobalOptions;
using settings::FreeGlobalOptions;
using settings::GlobalOptions;

class OptionsTest : public MachineTest {
protected:
    void TearDown() override {
        FreeGlobalOptions();
        MachineTest::TearDown();
    }
    void StartUp() { CreateGlobalOptions(os::WString(kOptionsKey)); }
    std::optional<os::WString> Stored(const WCHAR* name) const {
        return machine.String(HKEY_CURRENT_USER, kOptionsKey, name);
    }
    void Store(const WCHAR* name, const WCHAR* text) { machine.SetString(HKEY_CURRENT_USER, kOptionsKey, name, text); }
    void DropAdministratorRights() { machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}}; }

    static constexpr const WCHAR* kOptionsKey = WSTR("SOFTWARE\\Vantrel\\Gatewise");
};

TEST_F(OptionsTest, FirstStartOfAnAdministratorWritesAllSixDefaults) {
    StartUp();
    EXPECT_EQ(Stored(WSTR("AutochangeStartup")), os::WString(WSTR("True")));
    EXPECT_EQ(Stored(WSTR("AutochangeStandby")), os::WString(WSTR("True")));
    EXPECT_EQ(Stored(WSTR("AutochangeScreenSaver")), os::WString(WSTR("True")));
    EXPECT_EQ(Stored(WSTR("VerifyPassword")), os::WString(WSTR("True")));
    EXPECT_EQ(Stored(WSTR("ModifyAllPowerProfiles")), os::WString(WSTR("False")));
    EXPECT_EQ(Stored(WSTR("ForgetPasswordInSecureMode")), os::WString(WSTR("False")));
    EXPECT_EQ(machine.Key(HKEY_CURRENT_USER, kOptionsKey).values.size(), 6u);
    EXPECT_EQ(machine.Value(HKEY_CURRENT_USER, kOptionsKey, WSTR("VerifyPassword"))->type, DWORD{REG_SZ});
}

TEST_F(OptionsTest, FirstStartWithoutAdministratorRightsStoresTheMachineOptionsAsFalse) {
    DropAdministratorRights();
    StartUp();
    EXPECT_EQ(Stored(WSTR("AutochangeStartup")), os::WString(WSTR("False")));
    EXPECT_EQ(Stored(WSTR("AutochangeStandby")), os::WString(WSTR("False")));
    EXPECT_EQ(Stored(WSTR("AutochangeScreenSaver")), os::WString(WSTR("True")));
}

TEST_F(OptionsTest, StartUpRewritesForeignFormsCanonically) {
    Store(WSTR("VerifyPassword"), WSTR("false"));
    Store(WSTR("ModifyAllPowerProfiles"), WSTR("TRUE"));
    Store(WSTR("AutochangeScreenSaver"), WSTR("maybe"));
    StartUp();
    EXPECT_EQ(Stored(WSTR("VerifyPassword")), os::WString(WSTR("False")));
    EXPECT_EQ(Stored(WSTR("ModifyAllPowerProfiles")), os::WString(WSTR("True")));
    EXPECT_EQ(Stored(WSTR("AutochangeScreenSaver")), os::WString(WSTR("True")));
    EXPECT_FALSE(GlobalOptions().VerifyPassword());
    EXPECT_TRUE(GlobalOptions().ModifyAllPowerProfiles());
}

TEST_F(OptionsTest, NonAdministratorOverwritesTrueValuesStoredEarlier) {
    Store(WSTR("AutochangeStartup"), WSTR("True"));
    Store(WSTR("AutochangeStandby"), WSTR("True"));
    DropAdministratorRights();
    StartUp();
    EXPECT_EQ(Stored(WSTR("AutochangeStartup")), os::WString(WSTR("False")));
    EXPECT_EQ(Stored(WSTR("AutochangeStandby")), os::WString(WSTR("False")));
}

TEST_F(OptionsTest, DefaultsReplaceEveryValueAndAskTwiceWhetherTheProcessIsAnAdministrator) {
    settings::TOptions options(false, os::WString(kOptionsKey));
    // Every value the opposite of its default, so that a default left unset shows.
    options.SetAutochangeStartup(false);
    options.SetAutochangeStandby(false);
    options.SetAutochangeScreenSaver(false);
    options.SetVerifyPassword(false);
    options.SetModifyAllPowerProfiles(true);
    machine.ClearCalls();
    options.SetDefaults();
    EXPECT_EQ(machine.CountCalls("CheckTokenMembership"), 2);
    EXPECT_TRUE(options.AutochangeStartup());
    EXPECT_TRUE(options.AutochangeStandby());
    EXPECT_TRUE(options.AutochangeScreenSaver());
    EXPECT_TRUE(options.VerifyPassword());
    EXPECT_FALSE(options.ModifyAllPowerProfiles());

    options.SetAutochangeScreenSaver(false);
    DropAdministratorRights();
    options.SetDefaults();
    EXPECT_TRUE(options.AutochangeScreenSaver());
    machine.processGroups = {{os::sim::AdministratorsSid(), SE_GROUP_ENABLED}};
    EXPECT_FALSE(options.AutochangeStartup()) << "the default of a non-administrator is false";
    EXPECT_FALSE(options.AutochangeStandby());
}

TEST_F(OptionsTest, NothingIsSavedAtExitAndSingleSavesWriteOneValue) {
    StartUp();
    GlobalOptions().SetVerifyPassword(false);
    GlobalOptions().SetModifyAllPowerProfiles(true);
    GlobalOptions().Save("VerifyPassword");
    FreeGlobalOptions();
    EXPECT_EQ(Stored(WSTR("VerifyPassword")), os::WString(WSTR("False")));
    EXPECT_EQ(Stored(WSTR("ModifyAllPowerProfiles")), os::WString(WSTR("False")));
}

TEST_F(OptionsTest, ReadOnlyKeyStillLoadsAndWorksInMemory) {
    Store(WSTR("VerifyPassword"), WSTR("False"));
    machine.Key(HKEY_CURRENT_USER, kOptionsKey).readOnly = true;
    StartUp();
    EXPECT_FALSE(GlobalOptions().VerifyPassword());
    EXPECT_EQ(machine.Key(HKEY_CURRENT_USER, kOptionsKey).values.size(), 1u);
}
