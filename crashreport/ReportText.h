#pragma once
// The texts of an exception report: the message, the call stack with its
// module list, the processor context and the log entry. Free of Windows calls:
// the Windows side gathers the facts, these functions lay them out.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace crashreport {

using Lines = std::vector<std::string>;

inline constexpr std::string_view kUnknown = "UNKNOWN";

// What the debug information tells about one code address. Empty texts and
// line 0 mean "not found".
struct SourceLocation {
    std::string procedure;
    std::string source;
    int line = 0;
};

// One entry of the call stack; `repeats` counts merged consecutive entries.
struct StackEntry {
    std::uintptr_t address = 0;
    int repeats = 1;
    std::string module;  // file name without folder
    SourceLocation location;
};

// One registered module: load address, three values of its executable header
// (time stamp, image size, checksum) and its full path.
struct ModuleLine {
    std::uintptr_t base = 0;
    std::uint32_t header[3] = {0, 0, 0};
    std::string path;
};

struct ExceptionFacts {
    std::string className;
    std::string moduleName;  // file name of the module that raised it
    std::uintptr_t address = 0;
    std::string message;
    // From the debug information of that module; empty when it has none.
    std::string debugModule;
    SourceLocation location;
};

// Registers of the raising thread. `wide` selects the 64-bit names and widths
// (RAX for EAX, 16 hex digits).
struct ContextFacts {
    std::uint32_t mainThreadId = 0;
    std::uint32_t currentThreadId = 0;
    bool wide = sizeof(void*) == 8;
    std::uint64_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0, bp = 0, sp = 0, ip = 0;
    std::uint16_t cs = 0, ss = 0, ds = 0, es = 0, fs = 0, gs = 0;
    std::uint32_t flags = 0;
    std::vector<std::uint8_t> code;  // the 16 bytes at the instruction pointer; empty when unreadable
};

// The class name as the program writes it, from a demangled type name:
// "engine::EOSError" and "class engine::EOSError" become "EOSError".
std::string ClassDisplayName(std::string_view typeName);

// %p of the program: upper-case hexadecimal, two digits per pointer byte.
std::string FormatPointer(std::uintptr_t address);

// A hardware fault (an exception code of the processor or the system rather
// than a throw), as a report names it.
struct FaultFacts {
    std::uint32_t code = 0;             // EXCEPTION_ACCESS_VIOLATION (C0000005), ...
    std::uintptr_t address = 0;         // where it happened
    std::uint32_t accessKind = 0;       // access violations: 0 read, 1 write, 8 execution
    std::uintptr_t accessAddress = 0;   // access violations: the address that could not be used
};

struct FaultDescription {
    std::string className;  // "EAccessViolation", "EStackOverflow", ...
    std::string message;    // the fault, its code and address
};

// "Access violation (exception code C0000005) at address %p: write of address %p."
// and the like; an unknown code is an "EExternalException".
FaultDescription DescribeFault(const FaultFacts& fault);

// "Exception '%s' in module %s at %p\r\n%s", followed in the long form by
// "\r\n\r\nModule: %s, Source: %s, Line %s\r\nProcedure: %s" with "UNKNOWN"
// for whatever the debug information does not know.
std::string FormatMessageText(const ExceptionFacts& facts, bool longForm);

// "Call stack:", the entries (merged repeats announced by "Recursive call (%d
// times):"), then "\r\nModules:" and one line per module.
Lines FormatCallStack(const std::vector<StackEntry>& entries, const std::vector<ModuleLine>& modules);

Lines FormatContext(const ContextFacts& facts);

// One log entry, laid out for appending to the log file as it is.
std::string FormatLogEntry(std::string_view dateTime, std::string_view message, const Lines& callStack,
                           const Lines& context, const Lines& additional);

// The lines joined, each ended by "\r\n".
std::string JoinLines(const Lines& lines);

}  // namespace crashreport
