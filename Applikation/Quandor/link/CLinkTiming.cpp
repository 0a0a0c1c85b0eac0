#include "CLinkTiming.h"

#include <cmath>
#include <initializer_list>

namespace {

int scaledMs(int ms, double factor)
{
    if (ms <= 0)
        return ms;
    const long scaled = std::lround(double(ms) * factor);
    return scaled < 1 ? 1 : int(scaled);
}

} // namespace

CLinkTiming CLinkTiming::Scaled(double factor)
{
    if (!(factor > 0.0))
        factor = 1.0;
    CLinkTiming timing;
    for (int* ms : {&timing.replyByteMs, &timing.lateReplyMs, &timing.copyGapMs, &timing.firstByteMs,
                    &timing.listenMs, &timing.pollSpacingMs, &timing.queuedReplyMs,
                    &timing.writeRetryPauseMs, &timing.plainResendPauseMs, &timing.teachWaitMs})
        *ms = scaledMs(*ms, factor);
    timing.factor = factor;
    return timing;
}

int CLinkTiming::Scale(int ms) const
{
    return scaledMs(ms, factor);
}

bool CLinkTiming::operator==(const CLinkTiming& other) const
{
    return replyByteMs == other.replyByteMs && lateReplyMs == other.lateReplyMs && copyGapMs == other.copyGapMs
        && firstByteMs == other.firstByteMs && listenMs == other.listenMs && pollSpacingMs == other.pollSpacingMs
        && linkLostReads == other.linkLostReads
        && queuedReplyMs == other.queuedReplyMs && writeRetryPauseMs == other.writeRetryPauseMs
        && plainResendPauseMs == other.plainResendPauseMs && teachWaitMs == other.teachWaitMs
        && factor == other.factor;
}
