#include "diagnostics/AutologonState.h"

#include "diagnostics/SettingsReader.h"
#include "engine/Exception.h"
#include "engine/ProtectedPassword.h"

#include <optional>

namespace diagnostics {
namespace {

const WCHAR kWinlogonKey[] = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");

// nullopt when the store cannot be read (no administrator rights, no store).
std::optional<bool> ProtectedPasswordStored() {
    try {
        return !engine::RetrievePasswordSecret().empty();
    } catch (const engine::Exception&) {
        return std::nullopt;
    }
}

// A plain value of another type is not used by the logon service.
bool PlainPasswordStored() {
    try {
        return SettingHasText(HKEY_LOCAL_MACHINE, kWinlogonKey, WSTR("DefaultPassword"));
    } catch (const engine::ERegistryException&) {
        return false;
    }
}

os::WString ReadAccountValue(const WCHAR* name, AutologonState& state) {
    try {
        return ReadSettingString(HKEY_LOCAL_MACHINE, kWinlogonKey, name).value_or(os::WString());
    } catch (const engine::ERegistryException&) {
        state.unreadable.push_back(os::ToUtf8(name));
        return {};
    }
}

PasswordStore WherePasswordIs() {
    const bool plain = PlainPasswordStored();
    const std::optional<bool> secret = ProtectedPasswordStored();
    if (plain) return secret.value_or(false) ? PasswordStore::Both : PasswordStore::Plain;
    if (!secret) return PasswordStore::Unknown;
    return *secret ? PasswordStore::Protected : PasswordStore::None;
}

}  // namespace

const char* PasswordStoreName(PasswordStore store) {
    switch (store) {
    case PasswordStore::None:
        return "none";
    case PasswordStore::Protected:
        return "protected-store";
    case PasswordStore::Plain:
        return "plain-value";
    case PasswordStore::Both:
        return "both";
    case PasswordStore::Unknown:
        break;
    }
    return "unknown";
}

std::string AccountDisplayName(const os::WString& user, const os::WString& domain) {
    return domain.empty() ? os::ToUtf8(user) : os::ToUtf8(domain) + "\\" + os::ToUtf8(user);
}

StoredPasswordTry TryStoredPassword() {
    StoredPasswordTry attempt;
    const AutologonState state = ReadAutologonState();
    if (!state.unreadable.empty())
        throw engine::ERegistryException("Invalid data type for '" + state.unreadable.front() + "'");
    attempt.user = state.user;
    attempt.domain = state.domain;
    if (state.user.empty()) return attempt;
    os::SecretString password = engine::RetrievePasswordSecret();
    attempt.tried = PasswordStore::Protected;
    if (password.empty()) {
        std::optional<os::WString> plain = ReadSettingString(HKEY_LOCAL_MACHINE, kWinlogonKey, WSTR("DefaultPassword"));
        if (plain) password = os::SecretString(std::move(*plain));
        attempt.tried = PasswordStore::Plain;
    }
    if (password.empty()) {
        attempt.tried = PasswordStore::None;
        return attempt;
    }
    attempt.result = engine::VerifyAccountPassword(state.user, state.domain, password);
    return attempt;
}

AutologonState ReadAutologonState() {
    AutologonState state;
    state.user = ReadAccountValue(WSTR("DefaultUserName"), state);
    state.domain = ReadAccountValue(WSTR("DefaultDomainName"), state);
    state.password = WherePasswordIs();
    return state;
}

}  // namespace diagnostics
