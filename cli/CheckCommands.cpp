#include "cli/CheckCommands.h"

#include "audit/Audit.h"
#include "cli/CommandText.h"
#include "diagnostics/AutologonState.h"
#include "diagnostics/Diagnostics.h"
#include "diagnostics/Fixes.h"
#include "diagnostics/SelfTest.h"
#include "engine/ConsoleUser.h"
#include "engine/NTSecurity.h"

#include <algorithm>
#include <optional>
#include <tuple>

namespace cli {

int Diagnose(Session& session, settings::TPromptMode target) {
    std::vector<diagnostics::CheckResult> results = diagnostics::RunDiagnostics(session.ProgramOptions(), target);
    const auto count = [&](diagnostics::Verdict verdict) {
        return std::count_if(results.begin(), results.end(), [&](const auto& r) { return r.verdict == verdict; });
    };
    const auto problems = count(diagnostics::Verdict::Problem);
    const auto warnings = count(diagnostics::Verdict::Warning);

    std::ostream& out = session.Out();
    if (session.WantsJson()) {
        Json checks = Json::array();
        for (const diagnostics::CheckResult& result : results)
            checks.push_back({{"id", result.id},
                              {"verdict", diagnostics::VerdictName(result.verdict)},
                              {"finding", result.finding},
                              {"fix", result.fix},
                              {"fixable", result.fixable}});
        WriteJson(out, Json{{"problems", problems},
                            {"warnings", warnings},
                            {"checks", checks},
                            {"for", target == settings::pmCustom ? Json(nullptr) : Json(ModeName(target))},
                            {"settingsOf", OrNull(session.SettingsOwner())}});
    } else {
        out << session.SettingsOwnerLine()
            << diagnostics::ReportText(results, target, [](std::string_view text) { return Printable(text); });
    }
    return problems > 0 ? kProblemFound : kDone;
}

int FixFinding(Session& session, const std::string& id) {
    diagnostics::FixOutcome outcome;
    try {
        Session::AuditWarnings logged(session);
        outcome = audit::ApplyFix(id, audit::orCommandLine, logged.list);
    } catch (const diagnostics::EFixNeedsAdministrator& refused) {
        throw CommandFailure(kNeedsAdministrator, refused.what());
    }
    if (session.WantsJson()) {
        WriteJson(session.Out(), Json{{"fix", id},
                                      {"result", outcome.changed ? "fixed" : "nothing-to-fix"},
                                      {"changed", outcome.changed ? Json(outcome.what) : Json(nullptr)},
                                      {"reverse", outcome.changed ? Json(outcome.reverse) : Json(nullptr)},
                                      {"warnings", session.Warnings()}});
    } else if (outcome.changed) {
        session.Out() << "Fixed " << id << ": " << outcome.what << "\nTo reverse it, " << outcome.reverse << '\n';
    } else {
        session.Out() << outcome.what << '\n';
    }
    return kDone;
}

namespace {

const char* TryResultName(engine::TPasswordCheck result) {
    switch (result) {
    case engine::pcAccepted:
        return "accepted";
    case engine::pcRejected:
        return "rejected";
    case engine::pcLockedOut:
        return "locked-out";
    case engine::pcCannotVerify:
        break;
    }
    return "not-verified";
}

}  // namespace

int VerifyStoredPassword(Session& session) {
    if (!engine::IsAdministrator())
        throw CommandFailure(kNeedsAdministrator, "Trying the stored password needs administrator rights, as only "
                                                  "administrators may read it. Nothing was tried.");
    session.Warn("Warning: the stored password is tried once; if Windows no longer accepts it, that try counts "
                 "toward the account's lockout.");
    const diagnostics::StoredPasswordTry attempt = diagnostics::TryStoredPassword();
    const std::string account = PrintableAccount(attempt.user, attempt.domain);
    if (attempt.tried == diagnostics::PasswordStore::None)
        throw CommandFailure(kNoAutologonAccount,
                             attempt.user.empty() ? "No auto-logon account is stored: there is nothing to try."
                                                  : "No password is stored for " + account +
                                                        ": there is nothing to try.");
    std::string text;
    int code = kDone;
    switch (attempt.result) {
    case engine::pcAccepted:
        text = "Windows accepts the stored password of " + account + ".";
        break;
    case engine::pcRejected:
        text = "Windows no longer accepts the stored password of " + account +
               " (it may have been changed), so automatic logon fails. Store the current one with gatewisecmd "
               "account set.";
        code = kPasswordRejected;
        break;
    case engine::pcLockedOut:
        text = std::string(kAccountLockedOutText);
        code = kSystemError;
        break;
    case engine::pcCannotVerify:
        text = "Windows did not say whether it accepts the stored password of " + account + ".";
        code = kSystemError;
        break;
    }
    if (session.WantsJson()) {
        Json object{{"account", Json{{"user", os::ToUtf8(attempt.user)}, {"domain", os::ToUtf8(attempt.domain)}}},
                    {"tried", diagnostics::PasswordStoreName(attempt.tried)},
                    {"result", TryResultName(attempt.result)},
                    {"warnings", session.Warnings()}};
        if (code != kDone) object.update(FailureJson(text, code));
        WriteJson(session.Out(), object);
    } else {
        (code == kDone ? session.Out() : session.Err()) << text << '\n';
    }
    return code;
}

int SelfTest(Session& session) {
    const std::vector<diagnostics::SelfTestResult> results = diagnostics::RunSelfTest();
    const auto count = [&](diagnostics::SelfTestOutcome outcome) {
        return std::count_if(results.begin(), results.end(), [&](const auto& r) { return r.outcome == outcome; });
    };
    const auto failed = count(diagnostics::SelfTestOutcome::Failed);

    std::ostream& out = session.Out();
    if (session.WantsJson()) {
        Json checks = Json::array();
        for (const diagnostics::SelfTestResult& result : results)
            checks.push_back({{"id", result.id},
                              {"result", diagnostics::SelfTestOutcomeName(result.outcome)},
                              {"detail", result.detail}});
        WriteJson(out, Json{{"passed", count(diagnostics::SelfTestOutcome::Passed)},
                            {"failed", failed},
                            {"skipped", count(diagnostics::SelfTestOutcome::Skipped)},
                            {"checks", checks}});
    } else {
        for (const diagnostics::SelfTestResult& result : results) {
            std::string outcome = diagnostics::SelfTestOutcomeName(result.outcome);
            outcome.resize(9, ' ');
            out << outcome << result.id << "\n         " << Printable(result.detail) << '\n';
        }
        out << count(diagnostics::SelfTestOutcome::Passed) << " passed, " << failed << " failed, "
            << count(diagnostics::SelfTestOutcome::Skipped) << " skipped.\n";
    }
    return failed > 0 ? kSelfTestFailed : kDone;
}

namespace {

// "a", "a or b", "a, b or c".
std::string Listed(const std::vector<std::string>& items, const char* conjunction) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? std::string(" ") + conjunction + " " : ", ") + items[i];
    return text;
}

struct ModeJudgement {
    bool inMode = false;
    std::optional<SettingStates> states;   // when they could be judged
    std::vector<std::string> differences;  // by JSON key
    std::string verdict;                   // the last line
};

ModeJudgement Judge(const SettingStates& states, settings::TPromptMode expected, bool machineWideOnly) {
    const std::string mode = expected == settings::pmSecure ? "Secure Mode" : "Relaxed Mode";
    const SettingState wanted = expected == settings::pmSecure ? SettingState::Asks : SettingState::DoesNotAsk;
    ModeJudgement judgement;
    std::vector<std::string> moments;
    bool judged = false;
    for (const auto& [key, moment, state] : {std::tuple{"startup", "at start-up", states.startup},
                                             std::tuple{"resume", "on wake", states.resume},
                                             std::tuple{"screenSaver", "after the screen saver", states.screenSaver}}) {
        if (state != SettingState::Asks && state != SettingState::DoesNotAsk) continue;
        judged = true;
        if (state == wanted) continue;
        judgement.differences.push_back(key);
        moments.push_back(moment);
    }
    if (judged) judgement.states = states;
    if (!judged) {
        judgement.verdict = "Cannot tell whether the PC is in " + mode +
                            ": the options cover none of the settings that this process can read.";
    } else if (!moments.empty()) {
        judgement.verdict = "Not in " + mode + ": Windows " +
                            (expected == settings::pmSecure ? "does not ask " + Listed(moments, "or")
                                                            : "asks " + Listed(moments, "and")) +
                            ".";
    } else {
        judgement.inMode = true;
        judgement.verdict = "In " + mode + (machineWideOnly ? ", as far as the machine-wide settings go: nobody is "
                                                              "signed in at the console."
                                                            : ".");
    }
    return judgement;
}

std::string Sentence(std::string text) {
    if (text.empty() || text.back() != '.') text += '.';
    return text;
}

}  // namespace

int CheckMode(Session& session, settings::TPromptMode expected) {
    const bool machineWideOnly = engine::PerUserSettingsOutOfReach();
    ModeJudgement judgement;
    try {
        judgement = Judge(ReadSettings(session.ProgramOptions()), expected, machineWideOnly);
    } catch (const std::exception& error) {
        judgement.verdict = "Cannot tell whether the PC is in " +
                            std::string(expected == settings::pmSecure ? "Secure Mode" : "Relaxed Mode") + ": " +
                            Sentence(error.what());
    }
    std::ostream& out = session.Out();
    if (session.WantsJson()) {
        Json settingsRead = Json::object();
        if (const std::optional<SettingStates>& states = judgement.states)
            settingsRead = {{"startup", SettingKey(states->startup)},
                            {"resume", SettingKey(states->resume)},
                            {"screenSaver", SettingKey(states->screenSaver)}};
        WriteJson(out, Json{{"expected", ModeName(expected)},
                            {"inMode", judgement.inMode},
                            {"settings", settingsRead},
                            {"differences", judgement.differences},
                            {"machineWideOnly", machineWideOnly},
                            {"result", Printable(judgement.verdict)},
                            {"settingsOf", OrNull(session.SettingsOwner())}});
    } else {
        if (const std::optional<SettingStates>& states = judgement.states)
            out << "Start-up:      " << SettingText(states->startup) << '\n'
                << "Resume:        " << SettingText(states->resume) << '\n'
                << "Screen saver:  " << SettingText(states->screenSaver) << '\n';
        out << Printable(judgement.verdict) << '\n';
    }
    return judgement.inMode ? kDone : kNotInExpectedMode;
}

}  // namespace cli
