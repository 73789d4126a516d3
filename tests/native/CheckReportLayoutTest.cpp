// Where the check report's controls go: inside a 1280x1024 work area at
// 100 % to 200 %, with a list that scrolls when the findings do not fit.
#include "toolkit/DpiScale.h"
#include "ui/CheckReportDlgCore.h"

#include <gtest/gtest.h>

namespace {

using ui::TCheckReportMetrics;
using ui::TFindingRowSize;

TCheckReportMetrics MetricsAt(int dpi) {
    const auto scaled = [dpi](int value) { return toolkit::ScaleToDpi(value, dpi); };
    TCheckReportMetrics metrics;
    metrics.pixelsPerInch = dpi;
    metrics.workArea = {1280, 1024};
    metrics.frame = {scaled(6), scaled(29)};
    metrics.listChrome = {scaled(17) + 4, 4};
    metrics.button = {scaled(89), scaled(25)};
    metrics.wideButton = scaled(160);
    metrics.summaryHeight = scaled(15);
    metrics.verdictWidth = scaled(50);
    return metrics;
}

// As many findings as the checks make, each one to three lines of text at that width.
std::vector<TFindingRowSize> Findings(int count, int dpi) {
    std::vector<TFindingRowSize> rows;
    for (int i = 0; i < count; ++i) rows.push_back({toolkit::ScaleToDpi(15 * (1 + i % 3), dpi), i % 4 == 0});
    return rows;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

TEST(CheckReportLayout, WindowStaysInsideTheWorkAreaFrom100To200PercentAndTheListScrolls) {
    for (const int dpi : {96, 120, 144, 168, 192}) {
        const TCheckReportMetrics metrics = MetricsAt(dpi);
        const std::vector<TFindingRowSize> rows = Findings(21, dpi);
        const ui::TCheckReportLayout layout = ui::LayoutCheckReport(metrics, rows);
        EXPECT_LE(layout.client.cx + metrics.frame.cx, 1280) << dpi;
        EXPECT_LE(layout.client.cy + metrics.frame.cy, 1024) << dpi;
        const RECT client{0, 0, layout.client.cx, layout.client.cy};
        for (const RECT* control : {&layout.summary, &layout.list, &layout.verifyStored, &layout.copy, &layout.help,
                                    &layout.close})
            EXPECT_TRUE(Inside(*control, client)) << dpi;
        EXPECT_LT(layout.verifyStored.right, layout.copy.left) << dpi;
        EXPECT_EQ(layout.close.right, layout.list.right) << dpi;

        // The rows follow one another inside the content; the text column
        // and the Fix buttons sit inside the list's client width.
        const int listClient = layout.list.right - layout.list.left - metrics.listChrome.cx;
        int top = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const ui::TFindingRowLayout& row = layout.rows[i];
            EXPECT_EQ(row.row.top, top) << dpi << " row " << i;
            EXPECT_EQ(row.text.right - row.text.left, ui::CheckReportTextWidth(metrics));
            EXPECT_GE(row.text.left, row.verdict.right);
            EXPECT_LE(row.row.left + row.text.right, row.row.right);
            EXPECT_EQ(rows[i].fixable, row.fix.right > row.fix.left);
            if (rows[i].fixable) {
                EXPECT_LE(row.fix.right, listClient);
                EXPECT_GE(row.fix.left, row.row.right) << "beside the row, not on it";
                EXPECT_LE(row.fix.bottom, row.row.bottom);
            }
            top = row.row.bottom;
        }
        EXPECT_EQ(layout.contentHeight, top);
        if (dpi >= 144)
            EXPECT_GT(layout.contentHeight, layout.list.bottom - layout.list.top) << dpi << ": the list scrolls";
    }
}

TEST(CheckReportLayout, FewFindingsMakeAListJustTallEnoughAndANarrowScreenANarrowerWindow) {
    TCheckReportMetrics metrics = MetricsAt(96);
    const ui::TCheckReportLayout three = ui::LayoutCheckReport(metrics, Findings(3, 96));
    EXPECT_EQ(three.list.bottom - three.list.top, three.contentHeight + metrics.listChrome.cy);
    const ui::TCheckReportLayout none = ui::LayoutCheckReport(metrics, {});
    EXPECT_EQ(none.list.bottom - none.list.top, 96) << "never shorter than a few lines";

    metrics.workArea = {500, 400};
    const ui::TCheckReportLayout narrow = ui::LayoutCheckReport(metrics, Findings(21, 96));
    EXPECT_EQ(narrow.client.cx + metrics.frame.cx, 500);
    EXPECT_EQ(narrow.client.cy + metrics.frame.cy, 400);
    EXPECT_LT(ui::CheckReportTextWidth(metrics), ui::CheckReportTextWidth(MetricsAt(96)));
}

TEST(CheckReportLayout, RowShowsItsFixInItalicsAndReadsAsVerdictFindingAndFix) {
    const diagnostics::CheckResult finding{"autologon-count", diagnostics::Verdict::Problem,
                                           "AutoLogonCount is <2>.", "Delete it.", true};
    EXPECT_EQ(ui::FindingMarkup(finding, WSTR("Fix:")),
              os::FromUtf8("AutoLogonCount is \u20392>.<br><i>Fix: Delete it.</i>"));
    EXPECT_EQ(ui::FindingRowName(WSTR("Problem"), finding, WSTR("Fix:")),
              WSTR("Problem: AutoLogonCount is <2>. Fix: Delete it."));
    const diagnostics::CheckResult fine{"dynamic-lock", diagnostics::Verdict::Ok, "Dynamic Lock is off.", "", false};
    EXPECT_EQ(ui::FindingMarkup(fine, WSTR("Fix:")), WSTR("Dynamic Lock is off."));
    EXPECT_EQ(ui::FindingRowName(WSTR("OK"), fine, WSTR("Fix:")), WSTR("OK: Dynamic Lock is off."));
}

}  // namespace
