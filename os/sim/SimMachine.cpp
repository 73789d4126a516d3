#include "os/sim/SimMachine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace os::sim {
namespace {

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));
constexpr DWORD kMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND

thread_local DWORD lastError = 0;

WCHAR LowerAscii(WCHAR c) { return (c >= 'A' && c <= 'Z') ? static_cast<WCHAR>(c - 'A' + 'a') : c; }

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Hex(unsigned long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", value);
    return text;
}

std::string Text(LPCWSTR text) { return text ? ToUtf8(text) : std::string("(null)"); }

std::string GuidText(const GUID* guid) {
    if (!guid) return "(null)";
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid->Data1), guid->Data2, guid->Data3, guid->Data4[0], guid->Data4[1],
                  guid->Data4[2], guid->Data4[3], guid->Data4[4], guid->Data4[5], guid->Data4[6], guid->Data4[7]);
    return text;
}

std::string RootName(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return "HKLM";
    if (key == HKEY_CURRENT_USER) return "HKCU";
    if (key == HKEY_USERS) return "HKU";
    return Hex(reinterpret_cast<uintptr_t>(key));
}

std::vector<WString> SplitPath(WStringView path) {
    std::vector<WString> parts;
    WString part;
    for (WCHAR c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::vector<BYTE> SidBytes(const SidValue& sid) {
    std::vector<BYTE> bytes(8 + 4 * sid.subAuthorities.size());
    bytes[0] = 1;
    bytes[1] = static_cast<BYTE>(sid.subAuthorities.size());
    std::memcpy(&bytes[2], sid.authority, 6);
    std::memcpy(&bytes[8], sid.subAuthorities.data(), 4 * sid.subAuthorities.size());
    return bytes;
}

std::size_t SidLength(PSID sid) { return 8 + 4 * static_cast<const BYTE*>(sid)[1]; }

GUID MakeGuid(ULONG data1) {
    GUID guid{};
    guid.Data1 = data1;
    guid.Data2 = 0x1234;
    guid.Data3 = 0x5678;
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<UCHAR>(0x10 * i + 1);
    return guid;
}

}  // namespace

bool CaseInsensitiveLess::operator()(const WString& a, const WString& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](WCHAR x, WCHAR y) { return LowerAscii(x) < LowerAscii(y); });
}

SidValue AdministratorsSid() { return SidValue{{0, 0, 0, 0, 0, 5}, {32, 544}}; }
SidValue UsersSid() { return SidValue{{0, 0, 0, 0, 0, 5}, {32, 545}}; }
SidValue LocalSystemSid() { return SidValue{{0, 0, 0, 0, 0, 5}, {18}}; }
SidValue AliceSid() { return SidValue{{0, 0, 0, 0, 0, 5}, {21, 1004336348, 1177238915, 682003330, 1001}}; }

WString SidText(const SidValue& sid) {
    unsigned long long authority = 0;
    for (BYTE part : sid.authority) authority = authority << 8 | part;
    std::string text = "S-1-" + std::to_string(authority);
    for (DWORD part : sid.subAuthorities) text += "-" + std::to_string(part);
    return FromUtf8(text);
}

SimMachine& Current() {
    auto* machine = dynamic_cast<SimMachine*>(&Api());
    if (!machine) throw std::logic_error("the machine in use is not simulated");
    return *machine;
}

SimMachine::SimMachine()
    : localMachine_(std::make_unique<RegistryKey>()),
      currentUser_(std::make_unique<RegistryKey>()),
      users_(std::make_unique<RegistryKey>()) {
    lastError = 0;
    accounts.push_back({WSTR("alice"), WSTR("GATEWISE-PC"), WSTR("wonderland")});
    processGroups = {{UsersSid(), SE_GROUP_ENABLED}, {AdministratorsSid(), SE_GROUP_ENABLED}};
    sessionUserGroups_ = {{UsersSid(), SE_GROUP_ENABLED}};
    consoleUser = SessionUser{AliceSid(), WSTR("alice"), WSTR("GATEWISE-PC")};
    sidAccounts = {{AliceSid(), WSTR("alice"), WSTR("GATEWISE-PC")},
                   {LocalSystemSid(), WSTR("SYSTEM"), WSTR("NT AUTHORITY"), SidTypeWellKnownGroup}};
    powerSchemes = {{MakeGuid(0x381B4222), 1, 1, WSTR("Balanced")},
                    {MakeGuid(0x8C5E7FDA), 1, 1, WSTR("High performance")},
                    {MakeGuid(0xA1841308), 1, 1, WSTR("Power saver")}};
    globalPowerPolicy.user.Revision = 1;
    globalPowerPolicy.user.GlobalFlags = 0x01 | kEnablePasswordLogon;
    globalPowerPolicy.mach.Revision = 1;
    powerStatus.ACLineStatus = 1;
    powerStatus.BatteryFlag = 128;
    powerStatus.BatteryLifePercent = 255;
    errorTexts = {
        {ERROR_FILE_NOT_FOUND, WSTR("The system cannot find the file specified.\r\n")},
        {ERROR_ACCESS_DENIED, WSTR("Access is denied.\r\n")},
        {ERROR_INVALID_HANDLE, WSTR("The handle is invalid.\r\n")},
        {ERROR_INVALID_PARAMETER, WSTR("The parameter is incorrect.\r\n")},
        {ERROR_CALL_NOT_IMPLEMENTED, WSTR("This function is not supported on this system.\r\n")},
        {ERROR_INSUFFICIENT_BUFFER, WSTR("The data area passed to a system call is too small.\r\n")},
        {ERROR_MOD_NOT_FOUND, WSTR("The specified module could not be found.\r\n")},
        {ERROR_PROC_NOT_FOUND, WSTR("The specified procedure could not be found.\r\n")},
        {ERROR_MORE_DATA, WSTR("More data is available.\r\n")},
        {ERROR_NO_MORE_ITEMS, WSTR("No more data is available.\r\n")},
        {ERROR_NO_TOKEN, WSTR("An attempt was made to reference a token that does not exist.\r\n")},
        {ERROR_INVALID_SPI_VALUE, WSTR("Invalid system-wide (SPI_*) parameter.\r\n")},
        {ERROR_LOGON_FAILURE, WSTR("The user name or password is incorrect.\r\n")},
        {ERROR_OPERATION_IN_PROGRESS, WSTR("An operation is in progress.\r\n")},
        {ERROR_ACCOUNT_LOCKED_OUT, WSTR("The referenced account is currently locked out and may not be logged on to.\r\n")},
        {ERROR_CTX_WINSTATION_NOT_FOUND, WSTR("The specified session cannot be found.\r\n")},
    };
    Key(HKEY_LOCAL_MACHINE, WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"));
    users_->readOnly = true;  // hives are loaded under it, never created
    SetString(HKEY_CURRENT_USER, WSTR("Control Panel\\Desktop"), WSTR("ScreenSaverIsSecure"), WSTR("1"));
    RegisterExports();
}

SimMachine::~SimMachine() {
    for (PSID sid : sids_) delete[] static_cast<BYTE*>(sid);
    for (void* buffer : localBuffers_) delete static_cast<GUID*>(buffer);
    for (void* buffer : lsaBuffers_) delete[] static_cast<BYTE*>(buffer);
    for (void* buffer : netBuffers_) delete[] static_cast<BYTE*>(buffer);
    for (void* block : environmentBlocks_) delete[] static_cast<WCHAR*>(block);
}

// ---------------------------------------------------------------- test helpers

RegistryKey* SimMachine::Root(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return localMachine_.get();
    if (root == HKEY_CURRENT_USER) return currentUser_.get();
    if (root == HKEY_USERS) return users_.get();
    return nullptr;
}

const RegistryKey* SimMachine::Root(HKEY root) const { return const_cast<SimMachine*>(this)->Root(root); }

RegistryKey& SimMachine::Key(HKEY root, WStringView path) {
    RegistryKey* key = Root(root);
    if (!key) throw std::invalid_argument("unknown registry root");
    for (const WString& part : SplitPath(path)) {
        auto& child = key->subkeys[part];
        if (!child) child = std::make_unique<RegistryKey>();
        key = child.get();
    }
    return *key;
}

bool SimMachine::HasKey(HKEY root, WStringView path) const {
    const RegistryKey* key = Root(root);
    for (const WString& part : SplitPath(path)) {
        if (!key) return false;
        auto it = key->subkeys.find(part);
        key = it == key->subkeys.end() ? nullptr : it->second.get();
    }
    return key != nullptr;
}

void SimMachine::SetRaw(HKEY root, WStringView path, WStringView name, DWORD type, std::vector<BYTE> data) {
    Key(root, path).values[WString(name)] = RegistryValue{type, std::move(data)};
}

void SimMachine::SetString(HKEY root, WStringView path, WStringView name, WStringView text, DWORD type) {
    std::vector<BYTE> data((text.size() + 1) * sizeof(WCHAR), 0);
    std::memcpy(data.data(), text.data(), text.size() * sizeof(WCHAR));
    SetRaw(root, path, name, type, std::move(data));
}

void SimMachine::SetDword(HKEY root, WStringView path, WStringView name, DWORD value) {
    std::vector<BYTE> data(sizeof value);
    std::memcpy(data.data(), &value, sizeof value);
    SetRaw(root, path, name, REG_DWORD, std::move(data));
}

const RegistryValue* SimMachine::Value(HKEY root, WStringView path, WStringView name) const {
    if (!HasKey(root, path)) return nullptr;
    const auto& values = const_cast<SimMachine*>(this)->Key(root, path).values;
    auto it = values.find(WString(name));
    return it == values.end() ? nullptr : &it->second;
}

std::optional<WString> SimMachine::String(HKEY root, WStringView path, WStringView name) const {
    const RegistryValue* value = Value(root, path, name);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
    WString text(value->data.size() / sizeof(WCHAR), 0);
    std::memcpy(text.data(), value->data.data(), text.size() * sizeof(WCHAR));
    while (!text.empty() && text.back() == 0) text.pop_back();
    return text;
}

void SimMachine::Fail(const std::string& function, DWORD code, int skip, int times) {
    failures_[function] = Failure{code, skip, times};
}

std::vector<std::string> SimMachine::CallsTo(const std::string& function) const {
    std::vector<std::string> args;
    for (const Call& call : calls_)
        if (call.function == function) args.push_back(call.args);
    return args;
}

int SimMachine::CountCalls(const std::string& function) const {
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                          [&](const Call& call) { return call.function == function; }));
}

int SimMachine::OpenHandles() const {
    return static_cast<int>(openKeys_.size() + policies_.size() + tokens_.size() + logonTokens_.size() +
                            sids_.size() + localBuffers_.size() + lsaBuffers_.size() + netBuffers_.size() + environmentBlocks_.size() +
                            processes_.size() + threads_.size() + eventSources_.size()) +
           OpenKernelObjects() + gdi.OpenObjects();
}

void SimMachine::Log(const std::string& function, std::string args) {
    calls_.push_back(Call{function, std::move(args)});
    if (!beforeCall || inBeforeCall_) return;
    inBeforeCall_ = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{inBeforeCall_};
    beforeCall(function);
}

std::optional<DWORD> SimMachine::Injected(const std::string& function) {
    auto it = failures_.find(function);
    if (it == failures_.end()) return std::nullopt;
    Failure& failure = it->second;
    if (failure.skip > 0) {
        --failure.skip;
        return std::nullopt;
    }
    if (failure.times == 0) return std::nullopt;
    if (failure.times > 0) --failure.times;
    return failure.code;
}

BOOL SimMachine::FailWithLastError(DWORD code) {
    lastError = code;
    return FALSE;
}

HANDLE SimMachine::NewHandle() { return reinterpret_cast<HANDLE>(nextHandle_ += 4); }

// ---------------------------------------------------------------- registry

RegistryKey* SimMachine::Resolve(HKEY key) {
    if (RegistryKey* root = Root(key)) return root;
    auto it = openKeys_.find(key);
    return it == openKeys_.end() ? nullptr : it->second.key;
}

LSTATUS SimMachine::OpenPath(HKEY key, LPCWSTR subKey, REGSAM desired, bool create, PHKEY result,
                             LPDWORD disposition) {
    RegistryKey* node = Resolve(key);
    if (!node) return ERROR_INVALID_HANDLE;
    const bool wantsWrite = (desired & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK)) != 0;
    bool created = false;
    for (const WString& part : SplitPath(subKey ? WStringView(subKey) : WStringView())) {
        auto it = node->subkeys.find(part);
        if (it == node->subkeys.end()) {
            if (!create) return ERROR_FILE_NOT_FOUND;
            if (node->readOnly) return ERROR_ACCESS_DENIED;
            it = node->subkeys.emplace(part, std::make_unique<RegistryKey>()).first;
            created = true;
        }
        node = it->second.get();
    }
    if (wantsWrite && node->readOnly) return ERROR_ACCESS_DENIED;
    HKEY handle = static_cast<HKEY>(NewHandle());
    openKeys_[handle] = OpenKey{node, desired};
    *result = handle;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS SimMachine::RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD options, REGSAM desired,
                                    const SECURITY_ATTRIBUTES*, PHKEY result, LPDWORD disposition) {
    Log("RegCreateKeyExW",
        RootName(key) + "\\" + Text(subKey) + ",access=" + Hex(desired) + ",options=" + Hex(options));
    if (auto code = Injected("RegCreateKeyExW")) return static_cast<LSTATUS>(*code);
    return OpenPath(key, subKey, desired, true, result, disposition);
}

LSTATUS SimMachine::RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM desired, PHKEY result) {
    Log("RegOpenKeyExW", RootName(key) + "\\" + Text(subKey) + ",access=" + Hex(desired));
    if (auto code = Injected("RegOpenKeyExW")) return static_cast<LSTATUS>(*code);
    return OpenPath(key, subKey, desired, false, result, nullptr);
}

LSTATUS SimMachine::RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                                     LPDWORD dataSize) {
    Log("RegQueryValueExW", Text(valueName));
    if (auto code = Injected("RegQueryValueExW")) return static_cast<LSTATUS>(*code);
    RegistryKey* node = Resolve(key);
    if (!node) return ERROR_INVALID_HANDLE;
    auto it = node->values.find(valueName ? WString(valueName) : WString());
    if (it == node->values.end()) return ERROR_FILE_NOT_FOUND;
    const RegistryValue& value = it->second;
    if (type) *type = value.type;
    const DWORD size = static_cast<DWORD>(value.data.size());
    if (!data) {
        if (dataSize) *dataSize = size;
        return ERROR_SUCCESS;
    }
    if (!dataSize) return ERROR_INVALID_PARAMETER;
    if (*dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    std::copy(value.data.begin(), value.data.end(), data);
    *dataSize = size;
    return ERROR_SUCCESS;
}

LSTATUS SimMachine::RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                                   DWORD dataSize) {
    Log("RegSetValueExW", Text(valueName) + ",type=" + std::to_string(type) + ",size=" + std::to_string(dataSize));
    if (auto code = Injected("RegSetValueExW")) return static_cast<LSTATUS>(*code);
    if (Root(key)) return ERROR_ACCESS_DENIED;
    auto it = openKeys_.find(key);
    if (it == openKeys_.end()) return ERROR_INVALID_HANDLE;
    if (!(it->second.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    it->second.key->values[valueName ? WString(valueName) : WString()] =
        RegistryValue{type, std::vector<BYTE>(data, data + dataSize)};
    return ERROR_SUCCESS;
}

LSTATUS SimMachine::RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    Log("RegDeleteValueW", Text(valueName));
    if (auto code = Injected("RegDeleteValueW")) return static_cast<LSTATUS>(*code);
    auto it = openKeys_.find(key);
    if (it == openKeys_.end()) return ERROR_INVALID_HANDLE;
    if (!(it->second.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    return it->second.key->values.erase(valueName ? WString(valueName) : WString()) ? ERROR_SUCCESS
                                                                                     : ERROR_FILE_NOT_FOUND;
}

LSTATUS SimMachine::RegCloseKey(HKEY key) {
    Log("RegCloseKey");
    if (auto code = Injected("RegCloseKey")) return static_cast<LSTATUS>(*code);
    if (Root(key)) return ERROR_SUCCESS;
    return openKeys_.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// ---------------------------------------------------------------- modules

SimMachine::Module* SimMachine::FindModule(const std::string& name) {
    std::string key = Lower(name);
    if (key.size() < 4 || key.compare(key.size() - 4, 4, ".dll") != 0) key += ".dll";
    auto it = modules_.find(key);
    return it == modules_.end() ? nullptr : &it->second;
}

void SimMachine::RemoveLibrary(const std::string& library) { modules_.erase(Lower(library)); }

void SimMachine::RemoveExport(const std::string& library, const std::string& function) {
    if (Module* module = FindModule(library)) module->exports.erase(function);
}

bool SimMachine::IsLoaded(const std::string& library) const {
    auto it = modules_.find(Lower(library));
    return it != modules_.end() && it->second.loaded;
}

HMODULE SimMachine::GetModuleHandleA(LPCSTR moduleName) {
    Log("GetModuleHandleA", moduleName ? moduleName : "(null)");
    if (auto code = Injected("GetModuleHandleA")) {
        lastError = *code;
        return nullptr;
    }
    if (!moduleName) return reinterpret_cast<HMODULE>(programImage.data());
    Module* module = FindModule(moduleName);
    if (!module || !module->loaded) {
        lastError = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(module);
}

HMODULE SimMachine::LoadLibraryExA(LPCSTR fileName, HANDLE, DWORD flags) {
    Log("LoadLibraryExA", std::string(fileName ? fileName : "(null)") + ",flags=" + Hex(flags));
    if (auto code = Injected("LoadLibraryExA")) {
        lastError = *code;
        return nullptr;
    }
    Module* kernel32 = FindModule("kernel32.dll");
    if ((flags & LOAD_LIBRARY_SEARCH_SYSTEM32) && !(kernel32 && kernel32->exports.count("SetDefaultDllDirectories"))) {
        lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    // By its full path a DLL is found in the system folder only: no other folder holds any.
    std::string name = fileName ? fileName : "";
    const std::size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos) {
        if (Lower(name.substr(0, slash)) != Lower(systemDirectory)) name.clear();
        else name.erase(0, slash + 1);
    }
    Module* module = name.empty() ? nullptr : FindModule(name);
    if (!module) {
        lastError = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    module->loaded = true;
    return reinterpret_cast<HMODULE>(module);
}

FARPROC SimMachine::GetProcAddress(HMODULE handle, LPCSTR procName) {
    Log("GetProcAddress", procName ? procName : "(null)");
    if (auto code = Injected("GetProcAddress")) {
        lastError = *code;
        return nullptr;
    }
    for (auto& [name, module] : modules_) {
        if (reinterpret_cast<HMODULE>(&module) != handle) continue;
        auto it = procName ? module.exports.find(procName) : module.exports.end();
        if (it != module.exports.end()) return it->second;
        break;
    }
    lastError = ERROR_PROC_NOT_FOUND;
    return nullptr;
}

UINT SimMachine::GetSystemDirectoryA(LPSTR buffer, UINT size) {
    Log("GetSystemDirectoryA");
    if (auto code = Injected("GetSystemDirectoryA")) {
        lastError = *code;
        return 0;
    }
    if (!buffer || size <= systemDirectory.size()) return static_cast<UINT>(systemDirectory.size() + 1);
    std::copy(systemDirectory.begin(), systemDirectory.end(), buffer);
    buffer[systemDirectory.size()] = 0;
    return static_cast<UINT>(systemDirectory.size());
}

int SimMachine::LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
    Log("LoadStringW", std::to_string(id) + ",size=" + std::to_string(size));
    if (auto code = Injected("LoadStringW")) {
        lastError = *code;
        return 0;
    }
    const auto found = strings.find(id);
    if (instance != reinterpret_cast<HINSTANCE>(programImage.data()) || found == strings.end() || !buffer ||
        size < 0) {
        lastError = ERROR_RESOURCE_NAME_NOT_FOUND;
        return 0;
    }
    const WString& text = found->second;
    if (size == 0) {
        *reinterpret_cast<LPCWSTR*>(buffer) = text.c_str();
        return static_cast<int>(text.size());
    }
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(size) - 1);
    std::copy_n(text.begin(), length, buffer);
    buffer[length] = 0;
    return static_cast<int>(length);
}

BOOL SimMachine::SetDefaultDllDirectories(DWORD flags) {
    Log("SetDefaultDllDirectories", Hex(flags));
    if (auto code = Injected("SetDefaultDllDirectories")) return FailWithLastError(*code);
    defaultDllDirectories = flags;
    return TRUE;
}

BOOL SimMachine::SetDllDirectoryW(LPCWSTR folder) {
    Log("SetDllDirectoryW", Text(folder));
    if (auto code = Injected("SetDllDirectoryW")) return FailWithLastError(*code);
    if (folder) dllDirectory = WString(folder);
    else dllDirectory.reset();
    return TRUE;
}

// ---------------------------------------------------------------- errors and system information

DWORD SimMachine::GetLastError() { return lastError; }

void SimMachine::SetLastError(DWORD code) { lastError = code; }

DWORD SimMachine::FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size, void*) {
    Log("FormatMessageW", std::to_string(messageId));
    if (auto code = Injected("FormatMessageW")) {
        lastError = *code;
        return 0;
    }
    auto it = errorTexts.find(messageId);
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || it == errorTexts.end()) {
        lastError = kMessageNotFound;
        return 0;
    }
    if (!buffer || size <= it->second.size()) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    std::copy(it->second.begin(), it->second.end(), buffer);
    buffer[it->second.size()] = 0;
    return static_cast<DWORD>(it->second.size());
}

BOOL SimMachine::GetVersionExW(LPOSVERSIONINFOW info) {
    Log("GetVersionExW");
    if (auto code = Injected("GetVersionExW")) return FailWithLastError(*code);
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW)) return FailWithLastError(ERROR_INSUFFICIENT_BUFFER);
    info->dwMajorVersion = majorVersion;
    info->dwMinorVersion = minorVersion;
    info->dwBuildNumber = buildNumber;
    info->dwPlatformId = platformId;
    info->szCSDVersion[0] = 0;
    return TRUE;
}

BOOL SimMachine::GetSystemPowerStatus(LPSYSTEM_POWER_STATUS status) {
    Log("GetSystemPowerStatus");
    if (auto code = Injected("GetSystemPowerStatus")) return FailWithLastError(*code);
    *status = powerStatus;
    return TRUE;
}

BOOL SimMachine::SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) {
    Log("SystemParametersInfoW", Hex(action) + "," + std::to_string(uiParam) + "," +
                                     (pvParam ? "ptr" : "null") + "," + std::to_string(winIni));
    if (auto code = Injected("SystemParametersInfoW")) return FailWithLastError(*code);
    switch (action) {
    case SPI_GETSCREENSAVESECURE:
        if (!pvParam) return FailWithLastError(ERROR_INVALID_PARAMETER);
        *static_cast<BOOL*>(pvParam) = screenSaverSecure;
        return TRUE;
    case SPI_SETSCREENSAVESECURE:
        // SystemParametersInfo: the screen saver's settings cannot change
        // while the session is locked or in power saving.
        if (sessionLocked) return FailWithLastError(ERROR_OPERATION_IN_PROGRESS);
        screenSaverSecure = uiParam ? TRUE : FALSE;
        return TRUE;
    case SPI_GETHIGHCONTRAST: {
        auto* contrast = static_cast<HIGHCONTRASTW*>(pvParam);
        if (!contrast || uiParam != sizeof(HIGHCONTRASTW)) return FailWithLastError(ERROR_INVALID_PARAMETER);
        contrast->dwFlags = HCF_AVAILABLE | (highContrast ? HCF_HIGHCONTRASTON : 0);
        contrast->lpszDefaultScheme = nullptr;
        return TRUE;
    }
    default:
        return FailWithLastError(ERROR_INVALID_SPI_VALUE);
    }
}

BOOL SimMachine::GetComputerNameW(LPWSTR buffer, LPDWORD size) {
    Log("GetComputerNameW");
    if (auto code = Injected("GetComputerNameW")) return FailWithLastError(*code);
    if (*size <= computerName.size()) {
        *size = static_cast<DWORD>(computerName.size() + 1);
        return FailWithLastError(ERROR_INSUFFICIENT_BUFFER);
    }
    std::copy(computerName.begin(), computerName.end(), buffer);
    buffer[computerName.size()] = 0;
    *size = static_cast<DWORD>(computerName.size());
    return TRUE;
}

UINT SimMachine::GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size) {
    Log("GetSystemWindowsDirectoryW");
    if (auto code = Injected("GetSystemWindowsDirectoryW")) {
        FailWithLastError(*code);
        return 0;
    }
    const UINT length = static_cast<UINT>(windowsDirectory.size());
    if (!buffer || size <= length) return length + 1;
    std::copy(windowsDirectory.begin(), windowsDirectory.end(), buffer);
    buffer[length] = 0;
    return length;
}

HRESULT SimMachine::IsKeyProtectorAvailable(LPCWSTR driveLetter, ULONG keyProtectorType, BOOL* available) {
    Log("IsKeyProtectorAvailable", Text(driveLetter) + "," + std::to_string(keyProtectorType));
    *available = FALSE;
    if (auto code = Injected("IsKeyProtectorAvailable")) return static_cast<HRESULT>(*code);
    if (!bitLockerProtectors) return static_cast<HRESULT>(0x8004100E);  // WBEM_E_INVALID_NAMESPACE
    const WString drive = windowsDirectory.substr(0, 2);
    if (!driveLetter || !EqualsIgnoringCase(drive, driveLetter)) return S_OK;
    const auto& types = *bitLockerProtectors;
    *available = std::find(types.begin(), types.end(), keyProtectorType) != types.end();
    return S_OK;
}

HANDLE SimMachine::LocalFree(HANDLE memory) {
    Log("LocalFree");
    if (auto code = Injected("LocalFree")) {
        lastError = *code;
        return memory;
    }
    if (!memory) return nullptr;
    if (FreeSecurityDescriptor(memory)) return nullptr;
    if (!localBuffers_.erase(memory)) {
        lastError = ERROR_INVALID_HANDLE;
        return memory;
    }
    delete static_cast<GUID*>(memory);
    return nullptr;
}

BOOL SimMachine::CloseHandle(HANDLE object) {
    Log("CloseHandle");
    if (auto code = Injected("CloseHandle")) return FailWithLastError(*code);
    if (tokens_.erase(object) || logonTokens_.erase(object) || processes_.erase(object) || threads_.erase(object) ||
        CloseKernelObject(object))
        return TRUE;
    return FailWithLastError(ERROR_INVALID_HANDLE);
}

BOOL SimMachine::LogonUserW(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonType, DWORD provider,
                            PHANDLE token) {
    Log("LogonUserW", Text(user) + "," + Text(domain) + ",type=" + std::to_string(logonType) +
                          ",provider=" + std::to_string(provider));
    if (auto code = Injected("LogonUserW")) return FailWithLastError(*code);
    for (const Account& account : accounts) {
        if (!EqualsIgnoringCase(account.user, user ? user : WSTR("")) ||
            !EqualsIgnoringCase(account.domain, domain ? domain : WSTR("")))
            continue;
        if (account.logonError) return FailWithLastError(account.logonError);
        if (account.password != (password ? password : WSTR(""))) break;
        *token = NewHandle();
        logonTokens_.insert(*token);
        return TRUE;
    }
    return FailWithLastError(ERROR_LOGON_FAILURE);
}

BOOL SimMachine::LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameSize, LPWSTR domain,
                                   LPDWORD domainSize, PSID_NAME_USE use) {
    Log("LookupAccountSidW", Text(systemName));
    if (auto code = Injected("LookupAccountSidW")) return FailWithLastError(*code);
    const auto found = std::find_if(sidAccounts.begin(), sidAccounts.end(), [&](const SidAccount& account) {
        const std::vector<BYTE> bytes = SidBytes(account.sid);
        return sid && bytes.size() == SidLength(sid) && std::memcmp(bytes.data(), sid, bytes.size()) == 0;
    });
    if (found == sidAccounts.end()) return FailWithLastError(ERROR_NONE_MAPPED);
    if (*nameSize <= found->user.size() || *domainSize <= found->domain.size()) {
        *nameSize = static_cast<DWORD>(found->user.size() + 1);
        *domainSize = static_cast<DWORD>(found->domain.size() + 1);
        return FailWithLastError(ERROR_INSUFFICIENT_BUFFER);
    }
    std::copy(found->user.begin(), found->user.end(), name);
    name[found->user.size()] = 0;
    std::copy(found->domain.begin(), found->domain.end(), domain);
    domain[found->domain.size()] = 0;
    *nameSize = static_cast<DWORD>(found->user.size());
    *domainSize = static_cast<DWORD>(found->domain.size());
    *use = found->use;
    return TRUE;
}

// ---------------------------------------------------------------- sessions and processes

DWORD SimMachine::WTSGetActiveConsoleSessionId() {
    Log("WTSGetActiveConsoleSessionId");
    return consoleSession;
}

BOOL SimMachine::WTSQueryUserToken(ULONG session, PHANDLE token) {
    Log("WTSQueryUserToken", std::to_string(session));
    if (auto code = Injected("WTSQueryUserToken")) return FailWithLastError(*code);
    if (!token) return FailWithLastError(ERROR_INVALID_PARAMETER);
    // WTSQueryUserToken: ERROR_PRIVILEGE_NOT_HELD without LocalSystem's
    // SE_TCB_NAME, ERROR_CTX_WINSTATION_NOT_FOUND for a session that does not
    // exist, ERROR_NO_TOKEN for one where nobody is signed in (session 0 too).
    if (processUser != LocalSystemSid()) return FailWithLastError(ERROR_PRIVILEGE_NOT_HELD);
    if (session != consoleSession && session != 0) return FailWithLastError(ERROR_CTX_WINSTATION_NOT_FOUND);
    if (session == 0 || !consoleUser) return FailWithLastError(ERROR_NO_TOKEN);
    *token = NewHandle();
    tokens_[*token] = Token{&sessionUserGroups_, consoleUser->sid};
    return TRUE;
}

BOOL SimMachine::CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                                      LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL inheritHandles,
                                      DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                                      LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation) {
    Log("CreateProcessAsUserW",
        Text(applicationName) + "|" + Text(commandLine) + "|desktop=" +
            Text(startupInfo ? startupInfo->lpDesktop : nullptr) + "|inherit=" + std::to_string(inheritHandles) +
            "|flags=" + Hex(creationFlags) + "|environment=" +
            (!environment ? "null" : environmentBlocks_.count(environment) ? "user" : "other") +
            "|directory=" + Text(currentDirectory));
    if (auto code = Injected("CreateProcessAsUserW")) return FailWithLastError(*code);
    const auto owner = tokens_.find(token);
    if (owner == tokens_.end() || !commandLine || !startupInfo || startupInfo->cb != sizeof(STARTUPINFOW))
        return FailWithLastError(ERROR_INVALID_PARAMETER);
    if (!consoleUser || owner->second.user != consoleUser->sid) return FailWithLastError(ERROR_ACCESS_DENIED);
    if (!userProgram || !applicationName || !EqualsIgnoringCase(WString(applicationName), programPath))
        return FailWithLastError(ERROR_FILE_NOT_FOUND);
    if (!userMayRunProgram) return FailWithLastError(ERROR_ACCESS_DENIED);
    // CreateProcessAsUserW: a Unicode environment block (CreateEnvironmentBlock
    // makes one) needs CREATE_UNICODE_ENVIRONMENT; read as ANSI it is garbage.
    if (environment && environmentBlocks_.count(environment) && !(creationFlags & CREATE_UNICODE_ENVIRONMENT))
        return FailWithLastError(ERROR_INVALID_PARAMETER);
    DWORD exitCode = STILL_ACTIVE;
    if (!userProgramHangs) {
        // The child runs at once, as the console user in their session.
        const SidValue ownUser = processUser;
        const BOOL ownScreenSaver = screenSaverSecure;
        const bool ownLock = sessionLocked;
        processUser = consoleUser->sid;
        screenSaverSecure = consoleUser->screenSaverSecure;
        sessionLocked = consoleUser->locked;
        exitCode = userProgram(commandLine);
        consoleUser->screenSaverSecure = screenSaverSecure;
        processUser = ownUser;
        screenSaverSecure = ownScreenSaver;
        sessionLocked = ownLock;
    }
    processInformation->hProcess = NewHandle();
    processInformation->hThread = NewHandle();
    processInformation->dwProcessId = 4000 + static_cast<DWORD>(processes_.size());
    processInformation->dwThreadId = 5000;
    processes_[processInformation->hProcess] = exitCode;
    threads_.insert(processInformation->hThread);
    return TRUE;
}

BOOL SimMachine::CreateEnvironmentBlock(LPVOID* environment, HANDLE token, BOOL inherit) {
    Log("CreateEnvironmentBlock", std::string(token ? "token" : "null") + ",inherit=" + std::to_string(inherit));
    if (auto code = Injected("CreateEnvironmentBlock")) return FailWithLastError(*code);
    if (!environment) return FailWithLastError(ERROR_INVALID_PARAMETER);
    const auto owner = tokens_.find(token);
    if (token && owner == tokens_.end()) return FailWithLastError(ERROR_INVALID_HANDLE);
    WString user = WSTR("SYSTEM");
    for (const SidAccount& account : sidAccounts)
        if (token && account.sid == owner->second.user) user = account.user;
    const WString block = WSTR("USERNAME=") + user + WString(1, 0) + WSTR("USERPROFILE=C:\\Users\\") + user +
                          WString(2, 0);
    WCHAR* copy = new WCHAR[block.size()];
    std::copy(block.begin(), block.end(), copy);
    environmentBlocks_.insert(copy);
    *environment = copy;
    return TRUE;
}

BOOL SimMachine::DestroyEnvironmentBlock(LPVOID environment) {
    Log("DestroyEnvironmentBlock");
    if (!environmentBlocks_.erase(environment)) return FailWithLastError(ERROR_INVALID_PARAMETER);
    delete[] static_cast<WCHAR*>(environment);
    return TRUE;
}

DWORD SimMachine::WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    Log("WaitForSingleObject", std::to_string(milliseconds));
    if (auto code = Injected("WaitForSingleObject")) {
        lastError = *code;
        return WAIT_FAILED;
    }
    if (std::optional<DWORD> waited = WaitForMutex(object, milliseconds)) return *waited;
    const auto process = processes_.find(object);
    if (process == processes_.end()) {
        lastError = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    return process->second == STILL_ACTIVE ? WAIT_TIMEOUT : WAIT_OBJECT_0;
}

BOOL SimMachine::GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    Log("GetExitCodeProcess");
    if (auto code = Injected("GetExitCodeProcess")) return FailWithLastError(*code);
    const auto found = processes_.find(process);
    if (found == processes_.end()) return FailWithLastError(ERROR_INVALID_HANDLE);
    *exitCode = found->second;
    return TRUE;
}

BOOL SimMachine::TerminateProcess(HANDLE process, UINT exitCode) {
    Log("TerminateProcess", std::to_string(exitCode));
    if (auto code = Injected("TerminateProcess")) return FailWithLastError(*code);
    const auto found = processes_.find(process);
    if (found == processes_.end()) return FailWithLastError(ERROR_INVALID_HANDLE);
    if (found->second == STILL_ACTIVE) found->second = exitCode;
    return TRUE;
}

DWORD SimMachine::GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    Log("GetModuleFileNameW");
    if (auto code = Injected("GetModuleFileNameW")) {
        lastError = *code;
        return 0;
    }
    if (module || !fileName || size == 0) {
        lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    const DWORD length = static_cast<DWORD>(std::min<std::size_t>(programPath.size(), size - 1));
    std::copy_n(programPath.begin(), length, fileName);
    fileName[length] = 0;
    if (length < programPath.size()) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return size;
    }
    return length;
}

// ---------------------------------------------------------------- tokens and SIDs

DWORD SimMachine::GetVersion() {
    Log("GetVersion");
    DWORD version = (majorVersion & 0xFF) | ((minorVersion & 0xFF) << 8) | ((buildNumber & 0x7FFF) << 16);
    if (platformId != VER_PLATFORM_WIN32_NT) version |= 0x80000000u;
    return version;
}

HANDLE SimMachine::GetCurrentProcess() { return kCurrentProcess; }
HANDLE SimMachine::GetCurrentThread() { return kCurrentThread; }

BOOL SimMachine::OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    Log("OpenProcessToken", Hex(access));
    if (auto code = Injected("OpenProcessToken")) return FailWithLastError(*code);
    if (process != kCurrentProcess) return FailWithLastError(ERROR_INVALID_HANDLE);
    *token = NewHandle();
    tokens_[*token] = Token{&processGroups, processUser};
    return TRUE;
}

BOOL SimMachine::OpenThreadToken(HANDLE thread, DWORD access, BOOL openAsSelf, PHANDLE token) {
    Log("OpenThreadToken", Hex(access) + ",self=" + std::to_string(openAsSelf));
    if (auto code = Injected("OpenThreadToken")) return FailWithLastError(*code);
    if (thread != kCurrentThread) return FailWithLastError(ERROR_INVALID_HANDLE);
    if (!threadGroups) return FailWithLastError(ERROR_NO_TOKEN);
    *token = NewHandle();
    tokens_[*token] = Token{&*threadGroups, processUser};
    return TRUE;
}

BOOL SimMachine::GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info, DWORD length,
                                     PDWORD returnLength) {
    Log("GetTokenInformation", std::to_string(infoClass) + ",length=" + std::to_string(length));
    if (auto code = Injected("GetTokenInformation")) return FailWithLastError(*code);
    auto it = tokens_.find(token);
    if (it == tokens_.end()) return FailWithLastError(ERROR_INVALID_HANDLE);
    if (infoClass == TokenUser) {
        const std::vector<BYTE> sid = SidBytes(it->second.user);
        *returnLength = static_cast<DWORD>(sizeof(TOKEN_USER) + sid.size());
        if (!info || length < *returnLength) return FailWithLastError(ERROR_INSUFFICIENT_BUFFER);
        auto* result = static_cast<TOKEN_USER*>(info);
        BYTE* sidArea = static_cast<BYTE*>(info) + sizeof(TOKEN_USER);
        std::memcpy(sidArea, sid.data(), sid.size());
        result->User.Sid = sidArea;
        result->User.Attributes = 0;
        return TRUE;
    }
    if (infoClass != TokenGroups) return FailWithLastError(ERROR_INVALID_PARAMETER);
    const std::vector<TokenGroup>& groups = *it->second.groups;
    const std::size_t header = offsetof(TOKEN_GROUPS, Groups) + groups.size() * sizeof(SID_AND_ATTRIBUTES);
    std::size_t needed = header;
    for (const TokenGroup& group : groups) needed += SidBytes(group.sid).size();
    *returnLength = static_cast<DWORD>(needed);
    if (!info || length < needed) return FailWithLastError(ERROR_INSUFFICIENT_BUFFER);
    auto* result = static_cast<TOKEN_GROUPS*>(info);
    result->GroupCount = static_cast<DWORD>(groups.size());
    BYTE* sidArea = static_cast<BYTE*>(info) + header;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        std::vector<BYTE> sid = SidBytes(groups[i].sid);
        std::memcpy(sidArea, sid.data(), sid.size());
        result->Groups[i].Sid = sidArea;
        result->Groups[i].Attributes = groups[i].attributes;
        sidArea += sid.size();
    }
    return TRUE;
}

BOOL SimMachine::EqualSid(PSID a, PSID b) {
    Log("EqualSid");
    if (auto code = Injected("EqualSid")) return FailWithLastError(*code);
    if (!a || !b) return FALSE;
    return SidLength(a) == SidLength(b) && std::memcmp(a, b, SidLength(a)) == 0;
}

BOOL SimMachine::AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0, DWORD s1,
                                          DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID* sid) {
    Log("AllocateAndInitializeSid", std::to_string(count) + "," + std::to_string(s0) + "," + std::to_string(s1));
    if (auto code = Injected("AllocateAndInitializeSid")) return FailWithLastError(*code);
    if (count > 8) return FailWithLastError(ERROR_INVALID_PARAMETER);
    const DWORD all[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
    SidValue value;
    std::memcpy(value.authority, authority->Value, 6);
    value.subAuthorities.assign(all, all + count);
    std::vector<BYTE> bytes = SidBytes(value);
    BYTE* memory = new BYTE[bytes.size()];
    std::memcpy(memory, bytes.data(), bytes.size());
    sids_.insert(memory);
    *sid = memory;
    return TRUE;
}

PVOID SimMachine::FreeSid(PSID sid) {
    Log("FreeSid");
    if (Injected("FreeSid") || !sids_.erase(sid)) return sid;
    delete[] static_cast<BYTE*>(sid);
    return nullptr;
}

const std::vector<TokenGroup>& SimMachine::EffectiveGroups() const {
    return threadGroups ? *threadGroups : processGroups;
}

BOOL SimMachine::CheckTokenMembership(HANDLE token, PSID sid, PBOOL isMember) {
    Log("CheckTokenMembership");
    if (auto code = Injected("CheckTokenMembership")) return FailWithLastError(*code);
    if (token) return FailWithLastError(ERROR_INVALID_HANDLE);
    *isMember = FALSE;
    for (const TokenGroup& group : EffectiveGroups()) {
        std::vector<BYTE> bytes = SidBytes(group.sid);
        if (bytes.size() == SidLength(sid) && std::memcmp(bytes.data(), sid, bytes.size()) == 0 &&
            (group.attributes & SE_GROUP_ENABLED) && !(group.attributes & SE_GROUP_USE_FOR_DENY_ONLY))
            *isMember = TRUE;
    }
    return TRUE;
}

// ---------------------------------------------------------------- local security authority

NTSTATUS SimMachine::LsaOpenPolicy(PLSA_UNICODE_STRING system, PLSA_OBJECT_ATTRIBUTES attributes, ACCESS_MASK access,
                                   PLSA_HANDLE policy) {
    bool zeroed = true;
    for (std::size_t i = 0; attributes && i < sizeof *attributes; ++i)
        zeroed = zeroed && reinterpret_cast<const BYTE*>(attributes)[i] == 0;
    Log("LsaOpenPolicy", std::string(system ? "remote" : "local") + ",attributes=" + (zeroed ? "zero" : "set") +
                             ",access=" + Hex(access));
    if (auto code = Injected("LsaOpenPolicy")) return static_cast<NTSTATUS>(*code);
    *policy = NewHandle();
    policies_[*policy] = access;
    return STATUS_SUCCESS;
}

NTSTATUS SimMachine::LsaStorePrivateData(LSA_HANDLE policy, PLSA_UNICODE_STRING key, PLSA_UNICODE_STRING data) {
    const WString name(key->Buffer, key->Length / sizeof(WCHAR));
    Log("LsaStorePrivateData", ToUtf8(name) + ",keyLength=" + std::to_string(key->Length) +
                                   ",keyMax=" + std::to_string(key->MaximumLength) +
                                   (data ? ",dataLength=" + std::to_string(data->Length) +
                                               ",dataMax=" + std::to_string(data->MaximumLength)
                                         : std::string(",data=null")));
    if (auto code = Injected("LsaStorePrivateData")) return static_cast<NTSTATUS>(*code);
    const auto opened = policies_.find(policy);
    if (opened == policies_.end()) return static_cast<NTSTATUS>(0xC0000008);  // STATUS_INVALID_HANDLE
    if (!data) return lsaSecrets.erase(name) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
    // LsaStorePrivateData: storing under a new key name needs POLICY_CREATE_SECRET.
    if (!lsaSecrets.count(name) && !(opened->second & POLICY_CREATE_SECRET)) return STATUS_ACCESS_DENIED;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(data->Buffer);
    lsaSecrets[name] = std::vector<BYTE>(bytes, bytes + data->Length);
    return STATUS_SUCCESS;
}

NTSTATUS SimMachine::LsaRetrievePrivateData(LSA_HANDLE policy, PLSA_UNICODE_STRING key, PLSA_UNICODE_STRING* data) {
    const WString name(key->Buffer, key->Length / sizeof(WCHAR));
    Log("LsaRetrievePrivateData", ToUtf8(name));
    *data = nullptr;
    if (auto code = Injected("LsaRetrievePrivateData")) return static_cast<NTSTATUS>(*code);
    const auto opened = policies_.find(policy);
    if (opened == policies_.end()) return static_cast<NTSTATUS>(0xC0000008);
    // LsaRetrievePrivateData: the handle must carry POLICY_GET_PRIVATE_INFORMATION.
    if (!(opened->second & POLICY_GET_PRIVATE_INFORMATION)) return STATUS_ACCESS_DENIED;
    auto it = lsaSecrets.find(name);
    if (it == lsaSecrets.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
    const std::vector<BYTE>& secret = it->second;
    // One block, as the LSA hands it out: the string header, then the data.
    BYTE* block = new BYTE[sizeof(LSA_UNICODE_STRING) + secret.size() + sizeof(WCHAR)]();
    auto* result = reinterpret_cast<LSA_UNICODE_STRING*>(block);
    result->Length = static_cast<USHORT>(secret.size());
    result->MaximumLength = static_cast<USHORT>(secret.size() + sizeof(WCHAR));
    result->Buffer = reinterpret_cast<PWSTR>(block + sizeof(LSA_UNICODE_STRING));
    std::memcpy(result->Buffer, secret.data(), secret.size());
    lsaBuffers_.insert(block);
    *data = result;
    return STATUS_SUCCESS;
}

NTSTATUS SimMachine::LsaFreeMemory(PVOID buffer) {
    Log("LsaFreeMemory");
    if (auto code = Injected("LsaFreeMemory")) return static_cast<NTSTATUS>(*code);
    if (!lsaBuffers_.erase(buffer)) return static_cast<NTSTATUS>(0xC0000008);
    BYTE* block = static_cast<BYTE*>(buffer);
    auto* string = reinterpret_cast<LSA_UNICODE_STRING*>(block);
    const BYTE* data = block + sizeof(LSA_UNICODE_STRING);
    if (std::any_of(data, data + string->Length, [](BYTE b) { return b != 0; })) lsaBuffersWipedBeforeFree = false;
    SecureWipe(block, sizeof(LSA_UNICODE_STRING) + string->MaximumLength);
    delete[] block;
    return STATUS_SUCCESS;
}

NTSTATUS SimMachine::LsaClose(LSA_HANDLE policy) {
    Log("LsaClose");
    if (auto code = Injected("LsaClose")) return static_cast<NTSTATUS>(*code);
    return policies_.erase(policy) ? STATUS_SUCCESS : static_cast<NTSTATUS>(0xC0000008);
}

ULONG SimMachine::LsaNtStatusToWinError(NTSTATUS status) {
    Log("LsaNtStatusToWinError", Hex(static_cast<ULONG>(status)));
    switch (static_cast<ULONG>(status)) {
    case 0: return ERROR_SUCCESS;
    case 0xC0000034: return ERROR_FILE_NOT_FOUND;
    case 0xC0000022: return ERROR_ACCESS_DENIED;
    case 0xC0000008: return ERROR_INVALID_HANDLE;
    case 0xC0000002: return ERROR_INVALID_FUNCTION;  // STATUS_NOT_IMPLEMENTED
    default: return kMessageNotFound;
    }
}

BOOLEAN SimMachine::GetUserNameExW(EXTENDED_NAME_FORMAT format, LPWSTR buffer, PULONG size) {
    Log("GetUserNameExW", std::to_string(format) + ",size=" + std::to_string(*size));
    if (auto code = Injected("GetUserNameExW")) return static_cast<BOOLEAN>(FailWithLastError(*code));
    if (format != NameSamCompatible) return static_cast<BOOLEAN>(FailWithLastError(ERROR_NONE_MAPPED));
    if (*size <= samAccountName.size()) {
        *size = static_cast<ULONG>(samAccountName.size() + 1);
        return static_cast<BOOLEAN>(FailWithLastError(ERROR_MORE_DATA));
    }
    std::copy(samAccountName.begin(), samAccountName.end(), buffer);
    buffer[samAccountName.size()] = 0;
    *size = static_cast<ULONG>(samAccountName.size());
    return TRUE;
}

// ---------------------------------------------------------------- power

BOOLEAN SimMachine::ReadGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy) {
    Log("ReadGlobalPwrPolicy");
    if (auto code = Injected("ReadGlobalPwrPolicy")) return static_cast<BOOLEAN>(FailWithLastError(*code));
    *policy = globalPowerPolicy;
    return TRUE;
}

BOOLEAN SimMachine::WriteGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy) {
    Log("WriteGlobalPwrPolicy");
    if (auto code = Injected("WriteGlobalPwrPolicy")) return static_cast<BOOLEAN>(FailWithLastError(*code));
    globalPowerPolicy = *policy;
    return TRUE;
}

BOOLEAN SimMachine::GetActivePwrScheme(PUINT index) {
    Log("GetActivePwrScheme");
    if (auto code = Injected("GetActivePwrScheme")) return static_cast<BOOLEAN>(FailWithLastError(*code));
    *index = activePwrSchemeIndex;
    return TRUE;
}

BOOLEAN SimMachine::SetActivePwrScheme(UINT index, PGLOBAL_POWER_POLICY global, PPOWER_POLICY policy) {
    Log("SetActivePwrScheme", std::to_string(index) + "," + (global ? "global" : "null") + "," +
                                  (policy ? "policy" : "null"));
    if (auto code = Injected("SetActivePwrScheme")) return static_cast<BOOLEAN>(FailWithLastError(*code));
    activePwrSchemeIndex = index;
    return TRUE;
}

PowerScheme* SimMachine::FindScheme(const GUID* guid) {
    if (!guid) return nullptr;
    for (PowerScheme& scheme : powerSchemes)
        if (SameGuid(scheme.guid, *guid)) return &scheme;
    return nullptr;
}

DWORD SimMachine::PowerGetActiveScheme(HKEY root, GUID** scheme) {
    Log("PowerGetActiveScheme", root ? "root" : "null");
    if (auto code = Injected("PowerGetActiveScheme")) return *code;
    if (activeScheme >= powerSchemes.size()) return ERROR_FILE_NOT_FOUND;
    GUID* buffer = new GUID(powerSchemes[activeScheme].guid);
    localBuffers_.insert(buffer);
    *scheme = buffer;
    return ERROR_SUCCESS;
}

DWORD SimMachine::PowerSetActiveScheme(HKEY root, const GUID* scheme) {
    Log("PowerSetActiveScheme", std::string(root ? "root," : "null,") + GuidText(scheme));
    if (auto code = Injected("PowerSetActiveScheme")) return *code;
    PowerScheme* found = FindScheme(scheme);
    if (!found) return ERROR_FILE_NOT_FOUND;
    activeScheme = static_cast<std::size_t>(found - powerSchemes.data());
    return ERROR_SUCCESS;
}

DWORD SimMachine::PowerDuplicateScheme(HKEY root, const GUID* source, GUID** copy) {
    Log("PowerDuplicateScheme", std::string(root ? "root," : "null,") + GuidText(source));
    if (auto code = Injected("PowerDuplicateScheme")) return *code;
    const PowerScheme* original = FindScheme(source);
    if (!original || !copy || *copy) return ERROR_INVALID_PARAMETER;
    PowerScheme duplicate = *original;
    duplicate.guid = MakeGuid(nextSchemeNumber_++);
    powerSchemes.push_back(duplicate);
    GUID* buffer = new GUID(duplicate.guid);
    localBuffers_.insert(buffer);
    *copy = buffer;
    return ERROR_SUCCESS;
}

DWORD SimMachine::PowerDeleteScheme(HKEY root, const GUID* scheme) {
    Log("PowerDeleteScheme", std::string(root ? "root," : "null,") + GuidText(scheme));
    if (auto code = Injected("PowerDeleteScheme")) return *code;
    const PowerScheme* found = FindScheme(scheme);
    if (!found) return ERROR_FILE_NOT_FOUND;
    const std::size_t index = static_cast<std::size_t>(found - powerSchemes.data());
    if (index == activeScheme) return ERROR_ACCESS_DENIED;
    const std::vector<WString> schemePath = SplitPath(PowerValueKeyPath(found->guid, kNoSubgroup, kLockConsoleOnWake));
    WString parent;
    for (std::size_t i = 0; i + 3 < schemePath.size(); ++i) parent += schemePath[i] + WSTR("\\");
    if (HasKey(HKEY_LOCAL_MACHINE, parent)) Key(HKEY_LOCAL_MACHINE, parent).subkeys.erase(schemePath[schemePath.size() - 3]);
    powerSchemes.erase(powerSchemes.begin() + static_cast<std::ptrdiff_t>(index));
    if (index < activeScheme) --activeScheme;
    return ERROR_SUCCESS;
}

// PowerReadFriendlyName: a scheme's name with no subgroup or setting, as a
// terminated wide string; a null buffer asks for its size (ERROR_SUCCESS),
// a buffer too small gets ERROR_MORE_DATA and the size.
DWORD SimMachine::PowerReadFriendlyName(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                        PUCHAR buffer, LPDWORD bufferSize) {
    Log("PowerReadFriendlyName", std::string(root ? "root," : "null,") + GuidText(scheme));
    if (auto code = Injected("PowerReadFriendlyName")) return *code;
    if (subgroup || setting || !bufferSize) return ERROR_INVALID_PARAMETER;  // only what this machine models
    const PowerScheme* found = FindScheme(scheme);
    if (!found) return ERROR_FILE_NOT_FOUND;
    const DWORD size = static_cast<DWORD>((found->name.size() + 1) * sizeof(WCHAR));
    const DWORD room = *bufferSize;
    *bufferSize = size;
    if (!buffer) return ERROR_SUCCESS;
    if (room < size) return ERROR_MORE_DATA;
    std::memcpy(buffer, found->name.c_str(), size);
    return ERROR_SUCCESS;
}

DWORD SimMachine::PowerEnumerate(HKEY root, const GUID* scheme, const GUID* subgroup, POWER_DATA_ACCESSOR flags,
                                 ULONG index, UCHAR* buffer, DWORD* size) {
    Log("PowerEnumerate", std::string(root ? "root," : "null,") + (scheme ? "scheme," : "null,") +
                              (subgroup ? "subgroup," : "null,") + "flags=" + std::to_string(flags) +
                              ",index=" + std::to_string(index) + ",size=" + std::to_string(size ? *size : 0));
    if (auto code = Injected("PowerEnumerate")) return *code;
    if (flags != ACCESS_SCHEME || scheme || subgroup) return ERROR_INVALID_PARAMETER;
    if (index >= powerSchemes.size()) return ERROR_NO_MORE_ITEMS;
    if (!size || !buffer || *size < sizeof(GUID)) {
        if (size) *size = sizeof(GUID);
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, &powerSchemes[index].guid, sizeof(GUID));
    *size = sizeof(GUID);
    return ERROR_SUCCESS;
}

// Power{Read,Write}{AC,DC}ValueIndex: a setting outside any subgroup, as the
// lock on wake is, is addressed with NO_SUBGROUP_GUID. Refusing the null
// subgroup, whose meaning no page documents, is our model of that rule.
DWORD SimMachine::CheckPowerSetting(const GUID* scheme, const GUID* subgroup, const GUID* setting) {
    if (!subgroup) return ERROR_INVALID_PARAMETER;
    if (!FindScheme(scheme) || !SameGuid(*subgroup, kNoSubgroup) || !setting ||
        !SameGuid(*setting, kLockConsoleOnWake))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

DWORD SimMachine::ReadIndex(const char* function, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                            bool ac, LPDWORD value) {
    Log(function, GuidText(scheme) + "," + GuidText(subgroup) + "," + GuidText(setting));
    if (auto code = Injected(function)) return *code;
    if (const DWORD refused = CheckPowerSetting(scheme, subgroup, setting)) return refused;
    const PowerScheme* found = FindScheme(scheme);
    *value = ac ? found->lockOnWakeAc : found->lockOnWakeDc;
    return ERROR_SUCCESS;
}

DWORD SimMachine::WriteIndex(const char* function, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                             bool ac, DWORD value) {
    Log(function, GuidText(scheme) + "," + GuidText(subgroup) + "," + GuidText(setting) + "," +
                      std::to_string(value));
    if (auto code = Injected(function)) return *code;
    if (const DWORD refused = CheckPowerSetting(scheme, subgroup, setting)) return refused;
    PowerScheme* found = FindScheme(scheme);
    (ac ? found->lockOnWakeAc : found->lockOnWakeDc) = value;
    if (powerValuesReachRegistry) {
        const WString path = PowerValueKeyPath(found->guid, kNoSubgroup, kLockConsoleOnWake);
        SetDword(HKEY_LOCAL_MACHINE, path, ac ? WSTR("ACSettingIndex") : WSTR("DCSettingIndex"), value);
    }
    return ERROR_SUCCESS;
}

DWORD SimMachine::PowerReadACValueIndex(HKEY, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                        LPDWORD value) {
    return ReadIndex("PowerReadACValueIndex", scheme, subgroup, setting, true, value);
}

DWORD SimMachine::PowerReadDCValueIndex(HKEY, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                        LPDWORD value) {
    return ReadIndex("PowerReadDCValueIndex", scheme, subgroup, setting, false, value);
}

DWORD SimMachine::PowerWriteACValueIndex(HKEY, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                         DWORD value) {
    return WriteIndex("PowerWriteACValueIndex", scheme, subgroup, setting, true, value);
}

DWORD SimMachine::PowerWriteDCValueIndex(HKEY, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                         DWORD value) {
    return WriteIndex("PowerWriteDCValueIndex", scheme, subgroup, setting, false, value);
}

NTSTATUS SimMachine::CallNtPowerInformation(POWER_INFORMATION_LEVEL level, PVOID input, ULONG inputLength,
                                            PVOID output, ULONG outputLength) {
    Log("CallNtPowerInformation", std::to_string(level) + ",length=" + std::to_string(outputLength));
    if (auto code = Injected("CallNtPowerInformation")) return static_cast<NTSTATUS>(*code);
    if (level != SystemPowerCapabilities || input || inputLength || !output) return static_cast<NTSTATUS>(0xC000000D);
    if (outputLength < sizeof(SYSTEM_POWER_CAPABILITIES)) return STATUS_BUFFER_TOO_SMALL;
    SYSTEM_POWER_CAPABILITIES capabilities{};
    capabilities.PowerButtonPresent = TRUE;
    capabilities.SystemS4 = TRUE;
    capabilities.SystemS5 = TRUE;
    capabilities.SystemS3 = modernStandby ? FALSE : TRUE;
    reinterpret_cast<BYTE*>(&capabilities)[kAoAcOffset] = modernStandby ? TRUE : FALSE;
    std::memcpy(output, &capabilities, sizeof capabilities);
    return STATUS_SUCCESS;
}

// ---------------------------------------------------------------- event log

HANDLE SimMachine::RegisterEventSourceW(LPCWSTR serverName, LPCWSTR sourceName) {
    Log("RegisterEventSourceW", Text(serverName) + "," + Text(sourceName));
    if (auto code = Injected("RegisterEventSourceW")) {
        lastError = *code;
        return nullptr;
    }
    if (!sourceName || !*sourceName) {
        lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    HANDLE handle = NewHandle();
    eventSources_[handle] = sourceName;
    return handle;
}

BOOL SimMachine::ReportEventW(HANDLE handle, WORD type, WORD category, DWORD eventId, PSID, WORD stringCount,
                              DWORD, LPCWSTR* strings, LPVOID) {
    Log("ReportEventW", std::to_string(type) + "," + std::to_string(category) + "," + std::to_string(eventId) + "," +
                            std::to_string(stringCount));
    if (auto code = Injected("ReportEventW")) return FailWithLastError(*code);
    auto source = eventSources_.find(handle);
    if (source == eventSources_.end()) return FailWithLastError(ERROR_INVALID_HANDLE);
    LoggedEvent event{source->second, type, category, eventId, {}};
    for (WORD i = 0; i < stringCount; ++i) event.strings.emplace_back(strings[i]);
    eventLog.push_back(std::move(event));
    return TRUE;
}

BOOL SimMachine::DeregisterEventSource(HANDLE handle) {
    Log("DeregisterEventSource");
    if (auto code = Injected("DeregisterEventSource")) return FailWithLastError(*code);
    return eventSources_.erase(handle) ? TRUE : FailWithLastError(ERROR_INVALID_HANDLE);
}

// ---------------------------------------------------------------- network management

NET_API_STATUS SimMachine::NetGetJoinInformation(LPCWSTR server, LPWSTR* name, PNETSETUP_JOIN_STATUS status) {
    Log("NetGetJoinInformation", Text(server));
    if (auto code = Injected("NetGetJoinInformation")) return *code;
    const WString joined = joinStatus == NetSetupDomainName ? WString(WSTR("OFFICE")) : WString(WSTR("WORKGROUP"));
    BYTE* memory = new BYTE[(joined.size() + 1) * sizeof(WCHAR)]();
    auto* buffer = reinterpret_cast<WCHAR*>(memory);
    std::copy(joined.begin(), joined.end(), buffer);
    netBuffers_.insert(memory);
    *name = buffer;
    *status = joinStatus;
    return NERR_Success;
}

NET_API_STATUS SimMachine::NetApiBufferFree(LPVOID buffer) {
    Log("NetApiBufferFree");
    if (!netBuffers_.erase(buffer)) return ERROR_INVALID_PARAMETER;
    delete[] static_cast<BYTE*>(buffer);
    return NERR_Success;
}

NET_API_STATUS SimMachine::NetUserGetInfo(LPCWSTR server, LPCWSTR user, DWORD level, LPBYTE* buffer) {
    Log("NetUserGetInfo", Text(server) + "," + Text(user) + "," + std::to_string(level));
    if (auto code = Injected("NetUserGetInfo")) return *code;
    if (!user || !buffer) return ERROR_INVALID_PARAMETER;
    if (level != 24) return 124;  // ERROR_INVALID_LEVEL
    const auto found = std::find_if(accounts.begin(), accounts.end(), [&](const Account& account) {
        return EqualsIgnoringCase(account.user, user) && EqualsIgnoringCase(account.domain, computerName);
    });
    if (found == accounts.end()) return NERR_UserNotFound;
    // One block, as the network management functions hand it out: the
    // structure, then its strings.
    const WString provider = found->microsoftAccount.empty() ? WString() : WString(WSTR("MicrosoftAccount"));
    const std::size_t strings = (provider.size() + 1 + found->microsoftAccount.size() + 1) * sizeof(WCHAR);
    BYTE* memory = new BYTE[sizeof(USER_INFO_24) + strings]();
    auto* info = reinterpret_cast<USER_INFO_24*>(memory);
    auto* text = reinterpret_cast<WCHAR*>(memory + sizeof(USER_INFO_24));
    info->usri24_internet_identity = found->microsoftAccount.empty() ? FALSE : TRUE;
    info->usri24_internet_provider_name = text;
    text = std::copy(provider.begin(), provider.end(), text) + 1;
    info->usri24_internet_principal_name = text;
    std::copy(found->microsoftAccount.begin(), found->microsoftAccount.end(), text);
    netBuffers_.insert(memory);
    *buffer = memory;
    return NERR_Success;
}

// ---------------------------------------------------------------- sound

BOOL SimMachine::PlaySoundA(LPCSTR sound, HMODULE, DWORD flags) {
    Log("PlaySoundA", std::string(sound ? sound : "(null)") + ",flags=" + Hex(flags));
    return TRUE;
}

}  // namespace os::sim
