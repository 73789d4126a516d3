#include "engine/Exception.h"
#include "engine/ProtectedPassword.h"
#include "engine/Utilities.h"
#include "FreedMemoryWatch.h"
#include "MachineTest.h"

#include <cstring>

using os::SecretString;
using os::WString;

class StartupPasswordTest : public MachineTest {
protected:
    WString Secret() const {
        auto it = machine.lsaSecrets.find(WSTR("DefaultPassword"));
        if (it == machine.lsaSecrets.end()) return WSTR("<none>");
        WString text(it->second.size() / 2, 0);
        std::memcpy(text.data(), it->second.data(), it->second.size());
        return text;
    }
};

TEST_F(StartupPasswordTest, OnlyAutoAdminLogonOfExactlyOneWithANamedAccountIsRelaxed) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    EXPECT_TRUE(engine::GetAskPasswordOnStartup());  // no AutoAdminLogon
    for (const WCHAR* text : {WSTR("0"), WSTR(" 1"), WSTR("1 "), WSTR("01"), WSTR("yes"), WSTR("")}) {
        SetWinlogon(WSTR("AutoAdminLogon"), text);
        EXPECT_TRUE(engine::GetAskPasswordOnStartup()) << os::ToUtf8(text);
    }
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    EXPECT_FALSE(engine::GetAskPasswordOnStartup());
    SetWinlogon(WSTR("DefaultUserName"), WSTR(""));
    EXPECT_TRUE(engine::GetAskPasswordOnStartup());
}

TEST_F(StartupPasswordTest, ValuesOfAnotherTypeReadAsAsking) {
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoAdminLogon"), 1);
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    EXPECT_TRUE(engine::GetAskPasswordOnStartup());
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("DefaultUserName"), 7);
    EXPECT_TRUE(engine::GetAskPasswordOnStartup());
}

TEST_F(StartupPasswordTest, KeyIsReadForReadingAndWrittenWithAllAccessInThe64BitViewFromWindows6On) {
    engine::GetAskPasswordOnStartup();
    engine::GetAutologonAccount();
    engine::SetAskPasswordOnStartup(true);
    const std::string key = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    EXPECT_EQ(Args("RegCreateKeyExW"), key + ",access=0x20119,options=0x0 | " + key + ",access=0x20119,options=0x0 | " +
                                           key + ",access=0xF013F,options=0x0");
}

// A standard user's process gets the machine's key for reading only.
TEST_F(StartupPasswordTest, KeyOpenForReadingOnlyStillGivesTheSettingAndTheAccount) {
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    SetWinlogon(WSTR("DefaultDomainName"), WSTR("OFFICE"));
    SetWinlogon(WSTR("DefaultPassword"), WSTR("plain"));
    machine.Key(HKEY_LOCAL_MACHINE, kWinlogon).readOnly = true;
    EXPECT_FALSE(engine::GetAskPasswordOnStartup());
    const engine::AutologonAccount account = engine::GetAutologonAccount();
    EXPECT_EQ(account.user, WSTR("bob"));
    EXPECT_EQ(account.domain, WSTR("OFFICE"));
    EXPECT_TRUE(account.hasPassword);
    EXPECT_EQ(MessageOf<engine::EOSError>([] { engine::SetAskPasswordOnStartup(true); }),
              "System Error.  Code: 5.\r\nAccess is denied.");
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WString(WSTR("1")));
}

TEST_F(StartupPasswordTest, KeyIsOpenedWithAllAccessAloneBeforeWindows6) {
    UseWindowsXp();
    engine::SetAskPasswordOnStartup(true);
    EXPECT_EQ(Args("RegCreateKeyExW"),
              "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon,access=0xF003F,options=0x0");
}

TEST_F(StartupPasswordTest, SwitchWritesOnlyAutoAdminLogon) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    SetWinlogon(WSTR("DefaultPassword"), WSTR("plain"));
    engine::SetAskPasswordOnStartup(false);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WString(WSTR("1")));
    EXPECT_FALSE(engine::GetAskPasswordOnStartup());
    engine::SetAskPasswordOnStartup(true);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WString(WSTR("0")));
    EXPECT_TRUE(engine::GetAskPasswordOnStartup());
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), WString(WSTR("bob")));
    EXPECT_EQ(Winlogon(WSTR("DefaultPassword")), WString(WSTR("plain")));
    EXPECT_EQ(machine.Value(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoAdminLogon"))->type, DWORD{REG_SZ});
}

TEST_F(StartupPasswordTest, KeyThatCannotBeOpenedRaisesAnOsErrorAndWritesNothing) {
    machine.Fail("RegCreateKeyExW", ERROR_ACCESS_DENIED);
    EXPECT_THROW(engine::GetAskPasswordOnStartup(), engine::EOSError);
    EXPECT_THROW(engine::SetAskPasswordOnStartup(false), engine::EOSError);
    EXPECT_THROW(engine::GetAutologonAccount(), engine::EOSError);
    EXPECT_THROW(engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString(WSTR("pw"))), engine::EOSError);
    EXPECT_EQ(machine.CountCalls("RegSetValueExW"), 0);
    EXPECT_EQ(Secret(), WSTR("<none>"));
}

TEST_F(StartupPasswordTest, RefusedWriteNamesTheValue) {
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(MessageOf<engine::ERegistryException>([] { engine::SetAskPasswordOnStartup(true); }),
              "Failed to set data for 'AutoAdminLogon'");
}

TEST_F(StartupPasswordTest, AccountIsStoredWithItsPasswordInThePrivateData) {
    engine::SetAutologonAccount(WSTR("J\u00F6rg \u65E5\u672C"), WSTR("PC"), SecretString(WSTR("s\u00E9cret")));
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), WString(WSTR("J\u00F6rg \u65E5\u672C")));
    EXPECT_EQ(Winlogon(WSTR("DefaultDomainName")), WString(WSTR("PC")));
    EXPECT_FALSE(Winlogon(WSTR("DefaultPassword")));
    EXPECT_EQ(Secret(), WSTR("s\u00E9cret"));

    engine::AutologonAccount account = engine::GetAutologonAccount();
    EXPECT_EQ(account.user, WSTR("J\u00F6rg \u65E5\u672C"));
    EXPECT_EQ(account.domain, WSTR("PC"));
    EXPECT_TRUE(account.hasPassword);
}

TEST_F(StartupPasswordTest, PrivateDataKeepsThePasswordWithTheLsaStringLengths) {
    EXPECT_TRUE(engine::StorePasswordSecret(SecretString(WSTR("abcd"))));
    EXPECT_EQ(Args("LsaOpenPolicy"), "local,attributes=zero,access=0x20");
    EXPECT_EQ(Args("LsaStorePrivateData"), "DefaultPassword,keyLength=30,keyMax=32,dataLength=8,dataMax=10");
    EXPECT_EQ(machine.lsaSecrets.at(WSTR("DefaultPassword")).size(), 8u);
    EXPECT_EQ(WString(engine::RetrievePasswordSecret().view()), WSTR("abcd"));
    EXPECT_TRUE(machine.lsaBuffersWipedBeforeFree);
    EXPECT_EQ(machine.CountCalls("LsaFreeMemory"), 1);
    EXPECT_EQ(machine.CountCalls("LsaClose"), 2);
    // Reading asks for the right that LsaRetrievePrivateData names, not the storing one.
    EXPECT_EQ(Args("LsaOpenPolicy"), "local,attributes=zero,access=0x20 | local,attributes=zero,access=0x4");
}

TEST_F(StartupPasswordTest, PrivateDataFunctionsCheckTheRightsOfThePolicyHandle) {
    machine.lsaSecrets[WSTR("DefaultPassword")] = {'a', 0};
    LSA_OBJECT_ATTRIBUTES attributes{};
    WCHAR keyText[] = WSTR("DefaultPassword");
    LSA_UNICODE_STRING key{30, 32, keyText};
    PLSA_UNICODE_STRING data = nullptr;
    LSA_HANDLE storing = nullptr;
    ASSERT_EQ(machine.LsaOpenPolicy(nullptr, &attributes, POLICY_CREATE_SECRET, &storing), STATUS_SUCCESS);
    EXPECT_EQ(machine.LsaRetrievePrivateData(storing, &key, &data), STATUS_ACCESS_DENIED);
    LSA_HANDLE reading = nullptr;
    ASSERT_EQ(machine.LsaOpenPolicy(nullptr, &attributes, POLICY_GET_PRIVATE_INFORMATION, &reading), STATUS_SUCCESS);
    WCHAR newText[] = WSTR("Other");
    LSA_UNICODE_STRING newKey{10, 12, newText};
    LSA_UNICODE_STRING value{2, 4, keyText};
    EXPECT_EQ(machine.LsaStorePrivateData(reading, &newKey, &value), STATUS_ACCESS_DENIED);
    EXPECT_EQ(machine.LsaStorePrivateData(storing, &newKey, &value), STATUS_SUCCESS);
    machine.LsaClose(storing);
    machine.LsaClose(reading);
}

TEST_F(StartupPasswordTest, EmptyPasswordDeletesTheEntryAndAMissingEntryIsFine) {
    EXPECT_TRUE(engine::StorePasswordSecret(SecretString()));
    EXPECT_EQ(Args("LsaStorePrivateData"), "DefaultPassword,keyLength=30,keyMax=32,data=null");
    engine::StorePasswordSecret(SecretString(WSTR("x")));
    engine::StorePasswordSecret(SecretString());
    EXPECT_EQ(Secret(), WSTR("<none>"));
    EXPECT_TRUE(engine::RetrievePasswordSecret().empty());
}

TEST_F(StartupPasswordTest, PrivateDataFailuresCarryTheWindowsCodeInHexAndItsText) {
    machine.Fail("LsaOpenPolicy", static_cast<DWORD>(STATUS_ACCESS_DENIED), 0, 1);
    try {
        engine::StorePasswordSecret(SecretString(WSTR("x")));
        FAIL();
    } catch (const engine::EOSError& e) {
        EXPECT_STREQ(e.what(), "Failed call to LsaOpenPolicy: 5\r\nAccess is denied.");
        EXPECT_EQ(e.ErrorCode, 5u);
    }
    machine.Fail("LsaStorePrivateData", 0xC0000001);  // unknown status: ERROR_MR_MID_NOT_FOUND
    EXPECT_EQ(MessageOf<engine::EOSError>([] { engine::StorePasswordSecret(SecretString(WSTR("x"))); }),
              "Failed call to LsaStorePrivateData: 13D") << "a code without a text stays bare";
    machine.Fail("LsaRetrievePrivateData", static_cast<DWORD>(STATUS_ACCESS_DENIED));
    EXPECT_EQ(MessageOf<engine::EOSError>([] { engine::RetrievePasswordSecret(); }),
              "Failed call to LsaRetrievePrivateData: 5\r\nAccess is denied.");
}

TEST_F(StartupPasswordTest, RefusedPrivateDataFallsBackToThePlainValueAndSaysSo) {
    engine::StorePasswordSecret(SecretString(WSTR("old")));
    machine.Fail("LsaStorePrivateData", static_cast<DWORD>(STATUS_ACCESS_DENIED), 0, 1);
    EXPECT_EQ(engine::SetAutologonAccount(WSTR("bob"), WSTR(""), SecretString(WSTR("pw"))), engine::psPlainValue);
    EXPECT_EQ(Winlogon(WSTR("DefaultPassword")), WString(WSTR("pw")));
    EXPECT_EQ(Winlogon(WSTR("DefaultDomainName")), WString(WSTR("")));
    EXPECT_EQ(Secret(), WSTR("<none>")) << "the old protected password would win over the new plain one";
}

TEST_F(StartupPasswordTest, StoreOfThePasswordIsReported) {
    EXPECT_EQ(engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString(WSTR("pw"))), engine::psProtected);
    EXPECT_EQ(Secret(), WSTR("pw"));
    EXPECT_FALSE(Winlogon(WSTR("DefaultPassword")));
    EXPECT_EQ(engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString()), engine::psNone);
    EXPECT_EQ(Secret(), WSTR("<none>"));
}

TEST_F(StartupPasswordTest, PlainPasswordThatCannotBeDeletedRaisesItsCodeAndStoresNothing) {
    SetWinlogon(WSTR("DefaultPassword"), WSTR("old"));
    machine.Fail("RegDeleteValueW", ERROR_ACCESS_DENIED);
    try {
        engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString(WSTR("new")));
        FAIL() << "a failed deletion was reported as success";
    } catch (const engine::EOSError& e) {
        EXPECT_EQ(e.ErrorCode, DWORD{ERROR_ACCESS_DENIED});
        EXPECT_STREQ(e.what(), "System Error.  Code: 5.\r\nAccess is denied.");
    }
    EXPECT_EQ(Winlogon(WSTR("DefaultPassword")), WString(WSTR("old")));
    EXPECT_EQ(Secret(), WSTR("<none>"));
    EXPECT_EQ(machine.CountCalls("LsaStorePrivateData"), 0);

    machine.Fail("RegDeleteValueW", ERROR_ACCESS_DENIED);
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    EXPECT_THROW(engine::SetAutologonAccount(WSTR(""), WSTR(""), SecretString()), engine::EOSError);
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), WString(WSTR("bob")));
}

TEST_F(StartupPasswordTest, ProtectedPasswordThatCannotBeDeletedRaisesUnlessTheNewOneIsAlreadyPlain) {
    engine::StorePasswordSecret(SecretString(WSTR("old")));
    machine.Fail("LsaStorePrivateData", static_cast<DWORD>(STATUS_ACCESS_DENIED));
    EXPECT_EQ(MessageOf<engine::EOSError>([] { engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString()); }),
              "Failed call to LsaStorePrivateData: 5\r\nAccess is denied.");
    EXPECT_EQ(Secret(), WSTR("old"));

    // The new password is in the plain value by now: the caller hears of it,
    // and of the old protected one still in the way.
    EXPECT_EQ(engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString(WSTR("new"))),
              engine::psPlainValueBehindProtected);
    EXPECT_EQ(Winlogon(WSTR("DefaultPassword")), WString(WSTR("new")));
    EXPECT_EQ(Secret(), WSTR("old"));

    machine.Fail("LsaStorePrivateData", 0, 0, 0);
    machine.Fail("LsaOpenPolicy", static_cast<DWORD>(STATUS_ACCESS_DENIED));
    EXPECT_EQ(MessageOf<engine::EOSError>([] { engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString()); }),
              "Failed call to LsaOpenPolicy: 5\r\nAccess is denied.");
}

TEST_F(StartupPasswordTest, PlainPasswordThatCannotBeWrittenLeavesNoUnwipedCopy) {
    const std::string password = "Qx7-plain-write-refused";
    machine.Fail("LsaStorePrivateData", static_cast<DWORD>(STATUS_ACCESS_DENIED));
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED, 2);  // the user and domain go in, the password does not
    FreedMemoryWatch watch(password);
    EXPECT_THROW(engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString(os::FromUtf8(password))),
                 engine::ERegistryException);
    EXPECT_EQ(watch.UnwipedBlocks(), 0);
}

TEST_F(StartupPasswordTest, EmptyUserDeletesAccountValuesAndStillClearsThePassword) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    SetWinlogon(WSTR("DefaultDomainName"), WSTR("PC"));
    SetWinlogon(WSTR("DefaultPassword"), WSTR("left by another tool"));
    engine::StorePasswordSecret(SecretString(WSTR("old")));
    engine::SetAutologonAccount(WSTR(""), WSTR("ignored"), SecretString());
    EXPECT_FALSE(Winlogon(WSTR("DefaultUserName")));
    EXPECT_FALSE(Winlogon(WSTR("DefaultDomainName")));
    EXPECT_FALSE(Winlogon(WSTR("DefaultPassword")));
    EXPECT_EQ(Secret(), WSTR("<none>"));
}

TEST_F(StartupPasswordTest, EmptyPasswordOnAMachineWithoutEntryRaisesNothing) {
    EXPECT_EQ(engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString()), engine::psNone);
    EXPECT_EQ(Args("LsaStorePrivateData"), "DefaultPassword,keyLength=30,keyMax=32,data=null");
}

TEST_F(StartupPasswordTest, PlainPasswordLeftByAnotherToolCountsAndIsRemovedByTheNextSet) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    SetWinlogon(WSTR("DefaultPassword"), WSTR("plain"));
    EXPECT_TRUE(engine::GetAutologonAccount().hasPassword);
    EXPECT_EQ(machine.CountCalls("LsaRetrievePrivateData"), 0);
    engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString(WSTR("new")));
    EXPECT_FALSE(Winlogon(WSTR("DefaultPassword")));
    EXPECT_EQ(Secret(), WSTR("new"));
}

TEST_F(StartupPasswordTest, FailedRetrievalMeansNoPassword) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("bob"));
    machine.Fail("LsaRetrievePrivateData", static_cast<DWORD>(STATUS_ACCESS_DENIED));
    engine::AutologonAccount account = engine::GetAutologonAccount();
    EXPECT_EQ(account.user, WSTR("bob"));
    EXPECT_EQ(account.domain, WSTR(""));
    EXPECT_FALSE(account.hasPassword);
}

TEST_F(StartupPasswordTest, AccountValueOfAnotherTypeIsAnInvalidDataTypeError) {
    machine.SetDword(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("DefaultDomainName"), 3);
    EXPECT_EQ(MessageOf<engine::ERegistryException>([] { engine::GetAutologonAccount(); }),
              "Invalid data type for 'DefaultDomainName'");
    // Zero bytes read as empty, whatever the type.
    machine.SetRaw(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("DefaultDomainName"), REG_BINARY, {});
    EXPECT_EQ(engine::GetAutologonAccount().domain, WSTR(""));
}

TEST_F(StartupPasswordTest, WriteRefusedHalfwayKeepsWhatWasWritten) {
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(MessageOf<engine::ERegistryException>(
                  [] { engine::SetAutologonAccount(WSTR("bob"), WSTR("PC"), SecretString(WSTR("pw"))); }),
              "Failed to set data for 'DefaultDomainName'");
    EXPECT_EQ(Winlogon(WSTR("DefaultUserName")), WString(WSTR("bob")));
    EXPECT_EQ(Secret(), WSTR("<none>"));
}
