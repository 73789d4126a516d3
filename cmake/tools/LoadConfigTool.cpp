// Build-time tool for a PE image linked by GNU ld, which keeps the structure
// `_load_config_used` but leaves the image's load-configuration entry empty.
//
//   gatewise_loadconfig <program.exe>
//       points the entry at the structure (found through the image's COFF
//       symbols, so before the program is stripped) and updates the checksum.
//   gatewise_loadconfig --check <program.exe>
//       prints the entry and the structure's DependentLoadFlags; fails unless
//       the entry is filled and the flags are LOAD_LIBRARY_SEARCH_SYSTEM32.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::uint16_t kPe32 = 0x10B, kPe32Plus = 0x20B;
constexpr std::uint32_t kLoadConfigEntry = 10;
constexpr std::uint16_t kSearchSystem32 = 0x800;

class Image {
public:
    explicit Image(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    bool Parse() {
        if (bytes_.size() < 0x40 || U16(0) != 0x5A4D) return false;
        pe_ = U32(0x3C);
        if (pe_ + 24 > bytes_.size() || U32(pe_) != 0x00004550) return false;
        sections_ = U16(pe_ + 6);
        symbolTable_ = U32(pe_ + 12);
        symbols_ = U32(pe_ + 16);
        optional_ = pe_ + 24;
        sectionTable_ = optional_ + U16(pe_ + 20);
        magic_ = U16(optional_);
        if (magic_ != kPe32 && magic_ != kPe32Plus) return false;
        directories_ = optional_ + (magic_ == kPe32Plus ? 112 : 96);
        return sectionTable_ + sections_ * 40u <= bytes_.size() && directories_ + 16 * 8 <= bytes_.size() &&
               U32(directories_ - 4) > kLoadConfigEntry;
    }

    // The structure's address in the image, from the COFF symbol table.
    std::optional<std::uint32_t> SymbolRva(const std::string& name) const {
        const std::size_t strings = std::size_t(symbolTable_) + std::size_t(symbols_) * 18;
        if (symbolTable_ == 0 || strings > bytes_.size()) return std::nullopt;
        for (std::uint32_t i = 0; i < symbols_; ++i) {
            const std::size_t at = symbolTable_ + std::size_t(i) * 18;
            const std::int16_t section = static_cast<std::int16_t>(U16(at + 12));
            if (SymbolName(at, strings) == name && section > 0 && section <= sections_)
                return U32(sectionTable_ + (section - 1) * 40u + 12) + U32(at + 8);
            i += bytes_[at + 17];  // auxiliary records
        }
        return std::nullopt;
    }

    std::optional<std::size_t> FileOffset(std::uint32_t rva, std::uint32_t size) const {
        for (std::uint16_t i = 0; i < sections_; ++i) {
            const std::size_t header = sectionTable_ + i * 40u;
            const std::uint32_t address = U32(header + 12), rawSize = U32(header + 16), raw = U32(header + 20);
            if (rva >= address && std::uint64_t(rva) + size <= std::uint64_t(address) + rawSize &&
                std::size_t(raw) + (rva - address) + size <= bytes_.size())
                return std::size_t(raw) + (rva - address);
        }
        return std::nullopt;
    }

    std::uint32_t EntryRva() const { return U32(directories_ + kLoadConfigEntry * 8); }
    std::uint32_t EntrySize() const { return U32(directories_ + kLoadConfigEntry * 8 + 4); }
    void SetEntry(std::uint32_t rva, std::uint32_t size) {
        Put32(directories_ + kLoadConfigEntry * 8, rva);
        Put32(directories_ + kLoadConfigEntry * 8 + 4, size);
    }
    // Offset of DependentLoadFlags inside the structure.
    std::size_t FlagsOffset() const { return magic_ == kPe32Plus ? 78 : 54; }

    // The image checksum as the system computes it (IMAGE_OPTIONAL_HEADER.CheckSum).
    void UpdateChecksum() {
        const std::size_t field = optional_ + 64;
        Put32(field, 0);
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i < bytes_.size(); i += 2) {
            sum += bytes_[i] | (i + 1 < bytes_.size() ? bytes_[i + 1] << 8 : 0);
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
        sum = (sum & 0xFFFF) + (sum >> 16);
        Put32(field, static_cast<std::uint32_t>(sum + bytes_.size()));
    }

    std::uint16_t U16(std::size_t at) const { return at + 2 <= bytes_.size() ? bytes_[at] | bytes_[at + 1] << 8 : 0; }
    std::uint32_t U32(std::size_t at) const {
        return at + 4 <= bytes_.size() ? std::uint32_t(U16(at)) | std::uint32_t(U16(at + 2)) << 16 : 0;
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::string SymbolName(std::size_t at, std::size_t strings) const {
        if (U32(at) != 0) {  // the short form: eight bytes, padded with zeros
            const char* name = reinterpret_cast<const char*>(&bytes_[at]);
            return std::string(name, strnlen(name, 8));
        }
        const std::size_t offset = strings + U32(at + 4);
        if (offset >= bytes_.size()) return {};
        const char* name = reinterpret_cast<const char*>(&bytes_[offset]);
        return std::string(name, strnlen(name, bytes_.size() - offset));
    }
    void Put32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }

    std::vector<std::uint8_t> bytes_;
    std::uint32_t pe_ = 0, symbolTable_ = 0, symbols_ = 0;
    std::uint16_t sections_ = 0, magic_ = 0;
    std::size_t optional_ = 0, sectionTable_ = 0, directories_ = 0;
};

std::optional<Image> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Image image(std::vector<std::uint8_t>{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    if (!image.Parse()) return std::nullopt;
    return image;
}

int Fail(const std::string& message) {
    std::cerr << "gatewise_loadconfig: " << message << "\n";
    return 1;
}

int Fill(const std::string& path) {
    auto image = Read(path);
    if (!image) return Fail(path + " is no PE image");
    auto rva = image->SymbolRva("_load_config_used");
    if (!rva) rva = image->SymbolRva("__load_config_used");  // 32-bit C names carry an underscore
    if (!rva) return Fail(path + " has no _load_config_used (is it stripped?)");
    const auto at = image->FileOffset(*rva, 4);
    if (!at) return Fail("_load_config_used of " + path + " lies outside its sections");
    const std::uint32_t size = image->U32(*at);
    if (!image->FileOffset(*rva, size) || size < image->FlagsOffset() + 2)
        return Fail("_load_config_used of " + path + " has a bad size");
    image->SetEntry(*rva, size);
    image->UpdateChecksum();
    // Rewritten in place: the file keeps its permissions.
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    out.write(reinterpret_cast<const char*>(image->bytes().data()), static_cast<std::streamsize>(image->bytes().size()));
    if (!out) return Fail("cannot write " + path);
    return 0;
}

int Check(const std::string& path) {
    const auto image = Read(path);
    if (!image) return Fail(path + " is no PE image");
    const std::uint32_t rva = image->EntryRva(), size = image->EntrySize();
    const auto at = image->FileOffset(rva, size);
    if (rva == 0 || !at || size < image->FlagsOffset() + 2) return Fail(path + " has no load configuration");
    const std::uint16_t flags = image->U16(*at + image->FlagsOffset());
    char line[128];
    std::snprintf(line, sizeof line, "load configuration at %08X, %u bytes, DependentLoadFlags %04X", rva, size, flags);
    std::cout << line << "\n";
    if (image->U32(*at) != size) return Fail("the entry's size differs from the structure's");
    if (flags != kSearchSystem32) return Fail("DependentLoadFlags is not LOAD_LIBRARY_SEARCH_SYSTEM32");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2) return Fill(argv[1]);
    if (argc == 3 && std::string(argv[1]) == "--check") return Check(argv[2]);
    std::cerr << "usage: gatewise_loadconfig [--check] <program.exe>\n";
    return 2;
}
