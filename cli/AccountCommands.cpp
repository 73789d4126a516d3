#include "cli/AccountCommands.h"

#include "cli/CommandText.h"
#include "cli/Password.h"
#include "diagnostics/AutologonState.h"
#include "engine/AccountNames.h"
#include "engine/ChangeLock.h"
#include "engine/Exception.h"
#include "engine/NTSecurity.h"
#include "engine/Utilities.h"
#include "switching/Switch.h"

namespace cli {
namespace {

// What changed in the account; the password counts as changed when a new one
// was stored, even where the old one was.
Json AccountChanges(const diagnostics::AutologonState& before, const diagnostics::AutologonState& after,
                    bool newPassword) {
    Json changes = Json::array();
    if (before.user != after.user) changes.push_back(Change("user", os::ToUtf8(before.user), os::ToUtf8(after.user)));
    if (before.domain != after.domain)
        changes.push_back(Change("domain", os::ToUtf8(before.domain), os::ToUtf8(after.domain)));
    if (newPassword || before.password != after.password)
        changes.push_back(Change("password", diagnostics::PasswordStoreName(before.password),
                                 diagnostics::PasswordStoreName(after.password)));
    return changes;
}

os::WString CurrentDomain() {
    try {
        return engine::GetCurrentUserAccount().domain;
    } catch (const engine::Exception&) {
        return {};
    }
}

// The account that account set names. "DOMAIN\name" carries its domain; a
// user principal name "name@domain" is passed whole and with no domain, as
// Windows expects for such names.
engine::UserAccount NamedAccount(const std::string& user, const std::string& domain) {
    const os::WString name = os::FromUtf8(user);
    const os::WString givenDomain = os::FromUtf8(domain);
    const auto backslash = name.find(WCHAR('\\'));
    if (backslash != os::WString::npos && backslash > 0) {
        const os::WString named = name.substr(0, backslash);
        if (!givenDomain.empty() && !os::EqualsIgnoringCase(givenDomain, named))
            throw CommandFailure(kBadUsage, "The option --user names a domain before its backslash, and --domain "
                                            "names another. Nothing was changed.");
        return {name.substr(backslash + 1), named};
    }
    const os::WString bare = backslash == 0 ? name.substr(1) : name;  // "\name": no domain named
    if (bare.find(WCHAR('@')) != os::WString::npos) {
        if (!givenDomain.empty())
            throw CommandFailure(kBadUsage, "A user name of the form name@domain names its domain itself: leave out "
                                            "--domain. Nothing was changed.");
        return {bare, {}};
    }
    return {bare, givenDomain.empty() ? CurrentDomain() : givenDomain};
}

const char* VerificationName(std::optional<engine::TPasswordCheck> check) {
    if (!check) return "skipped";
    return *check == engine::pcAccepted ? "accepted" : "could-not-verify";
}

void RequireAdministrator(const char* what) {
    if (!engine::IsAdministrator())
        throw CommandFailure(kNeedsAdministrator, std::string(what) +
                                                      " needs administrator rights: run gatewisecmd from an "
                                                      "elevated command prompt. Nothing was changed.");
}

// The account before and after a change, made under the machine-wide lock.
struct AccountChange {
    diagnostics::AutologonState before;
    diagnostics::AutologonState after;
    engine::TPasswordStore store;
};

AccountChange ChangeAccount(Session& session, const os::WString& user, const os::WString& domain,
                            const os::SecretString& password, bool requireProtected = false) {
    const engine::TChangeLock lock(engine::TChangeLock::lpMachineWide);
    AccountChange change{diagnostics::ReadAutologonState(), {}, {}};
    try {
        Session::AuditWarnings logged(session);
        change.store =
            audit::SetAutologonAccount(user, domain, password, audit::orCommandLine, logged.list, requireProtected);
    } catch (const engine::EPasswordNotProtected& refused) {
        throw CommandFailure(kSystemError, std::string(refused.what()) + " Nothing was stored.");
    }
    change.after = diagnostics::ReadAutologonState();
    return change;
}

}  // namespace

int SetAccount(Session& session, const std::string& user, const std::string& domain, bool verify,
               bool requireProtected) {
    RequireAdministrator("Setting the auto-logon account");
    // "\name" names no domain either: it would take SYSTEM's own.
    const std::size_t backslash = user.find('\\');
    if (session.LocalSystem() && domain.empty() && (backslash == std::string::npos || backslash == 0) &&
        user.find('@') == std::string::npos)
        throw CommandFailure(kBadUsage, "Run as SYSTEM, gatewisecmd cannot take the domain from its own account: "
                                        "give --domain (the computer's name for a local account) or --user "
                                        "DOMAIN\\NAME. Nothing was changed.");
    const engine::UserAccount named = NamedAccount(user, domain);
    if (const std::optional<std::string> problem = engine::AccountNameProblem(named.user, named.domain))
        throw CommandFailure(kBadUsage, *problem + " Nothing was changed.");
    const engine::UserAccount account = engine::WindowsAccountName(named.user, named.domain);
    if (account.user.empty())
        throw CommandFailure(kBadUsage, "The user name is empty; to remove the account, use gatewisecmd account "
                                        "clear.");
    const os::SecretString password = ReadPassword(session.In(), true);
    std::optional<engine::TPasswordCheck> check;
    if (verify) {
        check = engine::VerifyAccountPassword(account.user, account.domain, password);
        if (check == engine::pcRejected)
            throw CommandFailure(kPasswordRejected,
                                 "The user name and password are not valid on this computer. Nothing was changed.");
        if (check == engine::pcLockedOut)
            throw CommandFailure(kSystemError, std::string(kAccountLockedOutText) + " Nothing was changed.");
        if (check == engine::pcCannotVerify) session.Warn("The password could not be verified; it is stored as given.");
    }
    const AccountChange change = ChangeAccount(session, account.user, account.domain, password, requireProtected);
    const engine::TPasswordStore store = change.store;
    if (engine::IsPlainValue(store))
        session.Warn("Windows did not accept the password into its protected store: it is kept in the registry "
                     "value DefaultPassword, where other users of this computer may be able to read it.");
    if (store == engine::psPlainValueBehindProtected)
        session.Warn("An older password in the protected store could not be removed, and Windows may log on with "
                     "it instead of the new one.");

    const diagnostics::AutologonState& stored = change.after;
    if (session.WantsJson()) {
        WriteJson(session.Out(), Json{{"account", AccountJson(stored)},
                                      {"changes", AccountChanges(change.before, stored, true)},
                                      {"verification", VerificationName(check)},
                                      {"warnings", session.Warnings()}});
    } else {
        session.Out() << "Auto-logon account set to " << PrintableAccount(stored.user, stored.domain) << ", "
                      << PasswordText(stored.password) << ".\n";
    }
    return kDone;
}

int ClearAccount(Session& session) {
    RequireAdministrator("Clearing the auto-logon account");
    settings::TOptions& options = session.ProgramOptions();
    diagnostics::AutologonState before;
    diagnostics::AutologonState after;
    bool wasOn = false;
    switching::TSwitchResult result;
    {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        before = diagnostics::ReadAutologonState();
        wasOn = !engine::GetAskPasswordOnStartup();
        Session::AuditWarnings logged(session);
        result = audit::RemoveAutologonAccount(options, lock, audit::orCommandLine, logged.list);
        after = diagnostics::ReadAutologonState();
    }
    if (!result.undoAvailable && !result.changedNothing)
        session.Warn("Warning: undo will not be available: the settings before the change could not be stored.");
    if (session.WantsJson()) {
        Json changes = AccountChanges(before, after, false);
        if (wasOn) changes.push_back(Change("startup", SettingKey(SettingState::DoesNotAsk), SettingKey(SettingState::Asks)));
        WriteJson(session.Out(), Json{{"account", AccountJson(after)},
                                      {"changes", changes},
                                      {"warnings", session.Warnings()}});
    } else {
        session.Out() << "Auto-logon account and password cleared; automatic logon is off (AutoAdminLogon 0), so "
                         "Windows asks for the password at start-up.\n";
    }
    return kDone;
}

}  // namespace cli
