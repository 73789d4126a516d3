#include "shell/HelpViewer.h"

#include "engine/LateBinding.h"
#include "os/Text.h"
#include "toolkit/Application.h"

#include <windows.h>

namespace shell {
namespace {

constexpr UINT HH_DISPLAY_TOC = 0x0001;
constexpr UINT HH_HELP_CONTEXT = 0x000F;

using PFN_HtmlHelpA = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
engine::LateBound<PFN_HtmlHelpA> HtmlHelpA("hhctrl.ocx", "HtmlHelpA");

// The viewer takes an ANSI path.
std::string AnsiPath(const std::wstring& path) {
    int size = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, text.data(), size, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size) - 1);
    return text;
}

HWND HelpOwner() { return GetDesktopWindow(); }

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

void ShowHelpContents(const std::wstring& helpFile) {
    std::string file = AnsiPath(helpFile);
    HtmlHelpA(HelpOwner(), file.c_str(), HH_DISPLAY_TOC, DWORD_PTR{0});
}

void ShowHelpTopic(const std::wstring& helpFile, int context) {
    std::string file = AnsiPath(helpFile);
    HtmlHelpA(HelpOwner(), file.c_str(), HH_HELP_CONTEXT, static_cast<DWORD_PTR>(context));
}

void InstallHelpViewer() {
    toolkit::Application().OnHelpContents = [] { ShowHelpContents(toolkit::Application().HelpFile); };
    toolkit::Application().OnHelpContext = [](int context) {
        if (context != 0) ShowHelpTopic(toolkit::Application().HelpFile, context);
    };
}

}  // namespace shell
