#include "settings/Policies.h"

#include "engine/Registry.h"
#include "os/Text.h"

#include <cstring>

namespace settings {
namespace {

const WCHAR kPolicyKeyPath[] = WSTR("SOFTWARE\\Policies\\Vantrel\\Gatewise");

std::string TypeName(DWORD type) {
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_QWORD:
        return "REG_QWORD";
    default:
        return "type " + std::to_string(type);
    }
}

// The value's 0 or 1, or the reason it is not taken.
std::optional<bool> Interpret(const std::string& name, const engine::RawValue& raw, std::string& problem) {
    const std::string value = "The policy value " + name + " under " + kPolicyKeyText;
    if (raw.type != REG_DWORD || raw.data.size() != sizeof(DWORD)) {
        problem = value + " is " + (raw.type == REG_DWORD ? "not 4 bytes long" : TypeName(raw.type)) +
                  ", not a REG_DWORD of 0 or 1, so it is ignored.";
        return std::nullopt;
    }
    DWORD number = 0;
    std::memcpy(&number, raw.data.data(), sizeof number);
    if (number > 1) {
        problem = value + " is " + std::to_string(number) + ", not 0 or 1, so it is ignored.";
        return std::nullopt;
    }
    return number == 1;
}

}  // namespace

TPolicies TPolicies::Read() {
    TPolicies policies;
    engine::RegKey key;
    const LSTATUS status = engine::OpenKey(HKEY_LOCAL_MACHINE, kPolicyKeyPath, engine::SettingsReadAccess(), key);
    if (status == ERROR_FILE_NOT_FOUND) return policies;
    if (status != ERROR_SUCCESS) {
        policies.problems_.push_back(std::string("The policy key ") + kPolicyKeyText + " cannot be read (error " +
                                     std::to_string(status) + "), so no policy is applied.");
        return policies;
    }
    for (const char* name : kPolicyNames) {
        try {
            const std::optional<engine::RawValue> raw = engine::ReadRawValue(key.get(), os::FromUtf8(name).c_str());
            if (!raw) continue;
            std::string problem;
            if (const std::optional<bool> value = Interpret(name, *raw, problem))
                policies.inForce_.push_back({name, *value});
            else
                policies.problems_.push_back(problem);
        } catch (const engine::Exception& error) {
            policies.problems_.push_back(std::string("The policy value ") + name + " cannot be read (" +
                                         error.what() + "), so it is ignored.");
        }
    }
    return policies;
}

std::optional<bool> TPolicies::Value(std::string_view name) const {
    for (const TPolicyValue& policy : inForce_)
        if (policy.name == name) return policy.value;
    return std::nullopt;
}

void RequireRelaxedModeAllowed(const TPolicies& policies) {
    if (!policies.RelaxedModeAllowed())
        throw EForbiddenByPolicy(std::string("Relaxed Mode is turned off by your organization (policy AllowRelaxedMode "
                                             "= 0 under ") +
                                 kPolicyKeyText + "). Nothing was changed.");
}

}  // namespace settings
