#pragma once
// Looks for a password in every committed, readable page of this process
// (VirtualQuery and ReadProcessMemory on itself), in UTF-16 and in UTF-8. The
// test keeps the password as two halves and compares piecewise, so that the
// test itself never holds it whole: only a copy that the code under test made
// can be found.

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class SplitSecret {
public:
    SplitSecret(std::wstring first, std::wstring second) : first_(std::move(first)), second_(std::move(second)) {}

    const std::wstring& First() const { return first_; }
    const std::wstring& Second() const { return second_; }

    // How many places of this process's memory hold the password whole.
    int CountInMemory() const {
        const Halves forms[] = {{Utf16(first_), Utf16(second_)}, {Ascii(first_), Ascii(second_)}};
        int found = 0;
        std::vector<char> copy;
        MEMORY_BASIC_INFORMATION region{};
        for (const char* address = nullptr; VirtualQuery(address, &region, sizeof region) == sizeof region;
             address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
            if (!Readable(region)) continue;
            copy.resize(region.RegionSize);
            SIZE_T read = 0;
            if (!ReadProcessMemory(GetCurrentProcess(), region.BaseAddress, copy.data(), copy.size(), &read)) continue;
            for (const Halves& halves : forms) found += halves.CountIn(copy.data(), copy.data() + read);
        }
        SecureZeroMemory(copy.data(), copy.size());
        return found;
    }

private:
    struct Halves {
        std::string first;
        std::string second;

        int CountIn(const char* begin, const char* end) const {
            int found = 0;
            const std::boyer_moore_horspool_searcher searcher(first.begin(), first.end());
            for (const char* at = std::search(begin, end, searcher); at != end; at = std::search(at + 1, end, searcher)) {
                const char* rest = at + first.size();
                if (static_cast<std::size_t>(end - rest) >= second.size() && std::equal(second.begin(), second.end(), rest))
                    ++found;
            }
            return found;
        }
    };

    static std::string Utf16(const std::wstring& text) {
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    }
    // The halves are ASCII: their UTF-8 is one byte per character.
    static std::string Ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

    static bool Readable(const MEMORY_BASIC_INFORMATION& region) {
        constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                    PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
        return region.State == MEM_COMMIT && (region.Protect & kReadable) && !(region.Protect & PAGE_GUARD);
    }

    std::wstring first_;
    std::wstring second_;
};
