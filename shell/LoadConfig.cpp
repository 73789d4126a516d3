// The program's load configuration. Its DependentLoadFlags make Windows (10
// 1607 and later) look for the DLLs that the program imports at load time in
// the system folder only, never beside the program, where a planted DLL would
// run with the program's rights.
//
// GNU ld keeps this structure but leaves the image's load-configuration entry
// empty; the build fills it after the link (cmake/LoadConfig.cmake). MSVC's
// runtime brings its own structure: there the linker option
// /DEPENDENTLOADFLAG:0x800 does the same. A 32-bit image would also need its
// safe exception handler table here, so only the 64-bit one carries it.

#if defined(__MINGW32__) && defined(_WIN64)

#include <windows.h>

namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY64 LoadConfiguration() {
    IMAGE_LOAD_CONFIG_DIRECTORY64 configuration{};
    configuration.Size = sizeof configuration;
    configuration.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;  // DependentLoadFlags in newer SDKs
    return configuration;
}

}  // namespace

extern "C" __attribute__((used)) const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = LoadConfiguration();

#endif
