#include "native_desktop.h"

#include "gnome_desktop.h"
#include "kwin_desktop.h"
#include "wlroots_desktop.h"

#include "platform/titles.h"

#include <thread>

namespace quillpost::wl {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kTag = std::uint64_t { 1 } << 63;
constexpr auto kPoll = 10ms;

const Error kClosed { ErrorKind::NoWindow, "The window to type into is no longer open." };

std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

} // namespace

bool NativeDesktop::owns(WindowId window)
{
    return (window.value & kTag) != 0;
}

WindowId NativeDesktop::idFor(std::uint64_t n)
{
    return WindowId { kTag | n };
}

std::optional<Toplevel> NativeDesktop::lookUp(WindowId window)
{
    for (Toplevel &w : windows())
        if (w.id == window)
            return std::move(w);
    return std::nullopt;
}

Result<WindowId> NativeDesktop::find(
    std::string_view title, const std::function<bool(const Toplevel &)> &skip)
{
    std::optional<WindowId> byPrefix;
    if (!title.empty()) {
        for (const Toplevel &w : windows()) {
            if (!startsWithIgnoringCase(w.title, title) || (skip && skip(w)))
                continue;
            if (w.title.size() == title.size())
                return w.id;
            if (!byPrefix)
                byPrefix = w.id;
        }
    }
    if (byPrefix)
        return *byPrefix;
    return Error { ErrorKind::NoWindow, "No window titled " + quoted(title) + " is open." };
}

Result<WindowInfo> NativeDesktop::describe(WindowId window)
{
    const auto w = lookUp(window);
    if (!w)
        return kClosed;
    return WindowInfo { w->title, w->appId };
}

bool NativeDesktop::activateTitled(std::string_view title)
{
    for (const Toplevel &w : windows())
        if (w.title == title)
            return activate(w.id).ok();
    return false;
}

Outcome NativeDesktop::waitForActivated(WindowId window, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<Toplevel> all;
    const Toplevel *target = nullptr;
    for (;;) {
        all = windows();
        target = nullptr;
        for (const Toplevel &w : all)
            if (w.id == window)
                target = &w;
        if (!target)
            return kClosed;
        if (target->activated)
            return Ok {};
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(kPoll);
    }
    std::string message
        = (target->title.empty() ? std::string("The window to type into") : quoted(target->title))
        + " does not have the keyboard focus";
    for (const Toplevel &w : all)
        if (w.activated && !w.title.empty())
            message += "; " + quoted(w.title) + " has it";
    return Error { ErrorKind::FocusLost, message + "." };
}

std::unique_ptr<NativeDesktop> connectNativeDesktop(std::string *lacking, std::string *advice)
{
    // mutter offers other programs neither a window list nor a keyboard: on GNOME it is the
    // extension or nothing.
    std::string gnomeAdvice;
    if (auto gnome = GnomeDesktop::connect(lacking, &gnomeAdvice); gnome || !gnomeAdvice.empty()) {
        if (advice)
            *advice = gnomeAdvice;
        return gnome;
    }
    if (auto wlroots = WlrootsDesktop::connect(lacking))
        return wlroots;
    return KwinDesktop::connect(lacking);
}

} // namespace quillpost::wl
