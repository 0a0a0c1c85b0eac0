#include "CFrameReceiver.h"
#include "CReaderFrame.h"
#include "CReaderSearch.h"

#include <QLocale>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <clocale>
#include <random>

namespace {

QByteArray Bytes(const char* text)
{
    return QByteArray(text);
}

TEST(CReaderFrameTest, FramesAreByteExact)
{
    EXPECT_EQ(CReaderFrame::Build('H', QByteArray(), CReaderFrame::FramedMode), Bytes("\x02" "FFHD4" "\x04"));
    EXPECT_EQ(CReaderFrame::Build('C', "T", CReaderFrame::FramedMode), Bytes("\x02" "FFCT23" "\x04"));
    EXPECT_EQ(CReaderFrame::Build('L', "S0000", CReaderFrame::FramedMode), Bytes("\x02" "FFLS0000EB" "\x04"));
    EXPECT_EQ(CReaderFrame::Build('S', "P0003FFFF", CReaderFrame::FramedMode), Bytes("\x02" "FFSP0003FFFF0A" "\x04"));
    EXPECT_EQ(CReaderFrame::Build('H', QByteArray(), CReaderFrame::PlainMode), Bytes("\x02H\x04"));
    EXPECT_EQ(CReaderFrame::Build('G', "00", CReaderFrame::PlainModeTern), Bytes("\x02G00\x04"));
    EXPECT_TRUE(CReaderFrame::Build('H', QByteArray(), 0).isEmpty());
    EXPECT_TRUE(CReaderFrame::Build('H', QByteArray(), 4).isEmpty());
}

TEST(CReaderFrameTest, ChecksumEdgeCases)
{
    EXPECT_EQ(CReaderFrame::VerifyChecksum("00"), 1);
    EXPECT_EQ(CReaderFrame::VerifyChecksum(""), 0);
    EXPECT_EQ(CReaderFrame::VerifyChecksum("x"), 0);
    EXPECT_EQ(CReaderFrame::VerifyChecksum("0"), 0);
    EXPECT_EQ(CReaderFrame::VerifyChecksum("01"), 0);
    EXPECT_EQ(CReaderFrame::VerifyChecksum("FFLP0003EB"), 1);
    EXPECT_EQ(CReaderFrame::VerifyChecksum("QMZT18B5"), 1);
    EXPECT_EQ(CReaderFrame::VerifyChecksum("QMZT18b5"), 0); // lower-case digits fail
    EXPECT_EQ(CReaderFrame::VerifyChecksum("FFCT012345678930"), 1);
    EXPECT_EQ(CReaderFrame::VerifyChecksum("FFCT012345678931"), 0);
    // A sum over 0xFF wraps.
    EXPECT_EQ(CReaderFrame::Checksum("FFCT"), "23");
    EXPECT_TRUE(CReaderFrame::IsFramedAck(Bytes("FFSU\x06" "00")));
    EXPECT_FALSE(CReaderFrame::IsFramedAck(Bytes("FFSU")));
    EXPECT_FALSE(CReaderFrame::IsFramedAck(Bytes("FFSU\x15" "00")));
}

// What the receiver makes of a byte stream, as complete bodies in order.
QList<QByteArray> Receive(const QByteArray& stream)
{
    CFrameReceiver receiver;
    QList<QByteArray> bodies;
    for (char c : stream) {
        if (receiver.Feed(static_cast<unsigned char>(c)) == CFrameReceiver::Step::Complete)
            bodies.append(receiver.Body());
    }
    return bodies;
}

TEST(CFrameReceiverTest, KeepsOnlyWhatLiesBetweenStxAndEot)
{
    using List = QList<QByteArray>;
    EXPECT_EQ(Receive(Bytes("noise\x02" "ABC\x04")), List{"ABC"});
    EXPECT_EQ(Receive(Bytes("\x04xx\x02" "ABC\x04")), List{"ABC"});             // EOT before STX is skipped
    EXPECT_EQ(Receive(Bytes("\x02" "AB\x02" "CD\x04")), List{"CD"});            // a second STX restarts
    EXPECT_EQ(Receive(Bytes("\x02" "AB")), List{});                            // no EOT, no frame
    EXPECT_EQ(Receive(Bytes("\x02\x04")), List{QByteArray()});                 // an empty frame is a frame
    EXPECT_EQ(Receive(Bytes("\x02" "A\x04" "junk\x04\x02" "B\x04")), (List{"A", "B"}));
    EXPECT_EQ(Receive("\x02" + QByteArray(CFrameReceiver::kMaxBody + 1, 'x') + "\x04"), List{});
    EXPECT_EQ(Receive("\x02" + QByteArray(CFrameReceiver::kMaxBody, 'x') + "\x04").value(0).size(),
              CFrameReceiver::kMaxBody);
}

// A straightforward model of the receiver to compare against.
QList<QByteArray> ReferenceReceive(const QByteArray& stream)
{
    QList<QByteArray> bodies;
    QByteArray body;
    bool started = false;
    for (char c : stream) {
        if (c == 0x02) {
            body.clear();
            started = true;
        } else if (c == 0x04) {
            if (started)
                bodies.append(body);
            started = false;
            body.clear();
        } else if (started) {
            if (body.size() >= CFrameReceiver::kMaxBody) {
                started = false;
                body.clear();
            } else {
                body.append(c);
            }
        }
    }
    return bodies;
}

QString ReferenceChecksum(const QByteArray& reply)
{
    if (reply.size() <= 2)
        return reply == "00" ? "ok" : "bad";
    int sum = 0;
    for (int i = 0; i < reply.size() - 2; ++i)
        sum += static_cast<unsigned char>(reply.at(i));
    return QString::asprintf("%02X", sum % 256) == QString::fromLatin1(reply.right(2)) ? "ok" : "bad";
}

// Seeded random inputs: framing characters are frequent so that every state
// is reached; the sanitizer builds catch any read outside the buffers.
TEST(CReaderFrameFuzz, ReceiverBuilderAndChecksumOnRandomInput)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> length(0, 600);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> anyByte(0, 255);
    const char special[] = {0x02, 0x04, 0x06, 0x15, 'F', '0', 'A'};
    std::uniform_int_distribution<int> specialIndex(0, int(sizeof special) - 1);

    for (int round = 0; round < 120000; ++round) {
        QByteArray input(length(random) % (round % 7 == 0 ? 600 : 40), Qt::Uninitialized);
        for (char& c : input)
            c = kind(random) < 3 ? special[specialIndex(random)] : char(anyByte(random));

        const QList<QByteArray> bodies = Receive(input);
        ASSERT_EQ(bodies, ReferenceReceive(input)) << "round " << round;
        for (const QByteArray& body : bodies) {
            ASSERT_FALSE(body.contains('\x02'));
            ASSERT_FALSE(body.contains('\x04'));
        }

        ASSERT_EQ(CReaderFrame::HasValidChecksum(input) ? "ok" : "bad", ReferenceChecksum(input)) << "round " << round;

        const char letter = input.isEmpty() ? 'X' : input.at(0);
        const int mode = round % 5;
        const QByteArray frame = CReaderFrame::Build(letter, input.mid(1), mode);
        if (mode < 1 || mode > 3) {
            ASSERT_TRUE(frame.isEmpty());
            continue;
        }
        ASSERT_EQ(frame.front(), '\x02');
        ASSERT_EQ(frame.back(), '\x04');
        if (mode == CReaderFrame::FramedMode) {
            ASSERT_EQ(frame.size(), input.mid(1).size() + 7);
            ASSERT_TRUE(CReaderFrame::HasValidChecksum(frame.mid(1, frame.size() - 2)));
        } else {
            ASSERT_EQ(frame.size(), input.mid(1).size() + 3);
        }
    }
}

TEST(CReaderClockTest, ClockTextFieldsAndWeekdays)
{
    // Tuesday 8 December 2026, 06:05:09.
    const QDateTime tuesday(QDate(2026, 12, 8), QTime(6, 5, 9));
    EXPECT_EQ(CReaderSearch::BuildClockString(tuesday), "U000009050602081226");
    const QString sunday = CReaderSearch::BuildClockString(QDateTime(QDate(2024, 6, 9), QTime(23, 59, 59)));
    EXPECT_EQ(sunday.size(), 19);
    EXPECT_EQ(sunday.mid(11, 2), "07");
    EXPECT_EQ(sunday, "U000059592307090624");
    const QString monday = CReaderSearch::BuildClockString(QDateTime(QDate(2000, 1, 3), QTime(0, 0, 0)));
    EXPECT_EQ(monday.mid(11, 2), "01");
    EXPECT_EQ(monday.right(2), "00");
    EXPECT_TRUE(CReaderSearch::BuildClockString(QDateTime()).isEmpty());
}

TEST(CReaderClockTest, ClockTextDoesNotDependOnTheLocale)
{
    const QDateTime when(QDate(2025, 3, 16), QTime(12, 0, 1)); // a Sunday
    const QString expected = "U000001001207160325";
    const QLocale saved;
    for (const char* name : {"fr_FR", "de_DE", "C", "ja_JP"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        std::setlocale(LC_ALL, name);
        EXPECT_EQ(CReaderSearch::BuildClockString(when), expected) << name;
    }
    QLocale::setDefault(saved);
    std::setlocale(LC_ALL, "");
    EXPECT_EQ(CReaderSearch::BuildClockString().size(), 19);
}

TEST(CReaderSessionTest, SessionStringsAreTwentyHexDigitsAndFresh)
{
    const QRegularExpression form("^[0-9A-F]{20}$");
    QStringList seen;
    for (int i = 0; i < 200; ++i) {
        const QString session = CReaderSearch::MakeSessionString();
        EXPECT_TRUE(form.match(session).hasMatch()) << qPrintable(session);
        EXPECT_FALSE(session.contains("FFFFFFFFFF"));
        EXPECT_FALSE(seen.contains(session));
        seen.append(session);
    }
}

} // namespace
