/* Exercises the typed C interface (options struct, findings and catalogue read
 * field by field, tree as JSON) from a program compiled as C.
 *
 * Usage: c_typed_api_test [CORPUS_DIR]
 * With a corpus folder, every document in it also has its typed findings
 * rebuilt as JSON and compared byte for byte with the JSON result. */
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "adsieve.h"
#include "c_check.h"

/* An inline ad missing most of what it needs: many findings of all kinds. */
static const char *kSparse =
    "<VAST version=\"4.2\"><Ad><InLine><Creatives><Creative><Linear>\n"
    "<MediaFiles><MediaFile>http://example.com/a.mp4</MediaFile></MediaFiles>\n"
    "<TrackingEvents><Tracking event=\"progress\">http://example.com/t</Tracking></TrackingEvents>\n"
    "</Linear></Creative></Creatives></InLine></Ad></VAST>";

static int str_is(adsieve_str s, const char *text) {
    return s.ptr && s.len == strlen(text) && memcmp(s.ptr, text, s.len) == 0;
}

static int same_json(const adsieve_result *a, const adsieve_result *b) {
    return a && b && strcmp(adsieve_result_json(a), adsieve_result_json(b)) == 0;
}

static adsieve_result *run(const char *xml, size_t len, const adsieve_options *o, adsieve_error *err) {
    return adsieve_validate_opts(xml, len, o, err);
}

/* ---- rebuilding the issue list from the typed fields ------------------ */

typedef struct buf {
    char *data;
    size_t len, cap;
} buf;

static void put(buf *b, const char *s, size_t n) {
    if (b->len + n + 1 > b->cap) {
        size_t cap = b->cap ? b->cap : 256;
        while (b->len + n + 1 > cap) cap *= 2;
        char *p = realloc(b->data, cap);
        if (!p) abort();
        b->data = p;
        b->cap = cap;
    }
    memcpy(b->data + b->len, s, n);
    b->len += n;
    b->data[b->len] = '\0';
}

static void puts_(buf *b, const char *s) { put(b, s, strlen(s)); }

static void put_escaped(buf *b, adsieve_str s) {
    puts_(b, "\"");
    for (size_t i = 0; i < s.len; ++i) {
        unsigned char c = (unsigned char)s.ptr[i];
        char tmp[8];
        if (c == '"') puts_(b, "\\\"");
        else if (c == '\\') puts_(b, "\\\\");
        else if (c == '\t') puts_(b, "\\t");
        else if (c == '\n') puts_(b, "\\n");
        else if (c == '\r') puts_(b, "\\r");
        else if (c < 0x20) { snprintf(tmp, sizeof tmp, "\\u%04x", c); puts_(b, tmp); }
        else put(b, (const char *)&s.ptr[i], 1);
    }
    puts_(b, "\"");
}

/* The JSON result rebuilt from the typed accessors; NULL when an accessor fails. */
static char *rebuild_json(const adsieve_result *r) {
    buf b = {0};
    char tmp[96];
    const char *v = adsieve_result_version(r);
    puts_(&b, "{\"version\":");
    if (v) { puts_(&b, "\""); puts_(&b, v); puts_(&b, "\""); }
    else puts_(&b, "null");
    puts_(&b, ",\"issues\":[");
    for (size_t i = 0; i < adsieve_result_issue_count(r); ++i) {
        adsieve_issue is;
        if (!adsieve_result_issue(r, i, &is)) { free(b.data); return NULL; }
        if (i) puts_(&b, ",");
        puts_(&b, "{\"id\":");
        put_escaped(&b, is.id);
        puts_(&b, ",\"severity\":");
        put_escaped(&b, is.severity);
        puts_(&b, ",\"message\":");
        put_escaped(&b, is.message);
        puts_(&b, ",\"path\":");
        if (is.path.ptr) put_escaped(&b, is.path);
        else puts_(&b, "null");
        puts_(&b, ",\"spec_ref\":");
        put_escaped(&b, is.spec_ref);
        if (is.has_position) snprintf(tmp, sizeof tmp, ",\"line\":%u,\"col\":%u}", (unsigned)is.line, (unsigned)is.col);
        else snprintf(tmp, sizeof tmp, ",\"line\":null,\"col\":null}");
        puts_(&b, tmp);
    }
    snprintf(tmp, sizeof tmp, "],\"summary\":{\"errors\":%zu,\"warnings\":%zu,\"infos\":%zu,\"valid\":%s",
             adsieve_result_errors(r), adsieve_result_warnings(r), adsieve_result_infos(r),
             adsieve_result_valid(r) ? "true" : "false");
    puts_(&b, tmp);
    if (adsieve_result_truncated(r)) puts_(&b, ",\"truncated\":true");
    puts_(&b, "}}");
    return b.data;
}

/* Checks that the typed view of `r` says exactly what its JSON says. */
static int typed_matches_json(const adsieve_result *r, const char *name) {
    char *rebuilt = rebuild_json(r);
    int same = rebuilt && strcmp(rebuilt, adsieve_result_json(r)) == 0;
    if (!same) fprintf(stderr, "  %s:\n    json  %s\n    typed %s\n", name, adsieve_result_json(r),
                       rebuilt ? rebuilt : "(accessor failed)");
    free(rebuilt);
    return same;
}

/* ---- the groups of checks --------------------------------------------- */

static void defaults(void) {
    adsieve_options o;
    memset(&o, 0xAB, sizeof o);
    adsieve_options_init(&o);
    CHECK(o.wrapper_depth == 0 && o.max_wrapper_depth == 0 && o.rule_overrides == NULL &&
          o.overrides == NULL && o.override_count == 0 && o.max_issues == 0);
    adsieve_options_init(NULL);

    /* No options, zeroed options and the plain call agree. */
    adsieve_error err;
    adsieve_result *plain = adsieve_validate(kSparse, strlen(kSparse));
    adsieve_result *none = run(kSparse, strlen(kSparse), NULL, &err);
    CHECK(err.status == ADSIEVE_OK && err.message[0] == '\0');
    adsieve_result *zero = run(kSparse, strlen(kSparse), &o, NULL);
    CHECK(same_json(plain, none) && same_json(plain, zero));
    CHECK(adsieve_result_truncated(none) == 0);
    adsieve_result_free(plain);
    adsieve_result_free(none);
    adsieve_result_free(zero);

    /* A failed call followed by a good one resets the error. */
    o.wrapper_depth = 1000;
    CHECK(run(kSparse, strlen(kSparse), &o, &err) == NULL && err.status == ADSIEVE_ERR_DEPTH);
    adsieve_result *r = run(kSparse, strlen(kSparse), NULL, &err);
    CHECK(r && err.status == ADSIEVE_OK && err.message[0] == '\0');
    adsieve_result_free(r);
}

static void byte_lengths(void) {
    adsieve_error err;
    /* len 0 is the empty document, not strlen. */
    adsieve_result *empty = run("", 0, NULL, &err);
    adsieve_result *zero = run(kWrapper, 0, NULL, &err);
    adsieve_result *null_zero = run(NULL, 0, NULL, &err);
    adsieve_result *whole = run(kWrapper, strlen(kWrapper), NULL, &err);
    CHECK(empty && zero && null_zero && whole);
    CHECK(same_json(empty, zero) && same_json(empty, null_zero));
    CHECK(!same_json(zero, whole));
    CHECK(adsieve_result_valid(empty) == 0 && adsieve_result_valid(whole) == 1);
    CHECK(contains(adsieve_result_json(empty), "\"version\":null"));
    adsieve_result_free(empty);
    adsieve_result_free(zero);
    adsieve_result_free(null_zero);
    adsieve_result_free(whole);

    CHECK(run(NULL, 3, NULL, &err) == NULL && err.status == ADSIEVE_ERR_NULL && err.message[0]);

    /* Bytes after an embedded NUL are read: the invalid byte behind it is seen. */
    const char nul_then_bad[] = "<VAST version=\"4.2\">\0\xff</VAST>";
    CHECK(run(nul_then_bad, sizeof nul_then_bad - 1, NULL, &err) == NULL && err.status == ADSIEVE_ERR_UTF8);
    CHECK(contains(err.message, "UTF-8"));
    const char nul_doc[] = "<VAST version=\"4.2\">\0<Ad/></VAST>";
    adsieve_result *full = run(nul_doc, sizeof nul_doc - 1, NULL, &err);
    adsieve_result *cut = run(nul_doc, strlen(nul_doc), NULL, &err);
    CHECK(full && cut && !same_json(full, cut));
    adsieve_result_free(full);
    adsieve_result_free(cut);

    /* Only len bytes are read: an invalid byte just past them is never seen. */
    const char bad_tail[] = "<VAST version=\"4.2\"/>\xff";
    adsieve_result *r = run(bad_tail, sizeof bad_tail - 2, NULL, &err);
    CHECK(r && err.status == ADSIEVE_OK);
    adsieve_result_free(r);
    /* Invalid UTF-8 of several kinds. */
    const char *bad[] = {"<A>\x80</A>", "<A>\xc0\xaf</A>", "<A>\xed\xa0\x80</A>", "<A>\xf4\x90\x80\x80</A>", "<A>\xe2\x82</A>"};
    for (size_t i = 0; i < sizeof bad / sizeof bad[0]; ++i) {
        CHECK(run(bad[i], strlen(bad[i]), NULL, &err) == NULL && err.status == ADSIEVE_ERR_UTF8);
        CHECK(run(bad[i], strlen(bad[i]), NULL, NULL) == NULL);
    }
}

static void depths(void) {
    adsieve_options o;
    adsieve_error err;
    adsieve_options_init(&o);
    const uint32_t too_deep[] = {256, 262, 1000, 0xFFFFFFFFu};
    for (size_t i = 0; i < sizeof too_deep / sizeof too_deep[0]; ++i) {
        char number[16];
        snprintf(number, sizeof number, "%u", (unsigned)too_deep[i]);
        o.wrapper_depth = too_deep[i];
        o.max_wrapper_depth = 0;
        CHECK(run(kWrapper, strlen(kWrapper), &o, &err) == NULL && err.status == ADSIEVE_ERR_DEPTH);
        CHECK(contains(err.message, "wrapper_depth") && contains(err.message, number));
        o.wrapper_depth = 0;
        o.max_wrapper_depth = too_deep[i];
        CHECK(run(kWrapper, strlen(kWrapper), &o, &err) == NULL && err.status == ADSIEVE_ERR_DEPTH);
        CHECK(contains(err.message, "max_wrapper_depth") && contains(err.message, number));
        CHECK(run(kWrapper, strlen(kWrapper), &o, NULL) == NULL);
    }

    /* wrapper depth, maximum, finding expected */
    const struct { uint32_t depth, max; int fires; } cases[] = {
        {5, 0, 0}, {6, 0, 1}, {6, 6, 0}, {255, 255, 0}, {255, 254, 1}, {2, 1, 1}, {0, 255, 0},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        o.wrapper_depth = cases[i].depth;
        o.max_wrapper_depth = cases[i].max;
        adsieve_result *r = run(kWrapper, strlen(kWrapper), &o, &err);
        CHECK(r && err.status == ADSIEVE_OK);
        CHECK(r && contains(adsieve_result_json(r), "VAST-2.0-wrapper-depth") == cases[i].fires);
        adsieve_result_free(r);
    }
}

static void strict_overrides(void) {
    adsieve_options o;
    adsieve_error err;
    adsieve_result *r;
    adsieve_options_init(&o);

    /* Texts that a lenient reader would ignore are errors here. */
    const char *unreadable[] = {
        "", "  ", "[]", "{", "nope", "{\"VAST-2.0-parse-error\":\"off\",nocolon}",
        "{\"VAST-2.0-parse-error\"}", "{\"VAST-2.0-parse-error\":\"off\xff\"}",
    };
    for (size_t i = 0; i < sizeof unreadable / sizeof unreadable[0]; ++i) {
        o.rule_overrides = unreadable[i];
        r = run(kBroken, strlen(kBroken), &o, &err);
        CHECK(r == NULL && err.status == ADSIEVE_ERR_OVERRIDES && err.message[0]);
        if (r) fprintf(stderr, "  override text #%zu accepted\n", i);
        adsieve_result_free(r);
        CHECK(run(kBroken, strlen(kBroken), &o, NULL) == NULL);
    }
    o.rule_overrides = "{\"vast-2.0-parse-error\":\"off\"}";
    CHECK(run(kBroken, strlen(kBroken), &o, &err) == NULL && err.status == ADSIEVE_ERR_OVERRIDES);
    CHECK(contains(err.message, "vast-2.0-parse-error"));
    o.rule_overrides = "{\"VAST-2.0-parse-error\":\"OFF\"}";
    CHECK(run(kBroken, strlen(kBroken), &o, &err) == NULL && err.status == ADSIEVE_ERR_OVERRIDES);
    CHECK(contains(err.message, "OFF"));

    /* Readable texts apply; an empty object is no override. */
    o.rule_overrides = "{}";
    r = run(kBroken, strlen(kBroken), &o, &err);
    CHECK(r && adsieve_result_errors(r) == 1);
    adsieve_result_free(r);
    o.rule_overrides = " { VAST-2.0-parse-error : \"info\" } ";
    r = run(kBroken, strlen(kBroken), &o, &err);
    CHECK(r && adsieve_result_errors(r) == 0 && adsieve_result_infos(r) == 1);
    adsieve_result_free(r);

    /* Pairs come after the text, the later one for a rule winning. */
    adsieve_override pairs[] = {{"VAST-2.0-parse-error", "warning"}, {"VAST-2.0-parse-error", "off"}};
    o.rule_overrides = "{\"VAST-2.0-parse-error\":\"info\"}";
    o.overrides = pairs;
    o.override_count = 1;
    r = run(kBroken, strlen(kBroken), &o, &err);
    CHECK(r && adsieve_result_warnings(r) == 1 && adsieve_result_infos(r) == 0);
    adsieve_result_free(r);
    o.override_count = 2;
    r = run(kBroken, strlen(kBroken), &o, &err);
    CHECK(r && adsieve_result_issue_count(r) == 0 && adsieve_result_valid(r));
    adsieve_result_free(r);
    o.rule_overrides = NULL;

    adsieve_override bad_id[] = {{"VAST-2.0-parse-error", "off"}, {"X-1.0-nothing", "off"}};
    o.overrides = bad_id;
    o.override_count = 2;
    CHECK(run(kBroken, strlen(kBroken), &o, &err) == NULL && err.status == ADSIEVE_ERR_OVERRIDES);
    CHECK(contains(err.message, "X-1.0-nothing"));
    adsieve_override bad_level[] = {{"VAST-2.0-parse-error", "Error"}};
    o.overrides = bad_level;
    o.override_count = 1;
    CHECK(run(kBroken, strlen(kBroken), &o, &err) == NULL && err.status == ADSIEVE_ERR_OVERRIDES);
    CHECK(contains(err.message, "Error") && contains(err.message, "VAST-2.0-parse-error"));
    adsieve_override null_id[] = {{NULL, "off"}}, null_level[] = {{"VAST-2.0-parse-error", NULL}};
    o.overrides = null_id;
    CHECK(run(kBroken, strlen(kBroken), &o, &err) == NULL && err.status == ADSIEVE_ERR_NULL && err.message[0]);
    o.overrides = null_level;
    CHECK(run(kBroken, strlen(kBroken), &o, &err) == NULL && err.status == ADSIEVE_ERR_NULL);
    CHECK(run(kBroken, strlen(kBroken), &o, NULL) == NULL);
    o.overrides = NULL;
    o.override_count = 3;
    CHECK(run(kBroken, strlen(kBroken), &o, &err) == NULL && err.status == ADSIEVE_ERR_NULL);
    o.override_count = 0;
    r = run(kBroken, strlen(kBroken), &o, &err);
    CHECK(r && err.status == ADSIEVE_OK && adsieve_result_errors(r) == 1);
    adsieve_result_free(r);
}

static void findings_cap(void) {
    adsieve_options o;
    adsieve_error err;
    adsieve_options_init(&o);
    adsieve_result *all = run(kSparse, strlen(kSparse), &o, &err);
    CHECK(all != NULL);
    if (!all) return;
    size_t total = adsieve_result_issue_count(all);
    CHECK(total >= 5);
    CHECK(total == adsieve_result_errors(all) + adsieve_result_warnings(all) + adsieve_result_infos(all));
    CHECK(!adsieve_result_truncated(all) && !contains(adsieve_result_json(all), "truncated"));

    const size_t caps[] = {1, 2, total - 1, total, total + 1, (size_t)-1};
    for (size_t c = 0; c < sizeof caps / sizeof caps[0]; ++c) {
        o.max_issues = caps[c];
        adsieve_result *r = run(kSparse, strlen(kSparse), &o, &err);
        CHECK(r != NULL);
        if (!r) continue;
        int cut = caps[c] < total;
        size_t listed = cut ? caps[c] : total;
        CHECK(adsieve_result_issue_count(r) == listed);
        CHECK(adsieve_result_truncated(r) == cut);
        CHECK(contains(adsieve_result_json(r), "\"truncated\":true") == cut);
        /* Counts stay exact and valid follows them, whatever was cut. */
        CHECK(adsieve_result_errors(r) == adsieve_result_errors(all));
        CHECK(adsieve_result_warnings(r) == adsieve_result_warnings(all));
        CHECK(adsieve_result_infos(r) == adsieve_result_infos(all));
        CHECK(adsieve_result_valid(r) == adsieve_result_valid(all));
        CHECK(typed_matches_json(r, "capped"));
        /* The listed findings are the first ones of the whole list. */
        for (size_t i = 0; i < listed; ++i) {
            adsieve_issue a, b;
            CHECK(adsieve_result_issue(r, i, &a) && adsieve_result_issue(all, i, &b));
            CHECK(a.id.len == b.id.len && memcmp(a.id.ptr, b.id.ptr, a.id.len) == 0 && a.line == b.line);
        }
        adsieve_result_free(r);
    }
    adsieve_result_free(all);
}

static void issue_fields(void) {
    adsieve_error err;
    adsieve_result *r = run(kSparse, strlen(kSparse), NULL, &err);
    CHECK(r && typed_matches_json(r, "sparse"));
    CHECK(r && strcmp(adsieve_result_version(r), "4.2") == 0);
    adsieve_issue is;
    size_t n = adsieve_result_issue_count(r);
    CHECK(adsieve_result_issue(r, n, &is) == 0);
    CHECK(adsieve_result_issue(r, (size_t)-1, &is) == 0);
    CHECK(adsieve_result_issue(r, 0, NULL) == 0);
    CHECK(adsieve_result_issue(NULL, 0, &is) == 0);
    int positioned = 0;
    for (size_t i = 0; i < n; ++i) {
        CHECK(adsieve_result_issue(r, i, &is) == 1);
        CHECK(str_is(is.severity, "error") || str_is(is.severity, "warning") || str_is(is.severity, "info"));
        CHECK(is.id.len && is.message.len && is.spec_ref.len);
        if (is.has_position) positioned = 1;
        else CHECK(is.line == 0 && is.col == 0);
    }
    CHECK(positioned);
    CHECK(adsieve_result_parse_error(r, NULL, NULL, NULL) == 0);
    adsieve_result_free(r);

    /* A finding with neither path nor position, and a parse error's place. */
    r = run(kBroken, strlen(kBroken), NULL, &err);
    CHECK(r && typed_matches_json(r, "broken"));
    adsieve_str reason = {0};
    uint32_t line = 0, col = 0;
    CHECK(r && adsieve_result_parse_error(r, &reason, &line, &col) == 1);
    CHECK(reason.ptr && reason.len > 0 && line == 1 && col >= 1);
    CHECK(r && adsieve_result_parse_error(r, NULL, NULL, NULL) == 1);
    adsieve_result_free(r);
    const char two_lines[] = "<VAST version=\"4.2\">\n  <Ad></VAST>";
    r = run(two_lines, sizeof two_lines - 1, NULL, &err);
    CHECK(r && adsieve_result_parse_error(r, &reason, &line, &col) == 1 && line == 2);
    adsieve_result_free(r);

    /* Version: VAST versions as judged, none for other kinds and for no root. */
    const struct { const char *doc; const char *version; } versions[] = {
        {"<VAST version=\"3.0\"/>", "3.0"},
        {"<VAST version=\"4.3\"><Ad/></VAST>", "4.3"},
        {"<vmap:VMAP xmlns:vmap=\"http://www.iab.net/videosuite/vmap\" version=\"1.0\"/>", NULL},
        {"<DAAST version=\"1.0\"/>", NULL},
        {"", NULL},
    };
    for (size_t i = 0; i < sizeof versions / sizeof versions[0]; ++i) {
        r = run(versions[i].doc, strlen(versions[i].doc), NULL, &err);
        const char *v = adsieve_result_version(r);
        CHECK(r && (versions[i].version ? v && strcmp(v, versions[i].version) == 0 : v == NULL));
        CHECK(r && typed_matches_json(r, versions[i].doc));
        adsieve_result_free(r);
    }

    CHECK(adsieve_result_issue_count(NULL) == 0);
    CHECK(adsieve_result_version(NULL) == NULL);
    CHECK(adsieve_result_truncated(NULL) == 0);
    CHECK(adsieve_result_parse_error(NULL, &reason, &line, &col) == 0);
}

static void catalogue(void) {
    size_t n = adsieve_rule_count();
    CHECK(n == 191);
    adsieve_rule_info info;
    CHECK(adsieve_rule(n, &info) == 0 && adsieve_rule(0, NULL) == 0);
    adsieve_override *all_off = calloc(n, sizeof *all_off);
    char **ids = calloc(n, sizeof *ids);
    CHECK(all_off && ids);
    if (!all_off || !ids) return;
    for (size_t i = 0; i < n; ++i) {
        CHECK(adsieve_rule(i, &info) == 1);
        CHECK(info.id.len && info.description.len && info.family.len);
        CHECK(str_is(info.default_severity, "error") || str_is(info.default_severity, "warning") ||
              str_is(info.default_severity, "info"));
        ids[i] = malloc(info.id.len + 1);
        memcpy(ids[i], info.id.ptr, info.id.len);
        ids[i][info.id.len] = '\0';
        for (size_t j = 0; j < i; ++j)
            if (strcmp(ids[j], ids[i]) == 0) { CHECK(!"duplicate rule id"); fprintf(stderr, "  %s\n", ids[i]); }
        all_off[i].id = ids[i];
        all_off[i].level = "off";
    }
    /* Every catalogue id is accepted as an override, and turning all of them
     * off leaves nothing to report on any document. */
    adsieve_options o;
    adsieve_error err;
    adsieve_options_init(&o);
    o.overrides = all_off;
    o.override_count = n;
    const char *docs[] = {kSparse, kBroken, kWrapper, "", "<Foo/>", "<DAAST/>"};
    for (size_t d = 0; d < sizeof docs / sizeof docs[0]; ++d) {
        adsieve_result *r = run(docs[d], strlen(docs[d]), &o, &err);
        CHECK(r && err.status == ADSIEVE_OK && adsieve_result_issue_count(r) == 0 && adsieve_result_valid(r));
        CHECK(r && adsieve_result_errors(r) + adsieve_result_warnings(r) + adsieve_result_infos(r) == 0);
        adsieve_result_free(r);
    }
    for (size_t i = 0; i < n; ++i) free(ids[i]);
    free(ids);
    free(all_off);
}

static void tree(void) {
    adsieve_error err;
    const char doc[] = "<VAST version=\"4.2\"><Ad id=\"x\">a\tb\"c\\d</Ad></VAST>";
    char *t = adsieve_tree_json(doc, sizeof doc - 1, &err);
    CHECK(t && err.status == ADSIEVE_OK);
    CHECK(contains(t, "{\"error\":false,\"error_text\":null,\"root\":"));
    CHECK(contains(t, "\"name\":\"VAST\"") && contains(t, "[\"version\",\"4.2\"]"));
    CHECK(contains(t, "[\"id\",\"x\"]") && contains(t, "\"text\":\"a\\tb\\\"c\\\\d\""));
    adsieve_string_free(t);

    t = adsieve_tree_json(kBroken, strlen(kBroken), NULL);
    CHECK(t && contains(t, "{\"error\":true,\"error_text\":\""));
    adsieve_string_free(t);
    t = adsieve_tree_json(NULL, 0, &err);
    CHECK(t && err.status == ADSIEVE_OK);
    adsieve_string_free(t);
    CHECK(adsieve_tree_json(NULL, 4, &err) == NULL && err.status == ADSIEVE_ERR_NULL);
    CHECK(adsieve_tree_json("<A>\xff</A>", 8, &err) == NULL && err.status == ADSIEVE_ERR_UTF8);
    CHECK(adsieve_tree_json("<A>\xff</A>", 8, NULL) == NULL);
    adsieve_string_free(NULL);

    /* Deep nesting is printed without recursion. */
    const size_t depth = 200000;
    char *deep = malloc(depth * 9 + 1);
    CHECK(deep != NULL);
    if (!deep) return;
    char *p = deep;
    for (size_t i = 0; i < depth; ++i) { memcpy(p, "<a>", 3); p += 3; }
    for (size_t i = 0; i < depth; ++i) { memcpy(p, "</a>", 4); p += 4; }
    t = adsieve_tree_json(deep, (size_t)(p - deep), &err);
    CHECK(t && err.status == ADSIEVE_OK && contains(t, "\"error\":false"));
    adsieve_string_free(t);
    free(deep);
}

/* ---- the corpus --------------------------------------------------------- */

static char *read_all(const char *path, size_t *len) {
    FILE *f = fopen(path, "rb");
    if (!f) return NULL;
    buf b = {0};
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) put(&b, chunk, n);
    fclose(f);
    if (!b.data) put(&b, "", 0);
    *len = b.len;
    return b.data;
}

static void corpus_file(const char *path, size_t *docs) {
    size_t len = 0;
    char *xml = read_all(path, &len);
    CHECK(xml != NULL);
    if (!xml) return;
    adsieve_error err;
    adsieve_result *typed = run(xml, len, NULL, &err);
    adsieve_result *plain = adsieve_validate(xml, len);
    if (typed || plain) {
        ++*docs;
        CHECK(same_json(typed, plain));
        CHECK(typed && typed_matches_json(typed, path));
    } else {
        CHECK(err.status == ADSIEVE_ERR_UTF8);
    }
    adsieve_result_free(typed);
    adsieve_result_free(plain);
    free(xml);
}

static void corpus_dir(const char *dir, size_t *docs) {
    DIR *d = opendir(dir);
    CHECK(d != NULL);
    if (!d) return;
    struct dirent *e;
    while ((e = readdir(d)) != NULL) {
        if (e->d_name[0] == '.') continue;
        size_t n = strlen(dir) + strlen(e->d_name) + 2;
        char *path = malloc(n);
        snprintf(path, n, "%s/%s", dir, e->d_name);
        struct stat st;
        if (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) corpus_dir(path, docs);
        else if (n > 5 && strcmp(path + strlen(path) - 4, ".xml") == 0) corpus_file(path, docs);
        free(path);
    }
    closedir(d);
}

int main(int argc, char **argv) {
    defaults();
    byte_lengths();
    depths();
    strict_overrides();
    findings_cap();
    issue_fields();
    catalogue();
    tree();
    if (argc > 1) {
        size_t docs = 0;
        corpus_dir(argv[1], &docs);
        CHECK(docs >= 300);
        printf("corpus: %zu documents\n", docs);
    }
    printf("%d passed, %d failed\n", checks - failures, failures);
    return failures ? 1 : 0;
}
