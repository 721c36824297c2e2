// Fuzz entry for the XML layer: any valid UTF-8 text must parse without a
// crash, and the tree must survive copying and release.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "alloc.h"
#include "model.h"
#include "parse.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    // The library only ever parses text whose encoding was checked first.
    if (!adsieve::text::is_valid_utf8(in)) return 0;
    adsieve::Document doc = adsieve::parse(in);
    // Only the synthetic empty root has line 0; a real element starts on line 1.
    if (doc.root().line == 0 && (doc.root().name != "__empty__" || !doc.root().children().empty())) __builtin_trap();
    adsieve::Arena storage;
    adsieve::Node copy = adsieve::deep_copy(doc.root(), storage);
    (void)copy.find_descendant("VAST");
    return 0;
}
