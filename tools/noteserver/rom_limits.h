#pragma once

#include <cstddef>

namespace quillpost::noteserver {

// Figures of a stock ROM 2.4b6 server (merc.h, comm.c, note.c); the server is only useful as a
// stand-in if it refuses, cuts and disconnects at exactly the same points.

inline constexpr std::size_t kMaxInputLength = 256; // MAX_INPUT_LENGTH
// read_from_buffer stops keeping characters once k >= MAX_INPUT_LENGTH - 2.
inline constexpr std::size_t kMaxCommandLength = kMaxInputLength - 2;
inline constexpr std::size_t kInputBufferSize = 4 * kMaxInputLength; // sizeof(d->inbuf)
// read_from_descriptor never reads into the last 10 bytes of inbuf.
inline constexpr std::size_t kInputBufferLimit = kInputBufferSize - 10;
// parse_note refuses a line once strlen(text) + strlen(line) >= 4096.
inline constexpr std::size_t kNoteTextLimit = 4096;
inline constexpr int kSpamRepeatLimit = 25; // ++d->repeat >= 25
inline constexpr int kPulsePerSecond = 4; // PULSE_PER_SECOND: one command per player per pulse

} // namespace quillpost::noteserver
