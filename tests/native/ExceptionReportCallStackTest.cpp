#include "crashreport/CallSite.h"
#include "crashreport/CallStack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace {

using crashreport::PrecededByCall;

bool Call(std::vector<std::uint8_t> bytes) {
    return PrecededByCall(bytes.data(), bytes.size());
}

TEST(ExceptionReportCallSite, EveryCallFormIsRecognised) {
    EXPECT_TRUE(Call({0xE8, 0x10, 0x20, 0x30, 0x40}));                    // call rel32
    EXPECT_TRUE(Call({0x90, 0x90, 0x90, 0x90, 0x90, 0xFF, 0xD0}));        // call rax
    EXPECT_TRUE(Call({0x90, 0x90, 0x90, 0x90, 0x41, 0xFF, 0xD3}));        // call r11 (REX)
    EXPECT_TRUE(Call({0x90, 0x90, 0x90, 0x90, 0x90, 0xFF, 0x10}));        // call [rax]
    EXPECT_TRUE(Call({0x90, 0x90, 0x90, 0x90, 0xFF, 0x14, 0x24}));        // call [rsp]
    EXPECT_TRUE(Call({0x90, 0xFF, 0x15, 0x44, 0x33, 0x22, 0x11}));        // call [rip+disp32]
    EXPECT_TRUE(Call({0x90, 0x90, 0x90, 0x90, 0xFF, 0x50, 0x08}));        // call [rax+8]
    EXPECT_TRUE(Call({0x90, 0x90, 0x90, 0xFF, 0x54, 0x24, 0x08}));        // call [rsp+8]
    EXPECT_TRUE(Call({0x90, 0xFF, 0x93, 0x00, 0x01, 0x00, 0x00}));        // call [rbx+0x100]
    EXPECT_TRUE(Call({0xFF, 0x94, 0xC8, 0x00, 0x01, 0x00, 0x00}));        // call [rax+rcx*8+0x100]
    EXPECT_TRUE(Call({0xFF, 0x14, 0x25, 0x00, 0x10, 0x40, 0x00}));        // call [disp32] through SIB
    EXPECT_TRUE(Call({0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xFF, 0xD0}));  // more bytes than needed
}

TEST(ExceptionReportCallSite, OtherInstructionsAreNotCalls) {
    EXPECT_FALSE(Call({0x90, 0x90, 0x90, 0x90, 0x90, 0xFF, 0xE0}));  // jmp rax
    EXPECT_FALSE(Call({0x90, 0x90, 0x90, 0x90, 0x90, 0xFF, 0x20}));  // jmp [rax]
    EXPECT_FALSE(Call({0x90, 0x90, 0x90, 0x90, 0x90, 0xFF, 0x30}));  // push [rax]
    EXPECT_FALSE(Call({0x90, 0x90, 0x90, 0x90, 0x90, 0x48, 0x89}));  // mov
    EXPECT_FALSE(Call({0x90, 0xE8, 0x00, 0x00, 0x00, 0x00, 0x00}));  // E8 too far back
    EXPECT_FALSE(Call({0x90, 0x90, 0x90, 0xE8, 0x00, 0x00, 0x00}));  // E8 too near
    // The length must fit: FF 15 needs a 32-bit displacement, FF 50 one byte.
    EXPECT_FALSE(Call({0x90, 0x90, 0x90, 0x90, 0x90, 0xFF, 0x15}));
    EXPECT_FALSE(Call({0x90, 0x90, 0x90, 0xFF, 0x50, 0x08, 0x00}));
    // FF 14 with a SIB byte whose base is 101 carries a displacement.
    EXPECT_FALSE(Call({0x90, 0x90, 0x90, 0x90, 0xFF, 0x14, 0x25}));
}

TEST(ExceptionReportCallSite, ShortRegionsAreReadOnlyAsFarAsTheyGo) {
    EXPECT_TRUE(Call({0xFF, 0xD0}));
    EXPECT_FALSE(Call({0xD0}));
    EXPECT_FALSE(Call({}));
    EXPECT_FALSE(Call({0x15, 0x00, 0x00, 0x00, 0x00}));  // the FF lies before the region
}

// A process made of synthetic code regions: each module is a range of bytes
// in which the tests place call instructions.
class SyntheticProcess : public crashreport::AddressInspector {
public:
    struct Region {
        std::uintptr_t base;
        std::vector<std::uint8_t> code;
        std::string module;  // empty: executable memory of no module
    };

    std::uintptr_t AddRegion(std::uintptr_t base, std::size_t size, std::string module) {
        regions_.push_back({base, std::vector<std::uint8_t>(size, 0x90), std::move(module)});
        return base;
    }

    // A call of the given length ending at `returnAddress`.
    void PlaceCall(std::uintptr_t returnAddress, std::vector<std::uint8_t> call) {
        Region* region = Find(returnAddress - 1);
        ASSERT_NE(region, nullptr);
        std::copy(call.begin(), call.end(), region->code.begin() + (returnAddress - region->base - call.size()));
    }

    std::string ModuleName(std::uintptr_t address) override {
        const Region* region = Find(address);
        return region ? region->module : std::string();
    }

    bool IsReturnAddress(std::uintptr_t address) override {
        const Region* region = Find(address);
        if (!region || address == region->base) return false;
        const std::size_t offset = address - region->base;
        const std::size_t count = std::min(offset, crashreport::kLongestCall);
        return PrecededByCall(region->code.data() + offset - count, count);
    }

    crashreport::SourceLocation Locate(std::uintptr_t address, bool afterCall) override {
        located.emplace_back(address, afterCall);
        return {"proc" + std::to_string(address - (afterCall ? 1 : 0)), "", 0};
    }

    std::vector<std::pair<std::uintptr_t, bool>> located;

private:
    Region* Find(std::uintptr_t address) {
        for (Region& region : regions_)
            if (address >= region.base && address < region.base + region.code.size()) return &region;
        return nullptr;
    }
    std::vector<Region> regions_;
};

class ExceptionReportCallStack : public ::testing::Test {
protected:
    void SetUp() override {
        process.AddRegion(kProgram, 0x10000, "gatewise.exe");
        process.AddRegion(kSystem, 0x1000, "kernel32.dll");
        process.AddRegion(kAnonymous, 0x1000, "");
    }
    std::vector<std::uintptr_t> Addresses(const std::vector<crashreport::StackEntry>& entries) {
        std::vector<std::uintptr_t> addresses;
        for (const auto& entry : entries) addresses.push_back(entry.address);
        return addresses;
    }

    static constexpr std::uintptr_t kProgram = 0x400000, kSystem = 0x7F0000, kAnonymous = 0x900000;
    SyntheticProcess process;
};

TEST_F(ExceptionReportCallStack, RaiseAddressFirstThenReturnAddressesUpTheStack) {
    const std::uintptr_t raise = kProgram + 0x105;
    process.PlaceCall(kProgram + 0x205, {0xE8, 1, 2, 3, 4});
    process.PlaceCall(kSystem + 0x302, {0xFF, 0xD0});
    process.PlaceCall(kProgram + 0x406, {0xFF, 0x15, 0, 0, 0, 0});
    process.PlaceCall(kAnonymous + 0x105, {0xE8, 1, 2, 3, 4});
    const std::vector<std::uintptr_t> stack = {
        0x12345678,                 // data
        kProgram + 0x205,           // return address
        kProgram + 0x300,           // points into code, but no call before it
        kAnonymous + 0x105,         // a call site in memory of no module: skipped
        kSystem + 0x302,            // return address into another module
        0x0,
        kProgram + 0x406,
    };
    const auto entries = crashreport::RecordCallStack(raise, true, stack, process);
    EXPECT_EQ(Addresses(entries),
              (std::vector<std::uintptr_t>{raise, kProgram + 0x205, kSystem + 0x302, kProgram + 0x406}));
    EXPECT_EQ(entries[0].module, "gatewise.exe");
    EXPECT_EQ(entries[2].module, "kernel32.dll");
    EXPECT_EQ(entries[1].location.procedure, "proc" + std::to_string(kProgram + 0x204));
}

TEST_F(ExceptionReportCallStack, FaultingInstructionIsLocatedItselfAndCallersBeforeTheirReturn) {
    process.PlaceCall(kProgram + 0x205, {0xE8, 1, 2, 3, 4});
    crashreport::RecordCallStack(kProgram + 0x105, false, std::vector<std::uintptr_t>{kProgram + 0x205}, process);
    EXPECT_EQ(process.located, (std::vector<std::pair<std::uintptr_t, bool>>{{kProgram + 0x105, false},
                                                                              {kProgram + 0x205, true}}));
}

TEST_F(ExceptionReportCallStack, RaiseAddressOutsideEveryModuleIsSkipped) {
    process.PlaceCall(kProgram + 0x205, {0xE8, 1, 2, 3, 4});
    const auto entries =
        crashreport::RecordCallStack(0xDEAD0000, true, std::vector<std::uintptr_t>{kProgram + 0x205}, process);
    EXPECT_EQ(Addresses(entries), (std::vector<std::uintptr_t>{kProgram + 0x205}));
}

TEST_F(ExceptionReportCallStack, DeepRecursionBecomesOneEntryWithItsCount) {
    const std::uintptr_t recurse = kProgram + 0x505, caller = kProgram + 0x605;
    process.PlaceCall(recurse, {0xE8, 1, 2, 3, 4});
    process.PlaceCall(caller, {0xE8, 1, 2, 3, 4});
    std::vector<std::uintptr_t> stack;
    for (int i = 0; i < 250; ++i) {
        stack.push_back(0x1000 + i);  // locals between the frames
        stack.push_back(recurse);
    }
    stack.push_back(caller);
    const auto entries = crashreport::RecordCallStack(recurse, true, stack, process);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].address, recurse);
    EXPECT_EQ(entries[0].repeats, 251);  // the raise and 250 frames
    EXPECT_EQ(entries[1].address, caller);
    EXPECT_EQ(entries[1].repeats, 1);

    const auto lines = crashreport::FormatCallStack(entries, {});
    EXPECT_EQ(lines[1], "Recursive call (251 times):");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with(":"); }), 2);
}

TEST_F(ExceptionReportCallStack, AtMostOneHundredEntries) {
    std::vector<std::uintptr_t> stack;
    for (std::uintptr_t i = 0; i < 150; ++i) {
        const std::uintptr_t site = kProgram + 0x1000 + i * 0x10;
        process.PlaceCall(site, {0xE8, 1, 2, 3, 4});
        stack.push_back(site);
    }
    const auto entries = crashreport::RecordCallStack(kProgram + 0x105, true, stack, process);
    ASSERT_EQ(entries.size(), 100u);
    EXPECT_EQ(entries.front().address, kProgram + 0x105);
    EXPECT_EQ(entries.back().address, kProgram + 0x1000 + 98 * 0x10);
}

TEST_F(ExceptionReportCallStack, RepeatsOfTheLastEntryStillCountWhenFull) {
    std::vector<std::uintptr_t> stack;
    for (std::uintptr_t i = 0; i < 99; ++i) {
        const std::uintptr_t site = kProgram + 0x1000 + i * 0x10;
        process.PlaceCall(site, {0xE8, 1, 2, 3, 4});
        stack.push_back(site);
    }
    stack.push_back(stack.back());
    stack.push_back(stack.back());
    const auto entries = crashreport::RecordCallStack(kProgram + 0x105, true, stack, process, 100);
    ASSERT_EQ(entries.size(), 100u);
    EXPECT_EQ(entries.back().repeats, 3);
}

}  // namespace
