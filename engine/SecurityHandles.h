#pragma once
// Owned security handles: a SID from AllocateAndInitializeSid, and kernel
// handles closed by CloseHandle (tokens, processes, threads).

#include "engine/LateBinding.h"
#include "os/UniqueHandle.h"

namespace engine {

struct SidTraits {
    using Handle = PSID;
    static void Close(PSID sid) { late::FreeSid(sid); }
};
using Sid = os::UniqueHandle<SidTraits>;

struct KernelHandleTraits {
    using Handle = HANDLE;
    static void Close(HANDLE handle) { late::CloseHandle(handle); }
};
using KernelHandle = os::UniqueHandle<KernelHandleTraits>;
using Token = KernelHandle;

}  // namespace engine
