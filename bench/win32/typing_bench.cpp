// Usage: quillpost_win32_typing_bench LINE_FILE RECORDER_FILE TITLE ROUNDS
// Types the line in LINE_FILE and Enter into the window titled TITLE through the program's typing
// layer, ROUNDS times, and times each from the start of the call until the window's recorder has
// written every byte to RECORDER_FILE. One row a round on stdout: seconds until the call
// returned, seconds until every byte was in, and 1 when exactly the line and a CR arrived.
// bench/wine_typing_bench drives it; nothing here is a test.
#include "platform/send_keys.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_typist.h"
#include "platform/win32/win32_windows.h"

#include <windows.h>

#include <timeapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace quillpost;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kArrivalLimit = 10s;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

LONGLONG sizeOf(HANDLE file)
{
    LARGE_INTEGER size {};
    GetFileSizeEx(file, &size);
    return size.QuadPart;
}

std::string readFrom(HANDLE file, LONGLONG offset)
{
    LARGE_INTEGER at {};
    at.QuadPart = offset;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    std::string bytes(static_cast<std::size_t>(sizeOf(file) - offset), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 5) {
        std::fprintf(
            stderr, "usage: quillpost_win32_typing_bench LINE_FILE RECORDER_FILE TITLE ROUNDS\n");
        return 2;
    }
    std::ifstream lineFile(argv[1], std::ios::binary);
    std::string line;
    std::getline(lineFile, line);
    const HANDLE recorded = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const auto window = win32::findWindow(win32::narrow(argv[3]));
    const int rounds = _wtoi(argv[4]);
    if (line.empty() || recorded == INVALID_HANDLE_VALUE || !window) {
        std::fprintf(stderr, "no line, no recorder file or no window\n");
        return 1;
    }
    const std::string expected = line + '\r';
    const std::vector<KeyStroke> strokes = strokesOf(expected);
    win32::Typist typist;

    // Sleep(1) then wakes each millisecond: the resolution of the arrival times.
    timeBeginPeriod(1);
    if (!win32::bringToFront(window.value()) || !win32::waitInFront(window.value(), 5s, 150ms)) {
        std::fprintf(stderr, "the recorder did not come to the front\n");
        return 1;
    }
    // Each line is read from where the last one should have ended, so that a stray byte, however
    // late, makes a line inexact rather than moving the next one's start.
    LONGLONG end = sizeOf(recorded);
    for (int round = 0; round < rounds; ++round) {
        const LONGLONG begin = end;
        end = begin + static_cast<LONGLONG>(expected.size());
        const auto start = Clock::now();
        const bool typed = typist.type(window.value(), strokes).ok();
        const double returned = secondsSince(start);
        while (sizeOf(recorded) < end && Clock::now() - start < kArrivalLimit)
            Sleep(1);
        const double arrived = secondsSince(start);
        Sleep(5); // for bytes past the CR
        const bool exact = typed && readFrom(recorded, begin) == expected;
        std::printf("%.6f %.6f %d\n", returned, arrived, exact ? 1 : 0);
        std::fflush(stdout);
    }
    timeEndPeriod(1);
    CloseHandle(recorded);
    return 0;
}
