#include "ui/AccountDlgCore.h"

#include "diagnostics/AutologonState.h"
#include "engine/Exception.h"
#include "engine/Utilities.h"
#include "resources/StringIds.h"

namespace ui {
namespace {

TAccountFields FieldsOf(os::WString user, os::WString domain) {
    const bool local = domain == engine::LocalComputerName();
    return {std::move(user), std::move(domain), local};
}

}  // namespace

TAccountFields CurrentAccountFields() {
    try {
        engine::UserAccount current = engine::GetCurrentUserAccount();
        return FieldsOf(std::move(current.user), std::move(current.domain));
    } catch (const engine::Exception&) {
        return FieldsOf({}, {});
    }
}

TAccountFields AutologonAccountFields() {
    engine::AutologonAccount stored;
    try {
        stored = engine::GetAutologonAccount();
    } catch (const engine::Exception&) {
        stored = {};  // unreadable counts as not stored
    }
    if (stored.user.empty()) return CurrentAccountFields();
    return FieldsOf(std::move(stored.user), std::move(stored.domain));
}

TStoredPasswordLine StoredPasswordLine() {
    diagnostics::PasswordStore store = diagnostics::PasswordStore::Unknown;
    try {
        store = diagnostics::ReadAutologonState().password;
    } catch (const engine::Exception&) {
        // told as not known
    }
    switch (store) {
    case diagnostics::PasswordStore::None:
        return {IDS_STORED_PASSWORD_NONE, false};
    case diagnostics::PasswordStore::Protected:
        return {IDS_STORED_PASSWORD_PROTECTED, true};
    case diagnostics::PasswordStore::Plain:
    case diagnostics::PasswordStore::Both:
        return {IDS_STORED_PASSWORD_PLAIN, true};
    case diagnostics::PasswordStore::Unknown:
        break;
    }
    return {IDS_STORED_PASSWORD_UNKNOWN, true};
}

TRowLayout WithoutDomainRow(TRowLayout layout, int domainTop, int passwordTop) {
    const int shift = passwordTop - domainTop;
    for (int& top : layout.tops)
        if (top > domainTop) top -= shift;
    layout.clientHeight -= shift;
    return layout;
}

bool PasswordsConfirmed(const os::SecretString& password, const os::SecretString& confirmation) {
    return password == confirmation;
}

}  // namespace ui
