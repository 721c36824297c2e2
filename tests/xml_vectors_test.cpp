// Runs the XML layer against the recorded vectors: document text in, error
// flag, error text and the whole element tree out.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "api.h"
#include "model.h"
#include "support.h"

namespace {

using nlohmann::json;

// First difference between `got` and the expected tree, or "" when equal.
// Walks both trees side by side with an explicit stack.
std::string tree_difference(const adsieve::Document& doc, const adsieve::Node& got, const json& want) {
    struct Frame {
        const adsieve::Node* node;
        const json* want;
        std::size_t depth;
    };
    std::vector<Frame> stack;
    stack.push_back({&got, &want, 0});
    while (!stack.empty()) {
        Frame f = std::move(stack.back());
        stack.pop_back();
        const adsieve::Node& n = *f.node;
        const json& w = *f.want;
        auto mismatch = [&](const std::string& what, const std::string& g, const std::string& e) {
            return "depth " + std::to_string(f.depth) + " <" + std::string(n.name()) + ">: " + what + " got [" + g + "] want [" + e + "]";
        };
        if (std::string_view(n.name()) != w.at("name").get<std::string>()) return mismatch("name", std::string(n.name()), w.at("name"));
        const json& attrs = w.at("attrs");
        std::ostringstream ga, wa;
        for (const adsieve::Attr& a : n.attrs()) ga << a.name << "=" << a.value << ";";
        for (const json& a : attrs) wa << a.at(0).get<std::string>() << "=" << a.at(1).get<std::string>() << ";";
        if (ga.str() != wa.str()) return mismatch("attrs", ga.str(), wa.str());
        if (std::string_view(n.text()) != w.at("text").get<std::string>()) return mismatch("text", std::string(n.text()), w.at("text"));
        if (n.has_cdata != w.at("has_cdata").get<bool>())
            return mismatch("has_cdata", std::to_string(n.has_cdata), w.at("has_cdata").dump());
        const adsieve::Position at = adsieve::position_of(doc, n);
        if (at.line != w.at("line").get<std::uint32_t>() || at.col != w.at("col").get<std::uint32_t>())
            return mismatch("line:col", std::to_string(at.line) + ":" + std::to_string(at.col),
                            w.at("line").dump() + ":" + w.at("col").dump());
        const json& kids = w.at("children");
        if (n.children().count() != kids.size())
            return mismatch("child count", std::to_string(n.children().count()), std::to_string(kids.size()));
        std::vector<const adsieve::Node*> got;
        for (const adsieve::Node& c : n.children()) got.push_back(&c);
        for (std::size_t i = got.size(); i-- > 0;) stack.push_back({got[i], &kids[i], f.depth + 1});
    }
    return {};
}

std::size_t error_position(const std::string& text) {
    static const std::string prefix = "XML parse error at position ";
    return std::stoul(text.substr(prefix.size()));
}

TEST(XmlVectors, EveryVectorAgrees) {
    std::istringstream lines(adsieve::testing::read_file(adsieve::testing::shared_dir() + "/xml-vectors/vectors.jsonl"));
    const std::string eof_prefix = "XML parse error at end of document: ";
    const std::string pos_prefix = "XML parse error at position ";
    std::size_t count = 0, failures = 0, position_mismatches = 0;
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        ++count;
        json v = json::parse(line);
        const std::string id = v.at("id").get<std::string>();
        const std::string input = v.at("input").get<std::string>();
        const bool want_error = v.at("error").get<bool>();
        adsieve::Document doc = adsieve::parse(input);

        std::string problem;
        if (doc.parse_error.has_value() != want_error) {
            problem = "error flag: got " + doc.parse_error.value_or("(none)");
        } else if (std::string d = tree_difference(doc, doc.root(), v.at("root")); !d.empty()) {
            problem = "tree: " + d;
        } else if (want_error) {
            const std::string want_text = v.at("error_text").get<std::string>();
            const std::string& got_text = *doc.parse_error;
            if (want_text.rfind(eof_prefix, 0) == 0) {
                if (got_text != want_text) problem = "error text: got [" + got_text + "] want [" + want_text + "]";
            } else if (got_text.rfind(pos_prefix, 0) != 0) {
                problem = "error text: got [" + got_text + "] want [" + want_text + "]";
            } else if (error_position(got_text) != error_position(want_text)) {
                // Diagnostic only: nothing downstream reads the position.
                if (++position_mismatches <= 20)
                    std::cout << id << ": error position: got [" << got_text << "] want [" << want_text << "]\n";
            }
        }
        if (!problem.empty()) {
            ++failures;
            if (failures <= 20) ADD_FAILURE() << id << ": " << problem;
        }
    }
    EXPECT_EQ(count, 1692u);
    EXPECT_EQ(failures, 0u);
    std::cout << count << " vectors, " << failures << " flag/tree/text failures, " << position_mismatches
              << " position mismatches\n";
}

}  // namespace
