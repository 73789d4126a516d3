#include "engine/Exception.h"
#include "engine/Utilities.h"
#include "MachineTest.h"

using os::WString;

class ScreenSaverPasswordTest : public MachineTest {
protected:
    std::optional<WString> Stored() const { return machine.String(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure")); }
};

TEST_F(ScreenSaverPasswordTest, FromWindows6OnTheSystemParameterDecidesAndTheRegistryIsNotRead) {
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure"), WSTR("1"));
    machine.screenSaverSecure = FALSE;
    EXPECT_FALSE(engine::GetAskPasswordOnScreenSaver());
    machine.screenSaverSecure = TRUE;
    EXPECT_TRUE(engine::GetAskPasswordOnScreenSaver());
    EXPECT_EQ(machine.CountCalls("RegQueryValueExW"), 0);
    EXPECT_EQ(Args("SystemParametersInfoW"), "0x76,0,ptr,0 | 0x76,0,ptr,0");
}

TEST_F(ScreenSaverPasswordTest, SetWritesTheRegistryValueThenTheSystemParameter) {
    engine::SetAskPasswordOnScreenSaver(false);
    EXPECT_EQ(Stored(), WString(WSTR("0")));
    EXPECT_FALSE(machine.screenSaverSecure);
    engine::SetAskPasswordOnScreenSaver(true);
    EXPECT_EQ(Stored(), WString(WSTR("1")));
    EXPECT_TRUE(machine.screenSaverSecure);
    EXPECT_EQ(Args("SystemParametersInfoW"), "0x77,0,null,2 | 0x77,1,null,2");
    EXPECT_EQ(Args("RegCreateKeyExW"), "HKCU\\Control Panel\\Desktop,access=0xF013F,options=0x0 | "
                                       "HKCU\\Control Panel\\Desktop,access=0xF013F,options=0x0");
}

TEST_F(ScreenSaverPasswordTest, FromWindows6OnAnUnavailableKeyStillChangesTheParameter) {
    machine.Fail("RegCreateKeyExW", ERROR_ACCESS_DENIED);
    EXPECT_NO_THROW(engine::SetAskPasswordOnScreenSaver(false));
    EXPECT_FALSE(machine.screenSaverSecure);
    EXPECT_EQ(Stored(), WString(WSTR("1")));
}

TEST_F(ScreenSaverPasswordTest, FailingParameterRaisesAfterTheRegistryWasWritten) {
    machine.Fail("SystemParametersInfoW", ERROR_INVALID_SPI_VALUE);
    try {
        engine::SetAskPasswordOnScreenSaver(false);
        FAIL();
    } catch (const engine::EOSError& e) {
        EXPECT_EQ(e.ErrorCode, DWORD{ERROR_INVALID_SPI_VALUE});
    }
    EXPECT_EQ(Stored(), WString(WSTR("0")));
    EXPECT_THROW(engine::GetAskPasswordOnScreenSaver(), engine::EOSError);
}

TEST_F(ScreenSaverPasswordTest, LockedSessionRefusesTheParameterAndChangesNothing) {
    machine.sessionLocked = true;
    const std::string message = MessageOf<engine::ESessionLocked>([] { engine::SetAskPasswordOnScreenSaver(false); });
    EXPECT_EQ(message, "The screen saver setting of the session cannot change while the computer is locked.");
    EXPECT_TRUE(machine.screenSaverSecure);
    EXPECT_TRUE(engine::GetAskPasswordOnScreenSaver());  // reading works all the same
    machine.sessionLocked = false;
    engine::SetAskPasswordOnScreenSaver(false);
    EXPECT_FALSE(machine.screenSaverSecure);
}

TEST_F(ScreenSaverPasswordTest, RefusedRegistryWriteLeavesTheParameterAlone) {
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(MessageOf<engine::ERegistryException>([] { engine::SetAskPasswordOnScreenSaver(false); }),
              "Failed to set data for 'ScreenSaverIsSecure'");
    EXPECT_TRUE(machine.screenSaverSecure);
    EXPECT_EQ(machine.CountCalls("SystemParametersInfoW"), 0);
}

TEST_F(ScreenSaverPasswordTest, BeforeWindows6OnlyTheExactTextOneAsks) {
    UseWindowsXp();
    machine.screenSaverSecure = TRUE;
    for (const WCHAR* text : {WSTR("0"), WSTR(""), WSTR("01"), WSTR("yes"), WSTR("1 ")}) {
        machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure"), text);
        EXPECT_FALSE(engine::GetAskPasswordOnScreenSaver()) << os::ToUtf8(text);
    }
    machine.SetDword(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure"), 1);
    EXPECT_FALSE(engine::GetAskPasswordOnScreenSaver());
    machine.Key(HKEY_CURRENT_USER, kDesktop).values.clear();
    EXPECT_FALSE(engine::GetAskPasswordOnScreenSaver());
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure"), WSTR("1"));
    EXPECT_TRUE(engine::GetAskPasswordOnScreenSaver());
    EXPECT_EQ(machine.CountCalls("SystemParametersInfoW"), 0);
}

TEST_F(ScreenSaverPasswordTest, BeforeWindows6TheRegistryAloneIsWrittenAndAKeyThatCannotBeOpenedRaises) {
    UseWindowsXp();
    engine::SetAskPasswordOnScreenSaver(false);
    EXPECT_EQ(Stored(), WString(WSTR("0")));
    EXPECT_EQ(machine.CountCalls("SystemParametersInfoW"), 0);
    EXPECT_EQ(Args("RegCreateKeyExW"), "HKCU\\Control Panel\\Desktop,access=0xF003F,options=0x0");
    machine.Fail("RegCreateKeyExW", ERROR_ACCESS_DENIED);
    EXPECT_THROW(engine::SetAskPasswordOnScreenSaver(true), engine::EOSError);
    // The read asks for reading only, so a key that refuses writes is still read.
    EXPECT_FALSE(engine::GetAskPasswordOnScreenSaver());
    EXPECT_EQ(Args("RegOpenKeyExW"), "HKCU\\Control Panel\\Desktop,access=0x20019");
    machine.Fail("RegOpenKeyExW", ERROR_ACCESS_DENIED);
    EXPECT_THROW(engine::GetAskPasswordOnScreenSaver(), engine::EOSError);
}
