// Runs inside the probed program through a WH_CALLWNDPROC hook (menus cannot
// be read from another process): on the registered probe message it writes the
// window's menu bar, one caption a line, to MenuProbeOutput in the temp folder.

#include <windows.h>

#include <string>

namespace {

void AppendMenu(HMENU menu, const std::wstring& indent, std::wstring& text) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t caption[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), caption, 256, MF_BYPOSITION);
        MENUITEMINFOW state{};
        state.cbSize = sizeof(state);
        state.fMask = MIIM_STATE;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &state);
        text += indent + (caption[0] ? caption : L"-");
        if (caption[0] && (state.fState & MFS_GRAYED)) text += L" [disabled]";
        text += L"\n";
        if (HMENU sub = GetSubMenu(menu, i)) AppendMenu(sub, indent + L"  ", text);
    }
}

void WriteMenu(HWND window) {
    std::wstring text;
    if (HMENU bar = GetMenu(window)) AppendMenu(bar, L"", text);
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    lstrcatW(path, L"MenuProbeOutput.txt");
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK MenuProbeHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        auto* message = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (message->message == RegisterWindowMessageW(L"GatewiseMenuProbe")) WriteMenu(message->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
