#include "cli/Session.h"

#include "cli/CommandText.h"
#include "diagnostics/AutologonState.h"
#include "engine/Exception.h"
#include "engine/Utilities.h"

namespace cli {
namespace {

engine::PerUserTarget TargetOf(bool localSystem) {
    if (!localSystem) return {};
    std::optional<engine::ConsoleUser> user;
    try {
        user = engine::FindConsoleUser();
    } catch (const engine::Exception& error) {
        throw CommandFailure(kSystemError, std::string(error.what()) + " Nothing was changed.");
    }
    if (!user) return {engine::PerUserTarget::Nobody, {}};
    return {engine::PerUserTarget::Console, *user};
}


}  // namespace

Session::Session(Console& console, const os::WString& optionsKey, bool json)
    : console_(console),
      json_(json),
      localSystem_(engine::RunsAsLocalSystem()),
      target_(TargetOf(localSystem_)),
      options_(settings::Create<settings::TOptions>(false, optionsKey)) {
    // The commands save only when they change an option.
    options_->SetSaveOnDestroy(false);
}

Session::AuditWarnings::~AuditWarnings() {
    for (const std::string& warning : list) session_.Warn("Warning: " + warning);
}

// With --json standard error carries only a failed command's message:
// Windows PowerShell 5.1 may turn each line there into an error record.
void Session::Warn(const std::string& message) {
    if (!json_) console_.err << message << '\n';
    warnings_.push_back(message);
}

std::optional<std::string> Session::SettingsOwner() const {
    const engine::PerUserTarget& target = engine::CurrentPerUserTarget();
    switch (target.kind) {
    case engine::PerUserTarget::Console:
        return os::ToUtf8(target.user.account);
    case engine::PerUserTarget::Nobody:
        return std::nullopt;
    case engine::PerUserTarget::OwnUser:
        break;
    }
    try {
        const engine::UserAccount own = engine::GetCurrentUserAccount();
        return diagnostics::AccountDisplayName(own.user, own.domain);
    } catch (const engine::Exception&) {
        return std::nullopt;
    }
}

std::string Session::SettingsOwnerLine() const {
    if (!localSystem_) return {};
    const std::optional<std::string> owner = SettingsOwner();
    if (!owner)
        return std::string(kNoUserLeft) +
               ", so the per-user settings (screen saver, wake sign-in, options) are not shown.\n";
    return "Per-user settings of " + Printable(*owner) + ", signed in at the console (gatewisecmd runs as SYSTEM).\n";
}


// Where the per-user settings are, as messages name it.
std::string UserRootName() {
    if (const engine::ConsoleUser* user = engine::TargetConsoleUser()) return "HKEY_USERS\\" + os::ToUtf8(user->sid);
    return "HKEY_CURRENT_USER";
}

}  // namespace cli
