// Two Gatewise processes changing the same settings: the second runs whole
// just before each call that the first makes to the machine, in turn, from
// the first call to the last. Whatever the step, the outcome is one of the
// two changes done in some order, or the second refused with nothing done.
#include "cli/Commands.h"
#include "engine/ChangeLock.h"
#include "ui/OptionsDlgCore.h"
#include "os/sim/SimMachine.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <sstream>

namespace {

constexpr const WCHAR* kOptionsKey = WSTR("SOFTWARE\\Vantrel\\Gatewise");
constexpr const WCHAR* kWinlogon = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");

class NoInput final : public cli::PasswordInput {
public:
    bool IsConsole() override { return false; }
    std::size_t Read(char*, std::size_t) override { return 0; }
    os::SecretString ReadHidden(const char*) override { return {}; }
};

struct Result {
    int code = -1;
    std::string out;
};

Result Command(std::vector<std::string> arguments) {
    NoInput input;
    std::ostringstream out;
    std::ostringstream err;
    cli::Console console{out, err, input};
    const int code = cli::RunCommandLine(arguments, kOptionsKey, console);
    return {code, out.str() + err.str()};
}

std::string Mode() { return nlohmann::json::parse(Command({"status", "--json"}).out)["mode"]; }

std::optional<os::WString> Stored(const WCHAR* option) {
    return os::sim::Current().String(HKEY_CURRENT_USER, kOptionsKey, option);
}

// Relaxed on every setting, with alice's account and password stored.
void MakeRelaxed(os::sim::SimMachine& machine) {
    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoAdminLogon"), WSTR("1"));
    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("DefaultUserName"), WSTR("alice"));
    machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("DefaultPassword"), WSTR("wonderland"));
    for (auto& scheme : machine.powerSchemes) scheme.lockOnWakeAc = scheme.lockOnWakeDc = 0;
    machine.screenSaverSecure = FALSE;
}

// Runs `first` as process 1 on a fresh machine made by `arrange`, with
// `second` run as process 2 just before the first's call number `step`;
// then `check`, told whether the second ran. Each step in turn, until the
// first makes fewer calls than that.
void AtEachStep(const std::function<void(os::sim::SimMachine&)>& arrange, const std::function<void()>& first,
                const std::function<void()>& second, const std::function<void(int step, bool secondRan)>& check) {
    for (int step = 1;; ++step) {
        os::sim::SimMachine machine;
        os::ScopedMachine scope(machine);
        arrange(machine);
        int calls = 0;
        bool secondRan = false;
        machine.beforeCall = [&](const std::string&) {
            if (++calls != step) return;
            secondRan = true;
            machine.AsProcess(2, second);
        };
        first();
        machine.beforeCall = nullptr;
        check(step, secondRan);
        EXPECT_EQ(machine.OpenHandles(), 0) << "step " << step;
        if (!secondRan) break;
    }
}

}  // namespace

TEST(InterleavedChanges, TwoSwitchesNeverBothSucceedInCustomModeAndTheRecordIsTheLastOnes) {
    Result secure;
    Result relaxed;
    AtEachStep(
        MakeRelaxed, [&] { secure = Command({"secure"}); }, [&] { relaxed = Command({"relaxed"}); },
        [&](int step, bool secondRan) {
            ASSERT_EQ(secure.code, 0) << "step " << step << ": " << secure.out;
            const std::string mode = Mode();
            EXPECT_NE(mode, "custom") << "step " << step;
            if (!secondRan) return;
            if (relaxed.code == cli::kChangeInProgress) {
                EXPECT_EQ(relaxed.out, "Another Gatewise change is in progress; nothing was changed.\n");
                EXPECT_EQ(mode, "secure") << "step " << step;
            } else {
                EXPECT_EQ(relaxed.code, 0) << "step " << step << ": " << relaxed.out;
            }
            // The record is that of the last switch that changed something,
            // with the settings as it left them: undo takes it back unforced.
            EXPECT_EQ(Command({"undo"}).code, 0) << "step " << step;
            EXPECT_NE(Mode(), mode) << "step " << step;
        });
}

TEST(InterleavedChanges, AnUndoBesideASwitchNeverRemovesTheSwitchsRecord) {
    Result switched;
    Result undone;
    const auto arrange = [](os::sim::SimMachine& machine) {
        MakeRelaxed(machine);
        EXPECT_EQ(Command({"secure"}).code, 0);
        machine.screenSaverSecure = FALSE;  // custom by hand: the switch below changes it
    };
    AtEachStep(
        arrange, [&] { switched = Command({"secure"}); }, [&] { undone = Command({"undo"}); },
        [&](int step, bool secondRan) {
            ASSERT_EQ(switched.out, "Switched to Secure Mode.\n") << "step " << step;
            // Before the switch, the first switch's record was refused: the settings changed since.
            if (secondRan && undone.code != 0) {
                EXPECT_TRUE(undone.code == cli::kChangedSinceSwitch || undone.code == cli::kChangeInProgress)
                    << "step " << step << ": " << undone.out;
            }
            if (!secondRan || undone.code != 0) {
                EXPECT_EQ(Command({"undo"}).code, 0) << "step " << step;
            }
            EXPECT_EQ(Mode(), "custom") << "step " << step << ": the second switch undone, as it found the settings";
        });
}

TEST(InterleavedChanges, TwoOptionsCommandsEachSaveTheirOwnChangeAndPrintWhatIsStored) {
    Result first;
    Result second;
    AtEachStep(
        [](os::sim::SimMachine&) {}, [&] { first = Command({"options", "AutochangeStartup=False"}); },
        [&] { second = Command({"options", "AutochangeStandby=False"}); },
        [&](int step, bool secondRan) {
            ASSERT_EQ(first.code, 0) << "step " << step << ": " << first.out;
            EXPECT_EQ(Stored(WSTR("AutochangeStartup")), WSTR("False"));
            const bool standbyOff = secondRan && second.code == 0;
            if (secondRan && !standbyOff) {
                EXPECT_EQ(second.code, cli::kChangeInProgress) << second.out;
            }
            EXPECT_EQ(Stored(WSTR("AutochangeStandby")), standbyOff ? std::optional<os::WString>(WSTR("False"))
                                                                    : std::nullopt)
                << "step " << step;
            // Each printed the options as stored when it was done: the later
            // of the two shows the earlier one's change as well.
            if (standbyOff) {
                EXPECT_TRUE(first.out.find("AutochangeStandby=False") != std::string::npos ||
                            second.out.find("AutochangeStartup=False") != std::string::npos)
                    << "step " << step << ": " << first.out << second.out;
            } else {
                EXPECT_NE(first.out.find("AutochangeStandby=True"), std::string::npos) << "step " << step;
            }
        });
}

TEST(InterleavedChanges, TheOptionsDialogSavesOnlyWhatItsUserChangedOnTopOfOthersChanges) {
    bool saved = false;
    Result command;
    AtEachStep(
        [](os::sim::SimMachine& machine) {
            machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("VerifyPassword"), WSTR("False"));
        },
        [&] {
            // The dialog shows the options, and its user unchecks the screen saver.
            const auto options = settings::Create<settings::TOptions>(false, kOptionsKey);
            options->SetSaveOnDestroy(false);
            const ui::TOptionBoxes shown{true, true, true, false};
            ui::TOptionBoxes now = shown;
            now.screenSaver = false;
            saved = ui::SaveOptionChanges(*options, ui::ChangedOptions(shown, now));
        },
        [&] { command = Command({"options", "VerifyPassword=True", "ModifyAllPowerProfiles=True"}); },
        [&](int step, bool secondRan) {
            EXPECT_TRUE(saved) << "step " << step;
            EXPECT_EQ(Stored(WSTR("AutochangeScreenSaver")), WSTR("False")) << "step " << step;
            EXPECT_EQ(Stored(WSTR("AutochangeStartup")), std::nullopt) << "step " << step << ": not changed here";
            if (!secondRan) return;
            EXPECT_TRUE(command.code == 0 || command.code == cli::kChangeInProgress) << command.out;
            const WCHAR* expected = command.code == 0 ? WSTR("True") : nullptr;
            EXPECT_EQ(Stored(WSTR("ModifyAllPowerProfiles")), expected ? std::optional<os::WString>(expected)
                                                                        : std::nullopt)
                << "step " << step;
            EXPECT_EQ(Stored(WSTR("VerifyPassword")), command.code == 0 ? WSTR("True") : WSTR("False"))
                << "step " << step << ": the dialog writes it only when its box changed";
        });
}

TEST(InterleavedChanges, OptionsThatOthersTurnedOffMeanwhileAreNotAllTurnedOffByTheDialog) {
    os::sim::SimMachine machine;
    os::ScopedMachine scope(machine);
    const auto options = settings::Create<settings::TOptions>(false, kOptionsKey);
    options->SetSaveOnDestroy(false);
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("AutochangeStartup"), WSTR("False"));
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("AutochangeStandby"), WSTR("False"));
    const ui::TOptionBoxes shown{true, true, true, false};
    EXPECT_FALSE(ui::SaveOptionChanges(*options, ui::ChangedOptions(shown, {true, true, false, false})));
    EXPECT_EQ(Stored(WSTR("AutochangeScreenSaver")), std::nullopt);
    EXPECT_TRUE(options->AutochangeScreenSaver());
    EXPECT_TRUE(ui::ChangedOptions(shown, shown).empty());
}
