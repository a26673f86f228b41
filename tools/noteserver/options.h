#pragma once

#include "rom_limits.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillpost::noteserver {

// Stock ROM's five spools, then those of Quillpost's Note Type menu not among them.
inline constexpr std::array<std::string_view, 14> kDefaultSpools { "note", "idea", "penalty",
    "news", "changes", "oocn", "qnote", "immn", "code", "storyn", "history", "anote", "background",
    "description" };

struct Options
{
    int port = 4000; // ROM's default; 0 lets the system pick a free one
    std::chrono::milliseconds pulse { 1000 / kPulsePerSecond };
    std::string dumpPath; // empty: write no files
    std::vector<std::string> spools { kDefaultSpools.begin(), kDefaultSpools.end() };
    std::string playerName = "Player";
};

struct ParsedOptions
{
    std::optional<Options> options; // none after --help or an error
    bool help = false;
    std::string error; // for the user, complete in itself
};

// `args` are the command-line arguments after the program name.
ParsedOptions parseOptions(const std::vector<std::string> &args);
std::string usage();

} // namespace quillpost::noteserver
