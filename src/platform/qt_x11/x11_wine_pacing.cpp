#include "x11_wine_pacing.h"
#include "x11_properties.h"
#include "x11_windows.h"

#include <algorithm>
#include <chrono>
#include <thread>

// Xlib last: it defines None, Status, Bool and more as macros.
#include <X11/Xlib.h>

namespace quillpost::x11 {

namespace {

using namespace std::chrono_literals;

// A bound, not a pause: the wait ends once Wine has read the quiet key. With both cores busy,
// 300 ms ran out, and Wine typed a part in the group of the part after it.
constexpr auto kWineReadWait = 2s;
constexpr auto kWineBreath = 3ms;
constexpr auto kPoll = 1ms;
constexpr std::size_t kWinePart = 16;

} // namespace

std::size_t partEnd(const std::vector<Plan> &plans, std::size_t begin, std::size_t end, bool wine)
{
    const bool mixed = std::any_of(
        plans.begin(), plans.end(), [](const Plan &p) { return p.paced || p.thenKey; });
    if (!wine || !mixed)
        return end;
    std::size_t i = begin + 1;
    while (i < end && i - begin < kWinePart && !plans[i - 1].thenKey
        && plans[i].paced == plans[begin].paced && plans[i].group == plans[begin].group)
        ++i;
    return i;
}

WineProgress::WineProgress(Display *d, KeyReader reader, std::uint64_t window) : display_(d)
{
    if (reader != KeyReader::Wine || !window)
        return;
    stampAtom_ = XInternAtom(d, "_NET_WM_USER_TIME", False);
    window_ = windowProperty(d, window, XInternAtom(d, "_NET_WM_USER_TIME_WINDOW", False))
                  .value_or(window);
}

unsigned long WineProgress::stamp() const
{
    return cardinal(display_, window_, stampAtom_).value_or(0) & 0xffffffffUL;
}

// Wine reads events only once it has translated all it read before, so a key press it reads
// after them says so. Twice: the first may be read along with the keys, while Wine is still
// reading them.
void WineProgress::waitUntilTranslated(const std::function<void()> &tapQuietKey)
{
    for (int round = 0; round < 2; ++round) {
        XSync(display_, False);
        // Past the clock's millisecond, and past the end of a read Wine may be in.
        std::this_thread::sleep_for(kWineBreath);
        const unsigned long mark = serverTime(display_);
        tapQuietKey();
        XSync(display_, False);
        const auto deadline = std::chrono::steady_clock::now() + kWineReadWait;
        while (static_cast<long>(stamp() - mark) < 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(kPoll);
    }
}

} // namespace quillpost::x11
