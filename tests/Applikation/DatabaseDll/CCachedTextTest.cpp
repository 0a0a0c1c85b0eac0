#include "CCachedText.h"

#include <gtest/gtest.h>

// Every text comes back exactly as it went in, whichever form it is kept in,
// and equal texts compare equal across the forms.
TEST(CCachedTextTest, EveryTextReadsBackAsStored)
{
    struct Case
    {
        QString text;
        bool packed;
    };
    const Case cases[] = {
        {QString(), false},
        {QStringLiteral("0123456789"), true},
        {QStringLiteral("00000000AB"), true},
        {QStringLiteral("abcdef"), true},
        {QStringLiteral("01.03.2026"), true},
        {QStringLiteral("12:00:00"), true},
        {QStringLiteral("0"), true},
        {QStringLiteral("12345678901"), true},   // the longest packed
        {QStringLiteral("123456789012"), false}, // one too long
        {QStringLiteral("00AG"), false},         // a letter beyond hex
        {QStringLiteral("Zutritt"), false},
        {QStringLiteral("Tür geöffnet"), false},
        {QStringLiteral(" "), true},
        {QStringLiteral("1\n2"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const CCachedText cached(c.text);
        EXPECT_EQ(cached.ToString(), c.text);
        EXPECT_EQ(cached.size(), c.text.size());
        EXPECT_EQ(cached.IsPacked(), c.packed);
        EXPECT_TRUE(cached == c.text);
        EXPECT_TRUE(cached == CCachedText(c.text));
        EXPECT_FALSE(cached == c.text + QLatin1Char('1'));
        EXPECT_FALSE(cached == CCachedText(c.text + QLatin1Char('x')));
    }
    // A shared text lives as long as the last copy, wherever it went.
    const int before = CCachedText::SharedCount();
    {
        CCachedText a(QStringLiteral("only here"));
        CCachedText b = a;
        CCachedText c;
        c = std::move(a);
        EXPECT_EQ(CCachedText::SharedCount(), before + 1);
        b = QStringLiteral("0815");
        EXPECT_EQ(c.ToString(), QStringLiteral("only here"));
    }
    EXPECT_EQ(CCachedText::SharedCount(), before);
}
