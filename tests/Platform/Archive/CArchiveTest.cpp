#include "CArchive.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

QByteArray written(const QString& text)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(&buffer, CArchive::store);
    ar.WriteString(text);
    EXPECT_TRUE(ar.IsOk());
    return bytes;
}

CArchive::Status readString(const QByteArray& bytes, QString& text)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CArchive ar(&buffer, CArchive::load);
    ar.ReadString(text);
    return ar.GetStatus();
}

} // namespace

TEST(CArchive, NumbersAreLittleEndian)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadWrite);
    CArchive out(&buffer, CArchive::store);
    out << qint32(-2) << quint32(0x01020304);
    EXPECT_EQ(bytes, QByteArray::fromHex("feffffff04030201"));

    buffer.seek(0);
    CArchive in(&buffer, CArchive::load);
    qint32 a = 0;
    quint32 b = 0;
    in >> a >> b;
    EXPECT_EQ(a, -2);
    EXPECT_EQ(b, 0x01020304u);
    in >> a;
    EXPECT_EQ(in.GetStatus(), CArchive::Status::ReadPastEnd);
    EXPECT_EQ(a, -2) << "a failed read leaves the value alone";
}

TEST(CArchive, StringLengthFormsAtTheirBoundaries)
{
    struct Case
    {
        int length;
        QByteArray prefix;
    };
    const Case cases[] = {
        {0, QByteArray::fromHex("00")},
        {254, QByteArray::fromHex("fe")},
        {255, QByteArray::fromHex("ffff00")},
        {0xFFFD, QByteArray::fromHex("fffdff")},
        {0xFFFE, QByteArray::fromHex("ffffff" "feff0000")},
        {70000, QByteArray::fromHex("ffffff" "70110100")},
    };
    for (const Case& c : cases) {
        const QString text(c.length, QChar('x'));
        const QByteArray bytes = written(text);
        EXPECT_EQ(bytes.left(c.prefix.size()), c.prefix) << c.length;
        EXPECT_EQ(bytes.size(), c.prefix.size() + c.length) << c.length;
        QString back;
        EXPECT_EQ(readString(bytes, back), CArchive::Status::Ok);
        EXPECT_EQ(back, text);
    }
}

TEST(CArchive, SixtyFourBitLengthsAreRead)
{
    QString text;
    EXPECT_EQ(readString(QByteArray::fromHex("ffffffffffffff" "0300000000000000") + "abc", text),
              CArchive::Status::Ok);
    EXPECT_EQ(text, QStringLiteral("abc"));
}

TEST(CArchive, TextsInTheSingleByteCodePageOrElseWide)
{
    EXPECT_EQ(written(QStringLiteral("\u00C4\u20AC")), QByteArray::fromHex("02c480"));
    // A text the code page cannot hold goes into the wide form whole.
    const QString foreign = QStringLiteral("a\u0416");
    EXPECT_EQ(written(foreign), QByteArray::fromHex("fffeff02" "61001604"));
    QString back;
    EXPECT_EQ(readString(written(foreign), back), CArchive::Status::Ok);
    EXPECT_EQ(back, foreign);
    const QString longForeign = QString(300, QChar(0x4E2D));
    EXPECT_EQ(readString(written(longForeign), back), CArchive::Status::Ok);
    EXPECT_EQ(back, longForeign);
}

TEST(CArchive, DamagedStringsFailAndKeepTheOldText)
{
    QString text = QStringLiteral("old");
    EXPECT_EQ(readString(QByteArray::fromHex("05") + "abc", text), CArchive::Status::ReadPastEnd);
    EXPECT_EQ(readString(QByteArray::fromHex("ff"), text), CArchive::Status::ReadPastEnd);
    EXPECT_EQ(readString(QByteArray::fromHex("fffeff"), text), CArchive::Status::ReadPastEnd);
    EXPECT_EQ(readString(QByteArray::fromHex("ffffff" "f0ffff7f") + "abc", text), CArchive::Status::ReadPastEnd);
    EXPECT_EQ(readString(QByteArray::fromHex("ffffff" "feffffff") + "abc", text), CArchive::Status::Corrupt);
    EXPECT_EQ(readString(QByteArray::fromHex("ffffffffffffff" "ffffffffffffff7f"), text), CArchive::Status::Corrupt);
    EXPECT_EQ(readString(QByteArray::fromHex("fffeff" "ffffffffffffff" "ffffffffffffff3f"), text), CArchive::Status::Corrupt);
    EXPECT_EQ(text, QStringLiteral("old"));
}

TEST(CArchive, TheFirstFailureStopsEverythingAfterIt)
{
    QBuffer buffer;
    buffer.setData(QByteArray::fromHex("0100000002000000"));
    buffer.open(QIODevice::ReadOnly);
    CArchive ar(&buffer, CArchive::load);
    ar.Abort();
    qint32 value = 0;
    ar >> value;
    EXPECT_EQ(value, 0);
    EXPECT_EQ(buffer.pos(), 0);
    ar.MarkCorrupt();
    EXPECT_EQ(ar.GetStatus(), CArchive::Status::Aborted) << "the first failure is the one kept";
}

TEST(CArchive, WritesThatFailAreReported)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CArchive ar(&buffer, CArchive::store);
    ar << qint32(1);
    EXPECT_EQ(ar.GetStatus(), CArchive::Status::WriteFailed);

    CArchive closed(nullptr, CArchive::load);
    EXPECT_FALSE(closed.IsOk());
}
