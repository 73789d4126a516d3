#include "engine/Exception.h"
#include "engine/Utilities.h"
#include "MachineTest.h"

using engine::VerifyAccountPassword;
using os::SecretString;

class AccountTest : public MachineTest {};

TEST_F(AccountTest, SamCompatibleNameSplitsAtTheFirstBackslash) {
    machine.samAccountName = WSTR("GATEWISE-PC\\alice");
    engine::UserAccount account = engine::GetCurrentUserAccount();
    EXPECT_EQ(account.user, WSTR("alice"));
    EXPECT_EQ(account.domain, WSTR("GATEWISE-PC"));
    EXPECT_EQ(Args("GetUserNameExW"), "2,size=255");

    machine.samAccountName = WSTR("alice");
    account = engine::GetCurrentUserAccount();
    EXPECT_EQ(account.user, WSTR("alice"));
    EXPECT_EQ(account.domain, WSTR(""));

    machine.samAccountName = WSTR("CORP\\team\\alice");
    account = engine::GetCurrentUserAccount();
    EXPECT_EQ(account.user, WSTR("team\\alice"));
    EXPECT_EQ(account.domain, WSTR("CORP"));
}

TEST_F(AccountTest, NameThatDoesNotFitRaisesAnOsError) {
    machine.samAccountName = WSTR("PC\\") + os::WString(253, 'a');  // 256 characters
    try {
        engine::GetCurrentUserAccount();
        FAIL();
    } catch (const engine::EOSError& e) {
        EXPECT_EQ(e.ErrorCode, DWORD{ERROR_MORE_DATA});
    }
    machine.samAccountName = WSTR("PC\\") + os::WString(252, 'a');  // 255: no room left for the terminator
    EXPECT_THROW(engine::GetCurrentUserAccount(), engine::EOSError);
    machine.samAccountName = WSTR("PC\\") + os::WString(251, 'a');
    EXPECT_EQ(engine::GetCurrentUserAccount().user.size(), 251u);
}

TEST_F(AccountTest, MissingSecur32RaisesTheBindingError) {
    machine.RemoveLibrary("secur32.dll");
    EXPECT_EQ(MessageOf<engine::EJwaLoadLibraryError>([] { engine::GetCurrentUserAccount(); }),
              "Library not found: secur32.dll");
}

TEST_F(AccountTest, RightPasswordIsAcceptedAndItsTokenClosedAtOnce) {
    EXPECT_EQ(VerifyAccountPassword(WSTR("alice"), WSTR("GATEWISE-PC"), SecretString(WSTR("wonderland"))),
              engine::pcAccepted);
    EXPECT_EQ(Args("LogonUserW"), "alice,GATEWISE-PC,type=2,provider=0");
    EXPECT_EQ(machine.CountCalls("CloseHandle"), 1);
    EXPECT_EQ(machine.CountCalls("GetUserNameExW"), 0);
}

TEST_F(AccountTest, WrongPasswordIsRejected) {
    EXPECT_EQ(VerifyAccountPassword(WSTR("alice"), WSTR("GATEWISE-PC"), SecretString(WSTR("nope"))),
              engine::pcRejected);
}

TEST_F(AccountTest, EmptyUserChecksTheCurrentAccountInItsOwnDomain) {
    machine.accounts.push_back({WSTR("alice"), WSTR("OTHER"), WSTR("elsewhere")});
    EXPECT_EQ(VerifyAccountPassword(WSTR(""), WSTR("OTHER"), SecretString(WSTR("wonderland"))), engine::pcAccepted);
    EXPECT_EQ(Args("LogonUserW"), "alice,GATEWISE-PC,type=2,provider=0");
}

TEST_F(AccountTest, GivenUserWithoutDomainIsCheckedInTheCurrentDomain) {
    machine.accounts.push_back({WSTR("bob"), WSTR("GATEWISE-PC"), WSTR("builder")});
    EXPECT_EQ(VerifyAccountPassword(WSTR("bob"), WSTR(""), SecretString(WSTR("builder"))), engine::pcAccepted);
    EXPECT_EQ(Args("LogonUserW"), "bob,GATEWISE-PC,type=2,provider=0");
}

TEST_F(AccountTest, LogonErrorsMapToTheirOutcomes) {
    machine.accounts.push_back({WSTR("priv"), WSTR("PC"), WSTR(""), ERROR_PRIVILEGE_NOT_HELD});
    machine.accounts.push_back({WSTR("blank"), WSTR("PC"), WSTR(""), ERROR_ACCOUNT_RESTRICTION});
    machine.accounts.push_back({WSTR("locked"), WSTR("PC"), WSTR(""), 1909});  // account locked out
    // A check that Windows did not answer is never taken for an accepted one.
    EXPECT_EQ(VerifyAccountPassword(WSTR("priv"), WSTR("PC"), SecretString(WSTR("x"))), engine::pcCannotVerify);
    EXPECT_EQ(VerifyAccountPassword(WSTR("blank"), WSTR("PC"), SecretString()), engine::pcAccepted);
    EXPECT_EQ(VerifyAccountPassword(WSTR("blank"), WSTR("PC"), SecretString(WSTR("x"))), engine::pcCannotVerify);
    EXPECT_EQ(VerifyAccountPassword(WSTR("locked"), WSTR("PC"), SecretString(WSTR("x"))), engine::pcLockedOut);
}

TEST_F(AccountTest, MicrosoftAccountByItsAddressIsTheLocalAccountConnectedToIt) {
    machine.accounts[0].microsoftAccount = WSTR("alice@outlook.com");
    EXPECT_EQ(engine::ConnectedMicrosoftAccount(WSTR("alice")), WSTR("alice@outlook.com"));
    EXPECT_EQ(engine::ConnectedMicrosoftAccount(WSTR("nobody")), std::nullopt);
    EXPECT_EQ(Args("NetUserGetInfo"), "(null),alice,24 | (null),nobody,24");

    for (const os::WString& domain : {os::WString(), os::WString(WSTR("MicrosoftAccount"))}) {
        const engine::UserAccount local = engine::WindowsAccountName(WSTR("Alice@Outlook.com"), domain);
        EXPECT_EQ(local.user, WSTR("alice"));
        EXPECT_EQ(local.domain, WSTR("GATEWISE-PC"));
    }
    // Another address stays as typed: a principal name, or the Microsoft account's own form.
    EXPECT_EQ(engine::WindowsAccountName(WSTR("bob@contoso.com"), WSTR("")).domain, WSTR(""));
    EXPECT_EQ(engine::WindowsAccountName(WSTR("bob@outlook.com"), WSTR("MicrosoftAccount")).domain,
              WSTR("MicrosoftAccount"));
    EXPECT_EQ(engine::WindowsAccountName(WSTR("alice"), WSTR("OFFICE")).domain, WSTR("OFFICE"));

    machine.accounts[0].microsoftAccount.clear();
    EXPECT_EQ(engine::WindowsAccountName(WSTR("alice@outlook.com"), WSTR("")).user, WSTR("alice@outlook.com"));
    machine.RemoveLibrary("netapi32.dll");
    EXPECT_EQ(engine::ConnectedMicrosoftAccount(WSTR("alice")), std::nullopt);
}

TEST_F(AccountTest, OnlyAMissingNameCanMakeVerificationRaise) {
    machine.Fail("GetUserNameExW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(VerifyAccountPassword(WSTR("alice"), WSTR("GATEWISE-PC"), SecretString(WSTR("no"))), engine::pcRejected);
    EXPECT_THROW(VerifyAccountPassword(WSTR("alice"), WSTR(""), SecretString(WSTR("no"))), engine::EOSError);
}
