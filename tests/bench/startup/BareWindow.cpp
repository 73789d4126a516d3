// The yardstick of the start-up benchmark: the least a Win32 program with
// gatewise.exe's outline does. One window titled "Gatewise" with a menu and
// three buttons, and its message loop; it ignores its arguments.

#include <windows.h>

namespace {

constexpr UINT kExitCommand = 3;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kExitCommand) DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HMENU CreateMainMenu() {
    HMENU commands = CreatePopupMenu();
    AppendMenuW(commands, MF_STRING, 1, L"&Options...");
    AppendMenuW(commands, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(commands, MF_STRING, kExitCommand, L"E&xit\tAlt+X");
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, 2, L"&Help topics\tF1");
    HMENU menu = CreateMenu();
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(commands), L"&Commands");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");
    return menu;
}

void AddButton(HWND window, const wchar_t* caption, int left, UINT id) {
    CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, left, 376, 99, 25,
                    window, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"BareWindow";
    RegisterClassExW(&windowClass);

    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, L"BareWindow", L"Gatewise",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 556, 475, nullptr, CreateMainMenu(), instance, nullptr);
    if (!window) return 1;
    AddButton(window, L"&Options...", 208, 1);
    AddButton(window, L"&Help", 320, 2);
    AddButton(window, L"E&xit", 432, kExitCommand);
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
