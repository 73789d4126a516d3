#pragma once
// A program image for the simulated machine's GetModuleHandleA(nullptr).

#include "os/WinTypes.h"

#include <cstring>
#include <optional>
#include <vector>

// A 64-bit program image as the loader maps it: its headers and, unless
// `flags` is nullopt, a load configuration with those DependentLoadFlags.
inline std::vector<BYTE> ProgramImage(std::optional<WORD> flags) {
    std::vector<BYTE> image(0x2000);
    const auto put = [&](std::size_t at, DWORD value, std::size_t size) { std::memcpy(&image[at], &value, size); };
    constexpr std::size_t pe = 0x80, optional = pe + 24, directories = optional + 112, config = 0x1000;
    put(0, 0x5A4D, 2);
    put(0x3C, pe, 4);
    put(pe, 0x00004550, 4);
    put(optional, 0x20B, 2);
    put(optional + 56, static_cast<DWORD>(image.size()), 4);  // SizeOfImage
    put(directories - 4, 16, 4);                              // NumberOfRvaAndSizes
    if (flags) {
        put(directories + 10 * 8, config, 4);
        put(directories + 10 * 8 + 4, 0x140, 4);
        put(config, 0x140, 4);
        put(config + 78, *flags, 2);
    }
    return image;
}
