// Where documents come from: files, directories, glob patterns and standard
// input, each read whole or as lines of JSON, gzip-compressed or not.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cli {

struct Source {
    std::string path;   // empty for standard input
    std::string shown;  // the name printed for it
    std::string error;  // set when the argument itself could not be used
};

// Expands the arguments in order: "-" is standard input, a directory is
// searched recursively for *.xml and *.xml.gz (sorted, skipping what matches
// an --exclude pattern), a pattern with * ? or [ is expanded, anything else is
// taken as a file name. A directory holding no document adds a warning.
std::vector<Source> expand_inputs(const std::vector<std::string>& args, const std::vector<std::string>& exclude,
                                  std::vector<std::string>& warnings);

// An open input, decompressed on the fly when it starts as gzip.
struct Stream;
struct StreamCloser {
    void operator()(Stream* s) const noexcept;
};
using StreamPtr = std::unique_ptr<Stream, StreamCloser>;

// Opens a file, or standard input for an empty path; on failure returns null
// and sets `error`.
StreamPtr open_stream(const std::string& path, std::string& error);

// Reads the whole stream; more than `max_bytes` (after decompression) is an
// error. Returns false and sets `error` on failure.
bool read_all(Stream& s, std::uint64_t max_bytes, std::string& data, std::string& error);

// A whole file (or standard input) at once.
bool read_file(const std::string& path, std::uint64_t max_bytes, std::string& data, std::string& error);

enum class LineStatus { line, end, too_long, failed };

// The next line without its line end. A line longer than `max_bytes` is
// skipped and reported as too_long; failed sets `error`.
LineStatus next_line(Stream& s, std::uint64_t max_bytes, std::string& line, std::string& error);

}  // namespace cli
