#include "intervals.h"

#include <charconv>

namespace quillpost {

std::string numberText(double value)
{
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    std::string text(buf, ec == std::errc() ? end : buf);
    return value < 0 ? text : ' ' + text;
}

void Intervals::interval_Click(const IntervalRow &row)
{
    timer1_.setInterval(row.milliseconds);
    text1_.setText(row.status);
}

void Intervals::showtimerinterval_Click()
{
    const double seconds = timer1_.interval() / 1000.0;
    const char *unit = seconds == 1.0 ? " second." : " seconds.";
    text1_.setText("The timer interval is set at " + numberText(seconds) + unit);
}

} // namespace quillpost
