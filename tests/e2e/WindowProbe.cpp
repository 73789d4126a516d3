// menu_probe.exe TITLE: prints the menu bar of the top-level window titled
// TITLE, read inside its process by MenuProbeHook.dll (beside this program).
// Exit code 0 when the menu was read.

#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: menu_probe TITLE\n", stderr);
        return 2;
    }
    HWND window = FindWindowW(nullptr, argv[1]);
    if (!window) {
        std::fputs("menu_probe: no such window\n", stderr);
        return 1;
    }
    wchar_t hookPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, hookPath, MAX_PATH);
    std::wstring path = hookPath;
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"MenuProbeHook.dll";
    HMODULE hookModule = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void (*)()>(hookModule ? GetProcAddress(hookModule, "MenuProbeHook") : nullptr));
    if (!hook) {
        std::fputs("menu_probe: MenuProbeHook.dll not found\n", stderr);
        return 1;
    }

    wchar_t outputPath[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, outputPath);
    lstrcatW(outputPath, L"MenuProbeOutput.txt");
    DeleteFileW(outputPath);

    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    HHOOK installed = SetWindowsHookExW(WH_CALLWNDPROC, hook, hookModule, thread);
    if (!installed) {
        std::fputs("menu_probe: cannot install the hook\n", stderr);
        return 1;
    }
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, RegisterWindowMessageW(L"GatewiseMenuProbe"), 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
    UnhookWindowsHookEx(installed);

    HANDLE file = CreateFileW(outputPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fputs("menu_probe: the menu was not written\n", stderr);
        return 1;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) std::fwrite(buffer, 1, read, stdout);
    CloseHandle(file);
    DeleteFileW(outputPath);
    return 0;
}
