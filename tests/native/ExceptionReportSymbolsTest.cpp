#include "crashreport/SymbolFile.h"
#include "crashreport/SymbolSource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using crashreport::SymbolData;
using crashreport::SymbolTable;

SymbolData SampleData() {
    SymbolData data;
    data.buildId.guid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    data.buildId.age = 1;
    // Unsorted on purpose: the writer orders them.
    data.procedures = {{0x2000, "engine::RaiseOsError(unsigned long)"}, {0x1000, "main"}, {0x1800, "Helper()"}};
    data.lines = {
        {0x1000, "main.cpp", 10}, {0x1010, "main.cpp", 11}, {0x1020, "main.cpp", 0},
        {0x2000, "OsError.cpp", 0},  // end of one sequence where the next begins
        {0x2000, "OsError.cpp", 40}, {0x2030, "OsError.cpp", 42}, {0x2040, "OsError.cpp", 0},
    };
    return data;
}

TEST(ExceptionReportSymbols, LookupFindsTheProcedureAndLineAtOrBeforeAnAddress) {
    const auto bytes = crashreport::SerializeSymbols(SampleData());
    const auto table = SymbolTable::Open(bytes);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->buildId(), SampleData().buildId);

    auto at = table->Locate(0x1015);
    EXPECT_EQ(at.procedure, "main");
    EXPECT_EQ(at.source, "main.cpp");
    EXPECT_EQ(at.line, 11);

    at = table->Locate(0x2035);
    EXPECT_EQ(at.procedure, "engine::RaiseOsError(unsigned long)");
    EXPECT_EQ(at.source, "OsError.cpp");
    EXPECT_EQ(at.line, 42);

    EXPECT_EQ(table->Locate(0x2000).line, 40);
}

TEST(ExceptionReportSymbols, AddressesOutsideTheTablesAreUnknown) {
    const auto bytes = crashreport::SerializeSymbols(SampleData());
    const auto table = SymbolTable::Open(bytes);
    ASSERT_TRUE(table);
    const auto before = table->Locate(0x0FFF);
    EXPECT_EQ(before.procedure, "");
    EXPECT_EQ(before.line, 0);
    const auto afterSequence = table->Locate(0x1900);  // procedure known, its lines are not
    EXPECT_EQ(afterSequence.procedure, "Helper()");
    EXPECT_EQ(afterSequence.line, 0);
    EXPECT_EQ(afterSequence.source, "");
}

TEST(ExceptionReportSymbols, DamagedFilesAreRefused) {
    const auto good = crashreport::SerializeSymbols(SampleData());
    ASSERT_TRUE(SymbolTable::Open(good));

    EXPECT_FALSE(SymbolTable::Open({}));
    EXPECT_FALSE(SymbolTable::Open(std::vector<std::uint8_t>(good.begin(), good.end() - 1)));
    auto grown = good;
    grown.push_back(0);
    EXPECT_FALSE(SymbolTable::Open(grown));

    auto badMagic = good;
    badMagic[0] = 'X';
    EXPECT_FALSE(SymbolTable::Open(badMagic));

    auto hugeCount = good;
    hugeCount[28 + 3] = 0xFF;  // procedure count
    EXPECT_FALSE(SymbolTable::Open(hugeCount));

    auto badName = good;
    const std::size_t firstNameOffset = 44 + 4;
    badName[firstNameOffset + 3] = 0x7F;
    EXPECT_FALSE(SymbolTable::Open(badName));

    // Texts must end inside their block: without its last zero the last name
    // would run on to whatever follows the file.
    auto unterminated = good;
    unterminated.back() = 'x';
    EXPECT_FALSE(SymbolTable::Open(unterminated));
    auto badFile = good;
    const std::size_t firstLineFile = 44 + 3 * 8 + 4;
    badFile[firstLineFile] = 0x09;  // file index beyond the file table
    EXPECT_FALSE(SymbolTable::Open(badFile));

    auto unsorted = good;
    unsorted[44 + 8 + 1] = 0x00;  // second procedure's rva drops below the first
    unsorted[44 + 8] = 0x00;
    EXPECT_FALSE(SymbolTable::Open(unsorted));
}

// A crafted file with a huge name holding line breaks: the report gets a
// bounded name on one line, cut between characters, never a forged line.
TEST(ExceptionReportSymbols, NamesAreBoundedAndControlCharactersReplaced) {
    SymbolData data = SampleData();
    const std::string forged = "\r\n---------------------------\r\nProcedure: forged\t";
    data.procedures[1].name = "main" + forged + std::string(2 * 1024 * 1024, 'x');
    data.lines[0].file = std::string(499, 'a') + "\xC3\xA9.cpp";  // "é" across the limit
    const auto bytes = crashreport::SerializeSymbols(data);
    const auto table = SymbolTable::Open(bytes);
    ASSERT_TRUE(table);

    const auto at = table->Locate(0x1000);
    EXPECT_EQ(at.procedure.size(), 503u);
    EXPECT_EQ(at.procedure.substr(0, 4 + forged.size()), "main??---------------------------??Procedure: forged?");
    EXPECT_TRUE(at.procedure.ends_with("xxx..."));
    EXPECT_EQ(at.source, std::string(499, 'a') + "...");
    EXPECT_EQ(table->Locate(0x2035).procedure, "engine::RaiseOsError(unsigned long)");
}

TEST(ExceptionReportSymbols, ImageFactsFromTheProgramHeaders) {
    const std::string headers =
        "a.exe:     file format pei-x86-64\n"
        "Time/Date\t\tMon Dec  7 07:34:38 2026\n"
        "ImageBase\t\t0000000140000000\n"
        "SizeOfImage\t\t00084000\n"
        "There is a debug directory in .buildid at 0x14002a000\n"
        "(format RSDS signature 2eca623bcd4ccc5626156423aed6edaa age 1 pdb (none))\n";
    const auto facts = crashreport::ParseImageFacts(headers);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->imageBase, 0x140000000u);
    // The first three GUID fields are stored little-endian in the program.
    const std::array<std::uint8_t, 16> guid = {0x3b, 0x62, 0xca, 0x2e, 0x4c, 0xcd, 0x56, 0xcc,
                                               0x26, 0x15, 0x64, 0x23, 0xae, 0xd6, 0xed, 0xaa};
    EXPECT_EQ(facts->buildId.guid, guid);
    EXPECT_EQ(facts->buildId.age, 1u);

    EXPECT_FALSE(crashreport::ParseImageFacts("no headers here\n"));
    const auto withoutId = crashreport::ParseImageFacts("ImageBase\t\t0000000000400000\n");
    ASSERT_TRUE(withoutId);
    EXPECT_EQ(withoutId->buildId, crashreport::BuildId{});
}

TEST(ExceptionReportSymbols, ProceduresAreTheCodeSymbolsWithDemangledNames) {
    const std::string nm =
        "0000000140001000 t .text\n"
        "0000000140001000 t __mingw_invalidParameterHandler\n"
        "0000000140001450 T std::vector<int, std::allocator<int> >::push_back(int const&)\n"
        "0000000140002000 W inline_function()\n"
        "0000000140030000 D some_data\n"
        "0000000140031000 b .bss\n"
        "0000000000000010 a absolute_symbol\n";
    SymbolData data;
    crashreport::ParseProcedures(nm, 0x140000000, data);
    ASSERT_EQ(data.procedures.size(), 3u);
    EXPECT_EQ(data.procedures[0].rva, 0x1000u);
    EXPECT_EQ(data.procedures[0].name, "__mingw_invalidParameterHandler");
    EXPECT_EQ(data.procedures[1].rva, 0x1450u);
    EXPECT_EQ(data.procedures[1].name, "std::vector<int, std::allocator<int> >::push_back");
    EXPECT_EQ(data.procedures[2].name, "inline_function");
}

TEST(ExceptionReportSymbols, ProcedureNamesLoseTheirParameterLists) {
    using crashreport::ProcedureName;
    EXPECT_EQ(ProcedureName("(anonymous namespace)::ParseCount(std::__cxx11::basic_string<wchar_t, "
                            "std::char_traits<wchar_t>, std::allocator<wchar_t> > const&)"),
              "(anonymous namespace)::ParseCount");
    EXPECT_EQ(ProcedureName("TOptions::GetCurrentMode() const"), "TOptions::GetCurrentMode");
    EXPECT_EQ(ProcedureName("Recurse(int) [clone .isra.0]"), "Recurse");
    EXPECT_EQ(ProcedureName("Widget::operator()(int) &&"), "Widget::operator()");
    EXPECT_EQ(ProcedureName("void Apply<void (*)(int)>(void (*)(int))"), "void Apply<void (*)(int)>");
    EXPECT_EQ(ProcedureName("Foo::operator()()"), "Foo::operator()");
    EXPECT_EQ(ProcedureName("WinMain"), "WinMain");
    EXPECT_EQ(ProcedureName("broken)"), "broken)");
}

TEST(ExceptionReportSymbols, LinesFromTheDecodedLineTable) {
    const std::string decoded =
        "a.exe:     file format pei-x86-64\n\n"
        "Contents of the .debug_line section:\n\n"
        "CU: ./a.cpp:\n"
        "File name                            Line number    Starting address    View    Stmt\n"
        "a.cpp                                          3         0x140017c30               x\n"
        "a.cpp                                          3         0x140017c30       1\n"
        "a.cpp                                          4         0x140017c44        \n"
        "a.cpp                                          -         0x140017c49\n";
    SymbolData data;
    crashreport::ParseLines(decoded, 0x140000000, data);
    ASSERT_EQ(data.lines.size(), 4u);
    EXPECT_EQ(data.lines[0].rva, 0x17c30u);
    EXPECT_EQ(data.lines[0].file, "a.cpp");
    EXPECT_EQ(data.lines[2].line, 4);
    EXPECT_EQ(data.lines[3].line, 0);

    data.procedures.push_back({0x17c30, "f(int)"});
    const auto bytes = crashreport::SerializeSymbols(data);
    const auto table = SymbolTable::Open(bytes);
    ASSERT_TRUE(table);
    const auto at = table->Locate(0x17c45);
    EXPECT_EQ(at.procedure, "f(int)");
    EXPECT_EQ(at.source, "a.cpp");
    EXPECT_EQ(at.line, 4);
    EXPECT_EQ(table->Locate(0x17c49).line, 0);
}

}  // namespace
