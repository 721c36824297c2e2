// Hostile documents and a measurement of one validation in a child process,
// shared by the bound test and the hostile-input benchmark. Uses only the C
// interface.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace hostile {

// What the size parameter `n` of a family counts.
enum class Scale { Depth, Count, Bytes };

// One family of hostile input.
struct Family {
    std::string_view name;
    Scale scale;
    std::string_view what;                 // how `n` is read
    std::string (*make)(std::size_t n);    // the whole document
    const char* overrides;                 // strict override text, or nullptr
};

std::span<const Family> families();
const Family* find_family(std::string_view name);

// A short label for a size: 3000 -> "3k", 1000000 -> "1M", 10485760 -> "10Mi".
std::string size_label(std::size_t n);

struct Limits {
    unsigned seconds = 60;          // wall time before the child is killed
    std::size_t rss_mb = 4096;      // resident set above which the child is killed
    bool address_space = true;      // also cap the child's address space (not under ASan)
};

enum class Outcome {
    Ok,
    OutOfMemory,  // the library reported that it ran out of memory
    Refused,      // the library refused the call for another reason
    Timeout,      // killed after Limits::seconds
    RssLimit,     // killed when its resident set passed Limits::rss_mb
    Crashed,      // ended by another signal or a non-zero status
};
std::string_view outcome_word(Outcome o);

struct Measurement {
    Outcome outcome = Outcome::Crashed;
    int detail = 0;                 // signal, exit status or library status
    std::size_t in_bytes = 0;       // document size (0 when the child died before making it)
    std::size_t out_bytes = 0;      // JSON result size
    std::size_t findings = 0;       // errors + warnings + infos
    long start_rss_kb = 0;          // child's resident set before the document was made
    long peak_rss_kb = 0;           // child's peak resident set
    double seconds = 0;             // validation and JSON, in the child
};

// Makes the document of `family` at size `n` and validates it through
// adsieve_validate_opts in a forked child, so that each measurement has a
// fresh peak and a runaway case cannot take the caller down.
Measurement measure(const Family& family, std::size_t n, const Limits& limits);

}  // namespace hostile
