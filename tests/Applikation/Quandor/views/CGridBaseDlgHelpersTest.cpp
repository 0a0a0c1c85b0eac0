#include "CGridBaseDlg.h"
#include "GridConstants.h"
#include "GridRecords.h"

#include <gtest/gtest.h>

TEST(CGridBaseDlgHelpersTest, SplitStringAppendsEveryPieceAndKeepsTheLastEmptyOne)
{
    QStringList pieces{"kept"};
    CGridBaseDlg::SplitString("a;b", &pieces, ';');
    EXPECT_EQ(pieces, QStringList({"kept", "a", "b"}));

    pieces.clear();
    CGridBaseDlg::SplitString("a;b;", &pieces, ';');
    EXPECT_EQ(pieces, QStringList({"a", "b", ""}));

    pieces.clear();
    CGridBaseDlg::SplitString(";", &pieces, ';');
    EXPECT_EQ(pieces, QStringList({"", ""}));

    pieces.clear();
    CGridBaseDlg::SplitString("", &pieces, ';');
    EXPECT_TRUE(pieces.isEmpty());
    CGridBaseDlg::SplitString("1;2;3", &pieces, ';');
    EXPECT_EQ(pieces.size(), 3);
    CGridBaseDlg::SplitString("x", nullptr, ';'); // no crash
}

TEST(CGridBaseDlgHelpersTest, HexToUIntReadsAnyCaseAndLeavesTheValueOnFailure)
{
    quint32 value = 7;
    EXPECT_TRUE(CGridBaseDlg::HexToUInt("0a1f", &value));
    EXPECT_EQ(value, 0xA1Fu);
    EXPECT_TRUE(CGridBaseDlg::HexToUInt("FFFFFFFF", &value));
    EXPECT_EQ(value, 0xFFFFFFFFu);

    value = 7;
    for (const QString& bad : {QString("12G4"), QString(""), QString(" 12"), QString("-1"),
                               QString("0x12"), QString::fromUtf8("\xEF\xAC\x80")}) {
        EXPECT_FALSE(CGridBaseDlg::HexToUInt(bad, &value)) << bad.toStdString();
        EXPECT_EQ(value, 7u);
    }
    EXPECT_FALSE(CGridBaseDlg::HexToUInt("12", nullptr));
}

TEST(CGridBaseDlgHelpersTest, HexToUIntOfATransponderNumberKeepsItsLastEightDigits)
{
    quint32 value = 0;
    EXPECT_TRUE(CGridBaseDlg::HexToUInt("AB12345678", &value));
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_TRUE(CGridBaseDlg::HexToUInt(QString(1000, 'f'), &value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
}

TEST(CGridBaseDlgHelpersTest, SortUIntArraySortsAscendingInPlace)
{
    QList<uint> values{5, 1, 4, 1, 0xFFFFFFFFu, 0};
    CGridBaseDlg::SortUIntArray(&values);
    EXPECT_EQ(values, QList<uint>({0, 1, 1, 4, 5, 0xFFFFFFFFu}));
    QList<uint> empty;
    CGridBaseDlg::SortUIntArray(&empty);
    EXPECT_TRUE(empty.isEmpty());
    CGridBaseDlg::SortUIntArray(nullptr);
}

TEST(CGridBaseDlgHelpersTest, BinToHexPadsOnTheLeftAndRefusesOtherCharacters)
{
    EXPECT_EQ(CGridBaseDlg::BinToHex("101"), "5");
    EXPECT_EQ(CGridBaseDlg::BinToHex("11111"), "1F");
    EXPECT_EQ(CGridBaseDlg::BinToHex("0000"), "0");
    EXPECT_EQ(CGridBaseDlg::BinToHex("10101010"), "AA");
    EXPECT_EQ(CGridBaseDlg::BinToHex("1111000011110000111100001111000011"), "3C3C3C3C3");
    EXPECT_EQ(CGridBaseDlg::BinToHex(""), "");
    EXPECT_EQ(CGridBaseDlg::BinToHex("10201"), "");
    EXPECT_EQ(CGridBaseDlg::BinToHex(" 101"), "");

    QString bits = "1";
    CGridBaseDlg::PadLeftToNibbles(bits);
    EXPECT_EQ(bits, "0001");
    bits = "1010";
    CGridBaseDlg::PadLeftToNibbles(bits);
    EXPECT_EQ(bits, "1010");
}

TEST(CGridBaseDlgHelpersTest, SetCellColorsGivesTheGreyLookOrTheColoursGiven)
{
    EXPECT_EQ(CGridBaseDlg::SetCellColors(true, nullptr, 0x123456, 0), CLR_DEFAULT);

    GRID_DISPINFO info;
    info.state = GVIS_SELECTED;
    // The views' call: grey back, black text, read-only.
    EXPECT_EQ(CGridBaseDlg::SetCellColors(true, &info, 0xB9B9B9, 0), 0xB9B9B9u);
    EXPECT_EQ(info.backColour, 0xB9B9B9u);
    EXPECT_EQ(info.textColour, 0u);
    EXPECT_EQ(info.state, quint32(GVIS_SELECTED | GVIS_READONLY));

    GRID_DISPINFO black;
    EXPECT_EQ(CGridBaseDlg::SetCellColors(true, &black, 0x000000, 0x0000FF), 0u);
    EXPECT_EQ(black.textColour, 0x0000FFu);
    EXPECT_EQ(black.state, quint32(GVIS_READONLY));

    GRID_DISPINFO greyOnly;
    EXPECT_EQ(CGridBaseDlg::SetCellColors(true, &greyOnly, CLR_DEFAULT, 0x0000FF), 0xB9B9B9u);
    EXPECT_EQ(greyOnly.textColour, 0xB9B9B9u);

    GRID_DISPINFO plain;
    plain.backColour = 0x111111;
    EXPECT_EQ(CGridBaseDlg::SetCellColors(false, &plain, CLR_DEFAULT, 0), CLR_DEFAULT);
    EXPECT_EQ(plain.backColour, CLR_DEFAULT);
    EXPECT_EQ(plain.textColour, CLR_DEFAULT);
    EXPECT_EQ(plain.state, 0u);

    EXPECT_EQ(CGridBaseDlg::GetDefaultSortColumn(3), -1);
    EXPECT_EQ(CGridBaseDlg::GetDefaultSortMode(3), 0);
}
