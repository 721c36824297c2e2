#include "inputs.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace cli {

struct Stream {
    gzFile gz = nullptr;
    std::string buffer;     // read ahead for next_line
    std::size_t pos = 0;    // first unread byte of buffer
    bool eof = false;
    std::uint64_t size_hint = 0;  // size of a regular file, 0 when unknown
};

void StreamCloser::operator()(Stream* s) const noexcept {
    if (!s) return;
    if (s->gz) gzclose(s->gz);
    delete s;
}

namespace {

constexpr unsigned kChunk = 1u << 15;

std::string too_large(std::uint64_t max_bytes) {
    return "larger than --max-bytes (" + std::to_string(max_bytes) + " bytes)";
}

bool has_glob_chars(const std::string& s) { return s.find_first_of("*?[") != std::string::npos; }

bool wanted_file(const fs::path& p) {
    std::string name = p.filename().string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto ends = [&](std::string_view suffix) {
        return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    return ends(".xml") || ends(".xml.gz");
}

bool excluded(const std::vector<std::string>& patterns, const std::string& shown, const std::string& relative,
              const std::string& filename) {
    for (const std::string& p : patterns) {
        if (fnmatch(p.c_str(), shown.c_str(), 0) == 0 || fnmatch(p.c_str(), relative.c_str(), 0) == 0 ||
            fnmatch(p.c_str(), filename.c_str(), 0) == 0)
            return true;
    }
    return false;
}

std::string join(const std::string& root, const fs::path& relative) {
    std::string r = relative.generic_string();
    if (root.empty()) return r;
    return root.back() == '/' ? root + r : root + "/" + r;
}

void walk_directory(const std::string& root, const std::vector<std::string>& exclude, std::vector<Source>& out,
                    std::vector<std::string>& warnings) {
    std::vector<Source> found;
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::none, ec);
    if (ec) {
        out.push_back({root, root, "cannot read directory: " + ec.message()});
        return;
    }
    for (const fs::recursive_directory_iterator end; it != end;) {
        const fs::directory_entry& entry = *it;
        fs::path rel = entry.path().lexically_relative(root);
        std::string shown = join(root, rel);
        std::error_code type_ec;
        bool is_dir = entry.is_directory(type_ec) && !entry.is_symlink(type_ec);
        if (excluded(exclude, shown, rel.generic_string(), entry.path().filename().string())) {
            if (is_dir) it.disable_recursion_pending();
        } else if (!is_dir && wanted_file(entry.path())) {
            found.push_back({entry.path().string(), shown, {}});
        }
        it.increment(ec);
        if (ec) {
            // A subdirectory that cannot be listed is reported, and the walk
            // goes on with what it can still reach.
            found.push_back({shown, shown, "cannot read directory: " + ec.message()});
            ec.clear();
        }
    }
    if (found.empty()) warnings.push_back(root + ": no *.xml or *.xml.gz file found");
    std::sort(found.begin(), found.end(), [](const Source& a, const Source& b) { return a.shown < b.shown; });
    std::move(found.begin(), found.end(), std::back_inserter(out));
}

void add_path(const std::string& path, const std::vector<std::string>& exclude, std::vector<Source>& out,
              std::vector<std::string>& warnings) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
        walk_directory(path, exclude, out, warnings);
    else
        out.push_back({path, path, {}});
}

}  // namespace

std::vector<Source> expand_inputs(const std::vector<std::string>& args, const std::vector<std::string>& exclude,
                                  std::vector<std::string>& warnings) {
    std::vector<Source> out;
    for (const std::string& a : args) {
        if (a == "-") {
            out.push_back({{}, "<stdin>", {}});
            continue;
        }
        std::error_code ec;
        if (fs::exists(fs::symlink_status(a, ec)) || !has_glob_chars(a)) {
            add_path(a, exclude, out, warnings);
            continue;
        }
        glob_t g{};
        int rc = glob(a.c_str(), GLOB_ERR, nullptr, &g);
        if (rc == 0) {
            for (std::size_t i = 0; i < g.gl_pathc; ++i) {
                std::string p = g.gl_pathv[i];
                std::string base = fs::path(p).filename().string();
                if (!excluded(exclude, p, p, base)) add_path(p, exclude, out, warnings);
            }
        } else {
            out.push_back({a, a, rc == GLOB_NOMATCH ? "no file matches this pattern" : "cannot expand this pattern"});
        }
        globfree(&g);
    }
    return out;
}

StreamPtr open_stream(const std::string& path, std::string& error) {
    int fd = path.empty() ? dup(STDIN_FILENO) : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read file: " + std::string(std::strerror(errno));
        return nullptr;
    }
    struct stat st {};
    const bool known = fstat(fd, &st) == 0;
    if (known && S_ISDIR(st.st_mode)) {
        close(fd);
        error = "cannot read file: " + std::string(std::strerror(EISDIR));
        return nullptr;
    }
    gzFile gz = gzdopen(fd, "rb");
    if (!gz) {
        close(fd);
        error = "cannot read file: out of memory";
        return nullptr;
    }
    gzbuffer(gz, kChunk);
    StreamPtr s(new Stream);
    s->gz = gz;
    if (known && S_ISREG(st.st_mode) && st.st_size > 0) s->size_hint = static_cast<std::uint64_t>(st.st_size);
    return s;
}

namespace {

// zlib names the stream "<fd:N>" at the start of its messages; the caller
// names the input itself.
std::string zlib_message(const char* msg) {
    std::string_view m = msg ? msg : "corrupt data";
    if (m.substr(0, 4) == "<fd:") {
        std::size_t colon = m.find(": ");
        if (colon != std::string_view::npos) m.remove_prefix(colon + 2);
    }
    return std::string(m);
}

// Reads up to `want` bytes into `dst`; returns the count, 0 at the end, -1 on error.
long read_some(Stream& s, char* dst, unsigned want, std::string& error) {
    int n = gzread(s.gz, dst, want);
    if (n < 0) {
        int code = 0;
        const char* msg = gzerror(s.gz, &code);
        error = code == Z_ERRNO ? "cannot read file: " + std::string(std::strerror(errno))
                                : "cannot decompress: " + zlib_message(msg);
        return -1;
    }
    if (n == 0) {
        // gzread reports a truncated compressed stream only through gzerror.
        int code = 0;
        const char* msg = gzerror(s.gz, &code);
        if (code != Z_OK && code != Z_STREAM_END) {
            error = code == Z_ERRNO ? "cannot read file: " + std::string(std::strerror(errno))
                                    : "cannot decompress: " + zlib_message(msg);
            return -1;
        }
    }
    return n;
}

}  // namespace

bool read_all(Stream& s, std::uint64_t max_bytes, std::string& data, std::string& error) {
    data.clear();
    // Whatever next_line read ahead comes first.
    data.append(s.buffer, s.pos, std::string::npos);
    s.buffer.clear();
    s.pos = 0;
    // A plain file is read into one buffer of its size (and one more chunk,
    // to see its end); a compressed or piped one grows as it comes.
    if (s.size_hint > 0) data.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(s.size_hint, max_bytes + 1)) + kChunk);
    while (true) {
        if (data.size() > max_bytes) {
            error = too_large(max_bytes);
            return false;
        }
        std::size_t old = data.size();
        const std::size_t room = data.capacity() - old;
        const unsigned want = room > kChunk ? static_cast<unsigned>(std::min<std::size_t>(room, 1u << 30)) : kChunk;
        data.resize(old + want);
        long n = read_some(s, data.data() + old, want, error);
        if (n < 0) return false;
        data.resize(old + static_cast<std::size_t>(n));
        if (n == 0) break;
    }
    if (data.size() > max_bytes) {
        error = too_large(max_bytes);
        return false;
    }
    return true;
}

bool read_file(const std::string& path, std::uint64_t max_bytes, std::string& data, std::string& error) {
    StreamPtr s = open_stream(path, error);
    return s && read_all(*s, max_bytes, data, error);
}

LineStatus next_line(Stream& s, std::uint64_t max_bytes, std::string& line, std::string& error) {
    line.clear();
    bool too_long = false;
    while (true) {
        if (s.pos < s.buffer.size()) {
            const char* begin = s.buffer.data() + s.pos;
            const std::size_t avail = s.buffer.size() - s.pos;
            const void* nl = std::memchr(begin, '\n', avail);
            const std::size_t take = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - begin) : avail;
            if (!too_long) {
                if (line.size() + take > max_bytes) {
                    too_long = true;
                    line.clear();
                } else {
                    line.append(begin, take);
                }
            }
            s.pos += take + (nl ? 1 : 0);
            if (nl) break;
        }
        if (s.eof) {
            if (line.empty() && !too_long) return LineStatus::end;
            break;
        }
        s.buffer.resize(kChunk);
        s.pos = 0;
        long n = read_some(s, s.buffer.data(), kChunk, error);
        if (n < 0) {
            s.buffer.clear();
            return LineStatus::failed;
        }
        s.buffer.resize(static_cast<std::size_t>(n));
        if (n == 0) s.eof = true;
    }
    if (too_long) {
        line.clear();
        return LineStatus::too_long;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return LineStatus::line;
}

}  // namespace cli
