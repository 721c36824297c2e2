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
    if (node.pos == Node::kNoPosition) return {0, 0};
    return position_of(doc.text, node.pos);
}

std::string tree_json(std::string_view text) { return tree_json(parse(text)); }

}  // namespace adsieve
