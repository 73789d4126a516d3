#include "crashreport/ReportText.h"

#include <cstdio>

namespace crashreport {
namespace {

std::string Hex(std::uint64_t value, int digits) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%.*llX", digits, static_cast<unsigned long long>(value));
    return buffer;
}

std::string OrUnknown(const std::string& text) {
    return text.empty() ? std::string(kUnknown) : text;
}

// Each begins as a string that the rest is appended to: GCC 12 at -O3 warns
// falsely (-Wrestrict) about a literal put in front of a temporary string.
std::string EntryLine(const StackEntry& entry) {
    std::string line = ":";
    line += FormatPointer(entry.address) + " [" + entry.module + "]";
    if (!entry.location.procedure.empty()) line += " " + entry.location.procedure;
    if (entry.location.line > 0)
        line += " (" + entry.location.source + ", line " + std::to_string(entry.location.line) + ")";
    return line;
}

std::string ModuleText(const ModuleLine& module) {
    std::string text = "$";
    text += Hex(module.base, 8) + " (" + Hex(module.header[0], 8) + "," + Hex(module.header[1], 8) + "," +
            Hex(module.header[2], 8) + ") " + module.path;
    return text;
}

}  // namespace

std::string ClassDisplayName(std::string_view name) {
    for (std::string_view prefix : {"class ", "struct "})
        if (name.starts_with(prefix)) name.remove_prefix(prefix.size());
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '<') ++depth;
        else if (name[i] == '>') --depth;
        else if (depth == 0 && name.substr(i, 2) == "::") start = i + 2;
    }
    return std::string(name.substr(start));
}

std::string FormatPointer(std::uintptr_t address) {
    return Hex(address, static_cast<int>(sizeof(void*) * 2));
}

FaultDescription DescribeFault(const FaultFacts& fault) {
    struct Known {
        std::uint32_t code;
        const char* className;
        const char* name;
    };
    static constexpr Known kKnown[] = {
        {0xC0000005, "EAccessViolation", "Access violation"},
        {0xC00000FD, "EStackOverflow", "Stack overflow"},
        {0xC000001D, "EIllegalInstruction", "Illegal instruction"},
        {0xC0000096, "EPrivilege", "Privileged instruction"},
        {0xC0000094, "EIntDivByZero", "Integer division by zero"},
        {0xC0000095, "EIntOverflow", "Integer overflow"},
        {0xC000008C, "ERangeError", "Array bounds exceeded"},
        {0xC0000006, "EInPageError", "In-page I/O error"},
        {0x80000002, "EDatatypeMisalignment", "Data type misalignment"},
        {0xC000008E, "EZeroDivide", "Floating-point division by zero"},
        {0xC0000090, "EInvalidOp", "Invalid floating-point operation"},
        {0xC0000091, "EOverflow", "Floating-point overflow"},
        {0xC0000093, "EUnderflow", "Floating-point underflow"},
        {0xC0000092, "EInvalidOp", "Floating-point stack check"},
    };
    FaultDescription description{"EExternalException", "External exception"};
    for (const Known& known : kKnown)
        if (known.code == fault.code) description = {known.className, known.name};
    description.message +=
        " (exception code " + Hex(fault.code, 8) + ") at address " + FormatPointer(fault.address);
    if (fault.code == 0xC0000005 || fault.code == 0xC0000006) {
        const char* access = fault.accessKind == 1 ? "write" : fault.accessKind == 8 ? "execution" : "read";
        description.message += std::string(": ") + access + " of address " + FormatPointer(fault.accessAddress);
    }
    description.message += ".";
    return description;
}

std::string FormatMessageText(const ExceptionFacts& facts, bool longForm) {
    std::string text = "Exception '" + facts.className + "' in module " + facts.moduleName + " at " +
                       FormatPointer(facts.address) + "\r\n" + facts.message;
    if (!longForm) return text;
    const std::string line = facts.location.line > 0 ? std::to_string(facts.location.line) : std::string(kUnknown);
    text += "\r\n\r\nModule: " + OrUnknown(facts.debugModule) + ", Source: " + OrUnknown(facts.location.source) +
            ", Line " + line + "\r\nProcedure: " + OrUnknown(facts.location.procedure);
    return text;
}

Lines FormatCallStack(const std::vector<StackEntry>& entries, const std::vector<ModuleLine>& modules) {
    Lines lines{"Call stack:"};
    for (const StackEntry& entry : entries) {
        if (entry.repeats > 1) lines.push_back("Recursive call (" + std::to_string(entry.repeats) + " times):");
        lines.push_back(EntryLine(entry));
    }
    lines.push_back("\r\nModules:");
    for (const ModuleLine& module : modules) lines.push_back(ModuleText(module));
    return lines;
}

Lines FormatContext(const ContextFacts& c) {
    const int digits = c.wide ? 16 : 8;
    const char r = c.wide ? 'R' : 'E';
    auto reg = [&](const char* name, std::uint64_t value) {
        return std::string(1, r) + name + " = " + Hex(value, digits);
    };
    auto seg = [](const char* name, std::uint16_t value) { return std::string(name) + " = " + Hex(value, 4); };

    Lines lines{"Main Thread ID = " + Hex(c.mainThreadId, 8) + ", Current Thread ID = " + Hex(c.currentThreadId, 8),
                "Registers:"};
    lines.push_back(reg("AX", c.ax) + "  " + seg("CS", c.cs) + "  " + reg("IP", c.ip) + "  Flags = " + Hex(c.flags, 8));
    lines.push_back(reg("BX", c.bx) + "  " + seg("SS", c.ss) + "  " + reg("SP", c.sp) + "    " + reg("BP", c.bp));
    lines.push_back(reg("CX", c.cx) + "  " + seg("DS", c.ds) + "  " + reg("SI", c.si) + "    " + seg("FS ", c.fs));
    lines.push_back(reg("DX", c.dx) + "  " + seg("ES", c.es) + "  " + reg("DI", c.di) + "    " + seg("GS ", c.gs));
    if (!c.code.empty()) {
        lines.push_back(c.wide ? "Code at CS:RIP" : "Code at CS:EIP");
        std::string bytes;
        for (std::uint8_t byte : c.code) bytes += Hex(byte, 2) + " ";
        lines.push_back(bytes);
    }
    return lines;
}

std::string JoinLines(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

std::string FormatLogEntry(std::string_view dateTime, std::string_view message, const Lines& callStack,
                           const Lines& context, const Lines& additional) {
    const std::string rule = "---------------------------";
    std::string entry = rule + std::string(dateTime) + rule + "\r\n";
    entry += message;
    entry += "\r\n\r\n";
    entry += JoinLines(callStack);
    entry += "\r\n";
    entry += JoinLines(context);
    if (!additional.empty()) entry += "\r\nAdditional info:\r\n" + JoinLines(additional);
    entry += "\r\n";
    return entry;
}

}  // namespace crashreport
