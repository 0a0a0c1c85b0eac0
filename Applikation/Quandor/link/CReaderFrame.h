#pragma once

#include <QByteArray>
#include <QString>

// The reader frame: every frame starts with STX and ends with EOT. A framed
// request (Kite, Heron, Egret) is STX "FF" letter data checksum EOT, the
// checksum being two upper-case hex digits of the byte sum of "FF", letter
// and data; a plain request (Wren, Tern) is STX letter data EOT.
class CReaderFrame
{
public:
    static constexpr char STX = 0x02;
    static constexpr char EOT = 0x04;
    static constexpr char ACK = 0x06;
    static constexpr char NAK = 0x15;

    enum Mode {
        FramedMode = 1,
        PlainMode = 2,
        PlainModeTern = 3 // the same bytes as PlainMode
    };

    // The whole frame; empty for a mode other than 1, 2 or 3.
    static QByteArray Build(char letter, const QByteArray& data, int mode);
    // "%02X" of the byte sum of text, modulo 256.
    static QByteArray Checksum(const QByteArray& text);
    // True when the last two characters of a reply are the checksum of
    // everything before them. A reply of two characters or fewer is
    // compared with "00": "00" passes, "" and "x" fail.
    static bool HasValidChecksum(const QByteArray& reply);
    static int VerifyChecksum(const QString& reply) { return HasValidChecksum(reply.toLatin1()) ? 1 : 0; }

    // True when the reply acknowledges: ACK at position 4 of a framed
    // reply, at position 0 of a plain one.
    static bool IsFramedAck(const QByteArray& reply) { return reply.size() >= 5 && reply.at(4) == ACK; }
    static bool IsPlainAck(const QByteArray& reply) { return !reply.isEmpty() && reply.at(0) == ACK; }

    // The command letter of a framed request (the whole frame, STX "FF"
    // letter ...); 0 for a plain request or no frame at all.
    static char FramedLetter(const QByteArray& frame);
    // The first data character of a framed request, which the reply
    // echoes after the letter; 0 for a request without data or no frame.
    static char FramedEcho(const QByteArray& frame);
    // True when a framed reply has the form of the answer to a request with
    // this letter: a framed reader echoes the letter after "FF"; only the
    // identity request 'H' is answered with "QMZT" and the model number.
    // A reply of any other form belongs to someone else (a poll answer, or
    // the late reply to an earlier command).
    static bool IsFramedReplyTo(char letter, const QByteArray& reply);
    // The same, and the reply echoes the request's first data character
    // (echo 0: the request has no data, nothing more to check).
    static bool IsFramedReplyTo(char letter, char echo, const QByteArray& reply);
    // The command letter of a plain request (STX letter ... EOT); 0 for no
    // plain frame.
    static char PlainLetter(const QByteArray& frame);
    // True when a plain reply has the form of the answer to a request with
    // this letter: reading an entry ('G') gives a transponder number of ten
    // characters or a refusal (NAK); a write ('S', 'Z', 'J', 'K', 'M') is
    // acknowledged (ACK or NAK first). Other letters' replies may take any
    // form.
    static bool PlainReplyFits(char letter, const QByteArray& reply);
    // True for a poll answer: "FFC" and the rest ("NOTAG", or a tag).
    static bool IsPollAnswer(const QByteArray& reply) { return IsFramedReplyTo('C', reply); }
    // True for the unasked report of a plain reader: 11 characters, the
    // report letter ('R', or 'M' for the master a Wren has just learnt) and
    // a transponder number of ten hexadecimal digits.
    static bool IsPlainReport(const QByteArray& reply);
};
