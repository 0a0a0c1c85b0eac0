#include "CBlinkStatic.h"
#include "CColorStatic.h"
#include "CHyperLink.h"
#include "ShellTestSupport.h"

#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

TEST(CColorStatic, PaintsItsOwnColoursInTheRightChannelOrder)
{
    CColorStatic label(QStringLiteral("Tag 04A1B2C3D4"));
    EXPECT_EQ(label.GetBkColor(), RGB(255, 255, 255));
    EXPECT_EQ(label.GetTextColor(), RGB(0, 0, 0));
    label.resize(200, 30);

    // 0xD4FFFF is the pale yellow of the information label, never cyan.
    label.SetColors(0xD4FFFF, RGB(200, 0, 0));
    EXPECT_EQ(QColorFromColorref(0xD4FFFF), QColor(255, 255, 212));
    const QImage image = label.grab().toImage();
    EXPECT_EQ(image.pixelColor(2, 2), QColor(255, 255, 212));
    EXPECT_GT(CountPixels(image, QColor(200, 0, 0), 40), 20);
    EXPECT_EQ(CountPixels(image, QColor(212, 255, 255), 10), 0);
}

TEST(CBlinkStatic, SystemColoursFollowThePaletteAndOwnColoursWin)
{
    CBlinkStatic label;
    label.setText(QStringLiteral("Hinweis"));
    label.resize(120, 30);
    EXPECT_EQ(label.GetTextColor(), CBlinkStatic::kSystemColor);
    EXPECT_EQ(label.GetBkColor(), CBlinkStatic::kSystemColor);
    EXPECT_EQ(label.grab().toImage().pixelColor(1, 1), label.palette().color(QPalette::Window));

    label.SetBkColor(RGB(0, 0, 128));
    label.SetTextColor(RGB(255, 255, 0));
    const QImage own = label.grab().toImage();
    EXPECT_EQ(own.pixelColor(1, 1), QColor(0, 0, 128));
    EXPECT_GT(CountPixels(own, QColor(255, 255, 0), 40), 10);

    label.SetBkColor(CBlinkStatic::kSystemColor);
    EXPECT_EQ(label.grab().toImage().pixelColor(1, 1), label.palette().color(QPalette::Window));
}

// All labels together, the way the About box and the toolbar show them.
TEST(Labels, LookRightTogether)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Labels"));
    auto* layout = new QVBoxLayout(&window);
    auto* colour = new CColorStatic(QStringLiteral("Transponder: 04A1B2C3D4 ==> MASTER"), &window);
    colour->SetColors(0xD4FFFF, RGB(0, 0, 0));
    auto* blink = new CBlinkStatic(&window);
    blink->setText(QStringLiteral("Daten wurden geschrieben"));
    blink->SetTextColor(RGB(0, 192, 0));
    blink->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* web = new CHyperLink(QStringLiteral("www.velmora.example"), &window);
    auto* mail = new CHyperLink(QStringLiteral("mailto:support@velmora.example"), &window);
    mail->SetBkColour(RGB(255, 255, 255));
    for (QWidget* w : std::initializer_list<QWidget*>{colour, blink, web, mail})
        layout->addWidget(w);
    window.resize(320, 160);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QImage image = Screenshot(window, QStringLiteral("labels"));
    EXPECT_GT(CountPixels(image, QColor(255, 255, 212), 3), 500);
    EXPECT_GT(CountPixels(image, QColor(0, 0, 255), 60), 20);
    EXPECT_GT(CountPixels(image, QColor(0, 192, 0), 40), 20);
}
