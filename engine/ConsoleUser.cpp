#include "engine/ConsoleUser.h"

#include "engine/LateBinding.h"
#include "engine/OsError.h"
#include "engine/Registry.h"
#include "engine/SecurityHandles.h"
#include "engine/Utilities.h"
#include "os/Text.h"
#include "os/WinApi.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace engine {
namespace {

constexpr DWORD kNoConsoleSession = 0xFFFFFFFF;
// The answer of the part run in the user's session: bit 29 marks an
// application's own code, which no system error code has; bit 0 is the setting.
constexpr DWORD kAnswer = 0x20000000;
constexpr DWORD kAnswerMilliseconds = 30000;

// The mutex by which a run as SYSTEM vouches for the part it starts in the
// user's session: this prefix and a fresh GUID. Only SYSTEM has full access
// and owns it; the user may wait for it and read its security.
const char kVoucherPrefix[] = "Global\\Gatewise.SessionPart.";
const char kVoucherSecurity[] = "O:SYD:P(A;;GA;;;SY)(A;;0x120000;;;";  // SYNCHRONIZE | READ_CONTROL, then the user

PerUserTarget& Target() {
    static PerUserTarget target;
    return target;
}

[[noreturn]] void RaiseWithCode(const std::string& what, DWORD code) {
    const std::string text = SysErrorMessage(code);
    throw EOSError(what + ": " + (text.empty() ? "system error " + std::to_string(code) + "." : text), code);
}

// TOKEN_USER of a token, in a buffer aligned for it.
std::vector<ULONG_PTR> TokenUserOf(HANDLE token) {
    DWORD size = 0;
    if (!late::GetTokenInformation(token, TokenUser, nullptr, 0, &size) &&
        late::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        RaiseOsError();
    std::vector<ULONG_PTR> buffer(size / sizeof(ULONG_PTR) + 1);
    if (!late::GetTokenInformation(token, TokenUser, buffer.data(),
                                   static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR)), &size))
        RaiseOsError();
    return buffer;
}

PSID UserSid(std::vector<ULONG_PTR>& tokenUser) { return reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid; }

// "S-1-5-21-...", as HKEY_USERS names the user's hive.
os::WString SidText(PSID sid) {
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    unsigned long long authority = 0;
    for (int i = 2; i < 8; ++i) authority = authority << 8 | bytes[i];
    char part[32];
    std::snprintf(part, sizeof part, authority >> 32 ? "S-%u-0x%012llX" : "S-%u-%llu", bytes[0], authority);
    std::string text = part;
    for (BYTE i = 0; i < bytes[1]; ++i) {
        DWORD subAuthority = 0;
        for (int b = 3; b >= 0; --b) subAuthority = subAuthority << 8 | bytes[8 + 4 * i + b];
        text += "-" + std::to_string(subAuthority);
    }
    return os::FromUtf8(text);
}

// "DOMAIN\name"; the SID itself when Windows finds no account for it.
os::WString AccountOf(PSID sid) {
    WCHAR name[256];
    WCHAR domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use = SidTypeUser;
    if (!os::Api().LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return SidText(sid);
    const os::WString user(name, nameSize);
    return domainSize ? os::WString(domain, domainSize) + WSTR("\\") + user : user;
}

Token UserToken(const ConsoleUser& user) {
    HANDLE token = nullptr;
    if (late::WTSQueryUserToken(user.session, &token)) return Token(token);
    const DWORD error = late::GetLastError();
    if (IsNobodySignedIn(error))
        throw EConsoleUserLeft(os::ToUtf8(user.account) +
                               " signed out during the switch, so the screen saver setting of their session was not "
                               "changed.");
    RaiseOsError(error);
}

// CreateProcessAsUserW refused the program's file to the user: they may not read it.
class EProgramNotRunnable : public EOSError {
public:
    explicit EProgramNotRunnable(const os::WString& program)
        : EOSError("The user at the console may not run " + os::ToUtf8(program) +
                       " (a folder that only SYSTEM can read, such as a management agent's cache). Install "
                       "gatewisecmd where every user may run it, such as C:\\Program Files\\Gatewise, and run it "
                       "from there.",
                   ERROR_ACCESS_DENIED) {}
};

// The environment block of a user's token, which the program started for them
// gets instead of LocalSystem's.
struct EnvironmentTraits {
    using Handle = LPVOID;
    static void Close(LPVOID block) { late::DestroyEnvironmentBlock(block); }
};
using EnvironmentBlock = os::UniqueHandle<EnvironmentTraits>;

EnvironmentBlock EnvironmentOf(HANDLE token) {
    LPVOID block = nullptr;
    if (!late::CreateEnvironmentBlock(&block, token, FALSE)) RaiseOsError();
    return EnvironmentBlock(block);
}

os::WString SystemFolder() {
    char folder[MAX_PATH];
    const UINT length = os::Api().GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) RaiseOsError();
    return os::FromUtf8(std::string(folder, length));
}

os::WString ProgramPath() {
    std::vector<WCHAR> path(MAX_PATH);
    for (;;) {
        const DWORD length = os::Api().GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) RaiseOsError();
        if (length < path.size()) return os::WString(path.data(), length);
        if (path.size() >= 32768) RaiseOsError(ERROR_INSUFFICIENT_BUFFER);
        path.resize(path.size() * 2);
    }
}

os::WString PartCommandLine(const os::WString& program, std::optional<bool> ask, const os::WString& voucher) {
    const char* action = !ask ? "read" : *ask ? "ask" : "no-ask";
    return WSTR("\"") + program + WSTR("\" ") + os::FromUtf8(kSessionScreenSaverSwitch) + WSTR(" ") +
           os::FromUtf8(action) + WSTR(" ") + voucher;
}

bool IsGuidText(std::string_view text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

// The voucher for the part started for `user`, held until that part has
// ended; its name goes on the part's command line.
KernelHandle CreateVoucher(const ConsoleUser& user, os::WString& name) {
    os::WinApi& api = os::Api();
    GUID guid{};
    const HRESULT made = api.CoCreateGuid(&guid);
    if (FAILED(made)) RaiseOsError(static_cast<DWORD>(made));
    const std::string braced = os::GuidText(guid);
    name = os::FromUtf8(kVoucherPrefix + braced.substr(1, braced.size() - 2));
    PSECURITY_DESCRIPTOR memory = nullptr;
    if (!api.ConvertStringSecurityDescriptorToSecurityDescriptorW(
            os::FromUtf8(kVoucherSecurity + os::ToUtf8(user.sid) + ")").c_str(), SDDL_REVISION_1, &memory, nullptr))
        RaiseOsError();
    const SecurityDescriptor descriptor(memory);
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.get(), FALSE};
    KernelHandle voucher(api.CreateMutexW(&attributes, FALSE, name.c_str()));
    if (!voucher) RaiseOsError();
    // Someone else's object of that name would vouch for nothing.
    if (api.GetLastError() == ERROR_ALREADY_EXISTS) RaiseOsError(ERROR_ALREADY_EXISTS);
    return voucher;
}

bool IsLocalSystem(PSID sid) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID system = nullptr;
    if (!late::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system))
        RaiseOsError();
    const Sid localSystem(system);
    return late::EqualSid(sid, localSystem.get()) != FALSE;
}

// Starts the program in the user's session and waits for its exit code.
DWORD RunInSession(HANDLE token, const os::WString& commandLine, const os::WString& program) {
    os::WinApi& api = os::Api();
    const EnvironmentBlock environment = EnvironmentOf(token);
    const os::WString folder = SystemFolder();
    std::vector<WCHAR> writable(commandLine.begin(), commandLine.end());
    writable.push_back(0);
    WCHAR desktop[] = WSTR("winsta0\\default");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION started{};
    if (!api.CreateProcessAsUserW(token, program.c_str(), writable.data(), nullptr, nullptr, FALSE,
                                  CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, environment.get(), folder.c_str(),
                                  &startup, &started)) {
        const DWORD error = api.GetLastError();
        if (error == ERROR_ACCESS_DENIED) throw EProgramNotRunnable(program);
        RaiseOsError(error);
    }
    const KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);
    const DWORD waited = api.WaitForSingleObject(process.get(), kAnswerMilliseconds);
    if (waited == WAIT_TIMEOUT) {
        api.TerminateProcess(process.get(), ERROR_TIMEOUT);
        RaiseOsError(ERROR_TIMEOUT);
    }
    if (waited != WAIT_OBJECT_0) RaiseOsError();
    DWORD exitCode = 0;
    if (!api.GetExitCodeProcess(process.get(), &exitCode)) RaiseOsError();
    return exitCode;
}

std::vector<ULONG_PTR> ProcessTokenUser() {
    HANDLE handle = nullptr;
    if (!late::OpenProcessToken(late::GetCurrentProcess(), TOKEN_QUERY, &handle)) RaiseOsError();
    const Token token(handle);
    return TokenUserOf(token.get());
}

}  // namespace

bool IsNobodySignedIn(DWORD tokenQueryError) {
    return tokenQueryError == ERROR_NO_TOKEN || tokenQueryError == ERROR_CTX_WINSTATION_NOT_FOUND ||
           tokenQueryError == ERROR_FILE_NOT_FOUND;
}

bool RunsAsLocalSystem() {
    std::vector<ULONG_PTR> tokenUser = ProcessTokenUser();
    return IsLocalSystem(UserSid(tokenUser));
}

std::optional<ConsoleUser> FindConsoleUser() {
    const DWORD session = os::Api().WTSGetActiveConsoleSessionId();
    if (session == kNoConsoleSession) return std::nullopt;
    HANDLE handle = nullptr;
    if (!late::WTSQueryUserToken(session, &handle)) {
        const DWORD error = late::GetLastError();
        if (IsNobodySignedIn(error)) return std::nullopt;
        RaiseWithCode("The sign-in token of the user at the console cannot be had, so their settings cannot be "
                      "reached",
                      error);
    }
    const Token token(handle);
    std::vector<ULONG_PTR> tokenUser = TokenUserOf(token.get());
    ConsoleUser user{session, SidText(UserSid(tokenUser)), AccountOf(UserSid(tokenUser))};
    RegKey hive;
    if (OpenKey(HKEY_USERS, user.sid.c_str(), KEY_READ, hive) != ERROR_SUCCESS)
        throw EUserHiveNotLoaded("The settings of " + os::ToUtf8(user.account) +
                                 ", signed in at the console, are not loaded (no HKEY_USERS\\" +
                                 os::ToUtf8(user.sid) + "); they may be signing in or out. Try again later.");
    return user;
}

PerUserTargetScope::PerUserTargetScope(PerUserTarget target) : previous_(std::move(Target())) {
    Target() = std::move(target);
}

PerUserTargetScope::~PerUserTargetScope() { Target() = std::move(previous_); }

const PerUserTarget& CurrentPerUserTarget() { return Target(); }

const ConsoleUser* TargetConsoleUser() {
    return Target().kind == PerUserTarget::Console ? &Target().user : nullptr;
}

bool PerUserSettingsOutOfReach() { return Target().kind == PerUserTarget::Nobody; }

std::optional<os::WString> PerUserTargetSid() {
    switch (Target().kind) {
    case PerUserTarget::Console:
        return Target().user.sid;
    case PerUserTarget::Nobody:
        return std::nullopt;
    case PerUserTarget::OwnUser:
        break;
    }
    std::vector<ULONG_PTR> tokenUser = ProcessTokenUser();
    return SidText(UserSid(tokenUser));
}

bool RunScreenSaverPartInSession(const ConsoleUser& user, std::optional<bool> ask) {
    const std::string where = os::ToUtf8(user.account) + "'s session";
    DWORD answer = 0;
    try {
        const Token token = UserToken(user);
        std::vector<ULONG_PTR> tokenUser = TokenUserOf(token.get());
        if (SidText(UserSid(tokenUser)) != user.sid)
            throw Exception("Another user signed in at the console meanwhile.");
        const os::WString program = ProgramPath();
        os::WString voucherName;
        const KernelHandle voucher = CreateVoucher(user, voucherName);
        answer = RunInSession(token.get(), PartCommandLine(program, ask, voucherName), program);
    } catch (const EProgramNotRunnable&) {
        throw;
    } catch (const EOSError& error) {
        RaiseWithCode("The screen saver setting of " + where + " cannot be reached", error.ErrorCode);
    }
    if (answer == ERROR_OPERATION_IN_PROGRESS) throw ESessionLocked();
    if ((answer & ~DWORD{1}) != kAnswer)
        RaiseWithCode("The screen saver setting of " + where + " could not be " + (ask ? "changed" : "read"), answer);
    const bool asks = (answer & 1) != 0;
    if (ask && *ask != asks)
        throw Exception("The screen saver setting of " + where + " did not take the new value.");
    return asks;
}

bool VouchedForBySystemRun(std::string_view voucher) {
    const std::string_view prefix = kVoucherPrefix;
    if (voucher.substr(0, prefix.size()) != prefix || !IsGuidText(voucher.substr(prefix.size()))) return false;
    try {
        os::WinApi& api = os::Api();
        const KernelHandle mutex(api.OpenMutexW(SYNCHRONIZE | READ_CONTROL, FALSE, os::FromUtf8(voucher).c_str()));
        if (!mutex) return false;
        PSID owner = nullptr;
        PSECURITY_DESCRIPTOR memory = nullptr;
        if (api.GetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                nullptr, &memory) != ERROR_SUCCESS)
            return false;
        const SecurityDescriptor descriptor(memory);
        return owner && IsLocalSystem(owner);
    } catch (const Exception&) {
        return false;
    }
}

DWORD RunSessionScreenSaverPart(std::string_view action) {
    if (action != "read" && action != "ask" && action != "no-ask") return ERROR_INVALID_PARAMETER;
    // Whatever the caller had in place: this part is the own session's.
    const PerUserTargetScope own{PerUserTarget{}};
    try {
        if (action != "read") SetScreenSaverParameter(action == "ask");
        return kAnswer | (GetAskPasswordOnScreenSaver() ? 1 : 0);
    } catch (const EOSError& error) {
        return error.ErrorCode ? error.ErrorCode : ERROR_INVALID_FUNCTION;
    } catch (const std::exception&) {
        return ERROR_INVALID_FUNCTION;
    }
}

}  // namespace engine
