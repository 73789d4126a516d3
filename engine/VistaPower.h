#pragma once
// The resume setting on Windows 6 and later: the console-lock-on-wake power
// setting, with one value index per power scheme and power source.

#include "engine/Exception.h"
#include "os/Text.h"
#include "os/WinTypes.h"

#include <optional>
#include <vector>

namespace engine {

// The active scheme's value for the current power source (DC on battery).
bool VistaGetAskPasswordOnResume();
// Writes AC and DC of the active scheme, or of every scheme, then activates
// the active scheme again so that the system applies the values; when that
// activation fails, raises EPowerSchemeNotActivated.
void VistaSetAskPasswordOnResume(bool ask, bool allSchemes);

// The values were written, but PowerSetActiveScheme failed: the active plan
// goes on with its old value until it is activated again.
class EPowerSchemeNotActivated : public EOSError {
public:
    using EOSError::EOSError;
};

// One power scheme's value indexes of the console-lock-on-wake setting.
struct SchemeLockOnWake {
    GUID scheme{};
    bool active = false;
    DWORD ac = 0;
    DWORD dc = 0;
    bool operator==(const SchemeLockOnWake&) const = default;
};
// Every power scheme's values in the order the system lists them, or the
// active scheme's alone; reads only.
std::vector<SchemeLockOnWake> VistaReadLockOnWake(bool allSchemes);
// Writes the scheme's AC and DC indexes as given, without activating anything.
void VistaWriteLockOnWake(const SchemeLockOnWake& values);
// Activates the active scheme again, so that the system applies written
// values; a failure raises EPowerSchemeNotActivated.
void VistaReapplyActiveScheme();

// One scheme's values.
SchemeLockOnWake VistaReadSchemeLockOnWake(const GUID& scheme);
// The scheme's values as Windows stores them in the registry
// (os::PowerValueKeyPath), read without the power functions: a second path to
// the same values. A value missing there is nullopt (the scheme then uses its
// default); a key that cannot be read or a value of another type raises.
struct StoredLockOnWake {
    std::optional<DWORD> ac;
    std::optional<DWORD> dc;
};
StoredLockOnWake VistaReadStoredLockOnWake(const GUID& scheme);

// A copy of the active scheme, with a GUID of its own; not activated.
GUID VistaDuplicateActiveScheme();
// Deletes a scheme that is not active.
void VistaDeleteScheme(const GUID& scheme);
// The power plan's name, as Power Options shows it; nullopt when it cannot be read.
std::optional<os::WString> PowerPlanName(const GUID& scheme);

// Modern Standby (S0 low-power idle), as CallNtPowerInformation reports it
// (AoAc). Windows before 6, a failing call or a missing function: false.
bool HasModernStandby();
// The same question, for Windows 6 and later, with its failures: EOSError
// with the call's status, or the binding's error.
bool ReadModernStandby();

}  // namespace engine
