// Build-time tool: writes the symbol file of a mingw program from the output
// of the binutils.
//
//   gatewise_symtool <objdump> <nm> <program.exe> <program.sym>

#include "crashreport/SymbolSource.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: gatewise_symtool <objdump> <nm> <program.exe> <program.sym>\n";
        return 2;
    }
    const std::string objdump = Quoted(argv[1]), nm = Quoted(argv[2]), program = Quoted(argv[3]);
    const std::string target = argv[4];

    std::string headers, symbols, lines;
    if (!Run(objdump + " -p " + program, headers) || !Run(nm + " -C -n --defined-only " + program, symbols) ||
        !Run(objdump + " --dwarf=decodedline --wide " + program, lines)) {
        std::cerr << "gatewise_symtool: the binutils failed on " << argv[3] << "\n";
        return 1;
    }
    const auto facts = crashreport::ParseImageFacts(headers);
    if (!facts) {
        std::cerr << "gatewise_symtool: no image base in " << argv[3] << "\n";
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
