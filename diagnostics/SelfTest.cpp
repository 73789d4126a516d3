#include "diagnostics/SelfTest.h"

#include "diagnostics/AutologonState.h"
#include "engine/Exception.h"
#include "engine/LateBinding.h"
#include "engine/NTSecurity.h"
#include "engine/ProtectedPassword.h"
#include "engine/Utilities.h"
#include "engine/VistaPower.h"
#include "engine/WindowsVersion.h"
#include "os/WinApi.h"

#include <cstdio>
#include <cstring>
#include <optional>

namespace diagnostics {
namespace {

using Outcome = SelfTestOutcome;

const char kNeedsAdministrator[] =
    "Skipped: needs administrator rights; run gatewisecmd selftest from an elevated prompt.";

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

std::string IndexText(std::optional<DWORD> index) { return index ? std::to_string(*index) : "none"; }

// Writes the scheme's two indexes and reads them back, through the power
// functions and from where Windows stores them: a write that lands elsewhere
// reads back through the one but not the other.
void WriteAndReadBack(const GUID& scheme, DWORD ac, DWORD dc) {
    engine::VistaWriteLockOnWake({scheme, false, ac, dc});
    const std::string written = "AC " + std::to_string(ac) + " and DC " + std::to_string(dc) + " were written, ";
    const engine::SchemeLockOnWake read = engine::VistaReadSchemeLockOnWake(scheme);
    if (read.ac != ac || read.dc != dc)
        throw engine::Exception(written + "AC " + std::to_string(read.ac) + " and DC " + std::to_string(read.dc) +
                                " read back.");
    const engine::StoredLockOnWake stored = engine::VistaReadStoredLockOnWake(scheme);
    if (stored.ac != ac || stored.dc != dc)
        throw engine::Exception(written + "but the registry holds ACSettingIndex " + IndexText(stored.ac) +
                                " and DCSettingIndex " + IndexText(stored.dc) + " under HKEY_LOCAL_MACHINE\\" +
                                os::ToUtf8(os::PowerValueKeyPath(scheme, os::kNoSubgroup, os::kLockConsoleOnWake)) +
                                ".");
}

SelfTestResult CheckGlobalPowerPolicy() {
    try {
        const bool ask = engine::GetAskPasswordOnResume();
        return {"power-scheme", Outcome::Passed,
                std::string("The global power policy was read (Windows before Vista keeps the password on resume "
                            "there); it ") +
                    (ask ? "asks for the password." : "does not ask for the password.")};
    } catch (const std::exception& error) {
        return {"power-scheme", Outcome::Failed,
                std::string("The global power policy could not be read: ") + error.what()};
    }
}

SelfTestResult CheckPowerScheme(bool administrator) {
    const char* id = "power-scheme";
    if (!administrator) return {id, Outcome::Skipped, kNeedsAdministrator};
    if (!engine::IsWindows6OrLater()) return CheckGlobalPowerPolicy();
    GUID copy;
    try {
        copy = engine::VistaDuplicateActiveScheme();
    } catch (const std::exception& error) {
        return {id, Outcome::Failed, std::string("The active power plan could not be copied: ") + error.what()};
    }
    std::string failure;
    try {
        WriteAndReadBack(copy, 1, 0);
        WriteAndReadBack(copy, 0, 1);
    } catch (const std::exception& error) {
        failure = std::string("A copy of the active power plan did not take the password on wake: ") + error.what();
    }
    std::string cleanup = " The copy was deleted.";
    try {
        engine::VistaDeleteScheme(copy);
    } catch (const std::exception& error) {
        const std::string scheme = os::GuidText(copy);
        cleanup = " The copy " + scheme + " could not be deleted (" + error.what() +
                  "); remove it with: powercfg /delete " + scheme;
        if (failure.empty()) failure = "A copy of the active power plan took the password on wake on AC and DC.";
    }
    if (!failure.empty()) return {id, Outcome::Failed, failure + cleanup};
    return {id, Outcome::Passed,
            "A copy of the active power plan took the password on wake on AC and DC, read back both ways "
            "through the power functions and from the registry." +
                cleanup};
}

SelfTestResult CheckPrivateData(bool administrator) {
    const char* id = "private-data";
    if (!administrator) return {id, Outcome::Skipped, kNeedsAdministrator};
    const std::string name = os::ToUtf8(kSelfTestSecretName);
    const os::SecretString scratch(WSTR("Gatewise self-test \u00e9\u00df\u6d4b"));
    std::string failure;
    try {
        engine::StorePrivateData(kSelfTestSecretName, scratch);
        if (engine::RetrievePrivateData(kSelfTestSecretName) != scratch)
            failure = "The scratch entry " + name + " read back other than it was stored.";
    } catch (const std::exception& error) {
        failure = "The scratch entry " + name + " could not be stored and read back: " + error.what();
    }
    std::string cleanup;
    try {
        engine::StorePrivateData(kSelfTestSecretName, {});
    } catch (const std::exception& error) {
        cleanup = std::string(" It could not be deleted: ") + error.what();
    }
    if (failure.empty() && cleanup.empty())
        return {id, Outcome::Passed, "A scratch entry, " + name + ", was stored in the LSA private data, read back and deleted."};
    if (failure.empty()) failure = "The scratch entry " + name + " was stored and read back.";
    return {id, Outcome::Failed, failure + cleanup};
}

SelfTestResult CheckScreenSaver() {
    const char* id = "screen-saver";
    const char* source = engine::IsWindows6OrLater() ? "The screen saver's system parameter" : "ScreenSaverIsSecure";
    try {
        const bool ask = engine::GetAskPasswordOnScreenSaver();
        return {id, Outcome::Passed,
                std::string(source) + " was read: leaving the screen saver " +
                    (ask ? "asks for the password." : "does not ask for the password.")};
    } catch (const std::exception& error) {
        return {id, Outcome::Failed, std::string(source) + " could not be read: " + error.what()};
    }
}

SelfTestResult CheckModernStandby() {
    const char* id = "modern-standby";
    if (!engine::IsWindows6OrLater()) return {id, Outcome::Passed, "Windows before Vista has no Modern Standby."};
    try {
        return {id, Outcome::Passed,
                engine::ReadModernStandby()
                    ? "CallNtPowerInformation reports Modern Standby: the resume setting also covers DelayLockInterval."
                    : "CallNtPowerInformation reports no Modern Standby."};
    } catch (const std::exception& error) {
        return {id, Outcome::Failed, std::string("Modern Standby could not be looked for: ") + error.what()};
    }
}

// Only bound: a logon with a wrong password would count towards the lockout.
SelfTestResult CheckAccountVerification() {
    const char* id = "account-verification";
    os::WinApi& api = os::Api();
    const HMODULE advapi32 = api.GetModuleHandleA("advapi32.dll");
    if (!advapi32 || !api.GetProcAddress(advapi32, "LogonUserW"))
        return {id, Outcome::Failed, "LogonUserW, which verifies passwords, was not found in advapi32.dll."};
    try {
        const engine::UserAccount account = engine::GetCurrentUserAccount();
        return {id, Outcome::Passed,
                "LogonUserW is bound and GetUserNameExW names the current account, " +
                    AccountDisplayName(account.user, account.domain) + "; no logon was attempted."};
    } catch (const std::exception& error) {
        return {id, Outcome::Failed, std::string("The current account could not be named: ") + error.what()};
    }
}

SelfTestResult CheckDllSearch() {
    const char* id = "dll-search";
    switch (engine::DllSearchInForce()) {
    case engine::dsSystemFolderOnly:
        return {id, Outcome::Passed,
                "DLLs load from the system folder only (SetDefaultDllDirectories, set at start-up)."};
    case engine::dsCurrentFolderRemoved:
        return {id, Outcome::Passed,
                "SetDefaultDllDirectories is missing (Windows Vista or 7 without update KB2533623): the current "
                "folder is out of the DLL search, and DLLs loaded later go by their full path in the system folder."};
    case engine::dsUnrestricted:
        break;
    }
    return {id, Outcome::Failed, "Neither SetDefaultDllDirectories nor SetDllDirectoryW restricted the DLL search."};
}

// The DependentLoadFlags of the load configuration of the image that the
// loader mapped at `image`; nullopt when it has none.
std::optional<WORD> DependentLoadFlags(const BYTE* image) {
    const auto u16 = [&](std::size_t at) {
        WORD value;
        std::memcpy(&value, image + at, sizeof value);
        return value;
    };
    const auto u32 = [&](std::size_t at) {
        DWORD value;
        std::memcpy(&value, image + at, sizeof value);
        return value;
    };
    constexpr DWORD kLoadConfigEntry = 10;
    if (u16(0) != 0x5A4D) return std::nullopt;  // "MZ"
    const std::size_t pe = u32(0x3C);
    if (u32(pe) != 0x00004550) return std::nullopt;  // "PE\0\0"
    const std::size_t optional = pe + 24;
    const WORD magic = u16(optional);
    if (magic != 0x10B && magic != 0x20B) return std::nullopt;
    const bool pe32Plus = magic == 0x20B;
    const std::size_t imageSize = u32(optional + 56);
    const std::size_t directories = optional + (pe32Plus ? 112 : 96);
    if (u32(directories - 4) <= kLoadConfigEntry) return std::nullopt;  // NumberOfRvaAndSizes
    const std::size_t entry = u32(directories + kLoadConfigEntry * 8);
    const std::size_t flags = entry + (pe32Plus ? 78 : 54);
    if (entry == 0 || flags + sizeof(WORD) > imageSize || u32(entry) < flags + sizeof(WORD) - entry)
        return std::nullopt;
    return u16(flags);
}

SelfTestResult CheckLoadConfiguration() {
    const char* id = "load-configuration";
    const HMODULE image = os::Api().GetModuleHandleA(nullptr);
    const std::optional<WORD> flags =
        image ? DependentLoadFlags(reinterpret_cast<const BYTE*>(image)) : std::nullopt;
    if (!flags) return {id, Outcome::Failed, "The running program has no load configuration with DependentLoadFlags."};
    if (!(*flags & LOAD_LIBRARY_SEARCH_SYSTEM32))
        return {id, Outcome::Failed,
                "The running program's DependentLoadFlags are " + Hex4(*flags) +
                    ", without LOAD_LIBRARY_SEARCH_SYSTEM32."};
    return {id, Outcome::Passed,
            "The running program's DependentLoadFlags are " + Hex4(*flags) +
                " (LOAD_LIBRARY_SEARCH_SYSTEM32): Windows 10 1607 and later load its imports from the system "
                "folder only."};
}

}  // namespace

const char* SelfTestOutcomeName(SelfTestOutcome outcome) {
    switch (outcome) {
    case SelfTestOutcome::Passed:
        return "passed";
    case SelfTestOutcome::Failed:
        return "failed";
    case SelfTestOutcome::Skipped:
        break;
    }
    return "skipped";
}

std::vector<SelfTestResult> RunSelfTest() {
    const bool administrator = engine::IsAdministrator();
    std::vector<SelfTestResult> results = {CheckPowerScheme(administrator), CheckPrivateData(administrator),
                                           CheckScreenSaver(),             CheckModernStandby(),
                                           CheckAccountVerification(),     CheckDllSearch(),
                                           CheckLoadConfiguration()};
    // A detail is one line: the system's error texts come after a line break.
    for (SelfTestResult& result : results)
        for (std::size_t at; (at = result.detail.find("\r\n")) != std::string::npos;)
            result.detail.replace(at, 2, " ");
    return results;
}

}  // namespace diagnostics
