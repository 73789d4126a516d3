#pragma once
// The error dialog of the exception reporter, built from an in-memory dialog
// template: icon, message, "OK", "Details >>"/"Compact <<", "Terminate" and a
// details area whose tab pages are read-only text boxes.

#include <string>
#include <vector>

namespace crashreport {

struct ReportPage {
    std::wstring title;
    std::wstring text;  // lines ended by "\r\n"
};

struct ReportDialogContent {
    std::wstring caption;
    std::wstring message;
    std::vector<ReportPage> pages;  // none: the details button is hidden
    bool detailsShown = true;
    bool terminateButton = true;
    unsigned exitCode = 1;  // the process's exit code when "Terminate" ends it
    void (*shown)() = nullptr;  // called once the dialog is on screen, waiting for the user
};

// Control identifiers, for tests that drive the dialog.
inline constexpr int kDetailsButtonId = 100;
inline constexpr int kTerminateButtonId = 101;
inline constexpr int kTabsId = 102;
inline constexpr int kMessageId = 104;
inline constexpr int kFirstPageId = 200;

// Modal; returns when the user chooses "OK" or presses Escape. "Terminate"
// ends the process at once with the content's exit code.
void ShowReportDialog(const ReportDialogContent& content);

}  // namespace crashreport
