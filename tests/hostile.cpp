#include "hostile.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "adsieve.h"

namespace hostile {

namespace {

// A complete VAST 4.2 ad in which every slot (@name@) sits where the rules
// look: among the InLine children, on and inside a Creative, in a
// TrackingEvents list, in an Extension, in a MediaFile attribute.
constexpr std::string_view kSkeleton = R"(<?xml version="1.0" encoding="UTF-8"?>
<VAST version="4.2">
  <Ad id="hostile-1">
    <InLine>
      <AdSystem version="1.0">adsieve</AdSystem>
      <AdTitle>Hostile input</AdTitle>
      <AdServingId>hostile-serving-1</AdServingId>
      <Description>A document built to cost as much as it can@description@</Description>
      <Error><![CDATA[https://ads.example.com/error?code=[ERRORCODE]]]></Error>
      <Impression id="imp-1"><![CDATA[https://ads.example.com/impression]]></Impression>@inline@
      <Creatives>
        <Creative id="creative-1" adId="ad-1"@creative@>
          <UniversalAdId idRegistry="ad-id.org">HOST-0001</UniversalAdId>
          <Linear>
            <Duration>00:00:15</Duration>
            <TrackingEvents>
              <Tracking event="start"><![CDATA[https://ads.example.com/start]]></Tracking>@tracking@
            </TrackingEvents>
            <VideoClicks>
              <ClickThrough id="click-1"><![CDATA[https://advertiser.example.com/]]></ClickThrough>
            </VideoClicks>
            <MediaFiles>
              <MediaFile id="mf-1" delivery="progressive" type="video/mp4@type@" width="1280" height="720" bitrate="2000"><![CDATA[https://cdn.example.com/ad-1280x720.mp4]]></MediaFile>
            </MediaFiles>
          </Linear>
          <CreativeExtensions>
            <CreativeExtension type="vendor">@creative_ext@</CreativeExtension>
          </CreativeExtensions>
        </Creative>@creatives@
      </Creatives>
      <Extensions>
        <Extension type="vendor"><![CDATA[{"campaign":7}]]></Extension>@extensions@
      </Extensions>
    </InLine>
  </Ad>
</VAST>
)";

// The skeleton with fill(out, slot) called at each slot.
template <class Fill>
std::string document(std::size_t size_hint, Fill&& fill) {
    std::string out;
    out.reserve(kSkeleton.size() + size_hint);
    std::string_view rest = kSkeleton;
    while (true) {
        const std::size_t at = rest.find('@');
        if (at == std::string_view::npos) break;
        const std::size_t end = rest.find('@', at + 1);
        out.append(rest.substr(0, at));
        fill(out, rest.substr(at + 1, end - at - 1));
        rest.remove_prefix(end + 1);
    }
    out.append(rest);
    return out;
}

void repeat(std::string& out, std::string_view piece, std::size_t times) {
    for (std::size_t i = 0; i < times; ++i) out.append(piece);
}

// Exactly n bytes of `pattern` repeated (pattern is ASCII).
void pattern_bytes(std::string& out, std::string_view pattern, std::size_t n) {
    for (; n >= pattern.size(); n -= pattern.size()) out.append(pattern);
    out.append(pattern.substr(0, n));
}

void append_number(std::string& out, std::size_t v) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, v);
    (void)ec;
    out.append(digits, end);
}

// n attributes a0="" a1="" ... (all distinct, so the tag is well-formed).
void many_attributes(std::string& out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        out.append(" a");
        append_number(out, i);
        out.append("=\"\"");
    }
}

// n vendor elements of 20 attributes each.
void small_tags(std::string& out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        out.append("<Item");
        for (int k = 0; k < 20; ++k) {
            out.append(" k");
            append_number(out, static_cast<std::size_t>(k));
            out.append("=\"1\"");
        }
        out.append("/>");
    }
}

std::string impression_nest(std::size_t n) {
    return document(25 * n + 64, [n](std::string& out, std::string_view slot) {
        if (slot != "inline") return;
        repeat(out, "<Impression>", n);
        out.append("<![CDATA[https://ads.example.com/deep]]>");
        repeat(out, "</Impression>", n);
    });
}

std::string tracking_nest(std::size_t n) {
    return document(36 * n + 64, [n](std::string& out, std::string_view slot) {
        if (slot != "tracking") return;
        repeat(out, "<Tracking event=\"start\">", n);
        out.append("<![CDATA[https://ads.example.com/deep]]>");
        repeat(out, "</Tracking>", n);
    });
}

// Each level of the chain holds a misplaced, empty <Impression/>.
std::string extension_nest(std::size_t n) {
    return document(46 * n + 64, [n](std::string& out, std::string_view slot) {
        if (slot != "extensions") return;
        repeat(out, "<Extension type=\"x\"><Impression/>", n);
        repeat(out, "</Extension>", n);
    });
}

// One tag of n attributes, then n/10 tags of 20 attributes after it.
std::string attributes_first(std::size_t n) {
    return document(11 * n + 17 * n, [n](std::string& out, std::string_view slot) {
        if (slot == "creative") many_attributes(out, n);
        if (slot == "creative_ext") small_tags(out, n / 10);
    });
}

// The same counts with the large tag last: the control for attributes_first.
std::string attributes_last(std::size_t n) {
    return document(11 * n + 17 * n + 128, [n](std::string& out, std::string_view slot) {
        if (slot == "creative_ext") small_tags(out, n / 10);
        if (slot == "creatives") {
            out.append("\n        <Creative id=\"creative-2\"");
            many_attributes(out, n);
            out.append("><UniversalAdId idRegistry=\"ad-id.org\">HOST-0002</UniversalAdId></Creative>");
        }
    });
}

std::string siblings(std::size_t n) {
    return document(4 * n, [n](std::string& out, std::string_view slot) {
        if (slot == "inline") repeat(out, "<a/>", n);
    });
}

std::string attribute_value(std::size_t n) {
    return document(n, [n](std::string& out, std::string_view slot) {
        if (slot == "type") pattern_bytes(out, ";codecs=avc1", n);
    });
}

std::string text_node(std::size_t n) {
    return document(n, [n](std::string& out, std::string_view slot) {
        if (slot == "description") pattern_bytes(out, " lorem ipsum dolor sit amet,", n);
    });
}

std::string url_text(std::size_t n) {
    return document(n + 96, [n](std::string& out, std::string_view slot) {
        if (slot != "inline") return;
        out.append("<Impression><![CDATA[https://ads.example.com/i?");
        pattern_bytes(out, "cb=[TIMESTAMP]&p=1&", n);
        out.append("]]></Impression>");
    });
}

std::string host_labels(std::size_t n) {
    return document(n + 96, [n](std::string& out, std::string_view slot) {
        if (slot != "inline") return;
        out.append("<Impression><![CDATA[https://");
        pattern_bytes(out, "ab12.", n);
        out.append("example.com/i]]></Impression>");
    });
}

std::string host_label(std::size_t n) {
    return document(n + 96, [n](std::string& out, std::string_view slot) {
        if (slot != "inline") return;
        out.append("<Impression><![CDATA[https://");
        pattern_bytes(out, "a", n);
        out.append(".example.com/i]]></Impression>");
    });
}

constexpr const char* kExtensionRulesOff =
    R"({"VAST-2.0-extension-misplaced-element":"off","VAST-2.0-extension-cdata":"off"})";

constexpr std::array kFamilies{
    Family{"impression-nest", Scale::Depth, "depth of nested <Impression>", impression_nest, nullptr},
    Family{"tracking-nest", Scale::Depth, "depth of nested <Tracking>", tracking_nest, nullptr},
    Family{"extension-nest", Scale::Depth, "depth of nested <Extension><Impression/>", extension_nest, nullptr},
    Family{"extension-nest-off", Scale::Depth, "the same, both Extension rules off", extension_nest, kExtensionRulesOff},
    Family{"attrs-first", Scale::Count, "attributes on one tag, then n/10 tags of 20", attributes_first, nullptr},
    Family{"attrs-last", Scale::Count, "control: the n/10 tags first", attributes_last, nullptr},
    Family{"siblings", Scale::Count, "sibling <a/> elements in <InLine>", siblings, nullptr},
    Family{"attr-value", Scale::Bytes, "bytes of one attribute value", attribute_value, nullptr},
    Family{"text", Scale::Bytes, "bytes of one text node", text_node, nullptr},
    Family{"url-text", Scale::Bytes, "bytes of one URL with macros", url_text, nullptr},
    Family{"host", Scale::Bytes, "bytes of a host name of short labels", host_labels, nullptr},
    Family{"host-label", Scale::Bytes, "bytes of a host name of one label", host_label, nullptr},
};

// A "Name:   123 kB" field of /proc/<pid>/status, in kB; -1 when absent.
long status_kb(const std::string& file, std::string_view field) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with(field) && line.size() > field.size() && line[field.size()] == ':')
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return -1;
}

// What the child sends back: once when the document is made, once at the end.
struct Record {
    int stage;  // 1: document made, 2: validated
    int status;
    std::size_t in_bytes;
    std::size_t out_bytes;
    std::size_t findings;
    long start_rss_kb;
    long peak_rss_kb;
    double seconds;
};

void send(int fd, const Record& r) {
    const char* p = reinterpret_cast<const char*>(&r);
    std::size_t left = sizeof r;
    while (left > 0) {
        ssize_t w = write(fd, p, left);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        p += w;
        left -= static_cast<std::size_t>(w);
    }
}

[[noreturn]] void child(const Family& family, std::size_t n, const Limits& limits, int fd) {
    Record rec{};
    rec.start_rss_kb = status_kb("/proc/self/status", "VmRSS");
    if (limits.address_space) {
        const long size_kb = status_kb("/proc/self/status", "VmSize");
        rlimit lim{};
        lim.rlim_cur = lim.rlim_max =
            static_cast<rlim_t>(size_kb > 0 ? size_kb : 0) * 1024 + (static_cast<rlim_t>(limits.rss_mb) << 20);
        setrlimit(RLIMIT_AS, &lim);
    }
    alarm(limits.seconds);
    const std::string doc = family.make(n);
    rec.stage = 1;
    rec.in_bytes = doc.size();
    send(fd, rec);

    adsieve_options opts;
    adsieve_options_init(&opts);
    opts.rule_overrides = family.overrides;
    adsieve_error err{};
    const auto t0 = std::chrono::steady_clock::now();
    adsieve_result* r = adsieve_validate_opts(doc.data(), doc.size(), &opts, &err);
    const char* json = r ? adsieve_result_json(r) : nullptr;
    if (json) rec.out_bytes = std::strlen(json);
    rec.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    rec.status = r ? (json ? ADSIEVE_OK : ADSIEVE_ERR_MEMORY) : err.status;
    rec.findings = adsieve_result_errors(r) + adsieve_result_warnings(r) + adsieve_result_infos(r);
    adsieve_result_free(r);
    rec.peak_rss_kb = status_kb("/proc/self/status", "VmHWM");
    rec.stage = 2;
    send(fd, rec);
    _exit(0);
}

}  // namespace

std::span<const Family> families() { return kFamilies; }

const Family* find_family(std::string_view name) {
    for (const Family& f : kFamilies)
        if (f.name == name) return &f;
    return nullptr;
}

std::string size_label(std::size_t n) {
    if (n >= (1u << 20) && n % (1u << 20) == 0) return std::to_string(n >> 20) + "Mi";
    if (n >= 1000000 && n % 1000000 == 0) return std::to_string(n / 1000000) + "M";
    if (n >= 1000 && n % 1000 == 0) return std::to_string(n / 1000) + "k";
    return std::to_string(n);
}

std::string_view outcome_word(Outcome o) {
    switch (o) {
        case Outcome::Ok: return "ok";
        case Outcome::OutOfMemory: return "out of memory";
        case Outcome::Refused: return "refused";
        case Outcome::Timeout: return "killed: time";
        case Outcome::RssLimit: return "killed: memory";
        case Outcome::Crashed: return "crashed";
    }
    return "?";
}

Measurement measure(const Family& family, std::size_t n, const Limits& limits) {
    Measurement m;
    int fds[2];
    if (pipe(fds) != 0) return m;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return m;
    }
    if (pid == 0) {
        close(fds[0]);
        child(family, n, limits, fds[1]);
    }
    close(fds[1]);

    const std::string status_file = "/proc/" + std::to_string(pid) + "/status";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds + 2);
    Record last{};
    std::size_t have = 0;  // bytes of the record being read
    Record reading{};
    bool killed_time = false, killed_rss = false;
    long seen_rss_kb = 0;
    int wstatus = 0;
    rusage usage{};
    auto drain = [&](int timeout_ms) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, timeout_ms) <= 0) return;
        ssize_t got = read(fds[0], reinterpret_cast<char*>(&reading) + have, sizeof reading - have);
        if (got <= 0) return;
        have += static_cast<std::size_t>(got);
        if (have == sizeof reading) {
            last = reading;
            have = 0;
        }
    };
    while (true) {
        const pid_t done = wait4(pid, &wstatus, WNOHANG, &usage);
        if (done == pid) break;
        const long rss = status_kb(status_file, "VmRSS");
        seen_rss_kb = std::max(seen_rss_kb, rss);
        if (!killed_rss && !killed_time && rss > static_cast<long>(limits.rss_mb) * 1024) {
            killed_rss = true;
            kill(pid, SIGKILL);
        } else if (!killed_rss && !killed_time && std::chrono::steady_clock::now() > deadline) {
            killed_time = true;
            kill(pid, SIGKILL);
        }
        drain(20);
    }
    for (int i = 0; i < 4; ++i) drain(0);
    close(fds[0]);

    m.in_bytes = last.in_bytes;
    m.start_rss_kb = last.start_rss_kb;
    m.peak_rss_kb = std::max(usage.ru_maxrss, seen_rss_kb);
    if (killed_rss) {
        m.outcome = Outcome::RssLimit;
    } else if (killed_time || (WIFSIGNALED(wstatus) && WTERMSIG(wstatus) == SIGALRM)) {
        m.outcome = Outcome::Timeout;
    } else if (WIFSIGNALED(wstatus)) {
        m.outcome = Outcome::Crashed;
        m.detail = WTERMSIG(wstatus);
    } else if (WEXITSTATUS(wstatus) != 0 || last.stage != 2) {
        m.outcome = Outcome::Crashed;
        m.detail = WEXITSTATUS(wstatus);
    } else {
        m.outcome = last.status == ADSIEVE_OK           ? Outcome::Ok
                    : last.status == ADSIEVE_ERR_MEMORY ? Outcome::OutOfMemory
                                                        : Outcome::Refused;
        m.detail = last.status;
        m.out_bytes = last.out_bytes;
        m.findings = last.findings;
        m.peak_rss_kb = last.peak_rss_kb;
        m.seconds = last.seconds;
    }
    if (m.outcome != Outcome::Ok && m.seconds == 0)
        m.seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return m;
}

}  // namespace hostile
