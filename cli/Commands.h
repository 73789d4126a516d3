#pragma once
// gatewisecmd, the console companion of the main window: its command line
// and its commands, run against the engine and the options on the machine in
// use. Portable: the Windows program only connects the console.

#include "cli/Console.h"

#include <string>
#include <vector>

namespace cli {

// Runs one command line: `arguments` in UTF-8, without the program name. The
// options are those stored under HKEY_CURRENT_USER\<optionsKey>. Returns the
// exit code (ExitCode).
int RunCommandLine(const std::vector<std::string>& arguments, const os::WString& optionsKey, Console& console);

}  // namespace cli
