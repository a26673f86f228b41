// Times the size check and the server preflight, each through openLineReader as the loader opens
// files, on a 1 GiB sparse file (all NUL bytes) and on a 4096-character text file. The bytes
// read (rchar in /proc/self/io) show whether a pass stopped early or went through the file.
// Usage: file_check_bench [runs]

#include "report.h"
#include "support/x_session.h"

#include "platform/line_reader.h"
#include "sending/preflight.h"
#include "sending/text_check.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

using namespace quillpost;
using namespace quillpost::bench;

namespace {

constexpr const char *kBenchmark = "4. File checks";
constexpr std::uintmax_t kSparseSize = std::uintmax_t { 1 } << 30;

// Bytes this process has read through read(2) and friends, page cache hits included.
long long bytesRead()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return -1;
}

// The loader's order: the whole file through the size check, stopping early when it must.
std::string sizeCheck(const std::string &path)
{
    auto reader = openLineReader(path);
    if (!reader)
        return reader.error().message;
    auto checked = checkFileToSend(*reader.value());
    if (!checked)
        return checked.error().message;
    switch (checked.value().verdict) {
    case FileCheck::Verdict::Fits:
        return "fits";
    case FileCheck::Verdict::TooLarge:
        return "too large at line " + std::to_string(checked.value().line);
    case FileCheck::Verdict::NotText:
        return "refused as not text at line " + std::to_string(checked.value().line) + ", column "
            + std::to_string(checked.value().bad.column) + " (byte "
            + std::to_string(checked.value().bad.byte) + ")";
    }
    return {};
}

std::string findingsNamed(const std::vector<Finding> &findings)
{
    static constexpr const char *kNames[]
        = { "cut", "too long", "leading blanks", "tilde", "spam" };
    std::string out = std::to_string(findings.size()) + " findings";
    for (std::size_t i = 0; i < findings.size(); ++i)
        out += std::string(i ? ", " : ": ") + kNames[static_cast<int>(findings[i].kind)]
            + " at line " + std::to_string(findings[i].line);
    return out;
}

// The pass the loader makes once the size check has passed: every line, unbounded, into a
// Preflight, stopping where every further line would be refused anyway.
std::string preflightPass(const std::string &path)
{
    auto reader = openLineReader(path);
    if (!reader)
        return reader.error().message;
    Preflight check("note");
    for (std::size_t lines = 0; lines <= kMaxNoteChars; ++lines) {
        auto line = reader.value()->next();
        if (!line)
            return line.error().message;
        if (!line.value())
            break;
        check.add(*line.value());
    }
    return findingsNamed(check.findings());
}

struct Measured
{
    double medianSeconds;
    long long bytesPerRun;
    std::string outcome;
};

Measured measure(int runs, const std::function<std::string()> &pass)
{
    std::vector<double> times;
    std::string outcome;
    // Reading /proc/self/io is itself a read: take its own count out.
    const long long probe = bytesRead();
    const long long before = bytesRead();
    const long long overhead = before - probe;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        outcome = pass();
        times.push_back(secondsSince(start));
    }
    return { median(times), (bytesRead() - before - overhead + runs / 2) / runs, outcome };
}

void report(const std::string &measureName, int runs, const Measured &m)
{
    printRow(kBenchmark, measureName, duration(m.medianSeconds),
        "median of " + std::to_string(runs) + "; " + std::to_string(m.bytesPerRun)
            + " bytes read per run; " + m.outcome);
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 101;
    test::TempDir dir;

    const std::string sparse = dir.file("sparse-1G");
    std::ofstream { sparse };
    std::filesystem::resize_file(sparse, kSparseSize); // a hole: no block is written

    const std::string text = dir.file("text-4096");
    {
        std::ofstream out(text, std::ios::binary);
        for (int line = 0; line < 64; ++line)
            out << std::string(63, static_cast<char>('a' + line % 26))
                << static_cast<char>('0' + line % 10) << '\n';
    }

    report("size check, 1 GiB sparse file", runs, measure(runs, [&] { return sizeCheck(sparse); }));
    printRow(kBenchmark, "preflight pass, 1 GiB sparse file", "not run",
        "the loader runs it only after the size check passes; alone it would read the whole "
        "file as one line");
    report("size check, 4096-char text (64 × 64)", runs,
        measure(runs, [&] { return sizeCheck(text); }));
    report("preflight pass, 4096-char text (64 × 64)", runs,
        measure(runs, [&] { return preflightPass(text); }));
    return 0;
}
