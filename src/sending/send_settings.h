#pragma once

#include "platform/platform.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillpost {

inline constexpr std::string_view kDefaultSpool = "note";
inline constexpr std::string_view kDefaultClientTitle = "zMUD";

// What the player chose for sending, shared by the commands for the whole run; nothing of it is
// ever saved.
struct SendSettings
{
    std::string noteSpool { kDefaultSpool }; // never ""
    // The title a client window is found by (exact, else a prefix), and the window the player
    // chose by clicking it, which is the client for the rest of the run until it closes.
    std::string clientTitle { kDefaultClientTitle };
    std::optional<WindowId> chosenClient;
};

} // namespace quillpost
