#include "x11_spare_keys.h"

#include <algorithm>
#include <memory>
#include <set>
#include <thread>
#include <utility>

// Xlib last: it defines None, Status, Bool and more as macros.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace quillpost::x11 {

namespace {

using namespace std::chrono_literals;

// Spare keycodes at least in the pool: only a layout that lacks a whole alphabet needs more, and
// gets as many as the server has free.
constexpr std::size_t kSparePool = 16;
constexpr auto kBindWait = 500ms;
// XSync returns once the server has sent the keys, not once the client has read them; a client
// looks each key up in the map it fetches when it gets there. So a spare key is rebound or undone
// only after this grace period since it was sent, or it could arrive as the wrong character.
// xterm reads a line within 10 ms on an idle machine (up to 200 ms with six servers busy on two
// cores); this is ten times the idle figure. Lines a tick apart never wait for it.
constexpr auto kClientGrace = 100ms;
constexpr auto kPoll = 2ms;

struct XFreeDeleter
{
    void operator()(void *p) const
    {
        if (p)
            XFree(p);
    }
};

bool isBound(const std::vector<Binding> &bound, unsigned kc)
{
    return std::any_of(
        bound.begin(), bound.end(), [kc](const Binding &b) { return b.first == kc; });
}

} // namespace

SparePool findSpares(Display *d, const Keyboard &keyboard, const Devices &devices,
    const std::vector<Binding> &bound, const std::vector<Plan> &plans)
{
    std::set<KeySym> wanted;
    for (const Plan &plan : plans) {
        if (plan.spareSym != NoSymbol)
            wanted.insert(plan.spareSym);
    }
    const std::size_t size = std::max(kSparePool, wanted.size());

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
    for (int kc = maxKc; kc >= minKc && pool.keycodes.size() < size; --kc) {
        const auto k = static_cast<unsigned>(kc);
        if (isBound(bound, k)) {
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
    std::vector<Plan> &plans, const SparePool &pool, const std::vector<Binding> &kept)
{
    const std::size_t n = pool.keycodes.size();
    std::vector<KeySym> bound(n, NoSymbol);
    for (std::size_t j = 0; j < n; ++j) {
        for (const auto &[kc, sym] : kept) {
            if (kc == pool.keycodes[j])
                bound[j] = sym;
        }
    }
    std::vector<std::size_t> lastUse(n, 0);
    std::vector<bool> inBatch(n, false), used(n, false);
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
        used[slot] = true;
        lastUse[slot] = i + 1;
        plan.keycode = pool.keycodes[slot];
    }
    batches.back().end = plans.size();

    const bool binds = std::any_of(
        batches.begin(), batches.end(), [](const Batch &b) { return !b.binds.empty(); });
    for (std::size_t j = 0; binds && j < n; ++j) {
        if (!used[j] && bound[j] != NoSymbol)
            batches.front().binds.emplace_back(pool.keycodes[j], NoSymbol);
    }
    return batches;
}

SpareKeys::~SpareKeys()
{
    (void)undoAll();
}

void SpareKeys::forgetChanged(const Keyboard &keyboard)
{
    XkbDescPtr xkb = keyboard.map.get();
    std::erase_if(bound_, [&](const Binding &b) {
        return b.first < xkb->min_key_code || b.first > xkb->max_key_code
            || XkbKeyNumGroups(xkb, b.first) == 0 || XkbKeySymEntry(xkb, b.first, 0, 0) != b.second;
    });
}

Outcome SpareKeys::change(const std::vector<Binding> &binds, unsigned device, int symsPerKeycode)
{
    if (binds.empty())
        return Ok {};
    if (std::any_of(binds.begin(), binds.end(),
            [&](const Binding &b) { return isBound(bound_, b.first); })) {
        XSync(display_, False);
        std::this_thread::sleep_until(lastSent_ + kClientGrace);
    }
    device_ = device;
    symsPerKeycode_ = symsPerKeycode;

    // One request per run of neighbouring keycodes: each request makes every client re-read.
    // Every slot: the key gives the symbol whatever group and level are active.
    std::vector<Binding> sorted = binds;
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t j = i + 1;
        while (j < sorted.size() && sorted[j].first == sorted[j - 1].first + 1)
            ++j;
        std::vector<KeySym> syms;
        for (std::size_t k = i; k < j; ++k)
            syms.insert(syms.end(), static_cast<std::size_t>(symsPerKeycode), sorted[k].second);
        XChangeKeyboardMapping(display_, static_cast<int>(sorted[i].first), symsPerKeycode,
            syms.data(), static_cast<int>(j - i));
        i = j;
    }
    for (const auto &[kc, sym] : sorted) {
        std::erase_if(bound_, [kc](const Binding &b) { return b.first == kc; });
        if (sym != NoSymbol)
            bound_.emplace_back(kc, sym);
    }

    const auto deadline = std::chrono::steady_clock::now() + kBindWait;
    for (;;) {
        if (mapShows(display_, device, binds))
            return Ok {};
        if (std::chrono::steady_clock::now() >= deadline)
            return Error { ErrorKind::Typing,
                "The display did not take the keyboard map change that some characters of this "
                "line need." };
        std::this_thread::sleep_for(kPoll);
    }
}

Outcome SpareKeys::undoAll()
{
    std::vector<Binding> undo;
    for (const auto &[kc, sym] : bound_)
        undo.emplace_back(kc, NoSymbol);
    return change(undo, device_, symsPerKeycode_);
}

} // namespace quillpost::x11
