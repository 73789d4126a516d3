#pragma once
// One change at a time. Every Gatewise process that changes something (a
// switch, an undo, the auto-logon account, the options) holds the change lock
// from reading the state to writing its record, in every session: the window,
// gatewisecmd, gatewisecmd run as SYSTEM. The lock has two parts:
// - per-user, for one user's settings (their options, the record of their
//   last switch, their screen saver setting): a mutex named for the user's
//   SID, so that whoever works on that user's settings, from any session,
//   takes the same one;
// - machine-wide, for the settings of the machine (automatic logon, the power
//   policy), which only administrators change: a private namespace whose
//   boundary is the Administrators group, held by creating it, so that a
//   standard user can neither create it first nor hold it. Where Windows has
//   no private namespaces (before Vista; Wine), a mutex that only SYSTEM and
//   administrators may open.
// The per-user part is taken before the machine-wide one, by every change, so
// that two changes never wait for each other. A part that another process
// holds is waited for; after 10 seconds in all the change is refused with
// EChangeInProgress, before it has done anything.

#include "engine/Exception.h"
#include "os/WinTypes.h"

#include <cstdint>
#include <memory>

namespace engine {

inline constexpr DWORD kChangeLockMilliseconds = 10000;

// "Another Gatewise change is in progress; nothing was changed."
class EChangeInProgress : public Exception {
public:
    EChangeInProgress();
};

class TChangeLock {
public:
    enum TPart : std::uint8_t { lpPerUser = 1, lpMachineWide = 2 };

    // Takes `parts`, a combination of TPart. With nobody's per-user settings
    // in reach (engine/ConsoleUser.h) there is no per-user part to take. A
    // lock that cannot be made raises EOSError.
    explicit TChangeLock(unsigned parts);
    ~TChangeLock();
    TChangeLock(const TChangeLock&) = delete;
    TChangeLock& operator=(const TChangeLock&) = delete;

    // Adds the machine-wide part, for a change that learns only under the
    // per-user part that it needs it; within the same 10 seconds. Nothing
    // when it is held already.
    void TakeMachineWide();
    bool HoldsMachineWide() const { return machineWide_ != nullptr; }

    class Part;

private:
    DWORD start_;
    std::unique_ptr<Part> perUser_;
    std::unique_ptr<Part> machineWide_;
};

}  // namespace engine
