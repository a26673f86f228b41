#include "x11_key_planner.h"
#include "x11_spare_keys.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

// Xlib last: it defines None, Status, Bool and more as macros.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace quillpost::x11 {

namespace {

using namespace std::chrono_literals;

constexpr auto kBindWait = 500ms;
constexpr auto kPoll = 2ms;

// Enter is the Return key; a character's keysym is its code, in Latin-1 as in ASCII.
KeySym symbolOf(const KeyStroke &stroke)
{
    return stroke.isEnter() ? XK_Return
                            : static_cast<KeySym>(static_cast<unsigned char>(stroke.character));
}

Error unmappable(const KeyStroke &stroke, std::size_t position, std::string_view why)
{
    const std::string what = stroke.isEnter()
        ? std::string("The key Return")
        : std::string("The character \"") + stroke.character + "\"";
    return Error { ErrorKind::Unmappable, what + " cannot be typed: " + std::string(why),
        position };
}

// Wine gives a spare keycode no key of its own and reads it as some other key, so a line for Wine
// that needs one is refused whole, naming each character the map lacks once.
Error wineRefusal(std::string_view missing)
{
    std::string named;
    for (const char c : missing)
        named += std::string(named.empty() ? "" : " ")
            + (c == KeyStroke::kEnter ? "Return" : std::string(1, c));
    return Error { ErrorKind::Unmappable,
        "The client runs under Wine, which reads only the keys of the keyboard map, and no "
        "layout of this map has these characters: "
            + named
            + ". Add a layout that has them (a Latin one, for example: setxkbmap ru,us) and send "
              "again.",
        0 };
}

struct Slot
{
    unsigned keycode;
    int keyGroup;
    int level;
};

using SlotIndex = std::unordered_map<KeySym, std::vector<Slot>>;

// Keycodes in `skip` (spare keys bound for earlier lines) are left out: they are shared out again.
SlotIndex indexSlots(XkbDescPtr xkb, const std::vector<SpareKey> &skip)
{
    SlotIndex index;
    for (unsigned kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
        if (std::any_of(
                skip.begin(), skip.end(), [kc](const SpareKey &b) { return b.keycode == kc; }))
            continue;
        for (int g = 0; g < XkbKeyNumGroups(xkb, kc); ++g) {
            const int levels = XkbKeyKeyType(xkb, kc, g)->num_levels;
            for (int level = 0; level < levels; ++level) {
                const KeySym sym = XkbKeySymEntry(xkb, kc, level, g);
                if (sym != NoSymbol)
                    index[sym].push_back({ kc, g, level });
            }
        }
    }
    return index;
}

// The accent a dead key types before a space, for the characters that are accents.
KeySym deadKeyFor(KeySym sym)
{
    constexpr std::pair<KeySym, KeySym> kDead[] = { { XK_asciicircum, XK_dead_circumflex },
        { XK_grave, XK_dead_grave }, { XK_asciitilde, XK_dead_tilde },
        { XK_apostrophe, XK_dead_acute }, { XK_quotedbl, XK_dead_diaeresis } };
    for (const auto &[plain, dead] : kDead) {
        if (plain == sym)
            return dead;
    }
    return NoSymbol;
}

struct Held
{
    std::vector<unsigned> keys;
    unsigned state = 0;
};

class Planner
{
public:
    Planner(const Keyboard &keyboard, KeyReader reader, const std::vector<SpareKey> &spares)
        : keyboard_(keyboard),
          reader_(reader),
          xkb_(keyboard.map.get()),
          slots_(indexSlots(xkb_, spares))
    {
    }

    // A character typed as its dead key and a space, which gives the accent alone: Wine has no
    // key for a spare keycode.
    std::optional<Plan> asDeadKey(KeySym sym) const
    {
        const KeySym dead = deadKeyFor(sym);
        auto plan = dead ? onMap(dead) : std::nullopt;
        const auto space = plan ? onMap(XK_space) : std::nullopt;
        if (!space || !space->holdKeys.empty())
            return std::nullopt;
        plan->thenKey = space->keycode;
        return plan;
    }

    // The stroke typed through the map as it is; nullopt when the map has no key for it.
    std::optional<Plan> onMap(KeySym sym) const
    {
        const auto found = slots_.find(sym);
        if (found == slots_.end())
            return std::nullopt;
        using Score = std::tuple<bool, bool, bool, int, std::size_t, unsigned>;
        std::optional<std::pair<Score, Plan>> best;
        for (int group : groupOrder()) {
            for (const Slot &slot : found->second) {
                auto plan = planSlot(slot, group);
                if (!plan)
                    continue;
                const KeySym base = XkbKeySymEntry(xkb_, slot.keycode, 0, slot.keyGroup);
                const bool foreign
                    = reader_ == KeyReader::Wine && !keyboard_.typewriter.at(slot.keycode);
                const Score score { foreign, group != keyboard_.group, IsKeypadKey(base),
                    slot.level, plan->holdKeys.size(), slot.keycode };
                if (!best || score < best->first)
                    best.emplace(score, std::move(*plan));
            }
        }
        if (!best)
            return std::nullopt;
        return std::move(best->second);
    }

    // The stroke typed through the spare key `kc`, bound to give `sym`; nullopt while the map
    // does not show it there.
    std::optional<Plan> onSpareKey(unsigned kc, KeySym sym) const
    {
        const auto g = keyGroup(xkb_, kc, keyboard_.group);
        if (!g)
            return std::nullopt;
        // The server may reorder a key's symbols: a lone "A" becomes "a" and "A".
        for (int level = 0; level < XkbKeyGroupWidth(xkb_, kc, *g); ++level) {
            if (XkbKeySymEntry(xkb_, kc, level, *g) == sym)
                return planSlot(Slot { kc, *g, level }, keyboard_.group, true);
        }
        return std::nullopt;
    }

    // The stroke typed through a spare key, once one is bound: keycode and level come later.
    Plan onSpare(KeySym sym) const
    {
        Plan plan;
        plan.spareSym = sym;
        plan.group = keyboard_.group;
        return plan;
    }

private:
    std::vector<int> groupOrder() const
    {
        std::vector<int> order { keyboard_.group };
        for (int g = 0; g < keyboard_.groups; ++g) {
            if (g != keyboard_.group)
                order.push_back(g);
        }
        return order;
    }

    // A key from the modifier mapping that, pressed in `group` with `state` already held, sets
    // `bit` and nothing outside `allowed`. Mode_switch sits in the mapping too but switches the
    // group, hence the check of what the key does.
    std::optional<std::pair<unsigned, unsigned>> modifierKeyFor(
        unsigned bit, int group, unsigned state, unsigned allowed) const
    {
        for (unsigned kc = xkb_->min_key_code; kc <= xkb_->max_key_code; ++kc) {
            if (!(xkb_->map->modmap[kc] & bit))
                continue;
            const auto g = keyGroup(xkb_, kc, group);
            if (!g)
                continue;
            const unsigned mods = modifiersSetBy(xkb_, kc, *g, levelFor(xkb_, kc, *g, state));
            if ((mods & bit) && !(mods & ~allowed))
                return std::pair { kc, mods };
        }
        return std::nullopt;
    }

    std::optional<Plan> planSlot(const Slot &slot, int group, bool spare = false) const
    {
        const unsigned kc = slot.keycode;
        // A key that is itself a modifier, or does anything but type, would change the state;
        // a spare key is ours, bound for what it types.
        if (keyGroup(xkb_, kc, group) != slot.keyGroup || (!spare && xkb_->map->modmap[kc] != 0))
            return std::nullopt;
        if (!spare && actsAt(xkb_, kc, slot.keyGroup, slot.level))
            return std::nullopt;

        for (unsigned wanted : statesFor(xkb_, kc, slot.keyGroup, slot.level)) {
            Held held;
            // AltGr before Shift: a Level3 key can have a second level of its own (Multi_key).
            for (int bit = 7; bit >= 0; --bit) {
                const unsigned mask = 1u << bit;
                if (!(wanted & mask) || (held.state & mask))
                    continue;
                const auto key = modifierKeyFor(mask, group, held.state, wanted | held.state);
                if (!key)
                    break;
                held.keys.push_back(key->first);
                held.state |= key->second;
            }
            if ((held.state & wanted) != wanted
                || levelFor(xkb_, kc, slot.keyGroup, held.state) != slot.level)
                continue;
            Plan plan;
            plan.holdKeys = std::move(held.keys);
            plan.keycode = kc;
            plan.group = group;
            // Wine types with the AltGr, Alt and group of the last event it has read.
            plan.paced = reader_ == KeyReader::Wine
                && ((held.state & ~(ShiftMask | LockMask | ControlMask)) != 0
                    || group != keyboard_.group);
            return plan;
        }
        return std::nullopt;
    }

    const Keyboard &keyboard_;
    KeyReader reader_;
    XkbDescPtr xkb_;
    SlotIndex slots_;
};

// The highest keycode without symbols or modifiers: Wine gives it no virtual key, so it types
// nothing, yet Wine reads its events.
unsigned quietKey(const Keyboard &keyboard, const std::vector<SpareKey> &spares)
{
    XkbDescPtr xkb = keyboard.map.get();
    for (unsigned kc = xkb->max_key_code; kc > xkb->min_key_code; --kc) {
        const bool bound = std::any_of(
            spares.begin(), spares.end(), [kc](const SpareKey &b) { return b.keycode == kc; });
        if (!bound && XkbKeyNumGroups(xkb, kc) == 0 && xkb->map->modmap[kc] == 0)
            return kc;
    }
    return 0;
}

} // namespace

Result<LinePlan> planLine(
    _XDisplay *display, std::span<const KeyStroke> strokes, KeyReader reader, SpareKeys &spares)
{
    const Devices devices = keyboardDevices(display);
    auto keyboard = readKeyboard(display, devices);
    if (!keyboard)
        return keyboard.error();
    spares.forgetChanged(keyboard.value());

    // Map the whole line first: a line is typed whole or not at all.
    const Planner planner(keyboard.value(), reader, spares.bound());
    LinePlan line;
    std::vector<Plan> &plans = line.plans;
    bool needsSpares = false;
    std::string missing; // for Wine
    for (const KeyStroke &stroke : strokes) {
        const KeySym sym = symbolOf(stroke);
        auto plan = planner.onMap(sym);
        if (!plan && reader == KeyReader::Wine && !stroke.isEnter())
            plan = planner.asDeadKey(sym);
        if (!plan && reader == KeyReader::Wine) {
            if (missing.find(stroke.character) == std::string::npos)
                missing += stroke.character;
            continue;
        }
        if (!plan) {
            plan = planner.onSpare(sym);
            needsSpares = true;
        }
        plans.push_back(std::move(*plan));
    }
    if (!missing.empty())
        return wineRefusal(missing);
    if (reader == KeyReader::Wine)
        line.quietKey = quietKey(keyboard.value(), spares.bound());
    if (!needsSpares) {
        line.batches = { { plans.size(), {} } };
        return line;
    }
    const SparePool pool = findSpares(display, keyboard.value(), devices, spares.bound(), plans);
    if (pool.keycodes.empty()) {
        const auto first = std::find_if(
            plans.begin(), plans.end(), [](const Plan &p) { return p.spareSym != NoSymbol; });
        const std::size_t i = static_cast<std::size_t>(first - plans.begin());
        return unmappable(
            strokes[i], i, "the keyboard map has no key for it and no free keycode to put it on.");
    }
    line.batches = shareOut(plans, pool, spares.bound());
    line.usesSpares = true;
    return line;
}

Outcome planSpareStrokes(_XDisplay *display, std::span<const KeyStroke> strokes, KeyReader reader,
    LinePlan &line, std::size_t begin, std::size_t end)
{
    const auto deadline = std::chrono::steady_clock::now() + kBindWait;
    for (;;) {
        auto keyboard = readKeyboard(display, keyboardDevices(display));
        if (!keyboard)
            return keyboard.error();
        const Planner planner(keyboard.value(), reader, {});
        bool shown = true;
        for (std::size_t i = begin; i < end && shown; ++i) {
            Plan &plan = line.plans[i];
            if (plan.spareSym == NoSymbol)
                continue;
            auto typed = planner.onSpareKey(plan.keycode, symbolOf(strokes[i]));
            shown = typed.has_value();
            if (shown) {
                plan.holdKeys = std::move(typed->holdKeys);
                plan.keycode = typed->keycode;
                plan.group = typed->group;
                plan.paced = typed->paced;
            }
        }
        if (shown)
            return Ok {};
        if (std::chrono::steady_clock::now() >= deadline)
            return Error { ErrorKind::Typing,
                "The display did not take the keyboard map change that some characters of this "
                "line need." };
        std::this_thread::sleep_for(kPoll);
    }
}

} // namespace quillpost::x11
