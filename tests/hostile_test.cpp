// Hostile documents cost at most a constant per input byte: at most 150
// bytes of JSON and 300 bytes of resident memory (plus a fixed allowance) for
// each byte read. Each case runs in a child process that is killed past a
// memory or time limit, so a regression fails the case instead of the machine.
// Time is measured by hostile_bench, not asserted here.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "hostile.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ADSIEVE_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ADSIEVE_TEST_ASAN 1
#endif

namespace {

#ifdef ADSIEVE_TEST_ASAN
// AddressSanitizer keeps freed memory in quarantine and reserves terabytes of
// address space, so only the output is bounded there.
constexpr bool kMemoryBounded = false;
#else
constexpr bool kMemoryBounded = true;
#endif

constexpr double kOutputPerByte = 150;
constexpr double kMemoryPerByte = 300;
constexpr long kMemorySlackKb = 8 * 1024;

struct Case {
    const char* family;
    std::size_t n;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.family << " at " << c.n; }

class HostileBound : public ::testing::TestWithParam<Case> {};

TEST_P(HostileBound, OutputAndMemoryLinearInInput) {
    const hostile::Family* family = hostile::find_family(GetParam().family);
    ASSERT_NE(family, nullptr);
    hostile::Limits limits;
    limits.seconds = 120;
    limits.rss_mb = 1024;  // far above every bound below
    limits.address_space = kMemoryBounded;
    const hostile::Measurement m = hostile::measure(*family, GetParam().n, limits);
    ASSERT_GT(m.in_bytes, 0u) << "the document was not made";
    const double in = static_cast<double>(m.in_bytes);
    ASSERT_EQ(hostile::outcome_word(m.outcome), std::string_view("ok"))
        << "(" << m.detail << ") on " << m.in_bytes << " input bytes, peak RSS " << m.peak_rss_kb / 1024 << " MB";
    EXPECT_LE(static_cast<double>(m.out_bytes), kOutputPerByte * in)
        << m.out_bytes << " output bytes for " << m.in_bytes << " input bytes";
    if (kMemoryBounded) {
        const long grown_kb = m.peak_rss_kb - m.start_rss_kb;
        EXPECT_LE(static_cast<double>(grown_kb) * 1024, kMemoryPerByte * in + kMemorySlackKb * 1024.0)
            << "resident set grew by " << grown_kb << " kB for " << m.in_bytes << " input bytes";
    }
}

constexpr std::size_t kMiB = std::size_t{1} << 20;

INSTANTIATE_TEST_SUITE_P(
    Families, HostileBound,
    ::testing::Values(Case{"impression-nest", 3000}, Case{"impression-nest", 10000}, Case{"tracking-nest", 3000},
                      Case{"tracking-nest", 10000}, Case{"extension-nest", 3000}, Case{"extension-nest", 10000},
                      Case{"extension-nest-off", 3000}, Case{"extension-nest-off", 10000},
                      Case{"attrs-first", 100000}, Case{"attrs-last", 100000}, Case{"siblings", 100000},
                      Case{"attr-value", kMiB}, Case{"text", kMiB}, Case{"url-text", kMiB}, Case{"host", kMiB},
                      Case{"host-label", kMiB}),
    [](const ::testing::TestParamInfo<Case>& info) {
        std::string name = std::string(info.param.family) + "_" + hostile::size_label(info.param.n);
        for (char& c : name)
            if (c == '-') c = '_';
        return name;
    });

}  // namespace
