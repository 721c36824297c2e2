// Standard output with every write checked, and the progress line on
// standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>

namespace cli {

struct Output {
    int write_errno = 0;  // errno of the first failed write; 0 while all is well
    bool stdout_tty = false;
    // Progress line: drawn on standard error when it is a terminal, for
    // batches that run longer than a second.
    bool progress = false;
    bool progress_visible = false;
    std::size_t total = 0;  // documents expected; 0 when unknown
    std::chrono::steady_clock::time_point start{};
    std::chrono::steady_clock::time_point last_draw{};
};

// Sets up buffering and terminal detection; `progress` asks for the line.
Output open_output(bool progress);

// Writes to standard output; false once any write has failed.
bool write_out(Output& o, std::string_view text);
// Writes to standard error (its failures cannot be reported anywhere).
void write_err(Output& o, std::string_view text);

// Flushes standard output; on failure prints "adsieve: write error: ..." and
// returns false.
bool finish_output(Output& o);

void progress_tick(Output& o, std::size_t done);
void progress_clear(Output& o);

bool is_terminal(int fd);
// Whether colour is wanted on standard output for --color auto: a terminal,
// TERM not "dumb" and NO_COLOR unset or empty.
bool auto_color();

}  // namespace cli
