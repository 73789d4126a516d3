#pragma once
// The administrator's policy for Gatewise: DWORD values under
// HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Vantrel\Gatewise, where only
// administrators (and Group Policy or a device management tool) write. A
// missing value is no policy; a value of another type or out of range counts
// as no policy, and is listed among the problems that diagnose reports. A
// policy never lifts the rule that only an administrator switches the
// start-up and resume settings.

#include "engine/Exception.h"
#include "os/WinTypes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

inline constexpr char kPolicyKeyText[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Vantrel\\Gatewise";
inline constexpr char kRelaxedModeTurnedOffText[] = "Relaxed Mode is turned off by your organization.";

// The values of the policy key, each 0 or 1.
inline constexpr const char* kPolicyNames[] = {
    "AllowRelaxedMode",       "AutochangeStartup",          "AutochangeStandby", "AutochangeScreenSaver",
    "ModifyAllPowerProfiles", "ForgetPasswordInSecureMode", "VerifyPassword",    "ShowAdditionalProducts",
};

struct TPolicyValue {
    std::string name;
    bool value;
};

class TPolicies {
public:
    // Reads the policy key of the machine in use. Never raises: a key that
    // cannot be read is no policy, and a problem.
    static TPolicies Read();

    // The value in force under `name`; nullopt when the policy sets none.
    std::optional<bool> Value(std::string_view name) const;
    bool Sets(std::string_view name) const { return Value(name).has_value(); }
    bool RelaxedModeAllowed() const { return Value("AllowRelaxedMode").value_or(true); }
    bool ShowsAdditionalProducts() const { return Value("ShowAdditionalProducts").value_or(true); }

    // Every value in force, in the order of kPolicyNames.
    const std::vector<TPolicyValue>& InForce() const { return inForce_; }
    // Values set but not taken, one sentence each, naming the value and why.
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    std::vector<TPolicyValue> inForce_;
    std::vector<std::string> problems_;
};

// Something that the administrator's policy forbids; nothing was changed.
class EForbiddenByPolicy : public engine::Exception {
public:
    using engine::Exception::Exception;
};

// Raises EForbiddenByPolicy, naming the policy, while AllowRelaxedMode is 0.
void RequireRelaxedModeAllowed(const TPolicies& policies);

}  // namespace settings
