// The engine and the options on the real forwarding layer, against Wine's own
// registry, security and power functions.
#include "engine/ConsoleUser.h"
#include "engine/Exception.h"
#include "engine/NTSecurity.h"
#include "engine/ProtectedPassword.h"
#include "engine/Utilities.h"
#include "settings/Options.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kOptionsKey = L"SOFTWARE\\Vantrel\\GatewiseWineTest";
constexpr const wchar_t* kWinlogon = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::optional<std::wstring> ReadText(HKEY root, const wchar_t* path, const wchar_t* name) {
    wchar_t buffer[512];
    DWORD size = sizeof buffer;
    if (RegGetValueW(root, path, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(buffer);
}

// Puts a value of the logon service's key back as it was when the test ends.
class WinlogonValue {
public:
    explicit WinlogonValue(const wchar_t* name) : name_(name), saved_(ReadText(HKEY_LOCAL_MACHINE, kWinlogon, name)) {}
    ~WinlogonValue() {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogon, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        if (saved_)
            RegSetValueExW(key, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_->c_str()),
                           static_cast<DWORD>((saved_->size() + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(key, name_);
        RegCloseKey(key);
    }
    WinlogonValue(const WinlogonValue&) = delete;
    WinlogonValue& operator=(const WinlogonValue&) = delete;

private:
    const wchar_t* name_;
    std::optional<std::wstring> saved_;
};

// The values that the engine writes, put back as they were when the test ends.
struct SavedLogonValues {
    WinlogonValue autoLogon{L"AutoAdminLogon"};
    WinlogonValue user{L"DefaultUserName"};
    WinlogonValue domain{L"DefaultDomainName"};
    WinlogonValue password{L"DefaultPassword"};
};

// The logon service's key as a standard user's process finds it: anyone may
// read it, no one may write it. The key's own access list is put back when
// the test ends.
class ReadOnlyWinlogon {
public:
    ReadOnlyWinlogon() {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogon, 0, READ_CONTROL | WRITE_DAC, &key_) != ERROR_SUCCESS) return;
        DWORD size = 0;
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        if (RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS) return;
        PSECURITY_DESCRIPTOR readOnly = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly,
                                                                  nullptr))
            return;
        applied_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, readOnly) == ERROR_SUCCESS;
        LocalFree(readOnly);
    }
    ~ReadOnlyWinlogon() {
        if (applied_) RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data());
        if (key_) RegCloseKey(key_);
    }
    ReadOnlyWinlogon(const ReadOnlyWinlogon&) = delete;
    ReadOnlyWinlogon& operator=(const ReadOnlyWinlogon&) = delete;
    bool applied() const { return applied_; }

private:
    HKEY key_ = nullptr;
    std::vector<BYTE> saved_;
    bool applied_ = false;
};

class EngineOnWine : public ::testing::Test {
protected:
    void TearDown() override {
        settings::FreeGlobalOptions();
        RegDeleteTreeW(HKEY_CURRENT_USER, kOptionsKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kOptionsKey);
    }
};

TEST_F(EngineOnWine, OptionsAreCreatedSavedAndLoadedUnderTheCurrentUser) {
    settings::CreateGlobalOptions(kOptionsKey);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kOptionsKey, L"AutochangeScreenSaver"), std::wstring(L"True"));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kOptionsKey, L"ModifyAllPowerProfiles"), std::wstring(L"False"));
    settings::GlobalOptions().SetVerifyPassword(false);
    settings::GlobalOptions().Save("verifypassword");
    settings::FreeGlobalOptions();

    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kOptionsKey, L"VerifyPassword"), std::wstring(L"False"));
    settings::CreateGlobalOptions(kOptionsKey);
    EXPECT_FALSE(settings::GlobalOptions().VerifyPassword());
    EXPECT_TRUE(settings::GlobalOptions().AutochangeScreenSaver());
}

TEST_F(EngineOnWine, StartupSettingIsSwitchedInTheMachinesLogonKey) {
    SavedLogonValues saved;
    engine::SetAutologonAccount(L"wine-test-\u00E9", L"WINEPC", os::SecretString(L"p\u00E4ss"));
    engine::SetAskPasswordOnStartup(false);
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon"), std::wstring(L"1"));
    EXPECT_FALSE(engine::GetAskPasswordOnStartup());
    engine::SetAskPasswordOnStartup(true);
    EXPECT_TRUE(engine::GetAskPasswordOnStartup());
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon"), std::wstring(L"0"));
}

TEST_F(EngineOnWine, StandardUserReadsTheLogonKeyButCannotSwitchIt) {
    SavedLogonValues saved;
    engine::SetAutologonAccount(L"reader", L"WINEPC", os::SecretString(L"secret"));
    engine::SetAskPasswordOnStartup(false);
    {
        ReadOnlyWinlogon readOnly;
        ASSERT_TRUE(readOnly.applied());
        HKEY probe = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogon, 0, KEY_SET_VALUE, &probe), ERROR_ACCESS_DENIED)
            << "Wine no longer checks the access list of a key";

        EXPECT_FALSE(engine::GetAskPasswordOnStartup());
        const engine::AutologonAccount account = engine::GetAutologonAccount();
        EXPECT_EQ(account.user, L"reader");
        EXPECT_EQ(account.domain, L"WINEPC");
        try {
            engine::SetAskPasswordOnStartup(true);
            ADD_FAILURE() << "the switch was written without write access";
        } catch (const engine::EOSError& e) {
            EXPECT_EQ(e.ErrorCode, DWORD{ERROR_ACCESS_DENIED});
        }
    }
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon"), std::wstring(L"1"));
}

TEST_F(EngineOnWine, AutologonPasswordFallsBackToThePlainValueWhenTheProtectedStoreRefusesIt) {
    WinlogonValue user(L"DefaultUserName");
    WinlogonValue domain(L"DefaultDomainName");
    WinlogonValue password(L"DefaultPassword");
    const engine::TPasswordStore store =
        engine::SetAutologonAccount(L"wine-test-\u00E9", L"WINEPC", os::SecretString(L"p\u00E4ss"));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName"), std::wstring(L"wine-test-\u00E9"));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultDomainName"), std::wstring(L"WINEPC"));
    bool stored = false;
    try {
        stored = engine::StorePasswordSecret(os::SecretString(L"probe"));
    } catch (const engine::EOSError&) {
    }
    if (stored) {
        EXPECT_EQ(store, engine::psProtected);
        EXPECT_FALSE(ReadText(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultPassword"));
    } else {
        EXPECT_EQ(store, engine::psPlainValue) << "the plain fallback is reported";
        EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultPassword"), std::wstring(L"p\u00E4ss"));
    }
    engine::AutologonAccount account = engine::GetAutologonAccount();
    EXPECT_EQ(account.user, L"wine-test-\u00E9");
    EXPECT_TRUE(account.hasPassword);

    EXPECT_EQ(engine::SetAutologonAccount(L"", L"", os::SecretString()), engine::psNone);
    EXPECT_FALSE(ReadText(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName"));
    EXPECT_FALSE(ReadText(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultPassword"));
}

TEST_F(EngineOnWine, AdministratorCheckAgreesWithTheShell) {
    EXPECT_EQ(engine::IsAdministrator(), IsUserAnAdmin() != FALSE);
}

TEST_F(EngineOnWine, ProgramRunByTheUserIsNotLocalSystem) {
    EXPECT_FALSE(engine::RunsAsLocalSystem());
}

TEST_F(EngineOnWine, CurrentAccountIsTheLoggedOnUser) {
    wchar_t name[256];
    DWORD size = 256;
    ASSERT_TRUE(GetUserNameW(name, &size));
    engine::UserAccount account = engine::GetCurrentUserAccount();
    EXPECT_EQ(account.user, name);
    EXPECT_FALSE(account.domain.empty());
}

TEST_F(EngineOnWine, PowerFunctionThatWineLacksRaisesTheOsErrorWithItsCode) {
    try {
        engine::GetAskPasswordOnResume();
        FAIL() << "Wine implements the power scheme functions now";
    } catch (const engine::EOSError& e) {
        EXPECT_EQ(e.ErrorCode, 120u);
        EXPECT_EQ(std::string(e.what()).rfind("System Error.  Code: 120.\r\n", 0), 0u) << e.what();
        EXPECT_GT(std::string(e.what()).size(), std::string("System Error.  Code: 120.\r\n").size());
    }
}

}  // namespace
