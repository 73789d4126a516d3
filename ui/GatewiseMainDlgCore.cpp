#include "ui/GatewiseMainDlgCore.h"

#include <algorithm>

namespace ui {
namespace {

os::WString PlainText(const std::string& utf8) {
    os::WString text = os::FromUtf8(utf8);
    std::replace(text.begin(), text.end(), WCHAR('<'), WCHAR(0x2039));
    return text;
}

}  // namespace

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
