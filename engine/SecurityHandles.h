#pragma once
// Owned security handles: a SID from AllocateAndInitializeSid, and kernel
// handles closed by CloseHandle (tokens, processes, threads), and security
// descriptors that Windows allocates with LocalAlloc.

#include "engine/LateBinding.h"
#include "os/UniqueHandle.h"
#include "os/WinApi.h"

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

// From ConvertStringSecurityDescriptorToSecurityDescriptorW or GetSecurityInfo.
struct LocalMemoryTraits {
    using Handle = PSECURITY_DESCRIPTOR;
    static void Close(PSECURITY_DESCRIPTOR memory) { os::Api().LocalFree(memory); }
};
using SecurityDescriptor = os::UniqueHandle<LocalMemoryTraits>;

}  // namespace engine
