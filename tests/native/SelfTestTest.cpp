// The self-test tries each Windows path on scratch copies and leaves nothing
// of its own behind, also when a step fails; without administrator rights it
// skips what needs them.
#include "diagnostics/SelfTest.h"
#include "engine/LateBinding.h"
#include "MachineTest.h"
#include "ProgramImage.h"

#include <map>

using diagnostics::SelfTestOutcome;
using diagnostics::SelfTestResult;

class SelfTestTest : public MachineTest {
protected:
    void SetUp() override {
        machine.programImage = ProgramImage(LOAD_LIBRARY_SEARCH_SYSTEM32);
        engine::RestrictDllSearchToSystemFolder();
    }

    // The outcome and detail of each check, by id.
    std::map<std::string, SelfTestResult> Run() {
        std::map<std::string, SelfTestResult> results;
        for (SelfTestResult& result : diagnostics::RunSelfTest()) results.emplace(result.id, std::move(result));
        return results;
    }

    // Nothing of the self-test's own is left, and the user's schemes are as they were.
    void ExpectNothingLeft(const std::string& step) {
        EXPECT_EQ(machine.powerSchemes.size(), 3u) << step;
        EXPECT_EQ(machine.activeScheme, 0u) << step;
        for (const auto& scheme : machine.powerSchemes)
            EXPECT_EQ(scheme.lockOnWakeAc + scheme.lockOnWakeDc, 2u) << step;
        EXPECT_EQ(machine.lsaSecrets.count(diagnostics::kSelfTestSecretName), 0u) << step;
        EXPECT_EQ(machine.OpenHandles(), 0) << step;
    }
};

TEST_F(SelfTestTest, EveryPathPassesOnAWorkingWindowsAndLeavesNothingBehind) {
    const std::vector<SelfTestResult> results = diagnostics::RunSelfTest();
    std::vector<std::string> ids;
    for (const SelfTestResult& result : results) {
        ids.push_back(result.id);
        EXPECT_EQ(result.outcome, SelfTestOutcome::Passed) << result.id << ": " << result.detail;
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"power-scheme", "private-data", "screen-saver", "modern-standby",
                                             "account-verification", "dll-search", "load-configuration"}));
    EXPECT_EQ(Args("PowerWriteACValueIndex").find("{381B4222"), std::string::npos) << "only the copy is written";
    EXPECT_EQ(machine.CountCalls("PowerWriteDCValueIndex"), 2);
    EXPECT_EQ(machine.CountCalls("LogonUserW"), 0) << "a logon would count towards the lockout";
    ExpectNothingLeft("all passed");
}

TEST_F(SelfTestTest, PowerValuesThatTheRegistryDoesNotHoldFailTheCheck) {
    EXPECT_EQ(Run().at("power-scheme").outcome, SelfTestOutcome::Passed);
    EXPECT_FALSE(machine.HasKey(HKEY_LOCAL_MACHINE, WSTR("SYSTEM\\CurrentControlSet\\Control\\Power\\User\\"
                                                         "PowerSchemes\\c0ff0000-1234-5678-0111-213141516171")))
        << "the copy's values go with it";

    machine.powerValuesReachRegistry = false;  // the power functions read back what they wrote, elsewhere
    const SelfTestResult result = Run().at("power-scheme");
    EXPECT_EQ(result.outcome, SelfTestOutcome::Failed);
    EXPECT_NE(result.detail.find("AC 1 and DC 0 were written, but the registry holds ACSettingIndex none and "
                                 "DCSettingIndex none under HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\"
                                 "Control\\Power\\User\\PowerSchemes\\c0ff0001-"),
              std::string::npos)
        << result.detail;
    ExpectNothingLeft("values not in the registry");
}

TEST_F(SelfTestTest, AFailingStepIsNamedAndItsScratchIsStillDeleted) {
    const struct {
        const char* function;
        DWORD code;
        const char* id;
        const char* detail;
    } cases[] = {
        {"PowerDuplicateScheme", ERROR_CALL_NOT_IMPLEMENTED, "power-scheme", "could not be copied"},
        {"PowerWriteDCValueIndex", ERROR_ACCESS_DENIED, "power-scheme", "did not take the password on wake"},
        {"PowerReadACValueIndex", ERROR_ACCESS_DENIED, "power-scheme", "The copy was deleted."},
        {"LsaStorePrivateData", static_cast<DWORD>(STATUS_OBJECT_NAME_NOT_FOUND), "private-data",
         "could not be stored and read back: Failed call to LsaStorePrivateData: 2"},
        {"LsaRetrievePrivateData", static_cast<DWORD>(STATUS_ACCESS_DENIED), "private-data",
         "Failed call to LsaRetrievePrivateData: 5"},
        {"SystemParametersInfoW", ERROR_INVALID_SPI_VALUE, "screen-saver",
         "system parameter could not be read: System Error.  Code: 1439. Invalid system-wide"},
        {"CallNtPowerInformation", 0xC0000002, "modern-standby", "status 0xC0000002"},
        {"GetUserNameExW", ERROR_NONE_MAPPED, "account-verification", "could not be named"},
    };
    for (const auto& c : cases) {
        os::sim::SimMachine fresh;
        os::ScopedMachine scope(fresh);
        fresh.programImage = ProgramImage(LOAD_LIBRARY_SEARCH_SYSTEM32);
        engine::RestrictDllSearchToSystemFolder();
        fresh.Fail(c.function, c.code);
        for (const SelfTestResult& result : diagnostics::RunSelfTest()) {
            if (result.id != c.id) {
                EXPECT_EQ(result.outcome, SelfTestOutcome::Passed) << c.function << ", " << result.id;
                continue;
            }
            EXPECT_EQ(result.outcome, SelfTestOutcome::Failed) << c.function;
            EXPECT_NE(result.detail.find(c.detail), std::string::npos) << c.function << ": " << result.detail;
        }
        EXPECT_EQ(fresh.powerSchemes.size(), 3u) << c.function;
        EXPECT_EQ(fresh.lsaSecrets.count(diagnostics::kSelfTestSecretName), 0u) << c.function;
        EXPECT_EQ(fresh.OpenHandles(), 0) << c.function;
    }
}

TEST_F(SelfTestTest, ScratchThatCannotBeDeletedIsAFailureThatSaysHowToRemoveIt) {
    machine.Fail("PowerDeleteScheme", ERROR_ACCESS_DENIED);
    machine.Fail("LsaStorePrivateData", static_cast<DWORD>(STATUS_ACCESS_DENIED), 1);
    auto results = Run();
    const std::string copy = os::GuidText(machine.powerSchemes.back().guid);
    EXPECT_EQ(results["power-scheme"].outcome, SelfTestOutcome::Failed);
    EXPECT_NE(results["power-scheme"].detail.find("remove it with: powercfg /delete " + copy), std::string::npos)
        << results["power-scheme"].detail;
    EXPECT_EQ(results["private-data"].outcome, SelfTestOutcome::Failed);
    EXPECT_NE(results["private-data"].detail.find("It could not be deleted"), std::string::npos)
        << results["private-data"].detail;
    machine.powerSchemes.pop_back();
    machine.lsaSecrets.clear();
    ExpectNothingLeft("after the test's own cleanup");
}

TEST_F(SelfTestTest, DllProtectionsAreReadFromTheStartUpAndTheRunningImage) {
    machine.RemoveExport("kernel32.dll", "SetDefaultDllDirectories");
    engine::RestrictDllSearchToSystemFolder();
    auto results = Run();
    EXPECT_EQ(results["dll-search"].outcome, SelfTestOutcome::Passed);
    EXPECT_NE(results["dll-search"].detail.find("KB2533623"), std::string::npos);

    machine.Fail("SetDllDirectoryW", ERROR_ACCESS_DENIED);
    engine::RestrictDllSearchToSystemFolder();
    machine.programImage = ProgramImage(0);
    results = Run();
    EXPECT_EQ(results["dll-search"].outcome, SelfTestOutcome::Failed);
    EXPECT_EQ(results["load-configuration"].outcome, SelfTestOutcome::Failed);
    EXPECT_NE(results["load-configuration"].detail.find("0x0000"), std::string::npos);

    machine.programImage = ProgramImage(std::nullopt);
    EXPECT_EQ(Run()["load-configuration"].outcome, SelfTestOutcome::Failed);
}

TEST_F(SelfTestTest, WithoutAdministratorRightsTheStepsThatNeedThemAreSkippedAndSaySo) {
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    auto results = Run();
    for (const char* id : {"power-scheme", "private-data"}) {
        EXPECT_EQ(results[id].outcome, SelfTestOutcome::Skipped) << id;
        EXPECT_NE(results[id].detail.find("needs administrator rights"), std::string::npos) << id;
    }
    EXPECT_EQ(results["screen-saver"].outcome, SelfTestOutcome::Passed);
    EXPECT_EQ(machine.CountCalls("PowerDuplicateScheme") + machine.CountCalls("LsaOpenPolicy"), 0);
}
