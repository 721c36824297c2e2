#include "alloc.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <new>

namespace adsieve {

namespace {

// Header size that keeps every block's payload maximally aligned.
constexpr std::size_t kHeader = alignof(std::max_align_t);

}  // namespace

Arena::Arena(std::size_t expected) noexcept
    : next_size_(std::clamp(expected, kMinBlock, kMaxBlock)) {}

Arena::~Arena() {
    while (blocks_) {
        Block* next = blocks_->next;
        std::free(blocks_);
        blocks_ = next;
    }
}

std::string_view Arena::copy(std::string_view s) {
    if (s.empty()) return {};
    char* p = static_cast<char*>(allocate(s.size(), 1));
    std::memcpy(p, s.data(), s.size());
    return {p, s.size()};
}

void* Arena::allocate_in_new_block(std::size_t bytes, std::size_t align) {
    auto aligned = [align](char* p) {
        auto v = reinterpret_cast<std::uintptr_t>(p);
        return reinterpret_cast<char*>((v + align - 1) & ~(std::uintptr_t(align) - 1));
    };
    // The next shared block, or one of its own for a large request (which
    // leaves the current shared block in use).
    const bool own = bytes + align > next_size_ / 4;
    const std::size_t size = own ? kHeader + bytes + align : next_size_;
    void* raw = std::malloc(size);
    if (!raw) throw std::bad_alloc();
    auto* b = static_cast<Block*>(raw);
    b->next = blocks_;
    blocks_ = b;
    char* payload = static_cast<char*>(raw) + kHeader;
    char* p = aligned(payload);
    if (!own) {
        end_ = static_cast<char*>(raw) + size;
        cur_ = p + bytes;
        next_size_ = std::min(next_size_ * 2, kMaxBlock);
    }
    return p;
}

}  // namespace adsieve
