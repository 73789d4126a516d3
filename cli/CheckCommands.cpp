#include "cli/CheckCommands.h"

#include "cli/CommandText.h"
#include "diagnostics/Diagnostics.h"
#include "diagnostics/SelfTest.h"

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
                              {"fix", result.fix}});
        WriteJson(out, Json{{"problems", problems},
                            {"warnings", warnings},
                            {"checks", checks},
                            {"for", target == settings::pmCustom ? Json(nullptr) : Json(ModeName(target))},
                            {"settingsOf", OrNull(session.SettingsOwner())}});
    } else {
        out << session.SettingsOwnerLine();
        diagnostics::SortBySeverity(results);
        for (const diagnostics::CheckResult& result : results) {
            std::string verdict = diagnostics::VerdictName(result.verdict);
            verdict.resize(9, ' ');
            out << verdict << result.id << "\n         " << Printable(result.finding) << '\n';
            if (!result.fix.empty()) out << "         Fix: " << Printable(result.fix) << '\n';
        }
        out << problems << (problems == 1 ? " problem, " : " problems, ") << warnings
            << (warnings == 1 ? " warning" : " warnings")
            << (target == settings::pmCustom ? "" : std::string(" for ") + ModeName(target) + " mode") << ".\n";
    }
    return problems > 0 ? kProblemFound : kDone;
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
