#include "engine/ProtectedPassword.h"

#include "engine/Exception.h"
#include "engine/LateBinding.h"
#include "os/UniqueHandle.h"

#include <cstdio>

namespace engine {
namespace {

// The key name as the logon service knows it; 15 characters, 30 bytes.
WCHAR kSecretName[] = WSTR("DefaultPassword");

struct LsaPolicyTraits {
    using Handle = LSA_HANDLE;
    static void Close(LSA_HANDLE policy) { late::LsaClose(policy); }
};
using LsaPolicy = os::UniqueHandle<LsaPolicyTraits>;

// A buffer that the LSA allocated; its text is wiped before it goes back.
struct LsaSecretTraits {
    using Handle = PLSA_UNICODE_STRING;
    static void Close(PLSA_UNICODE_STRING secret) {
        if (secret->Buffer) os::SecureWipe(secret->Buffer, secret->Length);
        late::LsaFreeMemory(secret);
    }
};
using LsaSecretBuffer = os::UniqueHandle<LsaSecretTraits>;

[[noreturn]] void RaiseLsaError(const char* function, ULONG code) {
    char message[96];
    std::snprintf(message, sizeof message, "Failed call to %s: %lX", function, static_cast<unsigned long>(code));
    throw EOSError(message, 0);
}

LSA_HANDLE OpenPolicy() {
    LSA_OBJECT_ATTRIBUTES attributes{};
    LSA_HANDLE policy = nullptr;
    NTSTATUS status = late::LsaOpenPolicy(nullptr, &attributes, POLICY_CREATE_SECRET, &policy);
    if (status != STATUS_SUCCESS) RaiseLsaError("LsaOpenPolicy", late::LsaNtStatusToWinError(status));
    return policy;
}

LSA_UNICODE_STRING SecretName() {
    const USHORT length = static_cast<USHORT>((sizeof kSecretName / sizeof kSecretName[0] - 1) * sizeof(WCHAR));
    return LSA_UNICODE_STRING{length, static_cast<USHORT>(length + sizeof(WCHAR)), kSecretName};
}

ULONG StoreOrDelete(LSA_HANDLE policy, const os::SecretString& password) {
    LSA_UNICODE_STRING name = SecretName();
    if (password.empty()) {
        NTSTATUS status = late::LsaStorePrivateData(policy, &name, nullptr);
        return status == STATUS_OBJECT_NAME_NOT_FOUND ? ERROR_SUCCESS : late::LsaNtStatusToWinError(status);
    }
    // An LSA string counts bytes in 16 bits; a longer text cannot be stored whole.
    const std::size_t bytes = password.size() * sizeof(WCHAR);
    if (bytes + sizeof(WCHAR) > 0xFFFF) return ERROR_INVALID_PARAMETER;
    LSA_UNICODE_STRING data{static_cast<USHORT>(bytes), static_cast<USHORT>(bytes + sizeof(WCHAR)),
                            const_cast<PWSTR>(password.c_str())};
    return late::LsaNtStatusToWinError(late::LsaStorePrivateData(policy, &name, &data));
}

}  // namespace

bool StorePasswordSecret(const os::SecretString& password) {
    ULONG code;
    {
        LsaPolicy policy(OpenPolicy());
        code = StoreOrDelete(policy.get(), password);
    }
    if (code != ERROR_SUCCESS) RaiseLsaError("LsaStorePrivateData", code);
    return true;
}

os::SecretString RetrievePasswordSecret() {
    os::SecretString password;
    ULONG code = ERROR_SUCCESS;
    {
        LsaPolicy policy(OpenPolicy());
        LSA_UNICODE_STRING name = SecretName();
        PLSA_UNICODE_STRING data = nullptr;
        NTSTATUS status = late::LsaRetrievePrivateData(policy.get(), &name, &data);
        LsaSecretBuffer buffer(data);
        if (status == STATUS_SUCCESS) {
            if (data && data->Buffer)
                password = os::SecretString(data->Buffer, data->Length / sizeof(WCHAR));
        } else if (status != STATUS_OBJECT_NAME_NOT_FOUND) {
            code = late::LsaNtStatusToWinError(status);
        }
    }
    if (code != ERROR_SUCCESS) RaiseLsaError("LsaRetrievePrivateData", code);
    return password;
}

}  // namespace engine
