#include "desktop.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include <X11/Xlib.h>

namespace quillpost::test {

namespace {

// A format-32 message `type` about `window`, sent to `to`.
void clientMessage(Display *d, Window to, Window window, const char *type, long mask,
    const std::array<long, 3> &data)
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(d, type, False);
    event.xclient.format = 32;
    std::copy(data.begin(), data.end(), event.xclient.data.l);
    XSendEvent(d, to, False, mask, &event);
    XFlush(d);
}

} // namespace

Desktop::Desktop(const XSession &session)
    : session_(session),
      errors_(session.connection()),
      atoms_(x11::internAtoms(session.connection())),
      windows_(session.connection(), [](std::uint64_t) { return false; })
{
}

std::vector<XWindow> Desktop::windowsTitled(std::string_view title) const
{
    Display *d = session_.connection();
    const auto list = x11::readProperty(d, DefaultRootWindow(d), atoms_.netClientList);
    std::vector<XWindow> found;
    for (Window w : list ? x11::windowsIn(*list) : std::vector<Window> {}) {
        if (x11::titleOf(d, atoms_, w) == title)
            found.push_back(w);
    }
    return found;
}

std::string Desktop::titleOf(XWindow window) const
{
    return x11::titleOf(session_.connection(), atoms_, window).value_or("");
}

XWindow Desktop::waitForWindow(std::string_view title, const std::vector<XWindow> &except,
    std::chrono::milliseconds timeout) const
{
    XWindow found = 0;
    const bool shown = waitFor(
        [&] {
            for (XWindow w : windowsTitled(title)) {
                if (std::find(except.begin(), except.end(), w) == except.end()) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeout);
    if (!shown)
        throw std::runtime_error("no window titled \"" + std::string(title) + "\" appeared within "
            + std::to_string(timeout.count()) + " ms");
    return found;
}

XWindow Desktop::waitForFront(std::string_view title, const std::vector<XWindow> &except) const
{
    const XWindow window = waitForWindow(title, except);
    if (!waitFor([&] { return hasFocus(window); }))
        throw std::runtime_error("window \"" + std::string(title) + "\" did not come to the front");
    return window;
}

void Desktop::waitUntilGone(XWindow window, std::chrono::milliseconds timeout) const
{
    const bool gone = waitFor([&] { return !windows_.isOpen(WindowId { window }); }, timeout);
    if (!gone)
        throw std::runtime_error("window \"" + titleOf(window) + "\" was still open after "
            + std::to_string(timeout.count()) + " ms");
}

ScreenRect Desktop::clientArea(XWindow window) const
{
    Display *d = session_.connection();
    XWindowAttributes attributes {};
    XGetWindowAttributes(d, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return ScreenRect { x, y, attributes.width, attributes.height };
}

bool Desktop::hasFocus(XWindow window) const
{
    return windows_.hasFocus(WindowId { window });
}

bool Desktop::popupShown() const
{
    Display *d = session_.connection();
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n))
        return false;
    bool shown = false;
    for (unsigned int i = 0; i < n && !shown; ++i) {
        XWindowAttributes attributes {};
        shown = XGetWindowAttributes(d, kids[i], &attributes) && attributes.override_redirect
            && attributes.map_state == IsViewable && attributes.width > 1;
    }
    if (kids)
        XFree(kids);
    return shown;
}

void Desktop::activate(XWindow window) const
{
    if (!hasFocus(window)) {
        xdotool({ "windowactivate", std::to_string(window) });
        if (!waitFor([&] { return hasFocus(window); }))
            throw std::runtime_error(
                "window \"" + titleOf(window) + "\" did not get the keyboard focus");
    }
    // Keys that reach a program before it has read its focus change go astray: Qt drops them,
    // and Wine hands them to the window that had the focus.
    caughtUp(window);
}

void Desktop::caughtUp(XWindow window) const
{
    // Its own connection, so that the root's events it asks for stay out of the test's.
    const Connection connection = session_.connect();
    Display *d = connection.get();
    const Window root = DefaultRootWindow(d);
    const Atom ping = XInternAtom(d, "_NET_WM_PING", False);
    // WM_PROTOCOLS lists atoms as a client list lists windows.
    const auto protocols = x11::readProperty(d, window, XInternAtom(d, "WM_PROTOCOLS", False));
    const auto listed = protocols ? x11::windowsIn(*protocols) : std::vector<XWindow> {};
    if (std::ranges::find(listed, ping) == listed.end())
        return;
    // The answer goes to the root: Qt sends it as StructureNotify, Wine as SubstructureNotify.
    XSelectInput(d, root, StructureNotifyMask | SubstructureNotifyMask);
    clientMessage(d, window, window, "WM_PROTOCOLS", NoEventMask,
        { static_cast<long>(ping), CurrentTime, static_cast<long>(window) });
    const bool answered = waitFor([&] {
        XEvent reply {};
        while (XCheckTypedWindowEvent(d, root, ClientMessage, &reply)) {
            if (static_cast<Atom>(reply.xclient.data.l[0]) == ping
                && static_cast<XWindow>(reply.xclient.data.l[2]) == window)
                return true;
        }
        return false;
    });
    if (!answered)
        throw std::runtime_error("window \"" + titleOf(window) + "\" did not answer a ping");
}

bool Desktop::pointerGrabbed() const
{
    Display *d = session_.connection();
    const int grab = XGrabPointer(
        d, DefaultRootWindow(d), False, 0, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    if (grab == GrabSuccess)
        XUngrabPointer(d, CurrentTime);
    XSync(d, False);
    return grab == AlreadyGrabbed;
}

void Desktop::click(XWindow window) const
{
    xdotool({ "mousemove", "--window", std::to_string(window), "40", "40", "click", "1" });
}

void Desktop::close(XWindow window) const
{
    Display *d = session_.connection();
    // 2: from a pager, as the user asked.
    clientMessage(d, DefaultRootWindow(d), window, "_NET_CLOSE_WINDOW",
        SubstructureRedirectMask | SubstructureNotifyMask, { 0, 2, 0 });
}

void Desktop::press(XWindow window, const std::vector<std::string> &keys) const
{
    activate(window);
    press(keys);
}

void Desktop::press(const std::vector<std::string> &keys) const
{
    // xdotool holds each key for half the delay: 100 ms, as a finger does. A program that acts
    // on the press must not assume the key is up again by then.
    std::vector<std::string> args { "key", "--delay", "200" };
    args.insert(args.end(), keys.begin(), keys.end());
    xdotool(std::move(args));
}

void Desktop::type(XWindow window, const std::string &text) const
{
    activate(window);
    xdotool({ "type", "--delay", "2", "--", text });
}

bool Desktop::screenshot(const std::string &file) const
{
    return session_.run({ "import", "-window", "root", file }) == 0;
}

void Desktop::xdotool(std::vector<std::string> args) const
{
    args.insert(args.begin(), "xdotool");
    if (session_.run(args) != 0) {
        std::string command;
        for (const auto &a : args)
            command += a + " ";
        throw std::runtime_error("failed: " + command);
    }
}

} // namespace quillpost::test
