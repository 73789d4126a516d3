#pragma once
// The settings of the exception reporter as start-up leaves them; a program
// (or a test) may change them after InstallExceptionReporter().

#include <cstdint>
#include <string>

namespace crashreport {

enum ReportOption : std::uint32_t {
    roDetailsShown = 0x01,    // the dialog opens with its details area shown
    roCallStackPage = 0x02,   // a "Call Stack" page
    roRegistersPage = 0x04,   // a "Registers" page with the context text
    roAdditionalPage = 0x08,  // a page for the additional information
    roTerminateButton = 0x10, // a "Terminate" button
    roLongMessage = 0x20,     // module, source, line and procedure in the message
    roShowReport = 0x40,      // the report is shown to the user
};

struct ReporterSettings {
    std::wstring logFile;          // the program's path with ".LOG"
    std::wstring fallbackLogFile;  // taken when logFile cannot be written; empty: none
    std::wstring caption = L"Application Error";
    std::wstring additionalTitle = L"Additional";
    int deepestCallStack = 100;
    std::uint32_t options = 0x73;
};

// The settings in force; change them only while no report is being made.
ReporterSettings& Settings();

}  // namespace crashreport
