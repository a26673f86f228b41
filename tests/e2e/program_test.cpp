#include "program_test.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include <X11/Xlib.h>

namespace quillpost::test {

std::string notes(const std::string &spool, const std::vector<std::string> &lines)
{
    std::string keys;
    for (const auto &line : lines)
        keys += spool + " + " + line + '\r';
    return keys;
}

std::vector<std::string> printableLines()
{
    const std::string p = printableAscii();
    return { p.substr(0, 32), p.substr(32, 32), p.substr(64) };
}

namespace {

// perl is part of every Debian system. It appends byte by byte (O_APPEND) and retitles the
// terminal with an OSC 2 sequence after each CR.
constexpr const char *kRetitlingRecorder
    = "open(my $f, '>>', $ARGV[0]) or die; my $n = 0; $| = 1;"
      "while (sysread(STDIN, my $c, 1)) { syswrite($f, $c);"
      " if ($c eq \"\\r\") { $n++; print \"\\e]2;($n) Hollowmere - zMUD\\a\"; } }";

} // namespace

std::string RecordingClient::receivedAtLeast(
    std::size_t size, std::chrono::milliseconds timeout) const
{
    waitFor([&] { return std::filesystem::file_size(file) >= size; }, timeout);
    return received();
}

bool RecordingClient::staysAt(const std::string &at, std::chrono::milliseconds period) const
{
    return !waitFor([&] { return received() != at; }, period);
}

void ProgramTest::TearDown()
{
    // A screenshot left in the build folder belongs to the last run of its test.
    const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = artefactPrefix_ + test->test_suite_name() + "." + test->name();
    std::ranges::replace(name, '/', '-');
    const std::string shot = QUILLPOST_E2E_ARTEFACTS "/" + name + ".png";
    std::filesystem::remove(shot);
    if (HasFailure() && session_.run({ "import", "-window", "root", shot }) == 0)
        std::cerr << "screen at the end of the test: " << shot << "\n";
}

void ProgramTest::startProgram(const std::string &layout)
{
    ASSERT_EQ(session_.run({ "setxkbmap", layout }), 0) << "no layout " << layout;
    program_ = session_.spawn({ QUILLPOST_BINARY });
    main_ = waitForWindow(kMainTitle);
    activate(main_);
}

void ProgramTest::press(XWindow window, const std::vector<std::string> &keys)
{
    activate(window);
    pressKeys(keys);
}

void ProgramTest::pressKeys(const std::vector<std::string> &keys)
{
    // xdotool holds each key for half the delay: 100 ms, as a finger does. A program that acts
    // on the press must not assume the key is up again by then.
    std::vector<std::string> args { "key", "--delay", "200" };
    args.insert(args.end(), keys.begin(), keys.end());
    xdotool(std::move(args));
}

void ProgramTest::type(XWindow window, const std::string &text)
{
    activate(window);
    xdotool({ "type", "--delay", "2", "--", text });
}

std::string ProgramTest::newFile(const std::string &bytes)
{
    const std::string path = dir_.file("note-" + std::to_string(++files_) + ".txt");
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

RecordingClient &ProgramTest::startClient(RecordingClient::Options options)
{
    RecordingClient &client = clients_.emplace_back();
    client.file = dir_.file("received-" + std::to_string(clients_.size()));
    const auto before = windowsTitled(options.title);
    if (!options.wineRecorder.empty()) {
        std::ofstream { client.file };
        std::vector<std::string> args { "wine", options.wineRecorder, winePath(client.file),
            options.title };
        if (options.steals || options.readsKeys)
            args.push_back(options.steals ? "--steal" : "--keys");
        client.process = session_.spawn(args);
        client.window = waitForWindow(options.title, before, kWineStart);
        // Wine brings a new window to the front a moment after it is mapped.
        waitFor([&] { return hasFocus(client.window); });
        return client;
    }
    // `>>`: cat writes with O_APPEND, so the file only ever grows and reads never see a hole.
    // The shell opens it only after stty, so its existence means the terminal is raw.
    const std::string recorder
        = options.retitles ? "exec perl -e \"$1\" \"$0\"" : "exec cat >> \"$0\"";
    client.process = session_.spawn({ "xterm", "-title", options.title, "-geometry", "80x12+0+0",
        "-e", "sh", "-c", "stty raw -echo && " + recorder, client.file, kRetitlingRecorder });
    if (!waitFor([&] { return std::filesystem::exists(client.file); }))
        throw std::runtime_error("the \"" + options.title + "\" xterm did not start its recorder");
    // The window manager gives a new xterm the focus: keys meant for another window must wait.
    client.window = waitForFront(options.title, before);
    return client;
}

// At the end of the file the program brings its own window back: nothing more will be typed.
void ProgramTest::expectSendEnds(const RecordingClient &client, const std::string &expected)
{
    EXPECT_TRUE(waitFor([&] { return hasFocus(main_); }))
        << "the program did not come back to the front, as it does at the end of the file";
    EXPECT_EQ(client.received(), expected);
}

bool ProgramTest::pointerGrabbed() const
{
    Display *d = session_.connection();
    const int grab = XGrabPointer(
        d, DefaultRootWindow(d), False, 0, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    if (grab == GrabSuccess)
        XUngrabPointer(d, CurrentTime);
    XSync(d, False);
    return grab == AlreadyGrabbed;
}

void ProgramTest::pick(XWindow window)
{
    ASSERT_TRUE(waitFor([&] { return pointerGrabbed(); })) << "no picker";
    click(window);
}

std::vector<XWindow> ProgramTest::windowsTitled(std::string_view title) const
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

XWindow ProgramTest::waitForWindow(std::string_view title, const std::vector<XWindow> &except,
    std::chrono::milliseconds timeout) const
{
    XWindow found = 0;
    const bool shown = waitFor(
        [&] {
            for (XWindow w : windowsTitled(title)) {
                if (std::ranges::find(except, w) == except.end()) {
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

XWindow ProgramTest::waitForFront(std::string_view title, const std::vector<XWindow> &except) const
{
    const XWindow window = waitForWindow(title, except);
    if (const Outcome focused = windows_.waitForFocus(WindowId { window }, kPatience); !focused)
        throw std::runtime_error(focused.error().message);
    return window;
}

void ProgramTest::waitUntilGone(XWindow window) const
{
    if (!waitFor([&] { return !windows_.isOpen(WindowId { window }); }))
        throw std::runtime_error("window \"" + windows_.describe(WindowId { window }).title
            + "\" was still open after " + std::to_string(kPatience.count()) + " ms");
}

void ProgramTest::activate(XWindow window)
{
    const WindowId id { window };
    if (!hasFocus(window)) {
        Outcome focused = windows_.activate(id);
        if (focused)
            focused = windows_.waitForFocus(id, kPatience);
        if (!focused)
            throw std::runtime_error(focused.error().message);
    }
    // Keys that reach a program before it has read its focus change go astray: Qt drops them,
    // and Wine hands them to the window that had the focus.
    caughtUp(window);
}

void ProgramTest::caughtUp(XWindow window) const
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
    x11::sendMessage(d, window, XInternAtom(d, "WM_PROTOCOLS", False),
        { static_cast<long>(ping), CurrentTime, static_cast<long>(window) }, true);
    XFlush(d);
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
        throw std::runtime_error("window \"" + windows_.describe(WindowId { window }).title
            + "\" did not answer a ping");
}

ScreenRect ProgramTest::clientArea(XWindow window) const
{
    Display *d = session_.connection();
    XWindowAttributes attributes {};
    XGetWindowAttributes(d, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return ScreenRect { x, y, attributes.width, attributes.height };
}

bool ProgramTest::popupShown() const
{
    Display *d = session_.connection();
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n))
        return false;
    const x11::XPtr<Window> owned(kids);
    return std::any_of(kids, kids + n, [d](Window w) {
        XWindowAttributes a {};
        return XGetWindowAttributes(d, w, &a) && a.override_redirect && a.map_state == IsViewable
            && a.width > 1;
    });
}

void ProgramTest::close(XWindow window) const
{
    Display *d = session_.connection();
    // 2: from a pager, as the user asked.
    x11::sendMessage(d, window, XInternAtom(d, "_NET_CLOSE_WINDOW", False), { 0, 2, 0 });
    XFlush(d);
}

void ProgramTest::closeClient(RecordingClient &client)
{
    client.process.stop();
    waitUntilGone(client.window);
}

void ProgramTest::xdotool(std::vector<std::string> args) const
{
    args.insert(args.begin(), "xdotool");
    if (session_.run(args) != 0) {
        std::string command;
        for (const auto &a : args)
            command += a + " ";
        throw std::runtime_error("failed: " + command);
    }
}

void ProgramTest::sendFile(const std::string &bytes)
{
    const std::string name = newFile(bytes);
    press(main_, { "ctrl+o" });
    choose(waitForWindow(kOpenDialogTitle), name);
}

// The folder first: Qt's dialog may swap a typed path for the bare name of the file it then
// selects in the folder it shows, when that folder's listing comes in late.
void ProgramTest::choose(XWindow dialog, const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos) {
        type(dialog, path.substr(0, slash + 1));
        press(dialog, { "Return" });
    }
    type(dialog, path.substr(slash == std::string::npos ? 0 : slash + 1));
    press(dialog, { "Return" });
    waitUntilGone(dialog);
}

void ProgramTest::menu(const std::string &accessKey, const std::vector<std::string> &keys)
{
    press(main_, { "alt+" + accessKey });
    ASSERT_TRUE(waitFor([&] { return popupShown(); })) << "no menu";
    if (!keys.empty())
        pressKeys(keys);
}

XWindow ProgramTest::waitForBox(const std::vector<XWindow> &except)
{
    std::vector<XWindow> skip = except;
    skip.push_back(main_);
    return waitForWindow(kMainTitle, skip);
}

void ProgramTest::answerBox(const std::string &key)
{
    const XWindow box = waitForBox();
    press(box, { key });
    waitUntilGone(box);
}

std::vector<XWindow> ProgramTest::messageBoxes() const
{
    auto boxes = windowsTitled(kMainTitle);
    std::erase(boxes, main_);
    return boxes;
}

} // namespace quillpost::test
