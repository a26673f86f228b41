#pragma once

#include "platform/platform.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillpost::wl {

// Another program's window as a Wayland desktop lists it.
struct Toplevel
{
    WindowId id;
    std::string title;
    std::string appId;
    bool activated = false; // it holds the keyboard
};

// The native windows of a Wayland desktop, and a way to type into them, through whatever the
// running compositor offers other programs. No Wayland protocol lets a program hold the keyboard
// for itself, so typing checks before every key that the window still holds it.
class NativeDesktop
{
public:
    virtual ~NativeDesktop() = default;

    // Whether `window` is one of these windows: their ids never equal an X11 window id.
    static bool owns(WindowId window);

    // For an event loop to take the desktop's news as it comes (readEvents()), so that a long idle
    // spell cannot fill the connection; -1 when there is nothing to read.
    virtual int fd() const = 0;
    virtual void readEvents() = 0;

    // The open windows, in the order the desktop announced them.
    virtual std::vector<Toplevel> windows() = 0;
    virtual Outcome activate(WindowId window) = 0;
    // Types `strokes` while `window` holds the keyboard; a stop's position is the index of the
    // first stroke not typed.
    virtual Outcome type(WindowId window, std::span<const KeyStroke> strokes) = 0;

    // Exact title ignoring case first, else a title that begins with `title`; never a window that
    // `skip` names.
    Result<WindowId> find(
        std::string_view title, const std::function<bool(const Toplevel &)> &skip);
    bool isOpen(WindowId window) { return lookUp(window).has_value(); }
    Result<WindowInfo> describe(WindowId window);
    // Activates the first open window titled exactly `title`; false when there is none.
    bool activateTitled(std::string_view title);
    // Waits up to `limit` until `window` holds the keyboard; FocusLost naming the one that does.
    Outcome waitForActivated(WindowId window, std::chrono::milliseconds limit);

    // The id of the n-th window a desktop announced.
    static WindowId idFor(std::uint64_t n);

protected:
    std::optional<Toplevel> lookUp(WindowId window);
};

// The desktop's native windows through the first way the running compositor offers; null when it
// offers none (or there is no Wayland compositor), `lacking` then saying what is missing, and
// `advice`, when the player can change that, how (complete sentences).
std::unique_ptr<NativeDesktop> connectNativeDesktop(
    std::string *lacking = nullptr, std::string *advice = nullptr);

} // namespace quillpost::wl
