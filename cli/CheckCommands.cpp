#include "cli/CheckCommands.h"

#include "audit/Audit.h"
#include "cli/CommandText.h"
#include "diagnostics/AutologonState.h"
#include "diagnostics/Diagnostics.h"
#include "diagnostics/Fixes.h"
#include "diagnostics/SelfTest.h"
#include "engine/NTSecurity.h"

#include <algorithm>

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

}  // namespace cli
