// The rules of the account and options dialogs that need no window.
#include "engine/Utilities.h"
#include "MachineTest.h"
#include "resources/StringIds.h"
#include "ui/AccountDlgCore.h"
#include "ui/OptionsDlgCore.h"

namespace {

using ui::TAccountFields;

class AccountDlgRules : public MachineTest {
protected:
    static std::tuple<os::WString, os::WString, bool> Shown(const TAccountFields& fields) {
        return {fields.user, fields.domain, fields.local};
    }
};

TEST_F(AccountDlgRules, AccountIsLocalWhenItsDomainIsTheComputersName) {
    EXPECT_EQ(Shown(ui::CurrentAccountFields()), std::make_tuple(WSTR("alice"), WSTR("GATEWISE-PC"), true));

    machine.samAccountName = WSTR("CORP\\alice");
    EXPECT_EQ(Shown(ui::CurrentAccountFields()), std::make_tuple(WSTR("alice"), WSTR("CORP"), false));

    machine.Fail("GetUserNameExW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Shown(ui::CurrentAccountFields()), std::make_tuple(WSTR(""), WSTR(""), false))
        << "an unreadable account keeps its domain row while the computer has a name";

    machine.Fail("GetComputerNameW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Shown(ui::CurrentAccountFields()), std::make_tuple(WSTR(""), WSTR(""), true))
        << "two empty names are equal";
    EXPECT_EQ(engine::LocalComputerName(), WSTR(""));
}

TEST_F(AccountDlgRules, AutologonAccountIsTheStoredOneWhenItNamesAUser) {
    EXPECT_EQ(Shown(ui::AutologonAccountFields()), std::make_tuple(WSTR("alice"), WSTR("GATEWISE-PC"), true));

    SetWinlogon(WSTR("DefaultDomainName"), WSTR("CORP"));
    EXPECT_EQ(Shown(ui::AutologonAccountFields()), std::make_tuple(WSTR("alice"), WSTR("GATEWISE-PC"), true))
        << "a stored domain without a user gives way to the logged-on account";

    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    EXPECT_EQ(Shown(ui::AutologonAccountFields()), std::make_tuple(WSTR("bob"), WSTR("CORP"), false));

    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("DefaultUserName"), 7);
    EXPECT_EQ(Shown(ui::AutologonAccountFields()), std::make_tuple(WSTR("alice"), WSTR("GATEWISE-PC"), true))
        << "an unreadable stored account counts as none";
}

TEST_F(AccountDlgRules, StoredPasswordLineSaysWhereThePasswordIsAndWhetherOkMayRemoveIt) {
    const auto line = [] {
        const ui::TStoredPasswordLine stored = ui::StoredPasswordLine();
        return std::make_pair(stored.textId, stored.removable);
    };
    EXPECT_EQ(line(), std::make_pair(unsigned{IDS_STORED_PASSWORD_NONE}, false));
    machine.lsaSecrets[WSTR("DefaultPassword")] = {'w', 0};
    EXPECT_EQ(line(), std::make_pair(unsigned{IDS_STORED_PASSWORD_PROTECTED}, true));
    SetWinlogon(WSTR("DefaultPassword"), WSTR("wonderland"));
    EXPECT_EQ(line(), std::make_pair(unsigned{IDS_STORED_PASSWORD_PLAIN}, true));
    machine.lsaSecrets.clear();
    EXPECT_EQ(line(), std::make_pair(unsigned{IDS_STORED_PASSWORD_PLAIN}, true));

    machine.Key(HKEY_LOCAL_MACHINE, kWinlogon).values.erase(WSTR("DefaultPassword"));
    machine.Fail("LsaRetrievePrivateData", 0xC0000022);  // STATUS_ACCESS_DENIED
    EXPECT_EQ(line(), std::make_pair(unsigned{IDS_STORED_PASSWORD_UNKNOWN}, true));
    machine.Fail("RegOpenKeyExW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(line(), std::make_pair(unsigned{IDS_STORED_PASSWORD_UNKNOWN}, true)) << "a key that cannot be read";
}

TEST(AccountDlgLayout, DomainRowRemovalMovesWhatIsBelowItOnceOnly) {
    // The verification dialog: explanation, user name label and edit, domain
    // label and edit, password label and edit, check box, bevel, OK.
    const ui::TRowLayout design{{8, 104, 96, 136, 128, 168, 160, 192, 224, 232}, 268};
    const ui::TRowLayout once = ui::WithoutDomainRow(design, 128, 160);
    EXPECT_EQ(once.tops, (std::vector<int>{8, 104, 96, 104, 128, 136, 128, 160, 192, 200}));
    EXPECT_EQ(once.clientHeight, 236);

    const ui::TRowLayout twice = ui::WithoutDomainRow(once, once.tops[4], once.tops[6]);
    EXPECT_EQ(twice.tops, once.tops);
    EXPECT_EQ(twice.clientHeight, once.clientHeight);
}

TEST(DialogRules, PasswordsMustAgreeAndOnePromptMustStayEnabled) {
    const auto secret = [](const WCHAR* text) { return os::SecretString(os::WString(text)); };
    EXPECT_TRUE(ui::PasswordsConfirmed(secret(WSTR("")), secret(WSTR(""))));
    EXPECT_TRUE(ui::PasswordsConfirmed(secret(WSTR("wonderland")), secret(WSTR("wonderland"))));
    EXPECT_FALSE(ui::PasswordsConfirmed(secret(WSTR("wonderland")), secret(WSTR("Wonderland"))));
    EXPECT_FALSE(ui::AnyPromptEnabled(false, false, false));
    EXPECT_TRUE(ui::AnyPromptEnabled(false, false, true));
    EXPECT_TRUE(ui::AnyPromptEnabled(true, false, false));
}

}  // namespace
