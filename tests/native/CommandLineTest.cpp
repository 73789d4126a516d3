#include "cli/Commands.h"
#include "cli/Password.h"
#include "FreedMemoryWatch.h"
#include "GatewiseVersion.h"
#include "MachineTest.h"
#include "ProgramImage.h"
#include "audit/Audit.h"
#include "diagnostics/Diagnostics.h"
#include "engine/ChangeLock.h"
#include "engine/LateBinding.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <deque>
#include <sstream>

using nlohmann::json;
using os::sim::UsersSid;

namespace {

// Standard input of a test: bytes from a pipe, or lines typed on a console.
class TestInput : public cli::PasswordInput {
public:
    std::string piped;
    std::size_t consumed = 0;
    bool console = false;
    std::deque<os::WString> typed;
    std::vector<std::string> prompts;

    bool IsConsole() override { return console; }
    std::size_t Read(char* buffer, std::size_t size) override {
        const std::size_t count = std::min(size, piped.size() - consumed);
        std::memcpy(buffer, piped.data() + consumed, count);
        consumed += count;
        return count;
    }
    os::SecretString ReadHidden(const char* prompt) override {
        prompts.push_back(prompt);
        if (typed.empty()) throw cli::CommandFailure(cli::kBadUsage, "No password was typed.");
        os::SecretString line(typed.front());
        typed.pop_front();
        return line;
    }
};

struct Result {
    int code;
    std::string out;
    std::string err;
};

}  // namespace

class CommandLineTest : public MachineTest {
protected:
    static constexpr const WCHAR* kOptionsKey = WSTR("SOFTWARE\\Vantrel\\Gatewise");

    Result Run(std::vector<std::string> arguments) {
        std::ostringstream out;
        std::ostringstream err;
        cli::Console console{out, err, input};
        const int code = cli::RunCommandLine(arguments, kOptionsKey, console);
        return {code, out.str(), err.str()};
    }
    Result Run(std::vector<std::string> arguments, const std::string& piped) {
        input.piped = piped;
        input.consumed = 0;
        return Run(std::move(arguments));
    }
    json Status() {
        const Result result = Run({"status", "--json"});
        EXPECT_EQ(result.code, 0) << result.err;
        return json::parse(result.out);
    }

    void BecomeStandardUser() { machine.processGroups = {{UsersSid(), SE_GROUP_ENABLED}}; }
    void StoreOption(const WCHAR* name, const WCHAR* value) {
        machine.SetString(HKEY_CURRENT_USER, kOptionsKey, name, value);
    }
    std::optional<os::WString> StoredOption(const WCHAR* name) const {
        return machine.String(HKEY_CURRENT_USER, kOptionsKey, name);
    }
    std::string Secret() const {
        auto it = machine.lsaSecrets.find(WSTR("DefaultPassword"));
        if (it == machine.lsaSecrets.end()) return "<none>";
        os::WString text(it->second.size() / sizeof(WCHAR), 0);
        std::memcpy(text.data(), it->second.data(), it->second.size());
        return os::ToUtf8(text);
    }
    // Relaxed on every setting, with alice's account and password stored.
    void MakeRelaxed() {
        SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
        SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
        SetWinlogon(WSTR("DefaultDomainName"), WSTR("GATEWISE-PC"));
        SetWinlogon(WSTR("DefaultPassword"), WSTR("wonderland"));
        for (auto& scheme : machine.powerSchemes) scheme.lockOnWakeAc = scheme.lockOnWakeDc = 0;
        machine.screenSaverSecure = FALSE;
    }

    TestInput input;
};

// ---------------------------------------------------------------- status

TEST_F(CommandLineTest, StatusJsonHoldsModeSettingsAccountOptionsAndRights) {
    EXPECT_EQ(Status(), json::parse(R"({
        "mode": "secure", "overriddenBy": [],
        "settings": {"startup": "asks", "resume": "asks", "screenSaver": "asks"},
        "account": {"user": "", "domain": "", "password": "none"}, "autoLogonCount": null,
        "options": {"AutochangeStartup": true, "AutochangeStandby": true, "AutochangeScreenSaver": true,
                    "VerifyPassword": true, "ModifyAllPowerProfiles": false,
                    "ForgetPasswordInSecureMode": false},
        "policies": {},
        "elevated": true, "modernStandby": false, "wakeSignInDelay": null, "settingsOf": "GATEWISE-PC\\alice",
        "warnings": []})"));
    MakeRelaxed();
    json status = Status();
    EXPECT_EQ(status["mode"], "relaxed");
    EXPECT_EQ(status["settings"]["resume"], "does-not-ask");
    EXPECT_EQ(status["account"], json::parse(R"({"user": "alice", "domain": "GATEWISE-PC", "password": "plain-value"})"));
    machine.screenSaverSecure = TRUE;
    EXPECT_EQ(Status()["mode"], "custom");

    // On a Modern Standby PC the wake sign-in delay counts for the resume setting.
    machine.screenSaverSecure = FALSE;
    machine.modernStandby = true;
    machine.SetDword(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), 300);
    status = Status();
    EXPECT_EQ(status["settings"]["resume"], "asks");
    EXPECT_EQ(status["modernStandby"], true);
    EXPECT_EQ(status["wakeSignInDelay"], 300);
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), WSTR("300"));
    status = Status();
    EXPECT_EQ(status["wakeSignInDelay"], nullptr);
    EXPECT_EQ(status["warnings"], json::array({"The registry value DelayLockInterval under HKEY_CURRENT_USER\\Control "
                                               "Panel\\Desktop is not a number; it is shown as null, and the resume "
                                               "setting counts it as asking for the password."}));
}

TEST_F(CommandLineTest, StatusSaysWhatKeepsTheModeFromTakingEffect) {
    MakeRelaxed();
    machine.SetString(HKEY_CURRENT_USER, WSTR("Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop"),
                      WSTR("ScreenSaverIsSecure"), WSTR("1"));
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 3);
    EXPECT_EQ(Status()["overriddenBy"], json::parse(R"(["autologon-count", "screen-saver-policy"])"));
    const std::string out = Run({"status"}).out;
    EXPECT_NE(out.find("Mode:          relaxed\n"
                       "Not in effect: AutoLogonCount makes Windows turn automatic logon off after a number of logons. "
                       "(autologon-count)\n"
                       "               A policy keeps Windows asking after the screen saver. (screen-saver-policy)\n"
                       "               gatewisecmd diagnose says more.\n"),
              std::string::npos)
        << out;
}

TEST_F(CommandLineTest, StatusTextNamesEverySetting) {
    MakeRelaxed();
    const Result result = Run({"status"});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out,
              "Mode:          relaxed\n"
              "Start-up:      does not ask for the password\n"
              "Resume:        does not ask for the password\n"
              "Screen saver:  does not ask for the password\n"
              "Auto-logon:    GATEWISE-PC\\alice, password in a plain registry value\n"
              "Elevated:      yes\n"
              "Options:\n"
              "  AutochangeStartup=True\n"
              "  AutochangeStandby=True\n"
              "  AutochangeScreenSaver=True\n"
              "  VerifyPassword=True\n"
              "  ModifyAllPowerProfiles=False\n"
              "  ForgetPasswordInSecureMode=False\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(CommandLineTest, StatusOfAStandardUserLeavesTheMachineSettingsOutAndWritesNothing) {
    StoreOption(WSTR("AutochangeStartup"), WSTR("True"));
    machine.Key(HKEY_LOCAL_MACHINE, kWinlogon).readOnly = true;
    BecomeStandardUser();
    const json status = Status();
    EXPECT_EQ(status["settings"], json::parse(R"({"startup": "not-managed", "resume": "not-managed",
                                                   "screenSaver": "asks"})"));
    EXPECT_EQ(status["elevated"], false);
    EXPECT_EQ(status["options"]["AutochangeStartup"], false);
    EXPECT_EQ(StoredOption(WSTR("AutochangeStartup")), os::WString(WSTR("True")));
    EXPECT_EQ(machine.CountCalls("RegSetValueExW"), 0);
}

TEST_F(CommandLineTest, SystemErrorExitsWithOneAndItsMessage) {
    machine.Fail("SystemParametersInfoW", ERROR_ACCESS_DENIED);
    const Result result = Run({"status"});
    EXPECT_EQ(result.code, cli::kSystemError);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "System Error.  Code: 5.\r\nAccess is denied.\n");
}

TEST_F(CommandLineTest, StatusTextEscapesControlCharactersInNames) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice\x1B[2J\nMode:          relaxed"));
    SetWinlogon(WSTR("DefaultDomainName"), WSTR("PC\t\x7F\x9B"));
    const Result result = Run({"status"});
    EXPECT_NE(result.out.find("\nAuto-logon:    PC\\t\\u007f\\u009b\\alice\\u001b[2J\\nMode:          relaxed, no "
                              "password stored\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(Status()["account"]["user"], "alice\x1B[2J\nMode:          relaxed");
}

TEST_F(CommandLineTest, StatusReadsAnAccountValueThatIsNotTextAsMissingAndWarns) {
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("DefaultUserName"), 7);
    SetWinlogon(WSTR("DefaultDomainName"), WSTR("GATEWISE-PC"));
    const std::string warning =
        "Warning: the registry value DefaultUserName under HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows "
        "NT\\CurrentVersion\\Winlogon is not text; it is shown as missing.\n";
    for (const bool json : {false, true}) {
        const Result result = Run(json ? std::vector<std::string>{"status", "--json"} : std::vector<std::string>{"status"});
        EXPECT_EQ(result.code, 0);
        EXPECT_EQ(result.err, json ? "" : warning) << "with --json warnings go into the JSON alone";
        if (json) {
            const nlohmann::json status = nlohmann::json::parse(result.out);
            EXPECT_EQ(status["warnings"][0].get<std::string>() + "\n", warning);
            EXPECT_EQ(status["account"]["user"], "");
            EXPECT_EQ(status["warnings"], nlohmann::json::array({warning.substr(0, warning.size() - 1)}));
        }
        else EXPECT_NE(result.out.find("Auto-logon:    no account"), std::string::npos) << result.out;
    }
    const json report = json::parse(Run({"diagnose", "--json"}).out);
    EXPECT_EQ(report["checks"][1]["finding"], "Could not be checked: Invalid data type for 'DefaultUserName'");
}

// A full disk or a closed handle: nothing the command printed arrived.
TEST_F(CommandLineTest, ResultThatCannotBeWrittenExitsWithOne) {
    struct Full final : std::streambuf {
        int_type overflow(int_type) override { return traits_type::eof(); }
    } full;
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"status"}, {"status", "--json"}, {"options", "ModifyAllPowerProfiles=True"}, {"--help"}}) {
        std::ostream out(&full);
        std::ostringstream err;
        cli::Console console{out, err, input};
        EXPECT_EQ(cli::RunCommandLine(arguments, kOptionsKey, console), cli::kSystemError) << arguments[0];
        EXPECT_EQ(err.str(), "The result could not be written to standard output.\n");
    }
    std::ostream out(&full);
    std::ostringstream err;
    cli::Console console{out, err, input};
    EXPECT_EQ(cli::RunCommandLine({"relaxed"}, kOptionsKey, console), cli::kNoAutologonAccount) << "nothing to write";
}

// ---------------------------------------------------------------- secure, relaxed

TEST_F(CommandLineTest, SecureSwitchesEveryManagedSettingWithoutAskingForThePassword) {
    MakeRelaxed();
    const Result result = Run({"secure"}, "never read\n");
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "Switched to Secure Mode.\n");
    EXPECT_EQ(input.consumed, 0u);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0")));
    EXPECT_EQ(machine.powerSchemes[machine.activeScheme].lockOnWakeAc, 1u);
    EXPECT_EQ(machine.powerSchemes[1].lockOnWakeAc, 0u);  // only the active scheme
    EXPECT_TRUE(machine.screenSaverSecure);
    EXPECT_EQ(Status()["mode"], "secure");
}

TEST_F(CommandLineTest, SecureVerifyChecksThePasswordFromStandardInputFirst) {
    MakeRelaxed();
    Result result = Run({"secure", "--verify"}, "looking-glass\n");
    EXPECT_EQ(result.code, cli::kPasswordRejected);
    EXPECT_NE(result.err.find("does not match"), std::string::npos);
    EXPECT_EQ(Status()["mode"], "relaxed");

    machine.accounts[0].logonError = 1311;  // no logon servers: cannot be verified
    result = Run({"secure", "--verify"}, "wonderland\n");
    EXPECT_EQ(result.code, cli::kSystemError);
    EXPECT_EQ(Status()["mode"], "relaxed");

    machine.accounts[0].logonError = 0;
    machine.ClearCalls();
    result = Run({"secure", "--verify"}, "wonderland\n");
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(Args("LogonUserW"), "alice,GATEWISE-PC,type=2,provider=0");
    EXPECT_EQ(Status()["mode"], "secure");
}

TEST_F(CommandLineTest, SecureVerifyRefusesAnAccountWithoutPassword) {
    MakeRelaxed();
    machine.accounts[0].password.clear();
    const Result result = Run({"secure", "--verify"}, "\n");
    EXPECT_EQ(result.code, cli::kPasswordRejected);
    EXPECT_NE(result.err.find("not password protected"), std::string::npos);
    EXPECT_EQ(Status()["mode"], "relaxed");
}

TEST_F(CommandLineTest, RelaxedWithoutAnAccountExitsWithFourAndChangesNothing) {
    Result result = Run({"relaxed"});
    EXPECT_EQ(result.code, cli::kNoAutologonAccount);
    EXPECT_NE(result.err.find("account set"), std::string::npos);
    EXPECT_EQ(machine.CountCalls("RegSetValueExW"), 0);
    EXPECT_TRUE(machine.screenSaverSecure);

    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));  // a name without a password is not enough
    EXPECT_EQ(Run({"relaxed"}).code, cli::kNoAutologonAccount);

    StoreOption(WSTR("AutochangeStartup"), WSTR("False"));  // without the start-up setting none is needed
    result = Run({"relaxed"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_FALSE(machine.screenSaverSecure);
}

TEST_F(CommandLineTest, RelaxedWithAnAccountSwitchesEverySetting) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    StoreOption(WSTR("ModifyAllPowerProfiles"), WSTR("True"));
    machine.lsaSecrets[WSTR("DefaultPassword")] = {'w', 0};
    const Result result = Run({"relaxed"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "Switched to Relaxed Mode.\n");
    for (const auto& scheme : machine.powerSchemes) EXPECT_EQ(scheme.lockOnWakeAc + scheme.lockOnWakeDc, 0u);
    EXPECT_EQ(Status()["mode"], "relaxed");
}

TEST_F(CommandLineTest, FailedSwitchExitsWithOneAndSaysNothingWasChanged) {
    UseWindowsXp();  // where the screen saver setting lives in the desktop key alone
    StoreOption(WSTR("AutochangeStandby"), WSTR("False"));
    MakeRelaxed();
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("0"));
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure"), WSTR("1"));
    machine.Key(HKEY_CURRENT_USER, kDesktop).readOnly = true;
    const Result result = Run({"relaxed"});
    EXPECT_EQ(result.code, cli::kSystemError);
    EXPECT_EQ(result.err, "System Error.  Code: 5.\r\nAccess is denied.\r\nNothing was changed.\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0")));
    EXPECT_EQ(Status()["mode"], "secure");
}

TEST_F(CommandLineTest, StandardUserSwitchSaysWhatWasLeftOut) {
    BecomeStandardUser();
    const Result result = Run({"relaxed"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out,
              "Switched to Relaxed Mode.\n"
              "Left out, as they need administrator rights: the start-up and resume settings.\n");
    EXPECT_FALSE(machine.screenSaverSecure);
    EXPECT_FALSE(Winlogon(WSTR("AutoAdminLogon")));

    StoreOption(WSTR("AutochangeScreenSaver"), WSTR("False"));
    EXPECT_EQ(Run({"secure"}).code, cli::kNeedsAdministrator);
    EXPECT_FALSE(machine.screenSaverSecure);
}

TEST_F(CommandLineTest, ASwitchToTheModeInPlaceSaysSoLogsNothingAndLeavesTheSwitchBeforeToUndo) {
    MakeRelaxed();
    EXPECT_EQ(Run({"secure"}).out, "Switched to Secure Mode.\n");
    const Result again = Run({"secure"});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out, "The PC was already in Secure Mode; nothing was changed.\n");
    EXPECT_EQ(machine.eventLog.size(), 1u);
    EXPECT_EQ(Run({"undo"}).code, 0);
    EXPECT_EQ(Status()["mode"], "relaxed");
}

TEST_F(CommandLineTest, AChangeWhileAnotherProcessHoldsTheLockExitsWithTwelveHavingChangedNothing) {
    MakeRelaxed();
    const engine::TChangeLock held(engine::TChangeLock::lpPerUser | engine::TChangeLock::lpMachineWide);
    const std::string message = "Another Gatewise change is in progress; nothing was changed.";
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"secure", "--json"}, {"undo", "--json"}, {"options", "VerifyPassword=True", "--json"},
          {"account", "clear", "--json"}}) {
        Result result;
        machine.AsProcess(2, [&] { result = Run(command); });
        EXPECT_EQ(result.code, cli::kChangeInProgress) << command[0];
        EXPECT_EQ(result.err, message + "\n");
        EXPECT_EQ(json::parse(result.out), json({{"error", message}, {"exitCode", 12}}));
    }
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1"));
    EXPECT_EQ(StoredOption(WSTR("VerifyPassword")), std::nullopt);
    EXPECT_TRUE(machine.eventLog.empty());
}

// ---------------------------------------------------------------- undo

TEST_F(CommandLineTest, UndoPutsTheSettingsBackAndRefusesWhatChangedSinceUnlessForced) {
    Result result = Run({"undo"});
    EXPECT_EQ(result.code, cli::kNothingToUndo);
    EXPECT_EQ(result.err, "There is no switch to undo.\n");

    // A mix set by hand: automatic logon, and the password on wake and after the screen saver.
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    ASSERT_EQ(Status()["mode"], "custom");
    ASSERT_EQ(Run({"secure"}).code, 0);
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure"), WSTR("0"));
    result = Run({"undo", "--json"});
    EXPECT_EQ(result.code, cli::kChangedSinceSwitch);
    EXPECT_NE(result.err.find("The settings changed since the switch to Secure Mode of "), std::string::npos);
    EXPECT_NE(result.err.find(": ScreenSaverIsSecure. Nothing was changed; gatewisecmd undo --force undoes the "
                              "switch anyway.\n"),
              std::string::npos)
        << result.err;
    json answer = json::parse(result.out);
    EXPECT_EQ(answer["result"], "changed-since");
    EXPECT_EQ(answer["switch"]["mode"], "secure");
    EXPECT_EQ(answer["switch"]["time"].get<std::string>().size(), 20u);  // 2024-05-01T10:32:05Z
    EXPECT_EQ(answer["changedSince"], json::array({"ScreenSaverIsSecure"}));
    EXPECT_EQ(answer["exitCode"], cli::kChangedSinceSwitch);
    EXPECT_EQ(answer["error"].get<std::string>() + "\n", result.err);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0")));

    result = Run({"undo", "--force", "--json"});
    EXPECT_EQ(result.code, 0) << result.err;
    answer = json::parse(result.out);
    EXPECT_EQ(answer["result"], "undone");
    EXPECT_EQ(answer["mode"], "custom");
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("1")));
    EXPECT_EQ(Run({"undo"}).code, cli::kNothingToUndo);

    // Administrator rules as for a switch; a switch whose record cannot be kept says so.
    ASSERT_EQ(Run({"secure"}).code, 0);
    BecomeStandardUser();
    result = Run({"undo"});
    EXPECT_EQ(result.code, cli::kNeedsAdministrator);
    EXPECT_NE(result.err.find("needs administrator rights"), std::string::npos);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("0")));
    machine.Key(HKEY_CURRENT_USER, kOptionsKey).readOnly = true;
    result = Run({"relaxed"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.err, "Warning: undo will not be available: the settings before the switch could not be stored "
                          "under HKEY_CURRENT_USER\\SOFTWARE\\Vantrel\\Gatewise.\n");
}

TEST_F(CommandLineTest, AnUndoThatWentThroughIsNoFailureWhenTheModeCannotBeReadAfterwards) {
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    ASSERT_EQ(Run({"secure"}).code, 0);
    // Once the record is forgotten, no key opens any more.
    machine.beforeCall = [this](const std::string& function) {
        if (function != "RegDeleteValueW") return;
        machine.Fail("RegOpenKeyExW", ERROR_ACCESS_DENIED);
        machine.Fail("RegCreateKeyExW", ERROR_ACCESS_DENIED);
    };
    const Result result = Run({"undo", "--json"});
    machine.beforeCall = nullptr;
    EXPECT_EQ(result.code, 0) << result.err;
    const json answer = json::parse(result.out);
    EXPECT_EQ(answer["result"], "undone");
    EXPECT_EQ(answer["mode"], nullptr);
    EXPECT_NE(answer["warnings"].dump().find("The mode could not be read afterwards"), std::string::npos);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1"));
}

// ---------------------------------------------------------------- account

TEST_F(CommandLineTest, AccountSetVerifiesAndStoresThePasswordFromStandardInput) {
    const Result result = Run({"account", "set", "--user", "alice"}, "wonderland\r\nnext line\n");
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "Auto-logon account set to GATEWISE-PC\\alice, password in the protected store.\n");
    EXPECT_EQ(input.consumed, std::string("wonderland\r\n").size());
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), os::WString(WSTR("alice")));
    EXPECT_EQ(Winlogon(WSTR("DefaultDomainName")), os::WString(WSTR("GATEWISE-PC")));
    EXPECT_EQ(Secret(), "wonderland");
    EXPECT_EQ(Args("LogonUserW"), "alice,GATEWISE-PC,type=2,provider=0");
    EXPECT_EQ(Run({"relaxed"}).code, 0);
}

TEST_F(CommandLineTest, AccountSetWithARejectedPasswordExitsWithFiveAndStoresNothing) {
    machine.accounts.push_back({WSTR("bob"), WSTR("OFFICE"), WSTR("builder")});
    Result result = Run({"account", "set", "--user", "bob", "--domain", "OFFICE"}, "wonderland\n");
    EXPECT_EQ(result.code, cli::kPasswordRejected);
    EXPECT_FALSE(Winlogon(WSTR("DefaultUserName")));
    EXPECT_EQ(Secret(), "<none>");

    result = Run({"account", "set", "--user", "bob", "--domain", "OFFICE", "--no-verify"}, "wonderland\n");
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(machine.CountCalls("LogonUserW"), 1);
    EXPECT_EQ(Winlogon(WSTR("DefaultDomainName")), os::WString(WSTR("OFFICE")));
    EXPECT_EQ(Secret(), "wonderland");
}

TEST_F(CommandLineTest, LockedOutAccountIsNeitherSwitchedNorStoredAndNeverCheckedTwice) {
    machine.accounts[0].logonError = ERROR_ACCOUNT_LOCKED_OUT;
    const Result secure = Run({"secure", "--verify"}, "wonderland\n");
    EXPECT_EQ(secure.code, 1);
    EXPECT_NE(secure.err.find("This account is locked out after too many wrong passwords; try again later."),
              std::string::npos) << secure.err;
    const Result set = Run({"account", "set", "--user", "alice"}, "wonderland\nwonderland\n");
    EXPECT_EQ(set.code, 1);
    EXPECT_NE(set.err.find("locked out"), std::string::npos);
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), std::nullopt);
    EXPECT_EQ(machine.CountCalls("LogonUserW"), 2);
}

TEST_F(CommandLineTest, MicrosoftAccountAddressIsStoredAsTheLocalAccountConnectedToIt) {
    machine.accounts[0].microsoftAccount = WSTR("alice@outlook.com");
    for (const char* name : {"alice@outlook.com", "MicrosoftAccount\\alice@outlook.com"}) {
        const Result result = Run({"account", "set", "--user", name}, "wonderland\nwonderland\n");
        EXPECT_EQ(result.code, 0) << result.err;
        EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), WSTR("alice"));
        EXPECT_EQ(Winlogon(WSTR("DefaultDomainName")), WSTR("GATEWISE-PC"));
    }
    EXPECT_EQ(Args("LogonUserW"), "alice,GATEWISE-PC,type=2,provider=0 | alice,GATEWISE-PC,type=2,provider=0");
}

TEST_F(CommandLineTest, AccountSetRefusesNamesNoWindowsAccountHasAndOptionsTakenForValues) {
    for (const char* name : {"ali\nce", "ali\x7f" "ce", "ali\u0085ce", "ali\u2028ce", "gpj\u202e" "exe",
                             "alice\u200b", "abcdefghijklmnopqrstu", "OFFICE\\b\tob"}) {
        const Result result = Run({"account", "set", "--user", name, "--no-verify"}, "secret\n");
        EXPECT_EQ(result.code, cli::kBadUsage) << result.err;
    }
    const std::string principal = std::string(1020, 'a') + "@b.ch";
    EXPECT_EQ(Run({"account", "set", "--user", principal, "--no-verify"}, "secret\n").code, cli::kBadUsage);
    EXPECT_EQ(Run({"account", "set", "--user", "bob", "--domain", std::string(256, 'd'), "--no-verify"}, "x\n").code,
              cli::kBadUsage);
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), std::nullopt);

    const Result option = Run({"account", "set", "--user", "--no-verify"}, "secret\n");
    EXPECT_EQ(option.code, cli::kBadUsage);
    EXPECT_NE(option.err.find("--user=VALUE"), std::string::npos) << option.err;
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), std::nullopt);
    EXPECT_EQ(Run({"account", "set", "--user=-bob", "--no-verify"}, "secret\n").code, 0);
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), WSTR("-bob"));
}

TEST_F(CommandLineTest, AccountSetStoresWhatCannotBeVerifiedAndSaysSo) {
    machine.accounts[0].logonError = 1311;
    const Result result = Run({"account", "set", "--user", "alice"}, "wonderland");  // no line end
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.err, "The password could not be verified; it is stored as given.\n");
    EXPECT_EQ(Secret(), "wonderland");
}

TEST_F(CommandLineTest, AccountSetWarnsWhenOnlyThePlainRegistryValueTookThePassword) {
    machine.Fail("LsaStorePrivateData", STATUS_ACCESS_DENIED, 0, 1);  // the store, not the removal of the old secret
    Result result = Run({"account", "set", "--user", "alice"}, "wonderland\n");
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.err.find("registry value DefaultPassword"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("older password"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("password in a plain registry value"), std::string::npos) << result.out;

    machine.lsaSecrets[WSTR("DefaultPassword")] = {'o', 0};
    machine.Fail("LsaStorePrivateData", STATUS_ACCESS_DENIED);  // the old secret cannot be removed either
    result = Run({"account", "set", "--user", "alice"}, "wonderland\n");
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.err.find("registry value DefaultPassword"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("An older password in the protected store could not be removed"), std::string::npos)
        << result.err;
}

TEST_F(CommandLineTest, AccountCommandsNeedAdministratorRightsAndReadNothingWithout) {
    BecomeStandardUser();
    Result result = Run({"account", "set", "--user", "alice"}, "wonderland\n");
    EXPECT_EQ(result.code, cli::kNeedsAdministrator);
    EXPECT_NE(result.err.find("administrator rights"), std::string::npos);
    EXPECT_EQ(input.consumed, 0u);
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    EXPECT_EQ(Run({"account", "clear"}).code, cli::kNeedsAdministrator);
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), os::WString(WSTR("alice")));
    EXPECT_EQ(machine.CountCalls("RegSetValueExW") + machine.CountCalls("RegDeleteValueW"), 0);
}

TEST_F(CommandLineTest, AccountClearRemovesAccountAndPassword) {
    MakeRelaxed();
    machine.lsaSecrets[WSTR("DefaultPassword")] = {'w', 0};
    const Result result = Run({"account", "clear"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_FALSE(Winlogon(WSTR("DefaultUserName")));
    EXPECT_FALSE(Winlogon(WSTR("DefaultDomainName")));
    EXPECT_FALSE(Winlogon(WSTR("DefaultPassword")));
    EXPECT_EQ(Secret(), "<none>");
    EXPECT_EQ(Status()["account"]["password"], "none");
}

TEST_F(CommandLineTest, ConsoleUserTypesThePasswordTwiceWithoutEcho) {
    input.console = true;
    input.typed = {WSTR("wonderland"), WSTR("wonderlnad")};
    Result result = Run({"account", "set", "--user", "alice"});
    EXPECT_EQ(result.code, cli::kPasswordRejected);
    EXPECT_EQ(result.err, "The two passwords differ. Nothing was changed.\n");
    EXPECT_EQ(input.prompts, (std::vector<std::string>{"Password: ", "Confirm password: "}));
    EXPECT_EQ(Secret(), "<none>");

    input.typed = {os::WString(WSTR("open\0sesame"), 11)};
    result = Run({"account", "set", "--user", "alice"});
    EXPECT_EQ(result.code, cli::kBadUsage);
    EXPECT_NE(result.err.find("NUL character"), std::string::npos) << result.err;

    input.typed = {WSTR("wonderland"), WSTR("wonderland")};
    EXPECT_EQ(Run({"account", "set", "--user", "alice"}).code, 0);
    EXPECT_EQ(Secret(), "wonderland");
}

TEST_F(CommandLineTest, PasswordLineIsOneLineOfStrictUtf8WithinTheLimit) {
    const std::string longest(cli::kMaxPasswordLength, 'x');
    const struct {
        std::string piped;
        std::string stored;  // empty: refused with exit code 2 and this in the message
        std::string refusal;
    } cases[] = {
        {"\xEF\xBB\xBF" "gr\xC3\xBC\xC3\x9F\r\n", "gr\xC3\xBC\xC3\x9F", ""},
        {"\xF0\x9F\x94\x91 key", "\xF0\x9F\x94\x91 key", ""},  // beyond the BMP, no line end
        {"\xEF\xBB\xBF" + longest + "\r\n", longest, ""},       // neither counts towards the limit
        {longest + "x\n", "", "longer than 1024 bytes"},
        {"caf\xE9\r\n", "", "is not UTF-8 text"},                // Latin-1
        {"caf\xC3", "", "is not UTF-8 text"},                    // cut off
        {"\xC3(", "", "is not UTF-8 text"},                      // no continuation byte
        {"\xFF\xFEp\0a\0", "", "is not UTF-8 text"},             // UTF-16
        {"\xC0\xAF", "", "overlong"},
        {"\xE0\x80\xAF", "", "overlong"},
        {"\xF0\x80\x80\xAF", "", "overlong"},
        {"\xED\xA0\xBD\xED\xB4\x91", "", "surrogate"},           // CESU-8
        {"\xF4\x90\x80\x80", "", "beyond Unicode"},
        {std::string("open\0sesame\n", 12), "", "NUL"},
        {"", "", "holds no password line"},
    };
    for (const auto& c : cases) {
        machine.lsaSecrets.clear();
        const Result result = Run({"account", "set", "--user", "alice", "--no-verify"}, c.piped);
        if (c.refusal.empty()) {
            EXPECT_EQ(result.code, 0) << result.err;
            EXPECT_EQ(Secret(), c.stored);
        } else {
            EXPECT_EQ(result.code, cli::kBadUsage) << c.refusal;
            EXPECT_NE(result.err.find(c.refusal), std::string::npos) << result.err;
            EXPECT_EQ(result.err.find("caf"), std::string::npos) << result.err;
            EXPECT_EQ(Secret(), "<none>");
        }
    }
}

// ---------------------------------------------------------------- the password stays secret

TEST_F(CommandLineTest, PasswordNeverAppearsInAnyOutputOrCall) {
    const std::string password = "Qx7-Sesame";
    machine.accounts[0].password = os::FromUtf8(password);
    std::string everything;
    const auto run = [&](std::vector<std::string> arguments) {
        const Result result = Run(std::move(arguments), password + "\n");
        everything += result.out + result.err;
    };
    run({"account", "set", "--user", "alice"});
    run({"account", "set", "--user", "bob", "--no-verify"});
    machine.Fail("LsaStorePrivateData", STATUS_ACCESS_DENIED);  // the plain value takes it
    run({"account", "set", "--user", "alice"});
    run({"status"});
    run({"status", "--json"});
    run({"diagnose"});
    run({"diagnose", "--json"});
    run({"secure", "--verify"});
    run({"relaxed"});
    run({"account", "set", "--user", "alice", "--password", password});
    run({"secure", password});
    EXPECT_NE(everything.find("plain-text-password"), std::string::npos);
    EXPECT_EQ(everything.find("Sesame"), std::string::npos) << everything;
    for (const auto& call : machine.Calls()) EXPECT_EQ(call.args.find("Sesame"), std::string::npos) << call.function;
    EXPECT_GE(machine.eventLog.size(), 3u);
    for (const auto& event : machine.eventLog)
        for (const os::WString& text : event.strings) EXPECT_EQ(os::ToUtf8(text).find("Sesame"), std::string::npos);
}

TEST_F(CommandLineTest, PasswordFromStandardInputLeavesNoUnwipedCopy) {
    const std::string password = "Qx7-Sesame-long-enough-for-the-heap";
    {
        FreedMemoryWatch watch(password);
        FreeUnwipedCopy(password);
        EXPECT_EQ(watch.UnwipedBlocks(), 1) << "the watch sees nothing";
    }
    machine.accounts[0].password = os::FromUtf8(password);
    input.piped = "\xEF\xBB\xBF" + password + "\r\n" + password + "\n";
    int setCode;
    int verifyCode;
    {
        FreedMemoryWatch watch(password);
        setCode = Run({"account", "set", "--user", "alice"}).code;
        verifyCode = Run({"secure", "--verify"}).code;  // the second line
        EXPECT_EQ(watch.UnwipedBlocks(), 0);
    }
    EXPECT_EQ(setCode, 0);
    EXPECT_EQ(verifyCode, 0);
    EXPECT_EQ(Secret(), password);
}

// ---------------------------------------------------------------- options

TEST_F(CommandLineTest, OptionsShowsAllSixAndSavesOnlyTheOptionsNamed) {
    Result result = Run({"options"});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out,
              "  AutochangeStartup=True\n  AutochangeStandby=True\n  AutochangeScreenSaver=True\n"
              "  VerifyPassword=True\n  ModifyAllPowerProfiles=False\n  ForgetPasswordInSecureMode=False\n");
    EXPECT_FALSE(StoredOption(WSTR("VerifyPassword")));  // showing saves nothing

    StoreOption(WSTR("VerifyPassword"), WSTR("false"));
    result = Run({"options", "modifyallpowerprofiles=true", "AutochangeStandby=False"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.out.find("ModifyAllPowerProfiles=True"), std::string::npos);
    EXPECT_EQ(StoredOption(WSTR("ModifyAllPowerProfiles")), os::WString(WSTR("True")));
    EXPECT_EQ(StoredOption(WSTR("AutochangeStandby")), os::WString(WSTR("False")));
    EXPECT_FALSE(StoredOption(WSTR("AutochangeStartup")));
    EXPECT_EQ(StoredOption(WSTR("VerifyPassword")), os::WString(WSTR("false")));  // only the options named
    EXPECT_EQ(machine.CountCalls("RegSetValueExW"), 2);
}

TEST_F(CommandLineTest, OptionsRefusesWhatTheDialogWouldNotAllow) {
    const auto refused = [&](std::vector<std::string> arguments, int code, const std::string& message) {
        const Result result = Run(std::move(arguments));
        EXPECT_EQ(result.code, code) << result.err;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_EQ(machine.CountCalls("RegSetValueExW"), 0);
    };
    refused({"options", "VerifyPassword=False"}, cli::kBadUsage, "password verification");
    refused({"options", "ModifyAllPowerProfiles=True", "Autochange=True"}, cli::kBadUsage,
            "Argument 3 names no option");
    refused({"options", "AutochangeStartup"}, cli::kBadUsage, "Argument 2 is not of the form NAME=True or NAME=False");
    refused({"options", "AutochangeStartup=Yes"}, cli::kBadUsage, "the value of AutochangeStartup must be True or False");
    refused({"options", "AutochangeStartup=False", "AutochangeStandby=False", "AutochangeScreenSaver=False"},
            cli::kBadUsage, "At least one");
    BecomeStandardUser();
    refused({"options", "ModifyAllPowerProfiles=True", "AutochangeStartup=True"}, cli::kNeedsAdministrator,
            "administrator rights");
}

TEST_F(CommandLineTest, StandardUserLeavesTheMachineOptionsItDoesNotNameAsStored) {
    BecomeStandardUser();
    StoreOption(WSTR("AutochangeStartup"), WSTR("True"));
    const Result result = Run({"options", "AutochangeStandby=False", "ModifyAllPowerProfiles=True"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(StoredOption(WSTR("AutochangeStartup")), os::WString(WSTR("True")));
    EXPECT_EQ(StoredOption(WSTR("AutochangeStandby")), os::WString(WSTR("False")));
    EXPECT_EQ(StoredOption(WSTR("ModifyAllPowerProfiles")), os::WString(WSTR("True")));
}

TEST_F(CommandLineTest, OptionThatTheRegistryDidNotKeepExitsWithOneAndNamesIt) {
    StoreOption(WSTR("ModifyAllPowerProfiles"), WSTR("False"));
    StoreOption(WSTR("AutochangeStandby"), WSTR("False"));
    machine.Key(HKEY_CURRENT_USER, kOptionsKey).readOnly = true;
    const Result result = Run({"options", "ModifyAllPowerProfiles=True", "AutochangeStandby=False"});
    EXPECT_EQ(result.code, cli::kSystemError);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "Not saved, as the registry did not keep the new value: ModifyAllPowerProfiles (under "
              "HKEY_CURRENT_USER\\SOFTWARE\\Vantrel\\Gatewise).\n");
    EXPECT_EQ(StoredOption(WSTR("ModifyAllPowerProfiles")), os::WString(WSTR("False")));
}

// ---------------------------------------------------------------- diagnose

TEST_F(CommandLineTest, DiagnoseExitsWithSixWhenAProblemIsFound) {
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("SCRNSAVE.EXE"), WSTR("Bubbles.scr"));
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    machine.lsaSecrets[WSTR("DefaultPassword")] = {'w', 0};
    Result result = Run({"diagnose"});
    EXPECT_EQ(result.code, 0) << result.out;
    EXPECT_NE(result.out.find("0 problems, 0 warnings."), std::string::npos) << result.out;

    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoLogonCount"), 2);
    result = Run({"diagnose"});
    EXPECT_EQ(result.code, cli::kProblemFound);
    EXPECT_EQ(result.out.rfind("problem  autologon-count\n         AutoLogonCount is 2", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("\n         Fix: Delete the value AutoLogonCount"), std::string::npos);
    EXPECT_NE(result.out.find("1 problem, 0 warnings."), std::string::npos);

    result = Run({"diagnose", "--json"});
    EXPECT_EQ(result.code, cli::kProblemFound);
    const json report = json::parse(result.out);
    EXPECT_EQ(report["problems"], 1);
    EXPECT_EQ(report["warnings"], 0);
    ASSERT_EQ(report["checks"].size(), diagnostics::CheckIds().size());
    EXPECT_EQ(report["checks"][0]["id"], "administrator");  // in the fixed order
    EXPECT_EQ(report["checks"][4]["id"], "autologon-count");
    EXPECT_EQ(report["checks"][4]["verdict"], "problem");
    EXPECT_EQ(report["checks"][0]["fix"], "");
    EXPECT_EQ(report["for"], nullptr);

    // AutoLogonCount stops Relaxed Mode only.
    result = Run({"diagnose", "--for", "secure"});
    EXPECT_EQ(result.code, 0) << result.out;
    EXPECT_NE(result.out.find("\n0 problems, 0 warnings for Secure Mode.\n"), std::string::npos) << result.out;
    EXPECT_EQ(json::parse(Run({"diagnose", "--for", "relaxed", "--json"}).out)["for"], "relaxed");
}

TEST_F(CommandLineTest, DiagnoseFixesAFindingOnlyForAnAdministratorAndSaysHowToReverseIt) {
    const WCHAR* key = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\PasswordLess\\Device");
    machine.SetDword(HKEY_LOCAL_MACHINE, key, WSTR("DevicePasswordLessBuildVersion"), 2);
    json report = json::parse(Run({"diagnose", "--json"}).out);
    const auto finding = std::find_if(report["checks"].begin(), report["checks"].end(),
                                      [](const json& check) { return check["id"] == "password-less-sign-in"; });
    EXPECT_EQ((*finding)["fixable"], true);

    BecomeStandardUser();
    Result result = Run({"diagnose", "--fix", "password-less-sign-in"});
    EXPECT_EQ(result.code, cli::kNeedsAdministrator);
    EXPECT_NE(result.err.find("needs administrator rights"), std::string::npos) << result.err;
    machine.processGroups = {{UsersSid(), SE_GROUP_ENABLED}, {os::sim::AdministratorsSid(), SE_GROUP_ENABLED}};

    result = Run({"diagnose", "--fix", "password-less-sign-in"});
    EXPECT_EQ(result.code, cli::kDone) << result.err;
    EXPECT_EQ(result.out.rfind("Fixed password-less-sign-in: DevicePasswordLessBuildVersion under HKEY_LOCAL_MACHINE", 0),
              0u) << result.out;
    EXPECT_NE(result.out.find("\nTo reverse it, set DevicePasswordLessBuildVersion"), std::string::npos);
    EXPECT_EQ(machine.eventLog.back().id, static_cast<DWORD>(audit::ckFix));

    report = json::parse(Run({"diagnose", "--fix", "password-less-sign-in", "--json"}).out);
    EXPECT_EQ(report["result"], "nothing-to-fix");
    EXPECT_EQ(report["reverse"], nullptr);
    EXPECT_EQ(Run({"diagnose", "--fix", "logon-banner"}).code, cli::kBadUsage) << "a policy has no fix";
    result = Run({"diagnose", "--fix", "autologon-count", "--for", "relaxed"});
    EXPECT_EQ(result.code, cli::kBadUsage);
    EXPECT_EQ(result.err, "gatewisecmd diagnose takes only one of --for, --fix and --verify-stored.\n");
}

TEST_F(CommandLineTest, RelaxedWarnsWhenPasswordLessSignInStopsTheMicrosoftAccount) {
    MakeRelaxed();
    machine.accounts[0].microsoftAccount = WSTR("alice@example.com");
    machine.SetDword(HKEY_LOCAL_MACHINE, WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\PasswordLess\\Device"),
                     WSTR("DevicePasswordLessBuildVersion"), 2);
    const Result result = Run({"relaxed"});
    EXPECT_EQ(result.code, cli::kDone) << "the switch goes on";
    EXPECT_EQ(result.err.rfind("Warning: Windows requires Windows Hello sign-in for Microsoft accounts, and "
                               "GATEWISE-PC\\alice is one",
                               0),
              0u)
        << result.err;
    machine.accounts[0].microsoftAccount.clear();
    EXPECT_EQ(Run({"relaxed"}).err, "");
}

TEST_F(CommandLineTest, DiagnoseVerifyStoredTriesThePasswordOnceAfterAWarning) {
    Result result = Run({"diagnose", "--verify-stored"});
    EXPECT_EQ(result.code, cli::kNoAutologonAccount);
    EXPECT_NE(result.err.find("No auto-logon account is stored"), std::string::npos) << result.err;

    MakeRelaxed();
    result = Run({"diagnose", "--verify-stored"});
    EXPECT_EQ(result.code, cli::kDone) << result.err;
    EXPECT_EQ(result.err.rfind("Warning: the stored password is tried once", 0), 0u) << "warned first";
    EXPECT_EQ(result.out, "Windows accepts the stored password of GATEWISE-PC\\alice.\n");

    machine.accounts[0].password = WSTR("changed");
    machine.ClearCalls();
    result = Run({"diagnose", "--verify-stored", "--json"});
    EXPECT_EQ(result.code, cli::kPasswordRejected);
    EXPECT_EQ(machine.CountCalls("LogonUserW"), 1);
    const json report = json::parse(result.out);
    EXPECT_EQ(report["result"], "rejected");
    EXPECT_EQ(report["tried"], "plain-value");
    EXPECT_EQ(report["exitCode"], cli::kPasswordRejected);
    EXPECT_EQ(result.out.find("wonderland"), std::string::npos);

    BecomeStandardUser();
    machine.ClearCalls();
    EXPECT_EQ(Run({"diagnose", "--verify-stored"}).code, cli::kNeedsAdministrator);
    EXPECT_EQ(machine.CountCalls("LogonUserW"), 0);
}

// ---------------------------------------------------------------- event log

TEST_F(CommandLineTest, EachChangeIsLoggedAndAFailureToLogIsAWarningNotAFailure) {
    Result result = Run({"secure"});
    EXPECT_EQ(result.err, "");
    result = Run({"options", "ModifyAllPowerProfiles=True"});
    ASSERT_EQ(machine.eventLog.size(), 2u);
    EXPECT_EQ(machine.eventLog[0].id, static_cast<DWORD>(audit::ckSwitch));
    EXPECT_EQ(machine.eventLog[0].strings[2], WSTR("Program: gatewisecmd.exe (the command line)"));
    EXPECT_EQ(machine.eventLog[1].strings[3], WSTR("Options: ModifyAllPowerProfiles from False to True."));

    const std::string warning =
        "Warning: The change could not be written to the event log: System Error.  Code: 5.\r\nAccess is denied.\n";
    machine.Fail("ReportEventW", ERROR_ACCESS_DENIED);
    machine.screenSaverSecure = FALSE;
    result = Run({"secure"});
    EXPECT_EQ(result.code, cli::kDone);
    EXPECT_EQ(result.out, "Switched to Secure Mode.\n");
    EXPECT_EQ(result.err, warning);

    machine.Fail("PowerWriteACValueIndex", ERROR_ACCESS_DENIED);
    result = Run({"relaxed"});
    EXPECT_EQ(result.code, cli::kNoAutologonAccount) << "refused before any change: nothing to log";
    EXPECT_EQ(result.err.find("Warning"), std::string::npos);
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    machine.lsaSecrets[WSTR("DefaultPassword")] = {'w', 0};
    result = Run({"relaxed"});
    EXPECT_EQ(result.code, cli::kSystemError);
    EXPECT_EQ(result.err.rfind(warning + "System Error.  Code: 5.", 0), 0u) << result.err;
}

// ---------------------------------------------------------------- selftest

TEST_F(CommandLineTest, SelfTestPrintsALinePerCheckAndExitsWithEightWhenOneFails) {
    machine.programImage = ProgramImage(LOAD_LIBRARY_SEARCH_SYSTEM32);
    engine::RestrictDllSearchToSystemFolder();
    Result result = Run({"selftest"});
    EXPECT_EQ(result.code, cli::kDone) << result.out;
    EXPECT_EQ(result.out.rfind("passed   power-scheme\n         A copy of the active power plan took", 0), 0u)
        << result.out;
    EXPECT_NE(result.out.find("\n7 passed, 0 failed, 0 skipped.\n"), std::string::npos) << result.out;

    machine.Fail("LsaOpenPolicy", static_cast<DWORD>(STATUS_ACCESS_DENIED));
    result = Run({"selftest", "--json"});
    EXPECT_EQ(result.code, cli::kSelfTestFailed);
    const json report = json::parse(result.out);
    EXPECT_EQ(report["passed"], 6);
    EXPECT_EQ(report["failed"], 1);
    EXPECT_EQ(report["skipped"], 0);
    ASSERT_EQ(report["checks"].size(), 7u);
    EXPECT_EQ(report["checks"][1]["id"], "private-data");
    EXPECT_EQ(report["checks"][1]["result"], "failed");

    BecomeStandardUser();
    result = Run({"selftest"});
    EXPECT_EQ(result.code, cli::kDone) << "skipped steps are no failures";
    EXPECT_NE(result.out.find("skipped  private-data\n         Skipped: needs administrator rights"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("\n5 passed, 0 failed, 2 skipped.\n"), std::string::npos) << result.out;
}

// ---------------------------------------------------------------- usage

// Whatever was typed, the message names the option or the argument's position
// and never repeats the text: it may be a password given by mistake.
TEST_F(CommandLineTest, BadUsageExitsWithTwoAndNamesTheArgumentWithoutRepeatingIt) {
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{}, "gatewisecmd needs a command: status, secure, relaxed, account, options, diagnose, check, selftest, undo, version."},
        {{"Zq9secret"},
         "Argument 1: unknown command. The commands of gatewisecmd are status, secure, relaxed, account, options, "
         "diagnose, check, selftest, undo, version."},
        {{"--Zq9secret", "status"}, "Argument 1 is not an option of gatewisecmd."},
        {{"status", "--Zq9secret=1"}, "Argument 2 is not an option of gatewisecmd status."},
        {{"status", "--json=Zq9secret"}, "Argument 2: the option --json takes no value."},
        {{"secure", "--verify=Zq9secret"}, "Argument 2: the option --verify takes no value."},
        {{"secure", "Zq9secret"}, "Argument 2 was not expected by gatewisecmd secure."},
        {{"relaxed", "--verify"}, "Argument 2 is not an option of gatewisecmd relaxed."},
        {{"selftest", "--json=Zq9secret"}, "Argument 2: the option --json takes no value."},
        {{"account", "Zq9secret"}, "Argument 2: unknown command. The commands of gatewisecmd account are set, clear."},
        {{"diagnose", "--for", "Zq9secret"}, "Argument 2: the option --for takes secure or relaxed."},
        {{"account"}, "gatewisecmd account needs a command: set, clear."},
        {{"account", "set", "--domain", "Zq9secret"}, "gatewisecmd account set needs the option --user."},
        {{"account", "set", "--user"}, "Argument 3: the option --user needs a value."},
        {{"account", "set", "--user", "a", "--no-verify=Zq9secret"},
         "Argument 5: the option --no-verify takes no value."},
        {{"account", "set", "--user", "Zq9secret", "--user", "Zq9secret"},
         "Argument 5: the option --user is given more than once."},
        {{"options", "Zq9secret"}, "Argument 2 is not of the form NAME=True or NAME=False."},
        {{"options", "Zq9secret=True"}, "Argument 2 names no option."},
        {{"options", "options=Zq9secret"}, "Argument 2 names no option."},
        {{"options", "AutochangeStartup=Zq9secret"}, "Argument 2: the value of AutochangeStartup must be True or False."},
    };
    for (const auto& c : cases) {
        const Result result = Run(c.arguments);
        EXPECT_EQ(result.code, cli::kBadUsage) << c.message;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind(c.message, 0), 0u) << result.err;
        EXPECT_EQ(result.err.find("Zq9"), std::string::npos) << result.err;
        if (c.arguments.empty() || c.arguments[0] != "options") {
            // The message, then one line that says where the help is.
            const std::size_t hint = result.err.find("\nRun gatewisecmd ");
            ASSERT_NE(hint, std::string::npos) << result.err;
            EXPECT_NE(result.err.find(" --help to see its ", hint), std::string::npos) << result.err;
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
            EXPECT_EQ(machine.CountCalls("RegOpenKeyExW") + machine.CountCalls("RegCreateKeyExW"), 0);
        }
    }
}

TEST_F(CommandLineTest, HelpOfEveryCommandAndTheVersionGoToStandardOutput) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--help"}, {"status", "--help"}, {"secure", "-h"}, {"relaxed", "--help"}, {"account", "--help"},
             {"account", "set", "--help"}, {"account", "clear", "--help"}, {"options", "--help"},
             {"diagnose", "--help"}, {"version", "--help"}, {"/?"}, {"account", "set", "/?"}}) {
        const Result result = Run(arguments);
        EXPECT_EQ(result.code, 0);
        EXPECT_NE(result.out.find("Usage:"), std::string::npos) << result.out;
        EXPECT_EQ(result.err, "");
    }
    EXPECT_NE(Run({"account", "set", "--help"}).out.find("--no-verify"), std::string::npos);
    EXPECT_NE(Run({"--help"}).out.find("6 diagnose found a problem"), std::string::npos);
    EXPECT_NE(Run({"--help"}).out.find("11 the computer is locked"), std::string::npos);

    EXPECT_EQ(Run({"status", "/?"}).out, Run({"status", "--help"}).out);

    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--version"}, {"version"}}) {
        const Result version = Run(arguments);
        EXPECT_EQ(version.code, 0);
        EXPECT_EQ(version.out, "gatewisecmd " GATEWISE_VERSION_TEXT "\n");
    }
    EXPECT_EQ(json::parse(Run({"version", "--json"}).out),
              json({{"name", "gatewisecmd"}, {"version", GATEWISE_VERSION_TEXT}}));
    EXPECT_EQ(machine.CountCalls("RegOpenKeyExW") + machine.CountCalls("RegCreateKeyExW"), 0);
}

// ---------------------------------------------------------------- JSON

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Each command answers --json with exactly one object of ASCII alone, also
// when it fails; a name beyond ASCII comes back whole from its \u escapes.
TEST_F(CommandLineTest, EveryCommandAnswersJsonInAsciiAlsoWhenItFails) {
    const std::string name = "Zo\xC3\xAB\xF0\x9F\x94\x91";  // an e with diaeresis, and a key beyond U+FFFF
    machine.accounts.push_back({os::FromUtf8(name), WSTR("GATEWISE-PC"), WSTR("wonderland")});
    const struct {
        std::vector<std::string> arguments;
        int code;
    } cases[] = {
        {{"relaxed", "--json"}, cli::kNoAutologonAccount},
        {{"account", "set", "--user", name, "--json"}, cli::kDone},
        {{"status", "--json"}, cli::kDone},
        {{"secure", "--json"}, cli::kDone},
        {{"relaxed", "--json"}, cli::kDone},
        {{"options", "--json"}, cli::kDone},
        {{"options", "VerifyPassword=False", "--json"}, cli::kBadUsage},
        {{"diagnose", "--json"}, cli::kDone},
        {{"diagnose", "--for", "secure", "--json"}, cli::kDone},
        {{"version", "--json"}, cli::kDone},
        {{"status", "--Zq9secret", "--json"}, cli::kBadUsage},
        {{"account", "clear", "--json"}, cli::kDone},
    };
    for (const auto& c : cases) {
        const Result result = Run(c.arguments, "wonderland\n");
        EXPECT_EQ(result.code, c.code) << result.err;
        EXPECT_TRUE(IsAscii(result.out)) << result.out;
        const json object = json::parse(result.out);  // one object: anything after it fails the parse
        EXPECT_TRUE(object.is_object()) << result.out;
        if (c.code != cli::kDone) {
            EXPECT_EQ(object, json({{"error", result.err.substr(0, result.err.find('\n'))}, {"exitCode", c.code}}));
        }
        if (c.arguments[0] == "account" && c.arguments[1] == "set") {
            EXPECT_EQ(object["account"]["user"], name);
            EXPECT_NE(result.out.find("\"Zo\\u00eb\\ud83d\\udd11\""), std::string::npos) << result.out;
        }
    }
}

TEST_F(CommandLineTest, SwitchJsonSaysWhatChangedFromWhatToWhat) {
    MakeRelaxed();
    machine.screenSaverSecure = TRUE;  // custom: the screen saver asks already
    EXPECT_EQ(json::parse(Run({"secure", "--json"}).out), json::parse(R"({
        "mode": "secure", "once": false, "passwordRemoved": false, "previousMode": "custom",
        "changes": [{"name": "startup", "from": "does-not-ask", "to": "asks"},
                    {"name": "resume", "from": "does-not-ask", "to": "asks"}], "alreadyInMode": false,
        "leftOut": [], "leftOutReasons": {}, "settingsOf": "GATEWISE-PC\\alice", "warnings": []})"));
    const json again = json::parse(Run({"secure", "--json"}).out);
    EXPECT_EQ(again["changes"], json::array()) << "nothing left to change";
    EXPECT_EQ(again["alreadyInMode"], true);

    BecomeStandardUser();
    EXPECT_EQ(json::parse(Run({"relaxed", "--json"}).out), json::parse(R"({
        "mode": "relaxed", "once": false, "passwordRemoved": false, "previousMode": "secure",
        "changes": [{"name": "screenSaver", "from": "asks", "to": "does-not-ask"}], "alreadyInMode": false,
        "leftOut": ["startup", "resume"],
        "leftOutReasons": {"startup": "needs-administrator", "resume": "needs-administrator"},
        "settingsOf": "GATEWISE-PC\\alice", "warnings": ["Left out, as they need administrator rights: the start-up and resume settings."]})"));
}

TEST_F(CommandLineTest, OnlySwitchesTheNamedSettingsAndSaysWhatItLeftAndWhy) {
    MakeRelaxed();
    StoreOption(WSTR("AutochangeStandby"), WSTR("False"));
    const Result named = Run({"secure", "--only", "resume,screensaver", "--json"});
    ASSERT_EQ(named.code, 0) << named.err;
    const json answer = json::parse(named.out);
    EXPECT_EQ(answer["leftOut"], json::parse(R"(["startup"])"));
    EXPECT_EQ(answer["leftOutReasons"], json::parse(R"({"startup": "not-in-only"})"));
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1"));
    EXPECT_EQ(machine.powerSchemes[machine.activeScheme].lockOnWakeAc, 1u) << "named, though the options leave it";
    EXPECT_EQ(machine.screenSaverSecure, TRUE);

    const Result text = Run({"relaxed", "--only", "screensaver"});
    EXPECT_NE(text.out.find("Left out, as --only does not name them: the start-up and resume settings."),
              std::string::npos) << text.out;
    EXPECT_EQ(Run({"secure", "--only", "startup,wallpaper"}).code, cli::kBadUsage);
    BecomeStandardUser();
    const Result refused = Run({"secure", "--only", "startup"});
    EXPECT_EQ(refused.code, cli::kNeedsAdministrator);
    EXPECT_EQ(refused.err, "Nothing was switched: the start-up and resume settings need administrator rights; the "
                           "screen saver setting is not named by --only.\n");
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1"));
}

TEST_F(CommandLineTest, AccountJsonSaysWhatChangedAndWhereThePasswordWent) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    SetWinlogon(WSTR("DefaultDomainName"), WSTR("GATEWISE-PC"));
    machine.Fail("LsaStorePrivateData", STATUS_ACCESS_DENIED, 0, 1);  // the plain value takes it
    Result result = Run({"account", "set", "--user", "alice", "--json"}, "wonderland\n");
    json object = json::parse(result.out);
    EXPECT_EQ(object["account"], json::parse(R"({"user": "alice", "domain": "GATEWISE-PC", "password": "plain-value"})"));
    EXPECT_EQ(object["changes"], json::parse(R"([{"name": "user", "from": "bob", "to": "alice"},
                                                 {"name": "password", "from": "none", "to": "plain-value"}])"));
    EXPECT_EQ(object["verification"], "accepted");
    ASSERT_EQ(object["warnings"].size(), 1u);
    EXPECT_EQ(result.err, "") << "with --json warnings go into the JSON alone";

    object = json::parse(Run({"account", "clear", "--json"}).out);
    EXPECT_EQ(object["account"], json::parse(R"({"user": "", "domain": "", "password": "none"})"));
    EXPECT_EQ(object["changes"], json::parse(R"([{"name": "user", "from": "alice", "to": ""},
                                                 {"name": "domain", "from": "GATEWISE-PC", "to": ""},
                                                 {"name": "password", "from": "plain-value", "to": "none"}])"));
}

TEST_F(CommandLineTest, OptionsTurnThePasswordVerificationBackOnAndSayWhatChanged) {
    StoreOption(WSTR("VerifyPassword"), WSTR("False"));
    const Result result = Run({"options", "verifypassword=true", "ModifyAllPowerProfiles=False", "--json"});
    EXPECT_EQ(result.code, 0) << result.err;
    const json object = json::parse(result.out);
    EXPECT_EQ(object["changes"], json::parse(R"([{"name": "VerifyPassword", "from": false, "to": true}])"));
    EXPECT_EQ(object["options"]["VerifyPassword"], true);
    EXPECT_EQ(StoredOption(WSTR("VerifyPassword")), os::WString(WSTR("True")));
    EXPECT_EQ(StoredOption(WSTR("ModifyAllPowerProfiles")), os::WString(WSTR("False")));
}

// "DOMAIN\name" carries its domain; "name@domain" is stored whole, with no
// domain, and verified without one, as Windows wants such a name.
TEST_F(CommandLineTest, UserNameCarriesItsDomainOrIsStoredWholeAsAPrincipalName) {
    machine.accounts.push_back({WSTR("bob"), WSTR("OFFICE"), WSTR("builder")});
    machine.accounts.push_back({WSTR("bob@corp.example"), WSTR(""), WSTR("builder")});
    const struct {
        std::vector<std::string> options;
        std::string stored;  // user and domain; empty: refused with exit code 2, before the password is read
        std::string logon;
    } cases[] = {
        {{"--user", "OFFICE\\bob", "--domain", "office"}, "bob OFFICE", "bob,OFFICE"},
        {{"--user", "bob@corp.example"}, "bob@corp.example ", "bob@corp.example,(null)"},
        {{"--user", "OFFICE\\bob", "--domain", "HOME"}, "", ""},
        {{"--user", "bob@corp.example", "--domain", "CORP"}, "", ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"account", "set"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        machine.ClearCalls();
        machine.Key(HKEY_LOCAL_MACHINE, kWinlogon).values.clear();
        const Result result = Run(arguments, "builder\n");
        EXPECT_EQ(result.code, c.stored.empty() ? cli::kBadUsage : cli::kDone) << c.options[1] << ": " << result.err;
        EXPECT_EQ(input.consumed, c.stored.empty() ? 0u : 8u) << c.options[1];
        EXPECT_EQ(os::ToUtf8(Winlogon(WSTR("DefaultUserName")).value_or(WSTR("")) + WSTR(" ") +
                             Winlogon(WSTR("DefaultDomainName")).value_or(WSTR(""))),
                  c.stored.empty() ? " " : c.stored);
        EXPECT_EQ(Args("LogonUserW"), c.logon.empty() ? "" : c.logon + ",type=2,provider=0");
    }
}

// ---------------------------------------------------------------- run as SYSTEM

// gatewisecmd started by a management agent: LocalSystem in session 0, whose
// own hive is HKEY_CURRENT_USER, with alice signed in at the console.
class SystemRunTest : public CommandLineTest {
protected:
    void SetUp() override {
        machine.processUser = os::sim::LocalSystemSid();
        machine.SetString(HKEY_USERS, AliceKey(kDesktop), WSTR("ScreenSaverIsSecure"), WSTR("1"));
        machine.userProgram = [this](const os::WString& commandLine) { return RunStarted(commandLine); };
    }

    static os::WString AliceKey(const WCHAR* path) {
        return os::sim::SidText(os::sim::AliceSid()) + WSTR("\\") + path;
    }
    std::optional<os::WString> AliceValue(const WCHAR* path, const WCHAR* name) const {
        return machine.String(HKEY_USERS, AliceKey(path), name);
    }

    // The program as CreateProcessAsUserW starts it: its arguments after the
    // quoted path. `started` has its command line without the voucher's name,
    // which ends it and which `vouchers` has.
    DWORD RunStarted(const os::WString& commandLine) {
        const std::string line = os::ToUtf8(commandLine);
        started.push_back(line.substr(0, line.rfind(' ')));
        vouchers.push_back(line.substr(line.rfind(' ') + 1));
        std::istringstream words(os::ToUtf8(commandLine.substr(commandLine.find(WCHAR('"'), 1) + 1)));
        std::vector<std::string> arguments;
        for (std::string word; words >> word;) arguments.push_back(word);
        if (failStartedPart && arguments[1] != "read") return ERROR_ACCESS_DENIED;
        std::ostringstream out;
        std::ostringstream err;
        cli::Console console{out, err, input};
        int code = 0;
        machine.AsProcess(2, [&] { code = cli::RunCommandLine(arguments, kOptionsKey, console); });
        return static_cast<DWORD>(code);
    }

    std::vector<std::string> started;
    std::vector<std::string> vouchers;
    bool failStartedPart = false;
};

TEST_F(SystemRunTest, SwitchChangesTheConsoleUsersHiveAndSessionNotSystemsOwn) {
    MakeRelaxed();
    machine.modernStandby = true;
    machine.consoleUser->screenSaverSecure = FALSE;
    machine.screenSaverSecure = TRUE;  // session 0
    // The options are alice's: all power schemes. SYSTEM's own would leave the screen saver alone.
    machine.SetString(HKEY_USERS, AliceKey(kOptionsKey), WSTR("ModifyAllPowerProfiles"), WSTR("True"));
    StoreOption(WSTR("AutochangeScreenSaver"), WSTR("False"));

    const Result result = Run({"secure", "--json"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(machine.tickCount, 0u) << "the part in alice's session did not wait for the lock that its parent holds";
    const json answer = json::parse(result.out);
    EXPECT_EQ(answer["settingsOf"], "GATEWISE-PC\\alice");
    EXPECT_EQ(answer["changes"].back(), json::parse(R"({"name": "screenSaver", "from": "does-not-ask", "to": "asks"})"));
    EXPECT_EQ(machine.consoleUser->screenSaverSecure, TRUE);
    EXPECT_EQ(AliceValue(kDesktop, WSTR("ScreenSaverIsSecure")), WSTR("1"));
    EXPECT_EQ(machine.Value(HKEY_USERS, AliceKey(kDesktop), WSTR("DelayLockInterval"))->data,
              (std::vector<BYTE>{0, 0, 0, 0}));
    for (const auto& scheme : machine.powerSchemes) EXPECT_EQ(scheme.lockOnWakeAc, 1u);
    // SYSTEM's own session and hive are left as they were.
    EXPECT_EQ(machine.screenSaverSecure, TRUE);
    EXPECT_EQ(machine.Value(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval")), nullptr);
    // The part in alice's session: the program itself, with her token, on her desktop, without a window.
    const std::string program = "\"C:\\Program Files\\Gatewise\\gatewisecmd.exe\" --session-screen-saver ";
    EXPECT_EQ(std::count(started.begin(), started.end(), program + "ask"), 1);
    // With alice's own environment (a Unicode block) and the system folder as its current folder.
    EXPECT_NE(Args("CreateProcessAsUserW")
                  .find("desktop=winsta0\\default|inherit=0|flags=0x8000400|environment=user|"
                        "directory=C:\\Windows\\system32"),
              std::string::npos);

    machine.ClearCalls();
    const Result text = Run({"relaxed"});
    EXPECT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("Per-user settings of GATEWISE-PC\\alice, signed in at the console"), std::string::npos);
    EXPECT_EQ(machine.consoleUser->screenSaverSecure, FALSE);
    EXPECT_EQ(AliceValue(kDesktop, WSTR("ScreenSaverIsSecure")), WSTR("0"));
    EXPECT_EQ(std::count(started.begin(), started.end(), program + "no-ask"), 1);

    // The record of the switch is alice's, and undo puts back her hive and session.
    EXPECT_EQ(machine.Value(HKEY_CURRENT_USER, kOptionsKey, WSTR("LastSwitch")), nullptr);
    EXPECT_NE(machine.Value(HKEY_USERS, AliceKey(kOptionsKey), WSTR("LastSwitch")), nullptr);
    const Result undone = Run({"undo"});
    EXPECT_EQ(undone.code, 0) << undone.err;
    EXPECT_EQ(machine.consoleUser->screenSaverSecure, TRUE);
    EXPECT_EQ(AliceValue(kDesktop, WSTR("ScreenSaverIsSecure")), WSTR("1"));
    EXPECT_EQ(machine.screenSaverSecure, TRUE);
}

TEST_F(SystemRunTest, TheConsoleUsersOptionsNeverNarrowWhatSystemSwitches) {
    MakeRelaxed();
    machine.consoleUser->screenSaverSecure = FALSE;
    for (const WCHAR* option : {WSTR("AutochangeStartup"), WSTR("AutochangeStandby"), WSTR("AutochangeScreenSaver"),
                                WSTR("ModifyAllPowerProfiles")})
        machine.SetString(HKEY_USERS, AliceKey(kOptionsKey), option, WSTR("False"));
    const Result result = Run({"secure", "--json"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(json::parse(result.out)["leftOut"], json::array());
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("0"));
    for (const auto& scheme : machine.powerSchemes) EXPECT_EQ(scheme.lockOnWakeAc, 1u) << "every power scheme";
    EXPECT_EQ(machine.consoleUser->screenSaverSecure, TRUE);
}

TEST_F(SystemRunTest, TheConsoleUsersOwnRecordNeverMakesSystemWriteAMachineWideValue) {
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("0"));
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    machine.consoleUser->screenSaverSecure = FALSE;
    ASSERT_EQ(Run({"secure"}).code, 0);
    ASSERT_EQ(machine.String(HKEY_LOCAL_MACHINE, kOptionsKey, WSTR("LastSwitch")),
              AliceValue(kOptionsKey, WSTR("LastSwitch")));
    // alice edits the record in her hive: automatic logon on at undo.
    json forged = json::parse(os::ToUtf8(*AliceValue(kOptionsKey, WSTR("LastSwitch"))));
    forged["before"]["AutoAdminLogon"]["data"] = "31000000";
    machine.SetString(HKEY_USERS, AliceKey(kOptionsKey), WSTR("LastSwitch"), os::FromUtf8(forged.dump()));

    const Result undone = Run({"undo", "--force"});
    EXPECT_EQ(undone.code, 0) << undone.err;
    EXPECT_NE(undone.err.find("where only administrators write, is missing"), std::string::npos) << undone.err;
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("0"));
    EXPECT_EQ(machine.consoleUser->screenSaverSecure, FALSE) << "alice's own setting is undone";
}

TEST_F(SystemRunTest, StatusAndDiagnoseSayWhoseSettingsTheyShow) {
    machine.consoleUser->screenSaverSecure = FALSE;
    machine.screenSaverSecure = TRUE;
    json status = Status();
    EXPECT_EQ(status["settingsOf"], "GATEWISE-PC\\alice");
    EXPECT_EQ(status["settings"]["screenSaver"], "does-not-ask");  // alice's session, read by the program there
    EXPECT_EQ(started.back().substr(started.back().rfind(' ') + 1), "read");
    EXPECT_NE(Run({"status"}).out.find("Per-user settings of GATEWISE-PC\\alice"), std::string::npos);
    EXPECT_EQ(json::parse(Run({"diagnose", "--json"}).out)["settingsOf"], "GATEWISE-PC\\alice");
    EXPECT_NE(Run({"diagnose"}).out.find("Per-user settings of GATEWISE-PC\\alice"), std::string::npos);

    // Nobody at the console: the per-user settings are not shown.
    machine.consoleUser.reset();
    status = Status();
    EXPECT_EQ(status["settingsOf"], nullptr);
    EXPECT_EQ(status["settings"]["screenSaver"], "no-user");
    EXPECT_EQ(status["options"], nullptr);
    EXPECT_NE(Run({"status"}).out.find("No user is signed in at the console"), std::string::npos);
}

TEST_F(SystemRunTest, WithNobodyAtTheConsoleOnlyTheMachineWideSettingsSwitchWithExitCodeSeven) {
    MakeRelaxed();
    machine.modernStandby = true;
    for (const bool attached : {true, false}) {
        SCOPED_TRACE(attached ? "the sign-in screen" : "no session at the console");
        machine.consoleSession = attached ? 1 : 0xFFFFFFFF;
        machine.consoleUser.reset();
        SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
        machine.screenSaverSecure = FALSE;

        const Result result = Run({"secure", "--json"});
        EXPECT_EQ(result.code, 7) << result.err;
        const json answer = json::parse(result.out);
        EXPECT_EQ(answer["leftOut"], json::parse(R"(["screenSaver", "wakeSignInDelay"])"));
        EXPECT_EQ(answer["settingsOf"], nullptr);
        EXPECT_NE(answer["warnings"].dump().find("only the machine-wide settings were switched"), std::string::npos);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("0"));
        EXPECT_EQ(machine.screenSaverSecure, FALSE);
        EXPECT_EQ(machine.Value(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval")), nullptr);
        EXPECT_EQ(machine.CountCalls("CreateProcessAsUserW"), 0);

        EXPECT_EQ(Run({"options", "AutochangeStartup=False"}).code, 7);
        EXPECT_EQ(StoredOption(WSTR("AutochangeStartup")), std::nullopt);
    }
}

TEST_F(SystemRunTest, WhatKeepsTheUsersSettingsOutOfReachChangesNothing) {
    MakeRelaxed();
    const auto expectNothingChanged = [&](const Result& result, const std::string& reason) {
        EXPECT_EQ(result.code, 1) << result.err;
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
        EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1"));
        EXPECT_EQ(machine.powerSchemes[0].lockOnWakeAc, 0u);
        EXPECT_EQ(machine.consoleUser->screenSaverSecure, TRUE);
    };
    machine.Fail("WTSQueryUserToken", ERROR_ACCESS_DENIED, 0, 1);
    expectNothingChanged(Run({"secure"}), "cannot be reached: Access is denied. Nothing was changed.");

    failStartedPart = true;
    machine.SetString(HKEY_USERS, AliceKey(kDesktop), WSTR("ScreenSaverIsSecure"), WSTR("0"));
    expectNothingChanged(Run({"secure"}), "could not be changed: Access is denied.");
    EXPECT_EQ(AliceValue(kDesktop, WSTR("ScreenSaverIsSecure")), WSTR("0"));  // written, then put back
    failStartedPart = false;

    machine.userProgramHangs = true;
    machine.ClearCalls();
    expectNothingChanged(Run({"secure"}), "cannot be reached");
    EXPECT_EQ(machine.CountCalls("TerminateProcess"), 1);
    machine.userProgramHangs = false;

    machine.Key(HKEY_USERS, WSTR("")).subkeys.clear();  // alice's hive unloaded
    expectNothingChanged(Run({"secure"}), "are not loaded (no HKEY_USERS\\S-1-5-21-");
    EXPECT_TRUE(machine.Key(HKEY_USERS, WSTR("")).subkeys.empty());
}

TEST_F(SystemRunTest, LockedScreenOrSignOutDuringTheSwitchPutsItBackAndSaysWhy) {
    MakeRelaxed();
    machine.consoleUser->screenSaverSecure = FALSE;
    machine.SetString(HKEY_USERS, AliceKey(kDesktop), WSTR("ScreenSaverIsSecure"), WSTR("0"));
    const auto expectPutBack = [&] {
        EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1"));
        EXPECT_EQ(machine.powerSchemes[0].lockOnWakeAc, 0u);
        EXPECT_EQ(AliceValue(kDesktop, WSTR("ScreenSaverIsSecure")), WSTR("0"));
        EXPECT_EQ(machine.consoleUser->screenSaverSecure, FALSE);
    };
    machine.consoleUser->locked = true;
    const Result locked = Run({"secure", "--json"});
    EXPECT_EQ(locked.code, 11) << locked.err;
    EXPECT_EQ(json::parse(locked.out)["error"],
              "The screen saver setting of the session cannot change while the computer is locked; nothing was "
              "changed. Run again when the user is signed in and the screen is unlocked.");
    expectPutBack();
    const auto writes = std::count_if(started.begin(), started.end(), [](const std::string& line) {
        return line.size() > 4 && line.compare(line.size() - 4, 4, " ask") == 0;
    });
    EXPECT_EQ(writes, 1);  // the refused write is not tried again
    machine.consoleUser->locked = false;

    // Alice signs out after the switch began: the token query of its write finds no session.
    machine.ClearCalls();
    Run({"secure"});
    int queriesBeforeWrite = 0;
    for (const auto& call : machine.Calls()) {
        if (call.function == "CreateProcessAsUserW" && call.args.find(" ask Global\\") != std::string::npos) break;
        if (call.function == "WTSQueryUserToken") ++queriesBeforeWrite;
    }
    MakeRelaxed();
    machine.consoleUser->screenSaverSecure = FALSE;
    machine.SetString(HKEY_USERS, AliceKey(kDesktop), WSTR("ScreenSaverIsSecure"), WSTR("0"));
    machine.Fail("WTSQueryUserToken", ERROR_CTX_WINSTATION_NOT_FOUND, queriesBeforeWrite - 1);
    const Result left = Run({"secure"});
    EXPECT_EQ(left.code, 1) << left.err;
    EXPECT_NE(left.err.find("GATEWISE-PC\\alice signed out during the switch"), std::string::npos) << left.err;
    EXPECT_NE(left.err.find("Nothing was changed."), std::string::npos) << left.err;
    expectPutBack();

    // A session that is gone by the time the command starts: nobody is at the console.
    MakeRelaxed();
    EXPECT_EQ(Run({"secure"}).code, 7);
}

TEST_F(SystemRunTest, ProgramThatTheConsoleUserMayNotRunSaysWhereToInstallIt) {
    machine.userMayRunProgram = false;
    const Result result = Run({"status"});
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("may not run C:\\Program Files\\Gatewise\\gatewisecmd.exe"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("Install gatewisecmd where every user may run it"), std::string::npos);
}

TEST_F(SystemRunTest, WhatDefaultsToTheCurrentAccountIsRefused) {
    EXPECT_EQ(Run({"secure", "--verify"}, "wonderland\n").code, 2);
    EXPECT_EQ(machine.CountCalls("LogonUserW"), 0);

    const Result bare = Run({"account", "set", "--user", "bob", "--no-verify"}, "secret\n");
    EXPECT_EQ(bare.code, 2);
    EXPECT_NE(bare.err.find("give --domain"), std::string::npos);
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), std::nullopt);
    EXPECT_EQ(Run({"account", "set", "--user", "bob", "--domain", "GATEWISE-PC", "--no-verify"}, "secret\n").code, 0);
    EXPECT_EQ(Run({"account", "set", "--user", "OFFICE\\bob", "--no-verify"}, "secret\n").code, 0);
    EXPECT_EQ(Winlogon(WSTR("DefaultDomainName")), WSTR("OFFICE"));
    // "\bob" names no domain either.
    EXPECT_EQ(Run({"account", "set", "--user", "\\carol", "--no-verify"}, "secret\n").code, 2);
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), WSTR("bob"));
}

// The mutex a run as SYSTEM holds while the part it started runs, made here
// by `creator` with the security it is made with.
HANDLE MakeVoucher(os::sim::SimMachine& machine, const os::sim::SidValue& creator, const std::string& name,
                   const std::string& owner = "SY") {
    const os::sim::SidValue caller = machine.processUser;
    machine.processUser = creator;
    const std::string sddl = "O:" + owner + "D:P(A;;GA;;;SY)(A;;0x120000;;;" +
                             os::ToUtf8(os::sim::SidText(os::sim::AliceSid())) + ")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    machine.ConvertStringSecurityDescriptorToSecurityDescriptorW(os::FromUtf8(sddl).c_str(), SDDL_REVISION_1,
                                                                 &descriptor, nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    const HANDLE mutex = machine.CreateMutexW(&attributes, FALSE, os::FromUtf8(name).c_str());
    machine.LocalFree(descriptor);
    machine.processUser = caller;
    return mutex;
}

constexpr char kVoucher[] = "Global\\Gatewise.SessionPart.0123ABCD-4567-89EF-0123-456789ABCDEF";

TEST_F(SystemRunTest, StartedPartAnswersThroughItsExitCodeAndOnlyForItsOwnSession) {
    const HANDLE voucher = MakeVoucher(machine, os::sim::LocalSystemSid(), kVoucher);
    machine.processUser = os::sim::AliceSid();  // as it runs: in alice's session
    machine.screenSaverSecure = FALSE;
    EXPECT_EQ(Run({"--session-screen-saver", "read", kVoucher}).code, 0x20000000);
    EXPECT_EQ(Run({"--session-screen-saver", "ask", kVoucher}).code, 0x20000001);
    EXPECT_EQ(machine.screenSaverSecure, TRUE);
    EXPECT_EQ(machine.CountCalls("CreateProcessAsUserW"), 0);
    EXPECT_EQ(Run({"--session-screen-saver", "maybe", kVoucher}).code, ERROR_INVALID_PARAMETER);
    machine.Fail("SystemParametersInfoW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Run({"--session-screen-saver", "no-ask", kVoucher}).code, ERROR_ACCESS_DENIED);
    machine.CloseHandle(voucher);
}

TEST_F(SystemRunTest, StartedPartIsVouchedForByAMutexThatOnlySystemOwnsAndHoldsWhileItRuns) {
    MakeRelaxed();
    machine.consoleUser->screenSaverSecure = FALSE;
    ASSERT_EQ(Run({"secure"}).code, 0);
    ASSERT_FALSE(vouchers.empty());
    EXPECT_EQ(vouchers.back().rfind("Global\\Gatewise.SessionPart.", 0), 0u) << vouchers.back();
    EXPECT_NE(vouchers.front(), vouchers.back()) << "each part has a fresh one";
    EXPECT_EQ(machine.consoleUser->screenSaverSecure, TRUE);
    // Gone with the run that held it: a user who read its name cannot use it afterwards.
    machine.processUser = os::sim::AliceSid();
    EXPECT_EQ(Run({"--session-screen-saver", "no-ask", vouchers.back()}).code, 2);
    EXPECT_EQ(machine.OpenHandles(), 0);
}

TEST_F(SystemRunTest, PartCalledByTheUserThemselvesChangesNothing) {
    machine.processUser = os::sim::AliceSid();
    machine.screenSaverSecure = FALSE;
    const auto refused = [&](std::vector<std::string> arguments) {
        const Result result = Run(std::move(arguments));
        EXPECT_EQ(result.code, 2);
        EXPECT_NE(result.err.find("it is not a command"), std::string::npos) << result.err;
    };
    refused({"--session-screen-saver", "ask"});
    refused({"--session-screen-saver", "ask", kVoucher});  // no such object
    // Alice's own mutex, of the right name: hers, not LocalSystem's; nor may she name SYSTEM its owner.
    EXPECT_EQ(MakeVoucher(machine, os::sim::AliceSid(), kVoucher), nullptr);
    EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_INVALID_OWNER));
    const HANDLE own =
        MakeVoucher(machine, os::sim::AliceSid(), kVoucher, os::ToUtf8(os::sim::SidText(os::sim::AliceSid())));
    ASSERT_NE(own, nullptr);
    refused({"--session-screen-saver", "ask", kVoucher});
    machine.CloseHandle(own);
    // SYSTEM's, but a name other than the prefix and a GUID.
    const std::string other = "Global\\Gatewise.SessionPart.1";
    const HANDLE system = MakeVoucher(machine, os::sim::LocalSystemSid(), other);
    refused({"--session-screen-saver", "ask", other});
    machine.CloseHandle(system);
    EXPECT_EQ(machine.screenSaverSecure, FALSE);
    EXPECT_EQ(machine.CountCalls("SystemParametersInfoW"), 0);
}

// ---------------------------------------------------------------- fleets

TEST_F(CommandLineTest, PolicyRefusesRelaxedModeAndFixedOptionsWithExitCodeThirteen) {
    MakeRelaxed();
    Run({"secure"});
    machine.SetDword(HKEY_LOCAL_MACHINE, WSTR("SOFTWARE\\Policies\\Vantrel\\Gatewise"), WSTR("AllowRelaxedMode"), 0);
    machine.SetDword(HKEY_LOCAL_MACHINE, WSTR("SOFTWARE\\Policies\\Vantrel\\Gatewise"), WSTR("VerifyPassword"), 1);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"relaxed"}, {"relaxed", "--once"}, {"undo"}, {"undo", "--force"}}) {
        const Result result = Run(command);
        EXPECT_EQ(result.code, cli::kForbiddenByPolicy) << command.back();
        EXPECT_NE(result.err.find("turned off by your organization (policy AllowRelaxedMode = 0"), std::string::npos)
            << result.err;
        EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("0"));
        EXPECT_EQ(machine.screenSaverSecure, TRUE);
    }
    Result result = Run({"options", "VerifyPassword=True"});
    EXPECT_EQ(result.code, cli::kForbiddenByPolicy);
    EXPECT_EQ(result.err, "VerifyPassword is set by your organization (policy under HKEY_LOCAL_MACHINE\\SOFTWARE\\"
                          "Policies\\Vantrel\\Gatewise). Nothing was changed.\n");
    EXPECT_EQ(Run({"options"}).out.find("  VerifyPassword=True  (set by your organization)\n") != std::string::npos,
              true);
    EXPECT_EQ(Status()["policies"], json::parse(R"({"AllowRelaxedMode": false, "VerifyPassword": true})"));
}

TEST_F(CommandLineTest, CheckExpectSaysOnItsLastLineWhatDiffersAndNothingOnStandardError) {
    Result result = Run({"check", "--expect", "secure"});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.substr(result.out.rfind('\n', result.out.size() - 2) + 1), "In Secure Mode.\n");

    for (auto& scheme : machine.powerSchemes) scheme.lockOnWakeAc = scheme.lockOnWakeDc = 0;
    result = Run({"check", "--expect", "secure"});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.substr(result.out.rfind('\n', result.out.size() - 2) + 1),
              "Not in Secure Mode: Windows does not ask on wake.\n");
    result = Run({"check", "--expect", "relaxed"});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.out.substr(result.out.rfind('\n', result.out.size() - 2) + 1),
              "Not in Relaxed Mode: Windows asks at start-up and after the screen saver.\n");
    MakeRelaxed();
    const json answer = json::parse(Run({"check", "--expect", "relaxed", "--json"}).out);
    EXPECT_EQ(answer["inMode"], true);
    EXPECT_EQ(answer["result"], "In Relaxed Mode.");

    // A state that cannot be read is no compliance, and still nothing on standard error.
    machine.Fail("PowerReadACValueIndex", ERROR_ACCESS_DENIED);
    machine.Fail("PowerReadDCValueIndex", ERROR_ACCESS_DENIED);
    result = Run({"check", "--expect", "relaxed"});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind("Cannot tell whether the PC is in Relaxed Mode: ", 0), 0u) << result.out;
}

TEST_F(CommandLineTest, AccountSetRequireProtectedStoresNothingWhenTheProtectedStoreRefuses) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    machine.Fail("LsaStorePrivateData", STATUS_ACCESS_DENIED, 0, 1);
    Result result = Run({"account", "set", "--user", "alice", "--require-protected"}, "wonderland\n");
    EXPECT_EQ(result.code, cli::kSystemError);
    EXPECT_NE(result.err.find("the plain registry value is not allowed"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Nothing was stored."), std::string::npos) << result.err;
    EXPECT_EQ(Winlogon(WSTR("DefaultPassword")), std::nullopt);
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), WSTR("bob"));

    result = Run({"account", "set", "--user", "alice", "--require-protected"}, "wonderland\n");
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(Secret(), "wonderland");
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), WSTR("alice"));
}

TEST_F(SystemRunTest, CheckWithNobodySignedInJudgesTheMachineWideSettingsAndSaysSo) {
    machine.consoleUser.reset();
    Result result = Run({"check", "--expect", "secure"});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("In Secure Mode, as far as the machine-wide settings go: nobody is signed in at the "
                              "console.\n"),
              std::string::npos)
        << result.out;
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    EXPECT_EQ(json::parse(Run({"check", "--expect", "secure", "--json"}).out)["differences"],
              json::parse(R"(["startup"])"));
}

