#include "x11_windows.h"
#include "x11_error_trap.h"
#include "x11_properties.h"
#include "x11_window_picker.h"

#include "platform/titles.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

// Xlib last: it defines None, Status, Bool and more as macros.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/sync.h>

namespace quillpost::x11 {

namespace {

using namespace std::chrono_literals;

constexpr auto kFocusPoll = 10ms;

// An EWMH window manager is running when the check window it names names itself; a property
// left behind by a manager that has gone names a window that no longer exists.
bool ewmhManagerRuns(Display *d, const Atoms &atoms)
{
    const Window root = DefaultRootWindow(d);
    const auto check = windowProperty(d, root, atoms.netSupportingWmCheck);
    return check && windowProperty(d, *check, atoms.netSupportingWmCheck) == check;
}

bool managerSupports(Display *d, const Atoms &atoms, Atom feature)
{
    if (!ewmhManagerRuns(d, atoms))
        return false;
    const auto p = readProperty(d, DefaultRootWindow(d), atoms.netSupported, XA_ATOM);
    if (!p || p->format != 32)
        return false;
    const auto *items = reinterpret_cast<const unsigned long *>(p->data.get());
    return std::find(items, items + p->count, feature) != items + p->count;
}

std::optional<std::vector<Window>> children(Display *d, Window w, Window *parent = nullptr)
{
    Window root = 0, up = 0, *kids = nullptr;
    unsigned int n = 0;
    ErrorTrap trap(d);
    const bool ok = XQueryTree(d, w, &root, &up, &kids, &n) != 0;
    XPtr<Window> owned(kids);
    if (!ok || trap.failed())
        return std::nullopt;
    if (parent)
        *parent = up;
    return std::vector<Window>(kids, kids + n);
}

// The root's child that holds `w`: the window manager's frame, or the window itself without one.
std::optional<Window> topLevelOf(Display *d, Window w)
{
    const Window root = DefaultRootWindow(d);
    while (w != root) {
        Window parent = 0;
        if (!children(d, w, &parent))
            return std::nullopt;
        if (parent == root)
            return w;
        w = parent;
    }
    return std::nullopt;
}

// The client window inside a frame: the first one carrying WM_STATE, which managers set on the
// windows they manage. Without a manager nothing carries it and the frame is the client.
Window clientIn(Display *d, const Atoms &atoms, Window frame)
{
    std::vector<Window> queue { frame };
    for (std::size_t i = 0; i < queue.size(); ++i) {
        if (readProperty(d, queue[i], atoms.wmState))
            return queue[i];
        if (const auto kids = children(d, queue[i]))
            queue.insert(queue.end(), kids->begin(), kids->end());
    }
    return frame;
}

std::vector<Window> topLevelClients(Display *d, const Atoms &atoms)
{
    if (ewmhManagerRuns(d, atoms)) {
        if (const auto list = readProperty(d, DefaultRootWindow(d), atoms.netClientList, XA_WINDOW))
            return windowsIn(*list);
    }
    std::vector<Window> clients;
    for (Window w : children(d, DefaultRootWindow(d)).value_or(std::vector<Window> {})) {
        XWindowAttributes attrs {};
        ErrorTrap trap(d);
        if (!XGetWindowAttributes(d, w, &attrs) || trap.failed())
            continue;
        // Menus and tooltips are override-redirect; unmapped windows cannot take keys.
        if (attrs.override_redirect || attrs.map_state != IsViewable)
            continue;
        clients.push_back(clientIn(d, atoms, w));
    }
    return clients;
}

bool iconic(Display *d, const Atoms &atoms, Window w)
{
    const auto p = readProperty(d, w, atoms.wmState, atoms.wmState);
    return p && p->format == 32 && p->count >= 1
        && reinterpret_cast<const unsigned long *>(p->data.get())[0] == IconicState;
}

std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

} // namespace

// X timestamps are the server's clock in milliseconds, which SYNC publishes as SERVERTIME.
// Window managers that prevent focus stealing compare this against their last user event.
unsigned long serverTime(Display *d)
{
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XSyncQueryExtension(d, &eventBase, &errorBase) || !XSyncInitialize(d, &major, &minor))
        return CurrentTime;
    int count = 0;
    XSyncSystemCounter *counters = XSyncListSystemCounters(d, &count);
    unsigned long now = CurrentTime;
    for (int i = 0; i < count; ++i) {
        XSyncValue value;
        if (std::string_view(counters[i].name) == "SERVERTIME"
            && XSyncQueryCounter(d, counters[i].counter, &value)) {
            now = XSyncValueLow32(value);
            break;
        }
    }
    if (counters)
        XSyncFreeSystemCounterList(counters);
    return now;
}

Windows::Windows(_XDisplay *display, std::function<bool(std::uint64_t)> isOwn)
    : display_(display), isOwn_(std::move(isOwn))
{
}

bool Windows::isOurs(std::uint64_t window) const
{
    if (isOwn_ && isOwn_(window))
        return true;
    // Dialogs Qt opened on its own are not known to the caller but carry our process id.
    const auto pid = shownBy(window);
    return pid && *pid == static_cast<unsigned long>(getpid());
}

std::optional<unsigned long> Windows::shownBy(std::uint64_t window) const
{
    return cardinal(display_, window, internAtoms(display_).netWmPid);
}

WindowId Windows::handOut(std::uint64_t window) const
{
    handedOut_[window] = shownBy(window);
    return WindowId { window };
}

Result<WindowId> Windows::find(std::string_view title) const
{
    const Atoms atoms = internAtoms(display_);
    std::optional<Window> byPrefix;
    if (!title.empty()) {
        for (Window w : topLevelClients(display_, atoms)) {
            const auto name = titleOf(display_, atoms, w);
            if (!name || !startsWithIgnoringCase(*name, title) || isOurs(w))
                continue;
            if (name->size() == title.size())
                return handOut(w);
            if (!byPrefix)
                byPrefix = w;
        }
    }
    if (byPrefix)
        return handOut(*byPrefix);
    return Error { ErrorKind::NoWindow, "No window titled " + quoted(title) + " is open." };
}

std::vector<std::string> Windows::titles() const
{
    const Atoms atoms = internAtoms(display_);
    std::vector<std::string> all;
    for (Window w : topLevelClients(display_, atoms))
        if (auto name = titleOf(display_, atoms, w))
            all.push_back(std::move(*name));
    return all;
}

bool Windows::isOpen(WindowId window) const
{
    const auto clients = topLevelClients(display_, internAtoms(display_));
    if (std::find(clients.begin(), clients.end(), window.value) == clients.end())
        return false;
    const auto known = handedOut_.find(window.value);
    return known == handedOut_.end() || !known->second || known->second == shownBy(window.value);
}

Outcome Windows::activate(WindowId window)
{
    const Atoms atoms = internAtoms(display_);
    const Window w = window.value;
    ErrorTrap trap(display_);
    if (managerSupports(display_, atoms, atoms.netActiveWindow)) {
        // Mapping an iconic window asks the manager to restore it (ICCCM 4.1.4).
        if (iconic(display_, atoms, w))
            XMapWindow(display_, w);
        const long now = static_cast<long>(serverTime(display_));
        // Some managers (openbox) only mark a window on another desktop as urgent when asked to
        // activate it, so go to its desktop first, as a pager would.
        const auto desktop = cardinal(display_, w, atoms.netWmDesktop);
        const auto current
            = cardinal(display_, DefaultRootWindow(display_), atoms.netCurrentDesktop);
        if (desktop && current && *desktop != *current && *desktop != 0xFFFFFFFFul)
            sendMessage(display_, DefaultRootWindow(display_), atoms.netCurrentDesktop,
                { static_cast<long>(*desktop), now });
        // Source 2 (a pager): the user asked for this window, so managers do not refuse it.
        sendMessage(display_, w, atoms.netActiveWindow, { 2, now, 0 });
    } else {
        XMapRaised(display_, w);
        // Focus may only go to a viewable window; without a manager the map above is immediate.
        XWindowAttributes attrs {};
        if (XGetWindowAttributes(display_, w, &attrs) && attrs.map_state == IsViewable)
            XSetInputFocus(display_, w, RevertToParent, CurrentTime);
    }
    XFlush(display_);
    if (trap.failed())
        return Error { ErrorKind::NoWindow, "The window to type into is no longer open." };
    return Ok {};
}

bool Windows::hasFocus(WindowId window) const
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    if (focus == None || focus == PointerRoot)
        return false;
    if (focus == window.value)
        return true;
    const auto focusTop = topLevelOf(display_, focus);
    return focusTop && focusTop == topLevelOf(display_, window.value);
}

namespace {

std::string classOf(Display *display, XWindow window)
{
    XClassHint hint {};
    ErrorTrap trap(display);
    if (!XGetClassHint(display, window, &hint) || trap.failed())
        return "";
    std::string name = hint.res_class ? hint.res_class : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
    return name;
}

} // namespace

WindowInfo Windows::describe(WindowId window) const
{
    const Atoms atoms = internAtoms(display_);
    return WindowInfo { titleOf(display_, atoms, window.value).value_or(""),
        classOf(display_, window.value) };
}

bool Windows::runsUnderWine(WindowId window) const
{
    const std::string name = classOf(display_, window.value);
    return name.size() > 4 && startsWithIgnoringCase(name.substr(name.size() - 4), ".exe");
}

Outcome Windows::waitForFocus(WindowId window, std::chrono::milliseconds limit) const
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        XSync(display_, False);
        if (hasFocus(window))
            return Ok {};
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(kFocusPoll);
    }

    const Atoms atoms = internAtoms(display_);
    const auto target = titleOf(display_, atoms, window.value);
    std::string message = (target && !target->empty() ? quoted(*target) : "The window to type into")
        + " does not have the keyboard focus";
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    if (focus != None && focus != PointerRoot) {
        if (const auto top = topLevelOf(display_, focus)) {
            const auto holder = titleOf(display_, atoms, clientIn(display_, atoms, *top));
            if (holder && !holder->empty())
                message += "; " + quoted(*holder) + " has it";
        }
    }
    return Error { ErrorKind::FocusLost, message + "." };
}

Result<PickedWindow> Windows::pick(std::chrono::milliseconds limit) const
{
    auto clicked = clickWindow(display_, limit);
    if (!clicked)
        return clicked.error();
    const Atoms atoms = internAtoms(display_);
    const Window client = clientIn(display_, atoms, clicked.value());
    return PickedWindow { handOut(client), titleOf(display_, atoms, client).value_or(""),
        isOurs(client) };
}

} // namespace quillpost::x11
