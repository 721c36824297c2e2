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
 * settings. Returns NULL when xml is NULL or the bytes are not valid UTF-8. */
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

#ifdef __cplusplus
}
#endif

#endif /* ADSIEVE_H */
