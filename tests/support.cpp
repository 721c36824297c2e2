#include "support.h"

#include <fstream>
#include <memory>
#include <new>
#include <sstream>

namespace adsieve::testing {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string shared_dir() { return ADSIEVE_SHARED_DIR; }
std::string source_dir() { return ADSIEVE_SOURCE_DIR; }

Document nested_vast(std::string_view container, Node leaf, std::size_t depth) {
    Document doc;
    // Each node's one child is the node after it: VAST, Ad, the container,
    // `depth` elements named "a", then the leaf.
    const std::size_t total = depth + 4;
    doc.nodes.reserve(total);
    for (std::size_t i = 0; i < total; ++i) {
        Node& n = doc.nodes.push();
        if (i == total - 1) n = leaf;
        else n.set_name(i == 0 ? "VAST" : i == 1 ? "Ad" : i == 2 ? container : "a");
        n.span = static_cast<std::uint32_t>(total - i);
    }
    return doc;
}

std::vector<std::string> issue_lines(const ValidationResult& result) {
    std::vector<std::string> out;
    for (const Issue& is : result.issues) {
        std::string s(is.id);
        s += '|';
        s += std::to_string(static_cast<int>(is.severity));
        s += '|';
        s += is.path ? *is.path : "-";
        s += '|';
        s += is.line ? std::to_string(*is.line) : "-";
        s += '|';
        s += is.col ? std::to_string(*is.col) : "-";
        out.push_back(std::move(s));
    }
    return out;
}

std::vector<std::string> issue_lines_for(const ValidationResult& result,
                                         std::initializer_list<std::string_view> ids) {
    std::vector<std::string> out;
    for (std::string& line : issue_lines(result)) {
        std::string_view id = std::string_view(line).substr(0, line.find('|'));
        for (std::string_view want : ids)
            if (id == want) {
                out.push_back(std::move(line));
                break;
            }
    }
    return out;
}

std::vector<std::string> issue_lines_with_prefix(const ValidationResult& result, std::string_view prefix) {
    std::vector<std::string> out;
    for (std::string& line : issue_lines(result))
        if (std::string_view(line).substr(0, prefix.size()) == prefix) out.push_back(std::move(line));
    return out;
}

std::string shortened_path(std::string_view path) {
    std::vector<std::string_view> segments;
    path.remove_prefix(1);  // the leading '/'
    for (std::size_t from = 0;;) {
        std::size_t slash = path.find('/', from);
        segments.push_back(path.substr(from, slash - from));
        if (slash == std::string_view::npos) break;
        from = slash + 1;
    }
    if (segments.size() > 64) {
        segments.erase(segments.begin() + 32, segments.end() - 31);
        segments.insert(segments.begin() + 32, "...");
    }
    std::string out;
    for (std::string_view seg : segments) {
        out += '/';
        out += seg;
    }
    return out;
}

std::vector<std::string> run(std::string_view xml, Family family, const ValidationContext& ctx) {
    return family_lines(validate_with_context(xml, ctx), family);
}

std::vector<std::string> family_lines(const ValidationResult& result, Family family) {
    std::vector<std::string> out;
    for (std::string& line : issue_lines(result)) {
        const Rule* rule = find_rule(std::string_view(line).substr(0, line.find('|')));
        if (rule && rule->family == family) out.push_back(std::move(line));
    }
    return out;
}

ValidationContext context(std::optional<VastVersion> forced, Overrides overrides) {
    ValidationContext ctx;
    ctx.forced_version = forced;
    if (!overrides.empty()) ctx.rule_overrides = std::move(overrides);
    return ctx;
}

}  // namespace adsieve::testing
