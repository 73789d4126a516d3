#include "FreedMemoryWatch.h"

#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>

namespace {
FreedMemoryWatch* active = nullptr;
}

FreedMemoryWatch::FreedMemoryWatch(const std::string& secret) : utf8_(secret) {
    for (char c : secret) {  // ASCII secrets: one UTF-16 unit per byte, little-endian
        utf16_ += c;
        utf16_ += '\0';
    }
    active = this;
}

FreedMemoryWatch::~FreedMemoryWatch() { active = nullptr; }

void FreedMemoryWatch::Inspect(const void* block, std::size_t size) {
    for (const std::string* pattern : {&utf8_, &utf16_})
        if (memmem(block, size, pattern->data(), pattern->size())) {
            ++unwiped_;
            return;
        }
}

// The compiler cannot tell that the replaced operator new below is malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void FreeUnwipedCopy(const std::string& text) {
    void* block = ::operator new(text.size());
    std::memcpy(block, text.data(), text.size());
    ::operator delete(block);
}

// Blocks come from malloc, so that their usable size can be asked for.
void* operator new(std::size_t size) {
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

// The array forms end here too.
void operator delete(void* block, std::size_t) noexcept { ::operator delete(block); }

void operator delete(void* block) noexcept {
    if (block && active) {
        FreedMemoryWatch* watch = active;
        active = nullptr;  // inspecting must not watch itself
        watch->Inspect(block, malloc_usable_size(block));
        active = watch;
    }
    std::free(block);
}
