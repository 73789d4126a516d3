#pragma once
// Owned security handles: a SID from AllocateAndInitializeSid and a token.

#include "engine/LateBinding.h"
#include "os/UniqueHandle.h"

namespace engine {

struct SidTraits {
    using Handle = PSID;
    static void Close(PSID sid) { late::FreeSid(sid); }
};
using Sid = os::UniqueHandle<SidTraits>;

struct TokenTraits {
    using Handle = HANDLE;
    static void Close(HANDLE token) { late::CloseHandle(token); }
};
using Token = os::UniqueHandle<TokenTraits>;

}  // namespace engine
