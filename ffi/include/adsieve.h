/* adsieve — validation of VAST, VMAP and DAAST advertising documents.
 *
 * Validate a UTF-8 document, read the counts and the JSON result, then free
 * the handle:
 *
 *     adsieve_result *r = adsieve_validate(xml, len);
 *     if (r) {
 *         puts(adsieve_result_json(r));
 *         adsieve_result_free(r);
 *     }
 *
 * Every function is safe to call from any number of threads at once; a single
 * handle may be read concurrently but must not be freed while read.
 *
 * Paths in findings are bounded: a path of more than 64 element segments is
 * written as its first 32 segments, the segment "...", and its last 31
 * segments, so deeply nested input cannot make the output grow with the
 * square of its depth. Shorter paths are written in full.
 */
#ifndef ADSIEVE_H
#define ADSIEVE_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define ADSIEVE_API
#elif defined(ADSIEVE_BUILDING)
#define ADSIEVE_API __attribute__((visibility("default")))
#else
#define ADSIEVE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque result of one validation, owned by the caller until adsieve_result_free. */
typedef struct adsieve_result adsieve_result;

/* Validates `len` bytes at `xml` (strlen(xml) when len is 0) with the default
 * settings. Returns NULL when xml is NULL or the bytes are not valid UTF-8.
 * A document of more than 4 GiB is not read: its result reports the parse
 * error "document larger than 4 GiB" at position 0. */
ADSIEVE_API adsieve_result *adsieve_validate(const char *xml, size_t len);

/* As adsieve_validate, with the number of wrapper documents already followed
 * (low 8 bits used), the greatest acceptable wrapper depth (0 means 5; low 8
 * bits used) and rule overrides, NULL or a text such as
 * {"VAST-2.0-url-empty":"off","VAST-2.0-tracking-https":"error"}
 * with levels error, warning, info and off. An override text that cannot be
 * read is ignored. */
ADSIEVE_API adsieve_result *adsieve_validate_with_options(const char *xml, size_t len,
                                                          uint32_t wrapper_depth,
                                                          uint32_t max_wrapper_depth,
                                                          const char *rule_overrides);

/* Issue counts by severity; 0 for a NULL handle. */
ADSIEVE_API size_t adsieve_result_errors(const adsieve_result *r);
ADSIEVE_API size_t adsieve_result_warnings(const adsieve_result *r);
ADSIEVE_API size_t adsieve_result_infos(const adsieve_result *r);

/* 1 when the document has no error, otherwise 0 (also for a NULL handle). */
ADSIEVE_API int adsieve_result_valid(const adsieve_result *r);

/* The JSON result document, valid until the handle is freed; NULL for NULL. */
ADSIEVE_API const char *adsieve_result_json(const adsieve_result *r);

/* Releases the handle; does nothing for NULL. */
ADSIEVE_API void adsieve_result_free(adsieve_result *r);

/* The library version, a constant text. */
ADSIEVE_API const char *adsieve_version(void);

/* ---------------------------------------------------------------------------
 * Typed interface: options in a struct, findings and the rule catalogue read
 * field by field, misuse reported as an error the caller can read. The nine
 * functions above are unchanged by it.
 * ------------------------------------------------------------------------- */

/* A text that is not NUL-terminated: `len` bytes at `ptr`. `ptr` is NULL only
 * where a field is documented as nullable. */
typedef struct adsieve_str {
    const char *ptr;
    size_t len;
} adsieve_str;

/* One rule override given as two NUL-terminated texts (id, level). */
typedef struct adsieve_override {
    const char *id;
    const char *level; /* "error", "warning", "info" or "off" */
} adsieve_override;

typedef struct adsieve_options {
    uint32_t wrapper_depth;     /* wrapper documents already followed, 0..255 */
    uint32_t max_wrapper_depth; /* greatest acceptable depth, 1..255; 0 means 5 */
    /* Overrides as a text such as {"VAST-2.0-url-empty":"off"}, or NULL. Read
     * strictly: a text that cannot be read, an unknown rule id or an unknown
     * level is an error, never ignored. */
    const char *rule_overrides;
    /* Further overrides as pairs, applied after the text (same strictness). */
    const adsieve_override *overrides;
    size_t override_count;
    /* List at most this many findings (0: no cap). Counts stay exact; a result
     * that was cut says so (adsieve_result_truncated, "truncated":true in the
     * JSON summary). */
    size_t max_issues;
} adsieve_options;

/* Why a typed call failed. */
typedef enum adsieve_status {
    ADSIEVE_OK = 0,
    ADSIEVE_ERR_NULL = 1,      /* a required pointer was NULL */
    ADSIEVE_ERR_UTF8 = 2,      /* the document is not valid UTF-8 */
    ADSIEVE_ERR_DEPTH = 3,     /* a depth option above 255 */
    ADSIEVE_ERR_OVERRIDES = 4, /* overrides unreadable, unknown rule id or level */
    ADSIEVE_ERR_MEMORY = 5     /* out of memory */
} adsieve_status;

/* Filled by a failing typed call: a status and a NUL-terminated reason. */
typedef struct adsieve_error {
    adsieve_status status;
    char message[256];
} adsieve_error;

/* Sets every option to its default (all zero). */
ADSIEVE_API void adsieve_options_init(adsieve_options *opts);

/* Validates exactly `len` bytes at `xml` (0 is an empty document; `xml` may be
 * NULL only when len is 0). `opts` may be NULL for the defaults. Returns NULL
 * on misuse and, when `err` is not NULL, fills it; on success err->status is
 * ADSIEVE_OK. */
ADSIEVE_API adsieve_result *adsieve_validate_opts(const char *xml, size_t len,
                                                  const adsieve_options *opts,
                                                  adsieve_error *err);

/* One finding. `path` is {NULL, 0} when the finding has no path; `has_position`
 * is 0 when it has no line and column. */
typedef struct adsieve_issue {
    adsieve_str id;
    adsieve_str severity; /* "error", "warning" or "info" */
    adsieve_str message;
    adsieve_str path;
    adsieve_str spec_ref;
    int has_position;
    uint32_t line;
    uint32_t col;
} adsieve_issue;

/* Number of findings listed in the result (fewer than the counts when cut). */
ADSIEVE_API size_t adsieve_result_issue_count(const adsieve_result *r);
/* Fills `out` with finding i; returns 1, or 0 when i is out of range or a
 * pointer is NULL. The texts live as long as the handle. */
ADSIEVE_API int adsieve_result_issue(const adsieve_result *r, size_t i, adsieve_issue *out);
/* The VAST version the findings were judged against ("2.0" ... "4.3"), or NULL
 * when none is known (also for VMAP and DAAST documents). */
ADSIEVE_API const char *adsieve_result_version(const adsieve_result *r);
/* 1 when the list of findings was cut by max_issues, otherwise 0. */
ADSIEVE_API int adsieve_result_truncated(const adsieve_result *r);
/* When the document could not be read as XML: 1, with the parser's reason and
 * the 1-based line and byte column where reading stopped; otherwise 0. */
ADSIEVE_API int adsieve_result_parse_error(const adsieve_result *r, adsieve_str *reason,
                                           uint32_t *line, uint32_t *col);

/* One rule of the catalogue. */
typedef struct adsieve_rule_info {
    adsieve_str id;
    adsieve_str default_severity; /* "error", "warning" or "info" */
    adsieve_str description;
    adsieve_str family;           /* the group the rule belongs to */
} adsieve_rule_info;

ADSIEVE_API size_t adsieve_rule_count(void);
/* Fills `out` with rule i; returns 1, or 0 when i is out of range or out is NULL. */
ADSIEVE_API int adsieve_rule(size_t i, adsieve_rule_info *out);

/* The element tree of a document as the parser read it, as a JSON text
 * {"error": bool, "error_text": string or null, "root": tree}; release it with
 * adsieve_string_free. Returns NULL and fills `err` on misuse. */
ADSIEVE_API char *adsieve_tree_json(const char *xml, size_t len, adsieve_error *err);
ADSIEVE_API void adsieve_string_free(char *s);

#ifdef __cplusplus
}
#endif

#endif /* ADSIEVE_H */
