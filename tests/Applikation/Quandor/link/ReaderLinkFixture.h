#pragma once

#include "CReaderLink.h"
#include "CSimulatedReader.h"
#include "ReaderLinkRecorder.h"
#include "TestLinkTiming.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

// A reader link connected to a simulated reader, as the tests of the
// online link need it.
class OnlineLink : public ::testing::Test
{
protected:
    using Clock = std::chrono::steady_clock;

    static constexpr int kPort = 40;

    static qint64 MsSince(Clock::time_point start)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    }

    // Connects to a new simulated reader of the model; the search of a
    // plain model takes over ten seconds.
    // prepare sets the reader up before the link first hears it (how its
    // line behaves is learnt on each opening).
    void Connect(CSimulatedReader::Model model, const std::function<void(CSimulatedReader&)>& prepare = nullptr)
    {
        reader = std::make_unique<CSimulatedReader>(model, link.Timing().factor);
        reader->RegisterAs(kPort);
        if (prepare)
            prepare(*reader);
        Reconnect();
    }
    // The link and the next simulator at the times the readers are built
    // for (the late bounds cut short, see RealTimeShortBounds): for the
    // tests that prove those times.
    void UseRealTime() { ASSERT_TRUE(link.SetTiming(RealTimeShortBounds())); }
    // A time of the protocol as this test's link runs it.
    int Ms(int realMs) const { return link.Timing().Scale(realMs); }

    void Reconnect()
    {
        recorder.link = &link;
        link.SetObserver(&recorder);
        const int before = recorder.OutcomeCount();
        ASSERT_EQ(link.Connect(kPort), CReaderLink::ConnectStarted);
        ASSERT_TRUE(recorder.WaitFor([&] { return recorder.outcomes.size() > before; }, 16000));
        ASSERT_TRUE(recorder.LastOutcome().success);
        ASSERT_TRUE(link.IsPollingRunning());
    }
    // Waits for the next poll frame of a framed reader.
    bool WaitForPoll(int timeoutMs = 3000)
    {
        return WaitForFrames("FFCT23", Polls() + 1, timeoutMs);
    }
    // Waits until count frames starting with prefix were received.
    bool WaitForFrames(const QByteArray& prefix, int count, int timeoutMs)
    {
        return reader->WaitFor([&](const QList<CSimulatedReader::Frame>& log) { return CountIn(log, prefix) >= count; },
                               timeoutMs);
    }
    static int CountIn(const QList<CSimulatedReader::Frame>& log, const QByteArray& prefix)
    {
        int count = 0;
        for (const CSimulatedReader::Frame& frame : log)
            count += frame.body.startsWith(prefix) ? 1 : 0;
        return count;
    }
    int Polls() const { return reader->Count("FFCT23"); }

    ReaderLinkRecorder recorder;
    // At test time unless a test gives its link the real times
    // (link.SetTiming(CLinkTiming())) before it connects.
    CReaderLink link{nullptr, nullptr, TestLinkTiming()};
    std::unique_ptr<CSimulatedReader> reader;
};
