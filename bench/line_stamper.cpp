// Stands in for the MUD client in the pacing bench: run inside an xterm, it appends each line
// typed into the terminal, up to the CR that Enter sends, to a file as
// "<CLOCK_MONOTONIC nanoseconds> <line>", stamped when the read that brought the CR returned.
// Usage: line_stamper <file>   (the file appears once the terminal is raw)

#include <cstdio>
#include <ctime>
#include <string>

#include <termios.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    termios mode {};
    if (tcgetattr(STDIN_FILENO, &mode) != 0)
        return 1;
    // Raw: the CR comes through as it is typed, not turned into LF nor held for a whole line.
    cfmakeraw(&mode);
    if (tcsetattr(STDIN_FILENO, TCSANOW, &mode) != 0)
        return 1;
    std::FILE *out = std::fopen(argv[1], "a");
    if (!out)
        return 1;

    std::string line;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0)
            break;
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long long stamp = now.tv_sec * 1'000'000'000LL + now.tv_nsec;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\r') {
                line += buffer[i];
                continue;
            }
            std::fprintf(out, "%lld %s\n", stamp, line.c_str());
            std::fflush(out);
            line.clear();
        }
    }
    std::fclose(out);
    return 0;
}
