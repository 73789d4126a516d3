#include "engine/ChangeLock.h"

#include "engine/ConsoleUser.h"
#include "engine/LateBinding.h"
#include "engine/OsError.h"
#include "engine/SecurityHandles.h"
#include "os/Text.h"
#include "os/WinApi.h"

#include <optional>

namespace engine {
namespace {

// The mutexes live in the global namespace, seen from every session; their
// names differ from the window's "Global\GatewiseMutex".
const WCHAR kPerUserMutexPrefix[] = WSTR("Global\\Gatewise.Changes.");
const WCHAR kMachineWideMutex[] = WSTR("Global\\Gatewise.Changes.Machine");
const WCHAR kBoundaryName[] = WSTR("Gatewise");
const WCHAR kMachineWideNamespace[] = WSTR("Gatewise.MachineChanges");
// Full access for LocalSystem and the Administrators group, and nobody else.
const char kAdministratorsOnly[] = "D:P(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr DWORD kNamespacePollMilliseconds = 50;

[[noreturn]] void RaiseLockError(DWORD code) {
    throw EOSError("The lock that keeps Gatewise changes one at a time cannot be taken: " + SysErrorMessage(code),
                   code);
}

SecurityDescriptor DescriptorOf(const std::string& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!os::Api().ConvertStringSecurityDescriptorToSecurityDescriptorW(os::FromUtf8(sddl).c_str(), SDDL_REVISION_1,
                                                                        &descriptor, nullptr))
        RaiseLockError(os::Api().GetLastError());
    return SecurityDescriptor(descriptor);
}

struct BoundaryTraits {
    using Handle = HANDLE;
    static void Close(HANDLE boundary) { late::DeleteBoundaryDescriptor(boundary); }
};
using BoundaryDescriptor = os::UniqueHandle<BoundaryTraits>;

struct PrivateNamespaceTraits {
    using Handle = HANDLE;
    // The name is free at once for the next change.
    static void Close(HANDLE space) { late::ClosePrivateNamespace(space, PRIVATE_NAMESPACE_FLAG_DESTROY); }
};
using PrivateNamespace = os::UniqueHandle<PrivateNamespaceTraits>;

bool HasPrivateNamespaces() {
    return late::CreateBoundaryDescriptorW.Available() && late::AddSIDToBoundaryDescriptor.Available() &&
           late::DeleteBoundaryDescriptor.Available() && late::CreatePrivateNamespaceW.Available() &&
           late::ClosePrivateNamespace.Available();
}

}  // namespace

EChangeInProgress::EChangeInProgress()
    : Exception("Another Gatewise change is in progress; nothing was changed.") {}

class TChangeLock::Part {
public:
    virtual ~Part() = default;
};

namespace {

// What is left of the 10 seconds that began at `start`.
DWORD Remaining(DWORD start) {
    const DWORD elapsed = os::Api().GetTickCount() - start;
    return elapsed >= kChangeLockMilliseconds ? 0 : kChangeLockMilliseconds - elapsed;
}

// A mutex owned from the wait until it is released.
class MutexPart final : public TChangeLock::Part {
public:
    MutexPart(const os::WString& name, const std::string& sddl, DWORD start) {
        const SecurityDescriptor descriptor = DescriptorOf(sddl);
        SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.get(), FALSE};
        mutex_ = KernelHandle(os::Api().CreateMutexW(&attributes, FALSE, name.c_str()));
        if (!mutex_) RaiseLockError(os::Api().GetLastError());
        switch (os::Api().WaitForSingleObject(mutex_.get(), Remaining(start))) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // its holder ended in the middle of a change, which its record tells
            return;
        case WAIT_TIMEOUT:
            throw EChangeInProgress();
        default:
            RaiseLockError(os::Api().GetLastError());
        }
    }
    ~MutexPart() override { os::Api().ReleaseMutex(mutex_.get()); }

private:
    KernelHandle mutex_;
};

// The private namespace, which is held by whoever created it: another
// process's create fails with ERROR_ALREADY_EXISTS until it is closed.
class NamespacePart final : public TChangeLock::Part {
public:
    explicit NamespacePart(DWORD start) : boundary_(late::CreateBoundaryDescriptorW(kBoundaryName, 0)) {
        if (!boundary_) RaiseLockError(late::GetLastError());
        SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
        PSID administrators = nullptr;
        if (!late::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                            0, 0, 0, 0, 0, &administrators))
            RaiseLockError(late::GetLastError());
        const Sid sid(administrators);
        HANDLE boundary = boundary_.get();
        if (!late::AddSIDToBoundaryDescriptor(&boundary, sid.get())) RaiseLockError(late::GetLastError());
        boundary_.release();
        boundary_ = BoundaryDescriptor(boundary);
        const SecurityDescriptor descriptor = DescriptorOf(kAdministratorsOnly);
        SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.get(), FALSE};
        for (;;) {
            space_ = PrivateNamespace(late::CreatePrivateNamespaceW(&attributes, boundary_.get(), kMachineWideNamespace));
            if (space_) return;
            const DWORD error = late::GetLastError();
            if (error != ERROR_ALREADY_EXISTS) RaiseLockError(error);
            if (Remaining(start) == 0) throw EChangeInProgress();
            os::Api().Sleep(kNamespacePollMilliseconds);
        }
    }

private:
    BoundaryDescriptor boundary_;
    PrivateNamespace space_;  // closed before the boundary it was made with
};

}  // namespace

TChangeLock::TChangeLock(unsigned parts) : start_(os::Api().GetTickCount()) {
    if (parts & lpPerUser) {
        if (const std::optional<os::WString> sid = PerUserTargetSid())
            perUser_ = std::make_unique<MutexPart>(kPerUserMutexPrefix + *sid,
                                                   std::string(kAdministratorsOnly) + "(A;;GA;;;" + os::ToUtf8(*sid) +
                                                       ")",
                                                   start_);
    }
    if (parts & lpMachineWide) TakeMachineWide();
}

TChangeLock::~TChangeLock() {
    machineWide_.reset();
    perUser_.reset();
}

void TChangeLock::TakeMachineWide() {
    if (machineWide_) return;
    if (HasPrivateNamespaces())
        machineWide_ = std::make_unique<NamespacePart>(start_);
    else
        machineWide_ = std::make_unique<MutexPart>(kMachineWideMutex, kAdministratorsOnly, start_);
}

}  // namespace engine
