// The validation frame: catalogue, version detection, severities, JSON text.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <tuple>

#include "adsieve.h"
#include "api.h"
#include "json.h"
#include "overrides.h"
#include "rules/macros.h"
#include "rules/rules.h"
#include "support.h"
#include "text.h"
#include "validate.h"
#include "version.h"
#include "walk.h"

namespace {

using namespace adsieve;

TEST(Catalog, EntriesAreUniqueAndGroupedAsPublished) {
    ASSERT_EQ(CATALOG.size(), 191u);
    std::set<std::string_view> ids;
    std::map<std::pair<int, int>, int> groups;
    for (const Rule* e : CATALOG) {
        EXPECT_TRUE(ids.insert(e->id).second) << "duplicate " << e->id;
        EXPECT_FALSE(e->summary().empty()) << e->id;
        EXPECT_NE(e->kind, 6) << e->id;
        ++groups[{e->kind, static_cast<int>(e->severity)}];
    }
    const std::map<std::pair<int, int>, int> expected = {
        {{0, 0}, 3},  {{0, 1}, 31}, {{0, 2}, 46}, {{1, 1}, 6},  {{1, 2}, 21}, {{2, 1}, 2},
        {{2, 2}, 1},  {{3, 1}, 4},  {{4, 1}, 1},  {{5, 1}, 1},  {{7, 0}, 2},  {{7, 1}, 6},
        {{8, 1}, 2},  {{8, 2}, 7},  {{9, 0}, 2},  {{9, 1}, 5},  {{9, 2}, 17}, {{10, 0}, 1},
        {{10, 1}, 2}, {{10, 2}, 18}, {{11, 1}, 3}, {{11, 2}, 2}, {{12, 0}, 1}, {{12, 1}, 7},
    };
    EXPECT_EQ(groups, expected);
    // Kind 8 is exactly SIMID, kind 9 exactly VMAP.
    for (const Rule* e : CATALOG) {
        EXPECT_EQ(e->kind == 8, e->id.substr(0, 6) == "SIMID-") << e->id;
        EXPECT_EQ(e->kind == 9, e->id.substr(0, 5) == "VMAP-") << e->id;
    }
    ASSERT_NE(find_rule("VAST-2.0-parse-error"), nullptr);
    EXPECT_EQ(find_rule("VAST-2.0-parse-error")->summary(),
              "XML parse error \u2014 document may be malformed");
    EXPECT_EQ(find_rule("vast-2.0-parse-error"), nullptr);
}

DetectedVersion detect(const char* xml) { return detect_version(parse(xml).root()); }

TEST(Version, DeclarationAndStructuralSignals) {
    auto d = detect("<VAST version=\" 4.2 \"/>");
    EXPECT_EQ(d.state, VersionState::Declared);
    EXPECT_EQ(d.effective(), VastVersion::V4_2);

    d = detect("<VAST version=\"2.0\"><Ad><InLine><AdServingId>x</AdServingId></InLine></Ad></VAST>");
    EXPECT_EQ(d.state, VersionState::Mismatch);
    EXPECT_EQ(d.inferred, VastVersion::V4_1);
    EXPECT_EQ(d.effective(), VastVersion::V2_0);

    d = detect("<VAST version=\"4.1\"><Ad><Icons/></Ad></VAST>");
    EXPECT_EQ(d.state, VersionState::Consistent);
    EXPECT_EQ(d.inferred, VastVersion::V3_0);

    EXPECT_EQ(detect("<VAST version=\"2.0.1\"/>").effective(), VastVersion::V2_0);

    d = detect("<VAST version=\"5.0\"><MediaFile/></VAST>");
    EXPECT_EQ(d.state, VersionState::Inferred);
    EXPECT_EQ(d.effective(), VastVersion::V2_0);
    EXPECT_EQ(detect("<VAST version=\"5.0\"/>").state, VersionState::Unknown);
    EXPECT_EQ(detect("<VAST><UniversalAdId/></VAST>").effective(), VastVersion::V4_0);
    EXPECT_EQ(detect("<vast version=\"4.0\"><MediaFile/></vast>").state, VersionState::Unknown);
    // The newest signal wins whatever the document order.
    EXPECT_EQ(detect("<VAST><Icons/><A><AdServingId/></A></VAST>").effective(), VastVersion::V4_1);
    // Only the first version attribute counts, and 4.0.0 is not a version.
    EXPECT_EQ(detect("<VAST version=\"4.0.0\"/>").state, VersionState::Unknown);
}

// Once a signal is found only newer ones are looked for: every pair of
// signals, in either order, infers the newer of the two.
TEST(Version, EveryPairOfSignalsInfersTheNewer) {
    const std::pair<std::string, VastVersion> signals[] = {
        {"AdServingId", VastVersion::V4_1},     {"UniversalAdId", VastVersion::V4_0},
        {"Verification", VastVersion::V4_0},    {"AdVerifications", VastVersion::V4_0},
        {"InteractiveCreativeFile", VastVersion::V4_0}, {"Pricing", VastVersion::V3_0},
        {"Icons", VastVersion::V3_0},           {"ViewableImpression", VastVersion::V3_0},
        {"MediaFile", VastVersion::V2_0},
    };
    for (const auto& [a, va] : signals)
        for (const auto& [b, vb] : signals) {
            const std::string xml = "<VAST><Ad><" + a + "/><AdSystem/><" + b + "/></Ad></VAST>";
            const DetectedVersion d = detect(xml.c_str());
            EXPECT_EQ(d.state, VersionState::Inferred) << xml;
            EXPECT_EQ(d.inferred, std::max(va, vb)) << xml;
        }
}

// A name of a signal's length is that signal only when every byte matches:
// each signal with one byte changed (first, middle, last), or cut short by
// one, infers nothing.
TEST(Version, NamesOfASignalsLengthInferNothingElse) {
    for (std::string name : {"AdServingId", "UniversalAdId", "Verification", "AdVerifications", "InteractiveCreativeFile",
                             "Pricing", "Icons", "ViewableImpression", "MediaFile"}) {
        std::vector<std::string> near{name.substr(0, name.size() - 1), name.substr(1)};
        for (std::size_t at : {std::size_t{0}, name.size() / 2, name.size() - 1}) {
            std::string changed = name;
            changed[at] = changed[at] == 'x' ? 'y' : 'x';
            near.push_back(changed);
        }
        for (const std::string& other : near) {
            const std::string xml = "<VAST><Ad><InLine><Creatives/><" + other + "/><Companion/></InLine></Ad></VAST>";
            EXPECT_EQ(detect(xml.c_str()).state, VersionState::Unknown) << xml;
        }
    }
}

TEST(Frame, DocumentKindsAndParseErrors) {
    auto r = validate("<VAST version=\"4.2\"><Ad>");
    ASSERT_EQ(adsieve::testing::issue_lines(r), std::vector<std::string>{"VAST-2.0-parse-error|2|/VAST|-|-"});
    EXPECT_EQ(r.errors, 1u);
    EXPECT_EQ(r.version.effective(), VastVersion::V4_2);

    r = validate("<DAAST version=\"1.0\"><Ad>");
    EXPECT_EQ(r.kind, DocumentKind::Daast);
    EXPECT_EQ(adsieve::testing::issue_lines(r), std::vector<std::string>{"VAST-2.0-parse-error|2|/VAST|-|-"});
    EXPECT_EQ(validate("<VMAP version=\"1.0\"/>").kind, DocumentKind::Vmap);
    EXPECT_FALSE(validate("<VMAP version=\"1.0\"/>").version.effective());

    ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-2.0-parse-error"] = Severity::Info;
    r = validate_with_context("<VAST><Ad>", ctx);
    EXPECT_EQ(r.infos, 1u);
    EXPECT_EQ(r.errors, 0u);
    (*ctx.rule_overrides)["VAST-2.0-parse-error"] = Severity::Off;
    EXPECT_TRUE(validate_with_context("<VAST><Ad>", ctx).issues.empty());

    ValidationContext forced;
    forced.forced_version = VastVersion::V3_0;
    r = validate_with_context("<VAST version=\"4.2\"><AdServingId/></VAST>", forced);
    EXPECT_EQ(r.version.state, VersionState::Declared);
    EXPECT_EQ(r.version.effective(), VastVersion::V3_0);
}

// Texts of every length up to well past the point where the writer measures
// instead of assuming the worst, each with every kind of escape at every
// place, against a byte-at-a-time reference; many findings that share texts
// and outgrow the first buffer must come out whole.
TEST(Json, EscapesLongTextsAndManyFindingsExactly) {
    auto reference = [](std::string_view s) {
        std::string out = "\"";
        for (unsigned char c : s) {
            if (c == '"') out += "\\\"";
            else if (c == '\\') out += "\\\\";
            else if (c == '\t') out += "\\t";
            else if (c == '\n') out += "\\n";
            else if (c == '\r') out += "\\r";
            else if (c < 0x20) {
                static constexpr char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
        return out + "\"";
    };
    const std::string specials = std::string("\"\\\t\n\r\x01\x1f", 7) + std::string(1, '\0');
    for (std::size_t len : {0u, 1u, 15u, 16u, 17u, 255u, 256u, 257u, 300u, 1000u})
        for (char sp : specials) {
            std::string s(len, 'a');
            for (std::size_t i = 0; i < len; i += 7) s[i] = sp;
            std::string out = "x";
            append_escaped(out, s);
            EXPECT_EQ(out, "x" + reference(s)) << len << " " << int(sp);
            std::string all(len, sp);
            out.clear();
            append_escaped(out, all);
            EXPECT_EQ(out, reference(all)) << len << " " << int(sp);
        }

    ValidationResult r;
    Issue is;
    is.id = "X-1.0-a";
    is.message = "a \"quoted\" message";
    is.spec_ref = "ref";
    const std::string newlines(2000, '\n');
    is.path = newlines;
    r.issues.assign(500, is);
    r.errors = 500;
    const std::string json = render_json(r);
    const std::string one = "{\"id\":\"X-1.0-a\",\"severity\":\"error\",\"message\":" + reference(is.message) +
                            ",\"path\":" + reference(*is.path) + ",\"spec_ref\":\"ref\",\"line\":null,\"col\":null}";
    std::string want = "{\"version\":null,\"issues\":[";
    for (int i = 0; i < 500; ++i) want += (i ? "," : "") + one;
    want += "],\"summary\":{\"errors\":500,\"warnings\":0,\"infos\":0,\"valid\":false}}";
    EXPECT_EQ(json, want);
    // Written into an arena, outgrowing the room first made there: the same
    // text, NUL-terminated, and what the arena held before is untouched.
    Arena arena(64);
    const std::string_view kept = arena.copy("kept before");
    const std::string_view in_arena = write_json(r, arena);
    EXPECT_EQ(in_arena, want);
    EXPECT_EQ(in_arena.data()[in_arena.size()], '\0');
    EXPECT_EQ(kept, "kept before");
}

// A result of the C interface lives in its own arena with its JSON text:
// results made and freed in any order keep their texts whole.
TEST(Json, ResultsOfTheCInterfaceKeepTheirTexts) {
    std::vector<std::string> docs = {"<VAST version=\"4.2\"/>", "<VAST version=\"4.2\"><Ad></Ad>", "<x>", ""};
    std::string many = "<VAST version=\"4.2\">";
    for (int i = 0; i < 400; ++i) many += "<Ad id=\"" + std::to_string(i) + "\"><InLine/></Ad>";
    docs.push_back(many + "</VAST>");
    docs.push_back("<VMAP version=\"1.0\"><AdBreak><AdSource><VASTAdData><VAST version=\"2.0\"><Ad/></VAST>"
                   "</VASTAdData></AdSource></AdBreak></VMAP>");
    std::vector<adsieve_result*> results;
    for (int round = 0; round < 3; ++round)
        for (const std::string& d : docs) results.push_back(adsieve_validate(d.data(), d.size()));
    for (std::size_t k = 0; k < results.size(); ++k) {
        if (k % 2) continue;
        const std::string& d = docs[k % docs.size()];
        if (d.empty()) continue;  // length 0 reads up to a NUL: nothing to compare with
        ASSERT_NE(results[k], nullptr);
        EXPECT_EQ(adsieve_result_json(results[k]), render_json(validate(d))) << k;
        adsieve_result_free(results[k]);
        results[k] = nullptr;
    }
    for (std::size_t k = results.size(); k-- > 0;) {
        if (!results[k]) continue;
        const std::string& d = docs[k % docs.size()];
        if (!d.empty()) {
            const ValidationResult want = validate(d);
            EXPECT_EQ(adsieve_result_json(results[k]), render_json(want)) << k;
            ASSERT_EQ(adsieve_result_issue_count(results[k]), want.issues.size());
            adsieve_issue is;
            ASSERT_TRUE(adsieve_result_issue(results[k], want.issues.size() - 1, &is));
            EXPECT_EQ(std::string_view(is.path.ptr, is.path.len), want.issues.back().path.value_or("")) << k;
        }
        adsieve_result_free(results[k]);
    }
}

// The C interface turns away text that is not UTF-8 before validating; long
// ASCII runs are passed over wide there. Texts of every length with other
// bytes (whole characters, cut ones, stray continuation bytes, surrogates)
// anywhere, alone or in runs, are judged as the checker by character judges
// them.
TEST(CInterface, TurnsAwayExactlyTheTextsThatAreNotUtf8) {
    const std::string pieces[] = {"\xC3\xA9", "\xE2\x80\x94", "\xF0\x9F\x98\x80", "\xC3", "\xE2\x80", "\x80",
                                  "\xBF\xBF", "\xED\xA0\x80", "\xF5\x80\x80\x80", "\xC0\xAF", "\xFF"};
    std::mt19937 rng(5);
    int turned_away = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::size_t len = 1 + rng() % (round % 3 == 0 ? 200 : 2000);
        std::string text;
        while (text.size() < len) {
            const unsigned roll = rng() % 1000;
            if (roll < (round % 5 == 0 ? 0u : round % 5 == 1 ? 2u : 20u)) {
                // Mostly whole characters, in runs of up to a few.
                for (unsigned k = 1 + rng() % 4; k > 0; --k)
                    text += rng() % 4 ? pieces[rng() % 3] : pieces[rng() % std::size(pieces)];
            } else {
                text += static_cast<char>('a' + rng() % 26);
            }
        }
        const bool want = text::is_valid_utf8(text);
        adsieve_result* r = adsieve_validate(text.data(), text.size());
        EXPECT_EQ(r != nullptr, want) << round;
        adsieve_result_free(r);
        adsieve_error err;
        r = adsieve_validate_opts(text.data(), text.size(), nullptr, &err);
        EXPECT_EQ(err.status == ADSIEVE_ERR_UTF8, !want) << round;
        adsieve_result_free(r);
        turned_away += !want;
    }
    EXPECT_GT(turned_away, 300);
    EXPECT_LT(turned_away, 2700);
}

TEST(Json, RendersAndEscapesByteForByte) {
    ValidationResult r;
    EXPECT_EQ(render_json(r),
              "{\"version\":null,\"issues\":[],\"summary\":{\"errors\":0,\"warnings\":0,\"infos\":0,\"valid\":true}}");

    r.version.state = VersionState::Declared;
    r.version.declared = VastVersion::V4_2;
    Issue a;
    a.id = "X-1.0-a";
    a.severity = Severity::Warning;
    a.message = "say \"hi\" \\ \u2014 \u00a7 /";
    const std::string controls = std::string("/A\t\x01\x1f\n\r") + std::string(1, '\0');
    a.path = controls;
    a.spec_ref = "IAB VAST 2.0 \u00a72";
    a.line = 3;
    a.col = 14;
    Issue b;
    b.id = "X-1.0-b";
    b.severity = Severity::Info;
    b.message = "m";
    b.spec_ref = "s";
    r.issues = {a, b};
    r.warnings = 1;
    r.infos = 1;
    EXPECT_EQ(render_json(r),
              "{\"version\":\"4.2\",\"issues\":["
              "{\"id\":\"X-1.0-a\",\"severity\":\"warning\",\"message\":\"say \\\"hi\\\" \\\\ \u2014 \u00a7 /\","
              "\"path\":\"/A\\t\\u0001\\u001f\\n\\r\\u0000\",\"spec_ref\":\"IAB VAST 2.0 \u00a72\",\"line\":3,\"col\":14},"
              "{\"id\":\"X-1.0-b\",\"severity\":\"info\",\"message\":\"m\",\"path\":null,\"spec_ref\":\"s\","
              "\"line\":null,\"col\":null}],"
              "\"summary\":{\"errors\":0,\"warnings\":1,\"infos\":1,\"valid\":true}}");
}

// Room is made once for a finding without escapes: findings with escapes
// first use up what the block was sized with (by a varying amount), then
// plain findings with the longest severity and numbers follow, in both kinds
// of block. A frame made too small shows under the address sanitizer.
TEST(Json, PlainFindingsAfterEscapedOnesAreWrittenWhole) {
    const std::string newlines(300, '\n');
    for (std::size_t escaped = 0; escaped < 48; ++escaped) {
        ValidationResult r;
        std::string want = "{\"version\":null,\"issues\":[";
        for (std::size_t k = 0; k < escaped + 40; ++k) {
            Issue is;
            is.id = "X-1.0-a";
            is.message = "m";
            is.spec_ref = "s";
            is.severity = Severity::Warning;
            std::string path_json;
            if (k < escaped) {
                // Each its own path, of 1 to 300 line breaks.
                is.path = std::string_view(newlines).substr(0, 1 + (k * 37 + escaped * 11) % 300);
                path_json = "\"";
                for (std::size_t n = 0; n < is.path->size(); ++n) path_json += "\\n";
                path_json += "\"";
            } else {
                is.path = std::string_view(newlines).substr(0, 0);
                path_json = "\"\"";
                is.texts_plain = is.path_plain = true;
                is.line = UINT32_MAX;
                is.col = UINT32_MAX - static_cast<std::uint32_t>(k);
            }
            r.issues.push_back(is);
            want += std::string(k ? "," : "") +
                    "{\"id\":\"X-1.0-a\",\"severity\":\"warning\",\"message\":\"m\",\"path\":" + path_json +
                    ",\"spec_ref\":\"s\",\"line\":" + (is.line ? std::to_string(*is.line) : "null") +
                    ",\"col\":" + (is.col ? std::to_string(*is.col) : "null") + "}";
        }
        r.warnings = escaped + 40;
        want += "],\"summary\":{\"errors\":0,\"warnings\":" + std::to_string(escaped + 40) +
                ",\"infos\":0,\"valid\":true}}";
        EXPECT_EQ(render_json(r), want) << escaped;
        Arena arena(64);
        EXPECT_EQ(write_json(r, arena), want) << escaped;
    }
}

// A rule's fixed parts are written once and copied for its next findings:
// findings whose texts differ only in size (views of one buffer), in where
// they lie, or in severity must each get their own. Each finding is compared
// with the same finding written alone.
TEST(Json, FindingsDifferingInOneTextOrTheSeverityAreWrittenApart) {
    const std::string ids = "X-1.0-abc", messages = "a message, longer", refs = "ref 1.2.3";
    const std::string other_ids = ids, other_messages = messages;  // same texts elsewhere
    const std::string_view id_views[] = {std::string_view(ids).substr(0, 7), std::string_view(ids),
                                         std::string_view(other_ids).substr(0, 7)};
    const std::string_view message_views[] = {std::string_view(messages).substr(0, 9), std::string_view(messages),
                                              std::string_view(other_messages)};
    const std::string_view ref_views[] = {std::string_view(refs).substr(0, 5), std::string_view(refs), ""};
    const std::string path = "/VAST/Ad[1]/InLine/Creatives/Creative[2]/Linear/MediaFiles/MediaFile[3]";
    std::mt19937 rng(11);
    ValidationResult r;
    std::string want = "{\"version\":null,\"issues\":[";
    for (int k = 0; k < 400; ++k) {
        Issue is;
        is.id = id_views[rng() % 3];
        is.message = message_views[rng() % 3];
        is.spec_ref = ref_views[rng() % 3];
        is.severity = static_cast<Severity>(rng() % 3);
        is.texts_plain = rng() % 2;
        if (rng() % 2) {
            is.path = std::string_view(path).substr(0, 1 + rng() % path.size());
            is.path_plain = rng() % 2;
        }
        is.line = k;
        is.col = 7;
        ValidationResult alone;
        alone.issues = {is};
        const std::string one = render_json(alone);
        const std::size_t from = one.find('[') + 1, to = one.rfind(']');
        want += (k ? "," : "") + one.substr(from, to - from);
        r.issues.push_back(is);
    }
    want += "],\"summary\":{\"errors\":0,\"warnings\":0,\"infos\":0,\"valid\":true}}";
    EXPECT_EQ(render_json(r), want);
}

TEST(Json, NumbersOfEveryLengthAreWrittenInFull) {
    // Each power of ten, one less and one more, up to the largest values.
    std::vector<std::uint64_t> values{0};
    for (std::uint64_t p = 1; p <= UINT64_MAX / 10; p *= 10) values.insert(values.end(), {p - 1, p, p + 1, 7 * p + 3});
    values.insert(values.end(), {UINT32_MAX, UINT64_MAX / 10, UINT64_MAX - 1, UINT64_MAX});
    for (std::uint64_t v : values) {
        ValidationResult r;
        Issue is;
        is.id = "X-1.0-a";
        is.message = "m";
        is.spec_ref = "s";
        is.line = static_cast<std::uint32_t>(v);
        is.col = static_cast<std::uint32_t>(v / 3);
        r.issues = {is};
        r.errors = v;
        r.warnings = v / 7;
        r.infos = static_cast<std::size_t>(v % 1000);
        const std::string want =
            "{\"version\":null,\"issues\":[{\"id\":\"X-1.0-a\",\"severity\":\"error\",\"message\":\"m\",\"path\":null,"
            "\"spec_ref\":\"s\",\"line\":" + std::to_string(static_cast<std::uint32_t>(v)) +
            ",\"col\":" + std::to_string(static_cast<std::uint32_t>(v / 3)) + "}],\"summary\":{\"errors\":" +
            std::to_string(v) + ",\"warnings\":" + std::to_string(v / 7) + ",\"infos\":" + std::to_string(v % 1000) +
            ",\"valid\":" + (v == 0 ? "true" : "false") + "}}";
        EXPECT_EQ(render_json(r), want) << v;
    }
}

TEST(Overrides, ReaderAcceptsOnlyWellFormedPieces) {
    auto m = read_overrides("{\"VAST-2.0-url-empty\":\"off\", \"VAST-2.0-tracking-https\" : \"error\"}");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->size(), 2u);
    EXPECT_EQ(m->at("VAST-2.0-url-empty"), Severity::Off);
    EXPECT_EQ(m->at("VAST-2.0-tracking-https"), Severity::Error);
    // Quotes are stripped however many there are; the value keeps its first-colon split.
    m = read_overrides("{\"\"VAST-2.0-url-empty\"\":\"\"info\"\"}");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->at("VAST-2.0-url-empty"), Severity::Info);
    EXPECT_FALSE(read_overrides("{\"VAST-2.0-url-empty\":\"off:x\"}"));
    // A piece without a colon discards everything, even accepted pieces before it.
    EXPECT_FALSE(read_overrides("{\"VAST-2.0-url-empty\":\"off\",}"));
    EXPECT_FALSE(read_overrides(nullptr));
    EXPECT_FALSE(read_overrides("{}"));
    EXPECT_FALSE(read_overrides("}"));
    // Unicode white space around the braces is trimmed.
    EXPECT_TRUE(read_overrides("\u00a0{\"VAST-2.0-url-empty\":\"warning\"}\u3000"));
}

}  // namespace

namespace {

using namespace adsieve;
using adsieve::testing::read_file;
using adsieve::testing::source_dir;

// The C++ spelling of a text inside a string literal.
std::string literal(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// Each rule's id and messages are written once, in the catalogue: no other
// source of the library spells them out again.
TEST(Catalog, RuleTextsAreWrittenOnlyInTheCatalogue) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(source_dir() + "/core/src")) {
        const std::string p = entry.path().string();
        if (p.ends_with(".cpp") || p.ends_with(".h")) files.push_back(p);
    }
    ASSERT_GT(files.size(), 20u);
    std::string catalogue;
    std::vector<std::pair<std::string, std::string>> others;
    for (const std::string& f : files) {
        if (f.ends_with("/rules/catalog.h")) catalogue = read_file(f);
        else others.emplace_back(f, read_file(f));
    }
    ASSERT_FALSE(catalogue.empty());
    auto count = [](const std::string& hay, const std::string& needle) {
        std::size_t n = 0;
        for (std::size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
        return n;
    };
    for (const Rule* r : CATALOG) {
        const std::string id = "\"" + std::string(r->id) + "\"";
        const std::string message = "\"" + literal(r->message) + "\"";
        EXPECT_EQ(count(catalogue, id), 1u) << r->id;
        for (const auto& [file, text] : others) {
            EXPECT_EQ(count(text, id), 0u) << r->id << " in " << file;
            if (r->message.size() > 12) {
                EXPECT_EQ(count(text, message), 0u) << r->message << " in " << file;
            }
        }
    }
}

}  // namespace

namespace {

std::string segments(std::size_t from, std::size_t to) {
    std::string p;
    for (std::size_t i = from; i <= to; ++i) p += "/s" + std::to_string(i);
    return p;
}

// Paths of up to 64 segments are kept; longer ones keep 32 + "..." + 31,
// wherever the cut falls between the embedding prefix and the path.
TEST(Report, LongPathsAreShortenedAtTheReport) {
    EXPECT_EQ(adsieve::bounded_path("", segments(1, 64)), segments(1, 64));
    EXPECT_EQ(adsieve::bounded_path("", segments(1, 65) + "[@a]"), segments(1, 32) + "/..." + segments(35, 65) + "[@a]");
    EXPECT_EQ(adsieve::bounded_path(segments(1, 40), segments(41, 100)), segments(1, 32) + "/..." + segments(70, 100));
    EXPECT_EQ(adsieve::bounded_path(segments(1, 3), segments(4, 64)), segments(1, 64));
    EXPECT_EQ(adsieve::bounded_path(segments(1, 90), ""), segments(1, 32) + "/..." + segments(60, 90));
    EXPECT_EQ(adsieve::bounded_path("", ""), "");

    // Separators are counted sixteen bytes at a time: segments of every short
    // length around the bound, split anywhere between head and tail.
    for (std::size_t len : {0u, 1u, 2u, 3u, 7u, 15u})
        for (std::size_t count = 60; count <= 70; ++count) {
            std::string path;
            for (std::size_t i = 0; i < count; ++i) path += "/" + std::string(len, 'n');
            for (std::size_t cut : {std::size_t{0}, path.size() / 3, path.size()})
                EXPECT_EQ(adsieve::bounded_path(std::string_view(path).substr(0, cut), std::string_view(path).substr(cut)),
                          adsieve::testing::shortened_path(path))
                    << len << " " << count << " " << cut;
        }
}

// Chains of every segment kind, a walk's path as a parent, the embedding
// prefix and the bound, all as the report writes them out.
TEST(Report, PathChainsAreWrittenOutOnlyForKeptFindings) {
    const PathRef ad = indexed(kVastPath, "Ad", 12);
    const PathRef creatives = join(ad, "/InLine/Creatives");
    const PathRef creative = indexed(creatives, "Creative", 0);
    EXPECT_EQ(path_string("", attr_path(creative, "id")), "/VAST/Ad[12]/InLine/Creatives/Creative[0][@id]");
    EXPECT_EQ(path_string("/VMAP/x", named(creative, "Linear")), "/VMAP/x/VAST/Ad[12]/InLine/Creatives/Creative[0]/Linear");
    EXPECT_EQ(path_string("", PathRef{}), "");

    Document doc = parse(std::string_view("<VAST><Ad><InLine><a/><b><c/></b></InLine></Ad></VAST>"));
    std::vector<std::string> seen;
    walk(doc.root().children().at(0), ad, Segment::NameIndex, [&](const Node& n, const WalkPath& p) {
        seen.push_back(path_string("", p));
        if (n.name() == "c") seen.push_back(path_string("", attr_path(p, "k")));
        return Step::Into;
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"/VAST/Ad[12]", "/VAST/Ad[12]/InLine[0]", "/VAST/Ad[12]/InLine[0]/a[0]",
                                              "/VAST/Ad[12]/InLine[0]/b[1]", "/VAST/Ad[12]/InLine[0]/b[1]/c[0]",
                                              "/VAST/Ad[12]/InLine[0]/b[1]/c[0][@k]"}));

    // 70 segments: the prefix's 2, the root's 1 and 67 in the chain.
    std::vector<PathRef> chain{kVastPath};
    chain.reserve(68);
    for (std::size_t i = 0; i < 67; ++i) chain.push_back(indexed(chain.back(), "s", i));
    const std::string whole = path_string("/a/b", chain.back());
    EXPECT_EQ(bounded_path("/a/b", chain.back()), bounded_path(whole, ""));
    EXPECT_NE(bounded_path("/a/b", chain.back()), whole);

    Overrides off{{std::string(rule::vast_macro_unknown.id), Severity::Off}};
    ValidationContext ctx;
    ctx.rule_overrides = off;
    ctx.max_issues = 1;
    Report report(ctx);
    report.path_prefix = "/P";
    report(rule::vast_macro_unknown, ad, nullptr);
    report(rule::vast_macro_lowercase, creative, nullptr);
    report(rule::vast_macro_lowercase, ad, nullptr);
    report(rule::vast_macro_lowercase, std::nullopt, nullptr);
    ASSERT_EQ(report.issues.size(), 1u);
    EXPECT_EQ(report.issues[0].path, "/P/VAST/Ad[12]/InLine/Creatives/Creative[0]");
    EXPECT_TRUE(report.truncated);
}

// Positions are worked out after the families, in one count of line breaks
// over the findings taken in document order: findings reported in any order,
// few or many, each get their own element's line and column.
TEST(Report, FindingsOutOfOrderGetTheirElementsPositions) {
    std::string text = "<VAST>\n";
    for (int i = 0; i < 300; ++i) text += std::string(static_cast<std::size_t>(i % 7), ' ') + "<a>\n<b/></a>" + (i % 3 ? "\n" : "");
    text += "</VAST>";
    Document doc = parse(std::string_view(text));
    std::vector<const Node*> nodes;
    for (const Node& a : doc.root().children()) {
        nodes.push_back(&a);
        nodes.push_back(&a.children().at(0));
    }
    ASSERT_EQ(nodes.size(), 600u);
    std::uint64_t seed = 7;
    for (std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{128}, std::size_t{129},
                              std::size_t{1000}}) {
        for (bool in_order : {true, false}) {
            ValidationContext ctx;
            Report report(ctx);
            std::vector<const Node*> at;
            for (std::size_t k = 0; k < count; ++k) {
                seed = seed * 6364136223846793005u + 1442695040888963407u;
                const std::size_t i = in_order ? k * nodes.size() / std::max<std::size_t>(count, 1)
                                               : static_cast<std::size_t>(seed >> 33) % nodes.size();
                // Some findings point at no element at all.
                at.push_back(k % 11 == 3 ? nullptr : k % 13 == 5 ? &doc.root() : nodes[i]);
                report(rule::vast_macro_lowercase, std::nullopt, at.back());
            }
            report.finish(doc.text);
            ASSERT_EQ(report.issues.size(), count);
            for (std::size_t k = 0; k < count; ++k) {
                const Issue& is = report.issues[k];
                if (!at[k]) {
                    EXPECT_FALSE(is.line) << k;
                    continue;
                }
                const Position want = position_of(doc, *at[k]);
                ASSERT_TRUE(is.line && is.col) << k;
                EXPECT_EQ(*is.line, want.line) << count << " " << in_order << " " << k;
                EXPECT_EQ(*is.col, want.col) << count << " " << in_order << " " << k;
            }
        }
    }
}

// The report keeps every path in its arena: only the short form of a
// shortened path is kept, paths outlive the blocks filling up, very long ones
// are built aside, and an arena moved or adopted keeps its texts.
TEST(Report, PathsStayValidInTheArena) {
    std::vector<PathRef> chain{kVastPath};
    chain.reserve(701);
    for (std::size_t i = 0; i < 700; ++i) chain.push_back(indexed(chain.back(), "s", i));
    ValidationContext ctx;
    Report report(ctx);
    std::vector<std::string> want;
    // Short and shortened paths in turn, over many blocks; 700 segments of
    // "/s[i]" are too long to be written on the stack and go aside.
    for (std::size_t i = 0; i < 3000; ++i) {
        const std::size_t depth = i % 3 == 0 ? 3 : i % 3 == 1 ? 90 : 700;
        report(rule::vast_macro_unknown, chain[depth], nullptr);
        want.push_back(bounded_path("", chain[depth]));
    }
    const std::string text = segments(1, 70);
    report(rule::vast_macro_unknown, text, nullptr);
    want.push_back(adsieve::testing::shortened_path(text));
    report(rule::vast_macro_unknown, "", nullptr);
    want.push_back("");

    ValidationResult result;
    ValidationContext other_ctx;
    Report other(other_ctx);
    other.path_prefix = "/P";
    other(rule::vast_macro_unknown, chain[2], nullptr);
    {
        adsieve::Arena moved = std::move(report.paths);
        result.paths = std::move(moved);
    }
    result.paths.adopt(std::move(other.paths));
    result.issues = std::move(report.issues);
    result.issues.push_back(other.issues.at(0));
    want.push_back("/P/VAST/s[0]/s[1]");

    ASSERT_EQ(result.issues.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        ASSERT_TRUE(result.issues[i].path) << i;
        EXPECT_EQ(*result.issues[i].path, want[i]) << i;
    }
    EXPECT_EQ(std::count(want[1].begin(), want[1].end(), '/'), 64);
}

// A kept path is written into the arena, scanned once for its separators and
// for bytes the JSON escapes, and shortened where it lies. Random paths (any
// byte, empty segments, every length around the bound, with and without an
// embedding prefix) must come out as the slow reading makes them, and their
// JSON as the escaping writer makes it.
TEST(Report, PathsAreScannedAndShortenedWhereTheyAreKept) {
    static_assert(json_plain("IAB VAST 2.0 \u00a72") && !json_plain("a\"b") && !json_plain("\\") &&
                  !json_plain(std::string_view("\x1f", 1)));
    EXPECT_TRUE(rule::vast_macro_unknown.plain);
    EXPECT_FALSE(rule::vast_vpaid_apiframework.plain);  // its message quotes a value

    std::srand(7);
    const std::string alphabet = std::string("/////ab\"\\\t\x01\x7f\xc2\xa7", 14) + std::string(1, '\0');
    ValidationContext ctx;
    Report report(ctx);
    std::vector<std::string> whole;
    for (int i = 0; i < 3000; ++i) {
        report.path_prefix = i % 4 == 0 ? std::string_view("/P\"/Q") : i % 4 == 1 ? "/P" : "";
        const std::size_t len = i % 50 == 0 ? 4000 + std::rand() % 200 : std::rand() % 300;
        std::string text;
        for (std::size_t k = 0; k < len; ++k)
            text += i % 3 == 0 ? alphabet[std::rand() % alphabet.size()] : "/ab"[std::rand() % 3];
        const Rule& r = i % 5 == 0 ? rule::vast_vpaid_apiframework : rule::vast_macro_unknown;
        const auto kept = report(r, text, nullptr);
        whole.push_back(std::string(report.path_prefix) + text);
        // A second finding at the same place shares the text.
        if (i % 7 == 0) {
            ASSERT_TRUE(kept);
            report(rule::vast_click_tracking_https, PathArg::same_as(*kept), nullptr);
            EXPECT_EQ(report.issues.back().path->data(), kept->data());
            whole.push_back(whole.back());
        }
    }
    ValidationResult result;
    result.issues = report.issues;
    result.errors = report.errors;
    result.warnings = report.warnings;
    result.infos = report.infos;
    std::string want = "{\"version\":null,\"issues\":[";
    ASSERT_EQ(result.issues.size(), whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const Issue& is = result.issues[i];
        ASSERT_TRUE(is.path);
        EXPECT_EQ(*is.path, bounded_path(whole[i], "")) << i;
        if (is.path_plain) {
            EXPECT_TRUE(json_plain(*is.path)) << i;
        }
        if (whole[i].size() <= 4096 && !is.path_plain && *is.path == whole[i] && i > 0 &&
            is.path->data() != result.issues[i - 1].path->data()) {
            EXPECT_FALSE(json_plain(whole[i])) << i;
        }
        want += i ? ",{\"id\":" : "{\"id\":";
        append_escaped(want, is.id);
        want += ",\"severity\":\"";
        want += severity_word(is.severity);
        want += "\",\"message\":";
        append_escaped(want, is.message);
        want += ",\"path\":";
        append_escaped(want, *is.path);
        want += ",\"spec_ref\":";
        append_escaped(want, is.spec_ref);
        want += ",\"line\":null,\"col\":null}";
    }
    want += "],\"summary\":{\"errors\":" + std::to_string(result.errors) +
            ",\"warnings\":" + std::to_string(result.warnings) + ",\"infos\":" + std::to_string(result.infos) +
            ",\"valid\":" + (result.errors ? "false" : "true") + "}}";
    EXPECT_EQ(render_json(result), want);
}

// A walk writes its node's whole path once, from the chain it started from,
// and builds on it as it goes down: deep enough to outgrow its first block,
// and with a walk started from inside another.
TEST(Report, WalkPathsHoldTheWholePath) {
    std::string doc;
    for (int i = 0; i < 120; ++i) doc += "<n" + std::to_string(i) + "><x/>";
    for (int i = 119; i >= 0; --i) doc += "</n" + std::to_string(i) + ">";
    Document d = parse(doc);
    ASSERT_FALSE(d.parse_error);
    const PathRef base = join(kVastPath, "/Ad");
    std::string want = "/VAST/Ad";
    std::size_t visits = 0, inner = 0;
    walk(d.root(), base, Segment::NameIndex, [&](const Node& n, const WalkPath& p) {
        if (visits++ == 0) {
            EXPECT_EQ(p.text(), want);
            EXPECT_EQ(p.tail(), "");
            return Step::Into;
        }
        if (n.name() == "x") {
            EXPECT_EQ(p.text(), want + "/x[0]");
            return Step::Over;
        }
        want += "/" + std::string(n.name()) + "[1]";
        EXPECT_EQ(path_string("", p), want);
        EXPECT_EQ(path_string("/E", attr_path(p, "k")), "/E" + want + "[@k]");
        // A walk from here: its paths follow this one.
        if (n.name() == "n60")
            walk(n, p, Segment::Name, [&](const Node& c, const WalkPath& q) {
                if (c.name() == "n61") {
                    EXPECT_EQ(path_string("", q), want + "/n61");
                }
                ++inner;
                return c.name() == "n62" ? Step::Stop : Step::Into;
            });
        return Step::Into;
    });
    EXPECT_EQ(visits, 240u);
    EXPECT_EQ(inner, 5u);  // n60, x, n61, x, n62
}

// A finding under a walk keeps the walk's text, scanned as it is copied:
// bytes the JSON escapes anywhere in the path the walk started from, paths of
// every length around the scan's blocks, and walks deep enough to be
// shortened must come out as the slow reading makes them.
TEST(Report, WalkFindingsKeepTheirPathScanned) {
    std::srand(11);
    for (int round = 0; round < 60; ++round) {
        const int depth = round % 8 == 0 ? 60 + std::rand() % 10 : 1 + std::rand() % 12;
        std::vector<std::string> names;
        std::string doc;
        for (int i = 0; i < depth; ++i) {
            std::string name = "n";
            for (int k = std::rand() % 20; k > 0; --k) name += "abc"[std::rand() % 3];
            names.push_back(name);
            doc += "<" + name + ">";
        }
        for (int i = depth - 1; i >= 0; --i) doc += "</" + names[static_cast<std::size_t>(i)] + ">";
        Document d = parse(doc);
        ASSERT_FALSE(d.parse_error) << doc;
        std::string start;
        for (int k = std::rand() % 40; k > 0; --k) start += round % 3 ? "/ab\\\"c"[std::rand() % 6] : "/ab"[std::rand() % 3];
        ValidationContext ctx;
        Report report(ctx);
        // Under an embedding prefix, and for chains that end in the walk, the
        // path is written segment by segment instead.
        const std::string prefix = round % 5 == 1 ? "/VMAP/x\\" : round % 5 == 2 ? std::string(600, 'p') : "";
        report.path_prefix = prefix;
        const PathRef base = join(kVastPath, start);
        std::vector<std::string> want;
        std::string whole = "/VAST" + start;
        int level = 0;
        walk(d.root(), base, Segment::NameIndex, [&](const Node&, const WalkPath& p) {
            if (level++ > 0) whole += "/" + names[static_cast<std::size_t>(level - 1)] + "[0]";
            report(rule::vast_macro_unknown, p, nullptr);
            want.push_back(prefix + whole);
            if (level % 3 == 0) {
                report(rule::vast_macro_unknown, attr_path(p, "k\"y"), nullptr);
                want.push_back(prefix + whole + "[@k\"y]");
            }
            return Step::Into;
        });
        ASSERT_EQ(report.issues.size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            const Issue& is = report.issues[i];
            ASSERT_TRUE(is.path);
            EXPECT_EQ(*is.path, bounded_path(want[i], "")) << round << " " << i;
            EXPECT_EQ(is.path_plain, json_plain(*is.path)) << round << " " << i;
        }
    }
}

// Names of one length that differ in a single byte are told apart, and so are
// names that share every hashed byte with a member.
TEST(NameSet, FindsEachNameAtItsPositionAndNothingElse) {
    static constexpr std::array<std::string_view, 7> kNames = {"Tracking", "Trackinh", "Xracking", "MediaFile",
                                                               "A", "IconClickThrough", "IconViewThrough"};
    static constexpr auto set = adsieve::text::make_name_set(kNames);
    for (std::size_t i = 0; i < kNames.size(); ++i) EXPECT_EQ(set.find(kNames[i]), int(i)) << kNames[i];
    // "TrAcking" and "Tr-cking" share the probe of "Tracking" and fail only at the comparison.
    const std::initializer_list<std::string_view> others = {
        "", "tracking", "TrAcking", "Tr-cking", "Trackin", "Trackingg", "B", "a", "MediaFilE", "IconClickThrougH",
        std::string_view("Tracking\0", 9)};
    for (std::string_view s : others)
        EXPECT_FALSE(set.contains(s)) << s;
}

// A probe reads a name's ends in words of one, four or eight bytes and the
// middle only past sixteen bytes: every byte of names of every length up to
// twenty-four takes part, and the set holds only its own names.
TEST(NameSet, EveryByteOfEveryLengthCounts) {
    static constexpr std::array<std::string_view, 24> kNames = {
        "a", "ab", "abc", "abcd", "abcde", "abcdef", "abcdefg", "abcdefgh",
        "abcdefghi", "abcdefghij", "abcdefghijk", "abcdefghijkl", "abcdefghijklm", "abcdefghijklmn",
        "abcdefghijklmno", "abcdefghijklmnop", "abcdefghijklmnopq", "abcdefghijklmnopqr",
        "abcdefghijklmnopqrs", "abcdefghijklmnopqrst", "abcdefghijklmnopqrstu", "abcdefghijklmnopqrstuv",
        "abcdefghijklmnopqrstuvw", "abcdefghijklmnopqrstuvwx"};
    static constexpr auto set = adsieve::text::make_name_set(kNames);
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        // Found from a copy, so that nothing depends on where the text lies.
        const std::string name(kNames[i]);
        EXPECT_EQ(set.find(name), int(i)) << name;
        for (std::size_t at = 0; at < name.size(); ++at) {
            std::string other = name;
            other[at] = 'A';
            EXPECT_EQ(set.find(other), -1) << other;
        }
    }
}

// Leading blanks are counted in blocks of sixteen, eight and four bytes, the
// last block overlapping the one before: runs of every length end at every
// kind of byte next to the blank ranges, anywhere up to the end of the text.
TEST(Trim, LeadingBlanksInBlocks) {
    const std::string blanks = " \t\n\v\f\r";
    const std::string stops = std::string("x!\x08\x0E\x1F\x7F\x89\xA0\x29\x2C", 10) + std::string(1, '\0');
    for (std::size_t run = 0; run <= 40; ++run) {
        std::string head;
        for (std::size_t i = 0; i < run; ++i) head += blanks[(i * 7 + run) % blanks.size()];
        EXPECT_EQ(adsieve::text::leading_ascii_blanks(head), run);
        EXPECT_EQ(adsieve::text::trim(head), "");
        for (char stop : stops) {
            const std::string text = head + stop + " y" + head;
            EXPECT_EQ(adsieve::text::leading_ascii_blanks(text), run) << run << " " << int(stop);
            EXPECT_EQ(adsieve::text::leading_ascii_blanks(head + stop), run) << run << " " << int(stop);
            EXPECT_EQ(adsieve::text::leading_ascii_blanks(head + stop + "y"), run) << run << " " << int(stop);
            if (static_cast<unsigned char>(stop) < 0x80) {
                EXPECT_EQ(adsieve::text::trim(text), text.substr(run, 3)) << run << " " << int(stop);
            }
        }
    }
}

// ASCII is passed over in blocks of up to 128 bytes: a character at
// every position of a long text is still checked, whole or cut short.
TEST(Utf8, EveryPositionOfTheAsciiBlocksIsChecked) {
    const std::string ascii(200, 'a');
    for (std::size_t k = 0; k < ascii.size(); ++k) {
        std::string t = ascii;
        t[k] = '\xFF';
        EXPECT_FALSE(adsieve::text::is_valid_utf8(t)) << k;
        t.replace(k, 1, "\xC3\xA9");
        EXPECT_TRUE(adsieve::text::is_valid_utf8(t)) << k;
        EXPECT_FALSE(adsieve::text::is_valid_utf8(t.substr(0, k + 1))) << k;
        t.replace(k, 2, "\xED\xA0\x80");  // a surrogate
        EXPECT_FALSE(adsieve::text::is_valid_utf8(t)) << k;
    }
}

}  // namespace

// The children the families take from TopLevel instead of looking them up are
// the first of each name, on random InLines and Wrappers whose children come
// in any order, repeat, or are of other names.
namespace index_check {

const Node* first_named(const Node* parent, std::string_view name) { return parent ? parent->child(name) : nullptr; }

std::vector<const Node*> creatives_below(const Node& body, bool all) {
    std::vector<const Node*> out;
    for (const Node& c : body.children()) {
        if (c.name() != "Creatives") continue;
        for (const Node& k : c.children())
            if (k.name() == "Creative") out.push_back(&k);
        if (!all) break;
    }
    return out;
}

// Texts with and without URL and macro findings, so that the scan for an
// ad's first findings stops at any element.
constexpr std::array<std::string_view, 4> kTexts = {"x", "https://a.example/p", "http://a.example/[TIMESTAMP]",
                                                    "https://a.example/[cachebusting]"};

std::string random_media_files(std::mt19937& rng) {
    static constexpr std::array<std::string_view, 5> kNames = {"MediaFile", "Mezzanine", "InteractiveCreativeFile",
                                                               "MediaFileX", "ClosedCaptionFiles"};
    std::string s = "<MediaFiles>";
    for (unsigned n = rng() % 5; n > 0; --n) {
        const std::string name(kNames[rng() % kNames.size()]);
        s += "<" + name + " a=\"1\">" + std::string(kTexts[rng() % kTexts.size()]) + "</" + name + ">";
    }
    return s + "</MediaFiles>";
}

std::string random_creatives(std::mt19937& rng) {
    std::string s = "<Creatives>";
    for (unsigned n = rng() % 3; n > 0; --n) {
        if (rng() % 4 == 0) {
            s += "<Other/>";
            continue;
        }
        s += "<Creative><Linear>";
        if (rng() % 4 != 0) s += random_media_files(rng);
        if (rng() % 3 == 0) s += random_media_files(rng);
        s += "</Linear></Creative>";
    }
    return s + "</Creatives>";
}

std::string random_body(std::mt19937& rng, std::string_view name) {
    static constexpr std::array<std::string_view, 15> kNames = {
        "AdSystem",   "AdTitle",         "AdServingId", "Impression", "Pricing",   "Category",
        "BlockedAdCategories", "AdVerifications", "Extensions", "VASTAdTagURI", "Survey", "Error",
        "AdSystemX",  "Advertiser",      "Creatives"};
    std::string s = "<" + std::string(name) + ">";
    for (unsigned n = rng() % 12; n > 0; --n) {
        const std::string_view child = kNames[rng() % kNames.size()];
        if (child == "Creatives")
            s += random_creatives(rng);
        else
            s += "<" + std::string(child) + ">" + std::string(kTexts[rng() % kTexts.size()]) + "</" +
                 std::string(child) + ">";
    }
    return s + "</" + std::string(name) + ">";
}

void expect_body(const Node* body, const rules::BodyNodes& b) {
    EXPECT_EQ(b.ad_system, first_named(body, "AdSystem"));
    EXPECT_EQ(b.ad_title, first_named(body, "AdTitle"));
    EXPECT_EQ(b.ad_serving_id, first_named(body, "AdServingId"));
    EXPECT_EQ(b.impression, first_named(body, "Impression"));
    EXPECT_EQ(b.creatives, first_named(body, "Creatives"));
    EXPECT_EQ(b.pricing, first_named(body, "Pricing"));
    EXPECT_EQ(b.category, first_named(body, "Category"));
    EXPECT_EQ(b.blocked_ad_categories, first_named(body, "BlockedAdCategories"));
    EXPECT_EQ(b.ad_verifications, first_named(body, "AdVerifications"));
    EXPECT_EQ(b.extensions, first_named(body, "Extensions"));
    EXPECT_EQ(b.vast_ad_tag_uri, first_named(body, "VASTAdTagURI"));
    EXPECT_EQ(b.survey, first_named(body, "Survey"));
}

void expect_creatives(const rules::TopLevel& top, rules::CreativeRange r, const std::vector<const Node*>& want) {
    const auto got = top.range(r);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].creative, want[i]);
        const Node* media = first_named(first_named(want[i], "Linear"), "MediaFiles");
        EXPECT_EQ(got[i].in_linear.media_files, media);
        EXPECT_EQ(got[i].in_linear.media_file, first_named(media, "MediaFile"));
        EXPECT_EQ(got[i].in_linear.mezzanine, first_named(media, "Mezzanine"));
        EXPECT_EQ(got[i].in_linear.interactive_creative_file, first_named(media, "InteractiveCreativeFile"));
    }
}

}  // namespace index_check

TEST(TopLevel, IndexedChildrenAreTheFirstOfTheirNames) {
    using namespace index_check;
    std::mt19937 rng(41);
    for (int round = 0; round < 400; ++round) {
        std::string xml = "<VAST version=\"4.2\">";
        for (unsigned ads = 1 + rng() % 3; ads > 0; --ads) {
            xml += "<Ad>";
            if (rng() % 4 != 0) xml += random_body(rng, "InLine");
            if (rng() % 3 == 0) xml += random_body(rng, "Wrapper");
            if (rng() % 5 == 0) xml += random_body(rng, "InLine");
            xml += "</Ad>";
        }
        xml += "</VAST>";
        const Document doc = parse(xml);
        ASSERT_FALSE(doc.parse_error) << xml;
        const rules::TopLevel top = rules::top_level(doc.root());
        for (const rules::AdNodes& ad : top.ads) {
            SCOPED_TRACE(xml);
            ASSERT_EQ(ad.inline_ad, first_named(ad.ad, "InLine"));
            ASSERT_EQ(ad.wrapper, first_named(ad.ad, "Wrapper"));
            expect_body(ad.inline_ad, ad.inline_body);
            expect_body(ad.wrapper, ad.wrapper_body);
            if (ad.inline_ad) {
                expect_creatives(top, ad.inline_first, creatives_below(*ad.inline_ad, false));
                expect_creatives(top, ad.inline_all, creatives_below(*ad.inline_ad, true));
            }
            if (ad.wrapper) expect_creatives(top, ad.wrapper_first, creatives_below(*ad.wrapper, false));
        }
    }
}

namespace index_check {

// Every element below the ads' InLines and Wrappers has the code of its name,
// whether set all at once or by the scan for each ad's first findings, which
// stops early and codes the rest.
void expect_codes(const rules::TopLevel& top, const Node* sub) {
    if (sub == nullptr) return;
    for (const Node *n = sub, *end = sub + sub->span; n != end; n = n->first_child())
        ASSERT_EQ(top.code(*n), unsigned(rules::kElementSet.find(n->name()) + 1)) << n->name();
}

void expect_codes_both_ways(std::string_view xml) {
    const Document doc = parse(xml);
    if (doc.parse_error) return;
    SCOPED_TRACE(std::string(xml.substr(0, 200)));
    const rules::TopLevel all = rules::top_level(doc.root());
    for (const rules::AdNodes& ad : all.ads) {
        expect_codes(all, ad.inline_ad);
        expect_codes(all, ad.wrapper);
    }
    rules::TopLevel run = rules::root_children(doc.root());
    rules::find_bodies(run, rules::all_ads(run));
    const DetectedVersion version = detect_version(doc.root());
    (void)rules::macros::first_url_findings(run, rules::all_ads(run), version);
    for (const rules::AdNodes& ad : run.ads) {
        expect_codes(run, ad.inline_ad);
        expect_codes(run, ad.wrapper);
    }
}

TEST(TopLevel, ElementsAreCodedByName) {
    std::mt19937 rng(43);
    for (int round = 0; round < 300; ++round) {
        std::string xml = "<VAST version=\"4.2\">";
        for (unsigned ads = 1 + rng() % 3; ads > 0; --ads)
            xml += "<Ad>" + random_body(rng, rng() % 2 ? "InLine" : "Wrapper") + "</Ad>";
        expect_codes_both_ways(xml + "</VAST>");
    }
    for (const auto& entry : std::filesystem::directory_iterator(adsieve::testing::shared_dir() + "/corpus"))
        expect_codes_both_ways(adsieve::testing::read_file(entry.path().string()));
}

}  // namespace index_check

namespace run_codes {

// The families tell the names below an ad apart by the codes each run sets:
// every ad of a document checked in several runs gives the same findings as
// the first, whichever run it falls in.
TEST(TopLevel, EveryRunsAdsAreCodedForTheFamilies) {
    const std::string inline_ad =
        "<Ad><InLine><AdSystem>s</AdSystem><AdTitle>t</AdTitle><Impression>i</Impression>"
        "<Impression>i</Impression><Category>c</Category><Category authority=\"x\">c</Category>"
        "<Creatives><Creative><Linear><Duration>1</Duration><TrackingEvents><Tracking event=\"bogus\">u</Tracking>"
        "<Tracking event=\"skip\">u</Tracking><Tracking event=\"progress\">u</Tracking></TrackingEvents>"
        "<MediaFiles><MediaFile apiFramework=\"VPAID\" type=\"flash\">u</MediaFile><MediaFile bitrate=\"1\" "
        "minBitrate=\"1\">u</MediaFile><Mezzanine>u</Mezzanine><InteractiveCreativeFile apiFramework=\"SIMID\">"
        "http://u</InteractiveCreativeFile></MediaFiles><Icons><Icon><IconClicks><IconClickFallbackImages>"
        "<IconClickFallbackImage/></IconClickFallbackImages></IconClicks></Icon></Icons></Linear></Creative>"
        "<Creative><CompanionAds required=\"x\"><Companion renderingMode=\"x\"><CompanionClickTracking>u"
        "</CompanionClickTracking></Companion></CompanionAds><NonLinearAds><NonLinear apiFramework=\"SIMID\">"
        "<StaticResource>u</StaticResource></NonLinear></NonLinearAds></Creative></Creatives>"
        "<Extensions><Extension><AdVerifications><Verification/></AdVerifications></Extension></Extensions>"
        "</InLine></Ad>\n";
    const std::string wrapper_ad =
        "<Ad><Wrapper><AdSystem>s</AdSystem><VASTAdTagURI>u</VASTAdTagURI><BlockedAdCategories>b"
        "</BlockedAdCategories><Creatives><Creative><Linear><VideoClicks><ClickThrough>u</ClickThrough>"
        "</VideoClicks></Linear><NonLinearAds><NonLinear apiFramework=\"SIMID\"><IFrameResource>http://u"
        "</IFrameResource></NonLinear></NonLinearAds></Creative></Creatives></Wrapper></Ad>\n";
    for (const char* version : {"4.0", "4.1"}) {
        std::string xml = std::string("<VAST version=\"") + version + "\">\n";
        constexpr std::size_t kAds = 240;  // several runs' worth of nodes
        for (std::size_t i = 0; i < kAds; i += 2) xml += inline_ad + wrapper_ad;
        xml += "</VAST>";
        // Each ad's findings with its index and line taken out.
        std::vector<std::vector<std::string>> per_ad(kAds);
        for (const std::string& line : adsieve::testing::issue_lines(validate(xml))) {
            const std::size_t at = line.find("|/VAST/Ad[");
            if (at == std::string::npos) continue;
            const std::size_t close = line.find(']', at);
            const std::size_t ad = std::stoul(line.substr(at + 10, close - at - 10));
            std::string rest = line.substr(0, at) + line.substr(close);
            const std::size_t line_field = rest.rfind('|', rest.rfind('|') - 1);
            rest.erase(line_field, rest.rfind('|') - line_field);
            ASSERT_LT(ad, kAds);
            per_ad[ad].push_back(rest);
        }
        ASSERT_GE(per_ad[0].size(), 20u) << version;
        ASSERT_GE(per_ad[1].size(), 4u) << version;
        for (std::size_t i = 2; i < kAds; ++i) EXPECT_EQ(per_ad[i], per_ad[i % 2]) << version << " ad " << i;
    }
}

}  // namespace run_codes
