#pragma once

#include <optional>
#include <string_view>
#include <vector>

struct _XDisplay;

namespace quillpost::bench {

// The least work XTest typing can do, as the yardstick for real typists: keycodes looked up
// before the clock starts, a press and a release per character with Shift around the shifted
// ones, Return, and one XSync for the whole line. It knows nothing of layouts beyond the first
// two levels of the map, of dead keys, held modifiers or focus.
class XTestFloor
{
public:
    // nullopt when a character is not on the first two levels of the server's map.
    static std::optional<XTestFloor> forLine(_XDisplay *display, std::string_view line);

    void type(_XDisplay *display) const;

private:
    struct Key
    {
        unsigned keycode;
        bool shift;
    };
    std::vector<Key> keys_;
    unsigned shift_ = 0;
};

} // namespace quillpost::bench
