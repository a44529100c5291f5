// The pace at which the window catches up with a running transfer.
#include "app/win32/repaint_pace.h"

#include <gtest/gtest.h>

namespace {

TEST(RepaintPace, ASlowRepaintStretchesTheGapAndAFastOneKeepsFiftyMilliseconds) {
    using namespace std::chrono;
    RepaintPace pace;
    const RepaintPace::Clock::time_point t0{};
    pace.Done(t0, t0 + milliseconds(1));
    EXPECT_FALSE(pace.Due(t0 + milliseconds(50)));
    EXPECT_TRUE(pace.Due(t0 + milliseconds(51)));
    pace.Done(t0 + seconds(1), t0 + seconds(1) + milliseconds(30));
    EXPECT_FALSE(pace.Due(t0 + seconds(1) + milliseconds(1229)));
    EXPECT_TRUE(pace.Due(t0 + seconds(1) + milliseconds(1230)));
}

}  // namespace
