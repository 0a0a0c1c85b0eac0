#include "CBlinkStatic.h"
#include "CLanguageHandler.h"
#include "CShowMessage.h"
#include "ShellTestSupport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Sanitizer builds on a busy machine can be seconds late; the notice must
// never close early, and must close by itself.
constexpr qint64 kLateSlack = 3000;

} // namespace

TEST(CShowMessage, ClosesItselfAfterTwoSecondsAndTheNextOneRunsItsOwnTime)
{
    for (const char* text : {"Erste Meldung", "Zweite Meldung"}) {
        CShowMessage notice(QString::fromLatin1(text));
        QElapsedTimer clock;
        clock.start();
        notice.exec();
        const qint64 shown = clock.elapsed();
        EXPECT_GE(shown, CShowMessage::kShowMilliseconds - 20) << text;
        EXPECT_LT(shown, CShowMessage::kShowMilliseconds + kLateSlack) << text;
        EXPECT_FALSE(notice.isVisible());
    }
}

TEST(CShowMessage, OverlappingNoticesKeepTheirOwnTimers)
{
    CShowMessage first(QStringLiteral("A"));
    CShowMessage second(QStringLiteral("B"));
    QElapsedTimer clock;
    clock.start();
    qint64 firstClosed = -1;
    qint64 secondClosed = -1;
    QObject::connect(&first, &QDialog::finished, [&] { firstClosed = clock.elapsed(); });
    QObject::connect(&second, &QDialog::finished, [&] { secondClosed = clock.elapsed(); });
    first.open();
    // The second notice opens a second later, as the behaviour under test.
    QTest::qWait(1000);
    const qint64 secondOpened = clock.elapsed();
    second.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstClosed >= 0 && secondClosed >= 0; }, 6000));
    EXPECT_GE(firstClosed, CShowMessage::kShowMilliseconds - 20);
    EXPECT_LT(firstClosed, CShowMessage::kShowMilliseconds + kLateSlack);
    EXPECT_GE(secondClosed - secondOpened, CShowMessage::kShowMilliseconds - 20);
    EXPECT_LT(secondClosed - secondOpened, CShowMessage::kShowMilliseconds + kLateSlack);
}

TEST(CShowMessage, ShowsItsTextInBoldGreenWithoutATitleBar)
{
    CShowMessage notice(QStringLiteral("3 Ereignisse gelesen"));
    EXPECT_TRUE(notice.windowFlags() & Qt::FramelessWindowHint);
    CBlinkStatic* label = notice.findChild<CBlinkStatic*>(QStringLiteral("1032"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("3 Ereignisse gelesen"));
    EXPECT_EQ(label->GetTextColor(), RGB(0, 192, 0));
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->font().pixelSize(), 20);
    EXPECT_EQ(label->alignment(), Qt::AlignCenter);

    notice.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&notice));
    const QImage image = Screenshot(notice, QStringLiteral("notice"));
    // The text is really drawn in green, and in the middle of the window.
    EXPECT_GT(CountPixels(image, QColor(0, 192, 0), 30), 100);
    const QImage left = image.copy(0, 0, image.width() / 4, image.height());
    EXPECT_EQ(CountPixels(left, QColor(0, 192, 0), 30), 0);
    notice.reject();
}

// A text wider than the usual notice widens it (and one wider than the
// screen wraps), in both languages; a refusal is red, never green.
TEST(CShowMessage, ALongTextIsShownWholeAndARefusalIsRed)
{
    const QString texts[] = {
        CLanguageHandler::LoadTexts(0, QString()).value(244),
        CLanguageHandler::LoadTexts(1, QString()).value(244),
        QStringLiteral("Ein sehr langer Hinweis ").repeated(12),
    };
    int shot = 0;
    for (const QString& text : texts) {
        ASSERT_FALSE(text.isEmpty());
        CShowMessage notice(text, nullptr, CShowMessage::Error);
        CBlinkStatic* label = notice.findChild<CBlinkStatic*>(QStringLiteral("1032"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->GetTextColor(), CShowMessage::kErrorColour);
        notice.open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&notice));
        const QRect room = label->contentsRect();
        const QRect needed =
            label->fontMetrics().boundingRect(QRect(0, 0, room.width(), 0), Qt::AlignCenter | Qt::TextWordWrap, text);
        EXPECT_LE(needed.width(), room.width()) << qPrintable(text);
        EXPECT_LE(needed.height(), room.height()) << qPrintable(text);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            EXPECT_LE(notice.width(), screen->availableGeometry().width());
        }
        const QImage image = Screenshot(notice, QStringLiteral("notice-long-%1").arg(shot++));
        EXPECT_GT(CountPixels(image, QColor(208, 0, 0), 30), 100);
        EXPECT_EQ(CountPixels(image, QColor(0, 192, 0), 30), 0);
        notice.reject();
    }
}
