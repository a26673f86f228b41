#include "x11_key_planner.h"
#include "x11_spare_keys.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
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

KeySym keysymOf(NamedKey key)
{
    switch (key) {
    case NamedKey::Enter:
        return XK_Return;
    case NamedKey::Tab:
        return XK_Tab;
    case NamedKey::Backspace:
        return XK_BackSpace;
    case NamedKey::Delete:
        return XK_Delete;
    case NamedKey::Escape:
        return XK_Escape;
    case NamedKey::Insert:
        return XK_Insert;
    case NamedKey::Home:
        return XK_Home;
    case NamedKey::End:
        return XK_End;
    case NamedKey::PageUp:
        return XK_Prior;
    case NamedKey::PageDown:
        return XK_Next;
    case NamedKey::Left:
        return XK_Left;
    case NamedKey::Right:
        return XK_Right;
    case NamedKey::Up:
        return XK_Up;
    case NamedKey::Down:
        return XK_Down;
    case NamedKey::CapsLock:
        return XK_Caps_Lock;
    case NamedKey::NumLock:
        return XK_Num_Lock;
    case NamedKey::ScrollLock:
        return XK_Scroll_Lock;
    case NamedKey::Break:
        return XK_Break;
    case NamedKey::PrintScreen:
        return XK_Print;
    case NamedKey::Help:
        return XK_Help;
    case NamedKey::Add:
        return XK_KP_Add;
    case NamedKey::Subtract:
        return XK_KP_Subtract;
    case NamedKey::Multiply:
        return XK_KP_Multiply;
    case NamedKey::Divide:
        return XK_KP_Divide;
    case NamedKey::F1:
        return XK_F1;
    case NamedKey::F2:
        return XK_F2;
    case NamedKey::F3:
        return XK_F3;
    case NamedKey::F4:
        return XK_F4;
    case NamedKey::F5:
        return XK_F5;
    case NamedKey::F6:
        return XK_F6;
    case NamedKey::F7:
        return XK_F7;
    case NamedKey::F8:
        return XK_F8;
    case NamedKey::F9:
        return XK_F9;
    case NamedKey::F10:
        return XK_F10;
    case NamedKey::F11:
        return XK_F11;
    case NamedKey::F12:
        return XK_F12;
    case NamedKey::F13:
        return XK_F13;
    case NamedKey::F14:
        return XK_F14;
    case NamedKey::F15:
        return XK_F15;
    case NamedKey::F16:
        return XK_F16;
    }
    return NoSymbol;
}

bool isPrintableAscii(char c)
{
    return c >= 0x20 && c <= 0x7e;
}

std::string describe(const KeyStroke &stroke)
{
    if (!stroke.isCharacter()) {
        const char *name = XKeysymToString(keysymOf(stroke.named));
        return std::string("the key ") + (name ? name : "?");
    }
    if (isPrintableAscii(stroke.character))
        return std::string("the character \"") + stroke.character + "\"";
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(stroke.character));
    return std::string("the character ") + code;
}

Error unmappable(const KeyStroke &stroke, std::size_t position, std::string_view why)
{
    std::string message = describe(stroke);
    message[0] = 'T';
    return Error { ErrorKind::Unmappable, message + " cannot be typed: " + std::string(why),
        position };
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

// The key's own group that the keyboard's effective group selects, after the key's rule for
// groups it does not have.
std::optional<int> keyGroup(XkbDescPtr xkb, unsigned kc, int group)
{
    const int groups = XkbKeyNumGroups(xkb, kc);
    if (groups == 0)
        return std::nullopt;
    if (group < groups)
        return group;
    const unsigned info = XkbKeyGroupInfo(xkb, kc);
    switch (XkbOutOfRangeGroupAction(info)) {
    case XkbClampIntoRange:
        return groups - 1;
    case XkbRedirectIntoRange: {
        const int target = XkbOutOfRangeGroupNumber(info);
        return target < groups ? target : 0;
    }
    default:
        return group % groups;
    }
}

int levelFor(XkbDescPtr xkb, unsigned kc, int group, unsigned state)
{
    const XkbKeyTypePtr type = XkbKeyKeyType(xkb, kc, group);
    const unsigned relevant = state & type->mods.mask;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec &entry = type->map[i];
        if (entry.active && entry.mods.mask == relevant)
            return entry.level;
    }
    return 0;
}

// The modifier states that select `level`, fewest modifiers first.
std::vector<unsigned> statesFor(XkbDescPtr xkb, unsigned kc, int group, int level)
{
    std::vector<unsigned> states;
    if (level == 0)
        states.push_back(0);
    const XkbKeyTypePtr type = XkbKeyKeyType(xkb, kc, group);
    for (int i = 0; i < type->map_count; ++i) {
        if (type->map[i].active && type->map[i].level == level)
            states.push_back(type->map[i].mods.mask);
    }
    std::stable_sort(states.begin(), states.end(),
        [](unsigned a, unsigned b) { return std::popcount(a) < std::popcount(b); });
    return states;
}

const XkbAction *actionAt(XkbDescPtr xkb, unsigned kc, int group, int level)
{
    if (!XkbKeyHasActions(xkb, kc))
        return nullptr;
    return XkbKeyActionEntry(xkb, kc, level, group);
}

// The real modifiers a key sets while held, 0 unless its action is SetMods.
unsigned modifiersSetBy(XkbDescPtr xkb, unsigned kc, int group, int level)
{
    const XkbAction *action = actionAt(xkb, kc, group, level);
    if (!action || action->type != XkbSA_SetMods)
        return 0;
    if (action->mods.flags & XkbSA_UseModMapMods)
        return xkb->map->modmap[kc];
    unsigned mask = action->mods.real_mods;
    const unsigned virtualMods = XkbModActionVMods(&action->mods);
    for (int i = 0; i < XkbNumVirtualMods; ++i) {
        if (virtualMods & (1u << i))
            mask |= xkb->server->vmods[i];
    }
    return mask;
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
    Planner(const Keyboard &keyboard, Client client, const std::vector<SpareKey> &spares)
        : keyboard_(keyboard),
          client_(client),
          xkb_(keyboard.map.get()),
          slots_(indexSlots(xkb_, spares))
    {
    }

    // A character typed as its dead key and a space, which gives the accent alone: Wine has no
    // key for a spare keycode.
    std::optional<Plan> asDeadKey(KeySym sym) const
    {
        const KeySym dead = deadKeyFor(sym);
        auto plan = dead ? onMap(dead, 0, true) : std::nullopt;
        const auto space = plan ? onMap(XK_space, 0, true) : std::nullopt;
        if (!space || !space->holdKeys.empty())
            return std::nullopt;
        plan->thenKey = space->keycode;
        return plan;
    }

    // The stroke typed through the map as it is; nullopt when the map has no key for it.
    std::optional<Plan> onMap(KeySym sym, std::uint8_t modifiers, bool character) const
    {
        const auto found = slots_.find(sym);
        if (found == slots_.end())
            return std::nullopt;
        using Score = std::tuple<bool, bool, bool, int, std::size_t, unsigned>;
        std::optional<std::pair<Score, Plan>> best;
        for (int group : groupOrder()) {
            const auto requested = requestedKeys(modifiers, group);
            if (!requested)
                continue;
            for (const Slot &slot : found->second) {
                auto plan = planSlot(slot, group, *requested, character);
                if (!plan)
                    continue;
                const KeySym base = XkbKeySymEntry(xkb_, slot.keycode, 0, slot.keyGroup);
                const bool foreign
                    = client_ == Client::Wine && !keyboard_.typewriter.at(slot.keycode);
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
    std::optional<Plan> onSpareKey(
        unsigned kc, KeySym sym, std::uint8_t modifiers, bool character) const
    {
        const auto requested = requestedKeys(modifiers, keyboard_.group);
        const auto g = keyGroup(xkb_, kc, keyboard_.group);
        if (!requested || !g)
            return std::nullopt;
        // The server may reorder a key's symbols: a lone "A" becomes "a" and "A".
        for (int level = 0; level < XkbKeyGroupWidth(xkb_, kc, *g); ++level) {
            if (XkbKeySymEntry(xkb_, kc, level, *g) == sym)
                return planSlot(
                    Slot { kc, *g, level }, keyboard_.group, *requested, character, true);
        }
        return std::nullopt;
    }

    // The stroke typed through a spare key, once one is bound: keycode and level come later.
    std::optional<Plan> onSpare(KeySym sym, std::uint8_t modifiers) const
    {
        const auto requested = requestedKeys(modifiers, keyboard_.group);
        if (!requested)
            return std::nullopt;
        Plan plan;
        plan.holdKeys = requested->keys;
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

    // Ctrl, Alt and Shift asked for by the stroke, by their usual key names.
    std::optional<Held> requestedKeys(std::uint8_t modifiers, int group) const
    {
        static constexpr std::pair<std::uint8_t, std::array<KeySym, 3>> kKeys[] = {
            { kCtrl, { XK_Control_L, XK_Control_R, NoSymbol } },
            { kAlt, { XK_Alt_L, XK_Alt_R, XK_Meta_L } },
            { kShift, { XK_Shift_L, XK_Shift_R, NoSymbol } },
        };
        Held held;
        for (const auto &[modifier, syms] : kKeys) {
            if (!(modifiers & modifier))
                continue;
            bool pressed = false;
            for (KeySym sym : syms) {
                if (const auto key = modifierKeyWithSym(sym, group, held.state)) {
                    held.keys.push_back(key->first);
                    held.state |= key->second;
                    pressed = true;
                    break;
                }
            }
            if (!pressed)
                return std::nullopt;
        }
        return held;
    }

    std::optional<std::pair<unsigned, unsigned>> modifierKeyWithSym(
        KeySym sym, int group, unsigned state) const
    {
        const auto found = slots_.find(sym);
        if (found == slots_.end())
            return std::nullopt;
        for (const Slot &slot : found->second) {
            if (keyGroup(xkb_, slot.keycode, group) != slot.keyGroup
                || levelFor(xkb_, slot.keycode, slot.keyGroup, state) != slot.level)
                continue;
            if (const unsigned mods = modifiersSetBy(xkb_, slot.keycode, slot.keyGroup, slot.level))
                return std::pair { slot.keycode, mods };
        }
        return std::nullopt;
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

    std::optional<Plan> planSlot(const Slot &slot, int group, const Held &requested, bool character,
        bool spare = false) const
    {
        const unsigned kc = slot.keycode;
        // A key that is itself a modifier, or does anything but type, would change the state;
        // a spare key was bound for what it does (Caps_Lock toggles the lock).
        if (keyGroup(xkb_, kc, group) != slot.keyGroup || (!spare && xkb_->map->modmap[kc] != 0))
            return std::nullopt;
        if (const XkbAction *action = actionAt(xkb_, kc, slot.keyGroup, slot.level);
            !spare && action && action->type != XkbSA_NoAction)
            return std::nullopt;

        for (unsigned wanted : statesFor(xkb_, kc, slot.keyGroup, slot.level)) {
            Held held = requested;
            unsigned levelState = 0;
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
                levelState |= key->second;
            }
            // A named key is pressed with the modifiers asked for on top ("+{TAB}" is Shift+Tab,
            // whatever that gives); a character must arrive as that character.
            const unsigned checkState = character ? held.state : levelState;
            if ((held.state & wanted) != wanted
                || levelFor(xkb_, kc, slot.keyGroup, checkState) != slot.level)
                continue;
            Plan plan;
            plan.holdKeys = std::move(held.keys);
            plan.keycode = kc;
            plan.group = group;
            // Wine types with the AltGr, Alt and group of the last event it has read.
            plan.paced = client_ == Client::Wine
                && ((held.state & ~(ShiftMask | LockMask | ControlMask)) != 0
                    || group != keyboard_.group);
            return plan;
        }
        return std::nullopt;
    }

    const Keyboard &keyboard_;
    Client client_;
    XkbDescPtr xkb_;
    SlotIndex slots_;
};

// The symbol a stroke types, and the modifiers asked for on top of it. Shift is part of a
// character already; only Ctrl and Alt come on top.
std::pair<KeySym, std::uint8_t> symbolOf(const KeyStroke &stroke)
{
    if (!stroke.isCharacter())
        return { keysymOf(stroke.named), stroke.modifiers };
    return { static_cast<KeySym>(static_cast<unsigned char>(stroke.character)),
        static_cast<std::uint8_t>(stroke.modifiers & (kCtrl | kAlt)) };
}

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

Outcome checkCharacters(const std::vector<KeyStroke> &strokes)
{
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        if (strokes[i].isCharacter() && !isPrintableAscii(strokes[i].character))
            return unmappable(strokes[i], i, "only printable ASCII characters can be typed.");
    }
    return Ok {};
}

Result<LinePlan> planLine(
    _XDisplay *display, const std::vector<KeyStroke> &strokes, Client client, SpareKeys &spares)
{
    const Devices devices = keyboardDevices(display);
    auto keyboard = readKeyboard(display, devices);
    if (!keyboard)
        return keyboard.error();
    spares.forgetChanged(keyboard.value());

    // Map the whole line first: a line is typed whole or not at all.
    const Planner planner(keyboard.value(), client, spares.bound());
    LinePlan line;
    line.device = keyboard->device;
    std::vector<Plan> &plans = line.plans;
    bool needsSpares = false;
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        const KeyStroke &stroke = strokes[i];
        const auto [sym, modifiers] = symbolOf(stroke);
        auto plan = planner.onMap(sym, modifiers, stroke.isCharacter());
        if (!plan && client == Client::Wine && stroke.isCharacter() && modifiers == 0)
            plan = planner.asDeadKey(sym);
        if (!plan) {
            plan = planner.onSpare(sym, modifiers);
            if (!plan)
                return unmappable(stroke, i, "the keyboard map has no Ctrl or Alt key.");
            needsSpares = true;
        }
        plan->togglesLock = !stroke.isCharacter()
            && (stroke.named == NamedKey::CapsLock || stroke.named == NamedKey::NumLock
                || stroke.named == NamedKey::ScrollLock);
        plans.push_back(std::move(*plan));
    }
    if (client == Client::Wine)
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

Outcome planSpareStrokes(_XDisplay *display, const std::vector<KeyStroke> &strokes, Client client,
    LinePlan &line, std::size_t begin, std::size_t end)
{
    const auto deadline = std::chrono::steady_clock::now() + kBindWait;
    for (;;) {
        auto keyboard = readKeyboard(display, keyboardDevices(display));
        if (!keyboard)
            return keyboard.error();
        const Planner planner(keyboard.value(), client, {});
        bool shown = true;
        for (std::size_t i = begin; i < end && shown; ++i) {
            Plan &plan = line.plans[i];
            if (plan.spareSym == NoSymbol)
                continue;
            const auto [sym, modifiers] = symbolOf(strokes[i]);
            auto typed = planner.onSpareKey(plan.keycode, sym, modifiers, strokes[i].isCharacter());
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
