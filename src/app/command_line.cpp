#include "command_line.h"

#include <quillpost_version.h>

namespace quillpost {
namespace {

constexpr std::string_view kUsage = "Usage: quillpost [--client TITLE]\n";

constexpr std::string_view kHelp
    = "Types a text file into your MUD client's window, one line per tick, as lines of a note\n"
      "in a ROM 2.4 style MUD's note spool.\n"
      "\n"
      "  --client TITLE  find the client by this window title: the exact title, else one that\n"
      "                  begins with it, ignoring case (\"zMUD\" unless given). Options, Choose\n"
      "                  Client Window... picks the window by clicking it instead.\n"
      "  --help          show this help and exit\n"
      "  --version       show the version and exit\n";

CommandLine refuse(const std::string &why)
{
    return { CommandLine::Action::Refuse, {},
        "quillpost: " + why + "\n" + std::string(kUsage) + "Try 'quillpost --help'.\n" };
}

} // namespace

std::string_view programVersion()
{
    return QUILLPOST_VERSION;
}

CommandLine parseCommandLine(const std::vector<std::string> &args)
{
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h")
            return { CommandLine::Action::Help, {}, std::string(kUsage) + std::string(kHelp) };
        if (arg == "--version")
            return { CommandLine::Action::Version, {},
                "quillpost " + std::string(programVersion()) + "\n" };
        std::string title;
        if (arg == "--client") {
            if (++i == args.size())
                return refuse("--client needs a window title");
            title = args[i];
        } else if (arg.starts_with("--client=")) {
            title = arg.substr(9);
        } else {
            return refuse("unknown argument '" + arg + "'");
        }
        // An empty title would match every window.
        if (title.empty())
            return refuse("--client needs a window title that is not empty");
        line.clientTitle = title;
    }
    return line;
}

} // namespace quillpost
