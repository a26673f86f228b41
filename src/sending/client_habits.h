#pragma once

#include "platform/platform.h"

#include <span>
#include <string>
#include <string_view>

namespace quillpost {

// What a MUD client does with a typed line of its own accord, before the server sees it.
struct ClientHabits
{
    std::string_view name;
    // Splits a line there and sends the parts as commands of their own; "" for none.
    std::string_view separator;
    // A part that starts with this, blanks aside, runs as the client's own command; "" for none.
    std::string_view command;
    // Characters it reads as escapes wherever they stand, which changes the line; "" for none.
    std::string_view escapes;
    // Aliases that take a line holding one of these, followed by anything, and never send it.
    std::span<const std::string_view> aliases;
    std::string_view advice; // what the player switches off so that every line goes out
};

// The habits of the client that `window` belongs to, when it is one known to have any.
const ClientHabits *habitsOf(const WindowInfo &window);

// The first part of `line` that would run as the client's own command, or "" when none would.
std::string_view commandIn(const ClientHabits &client, std::string_view line);

// The alias that takes `line`, or "" when none does.
std::string_view aliasTaking(const ClientHabits &client, std::string_view line);

} // namespace quillpost
