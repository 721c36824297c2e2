// Storage of the document tree. Each parsed document owns one arena from
// which its joined texts, attribute lists and child lists are carved:
// building the tree allocates in a few large blocks and releasing it is one
// free per block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace adsieve {

// A bump allocator over a few large blocks from the C heap: the first one
// sized from what the caller expects to need, each further one twice the size
// of the last (up to a cap); a request larger than a quarter of the current
// block size gets a block of its own. Nothing is freed before the arena
// itself, which frees its blocks in one go.
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

}  // namespace adsieve
