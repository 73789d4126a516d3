#include "engine/Exception.h"
#include "MachineTest.h"
#include "shell/ResStrings.h"

class ResStringsTest : public MachineTest {};

TEST_F(ResStringsTest, TextsComeWholeFromTheProgramsStringTable) {
    const os::WString longText(3000, WCHAR('x'));
    machine.strings = {{100, WSTR("SOFTWARE\\Vantrel\\Gatewise")}, {101, longText}};
    EXPECT_EQ(shell::ResString(100), os::WString(WSTR("SOFTWARE\\Vantrel\\Gatewise")));
    EXPECT_EQ(shell::ResString(101), longText) << "no buffer cuts it";
    EXPECT_EQ(shell::ResStringOrEmpty(102), os::WString());
    EXPECT_EQ(MessageOf<engine::Exception>([] { shell::ResString(102); }), "The text 102 is missing from the program");
    machine.Fail("LoadStringW", ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(shell::ResStringOrEmpty(100), os::WString());
}
