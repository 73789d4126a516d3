#pragma once
// Looks into every heap block that the program frees while a watch exists,
// for the bytes of a secret in UTF-8 or UTF-16: a block that still holds
// them was freed without being wiped. One watch at a time, one thread.

#include <string>

class FreedMemoryWatch {
public:
    explicit FreedMemoryWatch(const std::string& secret);
    ~FreedMemoryWatch();
    FreedMemoryWatch(const FreedMemoryWatch&) = delete;
    FreedMemoryWatch& operator=(const FreedMemoryWatch&) = delete;

    // How many freed blocks held the secret.
    int UnwipedBlocks() const { return unwiped_; }

    void Inspect(const void* block, std::size_t size);

private:
    std::string utf8_;
    std::string utf16_;
    int unwiped_ = 0;
};

// Copies `text` into a heap block and frees it unwiped: what the watch must find.
void FreeUnwipedCopy(const std::string& text);
