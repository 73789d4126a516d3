#include "engine/Exception.h"
#include "engine/LateBinding.h"
#include "engine/OsError.h"
#include "MachineTest.h"

using engine::BindOsFunction;
using engine::OsFunctionSlot;

class LateBindingTest : public MachineTest {};

TEST_F(LateBindingTest, SecondCallUsesTheSlotWithoutLookingUpAgain) {
    OsFunctionSlot slot;
    BindOsFunction(slot, "advapi32.dll", "LsaClose");
    ASSERT_NE(slot.address, nullptr);
    const FARPROC first = slot.address;
    machine.ClearCalls();
    BindOsFunction(slot, "advapi32.dll", "LsaClose");
    EXPECT_EQ(slot.address, first);
    EXPECT_EQ(machine.CountCalls("GetModuleHandleA"), 0);
    EXPECT_EQ(machine.CountCalls("GetProcAddress"), 0);
}

TEST_F(LateBindingTest, LibraryNotLoadedIsLoadedFromTheSystemFolderOnly) {
    OsFunctionSlot slot;
    ASSERT_FALSE(machine.IsLoaded("powrprof.dll"));
    BindOsFunction(slot, "powrprof.dll", "PowerEnumerate");
    EXPECT_EQ(Args("LoadLibraryExA"), "powrprof.dll,flags=0x800");
    EXPECT_TRUE(machine.IsLoaded("powrprof.dll"));
}

// Windows 8 and later, or Vista and 7 with the update: the system folder
// alone. Without the update the search flags are refused, so a DLL is loaded
// by its full path and the current folder is taken out of the search.
TEST_F(LateBindingTest, DllSearchIsRestrictedWithOrWithoutSetDefaultDllDirectories) {
    engine::RestrictDllSearchToSystemFolder();
    EXPECT_EQ(machine.defaultDllDirectories, static_cast<DWORD>(LOAD_LIBRARY_SEARCH_SYSTEM32));
    EXPECT_FALSE(machine.dllDirectory);

    os::sim::SimMachine old;
    os::ScopedMachine oldScope(old);
    old.RemoveExport("kernel32.dll", "SetDefaultDllDirectories");
    engine::RestrictDllSearchToSystemFolder();
    EXPECT_EQ(old.dllDirectory, os::WString());
    OsFunctionSlot slot;
    BindOsFunction(slot, "powrprof.dll", "PowerEnumerate");
    EXPECT_NE(slot.address, nullptr);
    const std::vector<std::string> loads = old.CallsTo("LoadLibraryExA");
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0], "C:\\Windows\\system32\\powrprof.dll,flags=0x8");

    // Setting the default directories may fail where the function exists.
    os::sim::SimMachine refusing;
    os::ScopedMachine refusingScope(refusing);
    refusing.Fail("SetDefaultDllDirectories", ERROR_INVALID_PARAMETER);
    engine::RestrictDllSearchToSystemFolder();
    EXPECT_EQ(refusing.dllDirectory, os::WString());
}

TEST_F(LateBindingTest, MissingLibraryAndFunctionNameWhatWasMissing) {
    machine.RemoveLibrary("powrprof.dll");
    OsFunctionSlot slot;
    EXPECT_EQ(MessageOf<engine::EJwaLoadLibraryError>([&] { BindOsFunction(slot, "powrprof.dll", "PowerEnumerate"); }),
              "Library not found: powrprof.dll");
    EXPECT_EQ(MessageOf<engine::EJwaGetProcAddressError>(
                  [&] { BindOsFunction(slot, "advapi32.dll", "NoSuchFunction"); }),
              "Function not found: advapi32.dll.NoSuchFunction");
    EXPECT_EQ(slot.address, nullptr);
}

TEST_F(LateBindingTest, FailedBindingLeavesTheSlotEmptySoTheNextCallTriesAgain) {
    machine.Fail("GetProcAddress", ERROR_PROC_NOT_FOUND, 0, 1);
    OsFunctionSlot slot;
    EXPECT_THROW(BindOsFunction(slot, "advapi32.dll", "LsaClose"), engine::EJwaGetProcAddressError);
    EXPECT_EQ(slot.address, nullptr);
    BindOsFunction(slot, "advapi32.dll", "LsaClose");
    EXPECT_NE(slot.address, nullptr);
}

TEST_F(LateBindingTest, BindingErrorsAreJwaErrorsAndGeneralExceptions) {
    machine.RemoveLibrary("secur32.dll");
    OsFunctionSlot slot;
    EXPECT_THROW(BindOsFunction(slot, "secur32.dll", "GetUserNameExW"), engine::EJwaError);
    EXPECT_THROW(BindOsFunction(slot, "secur32.dll", "GetUserNameExW"), engine::Exception);
}

TEST_F(LateBindingTest, LateBoundFunctionCallsTheMachineWithTheCallersArguments) {
    machine.majorVersion = 6;
    machine.minorVersion = 1;
    machine.buildNumber = 7601;
    EXPECT_EQ(engine::late::GetVersion(), 6u | (1u << 8) | (7601u << 16));
}

class OsErrorTest : public MachineTest {};

TEST_F(OsErrorTest, CodeAndSystemTextFormTheMessage) {
    try {
        engine::RaiseOsError(ERROR_ACCESS_DENIED);
        FAIL();
    } catch (const engine::EOSError& e) {
        EXPECT_STREQ(e.what(), "System Error.  Code: 5.\r\nAccess is denied.");
        EXPECT_EQ(e.ErrorCode, 5u);
    }
}

TEST_F(OsErrorTest, CodeZeroSaysThatACallFailed) {
    try {
        engine::RaiseOsError(0);
        FAIL();
    } catch (const engine::EOSError& e) {
        EXPECT_STREQ(e.what(), "A call to an OS function failed");
        EXPECT_EQ(e.ErrorCode, 0u);
    }
}

TEST_F(OsErrorTest, WithoutCodeTheLastErrorIsTaken) {
    machine.SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    try {
        engine::RaiseOsError();
        FAIL();
    } catch (const engine::EOSError& e) {
        EXPECT_STREQ(e.what(), "System Error.  Code: 120.\r\nThis function is not supported on this system.");
        EXPECT_EQ(e.ErrorCode, 120u);
    }
}

TEST_F(OsErrorTest, UnknownCodeKeepsTheFormWithAnEmptyText) {
    EXPECT_EQ(MessageOf<engine::EOSError>([] { engine::RaiseOsError(424242); }), "System Error.  Code: 424242.\r\n");
}
