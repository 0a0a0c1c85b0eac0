#include "link/CReaderFrame.h"

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
