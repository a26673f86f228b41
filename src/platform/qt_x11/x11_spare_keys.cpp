#include "x11_spare_keys.h"
#include "x11_error_trap.h"
#include "x11_properties.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <thread>
#include <utility>

// Xlib last: it defines None, Status, Bool and more as macros.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace quillpost::x11 {

namespace {

using namespace std::chrono_literals;

// Spare keycodes at least in the pool: only a layout that lacks a whole alphabet needs more, and
// gets as many as the server has free.
constexpr std::size_t kSparePool = 16;
// XSync returns once the server has sent the keys, not once the client has read them; a client
// looks each key up in the map it fetches when it gets there. So a spare key is rebound or undone
// only after this grace period since it was sent, or it could arrive as the wrong character.
// xterm reads a line within 10 ms on an idle machine (up to 200 ms with six servers busy on two
// cores); this is ten times the idle figure. Lines a tick apart never wait for it.
constexpr auto kClientGrace = 100ms;

const SpareKey *boundKey(const std::vector<SpareKey> &bound, unsigned kc)
{
    const auto it = std::find_if(
        bound.begin(), bound.end(), [kc](const SpareKey &b) { return b.keycode == kc; });
    return it == bound.end() ? nullptr : &*it;
}

int typeNamed(Display *d, XkbDescPtr xkb, std::string_view wanted)
{
    for (int i = 0; i < xkb->map->num_types; ++i) {
        if (xkb->map->types[i].name == None)
            continue;
        char *name = XGetAtomName(d, xkb->map->types[i].name);
        const bool found = name && wanted == name;
        XFree(name);
        if (found)
            return i;
    }
    return -1;
}

// Levels of a spare key we can reach: Shift gives the second, a Level3 key (AltGr) the third and
// fourth, with the map's FOUR_LEVEL type.
std::size_t reachableLevels(Display *d, XkbDescPtr xkb)
{
    bool shift = false, level3 = false;
    for (unsigned kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
        if (!xkb->map->modmap[kc] || XkbKeyNumGroups(xkb, kc) == 0)
            continue;
        shift = shift || (xkb->map->modmap[kc] & ShiftMask);
        level3 = level3 || XkbKeySymEntry(xkb, kc, 0, 0) == XK_ISO_Level3_Shift;
    }
    return shift && level3 && typeNamed(d, xkb, "FOUR_LEVEL") >= 0 ? 4 : shift ? 2 : 1;
}

// Through XKB, which sets a key's type: in a core request a third and fourth symbol would be
// groups of their own, and add groups to the whole keyboard.
bool bindKeys(Display *d, const std::vector<SpareKey> &keys)
{
    ErrorTrap trap(d);
    Keymap map(
        XkbGetMap(d, XkbKeyTypesMask | XkbKeySymsMask | XkbExplicitComponentsMask, XkbUseCoreKbd));
    if (!map || !map->map || !map->server
        || XkbGetNames(d, XkbKeyTypeNamesMask, map.get()) != Success || trap.failed())
        return false;
    XkbDescPtr xkb = map.get();
    const int fourLevel = typeNamed(d, xkb, "FOUR_LEVEL");
    XkbMapChangesRec changes {};
    unsigned first = xkb->max_key_code, last = xkb->min_key_code;
    for (const SpareKey &key : keys) {
        const unsigned kc = key.keycode;
        const bool used = std::any_of(
            key.levels.begin(), key.levels.end(), [](KeySym sym) { return sym != NoSymbol; });
        // Four levels whatever is bound: Xlib's XkbChangeTypesOfKey fails on narrowing a key.
        const int type = fourLevel >= 0 ? fourLevel : XkbTwoLevelIndex;
        int types[XkbNumKbdGroups] = { type, type, type, type };
        if (XkbChangeTypesOfKey(
                xkb, static_cast<int>(kc), used ? 1 : 0, XkbGroup1Mask, types, &changes)
            != Success)
            return false;
        if (used) {
            KeySym *syms = XkbKeySymsPtr(xkb, kc);
            for (int l = 0; l < XkbKeyGroupWidth(xkb, kc, 0); ++l)
                syms[l] = key.levels[static_cast<std::size_t>(l)];
            xkb->server->c_explicit[kc] |= XkbExplicitKeyType1Mask;
        } else {
            xkb->server->c_explicit[kc] &= ~XkbExplicitKeyType1Mask;
        }
        first = std::min(first, kc);
        last = std::max(last, kc);
    }
    changes.changed |= XkbKeySymsMask | XkbExplicitComponentsMask;
    changes.first_key_sym = static_cast<unsigned char>(first);
    changes.num_key_syms = static_cast<unsigned char>(last - first + 1);
    changes.first_key_explicit = static_cast<unsigned char>(first);
    changes.num_key_explicit = static_cast<unsigned char>(last - first + 1);
    XkbChangeMap(d, xkb, &changes);
    XSync(d, False);
    return !trap.failed();
}

} // namespace

SparePool findSpares(Display *d, const Keyboard &keyboard, const Devices &devices,
    const std::vector<SpareKey> &bound, const std::vector<Plan> &plans)
{
    SparePool pool;
    int minKc = 0, maxKc = 0;
    XDisplayKeycodes(d, &minKc, &maxKc);
    XPtr<KeySym> core(XGetKeyboardMapping(
        d, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &pool.symsPerKeycode));
    if (!core || pool.symsPerKeycode <= 0)
        return pool;
    XkbDescPtr xkb = keyboard.map.get();
    pool.levels = reachableLevels(d, xkb);
    std::set<KeySym> wanted;
    for (const Plan &plan : plans) {
        if (plan.spareSym != NoSymbol)
            wanted.insert(plan.spareSym);
    }
    const std::size_t size = std::max(kSparePool, (wanted.size() + pool.levels - 1) / pool.levels);

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

    // From the top: the highest keycodes are the least likely to be on a real keyboard.
    for (int kc = maxKc; kc >= minKc && pool.keycodes.size() < size; --kc) {
        const auto k = static_cast<unsigned>(kc);
        if (boundKey(bound, k)) {
            pool.keycodes.push_back(k);
            continue;
        }
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

std::vector<Batch> shareOut(
    std::vector<Plan> &plans, const SparePool &pool, const std::vector<SpareKey> &kept)
{
    const std::size_t levels = pool.levels;
    const std::size_t n = pool.keycodes.size() * levels; // slots: a level of a key
    std::vector<SpareKey> keys;
    for (unsigned kc : pool.keycodes) {
        const SpareKey *old = boundKey(kept, kc);
        keys.push_back(old ? *old : SpareKey { kc, {} });
    }
    auto symAt
        = [&](std::size_t slot) -> KeySym & { return keys[slot / levels].levels[slot % levels]; };
    std::vector<std::size_t> lastUse(n, 0);
    std::vector<bool> inBatch(n, false), used(keys.size(), false), changed(keys.size(), false);
    std::vector<Batch> batches(1);
    auto closeBatch = [&](std::size_t end) {
        batches.back().end = end;
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (changed[k])
                batches.back().binds.push_back(keys[k]);
        }
        std::fill(changed.begin(), changed.end(), false);
    };
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const KeySym sym = plans[i].spareSym;
        if (sym == NoSymbol)
            continue;
        // A named key (a keypad key, Caps_Lock) gets a key of its own, the same on both levels:
        // its type would not be Shift's.
        const bool whole = sym < 0x20 || sym > 0x7e;
        const std::size_t width = whole ? levels : 1;
        auto holds = [&](std::size_t slot) {
            for (std::size_t l = 0; l < width; ++l) {
                if (symAt(slot + l) != sym)
                    return false;
            }
            return true;
        };
        auto lastUseOf = [&](std::size_t slot) {
            return *std::max_element(lastUse.begin() + static_cast<std::ptrdiff_t>(slot),
                lastUse.begin() + static_cast<std::ptrdiff_t>(slot + width));
        };
        auto freeOf = [&](std::size_t slot) {
            return std::none_of(inBatch.begin() + static_cast<std::ptrdiff_t>(slot),
                inBatch.begin() + static_cast<std::ptrdiff_t>(slot + width),
                [](bool b) { return b; });
        };
        std::size_t slot = 0;
        while (slot < n && !holds(slot))
            slot += width;
        if (slot >= n) {
            auto pickSlot = [&]() -> std::optional<std::size_t> {
                // Free levels first (never used: 0), then the least recently used.
                std::optional<std::size_t> pick;
                for (std::size_t j = 0; j < n; j += width) {
                    if (freeOf(j)
                        && (!pick || lastUseOf(j) < lastUseOf(*pick)
                            || (lastUseOf(j) == lastUseOf(*pick) && symAt(j) == NoSymbol
                                && symAt(*pick) != NoSymbol)))
                        pick = j;
                }
                return pick;
            };
            auto pick = pickSlot();
            if (!pick) {
                closeBatch(i);
                batches.emplace_back();
                std::fill(inBatch.begin(), inBatch.end(), false);
                pick = pickSlot();
            }
            slot = *pick;
            for (std::size_t l = 0; l < width; ++l)
                symAt(slot + l) = sym;
            changed[slot / levels] = true;
        }
        for (std::size_t l = 0; l < width; ++l) {
            inBatch[slot + l] = true;
            lastUse[slot + l] = i + 1;
        }
        used[slot / levels] = true;
        plans[i].keycode = keys[slot / levels].keycode;
    }
    closeBatch(plans.size());

    const bool binds = std::any_of(
        batches.begin(), batches.end(), [](const Batch &b) { return !b.binds.empty(); });
    for (std::size_t k = 0; binds && k < keys.size(); ++k) {
        if (!used[k] && keys[k] != SpareKey { keys[k].keycode, {} })
            batches.front().binds.push_back(SpareKey { keys[k].keycode, {} });
    }
    return batches;
}

SpareKeys::~SpareKeys()
{
    undoAll();
}

void SpareKeys::forgetChanged(const Keyboard &keyboard)
{
    XkbDescPtr xkb = keyboard.map.get();
    auto shows = [xkb](unsigned kc, KeySym sym) {
        if (kc < xkb->min_key_code || kc > xkb->max_key_code || XkbKeyNumGroups(xkb, kc) == 0)
            return false;
        for (int level = 0; level < XkbKeyGroupWidth(xkb, kc, 0); ++level) {
            if (XkbKeySymEntry(xkb, kc, level, 0) == sym)
                return true;
        }
        return false;
    };
    std::erase_if(bound_, [&](const SpareKey &key) {
        return std::any_of(key.levels.begin(), key.levels.end(),
            [&](KeySym sym) { return sym != NoSymbol && !shows(key.keycode, sym); });
    });
}

void SpareKeys::change(const std::vector<SpareKey> &binds)
{
    if (binds.empty())
        return;
    const bool rebinds = std::any_of(binds.begin(), binds.end(), [&](const SpareKey &key) {
        const SpareKey *old = boundKey(bound_, key.keycode);
        for (std::size_t level = 0; old && level < key.levels.size(); ++level) {
            if (old->levels[level] != NoSymbol && old->levels[level] != key.levels[level])
                return true;
        }
        return false;
    });
    if (rebinds) {
        XSync(display_, False);
        std::this_thread::sleep_until(lastSent_ + kClientGrace);
    }

    std::vector<SpareKey> sorted = binds;
    std::sort(sorted.begin(), sorted.end(),
        [](const SpareKey &a, const SpareKey &b) { return a.keycode < b.keycode; });
    if (!bindKeys(display_, sorted))
        return;
    XSync(display_, False);
    for (const SpareKey &key : sorted) {
        std::erase_if(bound_, [&](const SpareKey &b) { return b.keycode == key.keycode; });
        if (key != SpareKey { key.keycode, {} })
            bound_.push_back(key);
    }
}

void SpareKeys::undoAll()
{
    std::vector<SpareKey> undo;
    for (const SpareKey &key : bound_)
        undo.push_back(SpareKey { key.keycode, {} });
    change(undo);
}

} // namespace quillpost::x11
