#include "x11_properties.h"
#include "x11_error_trap.h"

#include <algorithm>
#include <iterator>
#include <type_traits>

// Xlib last: it defines None, Status, Bool and more as macros.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace quillpost::x11 {

static_assert(std::is_same_v<Window, XWindow> && std::is_same_v<Atom, XAtom>);
static_assert(AnyPropertyType == 0);

namespace {

std::string latin1ToUtf8(const unsigned char *text, std::size_t length)
{
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

void XFreeDeleter::operator()(void *p) const
{
    if (p)
        XFree(p);
}

Atoms internAtoms(Display *d)
{
    const char *names[] = { "_NET_CLIENT_LIST", "_NET_WM_NAME", "UTF8_STRING", "_NET_WM_PID",
        "WM_STATE", "_NET_ACTIVE_WINDOW", "_NET_SUPPORTED", "_NET_SUPPORTING_WM_CHECK",
        "_NET_WM_DESKTOP", "_NET_CURRENT_DESKTOP" };
    Atom a[std::size(names)] = {};
    XInternAtoms(d, const_cast<char **>(names), std::size(names), False, a);
    return { a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9] };
}

std::optional<Property> readProperty(Display *d, Window w, Atom name, Atom type)
{
    Property p;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    ErrorTrap trap(d);
    const int rc = XGetWindowProperty(
        d, w, name, 0, 1L << 18, False, type, &p.type, &p.format, &p.count, &after, &data);
    p.data.reset(data);
    if (rc != Success || trap.failed() || p.type == None || !p.data)
        return std::nullopt;
    return p;
}

// Format-32 items arrive as longs whatever the machine's word size.
std::vector<Window> windowsIn(const Property &p)
{
    if (p.format != 32)
        return {};
    const auto *items = reinterpret_cast<const unsigned long *>(p.data.get());
    return { items, items + p.count };
}

std::optional<Window> windowProperty(Display *d, Window w, Atom name)
{
    const auto p = readProperty(d, w, name, XA_WINDOW);
    const auto items = p ? windowsIn(*p) : std::vector<Window> {};
    if (items.empty())
        return std::nullopt;
    return items.front();
}

std::optional<unsigned long> cardinal(Display *d, Window w, Atom name)
{
    const auto p = readProperty(d, w, name, XA_CARDINAL);
    if (!p || p->format != 32 || p->count < 1)
        return std::nullopt;
    return reinterpret_cast<const unsigned long *>(p->data.get())[0];
}

std::optional<std::string> titleOf(Display *d, const Atoms &atoms, Window w)
{
    if (const auto p = readProperty(d, w, atoms.netWmName, atoms.utf8String); p && p->format == 8)
        return std::string(reinterpret_cast<const char *>(p->data.get()), p->count);

    const auto p = readProperty(d, w, XA_WM_NAME);
    if (!p || p->format != 8)
        return std::nullopt;
    if (p->type == XA_STRING)
        return latin1ToUtf8(p->data.get(), p->count);
    if (p->type == atoms.utf8String)
        return std::string(reinterpret_cast<const char *>(p->data.get()), p->count);

    // COMPOUND_TEXT and the like: let Xlib convert.
    XTextProperty text { p->data.get(), p->type, p->format, p->count };
    char **list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(d, &text, &list, &count) < Success || !list)
        return std::nullopt;
    std::string title = count > 0 ? list[0] : "";
    XFreeStringList(list);
    return title;
}

void sendMessage(
    Display *d, XWindow about, XAtom message, std::initializer_list<long> data, bool toWindow)
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = about;
    event.xclient.message_type = message;
    event.xclient.format = 32;
    std::copy(data.begin(), data.end(), event.xclient.data.l);
    XSendEvent(d, toWindow ? about : DefaultRootWindow(d), False,
        toWindow ? NoEventMask : SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

} // namespace quillpost::x11
