#include "crashreport/ReportText.h"

#include <gtest/gtest.h>

namespace {

using crashreport::ContextFacts;
using crashreport::ExceptionFacts;
using crashreport::Lines;
using crashreport::ModuleLine;
using crashreport::StackEntry;

constexpr bool k64 = sizeof(void*) == 8;

ExceptionFacts OsErrorFacts() {
    ExceptionFacts facts;
    facts.className = "EOSError";
    facts.moduleName = "gatewise.exe";
    facts.address = 0x140012AB0;
    facts.message = "System Error.  Code: 5.\r\nAccess is denied.";
    return facts;
}

TEST(ExceptionReportText, ClassNamesAsTheProgramWritesThem) {
    EXPECT_EQ(crashreport::ClassDisplayName("engine::EOSError"), "EOSError");
    EXPECT_EQ(crashreport::ClassDisplayName("class engine::EOSError"), "EOSError");
    EXPECT_EQ(crashreport::ClassDisplayName("std::runtime_error"), "runtime_error");
    EXPECT_EQ(crashreport::ClassDisplayName("ns::Holder<ns::Key, std::string>"), "Holder<ns::Key, std::string>");
    EXPECT_EQ(crashreport::ClassDisplayName("int"), "int");
}

TEST(ExceptionReportText, PointersHaveTwoUpperCaseDigitsPerByte) {
    EXPECT_EQ(crashreport::FormatPointer(0xAB), k64 ? "00000000000000AB" : "000000AB");
}

TEST(ExceptionReportText, HardwareFaultsNameTheFaultItsCodeAndAddress) {
    using crashreport::DescribeFault;
    const std::string at = crashreport::FormatPointer(0x140001234);
    auto fault = DescribeFault({0xC0000005, 0x140001234, 1, 0});
    EXPECT_EQ(fault.className, "EAccessViolation");
    EXPECT_EQ(fault.message, "Access violation (exception code C0000005) at address " + at +
                                 ": write of address " + crashreport::FormatPointer(0) + ".");
    EXPECT_NE(DescribeFault({0xC0000005, 0x140001234, 0, 0x10}).message.find(": read of address " +
                                                                              crashreport::FormatPointer(0x10)),
              std::string::npos);
    EXPECT_NE(DescribeFault({0xC0000005, 0x140001234, 8, 0x140001234}).message.find(": execution of address "),
              std::string::npos);

    fault = DescribeFault({0xC00000FD, 0x140001234, 1, 0x12345});
    EXPECT_EQ(fault.className, "EStackOverflow");
    EXPECT_EQ(fault.message, "Stack overflow (exception code C00000FD) at address " + at + ".");
    EXPECT_EQ(DescribeFault({0xC0000094, 0x140001234}).message,
              "Integer division by zero (exception code C0000094) at address " + at + ".");
    EXPECT_EQ(DescribeFault({0xC000001D, 0x140001234}).className, "EIllegalInstruction");

    fault = DescribeFault({0xC0000409, 0x140001234});
    EXPECT_EQ(fault.className, "EExternalException");
    EXPECT_EQ(fault.message, "External exception (exception code C0000409) at address " + at + ".");
}

TEST(ExceptionReportText, LongMessageNamesModuleSourceLineAndProcedure) {
    ExceptionFacts facts = OsErrorFacts();
    facts.debugModule = "gatewise.exe";
    facts.location = {"engine::RaiseOsError(unsigned long)", "OsError.cpp", 42};
    EXPECT_EQ(crashreport::FormatMessageText(facts, true),
              "Exception 'EOSError' in module gatewise.exe at " + crashreport::FormatPointer(0x140012AB0) +
                  "\r\nSystem Error.  Code: 5.\r\nAccess is denied.\r\n\r\n"
                  "Module: gatewise.exe, Source: OsError.cpp, Line 42\r\n"
                  "Procedure: engine::RaiseOsError(unsigned long)");
}

TEST(ExceptionReportText, LongMessageWithoutDebugInformationReadsUnknown) {
    EXPECT_EQ(crashreport::FormatMessageText(OsErrorFacts(), true),
              "Exception 'EOSError' in module gatewise.exe at " + crashreport::FormatPointer(0x140012AB0) +
                  "\r\nSystem Error.  Code: 5.\r\nAccess is denied.\r\n\r\n"
                  "Module: UNKNOWN, Source: UNKNOWN, Line UNKNOWN\r\nProcedure: UNKNOWN");

    ExceptionFacts procedureOnly = OsErrorFacts();
    procedureOnly.debugModule = "gatewise.exe";
    procedureOnly.location.procedure = "main";
    EXPECT_NE(crashreport::FormatMessageText(procedureOnly, true)
                  .find("Module: gatewise.exe, Source: UNKNOWN, Line UNKNOWN\r\nProcedure: main"),
              std::string::npos);
}

TEST(ExceptionReportText, ShortMessageStopsAfterTheExceptionMessage) {
    EXPECT_EQ(crashreport::FormatMessageText(OsErrorFacts(), false),
              "Exception 'EOSError' in module gatewise.exe at " + crashreport::FormatPointer(0x140012AB0) +
                  "\r\nSystem Error.  Code: 5.\r\nAccess is denied.");
}

TEST(ExceptionReportText, CallStackLinesShowWhatIsKnownAndAnnounceRepeats) {
    const std::vector<StackEntry> entries = {
        {0x1000, 1, "gatewise.exe", {"TOptions::ApplyMode(TPromptMode)", "Options.cpp", 120}},
        {0x2000, 37, "gatewise.exe", {"Recurse(int)", "", 0}},
        {0x3000, 1, "kernel32.dll", {}},
    };
    const std::vector<ModuleLine> modules = {
        {0x140000000, {0x5F5E0FF, 0x84000, 0xB6129}, "C:\\Program Files\\Gatewise\\gatewise.exe"},
        {0x7FF800000000, {0, 0x10, 0}, "C:\\windows\\system32\\kernel32.dll"},
    };
    const Lines lines = crashreport::FormatCallStack(entries, modules);
    const Lines expected = {
        "Call stack:",
        ":" + crashreport::FormatPointer(0x1000) + " [gatewise.exe] TOptions::ApplyMode(TPromptMode) (Options.cpp, line 120)",
        "Recursive call (37 times):",
        ":" + crashreport::FormatPointer(0x2000) + " [gatewise.exe] Recurse(int)",
        ":" + crashreport::FormatPointer(0x3000) + " [kernel32.dll]",
        "\r\nModules:",
        "$140000000 (05F5E0FF,00084000,000B6129) C:\\Program Files\\Gatewise\\gatewise.exe",
        "$7FF800000000 (00000000,00000010,00000000) C:\\windows\\system32\\kernel32.dll",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(crashreport::FormatCallStack({}, {{0x400000, {1, 2, 3}, "a.exe"}}),
              (Lines{"Call stack:", "\r\nModules:", "$00400000 (00000001,00000002,00000003) a.exe"}));
}

ContextFacts SampleContext(bool wide) {
    ContextFacts c;
    c.wide = wide;
    c.mainThreadId = 0x1C;
    c.currentThreadId = 0x2A4;
    c.ax = 1, c.bx = 2, c.cx = 3, c.dx = 4, c.si = 5, c.di = 6, c.bp = 7, c.sp = 8, c.ip = 0x140001234;
    c.cs = 0x33, c.ss = 0x2B, c.ds = 0x2B, c.es = 0x2B, c.fs = 0x53, c.gs = 0x2B;
    c.flags = 0x246;
    return c;
}

TEST(ExceptionReportText, WideContextUsesSixtyFourBitNamesAndWidths) {
    ContextFacts c = SampleContext(true);
    c.code = {0x48, 0x8B, 0x05, 0, 0, 0, 0, 0x90, 0xCC, 0xC3, 0xE8, 1, 2, 3, 4, 0xFF};
    const Lines expected = {
        "Main Thread ID = 0000001C, Current Thread ID = 000002A4",
        "Registers:",
        "RAX = 0000000000000001  CS = 0033  RIP = 0000000140001234  Flags = 00000246",
        "RBX = 0000000000000002  SS = 002B  RSP = 0000000000000008    RBP = 0000000000000007",
        "RCX = 0000000000000003  DS = 002B  RSI = 0000000000000005    FS  = 0053",
        "RDX = 0000000000000004  ES = 002B  RDI = 0000000000000006    GS  = 002B",
        "Code at CS:RIP",
        "48 8B 05 00 00 00 00 90 CC C3 E8 01 02 03 04 FF ",
    };
    EXPECT_EQ(crashreport::FormatContext(c), expected);
}

TEST(ExceptionReportText, NarrowContextKeepsTheThirtyTwoBitLayoutAndOmitsUnreadableCode) {
    const Lines expected = {
        "Main Thread ID = 0000001C, Current Thread ID = 000002A4",
        "Registers:",
        "EAX = 00000001  CS = 0033  EIP = 40001234  Flags = 00000246",
        "EBX = 00000002  SS = 002B  ESP = 00000008    EBP = 00000007",
        "ECX = 00000003  DS = 002B  ESI = 00000005    FS  = 0053",
        "EDX = 00000004  ES = 002B  EDI = 00000006    GS  = 002B",
    };
    ContextFacts c = SampleContext(false);
    c.ip = 0x40001234;
    EXPECT_EQ(crashreport::FormatContext(c), expected);
}

TEST(ExceptionReportText, LogEntryLayout) {
    const Lines stack = {"Call stack:", ":0001 [a.exe]", "\r\nModules:", "$00400000 (00000000,00000000,00000000) a.exe"};
    const Lines context = {"Main Thread ID = 00000001, Current Thread ID = 00000001", "Registers:"};
    EXPECT_EQ(crashreport::FormatLogEntry("07/12/2026 08:15:00", "Exception 'E' in module a.exe at 1\r\nboom", stack,
                                          context, {}),
              "---------------------------07/12/2026 08:15:00---------------------------\r\n"
              "Exception 'E' in module a.exe at 1\r\nboom"
              "\r\n\r\n"
              "Call stack:\r\n:0001 [a.exe]\r\n\r\nModules:\r\n$00400000 (00000000,00000000,00000000) a.exe\r\n"
              "\r\n"
              "Main Thread ID = 00000001, Current Thread ID = 00000001\r\nRegisters:\r\n"
              "\r\n");
}

TEST(ExceptionReportText, LogEntryHasAdditionalInfoOnlyWhenThereIsSome) {
    const std::string with = crashreport::FormatLogEntry("d", "m", {"Call stack:"}, {"c"}, {"first", "second"});
    EXPECT_EQ(with,
              "---------------------------d---------------------------\r\nm\r\n\r\nCall stack:\r\n\r\nc\r\n"
              "\r\nAdditional info:\r\nfirst\r\nsecond\r\n\r\n");
    const std::string without = crashreport::FormatLogEntry("d", "m", {"Call stack:"}, {"c"}, {});
    EXPECT_EQ(without.find("Additional info:"), std::string::npos);
}

}  // namespace
