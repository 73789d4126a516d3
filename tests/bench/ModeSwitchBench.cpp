// A click on a mode on the simulated machine: the switch with all three
// settings enabled, as an administrator has them (options read again, the
// settings recorded, then written), and the read of the mode that the window
// then shows, each under the change lock. The machine's own work is a map lookup, so
// this measures the engine and the options around the calls.
#include "os/WinApi.h"
#include "os/sim/SimMachine.h"
#include "settings/Options.h"
#include "switching/Switch.h"

#include <benchmark/benchmark.h>

namespace {

void SwitchMode(benchmark::State& state) {
    os::sim::SimMachine machine;
    os::ScopedMachine scope(machine);
    machine.SetString(HKEY_LOCAL_MACHINE, WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"),
                      WSTR("DefaultUserName"), WSTR("alice"));
    settings::TOptions options(false, WSTR("SOFTWARE\\Vantrel\\Gatewise"));
    options.SetAutochangeStartup(true);
    options.SetAutochangeStandby(true);
    options.SetAutochangeScreenSaver(true);
    bool secure = false;
    for (auto _ : state) {
        const settings::TPromptMode mode = secure ? settings::pmSecure : settings::pmRelaxed;
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        switching::SwitchMode(options, mode, lock);
        if (options.GetCurrentMode() != mode) state.SkipWithError("the mode did not change");
        secure = !secure;
        machine.ClearCalls();
    }
}
BENCHMARK(SwitchMode)->Unit(benchmark::kMicrosecond);

}  // namespace
