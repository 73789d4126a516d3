#include "engine/NTSecurity.h"
#include "MachineTest.h"

using os::sim::AdministratorsSid;
using os::sim::UsersSid;

class AdministratorTest : public MachineTest {
protected:
    // Windows before 2000 has no CheckTokenMembership: the token's groups are walked.
    void UseTokenWalk() { machine.RemoveExport("advapi32.dll", "CheckTokenMembership"); }
};

TEST_F(AdministratorTest, MemberOfTheAdministratorsGroupIsAnAdministrator) {
    EXPECT_TRUE(engine::IsAdministrator());
    EXPECT_EQ(Args("AllocateAndInitializeSid"), "2,32,544");
    EXPECT_EQ(machine.CountCalls("CheckTokenMembership"), 1);
    EXPECT_EQ(machine.CountCalls("FreeSid"), 1);
}

TEST_F(AdministratorTest, OutsideTheNtFamilyTheAnswerIsTrueWithoutAnySecurityCall) {
    machine.platformId = VER_PLATFORM_WIN32_WINDOWS;
    machine.processGroups = {{UsersSid(), SE_GROUP_ENABLED}};
    EXPECT_TRUE(engine::IsAdministrator());
    EXPECT_EQ(machine.CountCalls("AllocateAndInitializeSid"), 0);
}

TEST_F(AdministratorTest, FailedSidAllocationAnswersFalseAndOpensNoToken) {
    machine.Fail("AllocateAndInitializeSid", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(engine::IsAdministrator());
    EXPECT_EQ(machine.CountCalls("OpenThreadToken") + machine.CountCalls("OpenProcessToken"), 0);
}

TEST_F(AdministratorTest, FailedMembershipCallAnswersFalse) {
    machine.Fail("CheckTokenMembership", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(engine::IsAdministrator());
}

TEST_F(AdministratorTest, TokenWalkNeedsTheGroupEnabledAndNotForDenyOnly) {
    UseTokenWalk();
    EXPECT_TRUE(engine::IsAdministrator());
    EXPECT_EQ(Args("OpenProcessToken"), "0x8");
    machine.processGroups = {{UsersSid(), SE_GROUP_ENABLED},
                             {AdministratorsSid(), SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY}};
    EXPECT_FALSE(engine::IsAdministrator());
    machine.processGroups = {{AdministratorsSid(), 0}};
    EXPECT_FALSE(engine::IsAdministrator());
    // A matching SID with other attributes does not end the walk.
    machine.processGroups = {{AdministratorsSid(), SE_GROUP_USE_FOR_DENY_ONLY}, {AdministratorsSid(), SE_GROUP_ENABLED}};
    EXPECT_TRUE(engine::IsAdministrator());
}

TEST_F(AdministratorTest, MembershipCheckUsesTheSystemsAnswerForDenyOnlyGroups) {
    machine.processGroups = {{AdministratorsSid(), SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY}};
    EXPECT_FALSE(engine::IsAdministrator());
}

TEST_F(AdministratorTest, ImpersonatingThreadIsCheckedByItsOwnToken) {
    UseTokenWalk();
    machine.threadGroups = std::vector<os::sim::TokenGroup>{{UsersSid(), SE_GROUP_ENABLED}};
    EXPECT_FALSE(engine::IsAdministrator());
    EXPECT_EQ(machine.CountCalls("OpenProcessToken"), 0);
    EXPECT_EQ(Args("OpenThreadToken"), "0x8,self=1");
}

TEST_F(AdministratorTest, TokenFailuresAnswerFalse) {
    UseTokenWalk();
    machine.Fail("OpenThreadToken", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(engine::IsAdministrator());
    EXPECT_EQ(machine.CountCalls("OpenProcessToken"), 0);
    machine.Fail("OpenThreadToken", 0, 0, 0);
    machine.Fail("OpenProcessToken", ERROR_ACCESS_DENIED, 0, 1);
    EXPECT_FALSE(engine::IsAdministrator());
    machine.Fail("GetTokenInformation", ERROR_ACCESS_DENIED, 0, 1);
    EXPECT_FALSE(engine::IsAdministrator());
    machine.Fail("GetTokenInformation", ERROR_ACCESS_DENIED, 1, 1);
    EXPECT_FALSE(engine::IsAdministrator());
    EXPECT_TRUE(engine::IsAdministrator());
}

TEST_F(AdministratorTest, VersionBeforeWindows2000WalksTheToken) {
    machine.majorVersion = 4;
    EXPECT_TRUE(engine::IsAdministrator());
    EXPECT_EQ(machine.CountCalls("CheckTokenMembership"), 0);
    EXPECT_EQ(machine.CountCalls("GetTokenInformation"), 2);
}

TEST_F(AdministratorTest, EveryCallChecksAgain) {
    EXPECT_TRUE(engine::IsAdministrator());
    machine.processGroups = {{UsersSid(), SE_GROUP_ENABLED}};
    EXPECT_FALSE(engine::IsAdministrator());
    EXPECT_EQ(machine.CountCalls("CheckTokenMembership"), 2);
}
