#pragma once
// Recording the call stack of a raise: the raise address first, then every
// value of the raising thread's stack, from its stack pointer upward, that is
// a return address into a known module.

#include "crashreport/ReportText.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace crashreport {

inline constexpr int kDeepestCallStack = 100;

// What the recording needs to know about the process the stack belongs to.
class AddressInspector {
public:
    virtual ~AddressInspector() = default;
    // File name of the module that holds `address`; empty when none does.
    virtual std::string ModuleName(std::uintptr_t address) = 0;
    // True when `address` points into executable code and the bytes before it form a call.
    virtual bool IsReturnAddress(std::uintptr_t address) = 0;
    // Debug information for the instruction at `address`, or, when `afterCall`,
    // for the call instruction that ends just before it.
    virtual SourceLocation Locate(std::uintptr_t address, bool afterCall) = 0;
};

// At most `limit` entries; consecutive equal addresses become one entry with
// a repeat count. `raiseIsReturnAddress` tells whether the raise address is
// the return address of a call (a throw) or the faulting instruction itself.
std::vector<StackEntry> RecordCallStack(std::uintptr_t raiseAddress, bool raiseIsReturnAddress,
                                        std::span<const std::uintptr_t> stack, AddressInspector& inspector,
                                        int limit = kDeepestCallStack);

}  // namespace crashreport
