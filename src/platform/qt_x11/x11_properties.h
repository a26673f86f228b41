#pragma once

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay; // Xlib's Display, kept out of this header

namespace quillpost::x11 {

using XWindow = unsigned long; // Xlib's Window
using XAtom = unsigned long; // Xlib's Atom

struct XFreeDeleter
{
    void operator()(void *p) const;
};

template <class T> using XPtr = std::unique_ptr<T, XFreeDeleter>;

// The atoms the window code asks about, interned in one request.
struct Atoms
{
    XAtom netClientList, netWmName, utf8String, netWmPid, wmState, netActiveWindow, netSupported,
        netSupportingWmCheck, netWmDesktop, netCurrentDesktop;
};

Atoms internAtoms(_XDisplay *display);

struct Property
{
    XAtom type = 0;
    int format = 0;
    unsigned long count = 0;
    XPtr<unsigned char> data;
};

// Reads a whole property (up to 1 MiB) of any type when `type` is 0 (AnyPropertyType); nullopt
// when the window or the property is not there.
std::optional<Property> readProperty(_XDisplay *display, XWindow w, XAtom name, XAtom type = 0);

// The windows a format-32 property lists; none for another format.
std::vector<XWindow> windowsIn(const Property &p);

// The first item of a WINDOW or a CARDINAL property.
std::optional<XWindow> windowProperty(_XDisplay *display, XWindow w, XAtom name);
std::optional<unsigned long> cardinal(_XDisplay *display, XWindow w, XAtom name);

// A format-32 client message about `about`: to the window manager through the root window, or with
// `toWindow` to the window's own program.
void sendMessage(_XDisplay *display, XWindow about, XAtom message, std::initializer_list<long> data,
    bool toWindow = false);

// _NET_WM_NAME, else WM_NAME in whatever encoding it has, as UTF-8.
std::optional<std::string> titleOf(_XDisplay *display, const Atoms &atoms, XWindow w);

} // namespace quillpost::x11
