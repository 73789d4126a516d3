#pragma once
// The self-test of gatewisecmd: each Windows path that Gatewise relies on,
// tried on this PC without changing anything of the user's. What it writes is
// scratch (a copy of the active power scheme, a private-data entry of its
// own), deleted again, also after a failing step. Steps that need
// administrator rights are skipped without them.

#include "os/Text.h"

#include <string>
#include <vector>

namespace diagnostics {

enum class SelfTestOutcome { Passed, Failed, Skipped };

struct SelfTestResult {
    std::string id;
    SelfTestOutcome outcome;
    std::string detail;  // what was confirmed, what failed, or why it was skipped
};

// "passed", "failed", "skipped".
const char* SelfTestOutcomeName(SelfTestOutcome outcome);

// The private-data entry that the self-test stores and deletes: local ("L$"),
// so never readable from another computer.
inline constexpr const WCHAR* kSelfTestSecretName = WSTR("L$GatewiseSelfTest");

// In this order: power-scheme, private-data, screen-saver, modern-standby,
// account-verification, dll-search, load-configuration.
std::vector<SelfTestResult> RunSelfTest();

}  // namespace diagnostics
