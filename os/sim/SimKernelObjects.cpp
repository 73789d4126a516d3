// The simulated machine's processes and kernel objects: named mutexes, the
// security descriptors that guard them, boundary descriptors and private
// namespaces, the clock and Sleep.
#include "os/sim/SimMachine.h"

#include <algorithm>
#include <cstring>

namespace os::sim {
namespace {

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

// The trustees of an SDDL text of the form "D:P(A;;GA;;;trustee)...": a
// protected DACL of ACEs that allow everything. Nothing else is understood.
std::optional<std::vector<SidValue>> ParseDacl(const std::string& text) {
    if (text.rfind("D:P", 0) != 0) return std::nullopt;
    std::vector<SidValue> allowed;
    std::size_t at = 3;
    while (at < text.size()) {
        const std::size_t end = text.find(')', at);
        if (text[at] != '(' || end == std::string::npos || text.compare(at, 8, "(A;;GA;;") != 0) return std::nullopt;
        const std::optional<SidValue> trustee = ParseTrustee(text.substr(at + 9, end - at - 9));
        if (!trustee || text[at + 8] != ';') return std::nullopt;
        allowed.push_back(*trustee);
        at = end + 1;
    }
    return allowed;
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
        if (mutex.owner == process) mutex = Mutex{0, 0, true, mutex.allowed, mutex.handles};
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
                            securityDescriptors_.size());
}

bool SimMachine::InToken(const SidValue& sid) const {
    if (sid == processUser) return true;
    const std::vector<TokenGroup>& groups = EffectiveGroups();
    return std::any_of(groups.begin(), groups.end(), [&](const TokenGroup& group) {
        return group.sid == sid && (group.attributes & SE_GROUP_ENABLED) && !(group.attributes & SE_GROUP_USE_FOR_DENY_ONLY);
    });
}

bool SimMachine::MayOpen(const Mutex& mutex) const {
    if (!mutex.allowed) return true;
    return std::any_of(mutex.allowed->begin(), mutex.allowed->end(), [&](const SidValue& sid) { return InToken(sid); });
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
    std::optional<std::vector<SidValue>> allowed;
    if (attributes && attributes->lpSecurityDescriptor) {
        const auto descriptor = securityDescriptors_.find(attributes->lpSecurityDescriptor);
        if (attributes->nLength != sizeof(SECURITY_ATTRIBUTES) || descriptor == securityDescriptors_.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        allowed = descriptor->second.allowed;
    }
    // CreateMutexW: an unnamed mutex is one of its own.
    const WString key = name ? WString(name) : WSTR("<unnamed>") + FromUtf8(std::to_string(nextHandle_));
    const auto existing = mutexes_.find(key);
    // CreateMutexW: an existing mutex is opened with MUTEX_ALL_ACCESS, which its
    // security must grant, and bInitialOwner is ignored.
    if (existing != mutexes_.end() && !MayOpen(existing->second)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    Mutex& mutex = mutexes_[key];
    if (existing == mutexes_.end()) {
        mutex.allowed = std::move(allowed);
        if (initialOwner) mutex = Mutex{currentProcess, 1, false, mutex.allowed, 0};
    }
    ++mutex.handles;
    const HANDLE handle = NewHandle();
    mutexHandles_[handle] = MutexHandle{key, currentProcess};
    SetLastError(existing != mutexes_.end() ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
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
    const std::optional<std::vector<SidValue>> allowed = text ? ParseDacl(ToUtf8(text)) : std::nullopt;
    if (!allowed || !descriptor) return FailWithLastError(ERROR_INVALID_PARAMETER);
    *descriptor = new BYTE(0);
    securityDescriptors_[*descriptor] = SecurityDescriptor{*allowed, currentProcess};
    if (size) *size = 20 + 8 * static_cast<ULONG>(allowed->size());
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
