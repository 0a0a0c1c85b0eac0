// Many callers of the tree view's queued command at once while the window
// polls the reader and shows its tags: every caller gets the reply to its
// own frame or its own failure, never another's.

#include "ReaderReplies.h"
#include "ReaderLinkWindowFixture.h"

#include <atomic>
#include <thread>
#include <vector>

namespace {

class ReaderLinkWindowThreads : public ReaderLinkWindow
{
protected:
    // The program with no window ever painted: Qt's raster engine paints
    // large areas on a pool of threads of its own, whose locks
    // ThreadSanitizer cannot see in Debian's Qt. So the main window stays
    // hidden and the link is started without its progress window; the
    // threads under test are the link's, the callers' and the UI thread's
    // event loop, which handles every report of the link as it always does.
    void StartUnpaintedAndConnect()
    {
        ASSERT_TRUE(m_app->InitServices());
        ASSERT_TRUE(m_app->CreateMainFrame());
        Frame()->hide();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        ASSERT_EQ(Tree()->Link().Connect(kPort), CReaderLink::ConnectStarted);
    }
};

TEST_F(ReaderLinkWindowThreads, ConcurrentCallersGetTheirOwnRepliesWhilePollingRuns)
{
    StartReader(CSimulatedReader::Kite);
    reader->SetIdentification("0123456789ABCDEF0123");
    PrepareDistinctReplies(*reader);
    reader->SetTransponderCount(2);
    StartUnpaintedAndConnect();
    ASSERT_TRUE(WaitOnline(kFramedSearchMs));
    CLeftTreeView* tree = Tree();

    const std::vector<DistinctCommand> commands = DistinctCommands();
    const int rounds = 6;
    std::atomic<int> wrong{0};
    std::atomic<int> answered{0};
    std::atomic<int> finished{0};

    std::vector<std::thread> callers;
    for (size_t i = 0; i < commands.size(); ++i) {
        callers.emplace_back([&, i] {
            const DistinctCommand& own = commands[i];
            for (int round = 0; round < rounds; ++round) {
                const QString reply = tree->SendAndWait(own.letter, own.data, 1);
                if (reply == own.reply)
                    ++answered;
                else if (!reply.isEmpty() && reply != "CRC_ERROR")
                    ++wrong; // another caller's reply, or a poll answer
            }
            ++finished;
        });
    }
    // Meanwhile tags come, some replies are broken and the window shows the
    // tags; the UI thread runs its event loop throughout.
    std::thread presenter([&] {
        for (int i = 0; i < 6 && finished.load() < int(commands.size()); ++i) {
            reader->PresentTag(QByteArray::number(1000000000 + i));
            if (i % 2 == 0)
                reader->CorruptNextChecksums(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the tags' pace, not a wait
        }
    });
    const bool done = WaitUntil([&] { return finished.load() == int(commands.size()); }, 120000);
    for (std::thread& caller : callers)
        caller.join();
    presenter.join();
    ASSERT_TRUE(done);

    EXPECT_EQ(wrong.load(), 0);
    // A broken reply costs its caller that one answer only.
    EXPECT_GE(answered.load(), int(commands.size()) * rounds - 3);
    // Tags still reach the label once the callers are gone: after those
    // presented meanwhile, which the reader reports one per poll.
    reader->PresentTag("00000000AA");
    EXPECT_TRUE(WaitUntil([this] { return Label() == Text(201) + "00000000AA"; }, 8000)) << qPrintable(Label());
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
}

TEST_F(ReaderLinkWindowThreads, GoingOfflineWhileCallersWaitReleasesThemAll)
{
    StartReader(CSimulatedReader::Heron);
    StartUnpaintedAndConnect();
    ASSERT_TRUE(WaitOnline(kFramedSearchMs));
    reader->DelayReplyTo("FFLP", 2500);
    CLeftTreeView* tree = Tree();
    std::atomic<int> released{0};
    std::vector<std::thread> callers;
    for (int i = 0; i < 4; ++i) {
        callers.emplace_back([&] {
            (void)tree->SendAndWait('L', "P0000", 1);
            ++released;
        });
    }
    ASSERT_TRUE(reader->WaitFor([](const auto& log) { return log.last().body.startsWith("FFLP"); }, 3000));
    QElapsedTimer closing;
    closing.start();
    Tree()->ClosePort();
    for (std::thread& caller : callers)
        caller.join();
    EXPECT_LT(closing.elapsed(), 1500);
    EXPECT_EQ(released.load(), 4);
    ExpectOffline();
}

} // namespace
