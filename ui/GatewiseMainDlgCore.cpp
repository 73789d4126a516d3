#include "ui/GatewiseMainDlgCore.h"

#include "engine/Utilities.h"

#include <algorithm>

namespace ui {
namespace {

os::WString PlainText(const std::string& utf8) {
    os::WString text = os::FromUtf8(utf8);
    std::replace(text.begin(), text.end(), WCHAR('<'), WCHAR(0x2039));
    return text;
}

os::WString FormatTwo(const os::WString& format, const os::WString& first, const os::WString& second) {
    return os::Format(os::Format(format, first), second);
}

// One moment, or two joined by `twoFormat`.
os::WString Moments(const std::vector<os::WString>& moments, const os::WString& twoFormat) {
    return moments.size() == 1 ? moments[0] : FormatTwo(twoFormat, moments[0], moments[1]);
}

}  // namespace

TPromptStates ReadPromptStates(settings::TOptions& options) {
    TPromptStates states;
    if (options.AutochangeStartup()) states.startup = engine::GetAskPasswordOnStartup();
    if (options.AutochangeStandby()) states.wake = engine::GetAskPasswordOnResume();
    if (options.AutochangeScreenSaver()) states.screenSaver = engine::GetAskPasswordOnScreenSaver();
    return states;
}

os::WString CustomModeLine(const TPromptStates& states, const TCustomModeTexts& texts) {
    std::vector<os::WString> asked;
    std::vector<os::WString> notAsked;
    const std::pair<const std::optional<bool>&, const os::WString&> moments[] = {
        {states.startup, texts.startup}, {states.wake, texts.wake}, {states.screenSaver, texts.screenSaver}};
    for (const auto& [state, moment] : moments)
        if (state) (*state ? asked : notAsked).push_back(moment);
    if (asked.empty() && notAsked.empty()) return texts.noneSet;
    if (asked.empty() || notAsked.empty()) return {};
    return FormatTwo(texts.line, Moments(asked, texts.both), Moments(notAsked, texts.either));
}

os::WString CheckReportMarkup(std::vector<diagnostics::CheckResult> results, const TCheckReportTexts& texts) {
    diagnostics::SortBySeverity(results);
    const os::WString lineBreak = WSTR("<br>");
    os::WString markup;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const diagnostics::CheckResult& result = results[i];
        if (i == 0 || result.verdict != results[i - 1].verdict) {
            const os::WString& heading = result.verdict == diagnostics::Verdict::Problem   ? texts.problems
                                         : result.verdict == diagnostics::Verdict::Warning ? texts.warnings
                                                                                           : texts.fine;
            markup += WSTR("<b>") + heading + WSTR("</b>") + lineBreak;
        }
        markup += WSTR("\u2022 ") + PlainText(result.finding) + lineBreak;
        if (!result.fix.empty())
            markup += WSTR("<i>") + texts.fix + WSTR(" ") + PlainText(result.fix) + WSTR("</i>") + lineBreak;
    }
    return markup;
}

}  // namespace ui
