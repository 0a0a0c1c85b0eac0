#include "CArchive.h"

#include "CodePage1252.h"

#include <QIODevice>
#include <QtEndian>

#include <climits>
#include <string>

namespace {

// Texts are read in pieces, so a hostile length costs no more memory than
// the data that is really there.
constexpr qint64 kReadChunk = 64 * 1024;

} // namespace

CArchive::CArchive(QIODevice* device, Mode mode)
    : m_device(device), m_mode(mode)
{
    if (!m_device || !m_device->isOpen())
        m_status = mode == store ? Status::WriteFailed : Status::ReadPastEnd;
}

void CArchive::fail(Status status)
{
    if (m_status == Status::Ok)
        m_status = status;
}

void CArchive::Abort()
{
    fail(Status::Aborted);
}

void CArchive::MarkCorrupt()
{
    fail(Status::Corrupt);
}

bool CArchive::readBytes(void* data, qint64 size)
{
    if (!IsOk() || !IsLoading())
        return false;
    if (size == 0)
        return true;
    if (m_device->read(static_cast<char*>(data), size) != size) {
        fail(Status::ReadPastEnd);
        return false;
    }
    return true;
}

bool CArchive::writeBytes(const void* data, qint64 size)
{
    if (!IsOk() || !IsStoring())
        return false;
    if (size == 0)
        return true;
    if (m_device->write(static_cast<const char*>(data), size) != size) {
        fail(Status::WriteFailed);
        return false;
    }
    return true;
}

template <class T>
bool CArchive::readLittle(T& value)
{
    uchar raw[sizeof(T)];
    if (!readBytes(raw, sizeof(T)))
        return false;
    value = qFromLittleEndian<T>(raw);
    return true;
}

template <class T>
void CArchive::writeLittle(T value)
{
    uchar raw[sizeof(T)];
    qToLittleEndian<T>(value, raw);
    writeBytes(raw, sizeof(T));
}

CArchive& CArchive::operator<<(qint32 value)
{
    writeLittle<qint32>(value);
    return *this;
}

CArchive& CArchive::operator<<(quint32 value)
{
    writeLittle<quint32>(value);
    return *this;
}

CArchive& CArchive::operator>>(qint32& value)
{
    readLittle<qint32>(value);
    return *this;
}

CArchive& CArchive::operator>>(quint32& value)
{
    readLittle<quint32>(value);
    return *this;
}

void CArchive::writeLength(quint64 length)
{
    if (length < 0xFF) {
        writeLittle<quint8>(quint8(length));
    } else if (length < 0xFFFE) {
        writeLittle<quint8>(0xFF);
        writeLittle<quint16>(quint16(length));
    } else if (length < 0xFFFFFFFFu) {
        writeLittle<quint8>(0xFF);
        writeLittle<quint16>(0xFFFF);
        writeLittle<quint32>(quint32(length));
    } else {
        writeLittle<quint8>(0xFF);
        writeLittle<quint16>(0xFFFF);
        writeLittle<quint32>(0xFFFFFFFFu);
        writeLittle<quint64>(length);
    }
}

void CArchive::WriteString(const QString& text)
{
    bool representable = true;
    const std::string bytes = CodePage1252::Encode(text, '?', &representable);
    if (representable) {
        writeLength(bytes.size());
        writeBytes(bytes.data(), qint64(bytes.size()));
        return;
    }
    writeLittle<quint8>(0xFF);
    writeLittle<quint16>(0xFFFE);
    writeLength(quint64(text.size()));
    for (QChar c : text)
        writeLittle<quint16>(c.unicode());
}

bool CArchive::readLength(quint64& length, bool& wide)
{
    wide = false;
    quint8 b = 0;
    if (!readLittle(b))
        return false;
    if (b < 0xFF) {
        length = b;
        return true;
    }
    quint16 w = 0;
    if (!readLittle(w))
        return false;
    if (w == 0xFFFE) {
        wide = true;
        if (!readLittle(b))
            return false;
        if (b < 0xFF) {
            length = b;
            return true;
        }
        if (!readLittle(w))
            return false;
    }
    if (w < 0xFFFF) {
        length = w;
        return true;
    }
    quint32 d = 0;
    if (!readLittle(d))
        return false;
    if (d < 0xFFFFFFFFu) {
        length = d;
        return true;
    }
    return readLittle(length);
}

bool CArchive::ReadString(QString& text)
{
    quint64 length = 0;
    bool wide = false;
    if (!readLength(length, wide))
        return false;
    const quint64 unit = wide ? 2 : 1;
    // No text of ours comes near this; a longer one cannot be a string of
    // this archive and would not fit a QString.
    if (length > quint64(INT_MAX) / unit) {
        MarkCorrupt();
        return false;
    }
    const qint64 total = qint64(length * unit);
    std::string bytes;
    while (qint64(bytes.size()) < total) {
        const qint64 piece = qMin(kReadChunk, total - qint64(bytes.size()));
        const size_t at = bytes.size();
        bytes.resize(at + size_t(piece));
        if (!readBytes(bytes.data() + at, piece))
            return false;
    }
    if (!wide) {
        text = CodePage1252::Decode(bytes);
    } else {
        QString decoded(qsizetype(length), Qt::Uninitialized);
        for (qsizetype i = 0; i < qsizetype(length); ++i)
            decoded[i] = QChar(qFromLittleEndian<quint16>(bytes.data() + 2 * i));
        text = decoded;
    }
    return true;
}
