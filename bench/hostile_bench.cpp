// Cost of hostile documents: for each family and size, the input and output
// sizes, the peak resident set and the time of one validation, each measured
// in a child process of its own that is killed past a time or memory limit.
//
//   hostile_bench [--seconds S] [--mem MB] [--quick] [--family NAME]... [--size N]
//
// --quick uses the sizes of the bound test instead of the full ones; --size
// replaces the sizes of every selected family with N.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "adsieve.h"
#include "hostile.h"

namespace {

std::vector<std::size_t> sizes(hostile::Scale scale, bool quick) {
    switch (scale) {
        case hostile::Scale::Depth:
            return quick ? std::vector<std::size_t>{3000, 10000}
                         : std::vector<std::size_t>{1000, 3000, 10000, 30000, 100000};
        case hostile::Scale::Count:
            return {quick ? 100000u : 1000000u};
        case hostile::Scale::Bytes:
            return {quick ? std::size_t{1} << 20 : std::size_t{10} << 20};
    }
    return {};
}

int usage() {
    std::fprintf(stderr,
                 "usage: hostile_bench [--seconds S] [--mem MB] [--quick] [--family NAME]... [--size N]\n");
    return 2;
}

std::string mb(double bytes) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f MB", bytes / 1e6);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    hostile::Limits limits;
    bool quick = false;
    std::vector<std::string_view> wanted;
    std::size_t fixed_size = 0;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--quick") {
            quick = true;
        } else if (a == "--seconds" && has_value) {
            limits.seconds = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (a == "--mem" && has_value) {
            limits.rss_mb = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--size" && has_value) {
            fixed_size = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--family" && has_value) {
            wanted.emplace_back(argv[++i]);
            if (!hostile::find_family(wanted.back())) {
                std::fprintf(stderr, "unknown family %s; families:", argv[i]);
                for (const auto& f : hostile::families()) std::fprintf(stderr, " %.*s", int(f.name.size()), f.name.data());
                std::fprintf(stderr, "\n");
                return 2;
            }
        } else {
            return usage();
        }
    }
    if (limits.seconds == 0 || limits.rss_mb == 0) return usage();

    std::printf("adsieve %s; each case in its own process, killed after %u s or %zu MB resident\n\n",
                adsieve_version(), limits.seconds, limits.rss_mb);
    std::printf("%-19s %6s %12s %14s %8s %12s %8s %9s %10s  %s\n", "family", "size", "input", "output",
                "out/in", "peak RSS", "rss/in", "time s", "findings", "outcome");
    for (const hostile::Family& f : hostile::families()) {
        if (!wanted.empty()) {
            bool on = false;
            for (std::string_view w : wanted) on = on || w == f.name;
            if (!on) continue;
        }
        std::vector<std::size_t> ns = fixed_size ? std::vector<std::size_t>{fixed_size} : sizes(f.scale, quick);
        for (std::size_t n : ns) {
            const hostile::Measurement m = hostile::measure(f, n, limits);
            const double in = static_cast<double>(m.in_bytes);
            const double rss = static_cast<double>(m.peak_rss_kb) * 1024;
            const bool ok = m.outcome == hostile::Outcome::Ok;
            std::string outcome(hostile::outcome_word(m.outcome));
            if (m.outcome == hostile::Outcome::Crashed || m.outcome == hostile::Outcome::Refused)
                outcome += " (" + std::to_string(m.detail) + ")";
            char out_col[32] = "-", ratio_col[16] = "-", findings_col[24] = "-";
            if (ok) {
                std::snprintf(out_col, sizeof out_col, "%s", mb(static_cast<double>(m.out_bytes)).c_str());
                std::snprintf(ratio_col, sizeof ratio_col, "%.1f", in > 0 ? static_cast<double>(m.out_bytes) / in : 0);
                std::snprintf(findings_col, sizeof findings_col, "%zu", m.findings);
            }
            std::printf("%-19.*s %6s %12s %14s %8s %12s %8.1f %s%8.2f %10s  %s\n", int(f.name.size()), f.name.data(),
                        hostile::size_label(n).c_str(), mb(in).c_str(), out_col, ratio_col,
                        ((ok ? "" : ">") + mb(rss)).c_str(), in > 0 ? rss / in : 0.0, ok ? " " : ">", m.seconds,
                        findings_col, outcome.c_str());
            std::fflush(stdout);
        }
    }
    return 0;
}
