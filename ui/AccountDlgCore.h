#pragma once
// The account dialogs' rules that need no window: which account they show,
// whether it belongs to this computer, where their rows go once the domain row
// is taken out, and when the two passwords of a new account agree.

#include "os/Text.h"

#include <vector>

namespace ui {

// The names a dialog shows. A local account (its domain is this computer's
// name; two empty names are equal too) needs no domain row.
struct TAccountFields {
    os::WString user;
    os::WString domain;
    bool local = false;
};

// The logged-on account; both names empty when it cannot be read.
TAccountFields CurrentAccountFields();
// The stored auto-logon account when it names a user, else the logged-on account.
TAccountFields AutologonAccountFields();

// What the auto-logon dialog says of the stored password: the string id of
// its line (protected, in plain text, none, or not known: without
// administrator rights, or a key that cannot be read), and whether OK with
// no password may remove one.
struct TStoredPasswordLine {
    unsigned textId;
    bool removable;
};
TStoredPasswordLine StoredPasswordLine();

// The tops of a dialog's controls and its client height.
struct TRowLayout {
    std::vector<int> tops;
    int clientHeight = 0;
};
// The layout without the domain row: every control below the top of the
// domain row moves up by the distance from the domain row to the password row,
// and the client area loses as much. Applied again to its own result it
// changes nothing, since the password row then sits where the domain row was.
TRowLayout WithoutDomainRow(TRowLayout layout, int domainTop, int passwordTop);

// OK may store the account exactly when the password and its confirmation are
// equal (two empty ones are); otherwise the mismatch line shows.
bool PasswordsConfirmed(const os::SecretString& password, const os::SecretString& confirmation);

}  // namespace ui
