// The X11 path once more on a Wayland desktop: the program and an xterm client both on KWin's
// XWayland, the file chosen from the keyboard (XTest, which KWin's XWayland honours, modifiers
// included), and the note typed into the client through XTest as on any X11 desktop.
#include "program_test.h"
#include "support/kwin_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

namespace quillpost::test {
namespace {

class KwinXwayland : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const std::string why = KwinSession::unavailable(); !why.empty())
            GTEST_SKIP() << "No KWin on this machine: " << why;
        try {
            kwin_ = std::make_unique<KwinSession>(
                KwinSession::Options { .xwayland = true, .trusted = { QUILLPOST_BINARY } });
        } catch (const std::runtime_error &e) {
            GTEST_SKIP() << "KWin does not start here: " << e.what();
        }
    }

    bool xdotool(const std::vector<std::string> &arguments)
    {
        std::vector<std::string> argv { "xdotool" };
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const auto status = kwin_->spawn(argv).wait(kPatience);
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    }

    bool activate(const std::string &title)
    {
        return xdotool({ "search", "--sync", "--onlyvisible", "--name", "^" + title + "$",
            "windowactivate", "--sync" });
    }

    std::unique_ptr<KwinSession> kwin_;
};

// An xterm on XWayland goes through the X11 path; a native terminal through KWin's window list and
// fake input, which the program may use as its installed menu entry says.
TEST_F(KwinXwayland, SendsAFileExactlyIntoAnXtermAndIntoANativeTerminal)
{
    for (const bool native : { false, true }) {
        SCOPED_TRACE(native ? "native" : "xterm");
        const std::string got = kwin_->file(native ? "native" : "xterm");
        Child client = native ? kwin_->recorder("zMUD", got)
                              : kwin_->spawn({ "xterm", "-title", "zMUD", "-e", "sh", "-c",
                                  "stty raw -echo && exec cat > \"$0\"", got });
        ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(got); })) << "no client";
        Child program = kwin_->spawn({ QUILLPOST_BINARY });
        ASSERT_TRUE(activate(std::string(kMainTitle))) << "Quillpost did not start";

        const std::vector<std::string> lines = printableLines();
        const std::string path = got + ".txt";
        std::ofstream(path, std::ios::binary)
            << lines[0] + "\n" + lines[1] + "\r\n" + lines[2] + "\n";
        chmod(path.c_str(), 0644);
        ASSERT_TRUE(xdotool({ "key", "--delay", "100", "ctrl+o" }));
        ASSERT_TRUE(activate(std::string(kOpenDialogTitle)));
        ASSERT_TRUE(xdotool({ "type", "--delay", "20", path }));
        ASSERT_TRUE(xdotool({ "key", "Return" }));
        // A leading blank and "~", which a ROM server would change: send as it is.
        ASSERT_TRUE(waitFor([&] {
            const auto status = kwin_
                                    ->spawn({ "sh", "-c",
                                        "test $(xdotool search --onlyvisible --name '^Quillpost$' "
                                        "| wc -l) -eq 2" })
                                    .wait(kPatience);
            return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
        })) << "no box came";
        ASSERT_TRUE(xdotool({ "key", "--delay", "100", "alt+a" }));

        const std::string expected = notes("note", lines);
        EXPECT_TRUE(waitFor([&] { return readFile(got).size() >= expected.size(); }));
        EXPECT_EQ(readFile(got), expected);
    }
}

} // namespace
} // namespace quillpost::test
