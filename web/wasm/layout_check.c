/* The page's glue (adsieve.js) reads and writes these structures at fixed
 * offsets; a change of the header that moves a field stops the build here. */
#include <stddef.h>

#include "adsieve.h"

_Static_assert(sizeof(size_t) == 4 && sizeof(void *) == 4, "wasm32 layout expected");
_Static_assert(sizeof(adsieve_str) == 8, "adsieve_str");
_Static_assert(offsetof(adsieve_options, wrapper_depth) == 0, "adsieve_options");
_Static_assert(offsetof(adsieve_options, max_wrapper_depth) == 4, "adsieve_options");
_Static_assert(offsetof(adsieve_options, rule_overrides) == 8, "adsieve_options");
_Static_assert(offsetof(adsieve_options, overrides) == 12, "adsieve_options");
_Static_assert(offsetof(adsieve_options, override_count) == 16, "adsieve_options");
_Static_assert(offsetof(adsieve_options, max_issues) == 20, "adsieve_options");
_Static_assert(sizeof(adsieve_options) == 24, "adsieve_options");
_Static_assert(sizeof(adsieve_override) == 8, "adsieve_override");
_Static_assert(offsetof(adsieve_error, message) == 4 && sizeof(adsieve_error) == 260, "adsieve_error");
_Static_assert(offsetof(adsieve_rule_info, default_severity) == 8, "adsieve_rule_info");
_Static_assert(offsetof(adsieve_rule_info, description) == 16, "adsieve_rule_info");
_Static_assert(offsetof(adsieve_rule_info, family) == 24 && sizeof(adsieve_rule_info) == 32, "adsieve_rule_info");
