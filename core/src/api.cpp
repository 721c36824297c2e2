#include "api.h"

#include <algorithm>

#include "adsieve_version.h"
#include "parse.h"
#include "xml/tokenizer.h"

namespace adsieve {

std::string_view library_version() noexcept { return ADSIEVE_VERSION; }

Position position_of(std::string_view text, std::size_t offset) {
    xml::LineCounter lc;
    auto p = xml::locate(lc, text, std::min(offset, text.size()));
    return {p.line, p.col};
}

Position position_of(const Document& doc, const Node& node) {
    const auto off = tag_offset(doc.text, node);
    return off ? position_of(doc.text, *off) : Position{0, 0};
}

std::string tree_json(std::string_view text) { return tree_json(parse(text)); }

}  // namespace adsieve
