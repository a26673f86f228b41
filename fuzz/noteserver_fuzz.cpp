#include "noteserver/input_buffer.h"
#include "noteserver/note_interpreter.h"
#include "noteserver/rom_limits.h"
#include "noteserver/session.h"
#include "noteserver/string_source.h"
#include "property.h"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

using namespace quillpost::noteserver;

namespace {

bool printable(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 32 && c <= 126; });
}

} // namespace

// Chunks of the player's input, each led by a byte: its length, and how many pulses follow it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    NoteBoard board;
    NoteInterpreter interpreter({ "note", "idea" }, board, [] { return std::time_t { 0 }; });
    std::ostringstream log;
    Session session(interpreter, "fuzz", {}, log);
    InputBuffer buffer;
    StringSource toSession, toBuffer;

    for (std::size_t at = 0; at < size;) {
        const std::uint8_t lead = data[at++];
        const std::size_t length = std::min<std::size_t>(lead * 8u, size - at);
        const std::string_view chunk(reinterpret_cast<const char *>(data) + at, length);
        at += length;
        toSession.unread += chunk;
        toBuffer.unread += chunk;

        // The buffer never holds more than ROM's inbuf lets it, and every line it gives out
        // is printable, not empty, and no longer than a command.
        const FillResult fill = buffer.fillFrom(toBuffer);
        FUZZ_CHECK(buffer.size() <= kInputBufferLimit);
        if (fill.status != FillStatus::Ok)
            return 0;
        while (auto line = buffer.takeLine()) {
            FUZZ_CHECK(!line->text.empty() && line->text.size() <= kMaxCommandLength);
            FUZZ_CHECK(printable(line->text));
        }

        for (int i = 0; i <= lead % 4; ++i) {
            const PulseResult pulse
                = session.pulse(toSession.unread.empty() ? nullptr : &toSession);
            FUZZ_CHECK(session.unreadBytes() <= kInputBufferLimit);
            if (pulse.close)
                return 0;
            if (const auto &draft = session.player().draft) {
                FUZZ_CHECK(draft->text.size() < kNoteTextLimit + kMaxCommandLength);
            }
        }
    }
    return 0;
}
