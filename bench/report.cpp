#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillpost::bench {

namespace {

std::string format(const char *pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// Three significant digits: "412", "41.2", "4.12".
std::string significant(double value, const char *unit)
{
    const double magnitude = std::fabs(value);
    const char *pattern = magnitude >= 99.95 ? "%.0f %s"
        : magnitude >= 9.995                 ? "%.1f %s"
                                             : "%.2f %s";
    char text[64];
    std::snprintf(text, sizeof text, pattern, value, unit);
    return text;
}

} // namespace

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double percent)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(percent / 100.0 * values.size()));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

double median(const std::vector<double> &values)
{
    return percentile(values, 50);
}

std::string duration(double seconds)
{
    const double magnitude = std::fabs(seconds);
    if (magnitude < 1e-3)
        return significant(seconds * 1e6, "µs");
    if (magnitude < 1)
        return significant(seconds * 1e3, "ms");
    return significant(seconds, "s");
}

std::string ratio(double value)
{
    return format(value >= 99.95 ? "%.0f×" : value >= 9.995 ? "%.1f×" : "%.2f×", value);
}

std::string mebibytes(double bytes)
{
    return significant(bytes / (1024.0 * 1024.0), "MiB");
}

void printRow(const std::string &benchmark, const std::string &measure, const std::string &result,
    const std::string &note)
{
    std::printf("| %s | %s | %s | %s |\n", benchmark.c_str(), measure.c_str(), result.c_str(),
        note.c_str());
    std::fflush(stdout);
}

} // namespace quillpost::bench
