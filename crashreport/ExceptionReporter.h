#pragma once
// The process-wide exception reporter (Windows build only).
//
// InstallExceptionReporter() is called once by the program body at start-up,
// before any window exists. From then on every raise of an exception on any
// thread is remembered for that thread (processor context and stack), and
// ReportException() turns the last one into a report: an entry appended to
// the log file beside the program ("<program>.LOG") and the modal
// "Application Error" dialog with the message and the call stack.
//
// ReportException() is the application's default error display: the toolkit
// calls it for every exception that no code of the program handled, from the
// catch block at the boundary of the message it was dispatching:
//
//     catch (...) { crashreport::ReportException(std::current_exception()); }
//
// It returns when the user closes the dialog with "OK" or Escape; "Terminate"
// ends the process at once with exit code 1, so that a caller never reads an
// error as success. Reports are made one at a time; it never throws. An
// exception that the program catches and handles itself leaves no trace.
//
// Hardware faults (access violations, stack overflows, illegal instructions,
// divisions by zero...) in the program's code on any thread, and those that
// nothing handles elsewhere, are reported too, by a thread of the reporter's
// own; after such a report the process ends with the fault's exception code,
// whether "OK" or "Terminate" closed the dialog. A report whose dialog does not
// show within a few seconds (the faulting thread held a lock that it needs)
// ends the process with that code too, so that it never hangs.

#include <exception>

namespace crashreport {

void InstallExceptionReporter();

// Reports `exception` (a null pointer is ignored). The class name shown is the
// dynamic type's unqualified name ("EOSError"); the message is what() for a
// std::exception and empty otherwise.
void ReportException(std::exception_ptr exception) noexcept;

}  // namespace crashreport
