// Runs inside the probed program through a WH_CALLWNDPROC hook (menus and
// accessible objects are read where they live): on the registered probe
// message it writes to WindowProbeOutput.txt in the temp folder either the
// window's menu bar, one caption a line (wParam 0), or the tree of accessible
// objects of its client area (wParam 1), one object a line, indented by depth:
//
//   role "name" [action "default action"] [WxH for graphics] [focused]
//
// A child window appears as "window" with its client area's object under it.

#include "AccessibleValues.h"

#include <windows.h>
#include <oleacc.h>

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

void Describe(IAccessible* object, LONG id, const std::wstring& indent, std::wstring& text) {
    VARIANT child = ChildId(id);
    VARIANT role;
    VariantInit(&role);
    wchar_t roleText[64] = L"?";
    if (SUCCEEDED(object->get_accRole(child, &role)) && role.vt == VT_I4) GetRoleTextW(role.lVal, roleText, 64);
    text += indent + roleText + L" \"" + AccessibleText([&](BSTR* name) { return object->get_accName(child, name); }) + L"\"";
    if (std::wstring verb = AccessibleText([&](BSTR* action) { return object->get_accDefaultAction(child, action); }); !verb.empty())
        text += L" action \"" + verb + L"\"";
    LONG left = 0, top = 0, width = 0, height = 0;
    if (role.vt == VT_I4 && role.lVal == ROLE_SYSTEM_GRAPHIC &&
        SUCCEEDED(object->accLocation(&left, &top, &width, &height, child)))
        text += L" " + std::to_wstring(width) + L"x" + std::to_wstring(height);
    VARIANT state;
    VariantInit(&state);
    if (SUCCEEDED(object->get_accState(child, &state)) && state.vt == VT_I4 && (state.lVal & STATE_SYSTEM_FOCUSED))
        text += L" focused";
    text += L"\n";
}

void Walk(IAccessible* object, const std::wstring& indent, std::wstring& text) {
    LONG count = 0;
    if (FAILED(object->get_accChildCount(&count))) return;
    for (LONG id = 1; id <= count; ++id) {
        IDispatch* dispatch = nullptr;
        IAccessible* child = nullptr;
        if (object->get_accChild(ChildId(id), &dispatch) != S_OK || !dispatch ||
            FAILED(dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&child)))) {
            if (dispatch) dispatch->Release();
            Describe(object, id, indent, text);  // a simple element
            continue;
        }
        dispatch->Release();
        IOleWindow* window = nullptr;
        HWND handle = nullptr;
        IAccessible* client = nullptr;
        if (SUCCEEDED(child->QueryInterface(__uuidof(IOleWindow), reinterpret_cast<void**>(&window)))) {
            window->GetWindow(&handle);
            window->Release();
        }
        if (handle && SUCCEEDED(AccessibleObjectFromWindow(handle, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                           reinterpret_cast<void**>(&client)))) {
            text += indent + L"window\n";
            Describe(client, CHILDID_SELF, indent + L"  ", text);
            Walk(client, indent + L"    ", text);
            client->Release();
        } else {
            Describe(child, CHILDID_SELF, indent, text);
            Walk(child, indent + L"  ", text);
        }
        child->Release();
    }
}

std::wstring AccessibilityTree(HWND window) {
    std::wstring text;
    IAccessible* root = nullptr;
    const HRESULT hr = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                  reinterpret_cast<void**>(&root));
    if (FAILED(hr) || !root) return L"no accessible object: " + std::to_wstring(hr) + L"\n";
    Describe(root, CHILDID_SELF, L"", text);
    Walk(root, L"  ", text);
    root->Release();
    return text;
}

void WriteOutput(const std::wstring& text) {
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    lstrcatW(path, L"WindowProbeOutput.txt");
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

extern "C" __declspec(dllexport) LRESULT CALLBACK WindowProbeHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        auto* message = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (message->message == RegisterWindowMessageW(L"GatewiseWindowProbe")) {
            std::wstring text;
            if (message->wParam == 0) {
                if (HMENU bar = GetMenu(message->hwnd)) AppendMenu(bar, L"", text);
            } else {
                text = AccessibilityTree(message->hwnd);
            }
            WriteOutput(text);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
