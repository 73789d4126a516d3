#pragma once
// Each test starts from a fresh simulated Windows machine, put in place for the
// test's duration. Every test ends by checking that nothing was left open.

#include "os/WinApi.h"
#include "os/sim/SimMachine.h"

#include <gtest/gtest.h>

#include <string>

class MachineTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(machine.OpenHandles(), 0) << "handles left open"; }

    // The logon service's key, as the engine opens it.
    static constexpr const WCHAR* kWinlogon = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
    static constexpr const WCHAR* kDesktop = WSTR("Control Panel\\Desktop");

    void SetWinlogon(const WCHAR* name, const WCHAR* text) { machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, name, text); }
    std::optional<os::WString> Winlogon(const WCHAR* name) const {
        return machine.String(HKEY_LOCAL_MACHINE, kWinlogon, name);
    }
    void UseWindowsXp() {
        machine.majorVersion = 5;
        machine.minorVersion = 1;
    }
    // The argument texts of the calls made to `function`, joined by " | ".
    std::string Args(const std::string& function) const {
        std::string joined;
        for (const std::string& args : machine.CallsTo(function)) joined += (joined.empty() ? "" : " | ") + args;
        return joined;
    }

    os::sim::SimMachine machine;
    os::ScopedMachine scope{machine};
};

// Runs `action`, which must raise `Exception`, and returns its message.
template <typename Exception, typename Action>
std::string MessageOf(Action action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.what();
    }
    ADD_FAILURE() << "nothing was raised";
    return {};
}
