// Build-time tool: writes the symbol file of a mingw program from the output
// of the binutils, or checks one.
//
//   gatewise_symtool <objdump> <nm> <program.exe> <program.sym>
//   gatewise_symtool --check <objdump> <program.exe> <program.sym> [<source>]
//       fails unless the symbol file opens, belongs to the program (which may
//       be stripped) and holds procedures and source lines, lines of the
//       source file named <source> among them; prints its counts.

#include "crashreport/SymbolSource.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool Run(const std::string& command, std::string& output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return false;
    char buffer[65536];
    std::size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, read);
    return ::pclose(pipe) == 0;
}

std::optional<crashreport::ImageFacts> ReadImageFacts(const std::string& objdump, const std::string& program) {
    std::string headers;
    if (!Run(Quoted(objdump) + " -p " + Quoted(program), headers)) return std::nullopt;
    return crashreport::ParseImageFacts(headers);
}

int Check(const std::string& objdump, const std::string& program, const std::string& symbolFile,
          const std::string& source) {
    const auto facts = ReadImageFacts(objdump, program);
    std::ifstream in(symbolFile, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto table = crashreport::SymbolTable::Open(bytes);
    if (!facts || !table) {
        std::cerr << "gatewise_symtool: cannot read " << (facts ? symbolFile : program) << "\n";
        return 1;
    }
    std::cout << symbolFile << ": " << table->procedureCount() << " procedures, " << table->lineCount()
              << " lines\n";
    if (facts->buildId == crashreport::BuildId{} || !(table->buildId() == facts->buildId)) {
        std::cerr << "gatewise_symtool: " << symbolFile << " does not belong to " << program << "\n";
        return 1;
    }
    if (table->procedureCount() == 0 || table->lineCount() == 0) {
        std::cerr << "gatewise_symtool: " << symbolFile << " lacks procedures or lines\n";
        return 1;
    }
    if (!source.empty() && !table->HasSource(source)) {
        std::cerr << "gatewise_symtool: " << symbolFile << " has no lines of " << source << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 5 || argc == 6) && std::string(argv[1]) == "--check")
        return Check(argv[2], argv[3], argv[4], argc == 6 ? argv[5] : "");
    if (argc != 5) {
        std::cerr << "usage: gatewise_symtool <objdump> <nm> <program.exe> <program.sym>\n"
                     "       gatewise_symtool --check <objdump> <program.exe> <program.sym> [<source>]\n";
        return 2;
    }
    const std::string objdump = Quoted(argv[1]), nm = Quoted(argv[2]), program = Quoted(argv[3]);
    const std::string target = argv[4];

    const auto facts = ReadImageFacts(argv[1], argv[3]);
    if (!facts) {
        std::cerr << "gatewise_symtool: no image base in " << argv[3] << "\n";
        return 1;
    }
    std::string symbols, lines;
    if (!Run(nm + " -C -n --defined-only " + program, symbols) ||
        !Run(objdump + " --dwarf=decodedline --wide " + program, lines)) {
        std::cerr << "gatewise_symtool: the binutils failed on " << argv[3] << "\n";
        return 1;
    }
    crashreport::SymbolData data;
    data.buildId = facts->buildId;
    crashreport::ParseProcedures(symbols, facts->imageBase, data);
    crashreport::ParseLines(lines, facts->imageBase, data);
    const auto bytes = crashreport::SerializeSymbols(std::move(data));

    const std::string temporary = target + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::cerr << "gatewise_symtool: cannot write " << temporary << "\n";
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::cerr << "gatewise_symtool: cannot write " << target << "\n";
        return 1;
    }
    return 0;
}
