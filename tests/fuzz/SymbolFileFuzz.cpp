// libFuzzer target: the symbol-file reader of the exception reporter. Byte 0
// chooses the input's form:
//   below 128: the rest is a symbol file as it lies on disk;
//   128 and up: the rest is a recipe of procedures and line rows, written with
//     the build's writer, then damaged by the (position, value) pairs that
//     follow the recipe's end marker.
//
// Checks beyond ending without a crash or sanitizer report: a table that opens
// answers lookups with texts from inside the file, a few hundred bytes at most
// and without control characters; an undamaged file always opens and finds
// each procedure and line where the writer put it.
#include "crashreport/SymbolFile.h"

#include "FuzzInput.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace {

using crashreport::SymbolData;
using crashreport::SymbolTable;
using fuzz::Reader;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "symbol_file_fuzzer: %s\n", what);
    std::abort();
}

constexpr std::uint8_t kEndOfRecipe = 0xFF;

// Procedures (kind even) and line rows (kind odd) until the end marker. Small
// addresses, so that records often share one.
SymbolData ReadRecipe(Reader& in) {
    SymbolData data;
    data.buildId.age = in.Byte();
    for (std::uint8_t kind = in.Byte(); kind != kEndOfRecipe && !in.AtEnd(); kind = in.Byte()) {
        const std::uint32_t rva = in.Word16();
        if (kind % 2 == 0) {
            std::string name(in.Byte() % 24, '?');
            for (char& c : name) c = static_cast<char>(in.Byte() | 1);  // texts hold no zero byte
            data.procedures.push_back({rva, name});
        } else {
            const std::string file = "f" + std::to_string(in.Byte() % 4) + ".cpp";
            data.lines.push_back({rva, file, in.Byte()});
        }
    }
    return data;
}

void CheckLookups(const SymbolTable& table, std::size_t fileSize, std::span<const std::uint8_t> addresses) {
    Reader in(addresses);
    for (int i = 0; i < 64 && !in.AtEnd(); ++i) {
        const std::uint32_t rva = in.Word16() | std::uint32_t(in.Byte()) << 16;
        const auto location = table.Locate(rva);
        Check(location.procedure.size() < fileSize && location.source.size() < fileSize,
              "a text longer than the file");
        for (const std::string* text : {&location.procedure, &location.source}) {
            Check(text->size() <= 503, "a text longer than a report shows");
            for (const unsigned char c : *text) Check(c >= 0x20 && c != 0x7F, "a control character in a text");
        }
        Check(location.line >= 0, "a negative line");
        Check(location.line > 0 || location.source.empty(), "a source without a line");
    }
}

// A short name as a report shows it: control characters as "?".
std::string AsShown(std::string name) {
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return name;
}

// What the writer promises: the first procedure named at an address wins; at
// an address with line rows, the last row that is not a sequence end gives
// the line, and when all of them end a sequence there is none.
void CheckRoundTrip(const SymbolData& data, const SymbolTable& table) {
    for (const auto& procedure : data.procedures) {
        const SymbolData::Procedure* first = &procedure;
        for (const auto& other : data.procedures)
            if (other.rva == procedure.rva) {
                first = &other;
                break;
            }
        Check(table.Locate(procedure.rva).procedure == AsShown(first->name), "a procedure is not found at its address");
    }
    for (const auto& row : data.lines) {
        const SymbolData::LineRow* last = nullptr;
        for (const auto& other : data.lines)
            if (other.rva == row.rva && other.line > 0) last = &other;
        const auto location = table.Locate(row.rva);
        Check(location.line == (last ? last->line : 0), "a line is not found at its address");
        Check(location.source == (last ? last->file : std::string()), "a line names another file");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::span<const std::uint8_t> input(data + 1, size - 1);
    if (data[0] < 128) {
        const std::vector<std::uint8_t> file(input.begin(), input.end());  // exactly the input: ASan sees overreads
        if (const auto table = SymbolTable::Open(file)) CheckLookups(*table, file.size(), input);
        return 0;
    }

    Reader in(input);
    const SymbolData recipe = ReadRecipe(in);
    std::vector<std::uint8_t> file = crashreport::SerializeSymbols(recipe);
    const std::span<const std::uint8_t> damage = in.Rest();
    for (std::size_t i = 0; i + 2 < damage.size(); i += 3)
        file[(damage[i] | std::size_t(damage[i + 1]) << 8) % file.size()] = damage[i + 2];
    const auto table = SymbolTable::Open(file);
    if (damage.size() < 3) {
        Check(table.has_value(), "the writer's own file does not open");
        CheckRoundTrip(recipe, *table);
    }
    if (table) CheckLookups(*table, file.size(), input);
    return 0;
}
