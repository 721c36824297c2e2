// Placeholder until the full parser lands: a scheme followed by ':'.
#include "url/url.h"

namespace adsieve::url {

bool is_absolute_url(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= 0x20) ++i;
    if (i >= s.size() || !((s[i] | 0x20) >= 'a' && (s[i] | 0x20) <= 'z')) return false;
    while (i < s.size() && s[i] != ':') {
        char c = s[i] | 0x20;
        if (!((c >= 'a' && c <= 'z') || (s[i] >= '0' && s[i] <= '9') || s[i] == '+' || s[i] == '-' || s[i] == '.'))
            return false;
        ++i;
    }
    return i < s.size();
}

}  // namespace adsieve::url
