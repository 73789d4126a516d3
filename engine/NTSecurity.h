#pragma once
// Membership of the process in a built-in group. Never raises for a failed
// system call (the answer is then false); outside the NT family the answer is true.

#include "os/WinTypes.h"

namespace engine {

bool IsBuiltinGroupMember(DWORD rid);
// Member of the local Administrators group (S-1-5-32-544). Not cached.
bool IsAdministrator();

// Whether the computer is joined to a domain (NetGetJoinInformation). Unlike
// the checks above, a failure raises: EOSError, or the binding's error.
bool IsDomainMember();

}  // namespace engine
