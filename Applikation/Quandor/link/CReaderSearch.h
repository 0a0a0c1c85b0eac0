#pragma once

#include "CReaderLinkObserver.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>

class CLanguageHandler;
class CLinkStatus;
class CReaderChannel;

// Finding out which reader answers on a port: the framed models at 57200
// baud (identity, login, identification for a reader that has none, clock),
// else the plain models at 9600 baud (identity, and a Wren's master
// transponder). Runs on the link's thread, which owns the port meanwhile.
//
// Every step looks at the stop flag first; a stopped search ends at once,
// cancelled, with the port closed and nothing to tell the user.
class CReaderSearch
{
public:
    // Opens the port by its name ("COM<n>") at a baud selector (1: 57200,
    // 2: 9600); 1 = open.
    using PortOpener = std::function<int(const QString& portName, quint8 baudSelector)>;

    // open opens the port that channel talks on.
    CReaderSearch(CReaderChannel& channel, PortOpener open, CLinkStatus& status, const std::atomic<bool>& stop,
                  CLanguageHandler* language, CReaderLinkObserver* observer);

    // Searches on port comPort (at 57200 baud, then at 9600 for the plain
    // models). On success the port stays open at the reader's speed and the
    // status holds the reader.
    CSearchOutcome Run(quint32 comPort);

    // "U0000" and seconds, minutes, hours, weekday (01 Monday to 07
    // Sunday), day, month, two-digit year, two digits each. The weekday
    // comes from the date itself, so the text is the same in every locale.
    static QString BuildClockString(const QDateTime& now);
    static QString BuildClockString();
    // A fresh identification for a reader that has none: 20 upper-case hex
    // digits (the length a reader reports back at its next login), never
    // with ten 'F' in a row (which would read as "unset" again).
    static QString MakeSessionString();

private:
    enum class End { Success, Failure, Cancelled };

    QByteArray Send(char letter, const QByteArray& data, int mode);
    bool Stopped() const { return m_stop.load(); }
    CSearchOutcome Finish(End end, QList<int> messages = {});
    CSearchOutcome SearchFramed(const QByteArray& identity);
    CSearchOutcome SearchPlain(quint32 comPort);
    bool Open(quint8 baudSelector) const;

    CReaderChannel& m_channel;
    const PortOpener m_open;
    CLinkStatus& m_status;
    const std::atomic<bool>& m_stop;
    CLanguageHandler* m_language;
    CReaderLinkObserver* m_observer;
    QString m_portName;
};
