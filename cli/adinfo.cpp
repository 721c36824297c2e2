#include "adinfo.h"

#include <array>
#include <memory>
#include <utility>

#include <nlohmann/json.hpp>

#include "adsieve.h"

namespace cli {

namespace {

using json = nlohmann::json;

struct StringFree {
    void operator()(char* s) const noexcept { adsieve_string_free(s); }
};

// Elements whose text is a URL the player calls, and the name given to it.
constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kTrackerElements{{
    {"Impression", "impression"},
    {"Error", "error"},
    {"ClickTracking", "click"},
    {"CompanionClickTracking", "click"},
    {"NonLinearClickTracking", "click"},
    {"Viewable", "viewable"},
    {"NotViewable", "not-viewable"},
    {"ViewUndetermined", "view-undetermined"},
}};

std::string_view name_of(const json& node) {
    auto it = node.find("name");
    return it != node.end() && it->is_string() ? std::string_view(it->get_ref<const std::string&>()) : "";
}

const json* children_of(const json& node) {
    auto it = node.find("children");
    return it != node.end() && it->is_array() ? &*it : nullptr;
}

std::vector<const json*> children_named(const json& node, std::string_view name) {
    std::vector<const json*> out;
    if (const json* kids = children_of(node))
        for (const json& k : *kids)
            if (name_of(k) == name) out.push_back(&k);
    return out;
}

const json* child_named(const json& node, std::string_view name) {
    if (const json* kids = children_of(node))
        for (const json& k : *kids)
            if (name_of(k) == name) return &k;
    return nullptr;
}

std::string text_of(const json* node) {
    if (!node) return {};
    auto it = node->find("text");
    if (it == node->end() || !it->is_string()) return {};
    const std::string& t = it->get_ref<const std::string&>();
    const std::size_t b = t.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const std::size_t e = t.find_last_not_of(" \t\r\n");
    return t.substr(b, e - b + 1);
}

std::string attr_of(const json& node, std::string_view name) {
    auto it = node.find("attrs");
    if (it == node.end() || !it->is_array()) return {};
    for (const json& pair : *it)
        if (pair.is_array() && pair.size() == 2 && pair[0].is_string() && pair[1].is_string() &&
            pair[0].get_ref<const std::string&>() == name)
            return pair[1].get_ref<const std::string&>();
    return {};
}

// The ads of a VAST or DAAST element.
void read_ads(const json& root, AdInfo& out, std::vector<std::string>* uris) {
    for (const json* ad : children_named(root, "Ad")) {
        ++out.ads;
        if (const json* in = child_named(*ad, "InLine")) {
            ++out.inline_ads;
            if (std::string s = text_of(child_named(*in, "AdSystem")); !s.empty()) out.ad_systems.push_back(s);
        } else if (const json* wr = child_named(*ad, "Wrapper")) {
            ++out.wrapper_ads;
            if (std::string s = text_of(child_named(*wr, "AdSystem")); !s.empty()) out.ad_systems.push_back(s);
            const json* uri = child_named(*wr, "VASTAdTagURI");
            if (!uri) uri = child_named(*wr, "DAASTAdTagURI");
            if (uris) uris->push_back(text_of(uri));
        }
    }
}

void read_breaks(const json& vmap, AdInfo& out) {
    std::size_t n = 0;
    for (const json* brk : children_named(vmap, "AdBreak")) {
        ++n;
        std::string label = attr_of(*brk, "breakId");
        if (label.empty()) label = attr_of(*brk, "timeOffset");
        if (label.empty()) label = "break " + std::to_string(n);
        const json* source = child_named(*brk, "AdSource");
        if (!source) continue;
        if (const json* tag = child_named(*source, "AdTagURI")) {
            out.breaks.push_back({label, text_of(tag), 0});
        } else if (const json* data = child_named(*source, "VASTAdData")) {
            if (const json* vast = child_named(*data, "VAST")) {
                AdInfo embedded;
                std::vector<std::string> uris;
                read_ads(*vast, embedded, &uris);
                for (std::string& u : uris) out.breaks.push_back({label, std::move(u), 1});
            }
        }
    }
}

// Every tracker in the document, in document order, without recursion.
void read_trackers(const json& root, AdInfo& out) {
    std::vector<const json*> stack{&root};
    while (!stack.empty()) {
        const json* node = stack.back();
        stack.pop_back();
        const std::string_view name = name_of(*node);
        std::string kind;
        if (name == "Tracking") {
            kind = attr_of(*node, "event");
            if (kind.empty()) kind = "tracking";
        } else {
            for (const auto& [element, k] : kTrackerElements)
                if (name == element) kind = k;
        }
        if (!kind.empty())
            if (std::string url = text_of(node); !url.empty()) out.trackers.push_back({std::move(kind), std::move(url)});
        if (const json* kids = children_of(*node))
            for (auto it = kids->rbegin(); it != kids->rend(); ++it) stack.push_back(&*it);
    }
}

}  // namespace

bool read_ad_info(std::string_view xml, AdInfo& out, std::string& error) {
    out = AdInfo{};
    adsieve_error err{};
    std::unique_ptr<char, StringFree> text(adsieve_tree_json(xml.data(), xml.size(), &err));
    if (!text) {
        error = err.message[0] ? err.message : "cannot read the document";
        return false;
    }
    json tree = json::parse(text.get(), nullptr, false);
    text.reset();
    auto root = tree.is_object() ? tree.find("root") : tree.end();
    if (tree.is_discarded() || root == tree.end() || !root->is_object()) {
        error = "cannot read the element tree";
        return false;
    }
    std::string_view name = name_of(*root);
    out.root = name == "__empty__" ? "" : std::string(name);
    if (out.root == "VAST" || out.root == "DAAST") read_ads(*root, out, &out.wrapper_uris);
    if (out.root == "VMAP") read_breaks(*root, out);
    read_trackers(*root, out);
    return true;
}

}  // namespace cli
