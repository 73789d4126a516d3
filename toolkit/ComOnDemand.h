#pragma once
// COM is started by the features that need it, on their own thread, right
// before their first COM call: the shell's and the help viewer's calls and
// the answers to screen readers. Nothing starts it at start-up, and ole32,
// which holds it, is bound at its first call (cmake/DelayLoad.cmake).

namespace toolkit {

// Initialises COM on the calling thread, apartment-threaded as the shell asks
// ("CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)"
// before ShellExecuteEx), the first time it is called there; later calls do
// nothing. When COM cannot be had the caller goes on: its COM calls then fail
// on their own.
void StartComOnThisThread();

// Held for the run of a thread (wWinMain's): ends the COM that
// StartComOnThisThread started on that thread, when it goes.
class ComStartedOnDemand {
public:
    ComStartedOnDemand() = default;
    ~ComStartedOnDemand();
    ComStartedOnDemand(const ComStartedOnDemand&) = delete;
    ComStartedOnDemand& operator=(const ComStartedOnDemand&) = delete;
};

}  // namespace toolkit
