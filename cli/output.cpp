#include "output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace cli {

namespace {

constexpr auto kProgressDelay = std::chrono::seconds(1);
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

std::string clock_text(double seconds) {
    long s = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

}  // namespace

bool is_terminal(int fd) { return isatty(fd) == 1; }

bool auto_color() {
    if (!is_terminal(STDOUT_FILENO)) return false;
    const char* no_color = std::getenv("NO_COLOR");
    if (no_color && *no_color) return false;
    const char* term = std::getenv("TERM");
    return !(term && std::strcmp(term, "dumb") == 0);
}

Output open_output(bool progress) {
    Output o;
    o.stdout_tty = is_terminal(STDOUT_FILENO);
    if (!o.stdout_tty) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    o.progress = progress && is_terminal(STDERR_FILENO);
    o.start = std::chrono::steady_clock::now();
    return o;
}

bool write_out(Output& o, std::string_view text) {
    if (o.write_errno) return false;
    if (text.empty()) return true;
    progress_clear(o);
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
        o.write_errno = errno ? errno : EIO;
        return false;
    }
    if (o.stdout_tty && std::fflush(stdout) != 0) {
        o.write_errno = errno ? errno : EIO;
        return false;
    }
    return true;
}

void write_err(Output& o, std::string_view text) {
    if (text.empty()) return;
    progress_clear(o);
    if (o.stdout_tty) std::fflush(stdout);  // keep the two streams in order on a shared terminal
    std::fwrite(text.data(), 1, text.size(), stderr);
}

bool finish_output(Output& o) {
    progress_clear(o);
    errno = 0;
    if (!o.write_errno && (std::fflush(stdout) != 0 || std::ferror(stdout))) o.write_errno = errno ? errno : EIO;
    if (o.write_errno) {
        std::fprintf(stderr, "adsieve: write error: %s\n", std::strerror(o.write_errno));
        return false;
    }
    return true;
}

void progress_tick(Output& o, std::size_t done) {
    if (!o.progress) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - o.start < kProgressDelay || now - o.last_draw < kProgressEvery) return;
    o.last_draw = now;
    const double elapsed = std::chrono::duration<double>(now - o.start).count();
    const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
    std::string line = "\r\x1b[Kadsieve: " + std::to_string(done);
    if (o.total) line += "/" + std::to_string(o.total);
    char buf[64];
    std::snprintf(buf, sizeof buf, " documents, %.0f/s", rate);
    line += buf;
    if (o.total && rate > 0 && done <= o.total)
        line += ", ETA " + clock_text(static_cast<double>(o.total - done) / rate);
    if (o.stdout_tty) std::fflush(stdout);
    std::fwrite(line.data(), 1, line.size(), stderr);
    o.progress_visible = true;
}

void progress_clear(Output& o) {
    if (!o.progress_visible) return;
    o.progress_visible = false;
    std::fputs("\r\x1b[K", stderr);
}

}  // namespace cli
