#pragma once

#include <chrono>
#include <string>
#include <vector>

// What every benchmark here shares: the statistics and the rows of the one results table that
// bench/run assembles. Rows go to stdout as Markdown; progress and failures go to stderr.
namespace quillpost::bench {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start);

// Nearest rank, so a reported figure is always one that was measured; `values` is not empty.
double percentile(std::vector<double> values, double percent);
double median(const std::vector<double> &values);

// Seconds as µs, ms or s with three significant digits, whichever reads best.
std::string duration(double seconds);
std::string ratio(double value); // "4.21×"
std::string mebibytes(double bytes);

// | benchmark | measure | result | note |
void printRow(const std::string &benchmark, const std::string &measure, const std::string &result,
    const std::string &note = {});

} // namespace quillpost::bench
