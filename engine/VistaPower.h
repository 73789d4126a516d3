#pragma once
// The resume setting on Windows 6 and later: the console-lock-on-wake power
// setting, with one value index per power scheme and power source.

#include "os/WinTypes.h"

#include <vector>

namespace engine {

// The active scheme's value for the current power source (DC on battery).
bool VistaGetAskPasswordOnResume();
// Writes AC and DC of the active scheme, or of every scheme, then activates
// the active scheme again so that the system applies the values.
void VistaSetAskPasswordOnResume(bool ask, bool allSchemes);

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
// values; its result is ignored.
void VistaReapplyActiveScheme();

// One scheme's values.
SchemeLockOnWake VistaReadSchemeLockOnWake(const GUID& scheme);
// A copy of the active scheme, with a GUID of its own; not activated.
GUID VistaDuplicateActiveScheme();
// Deletes a scheme that is not active.
void VistaDeleteScheme(const GUID& scheme);

// Modern Standby (S0 low-power idle), as CallNtPowerInformation reports it
// (AoAc). Windows before 6, a failing call or a missing function: false.
bool HasModernStandby();
// The same question, for Windows 6 and later, with its failures: EOSError
// with the call's status, or the binding's error.
bool ReadModernStandby();

}  // namespace engine
