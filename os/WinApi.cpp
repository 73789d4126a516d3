#include "os/WinApi.h"

#include <cstdio>
#include <cstdlib>

namespace os {
namespace {

WinApi* DefaultMachine() {
#ifdef _WIN32
    return &Windows();
#else
    return nullptr;
#endif
}

WinApi*& CurrentMachine() {
    static WinApi* machine = DefaultMachine();
    return machine;
}

unsigned& Generation() {
    static unsigned generation = 1;
    return generation;
}

}  // namespace

WinApi& Api() {
    WinApi* machine = CurrentMachine();
    if (!machine) {
        std::fputs("gatewise: no machine in place (native builds need an os::ScopedMachine)\n", stderr);
        std::abort();
    }
    return *machine;
}

unsigned MachineGeneration() { return Generation(); }

ScopedMachine::ScopedMachine(WinApi& machine) : previous_(CurrentMachine()) {
    CurrentMachine() = &machine;
    ++Generation();
}

ScopedMachine::~ScopedMachine() {
    CurrentMachine() = previous_;
    ++Generation();
}

}  // namespace os
