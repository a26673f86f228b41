#include "noteserver/note_interpreter.h"
#include "noteserver/session.h"
#include "noteserver/string_source.h"
#include "property.h"
#include "sending/preflight.h"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using namespace quillpost;

namespace {

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> out;
    for (std::size_t at = 0; (at = text.find_first_not_of(' ', at)) != std::string_view::npos;) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        out.push_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}

// The bundled note server, fed one typed line at a time as Quillpost types them: ticks are
// seconds apart, so the server pulses a few times between two lines.
class Server
{
public:
    explicit Server(const std::string &spool) : interpreter_({ spool }, board_) { }

    // Whether the line was cut; nothing once the server has dropped the player.
    std::optional<bool> type(const std::string &typed)
    {
        socket_.unread += typed + "\r\n";
        bool cut = false;
        for (int pulse = 0; pulse < 3; ++pulse) {
            const auto result = session_.pulse(socket_.readable() ? &socket_ : nullptr);
            if (result.close)
                return std::nullopt;
            cut = cut || result.output.starts_with("Line too long.");
        }
        return cut;
    }
    bool spammed() const { return log_.str().find(" input spamming! ") != std::string::npos; }

private:
    noteserver::NoteBoard board_;
    noteserver::NoteInterpreter interpreter_;
    std::ostringstream log_;
    noteserver::Session session_ { interpreter_, "fuzz", "Player", log_ };
    noteserver::StringSource socket_;
};

bool printable(char c)
{
    return c >= 32 && c <= 126;
}

std::string withoutBlanks(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (c != ' ')
            out += c;
    return out;
}

} // namespace

// The first line is the spool word (its first 16 characters), every further line one line of
// the file; only printable characters are kept, as only such files are sent.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\n')
            lines.emplace_back();
        else if (printable(c))
            lines.back() += c;
    }
    const std::string spool = lines.front().empty() ? "note" : lines.front().substr(0, 16);
    lines.erase(lines.begin());

    Preflight check(spool);
    Preflight wrapped(spool);
    Server server(spool);
    bool connected = true;
    for (const std::string &line : lines) {
        // Each line is cut, or disconnects the player, where the note server does it.
        check.add(line);
        const auto &found = check.findings();
        const auto foundHere = [&](Finding::Kind kind) {
            return std::any_of(found.begin(), found.end(), [&](const Finding &f) {
                return f.kind == kind && f.line == static_cast<int>(&line - lines.data()) + 1;
            });
        };
        if (connected) {
            const std::optional<bool> cut = server.type(spool + " + " + line);
            connected = cut.has_value();
            FUZZ_CHECK(foundHere(Finding::Kind::Disconnect) == !connected);
            FUZZ_CHECK(!connected || foundHere(Finding::Kind::Cut) == *cut);
            // The first line the server logs as spam is the one named for it. (A line that
            // begins with "!" repeats the last command on the server, which is not modelled.)
            const bool namedSpam = std::any_of(found.begin(), found.end(),
                [](const Finding &f) { return f.kind == Finding::Kind::Spam; });
            FUZZ_CHECK(!connected || spool.front() == '!' || server.spammed() == namedSpam);
        }

        // A wrapped line keeps every word, in order; no part is empty or longer than 79
        // columns, and no part is blanks alone unless the line was.
        const std::vector<std::string> parts = wrapLine(line, RomLimits::kWrapColumns);
        FUZZ_CHECK(!parts.empty());
        std::string joined;
        std::vector<std::string_view> partWords;
        for (const std::string &part : parts) {
            FUZZ_CHECK(part.size() <= RomLimits::kWrapColumns);
            FUZZ_CHECK(!part.empty() || parts.size() == 1);
            FUZZ_CHECK(!words(part).empty() || words(line).empty());
            joined += part;
            for (std::string_view w : words(part))
                partWords.push_back(w);
            wrapped.add(part);
        }
        FUZZ_CHECK(withoutBlanks(joined) == withoutBlanks(line));
        // Only a word longer than a line is ever split.
        std::size_t next = 0;
        for (std::string_view w : words(line)) {
            if (w.size() > RomLimits::kWrapColumns)
                break;
            while (next < partWords.size() && partWords[next] != w)
                ++next;
            FUZZ_CHECK(next < partWords.size());
            ++next;
        }
    }

    // Findings come in line order; a disconnect is the last one, and no wrapped line is cut.
    int last = 0;
    for (const Finding &f : check.findings()) {
        FUZZ_CHECK(f.line >= last && f.line >= 1);
        FUZZ_CHECK(f.kind != Finding::Kind::Disconnect || &f == &check.findings().back());
        last = f.line;
    }
    for (const Finding &f : wrapped.findings())
        FUZZ_CHECK(f.kind != Finding::Kind::Cut && f.kind != Finding::Kind::Disconnect);
    FUZZ_CHECK(!describeFindings(check.findings(), "\n").empty() || check.findings().empty());
    return 0;
}
