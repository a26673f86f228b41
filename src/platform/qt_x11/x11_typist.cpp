#include "x11_typist.h"
#include "x11_error_trap.h"
#include "x11_key_planner.h"
#include "x11_spare_keys.h"
#include "x11_wine_pacing.h"

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

constexpr auto kReleaseWait = 300ms;
constexpr auto kPoll = 2ms;

struct ModifierMapDeleter
{
    void operator()(XModifierKeymap *p) const { XFreeModifiermap(p); }
};

// Everything a line changes on the keyboard, undone on every path: keys we hold are released,
// locks and group return to what the user had. (Spare keycodes outlive the line: SpareKeys.)
class LineGuard
{
public:
    explicit LineGuard(Display *d) : d_(d) { }
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

    void restore()
    {
        if (restored_)
            return;
        restored_ = true;
        for (auto it = down_.rbegin(); it != down_.rend(); ++it)
            XTestFakeKeyEvent(d_, *it, False, CurrentTime);
        down_.clear();
        if (saved_) {
            XkbLockModifiers(d_, XkbUseCoreKbd, 0xff, lockedBefore_);
            XkbLockGroup(d_, XkbUseCoreKbd, static_cast<unsigned>(groupBefore_));
        }
        XSync(d_, False);
    }

private:
    Display *d_;
    std::vector<unsigned> down_;
    bool saved_ = false;
    unsigned lockedBefore_ = 0;
    int groupBefore_ = 0;
    int group_ = 0;
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
    ~ServerGrab() { release(); }
    void release()
    {
        if (std::exchange(held_, false)) {
            XUngrabServer(d_);
            XFlush(d_);
        }
    }
    ServerGrab(const ServerGrab &) = delete;
    ServerGrab &operator=(const ServerGrab &) = delete;

private:
    Display *d_;
    bool held_ = true;
};

// A popup menu, a screen locker or a shortcut in progress holds the keyboard: XTest keys would
// go to it, whatever the focus says. Taking the keyboard ourselves tells; let go at once.
bool keyboardHeldByOther(Display *d)
{
    const int grabbed
        = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (grabbed == GrabSuccess)
        XUngrabKeyboard(d, CurrentTime);
    return grabbed == AlreadyGrabbed || grabbed == GrabFrozen;
}

const Error kKeyboardHeld { ErrorKind::FocusLost,
    "Another program holds the keyboard (an open menu, a screen lock or a shortcut in progress)." };

// The keys held down for strokes. For Wine, keys the next stroke holds too stay down: pressed
// again, AltGr would give Wine an event without it.
class Holds
{
public:
    Holds(LineGuard &guard, bool share) : guard_(guard), share_(share) { }

    void holdOnly(const std::vector<unsigned> &keys)
    {
        std::size_t common = 0;
        while (common < held_.size() && common < keys.size() && held_[common] == keys[common])
            ++common;
        for (std::size_t k = held_.size(); k > common; --k)
            guard_.release(held_[k - 1]);
        held_.resize(common);
        for (std::size_t k = common; k < keys.size(); ++k) {
            guard_.press(keys[k]);
            held_.push_back(keys[k]);
        }
    }

    void type(const Plan &plan)
    {
        holdOnly(plan.holdKeys);
        tap(plan.keycode);
        if (!share_ || plan.thenKey)
            holdOnly({});
        if (plan.thenKey)
            tap(plan.thenKey);
    }

private:
    void tap(unsigned kc)
    {
        guard_.press(kc);
        guard_.release(kc);
    }

    LineGuard &guard_;
    bool share_;
    std::vector<unsigned> held_;
};

} // namespace

Typist::Typist(_XDisplay *display)
    : display_(display), spares_(std::make_unique<SpareKeys>(display))
{
}

Typist::~Typist() = default;

Outcome Typist::type(std::span<const KeyStroke> strokes, const std::function<Outcome()> &focusCheck,
    const Target &target)
{
    Display *d = display_;
    if (strokes.empty())
        return Ok {};
    if (auto checked = checkStrokes(strokes); !checked)
        return checked;

    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d, &event, &error, &major, &minor))
        return Error { ErrorKind::Typing,
            "The display does not accept synthetic keys (no XTEST)." };

    ErrorTrap trap(d);
    auto line = planLine(d, strokes, target.reader, *spares_);
    if (!line)
        return line.error();
    std::vector<Plan> &plans = line->plans;
    if (!line->usesSpares)
        spares_->undoAll();

    std::vector<unsigned> needed;
    for (const Plan &plan : plans) {
        needed.insert(needed.end(), plan.holdKeys.begin(), plan.holdKeys.end());
        needed.push_back(plan.keycode);
    }

    WineProgress wine(d, target.reader, target.window);
    LineGuard guard(d);
    if (auto released = releaseHeldKeys(d, std::move(needed)); !released)
        return released;
    guard.clearLocks();

    std::size_t begin = 0;
    for (const Batch &batch : line->batches) {
        spares_->change(batch.binds);
        if (line->usesSpares) {
            if (auto planned
                = planSpareStrokes(d, strokes, target.reader, line.value(), begin, batch.end);
                !planned)
                return planned;
        }
        while (begin < batch.end) {
            const std::size_t end = partEnd(plans, begin, batch.end, wine.active());
            Holds holds(guard, wine.active());
            {
                // Spare keys are bound before the grab: the client must fetch the new map, and a
                // grab would hold that request back until after the keys it is needed for.
                ServerGrab grab(d);
                Outcome focused = keyboardHeldByOther(d) ? Outcome(kKeyboardHeld) : Outcome(Ok {});
                if (focused && focusCheck)
                    focused = focusCheck();
                if (!focused) {
                    Error error = focused.error();
                    error.position = begin;
                    return error;
                }
                for (std::size_t i = begin; i < end; ++i) {
                    const Plan &plan = plans[i];
                    guard.useGroup(plan.group);
                    holds.type(plan);
                }
                XSync(d, False);
                spares_->sent();
            }
            // Not under the grab: Wine's sign of progress is a request of its own.
            if (wine.active() && end < plans.size() && line->quietKey)
                wine.waitUntilTranslated([&] {
                    guard.press(line->quietKey);
                    guard.release(line->quietKey);
                });
            holds.holdOnly({});
            begin = end;
        }
    }
    guard.restore();
    if (trap.failed())
        return Error { ErrorKind::Typing, "The display refused some of the keys of this line." };
    return Ok {};
}

} // namespace quillpost::x11
