#include "model.h"

#include <cstdlib>
#include <new>

namespace adsieve {

void NodeList::reserve(std::size_t n) {
    if (n <= cap_) return;
    if (n > SIZE_MAX / sizeof(Node)) throw std::bad_alloc();
    void* grown = std::realloc(static_cast<void*>(data_), n * sizeof(Node));
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<Node*>(grown);
    cap_ = n;
}

}  // namespace adsieve
