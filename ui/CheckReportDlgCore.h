#pragma once
// The check report window's rules that need no window: where the summary,
// the list of findings with their rows and Fix buttons, and the buttons go,
// for the heights of the findings' texts, so that the window fits the work
// area of its monitor and the list scrolls when the findings do not fit.

#include "diagnostics/Diagnostics.h"
#include "os/Text.h"
#include "os/WinTypes.h"

#include <vector>

namespace ui {

// What the layout works from, at the window's resolution.
struct TCheckReportMetrics {
    int pixelsPerInch = 96;
    SIZE workArea{};       // the work area of the window's monitor
    SIZE frame{};          // what the window's frame and caption add to its client size
    SIZE listChrome{};     // what the list's frame and scroll bar take from its size
    SIZE button{};         // an ordinary button
    int wideButton = 0;    // the width of the button that tries the stored password
    int summaryHeight = 0;
    int verdictWidth = 0;  // the widest verdict word
};

// The width of the window's client area: its design width, narrowed to the work area.
int CheckReportClientWidth(const TCheckReportMetrics& metrics);
// The width at which a finding's text is measured and shown.
int CheckReportTextWidth(const TCheckReportMetrics& metrics);

// One finding: its text's height at CheckReportTextWidth, and whether it has a Fix button.
struct TFindingRowSize {
    int textHeight = 0;
    bool fixable = false;
};

// Coordinates of a row's parts within the list's content; `row` is the part
// that takes the focus, left of the Fix button's column; `fix` is empty
// without a Fix button.
struct TFindingRowLayout {
    RECT row{};
    RECT verdict{};
    RECT text{};
    RECT fix{};
};

// Client coordinates of the window's controls, and the list's content.
struct TCheckReportLayout {
    SIZE client{};
    RECT summary{};
    RECT list{};
    int contentHeight = 0;
    std::vector<TFindingRowLayout> rows;
    RECT verifyStored{};
    RECT copy{};
    RECT help{};
    RECT close{};
};

// The rows one under the other, the summary above the list, the buttons in a
// row below it (the stored-password button at the left, Copy, Help and Close
// at the right). The list is as tall as its content, but at least a few lines
// and at most what leaves the window inside the work area.
TCheckReportLayout LayoutCheckReport(const TCheckReportMetrics& metrics, const std::vector<TFindingRowSize>& rows);

// A finding as markup for its row: its text, then its fix in italics on a
// line of its own after `fixWord`. Texts cannot open a tag: "<" shows as "‹".
os::WString FindingMarkup(const diagnostics::CheckResult& result, const os::WString& fixWord);

// What a row is called for screen readers: its verdict, finding and fix.
os::WString FindingRowName(const os::WString& verdict, const diagnostics::CheckResult& result,
                           const os::WString& fixWord);

}  // namespace ui
