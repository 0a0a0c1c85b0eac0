#include "CSimulatedReader.h"

#include <QSettings>

#include <algorithm>
#include <cmath>
#include <asm/termbits.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

const char kStx = 0x02;
const char kEot = 0x04;
const char kAck = 0x06;
const char kNak = 0x15;
const int kMaxBody = 512;
const int kLearnWindowMs = 10000;

QByteArray Hex(unsigned value, int width)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

QByteArray TwoDigits(int value)
{
    return QByteArray::number(value).rightJustified(2, '0');
}

bool IsHex(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

bool ParseHex(const QByteArray& text, unsigned& value)
{
    if (!IsHex(text))
        return false;
    bool ok = false;
    value = text.toUInt(&ok, 16);
    return ok;
}

bool IsDigits(const QByteArray& text)
{
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return !text.isEmpty();
}

// A copy that shares no data with the original. Text crosses between the
// test's threads and the simulator's only this way: Qt's shared data is
// released inside the (uninstrumented) Qt library, which ThreadSanitizer
// cannot see, so shared blocks would show as false races.
QByteArray Own(const QByteArray& text)
{
    return QByteArray(text.constData(), text.size());
}

QByteArray Framed(const QByteArray& body)
{
    return kStx + body + kEot;
}

} // namespace

QByteArray CSimulatedReader::Checksum(const QByteArray& text)
{
    unsigned sum = 0;
    for (char c : text)
        sum += static_cast<unsigned char>(c);
    return Hex(sum & 0xFF, 2);
}

QString CSimulatedReader::ModelName(Model model)
{
    switch (model) {
    case Kite: return QStringLiteral("Kite");
    case Heron: return QStringLiteral("Heron");
    case Egret: return QStringLiteral("Egret");
    case Wren: return QStringLiteral("Wren");
    case Tern: return QStringLiteral("Tern");
    }
    return QString();
}

bool CSimulatedReader::ModelFromName(const QString& name, Model& model)
{
    for (Model m : {Kite, Heron, Egret, Wren, Tern}) {
        if (ModelName(m).compare(name, Qt::CaseInsensitive) == 0) {
            model = m;
            return true;
        }
    }
    return false;
}

int CSimulatedReader::EventCapacity(Model model)
{
    switch (model) {
    case Kite: return 5000;
    case Heron: return 2900;
    case Egret: return 4000;
    default: return 0;
    }
}

QByteArray CSimulatedReader::DefaultIdentification(Model model)
{
    // Each framed model its own, so that two simulators of different
    // models are two readers; the first two characters are the address.
    switch (model) {
    case Heron: return "0123456789ABCDEF0224";
    case Egret: return "0123456789ABCDEF0325";
    default: return "0123456789ABCDEF0123";
    }
}

int CSimulatedReader::TransponderCapacity(Model model)
{
    switch (model) {
    case Kite: return 500;
    case Heron: return 100;
    case Egret: return 1000;
    default: return 0;
    }
}

CSimulatedReader::CSimulatedReader(Model model, double timeScale)
    : m_model(model)
    , m_scale(timeScale > 0.0 ? timeScale : 1.0)
    , m_started(Clock::now())
    , m_identification(DefaultIdentification(model))
{
    if (model == Wren)
        m_list = {QByteArray("0A1B2C3D4E")};
    else if (model == Tern)
        m_list = {QByteArray()}; // no master

    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return;
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return;
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return;
    // Raw from the start: a slave in its default cooked mode would echo the
    // simulator's replies back to it.
    termios2 t{};
    if (ioctl(m_slave, TCGETS2, &t) == 0) {
        t.c_iflag = 0;
        t.c_oflag = 0;
        t.c_lflag = 0;
        t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | CSTOPB)) | CS8 | CREAD | CLOCAL;
        (void)ioctl(m_slave, TCSETS2, &t);
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wake < 0)
        return;
    m_thread = std::thread([this] { Run(); });
}

CSimulatedReader::~CSimulatedReader()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        WakeLocked();
    }
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : {m_master, m_slave, m_wake}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool CSimulatedReader::IsRunning() const
{
    return m_thread.joinable();
}

void CSimulatedReader::RegisterAs(int comNumber) const
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Quandor");
    settings.setValue(QStringLiteral("Ports/COM%1").arg(comNumber), m_slavePath);
    settings.sync();
}

bool CSimulatedReader::IsFramed() const
{
    return m_model == Kite || m_model == Heron || m_model == Egret;
}

unsigned CSimulatedReader::OwnBaud() const
{
    return IsFramed() ? 57200 : 9600;
}

unsigned CSimulatedReader::LineBaud() const
{
    // The master reports the termios of the slave, which the program set.
    termios2 t{};
    if (m_master < 0 || ioctl(m_master, TCGETS2, &t) != 0)
        return 0;
    return t.c_ispeed;
}

qint64 CSimulatedReader::NowMs() const
{
    const auto realUs = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_started).count();
    return qint64(double(realUs) / 1000.0 / m_scale);
}

std::chrono::microseconds CSimulatedReader::Real(qint64 protocolMs) const
{
    return std::chrono::microseconds(std::llround(double(protocolMs) * 1000.0 * m_scale));
}

void CSimulatedReader::WakeLocked()
{
    const uint64_t one = 1;
    if (m_wake >= 0)
        (void)!::write(m_wake, &one, sizeof one);
}

void CSimulatedReader::Run()
{
    for (;;) {
        int timeoutMs = -1;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop)
                return;
            if (m_dropRequested && m_master >= 0) {
                ::close(m_master);
                m_master = -1;
                m_outgoing.clear();
            }
            const Clock::time_point now = Clock::now();
            Clock::time_point next;
            if (m_master >= 0 && WriteDueLocked(now, next)) {
                const auto waitUs = std::chrono::duration_cast<std::chrono::microseconds>(next - now).count();
                timeoutMs = waitUs > 0 ? int((waitUs + 999) / 1000) : 0;
            }
        }
        pollfd fds[2] = {{m_wake, POLLIN, 0}, {m_master, POLLIN, 0}};
        const int count = m_master >= 0 ? 2 : 1;
        if (::poll(fds, nfds_t(count), timeoutMs) < 0 && errno != EINTR)
            return;
        if (fds[0].revents) {
            uint64_t value = 0;
            (void)!::read(m_wake, &value, sizeof value);
        }
        if (count == 2 && (fds[1].revents & POLLIN)) {
            char buffer[256];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            std::lock_guard<std::mutex> lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i)
                OnByte(static_cast<unsigned char>(buffer[i]));
        }
    }
}

bool CSimulatedReader::WriteDueLocked(Clock::time_point now, Clock::time_point& next)
{
    // Start, eight data and stop bit, at the simulator's time scale.
    const double byteUs = 10e6 / double(OwnBaud()) * m_scale;
    while (!m_outgoing.empty()) {
        Outgoing& out = m_outgoing.front();
        if (!out.started) {
            if (out.due > now) {
                next = out.due;
                return true;
            }
            out.started = true;
            out.startedAt = now;
        }
        qsizetype allowed = out.bytes.size();
        if (m_pacing) {
            const auto elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(now - out.startedAt).count();
            allowed = std::min(allowed, qsizetype(double(elapsedUs) / byteUs) + 1);
        }
        if (allowed > out.sent) {
            const ssize_t n = ::write(m_master, out.bytes.constData() + out.sent, size_t(allowed - out.sent));
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                m_outgoing.clear(); // the line is gone
                return false;
            }
            if (n > 0)
                out.sent += n;
            if (out.sent < allowed) {
                next = now + std::chrono::milliseconds(1); // the terminal is full: shortly again
                return true;
            }
        }
        if (out.sent >= out.bytes.size()) {
            m_outgoing.pop_front();
            continue;
        }
        next = out.startedAt + std::chrono::microseconds(qint64(double(out.sent) * byteUs));
        return true;
    }
    return false;
}

void CSimulatedReader::OnByte(unsigned char byte)
{
    ++m_bytesReceived;
    if (byte == kStx) {
        m_partial.clear();
        m_inFrame = true;
    } else if (byte == kEot) {
        if (m_inFrame)
            OnFrame(m_partial);
        m_inFrame = false;
        m_partial.clear();
    } else if (m_inFrame) {
        m_partial.append(char(byte));
        if (m_partial.size() > kMaxBody) {
            m_inFrame = false;
            m_partial.clear();
        }
    }
    m_logChanged.notify_all();
}

void CSimulatedReader::OnFrame(const QByteArray& body)
{
    const unsigned baud = LineBaud();
    m_log.append(Frame{NowMs(), baud, body});
    if (m_dropAfter > 0 && --m_dropAfter == 0) {
        m_dropRequested = true;
        WakeLocked();
        return;
    }
    if (m_silent || (m_checkSpeed && baud != OwnBaud()))
        return;

    const char letter = IsFramed() ? (body.size() > 2 ? body.at(2) : 0) : (body.isEmpty() ? 0 : body.at(0));
    for (char key : {letter, char(0)}) {
        auto it = m_ignore.find(key);
        if (it != m_ignore.end() && it.value() > 0) {
            if (--it.value() == 0)
                m_ignore.erase(it);
            return;
        }
    }

    QByteArray reply = IsFramed() ? AnswerFramed(body) : AnswerPlain(body);
    if (reply.isNull())
        return;
    const bool corruptThis = TakeByPrefix(m_corruptPrefix, body);
    if (IsFramed() && (corruptThis || m_corrupt > 0) && reply.size() >= 2) {
        if (!corruptThis)
            --m_corrupt;
        const QByteArray good = reply.right(2);
        reply.chop(2);
        reply += good == "00" ? QByteArray("01") : QByteArray("00");
    }
    QByteArray bytes = Framed(reply);
    if (m_hasReplacement) {
        bytes = m_replacement;
        m_hasReplacement = false;
    }
    const QByteArray copy = bytes;
    if (!m_injectReport.isEmpty()) {
        bytes.prepend(Framed('R' + m_injectReport));
        m_injectReport.clear();
    }
    int delay = m_latencyMs + m_nextDelayMs;
    m_nextDelayMs = 0;
    if (!m_delayPrefix.isEmpty() && body.startsWith(m_delayPrefix)) {
        delay += m_delayPrefixMs;
        m_delayPrefix.clear();
    }
    Queue(bytes, delay);
    if (m_repeatGapMs >= 0)
        Queue(copy, delay + m_repeatGapMs);
    if (!m_repeatOncePrefix.isEmpty() && body.startsWith(m_repeatOncePrefix)) {
        m_repeatOncePrefix.clear();
        Queue(copy, delay + m_repeatOnceGapMs);
    }
}

QByteArray CSimulatedReader::AnswerFramed(const QByteArray& body)
{
    if (body.size() < 5 || !body.startsWith("FF"))
        return QByteArray();
    if (Checksum(body.left(body.size() - 2)) != body.right(2))
        return QByteArray();
    const char letter = body.at(2);
    const QByteArray data = body.mid(3, body.size() - 5);
    const char echo = data.isEmpty() ? '0' : data.at(0);

    auto nak = m_nak.find(letter);
    const bool nakThis = TakeByPrefix(m_nakPrefix, body);
    if (nakThis || (nak != m_nak.end() && nak.value() > 0)) {
        if (!nakThis)
            --nak.value();
        const QByteArray text = QByteArray("FF") + letter + echo + kNak;
        return text + Checksum(text);
    }

    for (int i = 0; i < m_answerNext.size(); ++i) {
        Forced& forced = m_answerNext[i];
        if (!body.mid(2).startsWith(forced.request))
            continue;
        const QByteArray text = forced.payload;
        const bool bad = forced.badChecksum;
        if (--forced.count <= 0)
            m_answerNext.removeAt(i);
        const QByteArray sum = Checksum(text);
        return text + (bad ? (sum == "00" ? QByteArray("01") : QByteArray("00")) : sum);
    }

    QByteArray payload;
    switch (letter) {
    case 'H': {
        const QByteArray identity = m_identityOverride.isEmpty()
            ? (m_model == Kite ? "QMZT18" : m_model == Heron ? "QMZT17" : "QMZT27")
            : m_identityOverride;
        return identity + Checksum(identity);
    }
    case 'C':
        if (data != "T")
            break;
        if (!m_pendingTags.isEmpty())
            payload = "FFCT" + m_pendingTags.takeFirst();
        else if (!m_heldTag.isEmpty())
            payload = "FFCT" + m_heldTag;
        else
            payload = "FFCTNOTAG";
        return payload + Checksum(payload);
    case 'L':
        payload = FramedRead(echo, data);
        break;
    case 'S':
        payload = FramedWrite(echo, data);
        break;
    default:
        break;
    }
    if (payload.isEmpty())
        payload = QByteArray("FF") + letter + echo + kNak;
    return payload + Checksum(payload);
}

QByteArray CSimulatedReader::FramedRead(char echo, const QByteArray& data)
{
    const QByteArray head = QByteArray("FFL") + echo;
    unsigned index = 0;
    if (data == "S0000")
        return head + m_identification;
    if (data.size() == 5 && data.at(0) == 'P' && ParseHex(data.mid(1), index)) {
        switch (index) {
        case 0: return head + Hex(m_parameter, 4);
        case 1: return head + Hex(m_switchCode, 4);
        case 2: return head + Hex(unsigned(m_transponderCount), 4);
        case 3: return head + (m_events.isEmpty() ? QByteArray("FFFF") : Hex(unsigned(m_events.size() - 1), 4));
        default: return QByteArray();
        }
    }
    if (data.size() == 5 && data.at(0) == 'E' && ParseHex(data.mid(1), index)) {
        if (int(index) >= EventCapacity(m_model))
            return QByteArray();
        return head + EventRecord(int(index));
    }
    if (data.size() == 5 && data.at(0) == 'T' && ParseHex(data.mid(1), index)) {
        if (int(index) >= m_transponderCount || !m_transponders.contains(int(index)))
            return QByteArray();
        return head + m_transponders.value(int(index));
    }
    return QByteArray();
}

QByteArray CSimulatedReader::EventRecord(int number) const
{
    if (number >= m_events.size())
        return "0000000000" "0000" "00" "00" "00";
    const Event& e = m_events.at(number);
    const unsigned b1 = e.kind1 | unsigned(e.day / 10) << 4 | unsigned(e.day % 10);
    const unsigned b2 = e.kind2 | unsigned(e.month / 10) << 4 | unsigned(e.month % 10);
    return e.number + TwoDigits(e.hour) + TwoDigits(e.minute) + Hex(b1, 2) + Hex(b2, 2) + TwoDigits(e.year % 100);
}

QByteArray CSimulatedReader::FramedWrite(char echo, const QByteArray& data)
{
    const QByteArray ack = QByteArray("FFS") + echo + kAck;
    unsigned value = 0;
    unsigned index = 0;
    if (data.startsWith("S0000")) {
        const QByteArray id = data.mid(5);
        if (id.size() > 20 || !IsHex(id))
            return QByteArray();
        m_identification = id.leftJustified(20, '0');
        return ack;
    }
    if (data.startsWith("U0000")) {
        const QByteArray f = data.mid(5);
        if (f.size() != 14 || !IsDigits(f))
            return QByteArray();
        const int ss = f.mid(0, 2).toInt(), mm = f.mid(2, 2).toInt(), hh = f.mid(4, 2).toInt();
        const int wd = f.mid(6, 2).toInt(), dd = f.mid(8, 2).toInt(), mo = f.mid(10, 2).toInt();
        if (ss > 59 || mm > 59 || hh > 23 || wd < 1 || wd > 7 || dd < 1 || dd > 31 || mo < 1 || mo > 12)
            return QByteArray();
        m_clock = data;
        return ack;
    }
    if (data.size() == 9 && data.startsWith('P') && ParseHex(data.mid(1, 4), index) && ParseHex(data.mid(5), value)) {
        switch (index) {
        case 0: m_parameter = quint16(value); return ack;
        case 1: m_switchCode = quint16(value); return ack;
        case 2:
            if (int(value) > TransponderCapacity(m_model))
                return QByteArray();
            m_transponderCount = int(value);
            return ack;
        case 3:
            if (value != 0xFFFF)
                return QByteArray();
            m_events.clear();
            return ack;
        default: return QByteArray();
        }
    }
    if (data.size() == 15 && data.startsWith('T') && ParseHex(data.mid(1, 4), index)) {
        const QByteArray number = data.mid(5);
        if (int(index) >= m_transponderCount || number.size() != 10 || !IsHex(number))
            return QByteArray();
        m_transponders[int(index)] = number;
        return ack;
    }
    if (data.size() == 15 && data.startsWith('Z') && ParseHex(data.mid(1, 4), index) && ParseHex(data.mid(5, 2), value)
        && IsDigits(data.mid(7))) {
        m_windows[int(index)] = TimeWindow{quint8(value), data.mid(7, 4), data.mid(11, 4)};
        return ack;
    }
    return QByteArray();
}

QByteArray CSimulatedReader::AnswerPlain(const QByteArray& body)
{
    if (body.isEmpty())
        return QByteArray();
    const char letter = body.at(0);
    const QByteArray data = body.mid(1);
    // Both plain models keep a list; the Wren's settings commands are the
    // Tern's only when asked for.
    const QByteArray commands = m_model == Wren || m_ternExtended ? "HGCMSJKDYZ" : "HGSJKDYZ";
    if (!commands.contains(letter))
        return QByteArray(); // not a command of this reader

    auto nak = m_nak.find(letter);
    const bool nakThis = TakeByPrefix(m_nakPrefix, body);
    if (nakThis || (nak != m_nak.end() && nak.value() > 0)) {
        if (!nakThis)
            --nak.value();
        return QByteArray(1, kNak);
    }

    const QByteArray ack(1, kAck);
    const QByteArray refused(1, kNak);
    unsigned value = 0;
    switch (letter) {
    case 'H':
        if (!data.isEmpty())
            return QByteArray();
        if (!m_identityOverride.isEmpty())
            return m_identityOverride;
        return m_model == Tern ? "QMZT31" : "QMZT32";
    case 'G':
        if (data.size() != 2 || !ParseHex(data, value) || int(value) >= m_list.size() || m_list.at(int(value)).isEmpty())
            return refused;
        return m_list.at(int(value));
    case 'C':
        if (data == "0")
            return Hex((m_standalone ? 1u : 0u) | (m_masterActive ? 2u : 0u), 1);
        if (data == "1")
            return QByteArray::number(m_switchTime);
        return refused;
    case 'M':
        m_learnUntil = Clock::now() + Real(kLearnWindowMs);
        return ack;
    case 'S': {
        const QByteArray number = data.mid(2);
        if (data.size() != 12 || !ParseHex(data.left(2), value) || number.size() != 10 || !IsHex(number))
            return refused;
        if (value != 0 && int(value) >= m_list.size())
            return refused;
        if (m_list.isEmpty())
            m_list.append(QByteArray());
        m_list[int(value)] = number;
        return ack;
    }
    case 'J':
    case 'K':
        if (data != "0" && data != "1")
            return refused;
        (letter == 'J' ? m_masterActive : m_standalone) = data == "1";
        return ack;
    case 'D':
        // Stored whatever it holds, as the reader does.
        m_switchTime = ParseHex(data.mid(1), value) ? int(value) : 0;
        return ack;
    case 'Y':
        return Hex(unsigned(m_list.size()), 2);
    case 'Z':
        if (data.size() != 2 || !ParseHex(data, value) || value == 0 || value > 50)
            return refused;
        while (m_list.size() < int(value))
            m_list.append(QByteArray());
        while (m_list.size() > int(value))
            m_list.removeLast();
        return ack;
    default:
        return QByteArray();
    }
}

bool CSimulatedReader::TakeByPrefix(QMap<QByteArray, int>& faults, const QByteArray& body)
{
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it.value() > 0 && body.startsWith(it.key())) {
            if (--it.value() == 0)
                faults.erase(it);
            return true;
        }
    }
    return false;
}

void CSimulatedReader::Queue(const QByteArray& bytes, int delayMs)
{
    Outgoing out;
    out.due = Clock::now() + Real(delayMs);
    out.bytes = bytes;
    // In the order they are due, after the frame on the line; frames due
    // at the same time keep the order they were made in.
    auto at = m_outgoing.begin();
    if (at != m_outgoing.end() && at->started)
        ++at;
    while (at != m_outgoing.end() && at->due <= out.due)
        ++at;
    m_outgoing.insert(at, out);
    WakeLocked();
}

// --- state

void CSimulatedReader::SetIdentification(const QByteArray& id20)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_identification = Own(id20);
}

QByteArray CSimulatedReader::Identification() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Own(m_identification);
}

QByteArray CSimulatedReader::LastClock() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Own(m_clock);
}

void CSimulatedReader::SetParameter(quint16 value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_parameter = value;
}

quint16 CSimulatedReader::Parameter() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_parameter;
}

void CSimulatedReader::SetSwitchCode(quint16 value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_switchCode = value;
}

quint16 CSimulatedReader::SwitchCode() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_switchCode;
}

void CSimulatedReader::AddEvent(const Event& event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_events.size() < EventCapacity(m_model)) {
        Event own = event;
        own.number = Own(event.number);
        m_events.append(own);
    }
}

void CSimulatedReader::FillEvents(int count, const Event& pattern)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = 0; i < count && m_events.size() < EventCapacity(m_model); ++i) {
        Event e = pattern;
        e.number = Own(pattern.number);
        e.minute = (pattern.minute + i) % 60;
        e.hour = (pattern.hour + (pattern.minute + i) / 60) % 24;
        m_events.append(e);
    }
}

void CSimulatedReader::AnswerNext(const QByteArray& request, const QByteArray& payload, int count, bool badChecksum)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (count > 0)
        m_answerNext.append(Forced{Own(request), Own(payload), count, badChecksum});
}

int CSimulatedReader::EventCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_events.size());
}

void CSimulatedReader::SetTransponderCount(int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_transponderCount = count;
}

int CSimulatedReader::TransponderCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_transponderCount;
}

void CSimulatedReader::SetTransponder(int slot, const QByteArray& number)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_transponders[slot] = Own(number);
    m_transponderCount = qMax(m_transponderCount, slot + 1);
}

QByteArray CSimulatedReader::Transponder(int slot) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Own(m_transponders.value(slot));
}

QMap<int, CSimulatedReader::TimeWindow> CSimulatedReader::TimeWindows() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QMap<int, TimeWindow> copy;
    for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it)
        copy.insert(it.key(), TimeWindow{it->weekdays, Own(it->from), Own(it->to)});
    return copy;
}

void CSimulatedReader::SetMaster(const QByteArray& number)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_list.isEmpty())
        m_list.append(QByteArray());
    m_list[0] = Own(number);
}

QByteArray CSimulatedReader::Master() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_list.isEmpty() ? QByteArray() : Own(m_list.at(0));
}

void CSimulatedReader::SetListLength(int length)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    while (m_list.size() < length)
        m_list.append(QByteArray());
    while (m_list.size() > length)
        m_list.removeLast();
}

void CSimulatedReader::SetListEntry(int index, const QByteArray& number10)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index < 0)
        return;
    while (m_list.size() <= index)
        m_list.append(QByteArray());
    m_list[index] = Own(number10);
}

int CSimulatedReader::ListLength() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_list.size());
}

QByteArray CSimulatedReader::ListEntry(int index) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return index >= 0 && index < m_list.size() ? Own(m_list.at(index)) : QByteArray();
}

bool CSimulatedReader::MasterActive() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_masterActive;
}

bool CSimulatedReader::Standalone() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_standalone;
}

int CSimulatedReader::SwitchTime() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_switchTime;
}

void CSimulatedReader::SetTernExtended(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ternExtended = on;
}

void CSimulatedReader::SetLearnReportsAsR(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_learnAsR = on;
}

void CSimulatedReader::PresentTag(const QByteArray& number10)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (IsFramed()) {
        m_pendingTags.append(Own(number10));
        return;
    }
    char letter = 'R';
    if (Clock::now() < m_learnUntil) {
        m_learnUntil = Clock::time_point();
        if (m_list.isEmpty())
            m_list.append(QByteArray());
        m_list[0] = Own(number10);
        letter = m_learnAsR ? 'R' : 'M';
    }
    if (!m_silent)
        Queue(Framed(letter + Own(number10)), 0);
}

void CSimulatedReader::HoldTag(const QByteArray& number10)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (IsFramed()) {
            m_heldTag = Own(number10);
            return;
        }
    }
    PresentTag(number10);
}

void CSimulatedReader::ReleaseTag()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_heldTag.clear();
}

// --- faults

void CSimulatedReader::SetPacing(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pacing = on;
}

void CSimulatedReader::ReplyNextWith(const QByteArray& body)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replacement = Framed(Own(body));
    m_hasReplacement = true;
}

void CSimulatedReader::SetSilent(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = on;
}

void CSimulatedReader::SetLatency(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_latencyMs = ms;
}

void CSimulatedReader::DelayNextReply(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nextDelayMs = ms;
}

void CSimulatedReader::DelayReplyTo(const QByteArray& prefix, int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayPrefix = Own(prefix);
    m_delayPrefixMs = ms;
}

void CSimulatedReader::NakNext(char letter, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nak[letter] = count;
}

void CSimulatedReader::CorruptNextChecksums(int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_corrupt = count;
}

void CSimulatedReader::NakNextTo(const QByteArray& prefix, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nakPrefix[Own(prefix)] = count;
}

void CSimulatedReader::CorruptNextTo(const QByteArray& prefix, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_corruptPrefix[Own(prefix)] = count;
}

void CSimulatedReader::IgnoreNext(char letter, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ignore[letter] = count;
}

void CSimulatedReader::InjectReportBeforeNextReply(const QByteArray& number10)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_injectReport = Own(number10);
}

void CSimulatedReader::ReplaceNextReply(const QByteArray& raw)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replacement = Own(raw);
    m_hasReplacement = true;
}

void CSimulatedReader::SetIdentityOverride(const QByteArray& identity)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_identityOverride = Own(identity);
}

void CSimulatedReader::SetCheckSpeed(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_checkSpeed = on;
}

void CSimulatedReader::SendRaw(const QByteArray& raw)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Queue(Own(raw), 0);
}

void CSimulatedReader::DropLine()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dropRequested = true;
    WakeLocked();
}

void CSimulatedReader::DropLineAfter(int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dropAfter = count;
}

void CSimulatedReader::SetRepeatReplies(int gapMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_repeatGapMs = gapMs;
}

void CSimulatedReader::RepeatReplyTo(const QByteArray& prefix, int gapMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_repeatOncePrefix = Own(prefix);
    m_repeatOnceGapMs = gapMs;
}

// --- log

QList<CSimulatedReader::Frame> CSimulatedReader::Log() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<Frame> copy;
    copy.reserve(m_log.size());
    for (const Frame& frame : m_log)
        copy.append(Frame{frame.atMs, frame.baud, Own(frame.body)});
    return copy;
}

void CSimulatedReader::ClearLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

qint64 CSimulatedReader::BytesReceived() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bytesReceived;
}

bool CSimulatedReader::WaitFor(const std::function<bool(const QList<Frame>&)>& condition, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_logChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return condition(m_log); });
}

int CSimulatedReader::Count(const QByteArray& prefix) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int count = 0;
    for (const Frame& frame : m_log) {
        if (frame.body.startsWith(prefix))
            ++count;
    }
    return count;
}
