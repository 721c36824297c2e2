#include "alloc.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <new>
#include <utility>

namespace adsieve {

namespace {

// Header size that keeps every block's payload maximally aligned.
constexpr std::size_t kHeader = alignof(std::max_align_t);

}  // namespace

Arena::Arena(std::size_t expected) noexcept
    : next_size_(std::clamp(expected, kMinBlock, kMaxBlock)) {}

Arena::Arena(Arena&& other) noexcept
    : blocks_(other.blocks_), cur_(other.cur_), end_(other.end_), next_size_(other.next_size_) {
    other.blocks_ = nullptr;
    other.cur_ = other.end_ = nullptr;
}

Arena& Arena::operator=(Arena&& other) noexcept {
    if (this != &other) {
        release();
        blocks_ = other.blocks_, cur_ = other.cur_, end_ = other.end_, next_size_ = other.next_size_;
        other.blocks_ = nullptr;
        other.cur_ = other.end_ = nullptr;
    }
    return *this;
}

Arena::~Arena() { release(); }

void Arena::release() noexcept {
    while (blocks_) {
        Block* next = blocks_->next;
        std::free(blocks_);
        blocks_ = next;
    }
    cur_ = end_ = nullptr;
}

void Arena::adopt(Arena&& other) noexcept {
    if (!other.blocks_) return;
    if (!blocks_) {
        *this = std::move(other);
        return;
    }
    // The other blocks go behind our newest one, which stays the current.
    Block* last = other.blocks_;
    while (last->next) last = last->next;
    last->next = blocks_->next;
    blocks_->next = other.blocks_;
    other.blocks_ = nullptr;
    other.cur_ = other.end_ = nullptr;
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
    // leaves the current shared block in use). The first block is always
    // shared, and large enough for the request.
    const bool own = blocks_ && bytes + align > next_size_ / 4;
    const std::size_t size = own ? kHeader + bytes + align : std::max(next_size_, kHeader + bytes + align);
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
