#pragma once
// Reading the symbol data of a mingw program from the text that the binutils
// print about it: `objdump -p` (image base, build id), `nm -C -n
// --defined-only` (procedures) and `objdump --dwarf=decodedline --wide`
// (source lines). Used by the build's symbol-file tool.

#include "crashreport/SymbolFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace crashreport {

struct ImageFacts {
    std::uint64_t imageBase = 0;
    BuildId buildId;  // zero when the program has none
};

// Fails when the text names no image base.
std::optional<ImageFacts> ParseImageFacts(std::string_view objdumpHeaders);

// "ns::Class::Method(std::string const&) const [clone .isra.0]" ->
// "ns::Class::Method": the procedure without its parameter list.
std::string ProcedureName(std::string_view demangled);

// Adds the code symbols (types T, t, W, w) at or above the image base, named
// by ProcedureName(); section names (".text") are left out.
void ParseProcedures(std::string_view nmOutput, std::uint64_t imageBase, SymbolData& data);

// Adds the rows of the decoded line table; a row with line "-" ends a sequence.
void ParseLines(std::string_view decodedLines, std::uint64_t imageBase, SymbolData& data);

}  // namespace crashreport
