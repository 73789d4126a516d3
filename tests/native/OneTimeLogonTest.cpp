// Relaxed mode for the next start only (AutoLogonCount 1), and Secure Mode
// that forgets the stored auto-logon password, with their undo.
#include "cli/Commands.h"
#include "diagnostics/Diagnostics.h"
#include "engine/ChangeLock.h"
#include "engine/Utilities.h"
#include "switching/LastSwitch.h"
#include "switching/Switch.h"
#include "switching/Undo.h"
#include "MachineTest.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <sstream>

using nlohmann::json;

namespace {

class NoInput : public cli::PasswordInput {
public:
    bool IsConsole() override { return false; }
    std::size_t Read(char*, std::size_t) override { return 0; }
    os::SecretString ReadHidden(const char*) override { return {}; }
};

struct Result {
    int code;
    std::string out;
    std::string err;
};

}  // namespace

class OneTimeLogonTest : public MachineTest {
protected:
    static constexpr const WCHAR* kOptionsKey = WSTR("SOFTWARE\\Vantrel\\Gatewise");

    // Secure on every setting, alice's account stored with her password in both stores.
    void SetUp() override {
        SetWinlogon(WSTR("AutoAdminLogon"), WSTR("0"));
        SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
        SetWinlogon(WSTR("DefaultDomainName"), WSTR("GATEWISE-PC"));
        SetWinlogon(WSTR("DefaultPassword"), WSTR("wonderland"));
        machine.lsaSecrets[WSTR("DefaultPassword")] = {'w', 0};
    }

    Result Run(std::vector<std::string> arguments) {
        std::ostringstream out;
        std::ostringstream err;
        NoInput input;
        cli::Console console{out, err, input};
        const int code = cli::RunCommandLine(arguments, kOptionsKey, console);
        return {code, out.str(), err.str()};
    }
    std::optional<DWORD> Count() const {
        const os::sim::RegistryValue* value = machine.Value(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"));
        if (!value) return std::nullopt;
        EXPECT_EQ(value->type, DWORD{REG_DWORD});
        DWORD count = 0;
        std::memcpy(&count, value->data.data(), sizeof count);
        return count;
    }
    bool PasswordStored() const {
        return machine.lsaSecrets.count(WSTR("DefaultPassword")) != 0 ||
               machine.Value(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("DefaultPassword")) != nullptr;
    }
    settings::OptionsPtr<settings::TOptions> Options() {
        auto options = settings::Create<settings::TOptions>(false, kOptionsKey);
        options->SetSaveOnDestroy(false);
        return options;
    }
};

TEST_F(OneTimeLogonTest, OnceLogsOnAtTheNextStartOnlyAndShowsSoUntilWindowsUsedIt) {
    Result result = Run({"relaxed", "--once"});
    ASSERT_EQ(result.code, cli::kDone) << result.err;
    EXPECT_EQ(result.out, "Switched to Relaxed Mode for the next start-up only.\n");
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("1")));
    EXPECT_EQ(Count(), DWORD{1});
    EXPECT_EQ(json::parse(Run({"status", "--json"}).out)["autoLogonCount"], 1);
    EXPECT_NE(Run({"status"}).out.find("Start-up:      does not ask for the password, for the next start-up only\n"),
              std::string::npos);
    auto options = Options();
    const diagnostics::CheckResult count = diagnostics::RunCheck("autologon-count", *options);
    EXPECT_EQ(count.verdict, diagnostics::Verdict::Ok) << "Gatewise's own count is information";
    EXPECT_NE(count.finding.find("as the last switch set it"), std::string::npos) << count.finding;
    EXPECT_EQ(machine.eventLog.back().strings[0],
              WSTR("Password prompting switched from Secure Mode to Relaxed Mode for the next start-up."));

    // Windows counted it down at that logon: automatic logon is off, the count gone.
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("0"));
    machine.Key(HKEY_LOCAL_MACHINE, kWinlogon).values.erase(WSTR("AutoLogonCount"));
    EXPECT_FALSE(switching::OneTimeLogonPending(*options));
    EXPECT_EQ(Run({"status"}).out.find("for the next start-up only"), std::string::npos);

    // At 0 Windows logs nobody on: the start-up setting asks, whatever AutoAdminLogon says.
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 0);
    EXPECT_TRUE(engine::GetAskPasswordOnStartup());
    EXPECT_EQ(diagnostics::RunCheck("autologon-count", *options).verdict, diagnostics::Verdict::Problem);

    // A switch to Relaxed Mode for good removes a count.
    ASSERT_EQ(Run({"relaxed"}).code, cli::kDone);
    EXPECT_EQ(Count(), std::nullopt);
    EXPECT_FALSE(engine::GetAskPasswordOnStartup());
}

TEST_F(OneTimeLogonTest, OnceNeedsTheStartUpSettingAndIsUndoneWithItsCount) {
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 3);
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("AutochangeStartup"), WSTR("False"));
    EXPECT_EQ(Run({"relaxed", "--once"}).code, cli::kBadUsage);
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    EXPECT_EQ(Run({"relaxed", "--once"}).code, cli::kNeedsAdministrator);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0"))) << "nothing was changed";
    EXPECT_EQ(Count(), DWORD{3});

    machine.processGroups.push_back({os::sim::AdministratorsSid(), SE_GROUP_ENABLED});
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("AutochangeStartup"), WSTR("True"));
    ASSERT_EQ(Run({"relaxed", "--once"}).code, cli::kDone);
    EXPECT_EQ(Count(), DWORD{1});
    const Result undone = Run({"undo"});
    EXPECT_EQ(undone.code, cli::kDone) << undone.err;
    EXPECT_EQ(Count(), DWORD{3}) << "put back as it was";
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0")));

    // A write of the count that fails puts back the switch whole.
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED, 1);
    auto options = Options();
    engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
    EXPECT_THROW(switching::SwitchMode(*options, settings::pmRelaxed, lock, true), switching::ESwitchFailed);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0")));
    EXPECT_EQ(Count(), DWORD{3});
}

TEST_F(OneTimeLogonTest, SecureModeForgetsThePasswordWhenAskedAndItsUndoLeavesStartUpAsking) {
    ASSERT_EQ(Run({"relaxed"}).code, cli::kDone);
    ASSERT_EQ(Run({"options", "ForgetPasswordInSecureMode=True"}).code, cli::kDone);
    Result result = Run({"secure"});
    ASSERT_EQ(result.code, cli::kDone) << result.err;
    EXPECT_NE(result.out.find("The stored auto-logon password was removed"), std::string::npos) << result.out;
    EXPECT_FALSE(PasswordStored());
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), os::WString(WSTR("alice"))) << "the account's name stays";
    EXPECT_NE(os::ToUtf8(machine.eventLog.back().strings[3]).find("The stored auto-logon password was removed"),
              std::string::npos);
    const std::optional<os::WString> record = machine.String(HKEY_CURRENT_USER, kOptionsKey, WSTR("LastSwitch"));
    ASSERT_TRUE(record);
    EXPECT_EQ(os::ToUtf8(*record).find("wonderland"), std::string::npos) << "no password is recorded";

    result = Run({"undo"});
    EXPECT_EQ(result.code, cli::kDone) << result.err;
    EXPECT_NE(result.out.find("still asks until a password is stored again"), std::string::npos) << result.out;
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0")));
    EXPECT_FALSE(machine.screenSaverSecure) << "the other settings are put back";
    EXPECT_EQ(Run({"relaxed"}).code, cli::kNoAutologonAccount) << "Relaxed Mode asks for the password again";
}

TEST_F(OneTimeLogonTest, PasswordThatCannotBeRemovedWholeStaysAndTheSwitchIsPutBack) {
    ASSERT_EQ(Run({"relaxed"}).code, cli::kDone);
    auto options = Options();
    options->SetForgetPasswordInSecureMode(true);
    // The deletion of AutoLogonCount goes through; that of the plain password value is refused.
    machine.Fail("RegDeleteValueW", ERROR_ACCESS_DENIED, 1, 1);
    engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
    EXPECT_THROW(switching::SwitchMode(*options, settings::pmSecure, lock), switching::ESwitchFailed);
    EXPECT_EQ(machine.lsaSecrets.count(WSTR("DefaultPassword")), 1u) << "the protected password is stored again";
    EXPECT_NE(machine.Value(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("DefaultPassword")), nullptr);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("1")));
    EXPECT_FALSE(machine.screenSaverSecure);

    // Run as SYSTEM, the user's option does not steer the switch.
    machine.processUser = os::sim::LocalSystemSid();
    EXPECT_FALSE(switching::RecordSwitch(*options, switching::DecideCoverage(*options), settings::pmSecure).forgetsPassword);
}

TEST_F(OneTimeLogonTest, RecordOfAnEarlierVersionIsUndoneWithoutTouchingTheCount) {
    const std::string earlier =
        R"({"version":1,"time":1700000000,"mode":"relaxed","covers":{"startup":true,"resume":false,)"
        R"("screenSaver":false,"allSchemes":false,"modernStandby":false},"before":{"AutoAdminLogon":null},)"
        R"("after":{"AutoAdminLogon":{"type":1,"data":"31000000"}}})";
    const std::optional<switching::TLastSwitch> last = switching::ParseLastSwitch(earlier);
    ASSERT_TRUE(last);
    EXPECT_FALSE(last->before.autoLogonCountCovered);
    EXPECT_EQ(switching::ParseLastSwitch(switching::LastSwitchText(*last)), last) << "written back the same";

    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("LastSwitch"), os::FromUtf8(earlier).c_str());
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 2);
    auto options = Options();
    engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
    // An earlier version kept no copy where only administrators write: the
    // start-up setting is left, and nothing else was covered.
    const switching::TUndoOutcome alone = switching::UndoLastSwitch(*options, false, lock);
    EXPECT_EQ(alone.result, switching::TUndoResult::NothingToUndo);
    EXPECT_TRUE(alone.machineWideLeft);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1"));
    machine.SetString(HKEY_LOCAL_MACHINE, kOptionsKey, WSTR("LastSwitch"), os::FromUtf8(earlier).c_str());
    EXPECT_EQ(switching::UndoLastSwitch(*options, false, lock).result, switching::TUndoResult::Done);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), std::nullopt);
    EXPECT_EQ(Count(), DWORD{2});
}

TEST_F(OneTimeLogonTest, RemovingTheAccountTurnsAutomaticLogonOffAsASwitchThatUndoKnows) {
    ASSERT_EQ(Run({"relaxed", "--once"}).code, cli::kDone);
    const Result result = Run({"account", "clear"});
    ASSERT_EQ(result.code, cli::kDone) << result.err;
    EXPECT_NE(result.out.find("automatic logon is off (AutoAdminLogon 0)"), std::string::npos) << result.out;
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0")));
    EXPECT_FALSE(Winlogon(WSTR("DefaultUserName")));
    EXPECT_FALSE(Winlogon(WSTR("DefaultDomainName")));
    EXPECT_FALSE(PasswordStored());
    EXPECT_EQ(Count(), std::nullopt);
    EXPECT_EQ(machine.eventLog.back().strings[0], WSTR("Auto-logon account removed and automatic logon turned off."));
    const std::string record = os::ToUtf8(*machine.String(HKEY_CURRENT_USER, kOptionsKey, WSTR("LastSwitch")));
    EXPECT_EQ(record.find("wonderland"), std::string::npos);
    EXPECT_EQ(record.find("alice"), std::string::npos);

    // Storing an account afterwards does not turn automatic logon on by itself.
    engine::SetAutologonAccount(WSTR("bob"), WSTR("GATEWISE-PC"), os::SecretString(WSTR("builder")));
    EXPECT_TRUE(engine::GetAskPasswordOnStartup());

    const json undone = json::parse(Run({"undo", "--json"}).out);
    EXPECT_EQ(undone["result"], "undone");
    EXPECT_EQ(undone["startupLeftAsking"], true);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0")));

    // With nothing stored and automatic logon off, nothing changes: no event, no record.
    engine::SetAutologonAccount({}, {}, os::SecretString());
    const std::size_t events = machine.eventLog.size();
    ASSERT_EQ(Run({"account", "clear"}).code, cli::kDone);
    EXPECT_EQ(machine.eventLog.size(), events);
    EXPECT_EQ(Run({"undo"}).code, cli::kNothingToUndo);
}

TEST_F(OneTimeLogonTest, RemovingTheAccountThatFailsPutsEverythingBack) {
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 3);
    machine.Fail("RegDeleteValueW", ERROR_ACCESS_DENIED, 1, 1);  // the plain password's
    auto options = Options();
    engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
    EXPECT_THROW(switching::RemoveAutologonAccount(*options, lock), switching::ESwitchFailed);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("1")));
    EXPECT_EQ(Count(), DWORD{3});
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), os::WString(WSTR("alice")));
    EXPECT_EQ(machine.lsaSecrets.count(WSTR("DefaultPassword")), 1u);
    EXPECT_EQ(Winlogon(WSTR("DefaultPassword")), os::WString(WSTR("wonderland")));
}
