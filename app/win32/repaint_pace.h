// When a window catches up with a running transfer: at least every ~50 ms, so that the
// operator sees it move, but never so often that drawing takes more than a fortieth of the
// time. On Windows a list view draws a new row in well under a millisecond; under Wine showing
// a new row count or scrolling a list costs tens of milliseconds, and the pace stretches.
#pragma once

#include <algorithm>
#include <chrono>

class RepaintPace {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration MIN_GAP = std::chrono::milliseconds(50);
    static constexpr int COST_SHARE = 40;  // a repaint every COST_SHARE times its own cost

    bool Due(Clock::time_point now) const { return now - m_last >= m_gap; }
    // A repaint ran from `start` to `end`.
    void Done(Clock::time_point start, Clock::time_point end) {
        m_last = end;
        m_gap = std::max<Clock::duration>(MIN_GAP, (end - start) * COST_SHARE);
    }

private:
    Clock::time_point m_last{};
    Clock::duration m_gap = MIN_GAP;
};
