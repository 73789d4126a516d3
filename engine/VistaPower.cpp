#include "engine/VistaPower.h"

#include "engine/Exception.h"
#include "engine/LateBinding.h"
#include "engine/OsError.h"
#include "engine/Registry.h"
#include "engine/WindowsVersion.h"
#include "os/Text.h"
#include "os/WinApi.h"

#include <cstddef>
#include <cstdio>
#include <string>

namespace engine {
namespace {

constexpr std::size_t kSchemeSlots = 101;
constexpr ULONG kMaxEnumeratedSchemes = 99;

// The active scheme's GUID, in a buffer the system allocated.
class ActiveScheme {
public:
    ActiveScheme() {
        // The power functions return their error code instead of setting the last error.
        DWORD result = late::PowerGetActiveScheme(nullptr, &guid_);
        if (result != ERROR_SUCCESS) RaiseOsError(result);
    }
    ~ActiveScheme() {
        if (guid_) os::Api().LocalFree(guid_);
    }
    ActiveScheme(const ActiveScheme&) = delete;
    ActiveScheme& operator=(const ActiveScheme&) = delete;
    const GUID* get() const { return guid_; }

private:
    GUID* guid_ = nullptr;
};

void Check(DWORD result) {
    if (result != ERROR_SUCCESS) RaiseOsError(result);
}

void Activate(const GUID* scheme) {
    const DWORD result = late::PowerSetActiveScheme(nullptr, scheme);
    if (result == ERROR_SUCCESS) return;
    const std::string text = SysErrorMessage(result);
    throw EPowerSchemeNotActivated("The password on wake was written to the power plan, but Windows did not "
                                   "activate the plan (PowerSetActiveScheme failed: " +
                                       (text.empty() ? "system error " + std::to_string(result) + "." : text) +
                                       "), so it still uses its old value.",
                                   result);
}

// The lock on wake belongs to no subgroup: the power functions address it with NO_SUBGROUP_GUID.
DWORD ReadIndex(bool ac, const GUID* scheme, DWORD* value) {
    return ac ? late::PowerReadACValueIndex(nullptr, scheme, &os::kNoSubgroup, &os::kLockConsoleOnWake, value)
              : late::PowerReadDCValueIndex(nullptr, scheme, &os::kNoSubgroup, &os::kLockConsoleOnWake, value);
}

bool OnBattery() {
    SYSTEM_POWER_STATUS status{};
    return os::Api().GetSystemPowerStatus(&status) && status.ACLineStatus == 0;
}

// Fills `schemes` with every power scheme; returns how many there are.
ULONG EnumerateSchemes(GUID* schemes) {
    ULONG index = 0;
    DWORD result;
    do {
        DWORD size = sizeof(GUID);
        result = late::PowerEnumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, index,
                                      reinterpret_cast<UCHAR*>(&schemes[index]), &size);
        if (result != ERROR_SUCCESS) break;
        ++index;
    } while (index < kMaxEnumeratedSchemes);
    // 99 schemes and more than that are refused whole: the list has no room to say so.
    if (result != ERROR_NO_MORE_ITEMS) RaiseOsError(result);
    return index;
}

}  // namespace

bool VistaGetAskPasswordOnResume() {
    ActiveScheme active;
    DWORD index = 0;
    Check(ReadIndex(!OnBattery(), active.get(), &index));
    return index != 0;
}

void VistaSetAskPasswordOnResume(bool ask, bool allSchemes) {
    GUID schemes[kSchemeSlots] = {};
    ActiveScheme active;
    ULONG count = 1;
    if (allSchemes)
        count = EnumerateSchemes(schemes);
    else
        schemes[0] = *active.get();

    const DWORD value = ask ? 1 : 0;
    for (ULONG i = 0; i < count; ++i) VistaWriteLockOnWake({schemes[i], false, value, value});
    Activate(active.get());
}

std::vector<SchemeLockOnWake> VistaReadLockOnWake(bool allSchemes) {
    GUID schemes[kSchemeSlots] = {};
    ActiveScheme active;
    ULONG count = 1;
    if (allSchemes)
        count = EnumerateSchemes(schemes);
    else
        schemes[0] = *active.get();
    std::vector<SchemeLockOnWake> result(count);
    for (ULONG i = 0; i < count; ++i) {
        SchemeLockOnWake& values = result[i];
        values.scheme = schemes[i];
        values.active = os::SameGuid(schemes[i], *active.get());
        Check(ReadIndex(true, &schemes[i], &values.ac));
        Check(ReadIndex(false, &schemes[i], &values.dc));
    }
    return result;
}

void VistaWriteLockOnWake(const SchemeLockOnWake& values) {
    Check(late::PowerWriteACValueIndex(nullptr, &values.scheme, &os::kNoSubgroup, &os::kLockConsoleOnWake, values.ac));
    Check(late::PowerWriteDCValueIndex(nullptr, &values.scheme, &os::kNoSubgroup, &os::kLockConsoleOnWake, values.dc));
}

SchemeLockOnWake VistaReadSchemeLockOnWake(const GUID& scheme) {
    ActiveScheme active;
    SchemeLockOnWake values{scheme, os::SameGuid(scheme, *active.get()), 0, 0};
    Check(ReadIndex(true, &scheme, &values.ac));
    Check(ReadIndex(false, &scheme, &values.dc));
    return values;
}

StoredLockOnWake VistaReadStoredLockOnWake(const GUID& scheme) {
    const os::WString path = os::PowerValueKeyPath(scheme, os::kNoSubgroup, os::kLockConsoleOnWake);
    RegKey key = OpenSettingForReading(HKEY_LOCAL_MACHINE, path.c_str());
    if (!key) return {};
    return {ReadDword(key.get(), WSTR("ACSettingIndex")), ReadDword(key.get(), WSTR("DCSettingIndex"))};
}

GUID VistaDuplicateActiveScheme() {
    ActiveScheme active;
    GUID* copy = nullptr;  // null: the function allocates it
    Check(late::PowerDuplicateScheme(nullptr, active.get(), &copy));
    const GUID scheme = *copy;
    os::Api().LocalFree(copy);
    return scheme;
}

void VistaDeleteScheme(const GUID& scheme) { Check(late::PowerDeleteScheme(nullptr, &scheme)); }

std::optional<os::WString> PowerPlanName(const GUID& scheme) {
    if (!late::PowerReadFriendlyName.Available()) return std::nullopt;
    DWORD size = 0;
    if (late::PowerReadFriendlyName(nullptr, &scheme, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return std::nullopt;
    std::vector<WCHAR> name(size / sizeof(WCHAR) + 1, 0);
    if (late::PowerReadFriendlyName(nullptr, &scheme, nullptr, nullptr, reinterpret_cast<PUCHAR>(name.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    name.back() = 0;  // terminated, whatever the function wrote
    return os::WString(name.data());
}

void VistaReapplyActiveScheme() {
    ActiveScheme active;
    Activate(active.get());
}

bool HasModernStandby() {
    if (!IsWindows6OrLater()) return false;
    try {
        return ReadModernStandby();
    } catch (const Exception&) {
        return false;
    }
}

bool ReadModernStandby() {
    // Zeroed first: Wine answers success without writing the spare bytes.
    BYTE capabilities[sizeof(SYSTEM_POWER_CAPABILITIES)] = {};
    const NTSTATUS status =
        late::CallNtPowerInformation(SystemPowerCapabilities, nullptr, 0, capabilities, sizeof capabilities);
    if (status != STATUS_SUCCESS) {
        char message[64];
        std::snprintf(message, sizeof message, "CallNtPowerInformation failed with status 0x%08lX.",
                      static_cast<unsigned long>(static_cast<ULONG>(status)));
        throw EOSError(message, 0);
    }
    return capabilities[os::kAoAcOffset] != 0;
}

}  // namespace engine
