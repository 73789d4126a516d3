#pragma once
// Hardware faults: an access violation, a stack overflow, an illegal
// instruction, a division by zero. The thread that meets one cannot go on, and
// after a stack overflow it has too little stack left even to write the
// report. So the first faulting thread starts a reporter thread, which
// reports for it while it waits (the thread that installed the reporter keeps
// enough stack for that through a stack overflow); then the process ends with
// the fault's exception code, whichever button closed the dialog, so that no
// caller mistakes a crash for success.
//
// The report needs the heap and the loader lock, which the faulting thread may
// have died holding. So that the process never hangs instead, the faulting
// thread gives the report a few seconds to be written and its dialog to show;
// past them, or when the reporter thread is gone, it ends the process with the
// fault's code itself. Once the dialog shows, it waits for the user.

#include "crashreport/RaiseCapture.h"

#include <windows.h>

namespace crashreport {

// A fault as the faulting thread hands it over; it stays valid while that
// thread waits.
struct PendingFault {
    const EXCEPTION_RECORD* exception;
    const CONTEXT* context;
    DWORD threadId;
    StackBounds stack;
};

// Writes the report of `fault` (the log entry and the dialog) on the reporter
// thread and returns; the process ends after it. `record` is room for the
// fault's raise record, set aside before any fault.
using FaultReportFunction = void (*)(const PendingFault& fault, RaiseRecord& record);

// Sets aside the room for a fault's report, keeps stack on the calling thread
// for a stack overflow's handler, and adds the filter that hands over hardware
// faults that nothing handled outside the program's own code. Once per process.
void StartFaultReporter(FaultReportFunction report);

// The faulting thread's side: starts the reporter thread, hands the fault over
// and waits for the process to end; when the reporter thread cannot start,
// ends the process with the fault's code. Returns only when the reporter is
// not installed. A further fault on another thread meanwhile waits too; a
// fault of the reporter thread itself ends the process at once.
void HandOverFault(EXCEPTION_POINTERS* pointers);

// The reporter thread's side: the fault's dialog is on screen, and the user
// may read it as long as they like.
void FaultDialogShown();

}  // namespace crashreport
