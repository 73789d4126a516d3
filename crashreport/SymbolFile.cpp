#include "crashreport/SymbolFile.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace crashreport {
namespace {

constexpr std::uint8_t kMagic[8] = {'G', 'W', 'S', 'Y', 'M', 0x01, '\r', '\n'};
constexpr std::size_t kHeaderSize = 8 + 16 + 4 * 5;
constexpr std::size_t kProcedureSize = 8;
constexpr std::size_t kLineSize = 12;
constexpr std::size_t kFileSize = 4;
// The longest name a report shows, in bytes; a longer one is cut and ends in "...".
constexpr std::size_t kMaxNameBytes = 500;

// Byte by byte: GCC 12 warns falsely about vector::insert of small arrays.
template <typename Bytes>
void Append(std::vector<std::uint8_t>& out, const Bytes& bytes) {
    for (std::uint8_t byte : bytes) out.push_back(byte);
}

void Put(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

class Strings {
public:
    std::uint32_t Intern(const std::string& text) {
        auto [it, added] = offsets_.emplace(text, static_cast<std::uint32_t>(block_.size()));
        if (added) block_.insert(block_.end(), text.c_str(), text.c_str() + text.size() + 1);
        return it->second;
    }
    const std::vector<std::uint8_t>& block() const { return block_; }

private:
    std::map<std::string, std::uint32_t> offsets_;
    std::vector<std::uint8_t> block_;
};

// Index of the last of `count` records whose rva is <= `rva`, or count when none is.
template <typename RvaAt>
std::uint32_t LastAtOrBefore(std::uint32_t count, std::uint32_t rva, RvaAt rvaAt) {
    std::uint32_t low = 0, high = count;  // first record with rva > target lies in [low, high]
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (rvaAt(middle) <= rva) low = middle + 1;
        else high = middle;
    }
    return low == 0 ? count : low - 1;
}

}  // namespace

std::vector<std::uint8_t> SerializeSymbols(SymbolData data) {
    std::stable_sort(data.procedures.begin(), data.procedures.end(),
                     [](const auto& a, const auto& b) { return a.rva < b.rva; });
    // Several names at one address: keep the first.
    data.procedures.erase(std::unique(data.procedures.begin(), data.procedures.end(),
                                      [](const auto& a, const auto& b) { return a.rva == b.rva; }),
                          data.procedures.end());
    // The end of one sequence may share its address with the start of the next: the end goes first.
    std::stable_sort(data.lines.begin(), data.lines.end(), [](const auto& a, const auto& b) {
        return a.rva != b.rva ? a.rva < b.rva : (a.line == 0 && b.line != 0);
    });

    Strings strings;
    std::vector<std::uint32_t> procedureNames;
    for (const auto& procedure : data.procedures) procedureNames.push_back(strings.Intern(procedure.name));
    std::map<std::string, std::uint32_t> fileIndex;
    std::vector<std::uint32_t> fileNames;
    std::vector<std::uint32_t> lineFiles;
    for (const auto& row : data.lines) {
        auto [it, added] = fileIndex.emplace(row.file, static_cast<std::uint32_t>(fileNames.size()));
        if (added) fileNames.push_back(strings.Intern(row.file));
        lineFiles.push_back(it->second);
    }

    std::vector<std::uint8_t> out;
    out.reserve(kHeaderSize + data.procedures.size() * kProcedureSize + data.lines.size() * kLineSize +
                fileNames.size() * kFileSize + strings.block().size());
    Append(out, kMagic);
    Append(out, data.buildId.guid);
    Put(out, data.buildId.age);
    Put(out, static_cast<std::uint32_t>(data.procedures.size()));
    Put(out, static_cast<std::uint32_t>(data.lines.size()));
    Put(out, static_cast<std::uint32_t>(fileNames.size()));
    Put(out, static_cast<std::uint32_t>(strings.block().size()));
    for (std::size_t i = 0; i < data.procedures.size(); ++i) {
        Put(out, data.procedures[i].rva);
        Put(out, procedureNames[i]);
    }
    for (std::size_t i = 0; i < data.lines.size(); ++i) {
        Put(out, data.lines[i].rva);
        Put(out, lineFiles[i]);
        Put(out, static_cast<std::uint32_t>(std::max(data.lines[i].line, 0)));
    }
    for (std::uint32_t name : fileNames) Put(out, name);
    Append(out, strings.block());
    return out;
}

std::uint32_t SymbolTable::Word(std::size_t offset) const {
    const std::uint8_t* p = bytes_.data() + offset;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::string SymbolTable::Text(std::uint32_t offset) const {
    const auto block = bytes_.subspan(strings_, stringsSize_).subspan(offset);
    const auto window = block.first(std::min(block.size(), kMaxNameBytes + 1));
    auto end = std::find(window.begin(), window.end(), std::uint8_t{0});
    const bool cut = end == window.end() && window.size() > kMaxNameBytes;
    if (cut) {
        end = window.begin() + kMaxNameBytes;
        while (end != window.begin() && (*end & 0xC0) == 0x80) --end;  // not inside a UTF-8 character
    }
    std::string text;
    for (auto at = window.begin(); at != end; ++at) text += *at < 0x20 || *at == 0x7F ? '?' : static_cast<char>(*at);
    return cut ? text + "..." : text;
}

std::optional<SymbolTable> SymbolTable::Open(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return std::nullopt;
    SymbolTable table;
    table.bytes_ = bytes;
    std::memcpy(table.buildId_.guid.data(), bytes.data() + 8, 16);
    table.buildId_.age = table.Word(24);
    table.procedureCount_ = table.Word(28);
    table.lineCount_ = table.Word(32);
    table.fileCount_ = table.Word(36);
    table.stringsSize_ = table.Word(40);

    const std::uint64_t expected = kHeaderSize + std::uint64_t(table.procedureCount_) * kProcedureSize +
                                   std::uint64_t(table.lineCount_) * kLineSize +
                                   std::uint64_t(table.fileCount_) * kFileSize + table.stringsSize_;
    if (expected != bytes.size()) return std::nullopt;
    table.procedures_ = kHeaderSize;
    table.lines_ = table.procedures_ + std::size_t(table.procedureCount_) * kProcedureSize;
    table.files_ = table.lines_ + std::size_t(table.lineCount_) * kLineSize;
    table.strings_ = table.files_ + std::size_t(table.fileCount_) * kFileSize;

    // Every text ends inside the block: the block's last byte ends the last one.
    if (table.stringsSize_ > 0 && bytes[bytes.size() - 1] != 0) return std::nullopt;
    for (std::uint32_t i = 0; i < table.procedureCount_; ++i) {
        const std::size_t at = table.procedures_ + i * kProcedureSize;
        if (table.Word(at + 4) >= table.stringsSize_) return std::nullopt;
        if (i > 0 && table.Word(at) < table.Word(at - kProcedureSize)) return std::nullopt;
    }
    for (std::uint32_t i = 0; i < table.lineCount_; ++i) {
        const std::size_t at = table.lines_ + i * kLineSize;
        if (table.Word(at + 4) >= table.fileCount_) return std::nullopt;
        if (i > 0 && table.Word(at) < table.Word(at - kLineSize)) return std::nullopt;
    }
    for (std::uint32_t i = 0; i < table.fileCount_; ++i)
        if (table.Word(table.files_ + i * kFileSize) >= table.stringsSize_) return std::nullopt;
    return table;
}

bool SymbolTable::HasSource(std::string_view fileName) const {
    for (std::uint32_t i = 0; i < fileCount_; ++i)
        if (Text(Word(files_ + i * kFileSize)) == fileName) return true;
    return false;
}

SourceLocation SymbolTable::Locate(std::uint32_t rva) const {
    SourceLocation location;
    const std::uint32_t procedure = LastAtOrBefore(procedureCount_, rva, [&](std::uint32_t i) {
        return Word(procedures_ + i * kProcedureSize);
    });
    if (procedure < procedureCount_) location.procedure = Text(Word(procedures_ + procedure * kProcedureSize + 4));

    const std::uint32_t row = LastAtOrBefore(lineCount_, rva, [&](std::uint32_t i) { return Word(lines_ + i * kLineSize); });
    if (row < lineCount_) {
        const std::size_t at = lines_ + std::size_t(row) * kLineSize;
        const std::uint32_t line = Word(at + 8);
        if (line > 0 && line <= 0x7FFFFFFF) {
            location.line = static_cast<int>(line);
            location.source = Text(Word(files_ + Word(at + 4) * kFileSize));
        }
    }
    return location;
}

}  // namespace crashreport
