#include "CodePage1252.h"

#include <gtest/gtest.h>

TEST(CodePage1252, EveryByteSurvivesDecodingAndEncoding)
{
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[size_t(i)] = char(i);
    const QString text = CodePage1252::Decode(all);
    ASSERT_EQ(text.size(), 256);
    bool representable = false;
    EXPECT_EQ(CodePage1252::Encode(text, '?', &representable), all);
    EXPECT_TRUE(representable);
}

TEST(CodePage1252, TheWindowsLettersOfTheHighControls)
{
    EXPECT_EQ(CodePage1252::Decode(std::string("\x80\x8A\x9F\xE4")), QStringLiteral("\u20AC\u0160\u0178\u00E4"));
    EXPECT_EQ(CodePage1252::Decode(std::string("\x81\x8D")), QStringLiteral("\u0081\u008D"));
    EXPECT_EQ(CodePage1252::Encode(QStringLiteral("\u201E\u2026\u2122"), '?'), "\x84\x85\x99");
}

TEST(CodePage1252, UnitsOutsideBecomeTheSubstituteOneForOne)
{
    bool representable = true;
    const QString text = QStringLiteral("a\u0416") + QChar(0xD800) + QString::fromUcs4(U"\U0001F600") + QChar(0x80);
    EXPECT_EQ(CodePage1252::Encode(text, '\x1A', &representable), std::string("a\x1A\x1A\x1A\x1A\x1A"));
    EXPECT_FALSE(representable);
}
