// A switch is all or nothing: what it changed before a failing write is put
// back exactly, and it acts on the options as they are stored now.
#include "settings/SwitchRecord.h"
#include "MachineTest.h"

#include <cstring>

using settings::ESwitchFailed;
using settings::pmRelaxed;

class SwitchRecordTest : public MachineTest {
protected:
    static constexpr const WCHAR* kOptionsKey = WSTR("SOFTWARE\\Vantrel\\Gatewise");

    // A Modern Standby PC in secure mode, with values a switch must restore
    // exactly: no AutoAdminLogon at all, a sign-in delay stored as text.
    void SetUp() override {
        machine.modernStandby = true;
        machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), WSTR("300"));
        options = settings::Create<settings::TOptions>(false, kOptionsKey);
        options->SetSaveOnDestroy(false);
    }

    // Every value a switch touches, as one line.
    std::string Settings() const {
        std::string text;
        const auto value = [&](HKEY root, const WCHAR* path, const WCHAR* name) {
            const os::sim::RegistryValue* stored = machine.Value(root, path, name);
            text += os::ToUtf8(name) + "=";
            if (!stored) text += "absent";
            else for (BYTE b : stored->data) text += std::to_string(stored->type) + ":" + std::to_string(b) + ",";
            text += " ";
        };
        value(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoAdminLogon"));
        value(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"));
        value(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure"));
        for (const auto& scheme : machine.powerSchemes)
            text += std::to_string(scheme.lockOnWakeAc) + "/" + std::to_string(scheme.lockOnWakeDc) + " ";
        return text + "session=" + std::to_string(machine.screenSaverSecure);
    }

    ESwitchFailed FailedSwitch() {
        try {
            settings::SwitchMode(*options, pmRelaxed);
        } catch (const ESwitchFailed& failure) {
            return failure;
        }
        ADD_FAILURE() << "the switch went through";
        return ESwitchFailed("", {});
    }

    settings::OptionsPtr<settings::TOptions> options;
};

TEST_F(SwitchRecordTest, WriteRefusedAtEachSettingPutsBackTheEarlierOnesExactly) {
    const std::string before = Settings();
    struct Step {
        const char* function;
        int skip;  // calls that succeed first
        const char* cause;
    };
    for (const Step& step : {Step{"RegSetValueExW", 0, "Failed to set data for 'AutoAdminLogon'"},
                             Step{"PowerWriteDCValueIndex", 0, "System Error.  Code: 5.\r\nAccess is denied."},
                             Step{"RegSetValueExW", 1, "Failed to set data for 'DelayLockInterval'"},
                             Step{"RegSetValueExW", 2, "Failed to set data for 'ScreenSaverIsSecure'"},
                             Step{"SystemParametersInfoW", 1, "System Error.  Code: 5.\r\nAccess is denied."}}) {
        machine.Fail(step.function, ERROR_ACCESS_DENIED, step.skip, 1);
        const ESwitchFailed failure = FailedSwitch();
        EXPECT_EQ(failure.Cause, step.cause) << step.function << " " << step.skip;
        EXPECT_EQ(std::string(failure.what()), std::string(step.cause) + "\r\nNothing was changed.");
        EXPECT_EQ(Settings(), before) << step.function << " " << step.skip;
    }

    // The record of a switch that went through puts everything back as well.
    const settings::TSwitchRecord record = settings::SwitchMode(*options, pmRelaxed);
    EXPECT_NE(Settings(), before);
    EXPECT_TRUE(settings::RestoreSwitch(record).empty());
    EXPECT_EQ(Settings(), before);
    EXPECT_EQ(settings::RecordSwitch(*options, pmRelaxed), record);
}

TEST_F(SwitchRecordTest, SettingsThatCannotBePutBackAreNamed) {
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("0"));
    // The delay's write fails, and so does every later one: AutoAdminLogon stays switched.
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED, 1);
    const ESwitchFailed failure = FailedSwitch();
    EXPECT_EQ(failure.LeftChanged, std::vector<std::string>{"AutoAdminLogon"});
    EXPECT_STREQ(failure.what(), "Failed to set data for 'DelayLockInterval'\r\n"
                                 "These settings could not be put back and stay changed: AutoAdminLogon.");
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("1")));
    EXPECT_EQ(machine.powerSchemes[machine.activeScheme].lockOnWakeAc, 1u) << "the power setting was put back";
}

TEST_F(SwitchRecordTest, OptionsStoredByAnotherProcessAreTakenBeforeASwitch) {
    auto other = settings::Create<settings::TOptions>(false, kOptionsKey);
    other->SetSaveOnDestroy(false);
    other->SetAutochangeStartup(false);
    other->Save();
    settings::SwitchMode(*options, pmRelaxed);
    EXPECT_FALSE(Winlogon(WSTR("AutoAdminLogon"))) << "the start-up setting is no longer managed";
    EXPECT_FALSE(options->AutochangeStartup());
    EXPECT_FALSE(machine.screenSaverSecure);

    // What this process could not store holds in memory, until another process stores a value.
    machine.Key(HKEY_CURRENT_USER, kOptionsKey).readOnly = true;
    options->SetModifyAllPowerProfiles(true);
    options->Save();
    EXPECT_EQ(options->NotStored().size(), 5u);
    EXPECT_TRUE(options->TakeNotStoredNotice());
    EXPECT_FALSE(options->TakeNotStoredNotice()) << "told once";
    EXPECT_FALSE(options->AdoptStoredChanges());
    EXPECT_TRUE(options->ModifyAllPowerProfiles());
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("AutochangeScreenSaver"), WSTR("False"));
    EXPECT_TRUE(options->AdoptStoredChanges());
    EXPECT_FALSE(options->AutochangeScreenSaver());
    EXPECT_TRUE(options->ModifyAllPowerProfiles()) << "nobody else stored it";
}
