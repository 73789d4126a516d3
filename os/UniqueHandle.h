#pragma once
// Owns one handle of a Windows kind and closes it on every path. Traits names
// the handle type and how to close one:
//   struct Traits { using Handle = ...; static void Close(Handle); };
// A null handle is empty and is never closed.

namespace os {

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = other.release();
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    Handle release() {
        Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void reset() {
        if (handle_) Traits::Close(handle_);
        handle_ = nullptr;
    }

private:
    Handle handle_ = nullptr;
};

}  // namespace os
