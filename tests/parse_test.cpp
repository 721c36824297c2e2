// Element tree building: edge cases, positions, very deep and very wide input.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "api.h"
#include "model.h"
#include "parse.h"
#include "tree.h"
#include "walk.h"
#include "xml/tokenizer.h"

namespace {

using adsieve::Node;
using adsieve::parse;
using adsieve::Document;
using adsieve::Position;
using adsieve::position_of;

const std::string kEofPrefix = "XML parse error at end of document: unexpected EOF with unclosed element(s): ";
const std::string kPosPrefix = "XML parse error at position ";

TEST(Parse, EmptyAndUnclosedDocuments) {
    for (const char* doc : {"", "<?xml version=\"1.0\"?>\n<!-- c --><!-- d -->", "text only", "&amp;"}) {
        Document d = parse(doc);
        EXPECT_EQ(d.root().name(), "__empty__") << doc;
        EXPECT_FALSE(adsieve::tag_offset(d.text, d.root()));
        EXPECT_FALSE(d.parse_error) << doc;
    }

    Document lone = parse("<VAST>");
    EXPECT_EQ(lone.root().name(), "VAST");
    EXPECT_FALSE(lone.parse_error);

    Document two = parse("<VAST><Ad><InLine>");
    ASSERT_TRUE(two.parse_error);
    EXPECT_EQ(*two.parse_error, kEofPrefix + "Ad > InLine");
    ASSERT_NE(two.root().child("Ad"), nullptr);
    EXPECT_NE(two.root().child("Ad")->child("InLine"), nullptr);

    // Names in the message are local names.
    Document pre = parse("<v:VAST><v:Ad>");
    EXPECT_EQ(pre.parse_error.value_or(""), kEofPrefix + "Ad");

    Document bad = parse("<VAST><Ad></InLine></VAST>");
    ASSERT_TRUE(bad.parse_error);
    EXPECT_EQ(bad.parse_error->rfind(kPosPrefix + "10: ", 0), 0u) << *bad.parse_error;
    ASSERT_EQ(bad.root().children().count(), 1u);
    EXPECT_EQ(bad.root().children().at(0).name(), "Ad");
}

// Sizes, lines and columns are kept in 32 bits: a larger text is refused
// before a byte of it is read (the view below is never read).
TEST(Parse, TextsOver4GiBAreRefused) {
    if constexpr (sizeof(std::size_t) <= 4) GTEST_SKIP() << "no text can be that large here";
    static const char small[] = "<VAST/>";
    const Document d = parse(std::string_view(small, std::size_t{UINT32_MAX} + 2));
    EXPECT_EQ(d.parse_error.value_or(""), "XML parse error at position 0: document larger than 4 GiB");
    EXPECT_EQ(d.root().name(), "__empty__");
    EXPECT_FALSE(d.root().has_children());
}

TEST(Parse, RootStaysOpenAfterItsEndTag) {
    Document d = parse("<A><B/></A>tail<C x='1'/><D>in</D>");
    EXPECT_FALSE(d.parse_error);
    EXPECT_EQ(d.root().text(), "tail");
    ASSERT_EQ(d.root().children().count(), 3u);
    EXPECT_EQ(d.root().children().at(1).attr("x").value_or(""), "1");
    EXPECT_EQ(d.root().children().at(2).text(), "in");

    // The tokenizer has closed the root, so a second end tag is still an error.
    Document e = parse("<A></A></A>");
    EXPECT_EQ(e.parse_error.value_or("").rfind(kPosPrefix + "7: ", 0), 0u);
    EXPECT_EQ(e.root().name(), "A");
}

TEST(Parse, TextPiecesAndReferences) {
    EXPECT_EQ(parse("<A> x &amp; y </A>").root().text(), "x&y");
    EXPECT_EQ(parse("<A>one<B/>two</A>").root().text(), "onetwo");
    EXPECT_EQ(parse("<A>a\r\nb\rc\n\rd</A>").root().text(), "a\nb\nc\n\nd");
    EXPECT_EQ(parse("<A>&lt;&gt;&amp;&apos;&quot;</A>").root().text(), "<>&'\"");
    EXPECT_EQ(parse("<A>&AMP;&nbsp;&unknown;&;</A>").root().text(), "&AMP;&nbsp;&unknown;&;");
    EXPECT_EQ(parse("<A>&#x41;&#66;&#X43;&#x+44;&#+69;&#0000070;</A>").root().text(), "ABCDEF");
    EXPECT_EQ(parse("<A>&#x10FFFF;</A>").root().text(), "\xF4\x8F\xBF\xBF");
    // Out of range, surrogates, 32-bit overflow and malformed digits stay literal.
    EXPECT_EQ(parse("<A>&#x110000;&#xD800;&#4294967361;&#x;&#++1;&#1a;&#x-41;</A>").root().text(),
              "&#x110000;&#xD800;&#4294967361;&#x;&#++1;&#1a;&#x-41;");
    // A NUL reference is kept; references to white space vanish.
    EXPECT_EQ(parse("<A>a&#0;b&#32;c&#xA0;d&#x3000;e</A>").root().text(), std::string_view("a\0bcde", 6));
    // A CDATA section is neither normalised nor decoded.
    Document cdoc = parse("<A><![CDATA[ a&amp;\r\nb ]]></A>");
    const Node& c = cdoc.root();
    EXPECT_EQ(c.text(), "a&amp;\r\nb");
    EXPECT_TRUE(c.has_cdata);
    Document bdoc = parse("<A>x<![CDATA[ \u3000 ]]></A>");
    const Node& blank = bdoc.root();
    EXPECT_EQ(blank.text(), "x");
    EXPECT_FALSE(blank.has_cdata);
    // Unicode white space is trimmed, zero-width space and BOM are not.
    EXPECT_EQ(parse("<A>\u00a0\u2003x\u2029</A>").root().text(), "x");
    EXPECT_EQ(parse("<A>\u200bx\ufeff</A>").root().text(), "\u200bx\ufeff");
    // Joined texts of nested elements each keep their own pieces, whether the
    // parent joined before, after or around its children.
    Document nested = parse("<A>a&amp;b<B>x<C>p&lt;q</C>&amp;y<D/>z</B>c&amp;<E>e</E>&gt;</A>");
    EXPECT_EQ(nested.root().text(), "a&bc&>");
    const Node* b = nested.root().child("B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->text(), "x&yz");
    ASSERT_NE(b->child("C"), nullptr);
    EXPECT_EQ(b->child("C")->text(), "p<q");
    ASSERT_NE(nested.root().child("E"), nullptr);
    EXPECT_EQ(nested.root().child("E")->text(), "e");
    // A dangling '&' is an error anywhere, even before the root.
    EXPECT_EQ(parse("&<A/>").parse_error.value_or("").rfind(kPosPrefix + "0: ", 0), 0u);
    EXPECT_EQ(parse("<A>a & b</A>").parse_error.value_or("").rfind(kPosPrefix + "5: ", 0), 0u);
}

TEST(Parse, NamesAndAttributes) {
    Document d = parse("<vmap:VMAP xmlns:vmap=\"urn:x\" xmlns=\"d\" a:b:c='v' x=\"a&amp;b\"/>");
    EXPECT_EQ(d.root().name(), "VMAP");
    ASSERT_EQ(d.root().attrs().size(), 4u);
    EXPECT_EQ(d.root().attrs()[0].name, "vmap");
    EXPECT_EQ(d.root().attrs()[1].name, "xmlns");
    EXPECT_EQ(d.root().attrs()[2].name, "b:c");
    EXPECT_EQ(d.root().attr("x").value_or(""), "a&amp;b");

    EXPECT_EQ(parse("<A x=\"1\" x=\"2\"/>").root().attr("x").value_or(""), "1");
    // Many attributes: the repeated key is still caught once the key set grows.
    std::string many = "<A";
    for (int i = 0; i < 40; ++i) many += " k" + std::to_string(i) + "='" + std::to_string(i) + "'";
    many += " k3='dup' k3='dup2' z='end'/>";
    Document m = parse(many);
    ASSERT_EQ(m.root().attrs().size(), 41u);
    EXPECT_EQ(m.root().attr("k3").value_or(""), "3");
    EXPECT_EQ(m.root().attrs().back().name, "z");
}

TEST(Parse, LinesAndColumns) {
    // CR LF counts once, a lone CR is no line break, columns count bytes.
    auto at = [](const Document& doc, const Node& n) {
        const Position p = position_of(doc, n);
        return std::to_string(p.line) + ":" + std::to_string(p.col);
    };
    Document d = parse("<A>\r\n  <B/>\r\n\t\xE6\x97\xA5\xE6\x9C\xAC<C/>\r<D/>\n\xF0\x9F\x98\x80<E/></A>");
    ASSERT_EQ(d.root().children().count(), 4u);
    EXPECT_EQ(at(d, d.root()), "1:1");
    EXPECT_EQ(at(d, d.root().children().at(0)), "2:3");
    EXPECT_EQ(at(d, d.root().children().at(1)), "3:8");
    EXPECT_EQ(at(d, d.root().children().at(2)), "3:13");
    EXPECT_EQ(at(d, d.root().children().at(3)), "4:5");

    // Two lines of 10 bytes, then an element indented by two spaces.
    Document p = parse("<R>456789\n012345678\n  <X/></R>");
    EXPECT_EQ(at(p, p.root().children().at(0)), "3:3");

    // A leading byte-order mark is counted.
    Document b = parse("\xEF\xBB\xBF<A>\n<B/></A>");
    EXPECT_EQ(at(b, b.root()), "1:4");
    EXPECT_EQ(at(b, b.root().children().at(0)), "2:1");
}

// The scans of names, keys, blanks and line breaks go 16 bytes at a time with
// a byte-wise tail: every length and prefix position on both sides of that
// boundary must read as the plain rules say.
TEST(Parse, NamesKeysAndPositionsAcrossBlockBoundaries) {
    for (std::size_t len = 1; len <= 40; ++len)
        for (std::size_t colon = 0; colon <= len; colon += 3) {
            std::string qname(len, 'n');
            if (colon > 0 && colon < len) qname[colon] = ':';
            std::string key(len, 'k');
            if (colon > 0 && colon < len) key[colon] = ':';
            const std::string local = colon > 0 && colon < len ? qname.substr(colon + 1) : qname;
            const std::string local_key = colon > 0 && colon < len ? key.substr(colon + 1) : key;
            for (const std::string& doc : {"<R><" + qname + " " + key + "=\"v\"/></R>",
                                           "<R><" + qname + ">x</" + qname + "></R>",
                                           "<R><" + qname + "\n\t" + key + " = 'v'></" + qname + "></R>"}) {
                Document d = parse(doc);
                ASSERT_FALSE(d.parse_error) << doc;
                const Node& n = d.root().children().at(0);
                EXPECT_EQ(n.name(), local) << doc;
                if (!n.attrs().empty()) {
                    EXPECT_EQ(n.attrs()[0].name, local_key) << doc;
                    EXPECT_EQ(n.attrs()[0].value, "v") << doc;
                }
            }
        }

    // Runs of blanks and line breaks of every length before each element.
    std::string doc = "<R>";
    std::vector<std::pair<std::uint32_t, std::uint32_t>> want;
    std::uint32_t line = 1, col = 4;
    for (std::size_t k = 0; k < 40; ++k) {
        for (std::size_t j = 0; j < k; ++j) {
            const char c = " \n\t\r"[(j * 7 + k) % 4];
            doc += c;
            if (c == '\n') {
                ++line;
                col = 1;
            } else {
                ++col;
            }
        }
        want.emplace_back(line, col);
        doc += "<E/>";
        col += 4;
    }
    doc += "</R>";
    Document d = parse(doc);
    ASSERT_EQ(d.root().children().count(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) {
        const Position at = position_of(d, d.root().children().at(k));
        EXPECT_EQ(at.line, want[k].first) << k;
        EXPECT_EQ(at.col, want[k].second) << k;
        EXPECT_EQ(d.root().children().at(k).text(), "") << k;
    }
}

TEST(Parse, LocateOutOfOrderStartsAgain) {
    std::string_view in = "a\nb\nc";
    adsieve::xml::LineCounter lc;
    EXPECT_EQ(adsieve::xml::locate(lc, in, 4).line, 3u);
    adsieve::xml::LineCol back = adsieve::xml::locate(lc, in, 2);
    EXPECT_EQ(back.line, 2u);
    EXPECT_EQ(back.col, 1u);
    EXPECT_EQ(adsieve::xml::locate(lc, in, 99).col, 2u);
}

// Line breaks are counted in bulk between the offsets asked for: spans of
// every length, with no break, a few, and more than a byte counter holds.
TEST(Parse, LocateAgreesWithACountByteByByte) {
    std::mt19937 rng(7);
    std::string in;
    for (int run = 0; run < 60; ++run) {
        const std::size_t len = rng() % 9000;
        const unsigned density = std::array<unsigned, 4>{0, 2, 50, 1000}[run % 4];  // breaks per 1000 bytes
        for (std::size_t i = 0; i < len; ++i) in += rng() % 1000 < density ? '\n' : 'x';
    }
    for (int round = 0; round < 4; ++round) {
        adsieve::xml::LineCounter lc;
        std::uint32_t line = 1;
        std::size_t line_start = 0, at = 0;
        for (std::size_t off = rng() % 50; off <= in.size(); off += rng() % (round == 0 ? 64 : 40000)) {
            for (; at < off; ++at)
                if (in[at] == '\n') ++line, line_start = at + 1;
            const adsieve::xml::LineCol got = adsieve::xml::locate(lc, in, off);
            ASSERT_EQ(got.line, line) << off;
            ASSERT_EQ(got.col, off - line_start + 1) << off;
        }
    }
}

// Spans made only of line breaks fill every byte counter: the counts are
// summed before any of them wraps, whatever the span's length.
TEST(Parse, LocateSpansOfLineBreaksOnly) {
    for (std::size_t n : {15u, 16u, 127u, 128u, 4032u, 4033u, 7807u, 7808u, 8063u, 8064u, 8191u, 8192u, 16384u, 40000u}) {
        const std::string in(n, '\n');
        for (std::size_t start : {std::size_t{0}, std::size_t{1}, n / 2}) {
            adsieve::xml::LineCounter lc;
            if (start) {
                ASSERT_EQ(adsieve::xml::locate(lc, in, start).line, start + 1) << n;
            }
            const adsieve::xml::LineCol got = adsieve::xml::locate(lc, in, n);
            ASSERT_EQ(got.line, n + 1) << n << " from " << start;
            ASSERT_EQ(got.col, 1u) << n << " from " << start;
        }
    }
}

TEST(Parse, Lookups) {
    Document d = parse("<R><A><B i='1'/></A><B i='2'/></R>");
    const Node* deep = d.root().find_descendant("B");
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->attr("i").value_or(""), "1");
    ASSERT_NE(d.root().child("B"), nullptr);
    EXPECT_EQ(d.root().child("B")->attr("i").value_or(""), "2");
    EXPECT_EQ(d.root().find_descendant("R"), nullptr);
    EXPECT_FALSE(d.root().has_child("b"));
}

// Attributes are kept in the slots after their element: every way of going
// through the tree must step over them, whatever their number.
TEST(Parse, AttributesNeverShowAsElements) {
    std::string doc;
    std::vector<std::string> order;  // element names in document order
    // Element k has k % 7 attributes and, every third one, a child.
    for (int k = 0; k < 40; ++k) {
        const std::string name = "e" + std::to_string(k);
        order.push_back(name);
        doc += "<" + name;
        for (int a = 0; a < k % 7; ++a) doc += " a" + std::to_string(a) + "='" + name + "'";
        if (k % 3 == 0) {
            order.push_back("c" + std::to_string(k));
            doc += "><c" + std::to_string(k) + " x='1' y='2' z='3'/></" + name + ">";
        } else {
            doc += "/>";
        }
    }
    doc = "<R q='1'>" + doc + "</R>";
    Document d = parse(doc);
    ASSERT_FALSE(d.parse_error);

    std::vector<std::string> plain, pathed, paths;
    adsieve::walk(d.root(), {}, adsieve::Segment::None, [&](const Node& n, const adsieve::WalkPath&) {
        plain.emplace_back(n.name());
        return adsieve::Step::Into;
    });
    const adsieve::PathRef root{nullptr, "/R"};
    adsieve::walk(d.root(), root, adsieve::Segment::NameIndex, [&](const Node& n, const adsieve::WalkPath& p) {
        pathed.emplace_back(n.name());
        paths.emplace_back(p.tail());
        return adsieve::Step::Into;
    });
    order.insert(order.begin(), "R");
    EXPECT_EQ(plain, order);
    EXPECT_EQ(pathed, order);
    EXPECT_EQ(paths[1], "/e0[0]");
    EXPECT_EQ(paths[2], "/e0[0]/c0[0]");
    EXPECT_EQ(paths.back(), "/e39[39]/c39[0]");

    std::size_t k = 0;
    for (const Node& c : d.root().children()) {
        EXPECT_EQ(c.name(), "e" + std::to_string(k));
        ASSERT_EQ(c.attrs().size(), k % 7);
        for (const adsieve::Attr& a : c.attrs()) EXPECT_EQ(a.value, c.name());
        EXPECT_EQ(c.has_children(), k % 3 == 0);
        ++k;
    }
    EXPECT_EQ(k, 40u);
    EXPECT_EQ(d.root().find_descendant("c39"), &d.root().children().at(39).children().front());
    EXPECT_EQ(d.root().find_descendant("a1"), nullptr);
    EXPECT_EQ(d.root().attr("q").value_or(""), "1");
}

TEST(Parse, MillionNestedElements) {
    constexpr std::size_t kDepth = 1'000'000;
    std::string doc;
    doc.reserve(kDepth * 7 + 16);
    for (std::size_t i = 0; i < kDepth; ++i) doc += "<a>";
    doc += "<z/>";
    for (std::size_t i = 0; i < kDepth; ++i) doc += "</a>";
    {
        Document d = parse(doc);
        EXPECT_FALSE(d.parse_error);
        std::size_t depth = 0;
        const Node* n = &d.root();
        while (!n->children().empty()) {
            n = &n->children().at(0);
            ++depth;
        }
        EXPECT_EQ(depth, kDepth);
        EXPECT_EQ(n->name(), "z");
        EXPECT_EQ(position_of(d, *n).col, 3 * kDepth + 1);
        EXPECT_EQ(d.root().find_descendant("z"), n);
        EXPECT_EQ(d.root().find_descendant("q"), nullptr);
        EXPECT_EQ(d.root().span, kDepth + 1);
    }
    // Left open: the error lists every element but the root.
    doc.resize(kDepth * 3);
    Document open = parse(doc);
    ASSERT_TRUE(open.parse_error);
    EXPECT_EQ(open.parse_error->size(), kEofPrefix.size() + (kDepth - 1) + 3 * (kDepth - 2));
}

// The open elements are kept in the parser's frame up to some depth and on
// the heap past it: texts joined around children keep their pieces when the
// list moves, at every depth.
TEST(Parse, JoinedTextsSurviveDeepNesting) {
    constexpr std::size_t kDepth = 300;
    std::string doc;
    for (std::size_t i = 0; i < kDepth; ++i) doc += "<e>p" + std::to_string(i);
    for (std::size_t i = kDepth; i-- > 0;) doc += (i + 1 < kDepth ? "q" + std::to_string(i) : std::string()) + "</e>";
    Document d = parse(doc);
    ASSERT_FALSE(d.parse_error);
    const Node* n = &d.root();
    for (std::size_t i = 0; i < kDepth; ++i) {
        const std::string want = "p" + std::to_string(i) + (i + 1 < kDepth ? "q" + std::to_string(i) : std::string());
        ASSERT_EQ(n->text(), want) << "depth " << i;
        if (i + 1 < kDepth) n = &n->children().at(0);
    }
}

TEST(Parse, WideAndReferenceHeavyInputStaysLinear) {
    // Many siblings and many references far from the next '<'.
    std::string doc = "<R>";
    for (int i = 0; i < 200'000; ++i) doc += "<c a='1' b=\"2\"/>";
    for (int i = 0; i < 200'000; ++i) doc += "x&amp;";
    doc += "</R>";
    Document d = parse(doc);
    EXPECT_FALSE(d.parse_error);
    EXPECT_EQ(d.root().children().count(), 200'000u);
    EXPECT_EQ(d.root().text().size(), 400'000u);
}

// Plain tags are read with their attributes in one pass; anything else goes
// to the general reading. Both must give the same events and attributes, for
// any tag text, the 16-byte blocks of the word scans included.
TEST(Parse, OnePassTagsAgreeWithTheGeneralReading) {
    using namespace adsieve::xml;
    static constexpr std::string_view kPieces[] = {
        "a", "b:c", ":", "x", "xmlns:v", "=", "\"", "'", " ", "\n", "\t", "/", ">", "/>", "<", "v1", "=\"", "\" ",
        "='", "' ", "&amp;", "0123456789abcdef", "k", "k=\"1\"", " k='2'", "\r", "<a>", "</a>", "</a >",
        "</b:c>", "</", "a\"b\"", "<a\"b\">"};
    auto events = [](std::string_view doc, bool one_pass) {
        Tokenizer t = make_tokenizer(doc);
        t.one_pass = one_pass;
        SeenKeys seen;
        std::string out;
        for (int guard = 0; guard < 1000; ++guard) {
            Event e = next_event(t);
            out += std::to_string(static_cast<int>(e.kind)) + "@" + std::to_string(e.pos) + "[" + std::string(e.data) +
                   "|" + std::to_string(e.local) + "|" + std::string(e.attrs) + "|" + std::to_string(static_cast<int>(e.error));
            if (e.kind == EventKind::kStart || e.kind == EventKind::kEmpty) {
                std::vector<RawAttr> attrs;
                if (one_pass) {
                    attrs.assign(t.attributes.begin(), t.attributes.end());
                } else {
                    AttrScan scan = scan_attributes(e.attrs, seen);
                    RawAttr a;
                    while (next_attribute(scan, seen, a)) attrs.push_back(a);
                }
                for (const RawAttr& a : attrs)
                    out += "{" + std::string(a.key) + "|" + std::to_string(a.local) + "|" + std::string(a.value) + "}";
            }
            out += "]";
            if (e.kind == EventKind::kEof || e.kind == EventKind::kError) break;
        }
        return out;
    };
    std::mt19937 rng(2024);
    for (int round = 0; round < 30000; ++round) {
        std::string doc = "<";
        const std::size_t len = 1 + rng() % 14;
        for (std::size_t i = 0; i < len; ++i) doc += kPieces[rng() % std::size(kPieces)];
        if (rng() % 2) doc += rng() % 2 ? ">" : "/>";
        doc += "t</a>";
        ASSERT_EQ(events(doc, true), events(doc, false)) << doc;
    }
    // Plain tags with many attributes, long names and a repeated key.
    std::string many = "<p:" + std::string(40, 'n');
    for (int i = 0; i < 20; ++i) many += " k" + std::to_string(i) + ":" + std::string(i, 'z') + "='v'";
    // Names with a quote (cut at a blank inside quotes) and their end tags.
    for (const std::string& doc : {many + ">", many + "/>", many + " k3:zzz='w'>", std::string("<a k='1' k='2'/>"),
                                    std::string("<r><a\"b c\"></a\"b>x\"></r>"), std::string("<r><a'b c'></a'b></r>"),
                                    std::string("<r><a></a  ></r>"), std::string("<r><a></ab></r>")})
        EXPECT_EQ(events(doc, true), events(doc, false)) << doc;
    // End tags against the open names: names around the 16-byte loads,
    // near the end of the input, with quotes, blanks and near misses.
    const std::string n15(15, 'n'), n16(16, 'n'), n17(17, 'n');
    const std::string kTags[] = {"<a>", "</a>", "</a >", "</ab>", "<ab>", "</ab>", "<b:c>", "</b:c>", "</b:d>",
                                 "<" + n15 + ">", "</" + n15 + ">", "<" + n16 + ">", "</" + n16 + ">",
                                 "<" + n17 + ">", "</" + n17 + ">", "</" + n16.substr(1) + "m>", "<a\"x\">",
                                 "</a\"x\">", "<q'y z'>", "</q'y>", "</>", "< >", "x", " ", "<e/>", "</a", "</"};
    for (int round = 0; round < 30000; ++round) {
        std::string doc = "<r>";
        const std::size_t len = 1 + rng() % 12;
        for (std::size_t i = 0; i < len; ++i) doc += kTags[rng() % std::size(kTags)];
        if (rng() % 2) doc += "</r>";
        ASSERT_EQ(events(doc, true), events(doc, false)) << doc;
    }
}

// Names and keys are scanned sixteen bytes at a time, looking closely only
// at bytes up to '/' and from ':' to '>'. Names mixing those with name bytes
// and bytes beyond ASCII must end, and find their first colon, exactly where
// a byte-by-byte reading says.
TEST(Parse, NameScansMatchAByteByByteReading) {
    using namespace adsieve::xml;
    static constexpr std::string_view kBytes[] = {"a", "Z", "0", "-", ".", ";", "<", ":", "\xC3\xA9", "_", "?", "!"};
    std::mt19937 rng(77);
    for (int round = 0; round < 20000; ++round) {
        std::string name;
        const std::size_t len = 1 + rng() % 40;
        for (std::size_t i = 0; i < len; ++i) name += kBytes[rng() % std::size(kBytes)];
        // Names never start with '!' or '?' (other markup), and a plain key
        // never with '<' either way it is read.
        if (name[0] == '!' || name[0] == '?') name.insert(0, "n");
        const std::size_t colon = name.find(':');
        const std::size_t local = colon == std::string::npos ? 0 : colon + 1;
        const char* ends[] = {"/>", ">", " />", "\t>", "\n k='1'>", "\r/>"};
        const std::string doc = "<" + name + ends[rng() % std::size(ends)] + "</" + name + ">";
        for (bool one_pass : {true, false}) {
            Tokenizer t = make_tokenizer(doc);
            t.one_pass = one_pass;
            Event e = next_event(t);
            ASSERT_TRUE(e.kind == EventKind::kStart || e.kind == EventKind::kEmpty) << doc;
            ASSERT_EQ(e.data, name) << doc;
            ASSERT_EQ(e.local, local) << doc;
        }
        // The same bytes as an attribute key.
        const std::string tag = "<r " + name + "='v' b='w'/>";
        Tokenizer t = make_tokenizer(tag);
        t.one_pass = true;
        Event e = next_event(t);
        ASSERT_EQ(e.kind, EventKind::kEmpty) << tag;
        ASSERT_EQ(t.attributes.size(), 2u) << tag;
        EXPECT_EQ(t.attributes[0].key, name) << tag;
        EXPECT_EQ(t.attributes[0].local, local) << tag;
    }
}

TEST(Parse, RandomMarkupNeverBreaks) {
    // Short random documents over a markup-heavy alphabet: the reading must
    // end cleanly, and the root must hold at most what was opened.
    static constexpr std::string_view kAlphabet[] = {
        "<", ">", "/", "!", "?", "[", "]", "-", "&", ";", "#", "x", "=", "\"", "'", " ", "\n", "\r",
        "A", "b", ":", "<A>", "</A>", "<!--", "-->", "<![CDATA[", "]]>", "<!DOCTYPE", "<?xml", "?>", "&amp;",
        "&#x41;", "\xC3\xA9", "\xEF\xBB\xBF"};
    std::mt19937 rng(12345);
    for (int round = 0; round < 20000; ++round) {
        std::string doc;
        std::size_t len = rng() % 24;
        for (std::size_t i = 0; i < len; ++i) doc += kAlphabet[rng() % std::size(kAlphabet)];
        Document d = parse(doc);
        if (d.parse_error) {
            const std::string& e = *d.parse_error;
            ASSERT_TRUE(e.rfind(kPosPrefix, 0) == 0 || e.rfind(kEofPrefix, 0) == 0) << e;
            if (e.rfind(kPosPrefix, 0) == 0) {
                ASSERT_LE(std::stoul(e.substr(kPosPrefix.size())), doc.size()) << doc;
            }
        }
        if (d.root().name() != "__empty__") {
            ASSERT_GE(position_of(d, d.root()).line, 1u) << doc;
        }
    }
}

// The parser reads every event into one event it reuses: fields that a kind
// does not have keep what earlier events wrote. The fields a kind has must
// read as from a fresh event, whichever reading made it.
TEST(Parse, AReusedEventReadsAsAFreshOne) {
    using namespace adsieve::xml;
    static constexpr std::string_view kPieces[] = {
        "<a>", "</a>", "<b:c k='1' x:y=\"2\">", "</b:c>", "<e/>", "<f k = '1' k='2'/>", "</a >", "</q>", "text",
        " \n ", "&amp;", "&#x41;", "&bad", "<![CDATA[x]]>", "<![CDATA[", "<!-- c -->", "<?pi x?>", "<!DOCTYPE d>",
        "<", "<a\"x\">", "</a\"x\">", ">", "'", "\""};
    auto kind_fields = [](const Event& e) {
        std::string s = std::to_string(static_cast<int>(e.kind));
        if (e.kind == EventKind::kEof) return s;
        s += "@" + std::to_string(e.pos);
        if (e.kind == EventKind::kError) {
            s += "!" + std::to_string(static_cast<int>(e.error));
            if (e.error == ErrorKind::kEndTagMismatch || e.error == ErrorKind::kUnmatchedEndTag)
                s += "[" + std::string(e.data) + "]";
            if (e.error == ErrorKind::kEndTagMismatch) s += "<" + std::string(e.expected) + ">";
            return s;
        }
        s += "[" + std::string(e.data) + "]";
        if (e.kind == EventKind::kStart || e.kind == EventKind::kEmpty)
            s += std::to_string(e.local) + "|" + std::string(e.attrs);
        return s;
    };
    std::mt19937 rng(99);
    for (int round = 0; round < 20000; ++round) {
        std::string doc = "<r>";
        for (std::size_t i = 0, len = 1 + rng() % 10; i < len; ++i) doc += kPieces[rng() % std::size(kPieces)];
        const bool blank_text = rng() % 2;
        for (bool one_pass : {true, false}) {
            Tokenizer fresh = make_tokenizer(doc), reused = make_tokenizer(doc);
            fresh.one_pass = reused.one_pass = one_pass;
            fresh.blank_text = reused.blank_text = blank_text;
            // Every field starts as no event of these documents has it.
            Event e{EventKind::kError, "stale", "stale", 99, "stale", 12345, ErrorKind::kDoctypeWithoutName};
            for (int guard = 0; guard < 100; ++guard) {
                const Event f = next_event(fresh);
                next_event(reused, e);
                ASSERT_EQ(kind_fields(e), kind_fields(f)) << doc;
                if (f.kind == EventKind::kEof || f.kind == EventKind::kError) break;
            }
        }
    }
}

// A small document's element list may start in room lent from an arena; a
// list that outgrows it moves to the heap whole.
TEST(Parse, ElementListsInLentRoomMatchTheirOwn) {
    std::string many = "<r>", attrs = "<r>", deep;
    for (int i = 0; i < 3000; ++i) many += "<a/>";
    many += "</r>";
    for (int i = 0; i < 400; ++i) attrs += "<a k='" + std::to_string(i) + "' b=\"x\" c=''>t</a>";
    attrs += "</r>";
    for (int i = 0; i < 2000; ++i) deep += "<d>";
    for (const std::string& doc : {many, attrs, deep, std::string("<VAST version=\"4.2\"><Ad/></VAST>"), std::string()}) {
        adsieve::Arena room(64);
        const std::string lent = adsieve::tree_json(parse(doc, &room));
        EXPECT_EQ(lent, adsieve::tree_json(parse(doc))) << doc.substr(0, 40);
    }
}

// Whether a text holds a carriage return is found while its end is looked
// for; a text whose end was found earlier (after a reference) is checked
// again. Each return, wherever it lies, is turned into a line feed.
TEST(Parse, ReturnsAnywhereInATextAreNormalised) {
    for (std::size_t before = 0; before < 40; ++before)
        for (std::size_t after : {0, 1, 15, 16, 17, 40})
            for (const char* tail : {"</A>", ""}) {
                // Pieces are trimmed apart: the return lies between letters.
                const std::string x = std::string(before, 'x') + "a", y = "b" + std::string(after, 'y');
                for (const std::string& body : {x + "\r\n" + y, x + "\r" + y, "&amp;" + x + "\r" + y, x + "&lt;a\r\n" + y}) {
                    std::string want = body;
                    for (std::size_t at; (at = want.find("\r\n")) != std::string::npos;) want.erase(at, 1);
                    for (char& c : want)
                        if (c == '\r') c = '\n';
                    for (std::size_t at; (at = want.find("&amp;")) != std::string::npos;) want.replace(at, 5, "&");
                    for (std::size_t at; (at = want.find("&lt;")) != std::string::npos;) want.replace(at, 4, "<");
                    const std::string doc = "<A>" + body + tail;
                    EXPECT_EQ(parse(doc).root().text(), want) << before << " " << after << " " << tail;
                }
            }
}

}  // namespace

namespace {

}  // namespace
