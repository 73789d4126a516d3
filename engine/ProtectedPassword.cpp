#include "engine/ProtectedPassword.h"

#include "engine/Exception.h"
#include "engine/LateBinding.h"
#include "engine/OsError.h"
#include "os/UniqueHandle.h"

#include <cstdio>

namespace engine {
namespace {

// The key name as the logon service knows it; 15 characters, 30 bytes.
constexpr os::WStringView kPasswordKeyName = WSTR("DefaultPassword");

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
    const std::string text = SysErrorMessage(code);
    throw EOSError(text.empty() ? std::string(message) : message + ("\r\n" + text), code);
}

// Storing asks for POLICY_CREATE_SECRET, which LsaStorePrivateData needs for
// a new entry; reading for POLICY_GET_PRIVATE_INFORMATION, which
// LsaRetrievePrivateData needs. An administrator holds both.
LSA_HANDLE OpenPolicy(ACCESS_MASK access) {
    LSA_OBJECT_ATTRIBUTES attributes{};
    LSA_HANDLE policy = nullptr;
    NTSTATUS status = late::LsaOpenPolicy(nullptr, &attributes, access, &policy);
    if (status != STATUS_SUCCESS) RaiseLsaError("LsaOpenPolicy", late::LsaNtStatusToWinError(status));
    return policy;
}

// The key name as an LSA string over `text`, which must stay alive and terminated.
LSA_UNICODE_STRING KeyName(const os::WString& text) {
    const USHORT length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    return LSA_UNICODE_STRING{length, static_cast<USHORT>(length + sizeof(WCHAR)), const_cast<PWSTR>(text.c_str())};
}

ULONG StoreOrDelete(LSA_HANDLE policy, const os::WString& keyName, const os::SecretString& data) {
    LSA_UNICODE_STRING name = KeyName(keyName);
    if (data.empty()) {
        NTSTATUS status = late::LsaStorePrivateData(policy, &name, nullptr);
        return status == STATUS_OBJECT_NAME_NOT_FOUND ? ERROR_SUCCESS : late::LsaNtStatusToWinError(status);
    }
    // An LSA string counts bytes in 16 bits; a longer text cannot be stored whole.
    const std::size_t bytes = data.size() * sizeof(WCHAR);
    if (bytes + sizeof(WCHAR) > 0xFFFF) return ERROR_INVALID_PARAMETER;
    LSA_UNICODE_STRING value{static_cast<USHORT>(bytes), static_cast<USHORT>(bytes + sizeof(WCHAR)),
                             const_cast<PWSTR>(data.c_str())};
    return late::LsaNtStatusToWinError(late::LsaStorePrivateData(policy, &name, &value));
}

}  // namespace

bool StorePasswordSecret(const os::SecretString& password) {
    StorePrivateData(kPasswordKeyName, password);
    return true;
}

os::SecretString RetrievePasswordSecret() { return RetrievePrivateData(kPasswordKeyName); }

void StorePrivateData(os::WStringView keyName, const os::SecretString& data) {
    const os::WString key(keyName);
    ULONG code;
    {
        LsaPolicy policy(OpenPolicy(POLICY_CREATE_SECRET));
        code = StoreOrDelete(policy.get(), key, data);
    }
    if (code != ERROR_SUCCESS) RaiseLsaError("LsaStorePrivateData", code);
}

os::SecretString RetrievePrivateData(os::WStringView keyName) {
    const os::WString key(keyName);
    os::SecretString secret;
    ULONG code = ERROR_SUCCESS;
    {
        LsaPolicy policy(OpenPolicy(POLICY_GET_PRIVATE_INFORMATION));
        LSA_UNICODE_STRING name = KeyName(key);
        PLSA_UNICODE_STRING data = nullptr;
        NTSTATUS status = late::LsaRetrievePrivateData(policy.get(), &name, &data);
        LsaSecretBuffer buffer(data);
        if (status == STATUS_SUCCESS) {
            if (data && data->Buffer) secret = os::SecretString(data->Buffer, data->Length / sizeof(WCHAR));
        } else if (status != STATUS_OBJECT_NAME_NOT_FOUND) {
            code = late::LsaNtStatusToWinError(status);
        }
    }
    if (code != ERROR_SUCCESS) RaiseLsaError("LsaRetrievePrivateData", code);
    return secret;
}

}  // namespace engine
