// The line under the main window's header that tells what Custom Mode is made of.
#include "MachineTest.h"
#include "settings/Options.h"
#include "ui/GatewiseMainDlgCore.h"

#include <optional>

namespace {

const ui::TCustomModeTexts kTexts{WSTR("Custom Mode: asked %s, not %s."), WSTR("Custom Mode: none switched."),
                                  WSTR("%s and %s"), WSTR("%s or %s"), WSTR("at start-up"), WSTR("on wake"),
                                  WSTR("after the screen saver")};

os::WString Line(std::optional<bool> startup, std::optional<bool> wake, std::optional<bool> screenSaver) {
    return ui::CustomModeLine({startup, wake, screenSaver}, kTexts);
}

TEST(CustomModeLine, SaysWhichMomentsAskAndWhichDoNot) {
    EXPECT_EQ(Line(true, false, true), WSTR("Custom Mode: asked at start-up and after the screen saver, not on wake."));
    EXPECT_EQ(Line(false, true, false), WSTR("Custom Mode: asked on wake, not at start-up or after the screen saver."));
    EXPECT_EQ(Line(std::nullopt, false, true), WSTR("Custom Mode: asked after the screen saver, not on wake."));
    EXPECT_EQ(Line(std::nullopt, std::nullopt, std::nullopt), WSTR("Custom Mode: none switched."));
}

// Every combination of the three settings: left alone, asking, or not asking.
TEST(CustomModeLine, ShowsExactlyWhenTheSwitchedSettingsDisagree) {
    const std::optional<bool> states[] = {std::nullopt, true, false};
    const os::WString moments[] = {kTexts.startup, kTexts.wake, kTexts.screenSaver};
    for (const auto& startup : states)
        for (const auto& wake : states)
            for (const auto& screenSaver : states) {
                const std::optional<bool> each[] = {startup, wake, screenSaver};
                int asking = 0, silent = 0;
                for (const auto& state : each)
                    if (state) ++(*state ? asking : silent);
                const os::WString line = Line(startup, wake, screenSaver);
                SCOPED_TRACE(os::ToUtf8(line));
                if (asking == 0 && silent == 0) continue;
                EXPECT_EQ(line.empty(), asking == 0 || silent == 0);
                if (line.empty()) continue;
                const std::size_t not_ = line.find(WSTR(", not "));
                ASSERT_NE(not_, os::WString::npos);
                for (int i = 0; i < 3; ++i) {
                    const std::size_t at = line.find(moments[i]);
                    EXPECT_EQ(at == os::WString::npos, !each[i]) << "a moment shows once it is switched";
                    if (each[i]) {
                        EXPECT_EQ(at < not_, *each[i]) << "asking moments before \", not\"";
                    }
                }
            }
}

class CustomModeStates : public MachineTest {};

TEST_F(CustomModeStates, OnlyTheSwitchedSettingsAreRead) {
    settings::TOptions options(false, WSTR("SOFTWARE\\Vantrel\\Gatewise"));
    options.SetDefaults();
    options.SetAutochangeStartup(true);
    options.SetAutochangeStandby(false);
    options.SetAutochangeScreenSaver(true);
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    machine.screenSaverSecure = TRUE;
    const ui::TPromptStates states = ui::ReadPromptStates(options);
    EXPECT_EQ(states.startup, std::optional<bool>(false));
    EXPECT_EQ(states.wake, std::nullopt);
    EXPECT_EQ(states.screenSaver, std::optional<bool>(true));
    EXPECT_EQ(machine.CountCalls("PowerReadACValueIndex"), 0);
}

}  // namespace
