#include "CReaderSearch.h"

#include "CLanguageHandler.h"
#include "CLinkStatus.h"
#include "CReaderChannel.h"
#include "CReaderFrame.h"
#include "CSerialPort.h"

#include <random>
#include <utility>

namespace {

const int kFramedIdentityTries = 5;
const int kLoginTries = 4;
const int kWriteTries = 4;
const int kLoginReplyLength = 26;
const int kLastPortNumber = 256;

// Language texts of the search.
const int kTextSearchingOnPort = 103;
const int kTextPleaseWait = 104;
const int kTextPlainOpenFailed = 105;
const int kTextNotAcknowledged = 106;
const int kTextNoReader = 107;
const int kTextLoginFailed = 108;

int FramedReaderType(const QByteArray& identity)
{
    if (identity == "QMZT18")
        return CLinkStatus::ReaderKite;
    if (identity == "QMZT17")
        return CLinkStatus::ReaderHeron;
    if (identity == "QMZT27")
        return CLinkStatus::ReaderEgret;
    return CLinkStatus::ReaderNone;
}

QString TwoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

CReaderSearch::CReaderSearch(CReaderChannel& channel, PortOpener open, CLinkStatus& status,
                             const std::atomic<bool>& stop, CLanguageHandler* language, CReaderLinkObserver* observer)
    : m_channel(channel)
    , m_open(std::move(open))
    , m_status(status)
    , m_stop(stop)
    , m_language(language)
    , m_observer(observer)
{
}

QString CReaderSearch::BuildClockString(const QDateTime& now)
{
    const QDate date = now.date();
    const QTime time = now.time();
    if (!date.isValid() || !time.isValid())
        return QString();
    // Qt counts Monday as 1 and Sunday as 7, as the reader does.
    return QStringLiteral("U0000") + TwoDigits(time.second()) + TwoDigits(time.minute()) + TwoDigits(time.hour())
        + TwoDigits(date.dayOfWeek()) + TwoDigits(date.day()) + TwoDigits(date.month()) + TwoDigits(date.year() % 100);
}

QString CReaderSearch::BuildClockString()
{
    return BuildClockString(QDateTime::currentDateTime());
}

QString CReaderSearch::MakeSessionString()
{
    static const char digits[] = "0123456789ABCDEF";
    std::random_device seed;
    std::mt19937 generator(seed());
    std::uniform_int_distribution<int> digit(0, 15);
    QString session;
    do {
        session.clear();
        for (int i = 0; i < 20; ++i)
            session += QLatin1Char(digits[digit(generator)]);
    } while (session.contains(QLatin1String("FFFFFFFFFF")));
    return session;
}

QByteArray CReaderSearch::Send(char letter, const QByteArray& data, int mode)
{
    if (Stopped())
        return QByteArray();
    return m_channel.Exchange(CReaderFrame::Build(letter, data, mode));
}

CSearchOutcome CReaderSearch::Finish(End end, QList<int> messages)
{
    CSearchOutcome outcome;
    if (end == End::Success) {
        m_channel.Purge();
        // Whether this line repeats its replies is known before anyone
        // queues a command, so none has to wait for it.
        m_channel.LearnHabit([this] { return Stopped(); });
        outcome.success = true;
        return outcome;
    }
    m_channel.Purge();
    m_channel.Close();
    m_status.SetDisconnected();
    if (end == End::Cancelled) {
        outcome.cancelled = true;
        return outcome;
    }
    messages.append(kTextNoReader);
    outcome.messages = messages;
    return outcome;
}

bool CReaderSearch::Open(quint8 baudSelector) const
{
    return m_open && m_open(m_portName, baudSelector) == 1;
}

CSearchOutcome CReaderSearch::Run(quint32 comPort)
{
    m_portName = QStringLiteral("COM%1").arg(comPort);
    m_status.SetMasterTransponder(QString());
    if (m_observer) {
        QString text;
        if (m_language) {
            text = QStringLiteral("\n") + m_language->GetLangItem(kTextSearchingOnPort, comPort) + QStringLiteral("\n")
                + m_language->GetLangItem(kTextPleaseWait);
        }
        m_observer->SearchProgress(comPort >= quint32(kLastPortNumber) ? 5 : 1, 1, text);
    }
    m_status.SetConnection(int(comPort), CLinkStatus::ReaderNone);
    if (Stopped())
        return Finish(End::Cancelled);
    if (!Open(CSerialPort::kBaud57200))
        return Finish(Stopped() ? End::Cancelled : End::Failure);

    QByteArray identity;
    for (int i = 0; i < kFramedIdentityTries && identity.isEmpty(); ++i) {
        const QByteArray reply = Send('H', QByteArray(), CReaderFrame::FramedMode);
        if (reply.size() == 8 && reply.startsWith("QMZT"))
            identity = reply;
        if (Stopped())
            return Finish(End::Cancelled);
    }
    if (!identity.isEmpty())
        return SearchFramed(identity);
    return SearchPlain(comPort);
}

CSearchOutcome CReaderSearch::SearchFramed(const QByteArray& identity)
{
    // The identity's checksum is not tested: readers differ in it.
    const int type = FramedReaderType(identity.left(6));
    if (type == CLinkStatus::ReaderNone)
        return Finish(End::Failure);
    m_status.SetReaderType(type);

    // Login. Only a whole reply counts: a shorter one, even with a valid
    // checksum, would give an identification that matches nothing later.
    QByteArray login;
    for (int i = 0; i < kLoginTries && login.isEmpty(); ++i) {
        const QByteArray reply = Send('L', "S0000", CReaderFrame::FramedMode);
        if (Stopped())
            return Finish(End::Cancelled);
        if (reply.size() == kLoginReplyLength && CReaderFrame::HasValidChecksum(reply))
            login = reply;
    }
    if (login.isEmpty())
        return Finish(End::Failure, {kTextLoginFailed});
    const QByteArray identification = login.mid(4, 20);
    m_status.SetIdentification(QString::fromLatin1(identification));

    // A reader without an identification gets this connection's session
    // string. Only the identification field is looked at, never the
    // checksum after it, and only an acknowledged write counts.
    if (identification.contains("FFFFFFFFFF")) {
        const QByteArray session = m_status.Read().sessionString.toLatin1();
        bool acknowledged = false;
        for (int i = 0; i < kWriteTries && !acknowledged; ++i) {
            acknowledged = CReaderFrame::IsFramedAck(Send('S', "S0000" + session, CReaderFrame::FramedMode));
            if (Stopped())
                return Finish(End::Cancelled);
        }
        if (!acknowledged)
            return Finish(End::Failure, {kTextNotAcknowledged});
        m_status.SetIdentification(QString::fromLatin1(session));
    }

    for (int i = 0; i < kWriteTries; ++i) {
        const QString clock = BuildClockString(); // anew for every send
        if (clock.isEmpty())
            return Finish(End::Failure, {kTextPlainOpenFailed});
        const bool acknowledged = CReaderFrame::IsFramedAck(Send('S', clock.toLatin1(), CReaderFrame::FramedMode));
        if (Stopped())
            return Finish(End::Cancelled);
        if (acknowledged)
            return Finish(End::Success);
    }
    return Finish(End::Failure, {kTextNotAcknowledged});
}

CSearchOutcome CReaderSearch::SearchPlain(quint32 comPort)
{
    m_channel.Close();
    if (Stopped())
        return Finish(End::Cancelled);
    if (!Open(CSerialPort::kBaud9600))
        return Finish(Stopped() ? End::Cancelled : End::Failure, {kTextPlainOpenFailed});

    const QByteArray identity = Send('H', QByteArray(), CReaderFrame::PlainMode);
    if (Stopped())
        return Finish(End::Cancelled);
    if (identity != "QMZT32" && identity != "QMZT31")
        return Finish(End::Failure);

    if (identity == "QMZT32") {
        m_status.SetConnection(int(comPort), CLinkStatus::ReaderWren);
        const QByteArray master = Send('G', "00", CReaderFrame::PlainMode);
        if (Stopped())
            return Finish(End::Cancelled);
        if (master.size() == 10)
            m_status.SetMasterTransponder(QString::fromLatin1(master));
    } else {
        m_status.SetConnection(int(comPort), CLinkStatus::ReaderTern);
    }
    return Finish(End::Success);
}
