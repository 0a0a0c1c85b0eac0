#include "CRandomName.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(CRandomName, UpperCaseHexBelowFFFFWithoutLeadingZeros)
{
    const QRegularExpression form(QStringLiteral("^Leser_(0|[1-9A-F][0-9A-F]{0,3})$"));
    quint32 highest = 0;
    for (quint64 seed = 1700000000; seed < 1700000000 + 20000; ++seed) {
        const quint32 number = CRandomName::Number(seed);
        ASSERT_LT(number, 0xFFFFu) << seed;
        highest = qMax(highest, number);
    }
    EXPECT_GT(highest, 0xF000u); // the whole range is reached
    const QString name = CRandomName::Make(QStringLiteral("Leser_"));
    EXPECT_TRUE(form.match(name).hasMatch()) << name.toStdString();
    // One second, one name.
    EXPECT_EQ(CRandomName::Number(42), CRandomName::Number(42));
}
