// The resume setting on a Modern Standby PC: the power setting and the user's
// wake sign-in delay (DelayLockInterval) together.
#include "engine/Exception.h"
#include "engine/Utilities.h"
#include "engine/VistaPower.h"
#include "settings/Options.h"
#include "MachineTest.h"

#include <cstring>

class ModernStandbyTest : public MachineTest {
protected:
    void SetUp() override { machine.modernStandby = true; }

    void SetPowerSetting(DWORD index) {
        machine.powerSchemes[machine.activeScheme].lockOnWakeAc = index;
        machine.powerSchemes[machine.activeScheme].lockOnWakeDc = index;
    }
    void SetDelay(DWORD seconds) { machine.SetDword(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), seconds); }
    const os::sim::RegistryValue* Delay() const {
        return machine.Value(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"));
    }
    // The stored delay as REG_DWORD, or a text saying what is there instead.
    std::string DelayText() const {
        const os::sim::RegistryValue* value = Delay();
        if (!value) return "absent";
        if (value->type != REG_DWORD || value->data.size() != 4) return "type " + std::to_string(value->type);
        DWORD seconds;
        std::memcpy(&seconds, value->data.data(), 4);
        return std::to_string(seconds);
    }

    settings::TOptions options{false, WSTR("SOFTWARE\\Vantrel\\Gatewise")};
};

TEST_F(ModernStandbyTest, DetectedFromAoAcAndAFailingCallMeansNone) {
    EXPECT_TRUE(engine::HasModernStandby());
    EXPECT_EQ(Args("CallNtPowerInformation"), "4,length=76");
    machine.modernStandby = false;
    EXPECT_FALSE(engine::HasModernStandby());

    machine.modernStandby = true;
    machine.Fail("CallNtPowerInformation", 0xC00000BB);  // STATUS_NOT_SUPPORTED
    EXPECT_FALSE(engine::HasModernStandby());
    machine.RemoveExport("powrprof.dll", "CallNtPowerInformation");
    EXPECT_FALSE(engine::HasModernStandby());

    os::sim::SimMachine windowsXp;
    os::ScopedMachine use(windowsXp);
    windowsXp.majorVersion = 5;
    windowsXp.modernStandby = true;
    EXPECT_FALSE(engine::HasModernStandby());
    EXPECT_EQ(windowsXp.CountCalls("CallNtPowerInformation"), 0);
}

TEST_F(ModernStandbyTest, ResumeAsksUnlessBothThePowerSettingAndTheDelaySayNever) {
    struct Case {
        DWORD powerSetting;
        std::optional<DWORD> delay;  // nullopt: the value is missing
        bool asks;
    };
    for (const Case& c : {Case{0, engine::kSignInNever, false}, Case{1, engine::kSignInNever, true},
                          Case{0, 0u, true}, Case{0, 900u, true}, Case{0, std::nullopt, true}, Case{1, 0u, true}}) {
        SetPowerSetting(c.powerSetting);
        machine.Key(HKEY_CURRENT_USER, kDesktop).values.erase(WSTR("DelayLockInterval"));
        if (c.delay) SetDelay(*c.delay);
        EXPECT_EQ(engine::GetAskPasswordOnResume(), c.asks)
            << "power setting " << c.powerSetting << ", delay " << (c.delay ? std::to_string(*c.delay) : "missing");
    }

    // Values that cannot be read count as every time.
    SetPowerSetting(0);
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), WSTR("4294967295"));
    EXPECT_TRUE(engine::GetAskPasswordOnResume());
    EXPECT_THROW(engine::GetWakeSignInDelay(), engine::ERegistryException);
    machine.Fail("RegOpenKeyExW", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(engine::GetAskPasswordOnResume());

    // Without Modern Standby the delay is not consulted at all.
    machine.Fail("RegOpenKeyExW", 0, 0, 0);
    machine.modernStandby = false;
    machine.ClearCalls();
    EXPECT_FALSE(engine::GetAskPasswordOnResume());
    EXPECT_EQ(machine.CountCalls("RegOpenKeyExW"), 0);
}

TEST_F(ModernStandbyTest, SwitchWritesTheDelayUnderTheResumeOptionAndItsAdministratorRule) {
    options.SetAutochangeStartup(false);
    options.SetAutochangeScreenSaver(false);
    options.SetAutochangeStandby(true);
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), WSTR("900"));
    options.ApplyMode(settings::pmRelaxed);
    EXPECT_EQ(DelayText(), "4294967295");  // rewritten as REG_DWORD
    EXPECT_EQ(options.GetCurrentMode(), settings::pmRelaxed);
    options.ApplyMode(settings::pmSecure);
    EXPECT_EQ(DelayText(), "0");
    EXPECT_EQ(options.GetCurrentMode(), settings::pmSecure);

    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED);
    EXPECT_THROW(options.ApplyMode(settings::pmRelaxed), engine::ERegistryException);
    machine.Fail("RegSetValueExW", 0, 0, 0);

    options.SetAutochangeStandby(false);
    options.SetAutochangeScreenSaver(true);
    options.ApplyMode(settings::pmRelaxed);
    EXPECT_EQ(DelayText(), "0") << "the option is off";

    options.SetAutochangeStandby(true);
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    options.ApplyMode(settings::pmRelaxed);
    EXPECT_EQ(DelayText(), "0") << "not an administrator";

    machine.processGroups = {{os::sim::AdministratorsSid(), SE_GROUP_ENABLED}};
    machine.modernStandby = false;
    options.SetAutochangeStandby(true);
    options.ApplyMode(settings::pmRelaxed);
    EXPECT_EQ(DelayText(), "0") << "no Modern Standby";
}
