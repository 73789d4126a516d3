#pragma once
// Windows functions that the toolkit does without where they are missing:
// those of newer Windows versions, and those of DLLs that the program does
// not import at load time. They are bound on first use through the engine's
// late binding, which loads a DLL from the system folder only.

#include "engine/Exception.h"
#include "engine/LateBinding.h"
#include "os/LateBoundTypes.h"

namespace toolkit {

// The function, or null when its DLL or the function is missing.
template <typename Function>
Function OptionalFunction(engine::OsFunctionSlot& slot, const char* libraryName, const char* functionName) {
    try {
        engine::BindOsFunction(slot, libraryName, functionName);
    } catch (const engine::EJwaError&) {
        return nullptr;
    }
    return os::FromFarProc<Function>(slot.address);
}

}  // namespace toolkit
