#pragma once
// A simulated machine whose GDI is Windows' own: windows built on it measure
// and draw their markup with real fonts in real device contexts (the simulated
// GDI knows none of them), while the registry, the accounts, the LSA store and
// everything else stay simulated. The system colours are Windows' own until a
// test sets simulatedColors; then they are the simulated machine's. oleacc is
// Windows' own too, so that the windows answer screen readers, and so is the
// program's string table, which the windows read their messages from.

#include "os/WinApi.h"
#include "os/sim/SimMachine.h"

class SimMachineWithRealGdi final : public os::sim::SimMachine {
public:
    bool simulatedColors = false;

    HDC CreateCompatibleDC(HDC dc) override { return Gdi().CreateCompatibleDC(dc); }
    BOOL DeleteDC(HDC dc) override { return Gdi().DeleteDC(dc); }
    HGDIOBJ GetCurrentObject(HDC dc, UINT type) override { return Gdi().GetCurrentObject(dc, type); }
    int GetObjectW(HANDLE object, int size, LPVOID buffer) override { return Gdi().GetObjectW(object, size, buffer); }
    HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) override { return Gdi().SelectObject(dc, object); }
    BOOL DeleteObject(HGDIOBJ object) override { return Gdi().DeleteObject(object); }
    HFONT CreateFontIndirectW(const LOGFONTW* font) override { return Gdi().CreateFontIndirectW(font); }
    HBRUSH CreateSolidBrush(COLORREF color) override { return Gdi().CreateSolidBrush(color); }
    COLORREF GetTextColor(HDC dc) override { return Gdi().GetTextColor(dc); }
    COLORREF SetTextColor(HDC dc, COLORREF color) override { return Gdi().SetTextColor(dc, color); }
    int SetBkMode(HDC dc, int mode) override { return Gdi().SetBkMode(dc, mode); }
    int SetMapMode(HDC dc, int mode) override { return Gdi().SetMapMode(dc, mode); }
    int GetDeviceCaps(HDC dc, int index) override { return Gdi().GetDeviceCaps(dc, index); }
    BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) override { return Gdi().GetTextMetricsW(dc, metrics); }
    BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) override {
        return Gdi().GetTextExtentPoint32W(dc, text, count, size);
    }
    BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT extents,
                               LPSIZE size) override {
        return Gdi().GetTextExtentExPointW(dc, text, count, maxExtent, fit, extents, size);
    }
    BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                     const INT* advances) override {
        return Gdi().ExtTextOutW(dc, x, y, options, rect, text, count, advances);
    }
    int FillRect(HDC dc, const RECT* rect, HBRUSH brush) override { return Gdi().FillRect(dc, rect, brush); }
    DWORD GetSysColor(int index) override {
        return simulatedColors ? SimMachine::GetSysColor(index) : Gdi().GetSysColor(index);
    }
    int MulDiv(int number, int numerator, int denominator) override {
        return Gdi().MulDiv(number, numerator, denominator);
    }

    HMODULE GetModuleHandleA(LPCSTR name) override {
        if (!name) return Gdi().GetModuleHandleA(nullptr);  // the program, for its string table
        return IsOleacc(name) ? Remember(Gdi().GetModuleHandleA(name)) : SimMachine::GetModuleHandleA(name);
    }
    int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) override {
        return Gdi().LoadStringW(instance, id, buffer, size);
    }
    HMODULE LoadLibraryExA(LPCSTR name, HANDLE reserved, DWORD flags) override {
        return IsOleacc(name) ? Remember(Gdi().LoadLibraryExA(name, reserved, flags))
                              : SimMachine::LoadLibraryExA(name, reserved, flags);
    }
    FARPROC GetProcAddress(HMODULE module, LPCSTR name) override {
        return module && module == oleacc_ ? Gdi().GetProcAddress(module, name) : SimMachine::GetProcAddress(module, name);
    }

private:
    static os::WinApi& Gdi() { return os::Windows(); }
    static bool IsOleacc(LPCSTR name) { return name && lstrcmpiA(name, "oleacc.dll") == 0; }
    HMODULE Remember(HMODULE module) {
        if (module) oleacc_ = module;
        return module;
    }

    HMODULE oleacc_ = nullptr;
};
