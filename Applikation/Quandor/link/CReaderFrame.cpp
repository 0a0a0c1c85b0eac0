#include "CReaderFrame.h"

QByteArray CReaderFrame::Checksum(const QByteArray& text)
{
    unsigned sum = 0;
    for (char c : text)
        sum += static_cast<unsigned char>(c);
    static const char digits[] = "0123456789ABCDEF";
    const unsigned low = sum & 0xFF;
    QByteArray hex(2, '0');
    hex[0] = digits[low >> 4];
    hex[1] = digits[low & 0x0F];
    return hex;
}

QByteArray CReaderFrame::Build(char letter, const QByteArray& data, int mode)
{
    QByteArray frame;
    if (mode == FramedMode) {
        const QByteArray text = QByteArray("FF") + letter + data;
        frame.reserve(text.size() + 4);
        frame += STX;
        frame += text;
        frame += Checksum(text);
        frame += EOT;
    } else if (mode == PlainMode || mode == PlainModeTern) {
        frame.reserve(data.size() + 3);
        frame += STX;
        frame += letter;
        frame += data;
        frame += EOT;
    }
    return frame;
}

bool CReaderFrame::HasValidChecksum(const QByteArray& reply)
{
    if (reply.size() <= 2)
        return reply == "00";
    const qsizetype split = reply.size() - 2;
    return Checksum(QByteArray::fromRawData(reply.constData(), split)) == reply.mid(split);
}

char CReaderFrame::FramedLetter(const QByteArray& frame)
{
    if (frame.size() < 5 || frame.at(0) != STX || frame.at(1) != 'F' || frame.at(2) != 'F')
        return 0;
    return frame.at(3);
}

bool CReaderFrame::IsFramedReplyTo(char letter, const QByteArray& reply)
{
    if (letter == 'H' && reply.startsWith("QMZT"))
        return true;
    return reply.size() >= 3 && reply.startsWith("FF") && reply.at(2) == letter;
}

char CReaderFrame::FramedEcho(const QByteArray& frame)
{
    // STX "FF" letter data checksum EOT: data only when longer than seven.
    if (!FramedLetter(frame) || frame.size() <= 7)
        return 0;
    return frame.at(4);
}

bool CReaderFrame::IsFramedReplyTo(char letter, char echo, const QByteArray& reply)
{
    if (!IsFramedReplyTo(letter, reply))
        return false;
    if (letter == 'H' || echo == 0)
        return true;
    return reply.size() >= 4 && reply.at(3) == echo;
}

char CReaderFrame::PlainLetter(const QByteArray& frame)
{
    if (frame.size() < 3 || frame.at(0) != STX || frame.back() != EOT || FramedLetter(frame))
        return 0;
    return frame.at(1);
}

bool CReaderFrame::PlainReplyFits(char letter, const QByteArray& reply)
{
    if (reply.isEmpty())
        return false;
    const char first = reply.at(0);
    switch (letter) {
    case 'G': return reply.size() == 10 || first == NAK;
    case 'S': case 'Z': case 'J': case 'K': case 'M': return first == ACK || first == NAK;
    default: return true;
    }
}

bool CReaderFrame::IsPlainReport(const QByteArray& reply)
{
    if (reply.size() != 11 || (reply.at(0) != 'R' && reply.at(0) != 'M'))
        return false;
    for (qsizetype i = 1; i < reply.size(); ++i) {
        const char c = reply.at(i);
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}
