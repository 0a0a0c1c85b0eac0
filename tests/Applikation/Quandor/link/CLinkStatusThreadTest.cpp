#include "CLinkStatus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The reader a search finds on a port, so a reading can tell whether its
// type belongs to its port.
int TypeFoundOn(int port)
{
    return port % 5;
}

} // namespace

// The search thread writes the port and then the reader it finds there,
// and a closed port takes both away; the status bar reads them meanwhile.
// Every reading must be one the writer left: no open port with the reader
// of another, no closed port with a reader.
TEST(LinkStatusThreads, AReadingNeverMixesThePortOfOneConnectionWithTheReaderOfAnother)
{
    CLinkStatus status;
    constexpr int kMinimumRounds = 20000;
    std::atomic<int> readings{0};
    std::atomic<bool> stop{false};
    std::atomic<int> rounds{0};

    std::thread writer([&] {
        for (int port = 1; !stop.load(); port = port % 255 + 1) {
            status.SetConnection(port, CLinkStatus::ReaderNone);
            status.SetReaderType(TypeFoundOn(port));
            status.SetDisconnected();
            rounds.fetch_add(1);
        }
    });

    int mixed = 0;
    int connectedSeen = 0;
    // Both sides must have run many times over; how long that takes is the
    // machine's business.
    while (rounds.load() < kMinimumRounds || readings.load() < kMinimumRounds) {
        const CLinkStatus::Snapshot now = status.Read();
        readings.fetch_add(1);
        if (now.connectedPort > 0) {
            ++connectedSeen;
            if (now.readerType != CLinkStatus::ReaderNone && now.readerType != TypeFoundOn(now.connectedPort))
                ++mixed;
        } else if (now.connectedPort != -1 || now.readerType != CLinkStatus::ReaderNone) {
            ++mixed;
        }
    }
    stop.store(true);
    writer.join();

    EXPECT_EQ(mixed, 0) << "of " << readings.load() << " readings, " << connectedSeen << " while connected";
}
