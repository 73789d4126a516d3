// The simulated machine's processes and kernel objects: named mutexes, the
// security descriptors that guard them, boundary descriptors and private
// namespaces, the clock and Sleep.
#include "os/sim/SimMachine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace os::sim {
namespace {

std::string Hex(unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", value);
    return text;
}

std::string Text(LPCWSTR text) { return text ? ToUtf8(text) : std::string("(null)"); }

SidValue SidOf(PSID sid) {
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    SidValue value;
    std::memcpy(value.authority, bytes + 2, 6);
    value.subAuthorities.resize(bytes[1]);
    std::memcpy(value.subAuthorities.data(), bytes + 8, 4 * value.subAuthorities.size());
    return value;
}

// "S-1-5-21-1-2-3-1001" and the SDDL aliases the program uses; nullopt for
// any other text.
std::optional<SidValue> ParseTrustee(const std::string& text) {
    if (text == "SY") return LocalSystemSid();
    if (text == "BA") return AdministratorsSid();
    if (text.rfind("S-1-", 0) != 0) return std::nullopt;
    SidValue sid;
    std::size_t at = 4;
    bool authority = true;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find('-', at), text.size());
        const std::string part = text.substr(at, end - at);
        if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
        const unsigned long long value = std::stoull(part);
        if (authority) {
            for (int i = 5; i >= 0; --i) sid.authority[5 - i] = static_cast<BYTE>(value >> (8 * i));
            authority = false;
        } else {
            sid.subAuthorities.push_back(static_cast<DWORD>(value));
        }
        at = end + 1;
    }
    return sid;
}

struct ParsedDescriptor {
    std::optional<SidValue> owner;
    std::vector<AllowedAce> allowed;
};

// "GA" (for a mutex, MUTEX_ALL_ACCESS) or a hexadecimal mask "0x...".
std::optional<DWORD> ParseRights(const std::string& text) {
    if (text == "GA") return MUTEX_ALL_ACCESS;
    if (text.size() < 3 || text.compare(0, 2, "0x") != 0 ||
        text.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos)
        return std::nullopt;
    return static_cast<DWORD>(std::stoul(text.substr(2), nullptr, 16));
}

// An SDDL text of the form "[O:owner]D:P(A;;rights;;;trustee)...": an owner
// and a protected DACL of access-allowed ACEs. Nothing else is understood.
std::optional<ParsedDescriptor> ParseDescriptor(const std::string& text) {
    ParsedDescriptor parsed;
    std::size_t at = 0;
    if (text.rfind("O:", 0) == 0) {
        at = text.find("D:");
        if (at == std::string::npos) return std::nullopt;
        parsed.owner = ParseTrustee(text.substr(2, at - 2));
        if (!parsed.owner) return std::nullopt;
    }
    if (text.compare(at, 3, "D:P") != 0) return std::nullopt;
    at += 3;
    while (at < text.size()) {
        const std::size_t end = text.find(')', at);
        if (text.compare(at, 4, "(A;;") != 0 || end == std::string::npos) return std::nullopt;
        const std::size_t rightsEnd = text.find(";;;", at + 4);
        if (rightsEnd == std::string::npos || rightsEnd > end) return std::nullopt;
        const std::optional<DWORD> rights = ParseRights(text.substr(at + 4, rightsEnd - at - 4));
        const std::optional<SidValue> trustee = ParseTrustee(text.substr(rightsEnd + 3, end - rightsEnd - 3));
        if (!rights || !trustee) return std::nullopt;
        parsed.allowed.push_back(AllowedAce{*trustee, *rights});
        at = end + 1;
    }
    return parsed;
}

// The bytes of a SID, as SidOf reads them.
std::vector<BYTE> SidBytes(const SidValue& sid) {
    std::vector<BYTE> bytes(8 + 4 * sid.subAuthorities.size());
    bytes[0] = 1;
    bytes[1] = static_cast<BYTE>(sid.subAuthorities.size());
    std::memcpy(bytes.data() + 2, sid.authority, 6);
    std::memcpy(bytes.data() + 8, sid.subAuthorities.data(), 4 * sid.subAuthorities.size());
    return bytes;
}

}  // namespace

void SimMachine::AsProcess(DWORD process, const std::function<void()>& action) {
    const DWORD previous = currentProcess;
    const DWORD previousError = GetLastError();
    struct Back {
        SimMachine& machine;
        DWORD process;
        DWORD previous;
        DWORD error;
        ~Back() {
            machine.EndProcess(process);
            machine.currentProcess = previous;
            machine.SetLastError(error);
        }
    } back{*this, process, previous, previousError};
    currentProcess = process;
    SetLastError(0);
    action();
}

void SimMachine::EndProcess(DWORD process) {
    // WaitForSingleObject: a mutex whose owning thread ended is abandoned.
    for (auto& [name, mutex] : mutexes_)
        if (mutex.owner == process) {
            mutex.owner = 0;
            mutex.count = 0;
            mutex.abandoned = true;
        }
    std::vector<HANDLE> left;
    for (const auto& [handle, open] : mutexHandles_)
        if (open.process == process) left.push_back(handle);
    for (const auto& [handle, open] : namespaces_)
        if (open.process == process) left.push_back(handle);
    for (const auto& [handle, open] : boundaries_)
        if (open.process == process) left.push_back(handle);
    for (const auto& [handle, open] : securityDescriptors_)
        if (open.process == process) left.push_back(handle);
    for (HANDLE handle : left)
        if (!CloseKernelObject(handle)) FreeSecurityDescriptor(handle);
}

DWORD SimMachine::MutexOwner(WStringView name) const {
    const auto found = mutexes_.find(WString(name));
    return found == mutexes_.end() ? 0 : found->second.owner;
}

std::vector<WString> SimMachine::PrivateNamespaces() const {
    std::vector<WString> prefixes;
    for (const auto& [handle, open] : namespaces_) prefixes.push_back(open.prefix);
    return prefixes;
}

int SimMachine::OpenKernelObjects() const {
    return static_cast<int>(mutexHandles_.size() + boundaries_.size() + namespaces_.size() +
                            securityDescriptors_.size() + ownerDescriptors_.size());
}

bool SimMachine::InToken(const SidValue& sid) const {
    if (sid == processUser) return true;
    const std::vector<TokenGroup>& groups = EffectiveGroups();
    return std::any_of(groups.begin(), groups.end(), [&](const TokenGroup& group) {
        return group.sid == sid && (group.attributes & SE_GROUP_ENABLED) && !(group.attributes & SE_GROUP_USE_FOR_DENY_ONLY);
    });
}

// How DACLs Control Access to an Object: the access allowed by the ACEs of
// the token's user and groups together must cover all that is asked.
bool SimMachine::MayOpen(const Mutex& mutex, DWORD access) const {
    if (!mutex.allowed) return true;
    DWORD granted = 0;
    for (const AllowedAce& ace : *mutex.allowed)
        if (InToken(ace.sid)) granted |= ace.access;
    return (access & ~granted) == 0;
}

bool SimMachine::CloseKernelObject(HANDLE object) {
    if (const auto open = mutexHandles_.find(object); open != mutexHandles_.end()) {
        const auto mutex = mutexes_.find(open->second.name);
        // The object goes with its last handle; its name is free again.
        if (--mutex->second.handles == 0) mutexes_.erase(mutex);
        mutexHandles_.erase(open);
        return true;
    }
    return namespaces_.erase(object) || boundaries_.erase(object);
}

bool SimMachine::FreeSecurityDescriptor(HANDLE memory) {
    if (ownerDescriptors_.erase(memory)) return true;
    const auto found = securityDescriptors_.find(memory);
    if (found == securityDescriptors_.end()) return false;
    delete static_cast<BYTE*>(memory);
    securityDescriptors_.erase(found);
    return true;
}

// ---------------------------------------------------------------- mutexes

HANDLE SimMachine::CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) {
    Log("CreateMutexW", Text(name) + ",owner=" + std::to_string(initialOwner) +
                            ",security=" + (attributes && attributes->lpSecurityDescriptor ? "set" : "default"));
    if (auto code = Injected("CreateMutexW")) {
        SetLastError(*code);
        return nullptr;
    }
    std::optional<std::vector<AllowedAce>> allowed;
    // Owner of a New Object: the token's default owner, its user here, unless
    // the security descriptor names one; only a SID of the caller's token may
    // be named without SE_RESTORE_NAME, which no simulated process holds.
    SidValue objectOwner = processUser;
    if (attributes && attributes->lpSecurityDescriptor) {
        const auto descriptor = securityDescriptors_.find(attributes->lpSecurityDescriptor);
        if (attributes->nLength != sizeof(SECURITY_ATTRIBUTES) || descriptor == securityDescriptors_.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        allowed = descriptor->second.allowed;
        if (const std::optional<SidValue>& named = descriptor->second.owner) {
            if (!InToken(*named)) {
                SetLastError(ERROR_INVALID_OWNER);
                return nullptr;
            }
            objectOwner = *named;
        }
    }
    // CreateMutexW: an unnamed mutex is one of its own.
    const WString key = name ? WString(name) : WSTR("<unnamed>") + FromUtf8(std::to_string(nextHandle_));
    const auto existing = mutexes_.find(key);
    // CreateMutexW: an existing mutex is opened with MUTEX_ALL_ACCESS, which its
    // security must grant, and bInitialOwner is ignored.
    if (existing != mutexes_.end() && !MayOpen(existing->second, MUTEX_ALL_ACCESS)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    Mutex& mutex = mutexes_[key];
    if (existing == mutexes_.end()) {
        mutex.allowed = std::move(allowed);
        mutex.objectOwner = objectOwner;
        if (initialOwner) {
            mutex.owner = currentProcess;
            mutex.count = 1;
        }
    }
    ++mutex.handles;
    const HANDLE handle = NewHandle();
    mutexHandles_[handle] = MutexHandle{key, currentProcess, MUTEX_ALL_ACCESS};
    SetLastError(existing != mutexes_.end() ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

HANDLE SimMachine::OpenMutexW(DWORD access, BOOL inheritHandle, LPCWSTR name) {
    Log("OpenMutexW", Text(name) + ",access=" + Hex(access) + ",inherit=" + std::to_string(inheritHandle));
    if (auto code = Injected("OpenMutexW")) {
        SetLastError(*code);
        return nullptr;
    }
    const auto found = name ? mutexes_.find(WString(name)) : mutexes_.end();
    if (found == mutexes_.end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    // OpenMutexW: fails if the object's security descriptor does not permit the requested access.
    if (!MayOpen(found->second, access)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    ++found->second.handles;
    const HANDLE handle = NewHandle();
    mutexHandles_[handle] = MutexHandle{found->first, currentProcess, access};
    SetLastError(ERROR_SUCCESS);
    return handle;
}

DWORD SimMachine::GetSecurityInfo(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID* owner,
                                  PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
    Log("GetSecurityInfo", std::to_string(type) + "," + Hex(what));
    if (auto code = Injected("GetSecurityInfo")) return *code;
    const auto open = mutexHandles_.find(object);
    if (type != SE_KERNEL_OBJECT || open == mutexHandles_.end()) return ERROR_INVALID_HANDLE;
    // Only the owner is simulated.
    if (what != OWNER_SECURITY_INFORMATION || !owner || !descriptor || group || dacl || sacl)
        return ERROR_INVALID_PARAMETER;
    // GetSecurityInfo: the handle must have READ_CONTROL access to read the owner.
    if (!(open->second.access & READ_CONTROL)) return ERROR_ACCESS_DENIED;
    std::vector<BYTE> sid = SidBytes(mutexes_.at(open->second.name).objectOwner);
    PSECURITY_DESCRIPTOR memory = sid.data();
    ownerDescriptors_[memory] = std::move(sid);
    *owner = memory;
    *descriptor = memory;
    return ERROR_SUCCESS;
}

HRESULT SimMachine::CoCreateGuid(GUID* guid) {
    Log("CoCreateGuid");
    if (auto code = Injected("CoCreateGuid")) return static_cast<HRESULT>(*code);
    if (!guid) return static_cast<HRESULT>(0x80070057);  // E_INVALIDARG
    *guid = GUID{nextGuid_++, 0x1D2C, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x40, 0x51}};
    return S_OK;
}

BOOL SimMachine::ReleaseMutex(HANDLE handle) {
    Log("ReleaseMutex");
    if (auto code = Injected("ReleaseMutex")) return FailWithLastError(*code);
    const auto open = mutexHandles_.find(handle);
    if (open == mutexHandles_.end()) return FailWithLastError(ERROR_INVALID_HANDLE);
    Mutex& mutex = mutexes_.at(open->second.name);
    // ReleaseMutex: only the owning thread may release it.
    if (mutex.owner != currentProcess) return FailWithLastError(ERROR_NOT_OWNER);
    if (--mutex.count == 0) mutex.owner = 0;
    return TRUE;
}

std::optional<DWORD> SimMachine::WaitForMutex(HANDLE object, DWORD milliseconds) {
    const auto open = mutexHandles_.find(object);
    if (open == mutexHandles_.end()) return std::nullopt;
    Mutex& mutex = mutexes_.at(open->second.name);
    if (mutex.owner == currentProcess) {
        ++mutex.count;  // WaitForSingleObject: the owner may wait again without blocking
        return WAIT_OBJECT_0;
    }
    if (mutex.owner == 0) {
        const bool abandoned = mutex.abandoned;
        mutex.owner = currentProcess;
        mutex.count = 1;
        mutex.abandoned = false;
        return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
    }
    // Nothing else runs meanwhile unless a test's beforeCall made it: the wait
    // ends when its time is up. (A wait without end would never return.)
    tickCount += milliseconds;
    return WAIT_TIMEOUT;
}

void SimMachine::Sleep(DWORD milliseconds) {
    Log("Sleep", std::to_string(milliseconds));
    tickCount += milliseconds;
}

DWORD SimMachine::GetTickCount() {
    Log("GetTickCount");
    return tickCount;
}

BOOL SimMachine::ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD revision,
                                                                      PSECURITY_DESCRIPTOR* descriptor, PULONG size) {
    Log("ConvertStringSecurityDescriptorToSecurityDescriptorW", Text(text) + ",revision=" + std::to_string(revision));
    if (auto code = Injected("ConvertStringSecurityDescriptorToSecurityDescriptorW")) return FailWithLastError(*code);
    // ConvertStringSecurityDescriptorToSecurityDescriptor: the revision must be SDDL_REVISION_1.
    if (revision != SDDL_REVISION_1) return FailWithLastError(ERROR_UNKNOWN_REVISION);
    const std::optional<ParsedDescriptor> parsed = text ? ParseDescriptor(ToUtf8(text)) : std::nullopt;
    if (!parsed || !descriptor) return FailWithLastError(ERROR_INVALID_PARAMETER);
    *descriptor = new BYTE(0);
    securityDescriptors_[*descriptor] = SecurityDescriptor{parsed->owner, parsed->allowed, currentProcess};
    if (size) *size = 20 + 8 * static_cast<ULONG>(parsed->allowed.size());
    return TRUE;
}

// ---------------------------------------------------------------- private namespaces

HANDLE SimMachine::CreateBoundaryDescriptorW(LPCWSTR name, ULONG flags) {
    Log("CreateBoundaryDescriptorW", Text(name) + "," + std::to_string(flags));
    if (auto code = Injected("CreateBoundaryDescriptorW")) {
        SetLastError(*code);
        return nullptr;
    }
    // CreateBoundaryDescriptorW: the one flag adds the app container's SID (Windows 8 and later).
    if (!name || flags > 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const HANDLE handle = NewHandle();
    boundaries_[handle] = Boundary{{}, currentProcess};
    return handle;
}

BOOL SimMachine::AddSIDToBoundaryDescriptor(HANDLE* boundary, PSID sid) {
    Log("AddSIDToBoundaryDescriptor");
    if (auto code = Injected("AddSIDToBoundaryDescriptor")) return FailWithLastError(*code);
    const auto found = boundary ? boundaries_.find(*boundary) : boundaries_.end();
    if (found == boundaries_.end() || !sid) return FailWithLastError(ERROR_INVALID_PARAMETER);
    found->second.sids.push_back(SidOf(sid));
    return TRUE;
}

void SimMachine::DeleteBoundaryDescriptor(HANDLE boundary) {
    Log("DeleteBoundaryDescriptor");
    boundaries_.erase(boundary);
}

HANDLE SimMachine::CreatePrivateNamespaceW(LPSECURITY_ATTRIBUTES attributes, LPVOID boundary, LPCWSTR prefix) {
    Log("CreatePrivateNamespaceW", Text(prefix) + ",security=" +
                                       (attributes && attributes->lpSecurityDescriptor ? "set" : "default"));
    if (auto code = Injected("CreatePrivateNamespaceW")) {
        SetLastError(*code);
        return nullptr;
    }
    const auto found = boundaries_.find(boundary);
    // CreateBoundaryDescriptorW: a boundary must hold at least one SID.
    if (found == boundaries_.end() || found->second.sids.empty() || !prefix) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::vector<SidValue>& sids = found->second.sids;
    // CreatePrivateNamespaceW: the caller must be within the boundary (the
    // documentation names no error code; access denied is our choice).
    if (!std::all_of(sids.begin(), sids.end(), [&](const SidValue& sid) { return InToken(sid); })) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    // Object Namespaces: a namespace is its name and its boundary together.
    for (const auto& [handle, open] : namespaces_)
        if (EqualsIgnoringCase(open.prefix, WString(prefix)) && open.boundary == sids) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return nullptr;
        }
    const HANDLE handle = NewHandle();
    namespaces_[handle] = PrivateNamespace{prefix, sids, currentProcess};
    return handle;
}

BOOLEAN SimMachine::ClosePrivateNamespace(HANDLE handle, ULONG flags) {
    Log("ClosePrivateNamespace", std::to_string(flags));
    if (Injected("ClosePrivateNamespace")) return FALSE;
    // CreatePrivateNamespaceW: once its creator's handle is closed, the
    // namespace can no longer be found by its name.
    if (!namespaces_.erase(handle)) return FailWithLastError(ERROR_INVALID_HANDLE);
    return TRUE;
}

}  // namespace os::sim
