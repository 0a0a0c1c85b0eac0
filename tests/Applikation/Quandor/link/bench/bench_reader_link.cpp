// bench_reader_link: the reader link's hot paths.
//   frames      - building a framed command, testing a reply's checksum and
//                 assembling a reply from its bytes
//   floor       - one command and its reply on the bare port, no link at all:
//                 the pseudo-terminal and the simulator's own share
//   queued      - one command handed to the polling thread and its reply back
//   direct      - one command straight to the port under a transfer's lease
//   idle        - CPU used while a framed and a plain reader are online and
//                 nothing happens (the whole process, simulator included)
// Usage: bench_reader_link [idle seconds]
#include "CFrameReceiver.h"
#include "CReaderFrame.h"
#include "CReaderLink.h"
#include "CSerialPort.h"
#include "CSimulatedReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <time.h>

namespace {

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void Frames()
{
    const int rounds = 1000000;
    QElapsedTimer timer;
    timer.start();
    qsizetype total = 0;
    for (int i = 0; i < rounds; ++i)
        total += CReaderFrame::Build('L', "E1387", CReaderFrame::FramedMode).size();
    const double build = double(timer.nsecsElapsed()) / rounds;

    const QByteArray reply = "FFLE01234567890730A5632439";
    timer.restart();
    int valid = 0;
    for (int i = 0; i < rounds; ++i)
        valid += CReaderFrame::HasValidChecksum(reply) ? 1 : 0;
    const double verify = double(timer.nsecsElapsed()) / rounds;

    const QByteArray wire = "\x02" + reply + "\x04";
    CFrameReceiver receiver;
    timer.restart();
    int complete = 0;
    for (int i = 0; i < rounds; ++i) {
        for (char c : wire)
            complete += receiver.Feed(static_cast<unsigned char>(c)) == CFrameReceiver::Step::Complete ? 1 : 0;
    }
    const double receive = double(timer.nsecsElapsed()) / rounds;
    std::printf("frames   build %.0f ns, checksum test %.0f ns, receive of 28 bytes %.0f ns  (%lld %d %d)\n", build,
                verify, receive, static_cast<long long>(total), valid, complete);
}

bool ConnectTo(CReaderLink& link, CSimulatedReader& reader, int port)
{
    reader.RegisterAs(port);
    if (link.Connect(port) != CReaderLink::ConnectStarted)
        return false;
    // Polls for the connection (a benchmark has no event loop to wait in).
    for (int i = 0; i < 200 && !link.IsPollingRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return link.IsPollingRunning();
}

// A command and its reply on the bare port, read in one go after STX.
double FloorMs(CSimulatedReader& reader, int rounds)
{
    CSerialPort port;
    if (!port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud57200))
        return 0;
    const QByteArray frame = CReaderFrame::Build('L', "P0000", CReaderFrame::FramedMode);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i) {
        port.Purge(true, true);
        (void)port.Write(frame);
        unsigned char byte = 0;
        while (port.ReadByte(byte, 2000) == CSerialPort::ReadResult::Byte && byte != 0x04) {
        }
    }
    return double(timer.nsecsElapsed()) / 1e6 / rounds;
}

void RoundTrips()
{
    CSimulatedReader reader(CSimulatedReader::Kite);
    reader.SetLatency(0);
    const int rounds = 300;
    const double floor = FloorMs(reader, rounds);
    std::printf("floor    %.2f ms per command and reply on the bare port\n", floor);
    CReaderLink link;
    if (!ConnectTo(link, reader, 90)) {
        std::printf("queued   no connection\n");
        return;
    }
    QElapsedTimer timer;
    timer.start();
    int good = 0;
    for (int i = 0; i < rounds; ++i)
        good += link.SendAndWait('L', "P0000", 1).size() == 10 ? 1 : 0;
    double ms = double(timer.nsecsElapsed()) / 1e6 / rounds;
    std::printf("queued   %.2f ms per command and reply (%d of %d answered), %.1f x the floor\n", ms, good, rounds,
                ms / floor);
    timer.restart();
    good = 0;
    const CLinkLease lease = link.TakeLink();
    for (int i = 0; i < rounds; ++i)
        good += link.SendCommand(lease, 'L', "P0000", 1).size() == 10 ? 1 : 0;
    link.ReleaseLink(lease);
    ms = double(timer.nsecsElapsed()) / 1e6 / rounds;
    std::printf("direct   %.2f ms per command and reply (%d of %d answered), %.1f x the floor\n", ms, good, rounds,
                ms / floor);
}

void Idle(CSimulatedReader::Model model, int seconds)
{
    CSimulatedReader reader(model);
    CReaderLink link;
    if (!ConnectTo(link, reader, 91)) {
        std::printf("idle     %s: no connection\n", qPrintable(CSimulatedReader::ModelName(model)));
        return;
    }
    // The start's own work ends, then idling is measured over the given span.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double before = ProcessCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = ProcessCpuSeconds() - before;
    std::printf("idle     %s online: %.3f %% of one core (%.1f ms CPU in %.1f s, %d frames received)\n",
                qPrintable(CSimulatedReader::ModelName(model)), 100.0 * used / (double(timer.elapsed()) / 1000.0),
                used * 1000.0, double(timer.elapsed()) / 1000.0, int(reader.Log().size()));
}

} // namespace

int main(int argc, char** argv)
{
    // The simulated ports are named in settings of their own, never in the
    // user's.
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", qPrintable(config.path()), 1);
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    Frames();
    RoundTrips();
    Idle(CSimulatedReader::Kite, seconds);
    Idle(CSimulatedReader::Wren, seconds);
    return 0;
}
