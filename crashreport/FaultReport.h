#pragma once
// Hardware faults: an access violation, a stack overflow, an illegal
// instruction, a division by zero. The thread that meets one cannot go on, and
// after a stack overflow it has too little stack left even to write the
// report. So a reporter thread, started with the exception reporter, waits for
// a faulting thread's signal and reports for it while that thread waits; then
// the process ends with the fault's exception code, whichever button closed
// the dialog, so that no caller mistakes a crash for success.
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

// Starts the reporter thread, and adds the filter that hands over hardware
// faults that nothing handled outside the program's own code. Once per process.
void StartFaultReporter(FaultReportFunction report);

// The faulting thread's side: hands the fault over and waits for the process
// to end. Returns only when no reporter thread runs. A further fault on
// another thread meanwhile waits too; a fault of the reporter thread itself
// ends the process at once.
void HandOverFault(EXCEPTION_POINTERS* pointers);

// The reporter thread's side: the fault's dialog is on screen, and the user
// may read it as long as they like.
void FaultDialogShown();

}  // namespace crashreport
