// window_text_probe.exe TITLE: prints, one per line in UTF-8, the texts of
// the controls inside every top-level window titled TITLE (a message box's
// text, for example). Exit code 0 when such a window exists.
// window_text_probe.exe --balloons: prints the text of every tooltip window
// that shows (a tooltip answers WM_GETTEXT with the tip it shows). Exit code
// 0 when one shows.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    const wchar_t* title;
    int windows = 0;
};

void PrintText(HWND window) {
    wchar_t text[2048] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                             &length) ||
        length == 0) {
        return;
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr, nullptr);
    std::printf("%s\n", utf8.c_str());
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    PrintText(child);
    return TRUE;
}

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    if (lstrcmpW(title, search->title) == 0 && IsWindowVisible(window)) {
        ++search->windows;
        EnumChildWindows(window, PrintChild, 0);
    }
    return TRUE;
}

BOOL CALLBACK VisitTooltip(HWND window, LPARAM shown) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpiW(className, L"tooltips_class32") == 0 && IsWindowVisible(window)) {
        ++*reinterpret_cast<int*>(shown);
        PrintText(window);
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: window_text_probe TITLE|--balloons\n", stderr);
        return 2;
    }
    if (lstrcmpW(argv[1], L"--balloons") == 0) {
        int shown = 0;
        EnumWindows(VisitTooltip, reinterpret_cast<LPARAM>(&shown));
        return shown > 0 ? 0 : 1;
    }
    Search search{argv[1]};
    EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.windows == 0) {
        std::fputs("window_text_probe: no such window\n", stderr);
        return 1;
    }
    return 0;
}
