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

constexpr ClientHabits kMudlet { "Mudlet", ";;", kMudletEchoAliases,
    "In Mudlet, clear the command separator (Settings, Input line), and uninstall the echo "
    "package (Package Manager) or switch off its aliases; then every line goes out as it "
    "is." };

bool containsIgnoringCase(std::string_view text, std::string_view part)
{
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
        return std::tolower(a) == std::tolower(b);
    }) != text.end();
}

} // namespace

const ClientHabits *habitsOf(const WindowInfo &window)
{
    // Mudlet titles its window "<profile> - Mudlet <version>"; Qt names its class after it.
    if (containsIgnoringCase(window.windowClass, "mudlet")
        || containsIgnoringCase(window.title, " - Mudlet "))
        return &kMudlet;
    return nullptr;
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
