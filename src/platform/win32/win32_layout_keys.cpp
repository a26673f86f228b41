#include "win32_layout_keys.h"

#include "platform/send_keys.h"

#include <utility>
#include <vector>

namespace quillpost::win32 {
namespace {

// Modifiers, locks and the keypad, whose characters follow Num Lock, are never a character's key;
// VK_PACKET is no key at all.
bool characterKey(UINT key)
{
    return !(key >= VK_SHIFT && key <= VK_MENU) && key != VK_CAPITAL && key != VK_NUMLOCK
        && key != VK_SCROLL && !(key >= VK_NUMPAD0 && key <= VK_DIVIDE)
        && !(key >= VK_LSHIFT && key <= VK_RMENU) && key != VK_PACKET;
}

// The keys of the main block, by scan code: the rows of digits and letters, the space bar and the
// key beside the left Shift. Wine gives other keys of the X map virtual keys too, such as the
// keypad's "=" and "(" as OEM keys; a character is typed on the main block where it is there.
bool mainBlock(WORD scan)
{
    return (scan >= 0x02 && scan <= 0x0d) || (scan >= 0x10 && scan <= 0x1b)
        || (scan >= 0x1e && scan <= 0x29) || (scan >= 0x2b && scan <= 0x35) || scan == 0x39
        || scan == 0x56;
}

// Fewest modifiers first, so that a character two states give is typed with the simpler.
constexpr std::pair<bool, bool> kShiftStates[] = {
    { false, false },
    { true, false },
    { false, true },
    { true, true },
};

// Asks the layout what a press gives, as a program reading the key would. A dead key waits in this
// thread's keyboard state for the next press, as it would in the reader's.
class Probe
{
public:
    explicit Probe(HKL layout) : layout_(layout) { }

    // The characters the press gives after the presses before it; -1 for a dead key.
    int press(const KeyPress &p, std::wstring &out, bool capsLock = false) const
    {
        BYTE state[256] {};
        state[VK_CAPITAL] = capsLock ? 0x01 : 0;
        if (p.shift)
            state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
        if (p.altGr)
            state[VK_CONTROL] = state[VK_LCONTROL] = state[VK_MENU] = state[VK_RMENU] = 0x80;
        wchar_t buffer[8] {};
        const int n = ToUnicodeEx(p.key, p.scan, state, buffer, 8, 0, layout_);
        out.assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
        return n;
    }

    // Whether Caps Lock gives what `p` gives with the other Shift, and only then.
    bool capsFlips(const KeyPress &p, const std::wstring &typed, const KeyPress &space) const
    {
        if (p.altGr)
            return false;
        KeyPress other = p;
        other.shift = !p.shift;
        std::wstring locked, flipped;
        if (press(p, locked, true) < 0)
            settle(space);
        if (press(other, flipped, true) < 0)
            settle(space);
        return locked != typed && flipped == typed;
    }

    // Ends a dead key left waiting, so that it changes no later press.
    void settle(const KeyPress &space) const
    {
        std::wstring ignored;
        for (int i = 0; i < 4 && press(space, ignored) < 0; ++i) { }
    }

private:
    HKL layout_;
};

} // namespace

LayoutKeys::LayoutKeys(HKL layout) : layout_(layout)
{
    const Probe probe(layout);
    const KeyPress space { VK_SPACE,
        static_cast<WORD>(MapVirtualKeyExW(VK_SPACE, MAPVK_VK_TO_VSC, layout)) };
    const auto add = [&](const std::wstring &typed, std::initializer_list<KeyPress> presses) {
        if (typed.size() != 1 || typed[0] > 0x7e || !isPrintableAscii(static_cast<char>(typed[0])))
            return;
        Keys &keys = keys_[static_cast<std::size_t>(typed[0] - 0x20)];
        if (keys.count != 0)
            return;
        for (const KeyPress &p : presses)
            keys.presses[keys.count++] = p;
    };

    std::vector<KeyPress> dead, live;
    std::wstring typed;
    for (const bool main : { true, false }) {
        for (const auto &[shift, altGr] : kShiftStates) {
            for (UINT key = 1; key < 0xff; ++key) {
                const auto scan = static_cast<WORD>(MapVirtualKeyExW(key, MAPVK_VK_TO_VSC, layout));
                if (!characterKey(key) || scan == 0 || mainBlock(scan) != main)
                    continue;
                KeyPress p { static_cast<BYTE>(key), scan, shift, altGr };
                const int n = probe.press(p, typed);
                if (n < 0) {
                    dead.push_back(p);
                    probe.settle(space);
                } else if (n == 1) {
                    p.capsFlips = probe.capsFlips(p, typed, space);
                    live.push_back(p);
                    add(typed, { p });
                }
            }
        }
    }
    // What no key gives alone may come from a dead key and the key after it: on most layouts a
    // dead accent followed by a space types the accent itself.
    for (const KeyPress &d : dead) {
        for (const KeyPress &p : live) {
            if (probe.press(d, typed) >= 0)
                continue; // no longer dead: nothing waits
            if (probe.press(p, typed) < 0)
                probe.settle(space);
            else
                add(typed, { d, p });
        }
    }
}

std::span<const KeyPress> LayoutKeys::keysFor(char c) const
{
    if (!isPrintableAscii(c))
        return {};
    const Keys &keys = keys_[static_cast<std::size_t>(c - 0x20)];
    return { keys.presses.data(), keys.count };
}

} // namespace quillpost::win32
