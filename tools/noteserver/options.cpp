#include "options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace quillpost::noteserver {

namespace {

constexpr int kMaxPulseMs = 60'000;

std::optional<int> parseNumber(std::string_view text, int lowest, int highest)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < lowest
        || value > highest)
        return std::nullopt;
    return value;
}

bool isPrintableWord(std::string_view word)
{
    return !word.empty() && std::ranges::all_of(word, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte < 0x7f;
    });
}

// A spool word must survive ROM's reading of the command word: it has to start with a letter
// or digit, or else ROM takes only its first character as the command.
std::optional<std::string> checkSpool(std::string_view word)
{
    if (!isPrintableWord(word))
        return "spool words are printable characters without blanks: '" + std::string(word) + "'";
    if (word.size() > 1 && !std::isalnum(static_cast<unsigned char>(word.front())))
        return "a spool word of more than one character starts with a letter or digit: '"
            + std::string(word) + "'";
    return std::nullopt;
}

std::vector<std::string> splitList(std::string_view list)
{
    std::vector<std::string> words;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        words.emplace_back(list.substr(start, comma - start));
        if (comma == std::string_view::npos)
            return words;
        start = comma + 1;
    }
}

} // namespace

std::string usage()
{
    return "usage: quillpost-noteserver [--port N] [--pulse-ms N] [--dump FILE]\n"
           "                            [--spools WORD,WORD,...] [--name NAME]\n"
           "  --port N           TCP port on 127.0.0.1 (default 4000; 0 picks a free one)\n"
           "  --pulse-ms N       time between pulses, one command per pulse (default 250)\n"
           "  --dump FILE        keep the note in progress in FILE, posted notes in FILE.posted\n"
           "  --spools LIST      the command words that write notes (default: note,idea,...)\n"
           "  --name NAME        the player's name, shown as the notes' sender (default Player)\n";
}

ParsedOptions parseOptions(const std::vector<std::string> &args)
{
    Options options;
    ParsedOptions out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = name.find('=');
            name.starts_with("--") && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        const auto fail = [&](std::string message) {
            out.error = std::move(message);
            return out;
        };
        const bool takesValue = name == "--port" || name == "--pulse-ms" || name == "--dump"
            || name == "--spools" || name == "--name";
        if (!takesValue && inlineValue)
            return fail(name + " takes no value");
        if (name == "--help" || name == "-h") {
            out.help = true;
            return out;
        }
        if (!takesValue)
            return fail("unknown argument '" + args[i] + "'");
        const std::optional<std::string> given = value();
        if (!given)
            return fail(name + " needs a value");
        if (name == "--port") {
            const auto port = parseNumber(*given, 0, 65535);
            if (!port)
                return fail("--port takes a number from 0 to 65535, not '" + *given + "'");
            options.port = *port;
        } else if (name == "--pulse-ms") {
            const auto ms = parseNumber(*given, 1, kMaxPulseMs);
            if (!ms)
                return fail("--pulse-ms takes a number from 1 to " + std::to_string(kMaxPulseMs)
                    + ", not '" + *given + "'");
            options.pulse = std::chrono::milliseconds(*ms);
        } else if (name == "--dump") {
            if (given->empty())
                return fail("--dump needs a file name");
            options.dumpPath = *given;
        } else if (name == "--spools") {
            options.spools = splitList(*given);
            for (const std::string &word : options.spools)
                if (auto problem = checkSpool(word))
                    return fail(*problem);
        } else if (name == "--name") {
            if (!isPrintableWord(*given))
                return fail("--name takes one word of printable characters, not '" + *given + "'");
            options.playerName = *given;
        }
    }
    out.options = std::move(options);
    return out;
}

} // namespace quillpost::noteserver
