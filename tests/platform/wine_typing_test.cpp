#include "platform/qt_x11/x11_typist.h"
#include "platform/qt_x11/x11_windows.h"
#include "support/x_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quillpost::x11 {
namespace {

using namespace std::chrono_literals;
using test::waitFor;

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

// A Windows program's own view of a path on this machine: Wine's drive Z: is the root.
std::string windowsPath(std::string path)
{
    for (char &c : path)
        c = c == '/' ? '\\' : c;
    return "Z:" + path;
}

// One display with openbox and a fresh Wine prefix for the whole suite: making the prefix takes
// most of the time.
class WineTyping : public ::testing::TestWithParam<const char *>
{
protected:
    static void SetUpTestSuite()
    {
        session_ = new test::XSession(test::XSession::Options { .windowManager = true });
        prefix_ = new test::TempDir;
        setenv("WINEPREFIX", prefix_->path().c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        if (session_->run({ "wineboot", "-i" }, 120s) != 0)
            throw std::runtime_error("wineboot could not make a Wine prefix");
    }

    static void TearDownTestSuite()
    {
        session_->run({ "wineserver", "-k" });
        delete prefix_;
        delete session_;
    }

    static test::XSession *session_;
    static test::TempDir *prefix_;
};

test::XSession *WineTyping::session_ = nullptr;
test::TempDir *WineTyping::prefix_ = nullptr;

TEST_P(WineTyping, EveryPrintableCharacterArrivesExactly)
{
    std::string line;
    for (char c = ' '; c <= '~'; ++c)
        line += c;
    std::vector<KeyStroke> strokes;
    for (char c : line)
        strokes.push_back(KeyStroke::chr(c));
    strokes.push_back(KeyStroke::key(NamedKey::Enter));

    ASSERT_EQ(session_->run({ "setxkbmap", GetParam() }), 0);
    test::TempDir dir;
    const std::string file = dir.file("received");
    test::Child recorder
        = session_->spawn({ "wine", QUILLPOST_WIN32_RECORDER, windowsPath(file), "zMUD" });
    Windows windows(session_->connection(), [](std::uint64_t) { return false; });
    Result<WindowId> window = Error { ErrorKind::NoWindow, "" };
    ASSERT_TRUE(waitFor([&] { return (window = windows.find("zMUD")).ok(); }, 60s));
    ASSERT_TRUE(windows.runsUnderWine(window.value()));
    ASSERT_TRUE(windows.activate(window.value()).ok());
    ASSERT_TRUE(windows.waitForFocus(window.value(), 10s).ok());

    Typist typist(session_->connection());
    const Outcome typed = typist.type(
        strokes, [&] { return windows.waitForFocus(window.value(), 0ms); },
        Target { Client::Wine, window.value().value });

    ASSERT_TRUE(typed.ok()) << typed.error().message;
    waitFor([&] { return std::filesystem::exists(file) && readFile(file).ends_with('\r'); });
    EXPECT_EQ(readFile(file), line + "\r");
}

INSTANTIATE_TEST_SUITE_P(Layouts, WineTyping, ::testing::Values("us", "de"),
    [](const auto &info) { return std::string(info.param); });

} // namespace
} // namespace quillpost::x11
