// Storage of the document tree. Each parsed document owns one arena from
// which its joined texts, attribute lists and child lists are carved:
// building the tree allocates in a few large blocks and releasing it is one
// free per block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>

namespace adsieve {

// A bump allocator over a few large blocks from the C heap: the first one
// sized from what the caller expects to need (or the first request, if
// larger), each further one twice the size of the last (up to a cap); a later
// request larger than a quarter of the current block size gets a block of its
// own. Nothing is freed before the arena itself, which frees its blocks in one
// go.
class Arena final {
public:
    explicit Arena(std::size_t expected = 0) noexcept;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    // Moving hands the blocks over: what was carved from them stays valid.
    Arena(Arena&& other) noexcept;
    Arena& operator=(Arena&& other) noexcept;
    ~Arena();

    // `bytes` bytes aligned to `align` (a power of two).
    void* allocate(std::size_t bytes, std::size_t align) {
        if (cur_) {
            const auto cur = reinterpret_cast<std::uintptr_t>(cur_);
            const auto end = reinterpret_cast<std::uintptr_t>(end_);
            const std::uintptr_t at = (cur + align - 1) & ~(std::uintptr_t(align) - 1);
            if (at <= end && bytes <= end - at) {
                char* p = cur_ + (at - cur);
                cur_ = p + bytes;
                return p;
            }
        }
        return allocate_in_new_block(bytes, align);
    }
    // Room for n T (trivially copyable types), not yet constructed.
    template <class T>
    T* make_array(std::size_t n) {
        static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
        return static_cast<T*>(allocate(n * sizeof(T), alignof(T)));
    }
    // A copy of s kept by the arena.
    std::string_view copy(std::string_view s);
    // Takes over the blocks of `other`, whose contents stay valid; carving
    // goes on in this arena's current block.
    void adopt(Arena&& other) noexcept;

private:
    struct Block {
        Block* next;
    };
    static constexpr std::size_t kMinBlock = 4 * 1024;
    static constexpr std::size_t kMaxBlock = 64 * 1024 * 1024;

    void* allocate_in_new_block(std::size_t bytes, std::size_t align);
    void release() noexcept;

    Block* blocks_ = nullptr;
    char* cur_ = nullptr;
    char* end_ = nullptr;
    std::size_t next_size_;  // size of the next shared block
};

// A list of trivially copyable items kept in place up to N of them, on the C
// heap beyond (grown by doubling): the tokenizer's open names and a tag's
// attributes, a walk's open elements, so that most documents need no heap
// block for them.
template <class T, std::size_t N>
struct InlineList {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    // Provided, so that making one in place never zero-fills its room first.
    InlineList() noexcept {}
    InlineList(const InlineList&) = delete;
    InlineList& operator=(const InlineList&) = delete;
    ~InlineList() {
        if (data_ != inline_data()) std::free(data_);
    }

    bool empty() const noexcept { return size_ == 0; }
    std::size_t size() const noexcept { return size_; }
    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + size_; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + size_; }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    T& back() noexcept { return data_[size_ - 1]; }
    void pop_back() noexcept { --size_; }
    void clear() noexcept { size_ = 0; }
    void push_back(const T& v) {
        if (size_ == cap_) grow();
        ::new (data_ + size_++) T(v);
    }

private:
    T* inline_data() noexcept { return reinterpret_cast<T*>(inline_); }
    [[gnu::noinline]] void grow() {
        const std::size_t cap = 2 * cap_;
        const bool moving_out = data_ == inline_data();
        void* bigger = moving_out ? std::malloc(cap * sizeof(T)) : std::realloc(static_cast<void*>(data_), cap * sizeof(T));
        if (!bigger) throw std::bad_alloc();
        if (moving_out) std::memcpy(bigger, inline_, size_ * sizeof(T));
        data_ = static_cast<T*>(bigger);
        cap_ = cap;
    }

    alignas(T) unsigned char inline_[N * sizeof(T)];
    T* data_ = inline_data();
    std::size_t size_ = 0;
    std::size_t cap_ = N;
};

}  // namespace adsieve
