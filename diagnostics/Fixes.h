#pragma once
// The fixes that Gatewise applies itself, on request only, to findings of the
// checks (diagnostics/Diagnostics.h). A fix only ever changes a setting that
// is the user's or an administrator's choice, never a policy, and says how to
// reverse it:
// - "password-less-sign-in" sets DevicePasswordLessBuildVersion to 0, which
//   Settings shows as "Require Windows Hello sign-in for Microsoft accounts";
// - "autologon-count" deletes AutoLogonCount, which switches automatic logon
//   off after that many logons.
// Both are machine-wide and need administrator rights. audit::ApplyFix
// applies one and writes its event.

#include "engine/Exception.h"

#include <string>
#include <string_view>
#include <vector>

namespace diagnostics {

// The ids of the checks whose finding Gatewise can fix, in the checks' order.
const std::vector<std::string>& FixIds();

struct FixOutcome {
    bool changed = false;  // false: the setting needed no fix
    std::string what;      // what was changed, or why nothing needed to be
    std::string reverse;   // how to put it back; empty when nothing changed
};

// A fix refused before it changed anything: without administrator rights, or
// for a value that is not of the type the setting has. The message says why.
class EFixRefused : public engine::Exception {
public:
    using engine::Exception::Exception;
};
class EFixNeedsAdministrator : public EFixRefused {
public:
    using EFixRefused::EFixRefused;
};

// Applies the fix of check `id` under the machine-wide part of the change lock
// (engine/ChangeLock.h). Raises EFixRefused as above, EChangeInProgress when
// another change holds the lock, the registry's error for a write it refuses
// (nothing changed then), and std::invalid_argument for an id without a fix.
FixOutcome ApplyFix(std::string_view id);

}  // namespace diagnostics
