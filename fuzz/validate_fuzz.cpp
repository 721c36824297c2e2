// Whole validation through the C interface on arbitrary bytes and options.
#include <cstddef>
#include <cstdint>
#include <string>

#include "adsieve.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A NUL-terminated copy: a length of 0 means "read up to the NUL".
    const std::string copy(reinterpret_cast<const char*>(data), size);
    const char* xml = copy.c_str();
    adsieve_result* r = adsieve_validate(xml, size);
    if (r) {
        const char* json = adsieve_result_json(r);
        (void)json;
        adsieve_result_free(r);
    }
    if (size > 2) {
        // The first bytes pick options; the rest is the document.
        r = adsieve_validate_with_options(xml + 2, size - 2, data[0], data[1] & 7,
                                          "{\"VAST-2.0-url-cdata\":\"off\",\"VAST-2.0-extension-misplaced-element\":\"off\"}");
        adsieve_result_free(r);
    }
    return 0;
}
