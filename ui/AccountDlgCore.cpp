#include "ui/AccountDlgCore.h"

#include "engine/Exception.h"
#include "engine/Utilities.h"

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
