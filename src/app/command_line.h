#pragma once

#include "sending/send_settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillpost {

// The version the program reports, from the build.
std::string_view programVersion();

// What the command line asks for. Nothing else is read at start-up, and nothing is saved.
struct CommandLine
{
    enum class Action { Run, Help, Version, Refuse } action = Action::Run;
    std::string clientTitle { kDefaultClientTitle }; // the title the client window is found by
    std::string text; // Help and Version: for standard output; Refuse: for standard error
};

// `args` without the program name.
CommandLine parseCommandLine(const std::vector<std::string> &args);

} // namespace quillpost
