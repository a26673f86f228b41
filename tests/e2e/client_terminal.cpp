#include "client_terminal.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quillpost::test {

ClientTerminal::ClientTerminal(
    const XSession &session, const Desktop &desktop, const TempDir &dir, const std::string &title)
    : file_(dir.file("client-received"))
{
    const auto before = desktop.windowsTitled(title);
    // `>>`: cat writes with O_APPEND, so the file only ever grows and reads never see a hole.
    // The shell opens it only after stty, so its existence means the terminal is raw.
    process_ = session.spawn({ "xterm", "-title", title, "-geometry", "80x12+0+0", "-e", "sh", "-c",
        "stty raw -echo && exec cat >> \"$0\"", file_ });
    if (!waitFor([&] { return std::filesystem::exists(file_); }))
        throw std::runtime_error("the \"" + title + "\" xterm did not start its recorder");
    window_ = desktop.waitForWindow(title, before);
}

std::string ClientTerminal::received() const
{
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ClientTerminal::receivedAtLeast(
    std::size_t size, std::chrono::milliseconds timeout) const
{
    waitFor([&] { return std::filesystem::file_size(file_) >= size; }, timeout);
    return received();
}

} // namespace quillpost::test
