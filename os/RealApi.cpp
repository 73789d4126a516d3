// The real machine: every member forwards to the Windows function of the same name.
#include "os/WinApi.h"

namespace os {
namespace {

class RealWindows final : public WinApi {
public:
    LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                            REGSAM desired, const SECURITY_ATTRIBUTES* security, PHKEY result,
                            LPDWORD disposition) override {
        return ::RegCreateKeyExW(key, subKey, reserved, keyClass, options, desired,
                                 const_cast<SECURITY_ATTRIBUTES*>(security), result, disposition);
    }
    LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result) override {
        return ::RegOpenKeyExW(key, subKey, options, desired, result);
    }
    LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize) override {
        return ::RegQueryValueExW(key, valueName, reserved, type, data, dataSize);
    }
    LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD dataSize) override {
        return ::RegSetValueExW(key, valueName, reserved, type, data, dataSize);
    }
    LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) override { return ::RegDeleteValueW(key, valueName); }
    LSTATUS RegCloseKey(HKEY key) override { return ::RegCloseKey(key); }

    HMODULE GetModuleHandleA(LPCSTR moduleName) override { return ::GetModuleHandleA(moduleName); }
    HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags) override {
        return ::LoadLibraryExA(fileName, reserved, flags);
    }
    FARPROC GetProcAddress(HMODULE module, LPCSTR procName) override { return ::GetProcAddress(module, procName); }
    UINT GetSystemDirectoryA(LPSTR buffer, UINT size) override { return ::GetSystemDirectoryA(buffer, size); }

    DWORD GetLastError() override { return ::GetLastError(); }
    void SetLastError(DWORD code) override { ::SetLastError(code); }
    DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                         DWORD size, void* arguments) override {
        return ::FormatMessageW(flags, source, messageId, languageId, buffer, size,
                                static_cast<va_list*>(arguments));
    }

    BOOL GetVersionExW(LPOSVERSIONINFOW info) override {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        return ::GetVersionExW(info);
#pragma GCC diagnostic pop
    }
    BOOL GetSystemPowerStatus(LPSYSTEM_POWER_STATUS status) override { return ::GetSystemPowerStatus(status); }
    BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) override {
        return ::SystemParametersInfoW(action, uiParam, pvParam, winIni);
    }
    BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) override { return ::GetComputerNameW(buffer, size); }

    HANDLE LocalFree(HANDLE memory) override { return ::LocalFree(memory); }
    BOOL CloseHandle(HANDLE object) override { return ::CloseHandle(object); }

    BOOL LogonUserW(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonType, DWORD provider,
                    PHANDLE token) override {
        return ::LogonUserW(user, domain, password, logonType, provider, token);
    }

    // GDI (gdi32, user32)
    HDC CreateCompatibleDC(HDC dc) override { return ::CreateCompatibleDC(dc); }
    BOOL DeleteDC(HDC dc) override { return ::DeleteDC(dc); }
    HGDIOBJ GetCurrentObject(HDC dc, UINT type) override { return ::GetCurrentObject(dc, type); }
    int GetObjectW(HANDLE object, int size, LPVOID buffer) override { return ::GetObjectW(object, size, buffer); }
    HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) override { return ::SelectObject(dc, object); }
    BOOL DeleteObject(HGDIOBJ object) override { return ::DeleteObject(object); }
    HFONT CreateFontIndirectW(const LOGFONTW* font) override { return ::CreateFontIndirectW(font); }
    HBRUSH CreateSolidBrush(COLORREF color) override { return ::CreateSolidBrush(color); }
    COLORREF GetTextColor(HDC dc) override { return ::GetTextColor(dc); }
    COLORREF SetTextColor(HDC dc, COLORREF color) override { return ::SetTextColor(dc, color); }
    int SetBkMode(HDC dc, int mode) override { return ::SetBkMode(dc, mode); }
    int SetMapMode(HDC dc, int mode) override { return ::SetMapMode(dc, mode); }
    int GetDeviceCaps(HDC dc, int index) override { return ::GetDeviceCaps(dc, index); }
    BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) override { return ::GetTextMetricsW(dc, metrics); }
    BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) override {
        return ::GetTextExtentPoint32W(dc, text, count, size);
    }
    BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT extents,
                               LPSIZE size) override {
        return ::GetTextExtentExPointW(dc, text, count, maxExtent, fit, extents, size);
    }
    BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                     const INT* advances) override {
        return ::ExtTextOutW(dc, x, y, options, rect, text, count, advances);
    }
    int FillRect(HDC dc, const RECT* rect, HBRUSH brush) override { return ::FillRect(dc, rect, brush); }
    DWORD GetSysColor(int index) override { return ::GetSysColor(index); }
    int MulDiv(int number, int numerator, int denominator) override {
        return ::MulDiv(number, numerator, denominator);
    }
    // ---- end of GDI
};

}  // namespace

WinApi& Windows() {
    static RealWindows windows;
    return windows;
}

}  // namespace os
