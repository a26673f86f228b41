#include "x11_typist.h"
#include "x11_windows.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstdio>
#include <memory>
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
#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace quillpost::x11 {

namespace {

using namespace std::chrono_literals;

// Spare keycodes bound at one time. Every binding makes each X client re-read the map, and only
// a layout that lacks a whole alphabet needs more than this for one line.
constexpr std::size_t kSparePool = 16;
constexpr auto kBindWait = 500ms;
// XSync returns once the server has sent the keys, not once the client has read them; a client
// looks each key up in the map it fetches when it gets there. So a spare key used for a line is
// rebound or restored only after this grace period, or it could arrive as the wrong character.
// xterm reads a line within 10 ms on an idle machine (up to 200 ms with six servers busy on two
// cores); this is ten times the idle figure, paid only by lines that need spare keys.
constexpr auto kClientGrace = 100ms;
constexpr auto kReleaseWait = 300ms;
constexpr auto kPoll = 2ms;

struct XFreeDeleter
{
    void operator()(void *p) const
    {
        if (p)
            XFree(p);
    }
};

struct KeyboardDeleter
{
    void operator()(XkbDescPtr p) const { XkbFreeKeyboard(p, 0, True); }
};
using Keymap = std::unique_ptr<XkbDescRec, KeyboardDeleter>;

struct ModifierMapDeleter
{
    void operator()(XModifierKeymap *p) const { XFreeModifiermap(p); }
};

struct DeviceListDeleter
{
    void operator()(XDeviceInfo *p) const { XFreeDeviceList(p); }
};

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

// The keyboards the server knows, and the one whose map XTest events are read with.
struct Devices
{
    unsigned xtest = XkbUseCoreKbd;
    std::vector<unsigned> keyboards;
};

Devices keyboardDevices(Display *d)
{
    Devices found;
    int opcode = 0, event = 0, error = 0;
    if (!XQueryExtension(d, "XInputExtension", &opcode, &event, &error))
        return found;
    int count = 0;
    std::unique_ptr<XDeviceInfo, DeviceListDeleter> list(XListInputDevices(d, &count));
    bool exact = false;
    for (int i = 0; list && i < count; ++i) {
        const XDeviceInfo &device = list.get()[i];
        if (device.use != IsXExtensionKeyboard || !device.name)
            continue;
        found.keyboards.push_back(static_cast<unsigned>(device.id));
        const std::string_view name = device.name;
        // With several master keyboards each has an XTEST device; the core one is ours.
        if (name == "Virtual core XTEST keyboard") {
            found.xtest = static_cast<unsigned>(device.id);
            exact = true;
        } else if (!exact && name.ends_with(" XTEST keyboard")) {
            found.xtest = static_cast<unsigned>(device.id);
        }
    }
    return found;
}

Keymap readKeymap(Display *d, unsigned device, unsigned parts)
{
    ErrorTrap trap(d);
    Keymap map(XkbGetMap(d, parts, device));
    if (trap.failed())
        return nullptr;
    return map;
}

// Everything about the XTest keyboard that a line is planned against.
struct Keyboard
{
    Keymap map;
    unsigned device = XkbUseCoreKbd;
    int group = 0; // the group typing starts in: the user's locked group
    int groups = 1; // groups the map has
};

struct Slot
{
    unsigned keycode;
    int keyGroup;
    int level;
};

using SlotIndex = std::unordered_map<KeySym, std::vector<Slot>>;

SlotIndex indexSlots(XkbDescPtr xkb)
{
    SlotIndex index;
    for (unsigned kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
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

// One stroke, ready to send: keys to hold, the key itself, and the group to type it in.
struct Plan
{
    std::vector<unsigned> holdKeys; // pressed in this order, released in reverse
    unsigned keycode = 0; // for a spare key: filled in when the pool is shared out
    KeySym spareSym = NoSymbol; // set when the stroke goes through a spare key
    int group = 0;
    bool togglesLock = false;
};

struct Held
{
    std::vector<unsigned> keys;
    unsigned state = 0;
};

class Planner
{
public:
    explicit Planner(const Keyboard &keyboard)
        : keyboard_(keyboard), xkb_(keyboard.map.get()), slots_(indexSlots(xkb_))
    {
    }

    // The stroke typed through the map as it is; nullopt when the map has no key for it.
    std::optional<Plan> onMap(KeySym sym, std::uint8_t modifiers, bool character) const
    {
        const auto found = slots_.find(sym);
        if (found == slots_.end())
            return std::nullopt;
        using Score = std::tuple<bool, bool, int, std::size_t, unsigned>;
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
                const Score score { group != keyboard_.group, IsKeypadKey(base), slot.level,
                    plan->holdKeys.size(), slot.keycode };
                if (!best || score < best->first)
                    best.emplace(score, std::move(*plan));
            }
        }
        if (!best)
            return std::nullopt;
        return std::move(best->second);
    }

    // The stroke typed through a spare key, which produces `sym` at every level of every group.
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

    std::optional<Plan> planSlot(
        const Slot &slot, int group, const Held &requested, bool character) const
    {
        const unsigned kc = slot.keycode;
        // A key that is itself a modifier, or does anything but type, would change the state.
        if (keyGroup(xkb_, kc, group) != slot.keyGroup || xkb_->map->modmap[kc] != 0)
            return std::nullopt;
        if (const XkbAction *action = actionAt(xkb_, kc, slot.keyGroup, slot.level);
            action && action->type != XkbSA_NoAction)
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
            return plan;
        }
        return std::nullopt;
    }

    const Keyboard &keyboard_;
    XkbDescPtr xkb_;
    SlotIndex slots_;
};

// Keycodes no keyboard uses, with the core map's (empty) contents to put back.
struct SparePool
{
    std::vector<unsigned> keycodes;
    int symsPerKeycode = 0;
};

SparePool findSpares(Display *d, const Keyboard &keyboard, const Devices &devices)
{
    SparePool pool;
    int minKc = 0, maxKc = 0;
    XDisplayKeycodes(d, &minKc, &maxKc);
    std::unique_ptr<KeySym, XFreeDeleter> core(XGetKeyboardMapping(
        d, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &pool.symsPerKeycode));
    if (!core || pool.symsPerKeycode <= 0)
        return pool;

    // A per-device layout can give a key to one keyboard only; such a key is not spare.
    std::vector<Keymap> others;
    for (unsigned device : devices.keyboards) {
        if (device != keyboard.device) {
            if (auto map = readKeymap(d, device, XkbKeySymsMask))
                others.push_back(std::move(map));
        }
    }
    auto usedBy = [](const Keymap &map, unsigned kc) {
        return kc >= map->min_key_code && kc <= map->max_key_code && XkbKeyNumGroups(map.get(), kc);
    };

    XkbDescPtr xkb = keyboard.map.get();
    // From the top: the highest keycodes are the least likely to be on a real keyboard.
    for (int kc = maxKc; kc >= minKc && pool.keycodes.size() < kSparePool; --kc) {
        const auto k = static_cast<unsigned>(kc);
        if (usedBy(keyboard.map, k) || (k <= xkb->max_key_code && xkb->map->modmap[k]))
            continue;
        const KeySym *syms = core.get() + (kc - minKc) * pool.symsPerKeycode;
        if (std::any_of(syms, syms + pool.symsPerKeycode, [](KeySym s) { return s != NoSymbol; }))
            continue;
        if (std::any_of(
                others.begin(), others.end(), [&](const Keymap &m) { return usedBy(m, k); }))
            continue;
        pool.keycodes.push_back(k);
    }
    return pool;
}

using Binding = std::pair<unsigned, KeySym>;

// Strokes [previous end, end) are typed after `binds` are made.
struct Batch
{
    std::size_t end = 0;
    std::vector<Binding> binds;
};

// Shares the pool out among the strokes that need a spare key. A key keeps its symbol for as
// long as possible; when every key is taken within one batch, the next batch starts and the
// least recently used keys are rebound.
std::vector<Batch> shareOut(std::vector<Plan> &plans, const SparePool &pool)
{
    const std::size_t n = pool.keycodes.size();
    std::vector<KeySym> bound(n, NoSymbol);
    std::vector<std::size_t> lastUse(n, 0);
    std::vector<bool> inBatch(n, false);
    std::vector<Batch> batches(1);
    for (std::size_t i = 0; i < plans.size(); ++i) {
        Plan &plan = plans[i];
        if (plan.spareSym == NoSymbol)
            continue;
        auto slot = std::find(bound.begin(), bound.end(), plan.spareSym) - bound.begin();
        if (static_cast<std::size_t>(slot) == n) {
            if (std::find(inBatch.begin(), inBatch.end(), false) == inBatch.end()) {
                batches.back().end = i;
                batches.emplace_back();
                std::fill(inBatch.begin(), inBatch.end(), false);
            }
            slot = -1;
            for (std::size_t j = 0; j < n; ++j) {
                if (!inBatch[j] && (slot < 0 || lastUse[j] < lastUse[slot]))
                    slot = static_cast<std::ptrdiff_t>(j);
            }
            bound[slot] = plan.spareSym;
            batches.back().binds.emplace_back(pool.keycodes[slot], plan.spareSym);
        }
        inBatch[slot] = true;
        lastUse[slot] = i + 1;
        plan.keycode = pool.keycodes[slot];
    }
    batches.back().end = plans.size();
    return batches;
}

// Everything a line changes on the keyboard, undone on every path: keys we hold are released,
// spare keycodes get their old contents back, locks and group return to what the user had.
class LineGuard
{
public:
    LineGuard(Display *d, const Keyboard &keyboard) : d_(d), keyboard_(keyboard) { }
    ~LineGuard() { restore(); }
    LineGuard(const LineGuard &) = delete;
    LineGuard &operator=(const LineGuard &) = delete;

    void press(unsigned kc)
    {
        XTestFakeKeyEvent(d_, kc, True, CurrentTime);
        down_.push_back(kc);
    }

    void release(unsigned kc)
    {
        XTestFakeKeyEvent(d_, kc, False, CurrentTime);
        if (const auto it = std::find(down_.rbegin(), down_.rend(), kc); it != down_.rend())
            down_.erase(std::next(it).base());
    }

    // Caps Lock, Num Lock and latched modifiers would change what the keys give, so they are
    // off for the line.
    void clearLocks()
    {
        XkbStateRec state {};
        XkbGetState(d_, XkbUseCoreKbd, &state);
        lockedBefore_ = state.locked_mods;
        groupBefore_ = state.locked_group;
        saved_ = true;
        if (state.locked_mods)
            XkbLockModifiers(d_, XkbUseCoreKbd, state.locked_mods, 0);
        if (state.latched_mods)
            XkbLatchModifiers(d_, XkbUseCoreKbd, state.latched_mods, 0);
        if (state.latched_group)
            XkbLatchGroup(d_, XkbUseCoreKbd, 0);
        group_ = state.locked_group;
    }

    void useGroup(int group)
    {
        if (group != group_)
            XkbLockGroup(d_, XkbUseCoreKbd, static_cast<unsigned>(group));
        group_ = group;
    }

    // A lock key in the line is meant to toggle the lock for the user, not for the rest of the
    // line: note what it changed, hand it back at the end, and type on unlocked.
    void takeToggledLocks()
    {
        XkbStateRec state {};
        XkbGetState(d_, XkbUseCoreKbd, &state);
        toggled_ ^= state.locked_mods;
        if (state.locked_mods)
            XkbLockModifiers(d_, XkbUseCoreKbd, state.locked_mods, 0);
    }

    Outcome bind(const std::vector<Binding> &binds, int symsPerKeycode)
    {
        std::vector<std::pair<unsigned, std::vector<KeySym>>> keys;
        for (const auto &[kc, sym] : binds) {
            if (std::none_of(bound_.begin(), bound_.end(), [kc](unsigned b) { return b == kc; }))
                bound_.push_back(kc);
            // Every slot: the key gives the symbol whatever group and level are active.
            keys.emplace_back(kc, std::vector<KeySym>(symsPerKeycode, sym));
        }
        symsPerKeycode_ = symsPerKeycode;
        change(keys);
        return waitForMap(binds);
    }

    void restore()
    {
        if (restored_)
            return;
        restored_ = true;
        for (auto it = down_.rbegin(); it != down_.rend(); ++it)
            XTestFakeKeyEvent(d_, *it, False, CurrentTime);
        down_.clear();
        XSync(d_, False);
        if (!bound_.empty()) {
            std::this_thread::sleep_for(kClientGrace);
            std::vector<std::pair<unsigned, std::vector<KeySym>>> keys;
            for (unsigned kc : bound_)
                keys.emplace_back(kc, std::vector<KeySym>(symsPerKeycode_, NoSymbol));
            change(keys);
        }
        if (saved_) {
            const unsigned locked = lockedBefore_ ^ toggled_;
            XkbLockModifiers(d_, XkbUseCoreKbd, 0xff, locked);
            XkbLockGroup(d_, XkbUseCoreKbd, static_cast<unsigned>(groupBefore_));
        }
        XSync(d_, False);
    }

private:
    // One request per run of neighbouring keycodes: each request makes every client re-read.
    void change(std::vector<std::pair<unsigned, std::vector<KeySym>>> keys)
    {
        std::sort(keys.begin(), keys.end());
        for (std::size_t i = 0; i < keys.size();) {
            std::size_t j = i + 1;
            while (j < keys.size() && keys[j].first == keys[j - 1].first + 1)
                ++j;
            std::vector<KeySym> syms;
            for (std::size_t k = i; k < j; ++k)
                syms.insert(syms.end(), keys[k].second.begin(), keys[k].second.end());
            XChangeKeyboardMapping(d_, static_cast<int>(keys[i].first), symsPerKeycode_,
                syms.data(), static_cast<int>(j - i));
            i = j;
        }
    }

    Outcome waitForMap(const std::vector<Binding> &binds)
    {
        const auto deadline = std::chrono::steady_clock::now() + kBindWait;
        for (;;) {
            const Keymap map = readKeymap(d_, keyboard_.device, XkbKeySymsMask);
            const bool shown
                = map && std::all_of(binds.begin(), binds.end(), [&](const Binding &b) {
                      return XkbKeyNumGroups(map.get(), b.first) > 0
                          && XkbKeySymEntry(map.get(), b.first, 0, 0) == b.second;
                  });
            if (shown)
                return Ok {};
            if (std::chrono::steady_clock::now() >= deadline)
                return Error { ErrorKind::Typing,
                    "The display did not take the keyboard map change that some "
                    "characters of this line need." };
            std::this_thread::sleep_for(kPoll);
        }
    }

    Display *d_;
    const Keyboard &keyboard_;
    std::vector<unsigned> down_;
    std::vector<unsigned> bound_;
    int symsPerKeycode_ = 0;
    bool saved_ = false;
    unsigned lockedBefore_ = 0;
    int groupBefore_ = 0;
    int group_ = 0;
    unsigned toggled_ = 0;
    bool restored_ = false;
};

std::vector<unsigned> modifierKeys(Display *d)
{
    std::unique_ptr<XModifierKeymap, ModifierMapDeleter> modmap(XGetModifierMapping(d));
    std::vector<unsigned> keys;
    for (int i = 0; modmap && i < 8 * modmap->max_keypermod; ++i) {
        if (modmap->modifiermap[i] != 0)
            keys.push_back(modmap->modifiermap[i]);
    }
    return keys;
}

std::vector<unsigned> keysDown(Display *d, const std::vector<unsigned> &among)
{
    char keys[32] = {};
    XQueryKeymap(d, keys);
    std::vector<unsigned> down;
    for (unsigned kc : among) {
        if (kc < 256 && (keys[kc / 8] & (1 << (kc % 8)))
            && std::find(down.begin(), down.end(), kc) == down.end())
            down.push_back(kc);
    }
    return down;
}

// Shift or AltGr held by the user would change what arrives, and a key the line needs that is
// already down (xdotool holds a key for as long as a finger would) would swallow our press:
// the server drops a press of a key the XTest device holds, and our release would then end the
// other hold. So such keys are released first. Nothing is pressed back afterwards: the user may
// have let go meanwhile, and a key pressed back then would stay down; the keyboard's next event
// sets the state right by itself. XTest can only release what an XTest client pressed, so a
// modifier held on a real keyboard stays down, and the line is refused rather than typed wrong.
Outcome releaseHeldKeys(Display *d, std::vector<unsigned> needed)
{
    const std::vector<unsigned> modifiers = modifierKeys(d);
    needed.insert(needed.end(), modifiers.begin(), modifiers.end());
    auto held = keysDown(d, needed);
    for (unsigned kc : held)
        XTestFakeKeyEvent(d, kc, False, CurrentTime);
    const auto deadline = std::chrono::steady_clock::now() + kReleaseWait;
    for (;;) {
        XSync(d, False);
        held = keysDown(d, modifiers);
        if (held.empty())
            return Ok {};
        if (std::chrono::steady_clock::now() >= deadline) {
            const char *name = XKeysymToString(XkbKeycodeToKeysym(d, held.front(), 0, 0));
            return Error { ErrorKind::Typing,
                std::string("The ") + (name ? name : "modifier")
                    + " key is held down; the line was not typed." };
        }
        std::this_thread::sleep_for(kPoll);
    }
}

// While it lives no other program's requests are served, so the focus cannot move between the
// check and the keys.
class ServerGrab
{
public:
    // Synced: a grab still in Xlib's buffer holds nobody off.
    explicit ServerGrab(Display *d) : d_(d)
    {
        XGrabServer(d_);
        XSync(d_, False);
    }
    ~ServerGrab()
    {
        XUngrabServer(d_);
        XFlush(d_);
    }
    ServerGrab(const ServerGrab &) = delete;
    ServerGrab &operator=(const ServerGrab &) = delete;

private:
    Display *d_;
};

Result<Keyboard> readKeyboard(Display *d, const Devices &devices)
{
    constexpr unsigned kParts = XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask
        | XkbModifierMapMask | XkbVirtualModsMask;
    Keyboard keyboard;
    keyboard.device = devices.xtest;
    keyboard.map = readKeymap(d, devices.xtest, kParts);
    if (!keyboard.map && devices.xtest != XkbUseCoreKbd) {
        keyboard.device = XkbUseCoreKbd;
        keyboard.map = readKeymap(d, XkbUseCoreKbd, kParts);
    }
    if (!keyboard.map || !keyboard.map->map || !keyboard.map->map->modmap)
        return Error { ErrorKind::Typing, "The keyboard map could not be read from the display." };

    XkbDescPtr xkb = keyboard.map.get();
    for (unsigned kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc)
        keyboard.groups = std::max(keyboard.groups, static_cast<int>(XkbKeyNumGroups(xkb, kc)));
    XkbStateRec state {};
    XkbGetState(d, XkbUseCoreKbd, &state);
    keyboard.group = std::clamp(static_cast<int>(state.locked_group), 0, keyboard.groups - 1);
    return keyboard;
}

} // namespace

Typist::Typist(_XDisplay *display) : display_(display) { }

Typist::~Typist() = default;

Outcome Typist::type(
    const std::vector<KeyStroke> &strokes, const std::function<Outcome()> &focusCheck)
{
    Display *d = display_;
    if (strokes.empty())
        return Ok {};
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        if (strokes[i].isCharacter() && !isPrintableAscii(strokes[i].character))
            return unmappable(strokes[i], i, "only printable ASCII characters can be typed.");
    }

    int event = 0, error = 0, major = 0, minor = 0, opcode = 0;
    if (!XTestQueryExtension(d, &event, &error, &major, &minor))
        return Error { ErrorKind::Typing,
            "The display does not accept synthetic keys (no XTEST)." };
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(d, &opcode, &event, &error, &major, &minor))
        return Error { ErrorKind::Typing, "The display has no keyboard extension (XKB)." };

    const Devices devices = keyboardDevices(d);
    auto keyboard = readKeyboard(d, devices);
    if (!keyboard)
        return keyboard.error();

    // Map the whole line first: a line is typed whole or not at all.
    const Planner planner(keyboard.value());
    std::vector<Plan> plans;
    std::optional<SparePool> pool;
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        const KeyStroke &stroke = strokes[i];
        const KeySym sym = stroke.isCharacter()
            ? static_cast<KeySym>(static_cast<unsigned char>(stroke.character))
            : keysymOf(stroke.named);
        // Shift is part of a character already; only Ctrl and Alt come on top.
        const std::uint8_t modifiers = stroke.isCharacter()
            ? static_cast<std::uint8_t>(stroke.modifiers & (kCtrl | kAlt))
            : stroke.modifiers;
        auto plan = planner.onMap(sym, modifiers, stroke.isCharacter());
        if (!plan) {
            if (!pool)
                pool = findSpares(d, keyboard.value(), devices);
            if (pool->keycodes.empty())
                return unmappable(stroke, i,
                    "the keyboard map has no key for it and no free keycode to "
                    "put it on.");
            plan = planner.onSpare(sym, modifiers);
            if (!plan)
                return unmappable(stroke, i, "the keyboard map has no Ctrl or Alt key.");
        }
        plan->togglesLock = !stroke.isCharacter()
            && (stroke.named == NamedKey::CapsLock || stroke.named == NamedKey::NumLock
                || stroke.named == NamedKey::ScrollLock);
        plans.push_back(std::move(*plan));
    }
    const std::vector<Batch> batches
        = pool ? shareOut(plans, *pool) : std::vector<Batch> { { plans.size(), {} } };

    std::vector<unsigned> needed;
    for (const Plan &plan : plans) {
        needed.insert(needed.end(), plan.holdKeys.begin(), plan.holdKeys.end());
        needed.push_back(plan.keycode);
    }

    ErrorTrap trap(d);
    LineGuard guard(d, keyboard.value());
    if (auto released = releaseHeldKeys(d, std::move(needed)); !released)
        return released;
    guard.clearLocks();

    std::size_t begin = 0;
    for (const Batch &batch : batches) {
        if (!batch.binds.empty()) {
            if (begin > 0) {
                // These keys may still be on their way to the client with their old symbols.
                XSync(d, False);
                std::this_thread::sleep_for(kClientGrace);
            }
            if (auto bound = guard.bind(batch.binds, pool->symsPerKeycode); !bound)
                return bound;
        }
        // Spare keys are bound before the grab: the client must fetch the new map, and a grab
        // would hold that request back until after the keys it is needed for.
        ServerGrab grab(d);
        if (focusCheck) {
            if (auto focused = focusCheck(); !focused) {
                Error error = focused.error();
                error.position = begin;
                return error;
            }
        }
        for (std::size_t i = begin; i < batch.end; ++i) {
            const Plan &plan = plans[i];
            guard.useGroup(plan.group);
            for (unsigned kc : plan.holdKeys)
                guard.press(kc);
            guard.press(plan.keycode);
            guard.release(plan.keycode);
            for (auto it = plan.holdKeys.rbegin(); it != plan.holdKeys.rend(); ++it)
                guard.release(*it);
            if (plan.togglesLock)
                guard.takeToggledLocks();
        }
        XSync(d, False);
        begin = batch.end;
    }
    guard.restore();
    if (trap.failed())
        return Error { ErrorKind::Typing, "The display refused some of the keys of this line." };
    return Ok {};
}

} // namespace quillpost::x11
