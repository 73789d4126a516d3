// The byte layouts that the engine relies on, in both builds.
#include "os/WinTypes.h"

#include <gtest/gtest.h>

#include <cstddef>

TEST(WinTypesLayout, GlobalPowerPolicyKeepsItsFlagsAtOffset172Of192) {
    EXPECT_EQ(sizeof(GLOBAL_USER_POWER_POLICY), 176u);
    EXPECT_EQ(sizeof(GLOBAL_MACHINE_POWER_POLICY), 16u);
    EXPECT_EQ(sizeof(GLOBAL_POWER_POLICY), 192u);
    EXPECT_EQ(offsetof(GLOBAL_POWER_POLICY, user) + offsetof(GLOBAL_USER_POWER_POLICY, GlobalFlags), 172u);
}

TEST(WinTypesLayout, SystemStructuresHaveTheirWindowsSizes) {
    EXPECT_EQ(sizeof(SYSTEM_POWER_STATUS), 12u);
    EXPECT_EQ(offsetof(SYSTEM_POWER_STATUS, ACLineStatus), 0u);
    EXPECT_EQ(sizeof(OSVERSIONINFOW), 276u);
    EXPECT_EQ(sizeof(GUID), 16u);
    EXPECT_EQ(sizeof(WCHAR), 2u);
    EXPECT_EQ(sizeof(DWORD), 4u);
    EXPECT_EQ(sizeof(LONG), 4u);
    EXPECT_EQ(sizeof(LSA_UNICODE_STRING), 2 * sizeof(USHORT) + (sizeof(void*) - 2 * sizeof(USHORT)) + sizeof(void*));
    EXPECT_EQ(offsetof(TOKEN_GROUPS, Groups), sizeof(void*));
    EXPECT_EQ(sizeof(TOKEN_USER), 2 * sizeof(void*));
    // The process start-up structures: 104 and 24 bytes in 64-bit Windows, 68 and 16 in 32-bit.
    EXPECT_EQ(sizeof(STARTUPINFOW), sizeof(void*) == 8 ? 104u : 68u);
    EXPECT_EQ(offsetof(STARTUPINFOW, lpDesktop), 2 * sizeof(void*));
    EXPECT_EQ(offsetof(STARTUPINFOW, hStdInput), sizeof(void*) == 8 ? 80u : 56u);
    EXPECT_EQ(sizeof(PROCESS_INFORMATION), 2 * sizeof(void*) + 8);
    // AoAc, read by its offset, is the byte before DiskSpinDown.
    EXPECT_EQ(sizeof(SYSTEM_POWER_CAPABILITIES), 76u);
    EXPECT_EQ(offsetof(SYSTEM_POWER_CAPABILITIES, DiskSpinDown), os::kAoAcOffset + 1);
}
