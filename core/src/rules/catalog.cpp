#include "rules/catalog.h"

namespace adsieve {

const Rule* find_rule(std::string_view id) noexcept {
    for (const Rule* r : CATALOG)
        if (r->id == id) return r;
    return nullptr;
}

}  // namespace adsieve
