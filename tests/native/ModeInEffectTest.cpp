// What keeps the mode shown from taking effect: the checks that stop it and
// the line under the main window's header.
#include "MachineTest.h"
#include "diagnostics/Diagnostics.h"
#include "ui/GatewiseMainDlgCore.h"

namespace {

const ui::TOverriddenTexts kTexts{WSTR("Also: %s."), WSTR("See more.")};

class ModeInEffectTest : public MachineTest {
protected:
    static constexpr const WCHAR* kDesktopPolicy = WSTR("Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop");
    static constexpr const WCHAR* kWakePolicy =
        WSTR("SOFTWARE\\Policies\\Microsoft\\Power\\PowerSettings\\0e796bdb-100d-47d6-a2d5-f7d2daa51f51");

    void SetUp() override {
        SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
        SetWinlogon(WSTR("DefaultPassword"), WSTR("wonderland"));
    }

    std::vector<std::string> Stopping(settings::TPromptMode mode) {
        auto options = settings::Create<settings::TOptions>(false, WSTR("SOFTWARE\\Vantrel\\Gatewise"));
        options->SetSaveOnDestroy(false);
        std::vector<std::string> ids;
        for (const diagnostics::CheckResult& result : diagnostics::ChecksOverriding(*options, mode))
            ids.push_back(result.id);
        return ids;
    }
    using Ids = std::vector<std::string>;
};

TEST_F(ModeInEffectTest, APolicyStopsOnlyTheModeItWorksAgainst) {
    EXPECT_EQ(Stopping(settings::pmSecure), Ids{});
    EXPECT_EQ(Stopping(settings::pmRelaxed), Ids{});

    machine.SetString(HKEY_CURRENT_USER, kDesktopPolicy, WSTR("ScreenSaverIsSecure"), WSTR("1"));
    EXPECT_EQ(Stopping(settings::pmRelaxed), Ids{"screen-saver-policy"});
    EXPECT_EQ(Stopping(settings::pmSecure), Ids{});
    machine.SetString(HKEY_CURRENT_USER, kDesktopPolicy, WSTR("ScreenSaverIsSecure"), WSTR("0"));
    EXPECT_EQ(Stopping(settings::pmSecure), Ids{"screen-saver-policy"});
    EXPECT_EQ(Stopping(settings::pmRelaxed), Ids{});

    machine.SetDword(HKEY_LOCAL_MACHINE, kWakePolicy, WSTR("ACSettingIndex"), 1);
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 2);
    machine.SetString(HKEY_LOCAL_MACHINE, WSTR("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"),
                      WSTR("legalnoticecaption"), WSTR("Authorised use only"));
    EXPECT_EQ(Stopping(settings::pmRelaxed), (Ids{"autologon-count", "logon-banner", "wake-policy"}));
    EXPECT_EQ(Stopping(settings::pmCustom), Ids{});
}

TEST_F(ModeInEffectTest, AWakeSignInChoiceThatAsksStopsRelaxedModeOnModernStandby) {
    machine.modernStandby = true;
    for (auto& scheme : machine.powerSchemes) scheme.lockOnWakeAc = scheme.lockOnWakeDc = 0;
    machine.SetDword(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), 0);
    EXPECT_EQ(Stopping(settings::pmRelaxed), Ids{"wake-sign-in"});
    machine.SetDword(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), 900);
    EXPECT_EQ(Stopping(settings::pmRelaxed), Ids{"wake-sign-in"});
    machine.SetDword(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), 0xFFFFFFFF);
    EXPECT_EQ(Stopping(settings::pmRelaxed), Ids{});
}

TEST_F(ModeInEffectTest, ACheckThatCannotReadIsLeftToTheReportAndNeverRaises) {
    machine.SetDword(HKEY_CURRENT_USER, kDesktopPolicy, WSTR("ScreenSaverIsSecure"), 1);
    EXPECT_EQ(Stopping(settings::pmRelaxed), Ids{});
}

TEST_F(ModeInEffectTest, TheWindowsLineSaysWhatStopsTheModeOnlyOnceChecksRunAndAnUnreadableModeWithoutRaising) {
    const ui::TModeLineTexts texts{{WSTR("Custom: %s, %s."), WSTR("none"), WSTR("%s+%s"), WSTR("%s/%s"), WSTR("start"),
                                    WSTR("wake"), WSTR("saver")},
                                   kTexts,
                                   WSTR("Unknown: %s")};
    auto options = settings::Create<settings::TOptions>(false, WSTR("SOFTWARE\\Vantrel\\Gatewise"));
    options->SetSaveOnDestroy(false);
    machine.SetString(HKEY_CURRENT_USER, kDesktopPolicy, WSTR("ScreenSaverIsSecure"), WSTR("0"));
    ui::TModeDisplay display = ui::ReadModeDisplay(*options, false, texts);
    EXPECT_EQ(display.mode, settings::pmSecure);
    EXPECT_EQ(display.line, WSTR(""));
    display = ui::ReadModeDisplay(*options, true, texts);
    EXPECT_EQ(display.line, WSTR("A policy keeps Windows from asking after the screen saver. See more."));
    EXPECT_EQ(display.overridden, display.line);

    machine.screenSaverSecure = FALSE;
    display = ui::ReadModeDisplay(*options, true, texts);
    EXPECT_EQ(display.mode, settings::pmCustom);
    EXPECT_EQ(display.line, WSTR("Custom: start+wake, saver."));
    EXPECT_EQ(display.overridden, WSTR(""));

    // The active power plan is gone: the mode is unknown, with the reason.
    machine.Fail("PowerGetActiveScheme", ERROR_FILE_NOT_FOUND);
    display = ui::ReadModeDisplay(*options, true, texts);
    EXPECT_EQ(display.mode, std::nullopt);
    EXPECT_FALSE(display.unreadable.empty());
    EXPECT_EQ(display.line, WSTR("Unknown: ") + display.unreadable);
    EXPECT_EQ(display.unreadable.find(WSTR("\n")), os::WString::npos);
}

TEST(OverriddenLine, SaysTheFirstFindingHowManyMoreAndWhereToReadMore) {
    EXPECT_EQ(ui::OverriddenLine({}, settings::pmRelaxed, kTexts), WSTR(""));
    const diagnostics::CheckResult policy{"screen-saver-policy", diagnostics::Verdict::Problem, "finding", "fix"};
    EXPECT_EQ(ui::OverriddenLine({policy}, settings::pmRelaxed, kTexts),
              WSTR("A policy keeps Windows asking after the screen saver. See more."));
    EXPECT_EQ(ui::OverriddenLine({policy, policy, policy}, settings::pmSecure, kTexts),
              WSTR("A policy keeps Windows from asking after the screen saver. Also: 2. See more."));
}

}  // namespace
