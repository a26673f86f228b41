#include "client_habits.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quillpost {
namespace {

// Mudlet's "echo" package, installed into every new profile; its patterns are not tied to the
// start of the line, so they take a note line wherever the word stands in it.
constexpr std::array<std::string_view, 4> kMudletEchoAliases { "`echo ", "`cecho ", "`decho ",
    "`hecho " };

constexpr ClientHabits kMudlet { "Mudlet", ";;", "", "", kMudletEchoAliases,
    "In Mudlet, clear the command separator (Settings, Input line), and uninstall the echo "
    "package (Package Manager) or switch off its aliases; then every line goes out as it "
    "is." };

// Each splits at its separator by default, and runs a part that starts with its command
// character as its own command: a note line could run a program on the player's machine.
constexpr ClientHabits kKildClient { "KildClient", "%;", "/", "", {},
    "In KildClient, clear the command separator (World, Edit, Input); then every line goes out "
    "as it is. Until then a part that starts with \"/\" runs as Perl in KildClient." };
constexpr ClientHabits kTinTin { "TinTin++", ";", "#", "\\", {},
    "In TinTin++, put #config {VERBATIM} {ON} in the file you start it with, or type it; then "
    "every line goes out as it is. Until then a part that starts with \"#\" runs as a TinTin++ "
    "command." };
constexpr ClientHabits kKbtin { "KBtin", ";", "#", "\\", {},
    "In KBtin, type #verbatim once connected, or put it after #session in the file you start it "
    "with; then every line goes out as it is. Until then a part that starts with \"#\" runs as "
    "a KBtin command." };

// How each shows itself: Mudlet titles its window "<profile> - Mudlet <version>" and Qt names
// its class after it; KildClient's title is "KildClient - <world>", with "(*) " before it while
// text arrives unseen; TinTin++ and KBtin retitle the terminal they run in.
struct KnownClient
{
    const ClientHabits *habits;
    std::string_view windowClass, title; // found in either; "" matches nothing
};
constexpr std::array<KnownClient, 4> kKnownClients { {
    { &kMudlet, "mudlet", " - Mudlet " },
    { &kKildClient, "kildclient", "KildClient" },
    { &kTinTin, "", "TinTin++" },
    { &kKbtin, "", "KBtin - " },
} };

bool containsIgnoringCase(std::string_view text, std::string_view part)
{
    return !part.empty()
        && std::search(text.begin(), text.end(), part.begin(), part.end(),
               [](char a, char b) { return std::tolower(a) == std::tolower(b); })
        != text.end();
}

} // namespace

const ClientHabits *habitsOf(const WindowInfo &window)
{
    for (const KnownClient &known : kKnownClients)
        if (containsIgnoringCase(window.windowClass, known.windowClass)
            || containsIgnoringCase(window.title, known.title))
            return known.habits;
    return nullptr;
}

std::string_view commandIn(const ClientHabits &client, std::string_view line)
{
    if (client.separator.empty() || client.command.empty())
        return {};
    // The part before the first separator holds the spool word, never a command.
    for (std::size_t at = line.find(client.separator); at != std::string_view::npos;) {
        const std::size_t start = at + client.separator.size();
        at = line.find(client.separator, start);
        std::string_view part = line.substr(start, at - start); // to the end when at is npos
        part.remove_prefix(std::min(part.find_first_not_of(' '), part.size()));
        if (part.starts_with(client.command))
            return part;
    }
    return {};
}

std::string_view aliasTaking(const ClientHabits &client, std::string_view line)
{
    for (std::string_view alias : client.aliases) {
        const std::size_t at = line.find(alias);
        if (at != std::string_view::npos && at + alias.size() < line.size())
            return alias;
    }
    return {};
}

} // namespace quillpost
