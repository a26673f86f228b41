#pragma once

#include "platform/result.h"

#include <cstdint>
#include <memory>

namespace quillpost::wl {

// Which layout of the player's keyboard map KWin types fake keys with. The seat tells only the
// window with the keyboard; KWin's own keyboard service tells anyone on the session bus, and is
// there whenever the map has more than one layout.
class KdeLayouts
{
public:
    KdeLayouts();
    ~KdeLayouts();
    KdeLayouts(const KdeLayouts &) = delete;
    KdeLayouts &operator=(const KdeLayouts &) = delete;

    // The index of the layout in effect, counted as the keymap's groups are.
    Result<std::uint32_t> inEffect();

private:
    struct Bus;
    std::unique_ptr<Bus> bus_;
};

} // namespace quillpost::wl
