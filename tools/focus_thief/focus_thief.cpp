// A window titled "Thief" that takes the keyboard focus, and appends every key press it receives,
// as text, to KEYS_FILE. The end-to-end tests run it to check that a line is never typed into a
// window that is not the client.
//
//   focus_thief KEYS_FILE
//       takes the focus back at once whenever it loses it.
//   focus_thief KEYS_FILE --flicker-with TITLE
//       moves the focus back and forth between the window titled TITLE and itself, every 0.2 to
//       1 ms, and leaves it alone while any other window has it: focus changes at any moment,
//       often enough that one falls between a check of the focus and the keys that follow it.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// One write per key, appended, so that whatever the test reads is whole and nothing is lost
// when the test ends us.
void record(int fd, const std::string &text)
{
    const char *p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// The text the key would type, or its keysym name in angle brackets for keys that type nothing
// (modifiers, function keys), so that every press leaves a trace.
std::string textOf(XKeyEvent &key)
{
    char buffer[64] = {};
    KeySym keysym = NoSymbol;
    const int n = XLookupString(&key, buffer, sizeof buffer, &keysym, nullptr);
    if (n > 0)
        return std::string(buffer, static_cast<std::size_t>(n));
    const char *name = XKeysymToString(keysym);
    return "<" + std::string(name ? name : "?") + ">";
}

void setFocus(Display *d, Window w)
{
    XSetInputFocus(d, w, RevertToParent, CurrentTime);
    XFlush(d);
}

std::string titleOf(Display *d, Window w)
{
    char *name = nullptr;
    std::string title;
    if (XFetchName(d, w, &name) && name)
        title = name;
    if (name)
        XFree(name);
    return title;
}

// The managed window titled `title`, waiting up to ten seconds for it.
Window findWindow(Display *d, const std::string &title)
{
    const Atom clientList = XInternAtom(d, "_NET_CLIENT_LIST", False);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        Window found = 0;
        if (XGetWindowProperty(d, DefaultRootWindow(d), clientList, 0, 4096, False, XA_WINDOW,
                &type, &format, &count, &after, &data)
                == Success
            && data && format == 32) {
            const auto *windows = reinterpret_cast<const Window *>(data);
            for (unsigned long i = 0; i < count && !found; ++i) {
                if (titleOf(d, windows[i]) == title)
                    found = windows[i];
            }
        }
        if (data)
            XFree(data);
        if (found)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

void recordKey(int out, XEvent &event)
{
    if (event.type == KeyPress)
        record(out, textOf(event.xkey));
}

[[noreturn]] void holdFocus(Display *d, Window w, int out)
{
    for (;;) {
        XEvent event;
        XNextEvent(d, &event);
        recordKey(out, event);
        switch (event.type) {
        case MapNotify:
        case Expose: // by then the window manager's frame is surely mapped too
            setFocus(d, w);
            break;
        case FocusOut:
            // Focus moving between subwindows, or a grab, is not a loss.
            if (event.xfocus.detail != NotifyInferior && event.xfocus.mode != NotifyGrab)
                setFocus(d, w);
            break;
        default:
            break;
        }
    }
}

[[noreturn]] void flickerWith(Display *d, Window w, Window other, int out)
{
    // Fixed seed: the same moments on every run.
    std::mt19937 random(1);
    std::uniform_int_distribution<int> pauseUs(200, 1000);
    for (;;) {
        while (XPending(d)) {
            XEvent event;
            XNextEvent(d, &event);
            recordKey(out, event);
        }
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        if (focus == other)
            setFocus(d, w);
        else if (focus == w)
            setFocus(d, other);
        std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
    }
}

} // namespace

int main(int argc, char **argv)
{
    const bool flicker = argc == 4 && std::string(argv[2]) == "--flicker-with";
    if (argc != 2 && !flicker) {
        std::fprintf(stderr, "usage: %s KEYS_FILE [--flicker-with TITLE]\n", argv[0]);
        return 2;
    }
    const int out = open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (out < 0) {
        std::perror(argv[1]);
        return 1;
    }
    Display *d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    // Taking the focus fails while a window is not viewable, and the other window may close at
    // any time: the next attempt does better.
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });

    Window other = 0;
    if (flicker && !(other = findWindow(d, argv[3]))) {
        std::fprintf(stderr, "no window titled \"%s\"\n", argv[3]);
        return 1;
    }

    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 40, 40, 300, 120, 1,
        BlackPixel(d, DefaultScreen(d)), WhitePixel(d, DefaultScreen(d)));
    XStoreName(d, w, "Thief");
    XWMHints hints {};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(d, w, &hints);
    XSelectInput(d, w, KeyPressMask | FocusChangeMask | StructureNotifyMask | ExposureMask);
    XMapRaised(d, w);

    if (flicker)
        flickerWith(d, w, other, out);
    holdFocus(d, w, out);
}
