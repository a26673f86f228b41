#include "program_test.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

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

RecordingClient::RecordingClient(
    const XSession &session, const Desktop &desktop, std::string file, const Options &options)
    : file_(std::move(file))
{
    const auto before = desktop.windowsTitled(options.title);
    if (!options.wineRecorder.empty()) {
        std::ofstream { file_ };
        std::vector<std::string> args { "wine", options.wineRecorder, winePath(file_),
            options.title };
        if (options.steals || options.readsKeys)
            args.push_back(options.steals ? "--steal" : "--keys");
        process_ = session.spawn(args);
        window_ = desktop.waitForWindow(options.title, before, kWineStart);
        // Wine brings a new window to the front a moment after it is mapped.
        waitFor([&] { return desktop.hasFocus(window_); });
        return;
    }
    // `>>`: cat writes with O_APPEND, so the file only ever grows and reads never see a hole.
    // The shell opens it only after stty, so its existence means the terminal is raw.
    const std::string recorder
        = options.retitles ? "exec perl -e \"$1\" \"$0\"" : "exec cat >> \"$0\"";
    process_ = session.spawn({ "xterm", "-title", options.title, "-geometry", "80x12+0+0", "-e",
        "sh", "-c", "stty raw -echo && " + recorder, file_, kRetitlingRecorder });
    if (!waitFor([&] { return std::filesystem::exists(file_); }))
        throw std::runtime_error("the \"" + options.title + "\" xterm did not start its recorder");
    // The window manager gives a new xterm the focus: keys meant for another window must wait.
    window_ = desktop.waitForFront(options.title, before);
}

void RecordingClient::close(const Desktop &desktop)
{
    process_.stop();
    desktop.waitUntilGone(window_);
}

std::string RecordingClient::received() const
{
    return readFile(file_);
}

std::string RecordingClient::receivedAtLeast(
    std::size_t size, std::chrono::milliseconds timeout) const
{
    waitFor([&] { return std::filesystem::file_size(file_) >= size; }, timeout);
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
    if (HasFailure() && desktop_.screenshot(shot))
        std::cerr << "screen at the end of the test: " << shot << "\n";
}

void ProgramTest::startProgram(const std::string &layout)
{
    ASSERT_EQ(session_.run({ "setxkbmap", layout }), 0) << "no layout " << layout;
    program_ = session_.spawn({ QUILLPOST_BINARY });
    main_ = desktop_.waitForWindow(kMainTitle);
    desktop_.activate(main_);
}

void ProgramTest::press(XWindow window, const std::vector<std::string> &keys)
{
    desktop_.press(window, keys);
}

void ProgramTest::type(XWindow window, const std::string &text)
{
    desktop_.type(window, text);
}

std::string ProgramTest::newFile(const std::string &bytes)
{
    const std::string path = dir_.file("note-" + std::to_string(++files_) + ".txt");
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

RecordingClient &ProgramTest::startClient(RecordingClient::Options options)
{
    const std::string file = dir_.file("received-" + std::to_string(clients_.size() + 1));
    return clients_.emplace_back(session_, desktop_, file, options);
}

// At the end of the file the program brings its own window back: nothing more will be typed.
void ProgramTest::expectSendEnds(const RecordingClient &client, const std::string &expected)
{
    EXPECT_TRUE(waitFor([&] { return desktop_.hasFocus(main_); }))
        << "the program did not come back to the front, as it does at the end of the file";
    EXPECT_EQ(client.received(), expected);
}

void ProgramTest::pick(XWindow window)
{
    ASSERT_TRUE(waitFor([&] { return desktop_.pointerGrabbed(); })) << "no picker";
    desktop_.click(window);
}

void ProgramTest::sendFile(const std::string &bytes)
{
    const std::string name = newFile(bytes);
    press(main_, { "ctrl+o" });
    choose(desktop_.waitForWindow(kOpenDialogTitle), name);
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
    desktop_.waitUntilGone(dialog);
}

void ProgramTest::menu(const std::string &accessKey, const std::vector<std::string> &keys)
{
    press(main_, { "alt+" + accessKey });
    ASSERT_TRUE(waitFor([&] { return desktop_.popupShown(); })) << "no menu";
    if (!keys.empty())
        desktop_.press(keys);
}

XWindow ProgramTest::waitForBox(const std::vector<XWindow> &except)
{
    std::vector<XWindow> skip = except;
    skip.push_back(main_);
    return desktop_.waitForWindow(kMainTitle, skip);
}

void ProgramTest::answerBox(const std::string &key)
{
    const XWindow box = waitForBox();
    press(box, { key });
    desktop_.waitUntilGone(box);
}

std::vector<XWindow> ProgramTest::messageBoxes() const
{
    auto boxes = desktop_.windowsTitled(kMainTitle);
    std::erase(boxes, main_);
    return boxes;
}

} // namespace quillpost::test
