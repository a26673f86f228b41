#include "x11_typist.h"
#include "x11_error_trap.h"
#include "x11_keymap.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Xlib last: it defines None, Status, Bool and more as macros.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace quillpost::x11 {

namespace {

using namespace std::chrono_literals;

constexpr auto kBindWait = 500ms;
// XSync returns once the server has sent the keys, not once the client has read them; a client
// looks each key up in the map it fetches when it gets there. So a spare key used for a line is
// rebound or restored only after this grace period, or it could arrive as the wrong character.
// xterm reads a line within 10 ms on an idle machine (up to 200 ms with six servers busy on two
// cores); this is ten times the idle figure, paid only by lines that need spare keys.
constexpr auto kClientGrace = 100ms;
constexpr auto kReleaseWait = 300ms;
constexpr auto kPoll = 2ms;

struct ModifierMapDeleter
{
    void operator()(XModifierKeymap *p) const { XFreeModifiermap(p); }
};

// Everything a line changes on the keyboard, undone on every path: keys we hold are released,
// spare keycodes get their old contents back, locks and group return to what the user had.
class LineGuard
{
public:
    LineGuard(Display *d, unsigned device) : d_(d), device_(device) { }
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
            if (mapShows(d_, device_, binds))
                return Ok {};
            if (std::chrono::steady_clock::now() >= deadline)
                return Error { ErrorKind::Typing,
                    "The display did not take the keyboard map change that some "
                    "characters of this line need." };
            std::this_thread::sleep_for(kPoll);
        }
    }

    Display *d_;
    unsigned device_;
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

} // namespace

Typist::Typist(_XDisplay *display) : display_(display) { }

Typist::~Typist() = default;

Outcome Typist::type(
    const std::vector<KeyStroke> &strokes, const std::function<Outcome()> &focusCheck)
{
    Display *d = display_;
    if (strokes.empty())
        return Ok {};
    if (auto checked = checkCharacters(strokes); !checked)
        return checked;

    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d, &event, &error, &major, &minor))
        return Error { ErrorKind::Typing,
            "The display does not accept synthetic keys (no XTEST)." };

    auto line = planLine(d, strokes);
    if (!line)
        return line.error();
    const std::vector<Plan> &plans = line->plans;

    std::vector<unsigned> needed;
    for (const Plan &plan : plans) {
        needed.insert(needed.end(), plan.holdKeys.begin(), plan.holdKeys.end());
        needed.push_back(plan.keycode);
    }

    ErrorTrap trap(d);
    LineGuard guard(d, line->device);
    if (auto released = releaseHeldKeys(d, std::move(needed)); !released)
        return released;
    guard.clearLocks();

    std::size_t begin = 0;
    for (const Batch &batch : line->batches) {
        if (!batch.binds.empty()) {
            if (begin > 0) {
                // These keys may still be on their way to the client with their old symbols.
                XSync(d, False);
                std::this_thread::sleep_for(kClientGrace);
            }
            if (auto bound = guard.bind(batch.binds, line->symsPerKeycode); !bound)
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
