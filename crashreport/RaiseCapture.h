#pragma once
// What the reporter keeps of the last raise on each thread: the exception
// record, the processor context at the program's own raise site and a copy of
// the stack above it (the catch block that reports the exception runs on the
// same stack and overwrites it).

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace crashreport {

inline constexpr std::size_t kStackSnapshotBytes = 256 * 1024;

struct RaiseRecord {
    CONTEXT context;  // at the raise address: registers of the program's frame
    EXCEPTION_RECORD exception;
    std::uintptr_t raiseAddress;
    bool raiseIsReturnAddress;  // a throw: the address after the call that raised it
    std::uintptr_t stackAddress;  // where the copied stack began
    std::size_t stackBytes;
    alignas(16) std::uint8_t stack[kStackSnapshotBytes];
    // Up to `framesKnownBytes` into the copy the unwind tables told where the
    // frames' return addresses lie: one bit per pointer-sized slot.
    std::size_t framesKnownBytes;
    std::uint8_t returnSlots[kStackSnapshotBytes / sizeof(void*) / 8];

    bool IsReturnSlot(std::size_t index) const { return returnSlots[index / 8] & (1u << (index % 8)); }
};

// The bounds of a thread's stack: `low` is its committed end, `high` its base.
struct StackBounds {
    std::uintptr_t low;
    std::uintptr_t high;
};
StackBounds CurrentStackBounds();

// Whether an exception code is a fault of the processor or the memory system
// (access violation, stack overflow, illegal instruction, division by zero...)
// rather than a throw.
bool IsHardwareFault(DWORD code);

// Called on the faulting thread, before anything else looks at the fault, for
// a stack overflow anywhere and for every other hardware fault in the
// program's own code. It must use little stack; it need not return.
using FaultHandler = void (*)(EXCEPTION_POINTERS* pointers);

// Adds the process-wide handler that sees every raise on every thread.
void InstallRaiseCapture(FaultHandler onFault);

// The last raise recorded on the calling thread, or null.
const RaiseRecord* LastRaise();

// Wipes the stack copied at the calling thread's last raise, and forgets the
// raise: once its report is made, that copy is only a risk (it may hold a
// password that its owner has long since wiped).
void ForgetLastRaise();

// Records into `record` a fault of any thread, from its exception record,
// context and stack (which must stay as they are meanwhile).
void RecordFault(RaiseRecord& record, const EXCEPTION_RECORD& exception, const CONTEXT& context, StackBounds stack);

// Records a raise at the caller's own position (used when no recorded raise
// belongs to the exception being reported).
void RecordRaiseHere();

// While one exists, raises on the calling thread are not recorded: the
// reporter rethrows the exception it reports to learn its type.
class PausedRaiseCapture {
public:
    PausedRaiseCapture();
    ~PausedRaiseCapture();
    PausedRaiseCapture(const PausedRaiseCapture&) = delete;
    PausedRaiseCapture& operator=(const PausedRaiseCapture&) = delete;

private:
    bool wasPaused_;
};

}  // namespace crashreport
