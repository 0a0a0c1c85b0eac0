#include "CDataProgressDlg.h"
#include "ShellTestSupport.h"
#include "TestEnvironment.h"

#include <CLanguageHandler.h>

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QCloseEvent>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct ProgressFixture
{
    ProgressFixture()
        : language(0, TestEnvironment::NewFolder("lang"))
        , dialog(new CDataProgressDlg(&language))
    {
    }
    ~ProgressFixture()
    {
        if (dialog)
            dialog->DestroyWindow();
    }

    CLanguageHandler language;
    QPointer<CDataProgressDlg> dialog;
};

// Hands a close event straight to the window's handler, as the window
// manager's close button would.
struct CloseProbe : CDataProgressDlg
{
    using CDataProgressDlg::CDataProgressDlg;
    using CDataProgressDlg::closeEvent;
};

} // namespace

TEST(CDataProgressDlg, ShowsCaptionTextAndBar)
{
    ProgressFixture f;
    EXPECT_EQ(f.dialog->windowTitle(), f.language.GetLangItem(115));
    EXPECT_FALSE(f.dialog->windowIcon().isNull());
    EXPECT_FALSE(f.dialog->isModal());
    ASSERT_EQ(f.dialog->findChild<QLabel*>(QStringLiteral("1032")), f.dialog->GetTextControl());
    ASSERT_EQ(f.dialog->findChild<QProgressBar*>(QStringLiteral("1034")), f.dialog->GetProgressCtrl());

    // On the UI thread the values arrive at once.
    f.dialog->SetRange(0, 5);
    f.dialog->SetPos(2);
    f.dialog->SetText(QStringLiteral("\nSuche auf COM3\nBitte warten"));
    EXPECT_EQ(f.dialog->GetProgressCtrl()->maximum(), 5);
    EXPECT_EQ(f.dialog->GetProgressCtrl()->value(), 2);
    EXPECT_EQ(f.dialog->GetTextControl()->text(), QStringLiteral("\nSuche auf COM3\nBitte warten"));
    // A position beyond the range stops at its end.
    f.dialog->SetPos(9);
    EXPECT_EQ(f.dialog->GetProgressCtrl()->value(), 5);
    f.dialog->SetPos(-3);
    EXPECT_EQ(f.dialog->GetProgressCtrl()->value(), 0);

    f.dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.dialog));
    f.dialog->SetPos(3);
    Screenshot(*f.dialog, QStringLiteral("progress"));
}

TEST(CDataProgressDlg, TheUserCannotCloseItFromUnderItsOwner)
{
    ProgressFixture f;
    f.dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.dialog));

    QTest::keyClick(f.dialog, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(f.dialog);
    EXPECT_TRUE(f.dialog->isVisible());

    // The window manager's close button (or Alt+F4) arrives as a
    // spontaneous close event, which the window refuses.
    QPointer<CloseProbe> probe = new CloseProbe(&f.language);
    probe->show();
    QCloseEvent close;
    QSpontaneKeyEvent::setSpontaneous(&close);
    probe->closeEvent(&close);
    EXPECT_FALSE(close.isAccepted());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(probe);
    EXPECT_TRUE(probe->isVisible());
    probe->DestroyWindow();
}

TEST(CDataProgressDlg, HidingKeepsItAndDestroyingClearsTheOwnersPointer)
{
    ProgressFixture f;
    f.dialog->show();
    f.dialog->hide();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(f.dialog);
    f.dialog->SetPos(1);

    f.dialog->DestroyWindow();
    EXPECT_FALSE(f.dialog);

    // The owner's own close() ends it as well.
    QPointer<CDataProgressDlg> closed = new CDataProgressDlg(&f.language);
    closed->show();
    EXPECT_TRUE(closed->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(closed);

    // So does the end of the window it was given as parent.
    auto* parent = new QWidget;
    QPointer<CDataProgressDlg> child = new CDataProgressDlg(&f.language, parent);
    delete parent;
    EXPECT_FALSE(child);
}
