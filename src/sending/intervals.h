#pragma once

#include "platform/controls.h"

#include <array>
#include <string>
#include <string_view>

namespace quillpost {

struct IntervalRow
{
    std::string_view item;
    std::string_view caption;
    int milliseconds;
    std::string_view status;
};

inline constexpr std::array<IntervalRow, 5> kIntervalRows { {
    { "one", "&1 second", 1000, "Timer interval set to 1 second" },
    { "two", "&2 seconds", 2000, "Timer interval set to 2 seconds" },
    { "three", "&3 seconds", 3000, "Timer interval set to 3 seconds" },
    { "four", "&4 seconds", 4000, "Timer interval set to 4 seconds" },
    { "five", "&5 seconds", 5000, "Timer interval set to 5 seconds" },
} };

// A number as text with the first character kept for the sign: " 1", "-2.5".
std::string numberText(double value);

// The time between two lines, and its report.
class Intervals
{
public:
    Intervals(Timer &timer1, TextBox &text1) : timer1_(timer1), text1_(text1) { }

    // The click handler of every interval item (one_Click ... five_Click), given its row.
    void interval_Click(const IntervalRow &row);
    void showtimerinterval_Click();

private:
    Timer &timer1_;
    TextBox &text1_;
};

} // namespace quillpost
