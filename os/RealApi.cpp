// The real machine: every member forwards to the Windows function of the same name.
#include "os/WinApi.h"

#include <wbemidl.h>

#include <memory>
#include <string>

namespace os {
namespace {

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ComRef = std::unique_ptr<Interface, ComRelease>;

// COM on the calling thread for one call; a thread that has it already keeps it.
class ComScope {
public:
    ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

class Variant {
public:
    Variant() { ::VariantInit(&value); }
    ~Variant() { ::VariantClear(&value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT value;
};

class Bstr {
public:
    explicit Bstr(const wchar_t* text) : text_(::SysAllocString(text)) {}
    ~Bstr() { ::SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return text_; }

private:
    BSTR text_;
};

// The calls that the BitLocker provider accepts: impersonating, encrypted.
HRESULT SetCallSecurity(IUnknown* proxy) {
    return ::CoSetProxyBlanket(proxy, RPC_C_AUTHN_DEFAULT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

HRESULT ConnectToVolumeEncryption(ComRef<IWbemServices>& services) {
    IWbemLocator* locator = nullptr;
    HRESULT result = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                        reinterpret_cast<void**>(&locator));
    if (FAILED(result)) return result;
    ComRef<IWbemLocator> ownedLocator(locator);
    Bstr space(L"ROOT\\CIMV2\\Security\\MicrosoftVolumeEncryption");
    IWbemServices* connected = nullptr;
    result = locator->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &connected);
    if (FAILED(result)) return result;
    services.reset(connected);
    return SetCallSecurity(connected);
}

// The object path of the drive's Win32_EncryptableVolume; empty when there is none.
HRESULT FindVolumePath(IWbemServices& services, LPCWSTR driveLetter, Variant& path) {
    const std::wstring text =
        std::wstring(L"SELECT __PATH FROM Win32_EncryptableVolume WHERE DriveLetter = '") + driveLetter + L"'";
    Bstr language(L"WQL");
    Bstr query(text.c_str());
    IEnumWbemClassObject* found = nullptr;
    HRESULT result = services.ExecQuery(language.get(), query.get(),
                                        WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, &found);
    if (FAILED(result)) return result;
    ComRef<IEnumWbemClassObject> volumes(found);
    if (FAILED(result = SetCallSecurity(found))) return result;
    IWbemClassObject* volume = nullptr;
    ULONG count = 0;
    result = volumes->Next(WBEM_INFINITE, 1, &volume, &count);
    if (FAILED(result) || count == 0) return FAILED(result) ? result : S_OK;
    ComRef<IWbemClassObject> ownedVolume(volume);
    return volume->Get(L"__PATH", 0, &path.value, nullptr, nullptr);
}

// The method's input: the protector type.
HRESULT ProtectorTypeInput(IWbemServices& services, ULONG keyProtectorType, ComRef<IWbemClassObject>& input) {
    Bstr className(L"Win32_EncryptableVolume");
    IWbemClassObject* definition = nullptr;
    HRESULT result = services.GetObject(className.get(), 0, nullptr, &definition, nullptr);
    if (FAILED(result)) return result;
    ComRef<IWbemClassObject> ownedDefinition(definition);
    IWbemClassObject* signature = nullptr;
    if (FAILED(result = definition->GetMethod(L"IsKeyProtectorAvailable", 0, &signature, nullptr))) return result;
    ComRef<IWbemClassObject> ownedSignature(signature);
    IWbemClassObject* instance = nullptr;
    if (FAILED(result = signature->SpawnInstance(0, &instance))) return result;
    input.reset(instance);
    Variant type;
    type.value.vt = VT_I4;
    type.value.lVal = static_cast<LONG>(keyProtectorType);
    return instance->Put(L"KeyProtectorType", 0, &type.value, 0);
}

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
    int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) override {
        return ::LoadStringW(instance, id, buffer, size);
    }

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
    UINT GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size) override {
        return ::GetSystemWindowsDirectoryW(buffer, size);
    }

    HRESULT IsKeyProtectorAvailable(LPCWSTR driveLetter, ULONG keyProtectorType, BOOL* available) override {
        *available = FALSE;
        ComScope com;
        ComRef<IWbemServices> services;
        HRESULT result = ConnectToVolumeEncryption(services);
        if (FAILED(result)) return result;
        Variant path;
        if (FAILED(result = FindVolumePath(*services, driveLetter, path))) return result;
        if (path.value.vt != VT_BSTR) return S_OK;
        ComRef<IWbemClassObject> input;
        if (FAILED(result = ProtectorTypeInput(*services, keyProtectorType, input))) return result;
        Bstr method(L"IsKeyProtectorAvailable");
        IWbemClassObject* output = nullptr;
        result = services->ExecMethod(path.value.bstrVal, method.get(), 0, nullptr, input.get(), &output, nullptr);
        if (FAILED(result)) return result;
        ComRef<IWbemClassObject> ownedOutput(output);
        Variant returned;
        Variant answer;
        if (FAILED(result = output->Get(L"ReturnValue", 0, &returned.value, nullptr, nullptr))) return result;
        if (returned.value.vt == VT_I4 && returned.value.lVal != 0) return static_cast<HRESULT>(returned.value.lVal);
        if (FAILED(result = output->Get(L"IsKeyProtectorAvailable", 0, &answer.value, nullptr, nullptr))) return result;
        *available = answer.value.vt == VT_BOOL && answer.value.boolVal != VARIANT_FALSE;
        return S_OK;
    }

    HANDLE LocalFree(HANDLE memory) override { return ::LocalFree(memory); }
    BOOL CloseHandle(HANDLE object) override { return ::CloseHandle(object); }

    HANDLE RegisterEventSourceW(LPCWSTR serverName, LPCWSTR sourceName) override {
        return ::RegisterEventSourceW(serverName, sourceName);
    }
    BOOL ReportEventW(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID userSid, WORD stringCount,
                      DWORD dataSize, LPCWSTR* strings, LPVOID rawData) override {
        return ::ReportEventW(eventLog, type, category, eventId, userSid, stringCount, dataSize, strings, rawData);
    }
    BOOL DeregisterEventSource(HANDLE eventLog) override { return ::DeregisterEventSource(eventLog); }

    BOOL LogonUserW(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonType, DWORD provider,
                    PHANDLE token) override {
        return ::LogonUserW(user, domain, password, logonType, provider, token);
    }
    BOOL LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameSize, LPWSTR domain,
                           LPDWORD domainSize, PSID_NAME_USE use) override {
        return ::LookupAccountSidW(systemName, sid, name, nameSize, domain, domainSize, use);
    }

    DWORD WTSGetActiveConsoleSessionId() override { return ::WTSGetActiveConsoleSessionId(); }
    BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                              LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                              BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                              LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                              LPPROCESS_INFORMATION processInformation) override {
        return ::CreateProcessAsUserW(token, applicationName, commandLine, processAttributes, threadAttributes,
                                      inheritHandles, creationFlags, environment, currentDirectory, startupInfo,
                                      processInformation);
    }
    DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) override {
        return ::WaitForSingleObject(object, milliseconds);
    }
    BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) override {
        return ::GetExitCodeProcess(process, exitCode);
    }
    BOOL TerminateProcess(HANDLE process, UINT exitCode) override { return ::TerminateProcess(process, exitCode); }
    HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) override {
        return ::CreateMutexW(attributes, initialOwner, name);
    }
    BOOL ReleaseMutex(HANDLE mutex) override { return ::ReleaseMutex(mutex); }
    HANDLE OpenMutexW(DWORD access, BOOL inheritHandle, LPCWSTR name) override {
        return ::OpenMutexW(access, inheritHandle, name);
    }
    DWORD GetSecurityInfo(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID* owner, PSID* group,
                          PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) override {
        return ::GetSecurityInfo(object, type, what, owner, group, dacl, sacl, descriptor);
    }
    HRESULT CoCreateGuid(GUID* guid) override { return ::CoCreateGuid(guid); }
    void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
    DWORD GetTickCount() override { return ::GetTickCount(); }
    BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD revision,
                                                              PSECURITY_DESCRIPTOR* descriptor, PULONG size) override {
        return ::ConvertStringSecurityDescriptorToSecurityDescriptorW(text, revision, descriptor, size);
    }
    DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) override {
        return ::GetModuleFileNameW(module, fileName, size);
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
