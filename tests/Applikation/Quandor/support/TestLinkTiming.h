#pragma once

#include "CLinkTiming.h"

// Tests about the order and outcome of the reader conversations run the link
// and the simulated reader at a tenth of real time: the same steps, in the
// same order, with every wait of both sides shortened alike. The tests that
// prove the real times use CLinkTiming() and a simulator of scale 1.
inline constexpr double kTestTimeScale = 0.1;

inline CLinkTiming TestLinkTiming()
{
    return CLinkTiming::Scaled(kTestTimeScale);
}
