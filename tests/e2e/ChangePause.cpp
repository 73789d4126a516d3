// change_pause.exe WHERE GATEWISECMD FIRST SECOND: runs gatewisecmd's command
// FIRST in this process, on the real Windows (Wine) behind a seam that pauses
// it at one point: "before-lock", before it takes the change lock, or
// "mid-switch", once it has stored its record and is about to write the
// start-up setting. During the pause GATEWISECMD runs command SECOND as a
// process of its own, whose standard error goes to second.err in the current
// folder; the first goes on once the second has ended. Prints the two exit
// codes, "FIRST_CODE SECOND_CODE".

#include "cli/Commands.h"
#include "os/WinApi.h"
#include "resources/StringIds.h"
#include "shell/ResStrings.h"

#include <windows.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

namespace {

class NoInput final : public cli::PasswordInput {
public:
    bool IsConsole() override { return false; }
    std::size_t Read(char*, std::size_t) override { return 0; }
    os::SecretString ReadHidden(const char*) override { return {}; }
};

// Runs `commandLine` and answers its exit code, its standard error in second.err.
DWORD RunOther(std::wstring commandLine) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE err = CreateFileW(L"second.err", GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = err;
    startup.hStdError = err;
    PROCESS_INFORMATION started{};
    DWORD code = 255;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
        WaitForSingleObject(started.hProcess, 60000);
        GetExitCodeProcess(started.hProcess, &code);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    CloseHandle(err);
    return code;
}

// Windows itself, except that the first call at the pause point first runs the other process.
class PausingWindows final : public os::WinApi {
public:
    PausingWindows(std::string where, std::wstring other) : where_(std::move(where)), other_(std::move(other)) {}
    DWORD otherCode = 255;

    LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD dataSize) override {
        if (where_ == "mid-switch" && valueName && std::wstring(valueName) == L"AutoAdminLogon") Pause();
        return Wine().RegSetValueExW(key, valueName, reserved, type, data, dataSize);
    }
    HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) override {
        if (where_ == "before-lock") Pause();
        return Wine().CreateMutexW(attributes, initialOwner, name);
    }
    LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                            const SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition) override {
        return Wine().RegCreateKeyExW(key, subKey, reserved, keyClass, options, desired, security, result,
                                      disposition);
    }
    LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result) override {
        return Wine().RegOpenKeyExW(key, subKey, options, desired, result);
    }
    LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize) override {
        return Wine().RegQueryValueExW(key, valueName, reserved, type, data, dataSize);
    }
    LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) override { return Wine().RegDeleteValueW(key, valueName); }
    LSTATUS RegCloseKey(HKEY key) override { return Wine().RegCloseKey(key); }
    HMODULE GetModuleHandleA(LPCSTR moduleName) override { return Wine().GetModuleHandleA(moduleName); }
    HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags) override {
        return Wine().LoadLibraryExA(fileName, reserved, flags);
    }
    FARPROC GetProcAddress(HMODULE module, LPCSTR procName) override {
        return Wine().GetProcAddress(module, procName);
    }
    UINT GetSystemDirectoryA(LPSTR buffer, UINT size) override { return Wine().GetSystemDirectoryA(buffer, size); }
    int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) override {
        return Wine().LoadStringW(instance, id, buffer, size);
    }
    DWORD GetLastError() override { return Wine().GetLastError(); }
    void SetLastError(DWORD code) override { Wine().SetLastError(code); }
    DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer, DWORD size,
                         void* arguments) override {
        return Wine().FormatMessageW(flags, source, messageId, languageId, buffer, size, arguments);
    }
    BOOL GetVersionExW(LPOSVERSIONINFOW info) override { return Wine().GetVersionExW(info); }
    BOOL GetSystemPowerStatus(LPSYSTEM_POWER_STATUS status) override { return Wine().GetSystemPowerStatus(status); }
    BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) override {
        return Wine().SystemParametersInfoW(action, uiParam, pvParam, winIni);
    }
    BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) override { return Wine().GetComputerNameW(buffer, size); }
    UINT GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size) override {
        return Wine().GetSystemWindowsDirectoryW(buffer, size);
    }
    HRESULT IsKeyProtectorAvailable(LPCWSTR driveLetter, ULONG keyProtectorType, BOOL* available) override {
        return Wine().IsKeyProtectorAvailable(driveLetter, keyProtectorType, available);
    }
    HANDLE LocalFree(HANDLE memory) override { return Wine().LocalFree(memory); }
    BOOL CloseHandle(HANDLE object) override { return Wine().CloseHandle(object); }
    HANDLE RegisterEventSourceW(LPCWSTR serverName, LPCWSTR sourceName) override {
        return Wine().RegisterEventSourceW(serverName, sourceName);
    }
    BOOL ReportEventW(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID userSid, WORD stringCount,
                      DWORD dataSize, LPCWSTR* strings, LPVOID rawData) override {
        return Wine().ReportEventW(eventLog, type, category, eventId, userSid, stringCount, dataSize, strings,
                                   rawData);
    }
    BOOL DeregisterEventSource(HANDLE eventLog) override { return Wine().DeregisterEventSource(eventLog); }
    BOOL LogonUserW(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonType, DWORD provider,
                    PHANDLE token) override {
        return Wine().LogonUserW(user, domain, password, logonType, provider, token);
    }
    BOOL LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameSize, LPWSTR domain,
                           LPDWORD domainSize, PSID_NAME_USE use) override {
        return Wine().LookupAccountSidW(systemName, sid, name, nameSize, domain, domainSize, use);
    }
    DWORD WTSGetActiveConsoleSessionId() override { return Wine().WTSGetActiveConsoleSessionId(); }
    BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                              LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                              BOOL inheritHandles, DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                              LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation) override {
        return Wine().CreateProcessAsUserW(token, applicationName, commandLine, processAttributes, threadAttributes,
                                           inheritHandles, creationFlags, environment, currentDirectory, startupInfo,
                                           processInformation);
    }
    DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) override {
        return Wine().WaitForSingleObject(object, milliseconds);
    }
    BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) override {
        return Wine().GetExitCodeProcess(process, exitCode);
    }
    BOOL TerminateProcess(HANDLE process, UINT exitCode) override {
        return Wine().TerminateProcess(process, exitCode);
    }
    BOOL ReleaseMutex(HANDLE mutex) override { return Wine().ReleaseMutex(mutex); }
    HANDLE OpenMutexW(DWORD access, BOOL inheritHandle, LPCWSTR name) override {
        return Wine().OpenMutexW(access, inheritHandle, name);
    }
    DWORD GetSecurityInfo(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID* owner, PSID* group,
                          PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) override {
        return Wine().GetSecurityInfo(object, type, what, owner, group, dacl, sacl, descriptor);
    }
    HRESULT CoCreateGuid(GUID* guid) override { return Wine().CoCreateGuid(guid); }
    void Sleep(DWORD milliseconds) override { Wine().Sleep(milliseconds); }
    DWORD GetTickCount() override { return Wine().GetTickCount(); }
    BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD revision,
                                                              PSECURITY_DESCRIPTOR* descriptor,
                                                              PULONG size) override {
        return Wine().ConvertStringSecurityDescriptorToSecurityDescriptorW(text, revision, descriptor, size);
    }
    DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) override {
        return Wine().GetModuleFileNameW(module, fileName, size);
    }
    HDC CreateCompatibleDC(HDC dc) override { return Wine().CreateCompatibleDC(dc); }
    BOOL DeleteDC(HDC dc) override { return Wine().DeleteDC(dc); }
    HGDIOBJ GetCurrentObject(HDC dc, UINT type) override { return Wine().GetCurrentObject(dc, type); }
    int GetObjectW(HANDLE object, int size, LPVOID buffer) override {
        return Wine().GetObjectW(object, size, buffer);
    }
    HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) override { return Wine().SelectObject(dc, object); }
    BOOL DeleteObject(HGDIOBJ object) override { return Wine().DeleteObject(object); }
    HFONT CreateFontIndirectW(const LOGFONTW* font) override { return Wine().CreateFontIndirectW(font); }
    HBRUSH CreateSolidBrush(COLORREF color) override { return Wine().CreateSolidBrush(color); }
    COLORREF GetTextColor(HDC dc) override { return Wine().GetTextColor(dc); }
    COLORREF SetTextColor(HDC dc, COLORREF color) override { return Wine().SetTextColor(dc, color); }
    int SetBkMode(HDC dc, int mode) override { return Wine().SetBkMode(dc, mode); }
    int SetMapMode(HDC dc, int mode) override { return Wine().SetMapMode(dc, mode); }
    int GetDeviceCaps(HDC dc, int index) override { return Wine().GetDeviceCaps(dc, index); }
    BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) override { return Wine().GetTextMetricsW(dc, metrics); }
    BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) override {
        return Wine().GetTextExtentPoint32W(dc, text, count, size);
    }
    BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT extents,
                               LPSIZE size) override {
        return Wine().GetTextExtentExPointW(dc, text, count, maxExtent, fit, extents, size);
    }
    BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                     const INT* advances) override {
        return Wine().ExtTextOutW(dc, x, y, options, rect, text, count, advances);
    }
    int FillRect(HDC dc, const RECT* rect, HBRUSH brush) override { return Wine().FillRect(dc, rect, brush); }
    DWORD GetSysColor(int index) override { return Wine().GetSysColor(index); }
    int MulDiv(int number, int numerator, int denominator) override {
        return Wine().MulDiv(number, numerator, denominator);
    }

private:
    static os::WinApi& Wine() { return os::Windows(); }
    void Pause() {
        if (paused_) return;
        paused_ = true;
        otherCode = RunOther(other_);
    }

    std::string where_;
    std::wstring other_;
    bool paused_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: change_pause.exe before-lock|mid-switch GATEWISECMD FIRST SECOND\n", stderr);
        return 2;
    }
    PausingWindows machine(argv[1], L"\"" + os::FromUtf8(argv[2]) + L"\" " + os::FromUtf8(argv[4]));
    int code = 255;
    {
        const os::ScopedMachine scope(machine);
        NoInput input;
        std::ostringstream out;
        std::ostringstream err;
        cli::Console console{out, err, input};
        code = cli::RunCommandLine({argv[3]}, shell::ResString(IDS_OPTIONS_KEY), console);
        std::cerr << err.str();
    }
    std::printf("%d %lu\n", code, static_cast<unsigned long>(machine.otherCode));
    return 0;
}
