// quandor-sim: a simulated reader on a pseudo-terminal, for trying Quandor
// without hardware. See the README's section for developers.

#include "CSimulatedReader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSettings>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 1;
    (void)!write(g_signalPipe[1], &c, 1);
}

void Usage()
{
    std::printf("usage: quandor-sim <kite|heron|egret|wren|tern> [--com N]\n"
                "  --com N   name the simulated port COM N in Quandor's settings\n"
                "            (the entry is removed again on exit)\n"
                "commands on standard input:\n"
                "  tag <10 hex digits>    present a transponder\n"
                "  hold <10 hex digits>   hold a transponder: in every poll answer\n"
                "  release                take the held transponder away\n"
                "  silent on|off          stop or resume answering\n"
                "  latency <ms>           delay every reply (0 to 3500 and more)\n"
                "  delay <ms>             delay the next reply once\n"
                "  delayto <text> <ms>    delay the reply to the next command that\n"
                "                         starts with this text (e.g. FFLT)\n"
                "  pace on|off            send at the model's line rate\n"
                "  nak <letter> <n>       refuse the next n commands with this letter\n"
                "  ignore <letter> <n>    leave the next n commands unanswered\n"
                "  badsum <n>             wrong checksum on the next n framed replies\n"
                "  reply <text>           answer the next command with this text,\n"
                "                         as it stands (<ACK>, <NAK> allowed)\n"
                "  report <10 hex>        unasked 'R' report before the next reply\n"
                "  id <20 hex digits>     set the identification (framed models)\n"
                "  master <10 hex>        set the master transponder (Wren, Tern)\n"
                "  length <n>             set the list length (Wren, Tern; 0 to 50)\n"
                "  entry <i> <10 hex>     set list entry i (Wren, Tern)\n"
                "  event <10 hex> [DD.MM.YYYY [hh:mm]]\n"
                "                         store an access event (Kite, Heron, Egret)\n"
                "  events <n> [10 hex]    store n events, a minute apart, from today\n"
                "  show [list|windows|settings|events]\n"
                "                         print what the reader holds (all by default)\n"
                "  drop                   unplug the reader\n"
                "  log                    print the frames received so far\n"
                "  quit\n");
}

bool IsNumber10(const QByteArray& text)
{
    if (text.size() != 10)
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

// "event <number> [DD.MM.YYYY [hh:mm]]" and "events <n> [number]": false
// with a message for input that is no event.
bool AddEvents(CSimulatedReader& reader, const QStringList& words, bool many)
{
    CSimulatedReader::Event event;
    const QDateTime now = QDateTime::currentDateTime();
    event.day = now.date().day();
    event.month = now.date().month();
    event.year = now.date().year();
    event.hour = now.time().hour();
    event.minute = now.time().minute();
    int count = 1;
    int at = 1;
    if (many) {
        bool ok = false;
        count = words.value(1).toInt(&ok);
        if (!ok || count < 1) {
            std::printf("events: give a count of 1 or more\n");
            return false;
        }
        at = 2;
    }
    if (words.size() > at) {
        event.number = words.value(at).toLatin1().toUpper();
    } else if (!many) {
        std::printf("event: give the transponder number (10 hex digits)\n");
        return false;
    }
    if (!IsNumber10(event.number)) {
        std::printf("not a transponder number (10 hex digits): %s\n", qPrintable(words.value(at)));
        return false;
    }
    if (!many && words.size() > 2) {
        const QDate date = QDate::fromString(words.value(2), QStringLiteral("dd.MM.yyyy"));
        const QTime time = words.size() > 3 ? QTime::fromString(words.value(3), QStringLiteral("hh:mm")) : QTime(0, 0);
        // Two year digits are all the reader keeps: 1971 to 2070.
        if (!date.isValid() || !time.isValid() || date.year() < 1971 || date.year() > 2070) {
            std::printf("event: give the date as DD.MM.YYYY (1971 to 2070) and the time as hh:mm\n");
            return false;
        }
        event.day = date.day();
        event.month = date.month();
        event.year = date.year();
        event.hour = time.hour();
        event.minute = time.minute();
    }
    const int before = reader.EventCount();
    if (many)
        reader.FillEvents(count, event);
    else
        reader.AddEvent(event);
    const int stored = reader.EventCount() - before;
    std::printf("%d event(s) stored, %d in the reader", stored, reader.EventCount());
    if (stored < count)
        std::printf(" (the memory holds %d)", CSimulatedReader::EventCapacity(reader.GetModel()));
    std::printf("\n");
    return true;
}

// "hhmm" or, as the windows are sent, minutes first ("3007" is 07:30).
QString WindowTime(const QByteArray& minutesFirst)
{
    if (minutesFirst.size() != 4)
        return QString::fromLatin1(minutesFirst);
    return QString::fromLatin1(minutesFirst.mid(2, 2) + ':' + minutesFirst.left(2));
}

void Show(const CSimulatedReader& reader, const QString& what)
{
    const bool all = what.isEmpty();
    const bool plain = reader.GetModel() == CSimulatedReader::Wren || reader.GetModel() == CSimulatedReader::Tern;
    if (all || what == "settings") {
        if (plain) {
            std::printf("master %s, master %s, %s mode, switch time %d s\n", reader.Master().isEmpty() ? "none" : reader.Master().constData(),
                        reader.MasterActive() ? "active" : "inactive", reader.Standalone() ? "standalone" : "reading-head",
                        reader.SwitchTime());
        } else {
            const QByteArray clock = reader.LastClock();
            std::printf("identification %s, parameter byte %02X, switch code %04X, clock %s\n",
                        reader.Identification().constData(), unsigned(reader.Parameter()), unsigned(reader.SwitchCode()),
                        clock.isEmpty() ? "never set" : clock.constData());
        }
    }
    if (all || what == "list") {
        if (plain) {
            std::printf("list: %d entries besides the master\n", qMax(0, reader.ListLength() - 1));
            for (int i = 1; i < reader.ListLength(); ++i)
                std::printf("  %2d %s\n", i, reader.ListEntry(i).constData());
        } else {
            std::printf("list: %d transponders\n", reader.TransponderCount());
            for (int i = 0; i < reader.TransponderCount(); ++i) {
                const QByteArray number = reader.Transponder(i);
                std::printf("  %4d %s\n", i, number.isEmpty() ? "(empty)" : number.constData());
            }
        }
    }
    if ((all && !plain) || what == "windows") {
        const QMap<int, CSimulatedReader::TimeWindow> windows = reader.TimeWindows();
        std::printf("time windows: %d\n", int(windows.size()));
        for (auto it = windows.cbegin(); it != windows.cend(); ++it) {
            std::printf("  %4d days %02X %s-%s\n", it.key(), unsigned(it->weekdays), qPrintable(WindowTime(it->from)),
                        qPrintable(WindowTime(it->to)));
        }
    }
    if ((all && !plain) || what == "events")
        std::printf("events: %d\n", reader.EventCount());
    if (!all && what != "settings" && what != "list" && what != "windows" && what != "events")
        std::printf("show: list, windows, settings or events\n");
}

QString Printable(const QByteArray& body)
{
    QString text;
    for (char c : body) {
        if (c == 0x06)
            text += QStringLiteral("<ACK>");
        else if (c == 0x15)
            text += QStringLiteral("<NAK>");
        else if (c < 0x20 || c > 0x7E)
            text += QStringLiteral("<%1>").arg(int(static_cast<unsigned char>(c)), 2, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(c);
    }
    return text;
}

// The text of a reply as typed: <ACK> and <NAK> stand for their bytes.
QByteArray Unescape(const QString& text)
{
    QByteArray bytes = text.toLatin1();
    bytes.replace("<ACK>", "\x06");
    bytes.replace("<NAK>", "\x15");
    return bytes;
}

bool Execute(CSimulatedReader& reader, const QStringList& words)
{
    const QString command = words.value(0).toLower();
    const QByteArray arg = words.value(1).toLatin1().toUpper();
    if (command == "quit" || command == "exit")
        return false;
    if (command == "tag")
        reader.PresentTag(arg);
    else if (command == "hold")
        reader.HoldTag(arg);
    else if (command == "release")
        reader.ReleaseTag();
    else if (command == "silent")
        reader.SetSilent(words.value(1) == "on");
    else if (command == "latency")
        reader.SetLatency(words.value(1).toInt());
    else if (command == "delay")
        reader.DelayNextReply(words.value(1).toInt());
    else if (command == "delayto" && words.size() == 3)
        reader.DelayReplyTo(words.value(1).toLatin1(), words.value(2).toInt());
    else if (command == "pace")
        reader.SetPacing(words.value(1) == "on");
    else if (command == "nak" && words.size() == 3)
        reader.NakNext(arg.at(0), words.value(2).toInt());
    else if (command == "ignore" && words.size() == 3)
        reader.IgnoreNext(arg.at(0), words.value(2).toInt());
    else if (command == "reply" && words.size() >= 2)
        reader.ReplyNextWith(Unescape(QStringList(words.mid(1)).join(' ')));
    else if (command == "length")
        reader.SetListLength(qBound(0, words.value(1).toInt(), 50));
    else if (command == "entry" && words.size() == 3)
        reader.SetListEntry(words.value(1).toInt(), words.value(2).toLatin1().toUpper());
    else if (command == "badsum")
        reader.CorruptNextChecksums(words.value(1).toInt());
    else if (command == "report")
        reader.InjectReportBeforeNextReply(arg);
    else if (command == "id")
        reader.SetIdentification(arg);
    else if (command == "master")
        reader.SetMaster(arg);
    else if (command == "event" || command == "events")
        AddEvents(reader, words, command == "events");
    else if (command == "show")
        Show(reader, words.value(1).toLower());
    else if (command == "drop")
        reader.DropLine();
    else if (command == "log") {
        for (const CSimulatedReader::Frame& frame : reader.Log())
            std::printf("%8lld ms %6u baud  %s\n", static_cast<long long>(frame.atMs), frame.baud,
                        qPrintable(Printable(frame.body)));
    } else if (!command.isEmpty())
        Usage();
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    CSimulatedReader::Model model{};
    if (args.isEmpty() || !CSimulatedReader::ModelFromName(args.at(0), model)) {
        Usage();
        return 2;
    }
    int com = 0;
    const int comAt = int(args.indexOf(QStringLiteral("--com")));
    if (comAt > 0) {
        com = args.value(comAt + 1).toInt();
        if (com < 1 || com > 256) {
            std::fprintf(stderr, "quandor-sim: --com needs a number from 1 to 256\n");
            return 2;
        }
    }

    CSimulatedReader reader(model);
    if (!reader.IsRunning()) {
        std::fprintf(stderr, "quandor-sim: no pseudo-terminal available\n");
        return 1;
    }
    if (com)
        reader.RegisterAs(com);
    std::printf("%s reader on %s%s\n", qPrintable(CSimulatedReader::ModelName(model)),
                qPrintable(reader.SlavePath()), com ? qPrintable(QStringLiteral(" (COM%1)").arg(com)) : "");
    std::printf("type 'help' for commands\n");
    std::fflush(stdout);

    if (pipe(g_signalPipe) == 0) {
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
    }
    std::string line;
    bool running = true;
    while (running) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            break;
        if (!std::getline(std::cin, line))
            break;
        running = Execute(reader, QString::fromStdString(line).simplified().split(' ', Qt::SkipEmptyParts));
    }
    if (com) {
        // Leave no override behind that points at a terminal that is gone.
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Quandor");
        settings.remove(QStringLiteral("Ports/COM%1").arg(com));
    }
    return 0;
}
