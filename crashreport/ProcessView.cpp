#include "crashreport/ProcessView.h"

#include "crashreport/CallSite.h"
#include "crashreport/SymbolFile.h"
#include "os/Text.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <span>

namespace crashreport {
namespace {

// A file mapped read-only for the rest of the process's life.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() {
        if (view_) UnmapViewOfFile(view_);
        if (mapping_) CloseHandle(mapping_);
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }

    bool Open(const std::wstring& path) {
        file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
        if (file_ == INVALID_HANDLE_VALUE) return false;
        LARGE_INTEGER size{};
        constexpr LONGLONG kLargest = 1LL << 30;
        if (!GetFileSizeEx(file_, &size) || size.QuadPart <= 0 || size.QuadPart > kLargest) return false;
        mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping_) return false;
        view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
        size_ = static_cast<std::size_t>(size.QuadPart);
        return view_ != nullptr;
    }

    std::span<const std::uint8_t> bytes() const { return {static_cast<const std::uint8_t*>(view_), size_}; }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
    std::size_t size_ = 0;
};

struct Module {
    ModuleLine line;
    std::string fileName;
    BuildId buildId;
    MappedFile symbolFile;
    std::optional<SymbolTable> symbols;
};

// Header values and build id from the module's image in memory.
void ReadImageHeaders(std::uintptr_t base, Module& module) {
    IMAGE_DOS_HEADER dos;
    if (!ReadProcessBytes(base, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return;
    IMAGE_NT_HEADERS nt;
    if (dos.e_lfanew <= 0 || !ReadProcessBytes(base + dos.e_lfanew, &nt, sizeof nt) ||
        nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC)
        return;
    module.line.header[0] = nt.FileHeader.TimeDateStamp;
    module.line.header[1] = nt.OptionalHeader.SizeOfImage;
    module.line.header[2] = nt.OptionalHeader.CheckSum;

    if (nt.OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_DEBUG) return;
    const IMAGE_DATA_DIRECTORY directory = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DEBUG];
    const std::size_t count = std::min<std::size_t>(directory.Size / sizeof(IMAGE_DEBUG_DIRECTORY), 16);
    for (std::size_t i = 0; i < count; ++i) {
        IMAGE_DEBUG_DIRECTORY entry;
        if (!ReadProcessBytes(base + directory.VirtualAddress + i * sizeof entry, &entry, sizeof entry)) return;
        if (entry.Type != IMAGE_DEBUG_TYPE_CODEVIEW || entry.AddressOfRawData == 0 || entry.SizeOfData < 24) continue;
        std::uint8_t codeView[24];  // "RSDS", GUID, age
        if (!ReadProcessBytes(base + entry.AddressOfRawData, codeView, sizeof codeView)) continue;
        if (std::memcmp(codeView, "RSDS", 4) != 0) continue;
        std::memcpy(module.buildId.guid.data(), codeView + 4, 16);
        std::memcpy(&module.buildId.age, codeView + 20, 4);
        return;
    }
}

void LoadSymbols(const std::wstring& modulePath, Module& module) {
    if (!module.symbolFile.Open(WithExtension(modulePath, L".sym"))) return;
    auto table = SymbolTable::Open(module.symbolFile.bytes());
    if (table && table->buildId() == module.buildId) module.symbols = table;
}

class ModuleRegistry {
public:
    static ModuleRegistry& Instance() {
        static ModuleRegistry registry;
        return registry;
    }

    // The module loaded at `base`, registered at the first meeting; null when
    // no module is loaded there. Modules stay registered, so the pointer stays valid.
    const Module* Find(std::uintptr_t base) {
        EnterCriticalSection(&lock_);
        const Module* found = FindLocked(base);
        LeaveCriticalSection(&lock_);
        return found;
    }

    std::vector<ModuleLine> Lines() {
        EnterCriticalSection(&lock_);
        std::vector<ModuleLine> lines;
        for (const auto& module : order_) lines.push_back(module->line);
        LeaveCriticalSection(&lock_);
        return lines;
    }

private:
    ModuleRegistry() { InitializeCriticalSection(&lock_); }

    const Module* FindLocked(std::uintptr_t base) {
        auto known = byBase_.find(base);
        if (known != byBase_.end()) return known->second;
        const std::wstring path = ModuleFilePath(reinterpret_cast<HMODULE>(base));
        if (path.empty()) return nullptr;
        auto module = std::make_unique<Module>();
        module->line.base = base;
        module->line.path = os::ToUtf8(path);
        module->fileName = os::ToUtf8(path.substr(path.find_last_of(L"\\/") + 1));
        ReadImageHeaders(base, *module);
        LoadSymbols(path, *module);
        order_.push_back(std::move(module));
        byBase_[base] = order_.back().get();
        return order_.back().get();
    }

    CRITICAL_SECTION lock_;
    std::vector<std::unique_ptr<Module>> order_;
    std::map<std::uintptr_t, const Module*> byBase_;
};

constexpr DWORD kExecutable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

}  // namespace

std::wstring ModuleFilePath(HMODULE module) {
    constexpr std::size_t kLongestPath = 32768;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= kLongestPath) return {};
        path.resize(path.size() * 2);
    }
}

std::wstring WithExtension(const std::wstring& path, const wchar_t* extension) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::size_t dot = path.find_last_of(L'.');
    const bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + extension;
}

bool ReadProcessBytes(std::uintptr_t address, void* out, std::size_t size) {
    SIZE_T read = 0;
    return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(address), out, size, &read) &&
           read == size;
}

const ProcessView::Region* ProcessView::RegionOf(std::uintptr_t address) {
    auto after = regions_.upper_bound(address);
    if (after != regions_.begin()) {
        const Region& region = std::prev(after)->second;
        if (address < region.end) return &region;
    }
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<LPCVOID>(address), &info, sizeof info) == 0) return nullptr;
    Region region;
    region.start = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
    region.end = region.start + info.RegionSize;
    region.allocationBase = reinterpret_cast<std::uintptr_t>(info.AllocationBase);
    region.committed = info.State == MEM_COMMIT;
    region.executable = region.committed && (info.Protect & kExecutable) && !(info.Protect & (PAGE_GUARD | PAGE_NOACCESS));
    return &(regions_[region.start] = region);
}

std::string ProcessView::ModuleName(std::uintptr_t address) {
    const Region* region = RegionOf(address);
    if (!region || !region->committed) return {};
    const Module* module = ModuleRegistry::Instance().Find(region->allocationBase);
    return module ? module->fileName : std::string();
}

bool ProcessView::IsReturnAddress(std::uintptr_t address) {
    const Region* region = RegionOf(address);
    if (!region || !region->executable || address == region->start) return false;
    const std::size_t count = std::min<std::uintptr_t>(address - region->start, kLongestCall);
    std::uint8_t before[kLongestCall];
    return ReadProcessBytes(address - count, before, count) && PrecededByCall(before, count);
}

SourceLocation ProcessView::Locate(std::uintptr_t address, bool afterCall) {
    const Region* region = RegionOf(address);
    if (!region || !region->committed) return {};
    const Module* module = ModuleRegistry::Instance().Find(region->allocationBase);
    if (!module || !module->symbols) return {};
    const std::uintptr_t rva = address - (afterCall ? 1 : 0) - module->line.base;
    if (rva > 0xFFFFFFFFu) return {};
    return module->symbols->Locate(static_cast<std::uint32_t>(rva));
}

bool ProcessView::HasDebugInformation(std::uintptr_t address) {
    const Region* region = RegionOf(address);
    if (!region || !region->committed) return false;
    const Module* module = ModuleRegistry::Instance().Find(region->allocationBase);
    return module && module->symbols;
}

std::vector<ModuleLine> ProcessView::RegisteredModules() {
    return ModuleRegistry::Instance().Lines();
}

}  // namespace crashreport
