// window_probe.exe TITLE menu|accessibility: prints what the top-level window
// titled TITLE shows, read inside its process by WindowProbeHook.dll (beside
// this program): its menu bar, or the tree that screen readers see. Exit code
// 0 when it was read.

#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    const std::wstring kind = argc == 3 ? argv[2] : L"";
    if (kind != L"menu" && kind != L"accessibility") {
        std::fputs("usage: window_probe TITLE menu|accessibility\n", stderr);
        return 2;
    }
    HWND window = FindWindowW(nullptr, argv[1]);
    if (!window) {
        std::fputs("window_probe: no such window\n", stderr);
        return 1;
    }
    wchar_t hookPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, hookPath, MAX_PATH);
    std::wstring path = hookPath;
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"WindowProbeHook.dll";
    HMODULE hookModule = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void (*)()>(hookModule ? GetProcAddress(hookModule, "WindowProbeHook") : nullptr));
    if (!hook) {
        std::fputs("window_probe: WindowProbeHook.dll not found\n", stderr);
        return 1;
    }

    wchar_t outputPath[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, outputPath);
    lstrcatW(outputPath, L"WindowProbeOutput.txt");
    DeleteFileW(outputPath);

    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    HHOOK installed = SetWindowsHookExW(WH_CALLWNDPROC, hook, hookModule, thread);
    if (!installed) {
        std::fputs("window_probe: cannot install the hook\n", stderr);
        return 1;
    }
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, RegisterWindowMessageW(L"GatewiseWindowProbe"), kind == L"menu" ? 0 : 1, 0,
                        SMTO_ABORTIFHUNG, 10000, &result);
    UnhookWindowsHookEx(installed);

    HANDLE file = CreateFileW(outputPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fputs("window_probe: nothing was written\n", stderr);
        return 1;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) std::fwrite(buffer, 1, read, stdout);
    CloseHandle(file);
    DeleteFileW(outputPath);
    return 0;
}
