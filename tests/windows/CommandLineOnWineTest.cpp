// gatewisecmd's options command on Wine's own registry. Wine does not check a
// key's access control list when the key is opened, so a key that Windows
// would open only for reading is played here by the seam: it refuses to open
// that key for writing, as Windows does, and passes every registry call on to
// Wine otherwise.
#include "cli/Commands.h"
#include "os/sim/SimMachine.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

namespace {

constexpr const wchar_t* kOptionsKey = L"SOFTWARE\\Vantrel\\GatewiseCmdWineTest";

class WineRegistryWithReadOnlyKey final : public os::sim::SimMachine {
public:
    bool optionsKeyReadOnly = false;

    LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                            const SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition) override {
        if (Refused(subKey, desired)) return ERROR_ACCESS_DENIED;
        return Wine().RegCreateKeyExW(key, subKey, reserved, keyClass, options, desired, security, result, disposition);
    }
    LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result) override {
        if (Refused(subKey, desired)) return ERROR_ACCESS_DENIED;
        return Wine().RegOpenKeyExW(key, subKey, options, desired, result);
    }
    LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size) override {
        return Wine().RegQueryValueExW(key, name, reserved, type, data, size);
    }
    LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) override {
        return Wine().RegSetValueExW(key, name, reserved, type, data, size);
    }
    LSTATUS RegDeleteValueW(HKEY key, LPCWSTR name) override { return Wine().RegDeleteValueW(key, name); }
    LSTATUS RegCloseKey(HKEY key) override { return Wine().RegCloseKey(key); }

private:
    static os::WinApi& Wine() { return os::Windows(); }
    bool Refused(LPCWSTR subKey, REGSAM desired) const {
        return optionsKeyReadOnly && subKey && std::wstring(subKey) == kOptionsKey &&
               (desired & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0;
    }
};

class NoInput final : public cli::PasswordInput {
public:
    bool IsConsole() override { return false; }
    std::size_t Read(char*, std::size_t) override { return 0; }
    os::SecretString ReadHidden(const char*) override { return {}; }
};

std::optional<std::wstring> StoredOption(const wchar_t* name) {
    wchar_t buffer[64];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, kOptionsKey, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

TEST(CommandLineOnWine, OptionThatAReadOnlyKeyRefusesExitsWithOneAndKeepsTheStoredValue) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kOptionsKey, L"ModifyAllPowerProfiles", REG_SZ, L"False", 6 * sizeof(wchar_t));
    WineRegistryWithReadOnlyKey machine;
    os::ScopedMachine scope{machine};
    NoInput input;
    const auto run = [&](int expectedCode) {
        std::ostringstream out;
        std::ostringstream err;
        cli::Console console{out, err, input};
        EXPECT_EQ(expectedCode, cli::RunCommandLine({"options", "ModifyAllPowerProfiles=True"}, kOptionsKey, console))
            << err.str();
        return err.str();
    };

    machine.optionsKeyReadOnly = true;
    EXPECT_NE(std::string::npos, run(cli::kSystemError).find("did not keep the new value: ModifyAllPowerProfiles"));
    EXPECT_EQ(std::optional<std::wstring>(L"False"), StoredOption(L"ModifyAllPowerProfiles"));

    machine.optionsKeyReadOnly = false;
    EXPECT_EQ("", run(cli::kDone));
    EXPECT_EQ(std::optional<std::wstring>(L"True"), StoredOption(L"ModifyAllPowerProfiles"));
    EXPECT_FALSE(StoredOption(L"VerifyPassword")) << "only the option named is saved";
    RegDeleteTreeW(HKEY_CURRENT_USER, kOptionsKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kOptionsKey);
}

}  // namespace
