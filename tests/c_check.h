/* Checks and sample documents shared by the test programs compiled as C. */
#ifndef ADSIEVE_C_CHECK_H
#define ADSIEVE_C_CHECK_H

#include <stdio.h>
#include <string.h>

static int failures = 0;
static int checks = 0;

#define CHECK(cond)                                                                  \
    do {                                                                             \
        ++checks;                                                                    \
        if (!(cond)) {                                                               \
            ++failures;                                                              \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
        }                                                                            \
    } while (0)

static const char *kBroken = "<VAST version=\"4.2\"><Ad>";
static const char *kWrapper =
    "<VAST version=\"4.2\"><Ad id=\"1\"><Wrapper><AdSystem>s</AdSystem>"
    "<VASTAdTagURI><![CDATA[https://example.com/tag]]></VASTAdTagURI>"
    "<Impression><![CDATA[https://example.com/imp]]></Impression>"
    "</Wrapper></Ad></VAST>";

static int contains(const char *haystack, const char *needle) {
    return haystack && strstr(haystack, needle) != NULL;
}

#endif
