#pragma once
// The compiled help file, shown by the system's HTML Help viewer (hhctrl.ocx,
// loaded from the system folder on first use).

#include <string>

namespace shell {

// The program's own path with its extension replaced by ".chm".
std::wstring HelpFilePath();

void ShowHelpContents(const std::wstring& helpFile);
void ShowHelpTopic(const std::wstring& helpFile, int context);

// Makes the application's help operations use the viewer.
void InstallHelpViewer();

}  // namespace shell
