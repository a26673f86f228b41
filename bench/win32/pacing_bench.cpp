// Usage: quillpost_win32_pacing_bench [TICKS] [INTERVAL_MS]
// The send timer's ticks against their ideal schedule (start + k * interval), beside a plain
// SetTimer of the same interval, both on one window's message loop as in the program.
#include "platform/win32/win32_controls.h"

#include <windows.h>

#include <timeapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Series
{
    const char *name;
    std::vector<double> offsets; // ms past the ideal time of each tick
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[at];
}

void report(const Series &s)
{
    std::printf("%-28s ticks %zu  median %.1f ms  p99 %.1f ms  max %.1f ms off schedule\n", s.name,
        s.offsets.size(), percentile(s.offsets, 0.5), percentile(s.offsets, 0.99),
        percentile(s.offsets, 1.0));
}

} // namespace

int main(int argc, char **argv)
{
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 30;
    const int interval = argc > 2 ? std::atoi(argv[2]) : 1000;
    timeBeginPeriod(1); // as the program does
    HWND window = CreateWindowW(L"STATIC", L"pacing", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    const auto start = Clock::now();
    quillpost::win32::PacedTimer paced(window, 1, interval);
    SetTimer(window, 2, static_cast<UINT>(interval), nullptr);
    Series series[2] = { { "paced timer (the program's)", {} }, { "plain SetTimer", {} } };
    int plainCount = 0;
    int pacedCount = 0;

    auto offset = [&](int k) {
        const auto ideal = start + std::chrono::milliseconds(interval) * k;
        return std::chrono::duration<double, std::milli>(Clock::now() - ideal).count();
    };
    MSG msg;
    while ((pacedCount < ticks || plainCount < ticks) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != WM_TIMER)
            continue;
        if (msg.wParam == 1 && paced.onTimer() && pacedCount < ticks)
            series[0].offsets.push_back(offset(++pacedCount));
        else if (msg.wParam == 2 && plainCount < ticks)
            series[1].offsets.push_back(offset(++plainCount));
    }
    for (const Series &s : series)
        report(s);
    timeEndPeriod(1);
    return 0;
}
