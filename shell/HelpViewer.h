#pragma once
// The compiled help file, shown by the system's HTML Help viewer (hhctrl.ocx,
// loaded from the system folder on first use).

#include <windows.h>

#include <functional>
#include <string>

namespace shell {

// The program's own path with its extension replaced by ".chm".
std::wstring HelpFilePath();

// What the viewer is asked to show for a help context: the page that the
// context maps to, or the file itself (its contents) for a context without one.
std::wstring HelpTopicAddress(const std::wstring& helpFile, int context);

// Both show the viewer and return true. When the file is missing or the viewer
// cannot open it, they hand a message that names the file to the failure
// handler and return false.
bool ShowHelpContents(const std::wstring& helpFile);
bool ShowHelpTopic(const std::wstring& helpFile, int context);

// Closes every viewer window that the program opened; the program calls it
// before it exits.
void CloseHelpViewers();

// Receives the message when help cannot be shown; `owner` is the window the
// user was working in. The default shows a plain message box; an empty
// handler puts the default back.
using HelpFailureHandler = std::function<void(HWND owner, const std::wstring& message)>;
void SetHelpFailureHandler(HelpFailureHandler handler);

// Makes the application's help operations use the viewer: the contents, and
// the topic of a context number (the contents for a window without one).
void InstallHelpViewer();

}  // namespace shell
