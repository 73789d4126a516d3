#pragma once
// The symbol file that the build writes beside a program: procedure names and
// source lines by address, relative to the module's load address, tied to the
// program by its build id.
//
// Layout (all numbers little-endian 32-bit):
//   "GWSYM\x01\r\n", build id (16 bytes GUID as stored in the program) and age,
//   procedure count, line count, file count, size of the string block;
//   procedures (rva, name offset) by rva; lines (rva, file index, line; line 0
//   ends a sequence) by rva; files (name offset); the string block of
//   NUL-terminated texts.

#include "crashreport/ReportText.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace crashreport {

struct BuildId {
    std::array<std::uint8_t, 16> guid{};
    std::uint32_t age = 0;
    bool operator==(const BuildId&) const = default;
};

struct SymbolData {
    struct Procedure {
        std::uint32_t rva;
        std::string name;
    };
    struct LineRow {
        std::uint32_t rva;
        std::string file;
        int line;  // 0: the end of a sequence, no line from here on
    };
    BuildId buildId;
    std::vector<Procedure> procedures;
    std::vector<LineRow> lines;
};

std::vector<std::uint8_t> SerializeSymbols(SymbolData data);

// A view over the bytes of a symbol file; it keeps no copy, so the bytes must
// outlive it. Open() refuses a damaged file: a count, offset or index that
// leads outside its table, records out of order, or a text that does not end
// inside the string block. Lookups never read outside the file, and a crafted
// file cannot forge the report: names are cut to a few hundred bytes and
// control characters (line breaks) read as "?".
class SymbolTable {
public:
    static std::optional<SymbolTable> Open(std::span<const std::uint8_t> bytes);

    const BuildId& buildId() const { return buildId_; }
    std::uint32_t procedureCount() const { return procedureCount_; }
    std::uint32_t lineCount() const { return lineCount_; }
    // Whether any line row names this source file.
    bool HasSource(std::string_view fileName) const;
    SourceLocation Locate(std::uint32_t rva) const;

private:
    SymbolTable() = default;
    std::uint32_t Word(std::size_t offset) const;
    std::string Text(std::uint32_t offset) const;

    std::span<const std::uint8_t> bytes_;
    BuildId buildId_;
    std::uint32_t procedureCount_ = 0, lineCount_ = 0, fileCount_ = 0, stringsSize_ = 0;
    std::size_t procedures_ = 0, lines_ = 0, files_ = 0, strings_ = 0;
};

}  // namespace crashreport
