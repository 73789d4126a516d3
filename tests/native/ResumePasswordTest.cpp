#include "engine/Exception.h"
#include "engine/Utilities.h"
#include "engine/VistaPower.h"
#include "MachineTest.h"

#include <cstring>

class ResumePasswordTest : public MachineTest {
protected:
    void SetActiveScheme(DWORD ac, DWORD dc) {
        machine.powerSchemes[machine.activeScheme].lockOnWakeAc = ac;
        machine.powerSchemes[machine.activeScheme].lockOnWakeDc = dc;
    }
};

TEST_F(ResumePasswordTest, MainsReadsTheActiveSchemesAcIndexAndBatteryItsDcIndex) {
    machine.activeScheme = 1;
    SetActiveScheme(1, 0);
    EXPECT_TRUE(engine::GetAskPasswordOnResume());
    EXPECT_EQ(machine.CountCalls("PowerReadDCValueIndex"), 0);
    EXPECT_EQ(Args("PowerGetActiveScheme"), "null");
    machine.powerStatus.ACLineStatus = 0;
    EXPECT_FALSE(engine::GetAskPasswordOnResume());
    EXPECT_EQ(machine.CountCalls("PowerReadACValueIndex"), 1);
    EXPECT_EQ(machine.CountCalls("LocalFree"), 2);
}

TEST_F(ResumePasswordTest, UnknownPowerSourceOrFailedStatusReadsTheAcIndex) {
    SetActiveScheme(0, 2);
    machine.powerStatus.ACLineStatus = 255;
    EXPECT_FALSE(engine::GetAskPasswordOnResume());
    machine.powerStatus.ACLineStatus = 0;
    machine.Fail("GetSystemPowerStatus", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(engine::GetAskPasswordOnResume());
    EXPECT_EQ(machine.CountCalls("PowerReadDCValueIndex"), 0);
}

TEST_F(ResumePasswordTest, AnyNonZeroIndexAsks) {
    SetActiveScheme(7, 0);
    EXPECT_TRUE(engine::GetAskPasswordOnResume());
}

TEST_F(ResumePasswordTest, ActiveSchemeOnlyWritesAcThenDcAndActivatesItAgain) {
    machine.activeScheme = 2;
    engine::SetAskPasswordOnResume(false, false);
    EXPECT_EQ(machine.CountCalls("PowerEnumerate"), 0);
    std::vector<std::string> order;
    for (const auto& call : machine.Calls())
        if (call.function.rfind("PowerWrite", 0) == 0 || call.function == "PowerSetActiveScheme")
            order.push_back(call.function);
    EXPECT_EQ(order, (std::vector<std::string>{"PowerWriteACValueIndex", "PowerWriteDCValueIndex",
                                               "PowerSetActiveScheme"}));
    EXPECT_EQ(machine.powerSchemes[2].lockOnWakeAc, 0u);
    EXPECT_EQ(machine.powerSchemes[2].lockOnWakeDc, 0u);
    EXPECT_EQ(machine.powerSchemes[0].lockOnWakeAc, 1u);
    EXPECT_EQ(machine.activeScheme, 2u);
    // NO_SUBGROUP_GUID, for a setting outside any subgroup.
    EXPECT_NE(Args("PowerWriteACValueIndex")
                  .find(",{FEA3413E-7E05-4911-9A71-700331F1C294},{0E796BDB-100D-47D6-A2D5-F7D2DAA51F51},0"),
              std::string::npos);
}

TEST_F(ResumePasswordTest, PowerFunctionsRefuseTheNullSubgroupAndKeepWrittenValuesInTheRegistry) {
    const GUID scheme = machine.powerSchemes[1].guid;
    DWORD index = 7;
    EXPECT_EQ(machine.PowerReadACValueIndex(nullptr, &scheme, nullptr, &os::kLockConsoleOnWake, &index),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(machine.PowerWriteDCValueIndex(nullptr, &scheme, nullptr, &os::kLockConsoleOnWake, 0),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(machine.powerSchemes[1].lockOnWakeDc, 1u);

    engine::SetAskPasswordOnResume(false, true);
    const os::WString path = os::PowerValueKeyPath(scheme, os::kNoSubgroup, os::kLockConsoleOnWake);
    EXPECT_EQ(os::ToUtf8(path), "SYSTEM\\CurrentControlSet\\Control\\Power\\User\\PowerSchemes\\8c5e7fda-1234-5678-0111-"
                                "213141516171\\fea3413e-7e05-4911-9a71-700331f1c294\\0e796bdb-100d-47d6-a2d5-f7d2daa51f51");
    const engine::StoredLockOnWake stored = engine::VistaReadStoredLockOnWake(scheme);
    EXPECT_EQ(stored.ac, 0u);
    EXPECT_EQ(stored.dc, 0u);
    EXPECT_FALSE(engine::VistaReadStoredLockOnWake(os::kNoSubgroup).ac);  // no such scheme: nothing stored
}

TEST_F(ResumePasswordTest, FailedActivationRaisesAfterTheValuesWereWritten) {
    machine.Fail("PowerSetActiveScheme", ERROR_ACCESS_DENIED);
    const std::string message = MessageOf<engine::EPowerSchemeNotActivated>([] {
        engine::SetAskPasswordOnResume(false, false);
    });
    EXPECT_NE(message.find("was written to the power plan, but Windows did not activate the plan"), std::string::npos)
        << message;
    EXPECT_EQ(machine.CountCalls("PowerSetActiveScheme"), 1);
    EXPECT_EQ(machine.powerSchemes[0].lockOnWakeAc, 0u);
    EXPECT_EQ(machine.powerSchemes[0].lockOnWakeDc, 0u);
    EXPECT_EQ(machine.CountCalls("LocalFree"), 1);
}

TEST_F(ResumePasswordTest, AllSchemesEnumeratesUntilNoMoreItemsAndWritesEachAcBeforeDc) {
    for (auto& scheme : machine.powerSchemes) scheme.lockOnWakeAc = scheme.lockOnWakeDc = 0;
    engine::SetAskPasswordOnResume(true, true);
    EXPECT_EQ(Args("PowerEnumerate"),
              "null,null,null,flags=16,index=0,size=16 | null,null,null,flags=16,index=1,size=16 | "
              "null,null,null,flags=16,index=2,size=16 | null,null,null,flags=16,index=3,size=16");
    std::vector<std::string> writes;
    for (const auto& call : machine.Calls())
        if (call.function.rfind("PowerWrite", 0) == 0) writes.push_back(call.function.substr(10, 2) + call.args.substr(0, 9));
    ASSERT_EQ(writes.size(), 6u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(writes[2 * i].substr(0, 2), "AC");
        EXPECT_EQ(writes[2 * i + 1].substr(0, 2), "DC");
        EXPECT_EQ(writes[2 * i].substr(2), writes[2 * i + 1].substr(2));
    }
    for (const auto& scheme : machine.powerSchemes) {
        EXPECT_EQ(scheme.lockOnWakeAc, 1u);
        EXPECT_EQ(scheme.lockOnWakeDc, 1u);
    }
}

TEST_F(ResumePasswordTest, NinetyEightSchemesAreAllWrittenAndNinetyNineAreRefusedBeforeAnyWrite) {
    os::sim::PowerScheme model = machine.powerSchemes[0];
    machine.powerSchemes.clear();
    for (ULONG i = 0; i < 98; ++i) {
        model.guid.Data1 = i + 1;
        machine.powerSchemes.push_back(model);
    }
    engine::SetAskPasswordOnResume(false, true);
    EXPECT_EQ(machine.CountCalls("PowerWriteDCValueIndex"), 98);

    machine.powerSchemes.push_back(model);
    machine.powerSchemes.back().guid.Data1 = 99;
    machine.ClearCalls();
    try {
        engine::SetAskPasswordOnResume(true, true);
        FAIL();
    } catch (const engine::EOSError& e) {
        EXPECT_STREQ(e.what(), "A call to an OS function failed");
    }
    EXPECT_EQ(machine.CountCalls("PowerEnumerate"), 99);
    EXPECT_EQ(machine.CountCalls("PowerWriteACValueIndex"), 0);
}

TEST_F(ResumePasswordTest, EnumerationFailureCarriesItsOwnCode) {
    machine.Fail("PowerEnumerate", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(MessageOf<engine::EOSError>([] { engine::SetAskPasswordOnResume(true, true); }),
              "System Error.  Code: 5.\r\nAccess is denied.");
    EXPECT_EQ(machine.CountCalls("PowerWriteACValueIndex"), 0);
}

TEST_F(ResumePasswordTest, FailingWriteKeepsEarlierSchemesAndReportsTheReturnedCode) {
    for (auto& scheme : machine.powerSchemes) scheme.lockOnWakeAc = scheme.lockOnWakeDc = 0;
    machine.Fail("PowerWriteDCValueIndex", ERROR_ACCESS_DENIED, 1);
    try {
        engine::SetAskPasswordOnResume(true, true);
        FAIL();
    } catch (const engine::EOSError& e) {
        EXPECT_EQ(e.ErrorCode, 5u);
    }
    EXPECT_EQ(machine.powerSchemes[0].lockOnWakeDc, 1u);
    EXPECT_EQ(machine.powerSchemes[1].lockOnWakeAc, 1u);
    EXPECT_EQ(machine.powerSchemes[1].lockOnWakeDc, 0u);
    EXPECT_EQ(machine.powerSchemes[2].lockOnWakeAc, 0u);
    EXPECT_EQ(machine.CountCalls("PowerSetActiveScheme"), 0);
}

TEST_F(ResumePasswordTest, FunctionThatWindowsLacksRaisesItsCode) {
    machine.Fail("PowerGetActiveScheme", ERROR_CALL_NOT_IMPLEMENTED);
    try {
        engine::GetAskPasswordOnResume();
        FAIL();
    } catch (const engine::EOSError& e) {
        EXPECT_EQ(e.ErrorCode, 120u);
        EXPECT_STREQ(e.what(), "System Error.  Code: 120.\r\nThis function is not supported on this system.");
    }
    machine.Fail("PowerGetActiveScheme", 0, 0, 0);
    machine.Fail("PowerReadACValueIndex", ERROR_FILE_NOT_FOUND);
    EXPECT_THROW(engine::GetAskPasswordOnResume(), engine::EOSError);
}

class GlobalPowerPolicyTest : public ResumePasswordTest {
protected:
    void SetUp() override { UseWindowsXp(); }
};

TEST_F(GlobalPowerPolicyTest, FlagOfTheUserPartDecides) {
    machine.globalPowerPolicy.user.GlobalFlags = 0x01 | os::kEnablePasswordLogon;
    EXPECT_TRUE(engine::GetAskPasswordOnResume());
    machine.globalPowerPolicy.user.GlobalFlags = 0x01;
    EXPECT_FALSE(engine::GetAskPasswordOnResume());
    EXPECT_EQ(machine.CountCalls("PowerGetActiveScheme"), 0);
}

TEST_F(GlobalPowerPolicyTest, WriteChangesOnlyBitTwoAtOffset172AndActivatesTheActiveIndex) {
    BYTE pattern[sizeof(GLOBAL_POWER_POLICY)];
    for (std::size_t i = 0; i < sizeof pattern; ++i) pattern[i] = static_cast<BYTE>(i * 7 + 3);
    std::memcpy(&machine.globalPowerPolicy, pattern, sizeof pattern);
    machine.activePwrSchemeIndex = 4;

    engine::SetAskPasswordOnResume(true, true);
    BYTE after[sizeof(GLOBAL_POWER_POLICY)];
    std::memcpy(after, &machine.globalPowerPolicy, sizeof after);
    for (std::size_t i = 0; i < sizeof after; ++i)
        EXPECT_EQ(after[i], i == 172 ? static_cast<BYTE>(pattern[i] | 0x04) : pattern[i]) << "offset " << i;

    engine::SetAskPasswordOnResume(false, false);
    std::memcpy(after, &machine.globalPowerPolicy, sizeof after);
    EXPECT_EQ(after[172], static_cast<BYTE>(pattern[172] & ~0x04));
    EXPECT_EQ(Args("SetActivePwrScheme"), "4,null,null | 4,null,null");
    EXPECT_EQ(machine.CountCalls("PowerEnumerate"), 0);
}

TEST_F(GlobalPowerPolicyTest, EachFailingStepRaisesWithTheLastError) {
    for (const char* step : {"ReadGlobalPwrPolicy", "WriteGlobalPwrPolicy", "GetActivePwrScheme", "SetActivePwrScheme"}) {
        os::sim::SimMachine fresh;
        os::ScopedMachine use(fresh);
        fresh.majorVersion = 5;
        fresh.Fail(step, ERROR_CALL_NOT_IMPLEMENTED);
        try {
            engine::SetAskPasswordOnResume(true, false);
            ADD_FAILURE() << step;
        } catch (const engine::EOSError& e) {
            EXPECT_EQ(e.ErrorCode, 120u) << step;
        }
    }
}

TEST_F(GlobalPowerPolicyTest, PerSchemeFunctionsAreNeverLookedUpBeforeWindows6) {
    machine.RemoveExport("powrprof.dll", "PowerEnumerate");
    machine.RemoveExport("powrprof.dll", "PowerGetActiveScheme");
    EXPECT_NO_THROW(engine::SetAskPasswordOnResume(true, true));
    EXPECT_NO_THROW(engine::GetAskPasswordOnResume());
}

TEST_F(ResumePasswordTest, WindowsWithoutThePerSchemeFunctionsFailsWithTheBindingError) {
    machine.RemoveExport("powrprof.dll", "PowerEnumerate");
    EXPECT_NO_THROW(engine::SetAskPasswordOnResume(true, false));
    EXPECT_EQ(MessageOf<engine::EJwaGetProcAddressError>([] { engine::SetAskPasswordOnResume(true, true); }),
              "Function not found: powrprof.dll.PowerEnumerate");
}
