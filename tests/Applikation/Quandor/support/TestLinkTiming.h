#pragma once

#include "CLinkTiming.h"

// Tests about the order and outcome of the reader conversations run the link
// and the simulated reader at a tenth of real time: the same steps, in the
// same order, with every wait of both sides shortened alike. The tests that
// prove the real reply windows use RealTimeShortBounds() and a simulator of
// scale 1; those that prove the late bounds themselves, CLinkTiming().
inline constexpr double kTestTimeScale = 0.1;

inline CLinkTiming TestLinkTiming()
{
    return CLinkTiming::Scaled(kTestTimeScale);
}

// The readers' own reply windows, polls and pauses, with the line's late
// bounds cut to what the local simulated reader needs: for the tests that
// prove those windows rather than the bounds. Its replies come as late as
// a test delays them (4 s at most) and it repeats none unless told to, so
// a transfer's closing quiet and the learning of the line's habit at each
// connection take a fraction of the real bounds (10 s and 5 s).
inline CLinkTiming RealTimeShortBounds()
{
    CLinkTiming timing;
    timing.lateReplyMs = 4500;
    timing.copyGapMs = 500;
    return timing;
}
