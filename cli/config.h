// The project config file, .adsieve.toml: the command's settings for a
// directory tree, found by walking up from the working directory.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "settings.h"

namespace cli {

constexpr std::string_view kConfigName = ".adsieve.toml";

// The nearest .adsieve.toml in the working directory or above it.
std::optional<std::string> find_config();

// Reads the file at `path` into `s`, skipping every key for which
// given_on_command_line(key) is true (the command line wins). Returns an
// empty text, or a reason naming the file, the line and the key.
std::string apply_config(const std::string& path, Settings& s,
                         const std::function<bool(std::string_view)>& given_on_command_line);

}  // namespace cli
