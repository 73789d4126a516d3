#pragma once
// The running process as the call-stack recording sees it: which memory holds
// code, which module an address belongs to, and what the module's symbol file
// says about it. Modules are registered once per process, under their own lock.

#include "crashreport/CallStack.h"
#include "crashreport/ReportText.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace crashreport {

// The full path of a loaded module (null: the program); empty when none is loaded there.
std::wstring ModuleFilePath(HMODULE module);

// The path with its extension, if any, replaced by `extension` (".LOG").
std::wstring WithExtension(const std::wstring& path, const wchar_t* extension);

// Copies `size` bytes at `address` of this process; false when any is unreadable.
bool ReadProcessBytes(std::uintptr_t address, void* out, std::size_t size);

class ProcessView final : public AddressInspector {
public:
    std::string ModuleName(std::uintptr_t address) override;
    bool IsReturnAddress(std::uintptr_t address) override;
    SourceLocation Locate(std::uintptr_t address, bool afterCall) override;

    // True when the module of `address` has a symbol file that belongs to it.
    bool HasDebugInformation(std::uintptr_t address);

    // Every module registered so far in this process, in registration order.
    static std::vector<ModuleLine> RegisteredModules();

private:
    struct Region {
        std::uintptr_t start, end, allocationBase;
        bool committed, executable;
    };
    const Region* RegionOf(std::uintptr_t address);

    std::map<std::uintptr_t, Region> regions_;  // memory already queried during this report, by start
};

}  // namespace crashreport
