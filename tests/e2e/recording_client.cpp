#include "recording_client.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quillpost::test {

namespace {

// perl is part of every Debian system. It appends byte by byte (O_APPEND) and retitles the
// terminal with an OSC 2 sequence after each CR.
constexpr const char *kRetitlingRecorder
    = "open(my $f, '>>', $ARGV[0]) or die; my $n = 0; $| = 1;"
      "while (sysread(STDIN, my $c, 1)) { syswrite($f, $c);"
      " if ($c eq \"\\r\") { $n++; print \"\\e]2;($n) Hollowmere - zMUD\\a\"; } }";

constexpr auto kWineStart = 30s; // the first program in a prefix starts its services too

// The same file as Windows sees it, through Wine's Z: drive.
std::string windowsPath(std::string path)
{
    for (char &c : path)
        c = c == '/' ? '\\' : c;
    return "Z:" + path;
}

} // namespace

RecordingClient::RecordingClient(
    const XSession &session, const Desktop &desktop, std::string file, const Options &options)
    : file_(std::move(file))
{
    const auto before = desktop.windowsTitled(options.title);
    if (!options.wineRecorder.empty()) {
        std::ofstream { file_ };
        std::vector<std::string> args { "wine", options.wineRecorder, windowsPath(file_),
            options.title };
        if (options.steals)
            args.push_back("--steal");
        process_ = session.spawn(args);
        window_ = desktop.waitForWindow(options.title, before, kWineStart);
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
    window_ = desktop.waitForWindow(options.title, before);
}

void RecordingClient::close(const Desktop &desktop)
{
    process_.stop();
    desktop.waitUntilGone(window_);
}

std::string RecordingClient::received() const
{
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
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

} // namespace quillpost::test
