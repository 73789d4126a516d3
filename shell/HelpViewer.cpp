#include "shell/HelpViewer.h"

#include "engine/Exception.h"
#include "engine/LateBinding.h"
#include "os/Text.h"
#include "resources/StringIds.h"
#include "shell/Gatewise_IDH.h"
#include "shell/ResStrings.h"
#include "shell/Substitution.h"
#include "toolkit/Application.h"
#include "toolkit/ComOnDemand.h"

#include <utility>

namespace shell {
namespace {

constexpr UINT HH_DISPLAY_TOPIC = 0x0000;
constexpr UINT HH_DISPLAY_TOC = 0x0001;
constexpr UINT HH_CLOSE_ALL = 0x0012;

// The wide entry point: the ANSI one takes the path through the ANSI code
// page, which turns a folder such as "C:\Program Files\Ünïcødé Ω 测试" into
// question marks, and the viewer then finds no file.
using PFN_HtmlHelpW = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
engine::LateBound<PFN_HtmlHelpW> HtmlHelpW("hhctrl.ocx", "HtmlHelpW");

HelpFailureHandler failureHandler;
bool viewerOpened = false;

void ShowMessageBox(HWND owner, const std::wstring& message) {
    std::wstring caption = SubstituteText(ResString(IDS_HELP_CAPTION));
    MessageBoxW(owner, message.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

void ReportFailure(unsigned messageId, const std::wstring& helpFile) {
    std::wstring message = ResString(messageId);
    std::size_t placeholder = message.find(L"%s");
    if (placeholder != std::wstring::npos) message.replace(placeholder, 2, helpFile);
    HWND owner = GetActiveWindow();
    if (failureHandler) {
        failureHandler(owner, message);
    } else {
        ShowMessageBox(owner, message);
    }
}

bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The viewer's window belongs to the desktop, so that it stays open and usable
// while a modal dialog of the program is shown, and after that dialog closes.
bool Show(const std::wstring& helpFile, const std::wstring& address, UINT command) {
    if (!IsFile(helpFile)) {
        ReportFailure(IDS_HELP_FILE_MISSING, helpFile);
        return false;
    }
    // The viewer is made of COM objects, which live on this thread.
    toolkit::StartComOnThisThread();
    HWND viewer = nullptr;
    try {
        viewer = HtmlHelpW(GetDesktopWindow(), address.c_str(), command, DWORD_PTR{0});
    } catch (const engine::EJwaError&) {
        ReportFailure(IDS_HELP_VIEWER_MISSING, helpFile);
        return false;
    }
    if (!viewer) {
        ReportFailure(IDS_HELP_FILE_NOT_OPENED, helpFile);
        return false;
    }
    viewerOpened = true;
    return true;
}

}  // namespace

std::wstring HelpFilePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::size_t slash = path.find_last_of(L"\\/");
    std::size_t dot = path.find_last_of(L'.');
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) path.resize(dot);
    return path + L".chm";
}

// The page is named in the address, so nothing depends on the compiled file's
// context table (which held the build folder's path in front of every page in
// help files built before help/chm_context_map.py took it out).
std::wstring HelpTopicAddress(const std::wstring& helpFile, int context) {
    for (const HelpTopic& topic : HelpTopics) {
        if (topic.context == context) return helpFile + L"::/" + os::FromUtf8(topic.page);
    }
    return helpFile;
}

bool ShowHelpContents(const std::wstring& helpFile) { return Show(helpFile, helpFile, HH_DISPLAY_TOC); }

bool ShowHelpTopic(const std::wstring& helpFile, int context) {
    std::wstring address = HelpTopicAddress(helpFile, context);
    if (address == helpFile) return ShowHelpContents(helpFile);
    return Show(helpFile, address, HH_DISPLAY_TOPIC);
}

void CloseHelpViewers() {
    if (!viewerOpened) return;
    HtmlHelpW(nullptr, nullptr, HH_CLOSE_ALL, DWORD_PTR{0});
    viewerOpened = false;
}

void SetHelpFailureHandler(HelpFailureHandler handler) { failureHandler = std::move(handler); }

void InstallHelpViewer() {
    toolkit::Application().OnHelpContents = [] { ShowHelpContents(toolkit::Application().HelpFile); };
    toolkit::Application().OnHelpContext = [](int context) {
        ShowHelpTopic(toolkit::Application().HelpFile, context);
    };
}

}  // namespace shell
