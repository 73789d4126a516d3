// The settings check's report in the message dialog.
#include "os/Text.h"
#include "ui/GatewiseMainDlgCore.h"

#include <gtest/gtest.h>

namespace {

using diagnostics::Verdict;

TEST(CheckReport, GroupsProblemsThenWarningsThenWhatIsInOrderWithTheirFixes) {
    const ui::TCheckReportTexts texts{WSTR("Problems"), WSTR("Warnings"), WSTR("In order"), WSTR("Fix:")};
    const os::WString markup = ui::CheckReportMarkup({{"a", Verdict::Ok, "Screen saver in use.", ""},
                                                      {"b", Verdict::Warning, "No account.", "Set one."},
                                                      {"c", Verdict::Problem, "Policy <wins>.", "Clear it & retry."},
                                                      {"d", Verdict::Ok, "No banner.", ""},
                                                      {"e", Verdict::Problem, "Banner.", "Delete it."}},
                                                     texts);
    EXPECT_EQ(markup, os::FromUtf8("<b>Problems</b><br>"
                                   "\u2022 Policy \u2039wins>.<br><i>Fix: Clear it & retry.</i><br>"
                                   "\u2022 Banner.<br><i>Fix: Delete it.</i><br>"
                                   "<b>Warnings</b><br>"
                                   "\u2022 No account.<br><i>Fix: Set one.</i><br>"
                                   "<b>In order</b><br>"
                                   "\u2022 Screen saver in use.<br>"
                                   "\u2022 No banner.<br>"));
}

}  // namespace
