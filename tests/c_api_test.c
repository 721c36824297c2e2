/* Exercises the public C interface from a program compiled as C. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "adsieve.h"
#include "c_check.h"

static void null_handles(void) {
    CHECK(adsieve_validate(NULL, 0) == NULL);
    CHECK(adsieve_validate_with_options(NULL, 5, 0, 0, NULL) == NULL);
    CHECK(adsieve_result_json(NULL) == NULL);
    CHECK(adsieve_result_valid(NULL) == 0);
    CHECK(adsieve_result_errors(NULL) == 0);
    CHECK(adsieve_result_warnings(NULL) == 0);
    CHECK(adsieve_result_infos(NULL) == 0);
    adsieve_result_free(NULL);
}

static void version_text(void) {
    CHECK(strcmp(adsieve_version(), "0.6.2") == 0);
}

static void invalid_utf8(void) {
    const char bad[] = "<VAST version=\"4.2\">\xff</VAST>";
    CHECK(adsieve_validate(bad, sizeof bad - 1) == NULL);
    /* A lone continuation byte, an overlong form and a surrogate. */
    CHECK(adsieve_validate("<A>\x80</A>", 8) == NULL);
    CHECK(adsieve_validate("<A>\xc0\xaf</A>", 9) == NULL);
    CHECK(adsieve_validate("<A>\xed\xa0\x80</A>", 10) == NULL);
    /* The invalid byte lies beyond len: only len bytes are read. */
    adsieve_result *r = adsieve_validate_with_options(bad, 20, 0, 0, NULL);
    CHECK(r != NULL);
    adsieve_result_free(r);
}

static void empty_and_length(void) {
    adsieve_result *r = adsieve_validate("", 0);
    CHECK(r != NULL);
    CHECK(contains(adsieve_result_json(r), "\"version\":null"));
    adsieve_result_free(r);

    /* len 0 means strlen: the same document either way. */
    adsieve_result *a = adsieve_validate(kBroken, 0);
    adsieve_result *b = adsieve_validate(kBroken, strlen(kBroken));
    CHECK(a && b && strcmp(adsieve_result_json(a), adsieve_result_json(b)) == 0);
    adsieve_result_free(a);
    adsieve_result_free(b);

    /* Embedded NUL bytes are part of the document when len is given. */
    const char with_nul[] = "<VAST version=\"4.2\">\0<Ad>";
    r = adsieve_validate(with_nul, sizeof with_nul - 1);
    CHECK(r != NULL);
    adsieve_result_free(r);
}

static void parse_error_and_overrides(void) {
    adsieve_result *r = adsieve_validate(kBroken, 0);
    CHECK(r != NULL);
    CHECK(strcmp(adsieve_result_json(r),
                 "{\"version\":\"4.2\",\"issues\":[{\"id\":\"VAST-2.0-parse-error\",\"severity\":\"error\","
                 "\"message\":\"XML parse error \xe2\x80\x94 document may be malformed\",\"path\":\"/VAST\","
                 "\"spec_ref\":\"IAB VAST 2.0 \xc2\xa7" "2\",\"line\":null,\"col\":null}],"
                 "\"summary\":{\"errors\":1,\"warnings\":0,\"infos\":0,\"valid\":false}}") == 0);
    CHECK(adsieve_result_errors(r) == 1);
    CHECK(adsieve_result_valid(r) == 0);
    adsieve_result_free(r);

    r = adsieve_validate_with_options(kBroken, 0, 0, 0, "{\"VAST-2.0-parse-error\":\"off\"}");
    CHECK(r && adsieve_result_errors(r) == 0 && adsieve_result_valid(r) == 1);
    CHECK(contains(adsieve_result_json(r), "\"issues\":[]"));
    adsieve_result_free(r);

    r = adsieve_validate_with_options(kBroken, 0, 0, 0, "  { VAST-2.0-parse-error : \"info\" }  ");
    CHECK(r && adsieve_result_infos(r) == 1 && adsieve_result_errors(r) == 0 && adsieve_result_valid(r) == 1);
    CHECK(contains(adsieve_result_json(r), "\"severity\":\"info\""));
    adsieve_result_free(r);

    /* Texts that give no overrides at all. */
    const char *ignored[] = {
        "{}", "[]", "  ", "", "{", "{\"VAST-2.0-parse-error\":\"off\",nocolon}",
        "{\"vast-2.0-parse-error\":\"off\"}", "{\"VAST-2.0-parse-error\":\"OFF\"}",
        "{\"VAST-2.0-parse-error\":\"off\xff\"}", "{\"VAST-2.0-parse-error\"}",
    };
    for (size_t i = 0; i < sizeof ignored / sizeof ignored[0]; ++i) {
        r = adsieve_validate_with_options(kBroken, 0, 0, 0, ignored[i]);
        CHECK(r && adsieve_result_errors(r) == 1);
        if (!r || adsieve_result_errors(r) != 1) fprintf(stderr, "  override text #%zu applied\n", i);
        adsieve_result_free(r);
    }

    /* A later piece for the same rule replaces the earlier one; unknown ids are skipped. */
    r = adsieve_validate_with_options(kBroken, 0, 0, 0,
                                      "{\"X-1.0-nothing\":\"off\",\"VAST-2.0-parse-error\":\"off\","
                                      "\"VAST-2.0-parse-error\":\"warning\"}");
    CHECK(r && adsieve_result_warnings(r) == 1 && adsieve_result_errors(r) == 0);
    adsieve_result_free(r);
}

static void wrapper_depth(void) {
    /* Depth 6 against the default maximum of 5. */
    adsieve_result *r = adsieve_validate_with_options(kWrapper, 0, 6, 0, NULL);
    CHECK(r && contains(adsieve_result_json(r), "VAST-2.0-wrapper-depth"));
    adsieve_result_free(r);
    r = adsieve_validate_with_options(kWrapper, 0, 6, 6, NULL);
    CHECK(r && !contains(adsieve_result_json(r), "VAST-2.0-wrapper-depth"));
    adsieve_result_free(r);
    /* Only the low 8 bits count: 262 is 6, a maximum of 256 is 0. */
    r = adsieve_validate_with_options(kWrapper, 0, 262, 6, NULL);
    CHECK(r && !contains(adsieve_result_json(r), "VAST-2.0-wrapper-depth"));
    adsieve_result_free(r);
    r = adsieve_validate_with_options(kWrapper, 0, 1, 256, NULL);
    CHECK(r && contains(adsieve_result_json(r), "VAST-2.0-wrapper-depth"));
    adsieve_result_free(r);
}

static void deep_nesting(void) {
    /* A million nested elements: no stack exhaustion anywhere. */
    const size_t depth = 1000000;
    const char *open = "<Ad>", *close = "</Ad>";
    size_t len = strlen("<VAST version=\"4.2\">") + depth * (strlen(open) + strlen(close)) + strlen("</VAST>");
    char *doc = malloc(len + 1);
    CHECK(doc != NULL);
    if (!doc) return;
    char *p = doc;
    p += sprintf(p, "<VAST version=\"4.2\">");
    for (size_t i = 0; i < depth; ++i) { memcpy(p, open, 4); p += 4; }
    for (size_t i = 0; i < depth; ++i) { memcpy(p, close, 5); p += 5; }
    p += sprintf(p, "</VAST>");
    adsieve_result *r = adsieve_validate(doc, (size_t)(p - doc));
    CHECK(r != NULL && adsieve_result_json(r) != NULL);
    adsieve_result_free(r);
    /* The same nesting left unclosed ends in a parse error. */
    r = adsieve_validate(doc, strlen("<VAST version=\"4.2\">") + depth * 4);
    CHECK(r != NULL && contains(adsieve_result_json(r), "VAST-2.0-parse-error"));
    adsieve_result_free(r);
    free(doc);
}

int main(void) {
    null_handles();
    version_text();
    invalid_utf8();
    empty_and_length();
    parse_error_and_overrides();
    wrapper_depth();
    deep_nesting();
    printf("%d passed, %d failed\n", checks - failures, failures);
    return failures ? 1 : 0;
}
