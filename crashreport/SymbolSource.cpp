#include "crashreport/SymbolSource.h"

#include <cctype>
#include <charconv>
#include <string>
#include <vector>

namespace crashreport {
namespace {

template <typename Each>
void ForEachLine(std::string_view text, Each each) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        each(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

std::vector<std::string_view> Tokens(std::string_view line) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        const std::size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

std::optional<std::uint64_t> Number(std::string_view text, int base) {
    if (base == 16 && (text.starts_with("0x") || text.starts_with("0X"))) text.remove_prefix(2);
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> Rva(std::uint64_t address, std::uint64_t imageBase) {
    if (address < imageBase || address - imageBase > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(address - imageBase);
}

// objdump prints the GUID's first three fields big-endian; the program stores
// them little-endian.
bool ParseGuid(std::string_view hex, BuildId& id) {
    if (hex.size() != 32) return false;
    for (std::size_t i = 0; i < 16; ++i) {
        auto byte = Number(hex.substr(i * 2, 2), 16);
        if (!byte) return false;
        id.guid[i] = static_cast<std::uint8_t>(*byte);
    }
    std::swap(id.guid[0], id.guid[3]);
    std::swap(id.guid[1], id.guid[2]);
    std::swap(id.guid[4], id.guid[5]);
    std::swap(id.guid[6], id.guid[7]);
    return true;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::string ProcedureName(std::string_view name) {
    // Compiler suffixes and qualifiers after the parameter list.
    for (bool trimmed = true; trimmed;) {
        trimmed = false;
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        if (EndsWith(name, "]")) {
            const std::size_t open = name.rfind(" [");
            if (open != std::string_view::npos) {
                name = name.substr(0, open);
                trimmed = true;
            }
        }
        for (std::string_view qualifier : {" const", " volatile", " &&", " &"}) {
            if (EndsWith(name, qualifier)) {
                name.remove_suffix(qualifier.size());
                trimmed = true;
            }
        }
    }
    if (!EndsWith(name, ")")) return std::string(name);
    int depth = 0;
    for (std::size_t i = name.size(); i-- > 0;) {
        if (name[i] == ')') ++depth;
        else if (name[i] == '(' && --depth == 0) return i > 0 ? std::string(name.substr(0, i)) : std::string(name);
    }
    return std::string(name);
}

std::optional<ImageFacts> ParseImageFacts(std::string_view objdumpHeaders) {
    ImageFacts facts;
    bool haveBase = false;
    ForEachLine(objdumpHeaders, [&](std::string_view line) {
        const auto tokens = Tokens(line);
        if (tokens.size() == 2 && tokens[0] == "ImageBase") {
            if (auto base = Number(tokens[1], 16)) {
                facts.imageBase = *base;
                haveBase = true;
            }
        }
        // "(format RSDS signature <32 hex digits> age <n> pdb ...)"
        for (std::size_t i = 0; i + 3 < tokens.size(); ++i) {
            if (tokens[i] == "RSDS" && tokens[i + 1] == "signature" && tokens[i + 3] == "age" && i + 4 < tokens.size()) {
                BuildId id;
                auto age = Number(tokens[i + 4], 10);
                if (age && ParseGuid(tokens[i + 2], id)) {
                    id.age = static_cast<std::uint32_t>(*age);
                    facts.buildId = id;
                }
            }
        }
    });
    if (!haveBase) return std::nullopt;
    return facts;
}

void ParseProcedures(std::string_view nmOutput, std::uint64_t imageBase, SymbolData& data) {
    ForEachLine(nmOutput, [&](std::string_view line) {
        // "<address> <type> <name, which may hold spaces>"
        const std::size_t first = line.find(' ');
        if (first == std::string_view::npos || line.size() < first + 4 || line[first + 2] != ' ') return;
        const char type = line[first + 1];
        if (type != 'T' && type != 't' && type != 'W' && type != 'w') return;
        const std::string_view name = line.substr(first + 3);
        if (name.empty() || name.front() == '.') return;
        auto address = Number(line.substr(0, first), 16);
        if (!address) return;
        if (auto rva = Rva(*address, imageBase)) data.procedures.push_back({*rva, ProcedureName(name)});
    });
}

void ParseLines(std::string_view decodedLines, std::uint64_t imageBase, SymbolData& data) {
    ForEachLine(decodedLines, [&](std::string_view line) {
        // "<file> <line or -> <address> [view] [x]"
        const auto tokens = Tokens(line);
        if (tokens.size() < 3) return;
        auto address = Number(tokens[2], 16);
        if (!address || !tokens[2].starts_with("0x")) return;
        auto rva = Rva(*address, imageBase);
        if (!rva) return;
        if (tokens[1] == "-") {
            data.lines.push_back({*rva, std::string(tokens[0]), 0});
            return;
        }
        auto number = Number(tokens[1], 10);
        if (!number || *number == 0 || *number > 0x7FFFFFFF) return;
        data.lines.push_back({*rva, std::string(tokens[0]), static_cast<int>(*number)});
    });
}

}  // namespace crashreport
