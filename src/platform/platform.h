#pragma once

#include "line_reader.h"
#include "registry.h"
#include "result.h"
#include "send_keys.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Everything the command logic needs from the system. No toolkit or display types cross this
// line: a second implementation for another desktop must slot in without touching the logic.
namespace quillpost {

struct WindowId
{
    std::uint64_t value = 0;
    bool operator==(const WindowId &) const = default;
};

// A window the user pointed at.
struct PickedWindow
{
    WindowId id;
    std::string title;
    bool own = false; // one of the program's own windows
};

// What a window says of itself: enough to tell which program it belongs to.
struct WindowInfo
{
    std::string title;
    std::string windowClass; // X11: the class of WM_CLASS; Windows: the window class's name
};

enum class MsgStyle { Ok = 0, Exclamation = 48 };

enum class ShellStyle { NormalFocus = 1, MaximizedFocus = 3 };

// The application's own title and version.
struct AppIdentity
{
    std::string title;
    int major = 0;
    int minor = 0;
    int revision = 0;
};

class Platform
{
public:
    virtual ~Platform() = default;

    // Asks the desktop to bring another program's top-level window to the front: first one whose
    // title equals `title` ignoring case, else one whose title begins with it. The program's own
    // windows never match. NoWindow when there is none.
    virtual Result<WindowId> appActivate(std::string_view title) = 0;

    // Brings a window found earlier to the front, whatever its title has become since; NoWindow
    // once it has been closed.
    virtual Outcome activate(WindowId window) = 0;

    // Finds a window by its title as appActivate() does, without bringing it to the front.
    virtual Result<WindowId> findWindow(std::string_view title) = 0;

    // NoWindow once the window has been closed.
    virtual Result<WindowInfo> describeWindow(WindowId window) = 0;

    // Asks the user to click a window, with a crosshair pointer as window pickers show, and
    // returns the top-level window clicked; Cancelled when the user pressed Esc instead.
    virtual Result<PickedWindow> pickWindow() = 0;

    // Brings the program's own main window back to the front.
    virtual void activateOwnWindow() = 0;

    // Types `strokes` into `target`, only once that window holds the keyboard focus; waits a
    // short, bounded time for it and types nothing (FocusLost) if it never comes. Every stroke is
    // mapped to keys before the first key is pressed. When typing stops part way (FocusLost,
    // Typing), the error's position is the index of the first stroke not typed, so the rest can
    // be sent later; NoWindow once the window is closed.
    virtual Outcome sendKeys(WindowId target, std::span<const KeyStroke> strokes) = 0;

    // A modal box; the title bar shows the application's title. False when it closed without an
    // answer, as it does when the program is being ended (a kill, a logout).
    virtual bool msgBox(std::string_view prompt, MsgStyle style) = 0;

    // A modal box with a button for each choice, Enter taking `preferred` and Esc the last; the
    // index of the one chosen, or -1 when the box was closed without a choice.
    virtual int choiceBox(
        std::string_view prompt, const std::vector<std::string> &choices, std::size_t preferred)
        = 0;

    // A modal one-line prompt; "" on Cancel.
    virtual std::string inputBox(std::string_view prompt, std::string_view title) = 0;

    // Opens a file for sequential line input.
    virtual Result<std::unique_ptr<LineReader>> openInput(const std::string &path) = 0;

    // Starts a program and does not wait for it; Launch when it cannot be started.
    virtual Outcome shell(
        const std::string &program, const std::vector<std::string> &args, ShellStyle style)
        = 0;

    // Opens a web address in the user's default browser; Launch when none can be started.
    virtual Outcome openUrl(std::string_view url) = 0;

    // The name of the ordinary file at `path` ("\" also separates folders), or "".
    virtual std::string dir(std::string_view path) = 0;

    // The system's settings store, read only.
    virtual Registry &registry() = 0;

    virtual AppIdentity identity() const = 0;

    // Ends the program at once.
    virtual void end() = 0;
};

} // namespace quillpost
