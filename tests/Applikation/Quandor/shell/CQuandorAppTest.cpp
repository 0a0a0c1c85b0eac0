#include "QuandorAppFixture.h"
#include "TestWait.h"

#include "CAboutDlg.h"
#include "CDBException.h"
#include "CDialogSetup.h"
#include "CFerrold_Handler.h"
#include "CUiMessage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <stdexcept>

using CQuandorAppTest = QuandorAppFixture;

TEST_F(CQuandorAppTest, StartsInGermanAndCreatesAMissingLayoutFile)
{
    CMainFrame* frame = Start();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(Language()->GetAktivLanguage(), 0u);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("  Vondral Manager"));
    const QString layout = m_layoutFolder + "/DialogSetup.xml";
    EXPECT_TRUE(QFileInfo::exists(layout));
    EXPECT_EQ(m_app->GetProgramFolder(), QDir::currentPath() + "/");
    EXPECT_NE(m_app->GetDBHandler(), nullptr);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
}

TEST_F(CQuandorAppTest, ACorruptLayoutFileEndsTheStartWithItsMessage)
{
    QFile file(m_layoutFolder + "/DialogSetup.xml");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<dialogsetup><dialog id=\"01\"><grid");
    file.close();
    EXPECT_FALSE(m_app->InitInstance());
    ASSERT_FALSE(m_messages.isEmpty());
    EXPECT_EQ(m_messages.last(), QStringLiteral("Can not load Dialog - Handler!"));
    EXPECT_EQ(m_app->GetMainFrame(), nullptr);
}

TEST_F(CQuandorAppTest, SplashClosesItselfAboutWaitsForOk)
{
    CAboutDlg splash(1, nullptr);
    EXPECT_FALSE(splash.OkButton()->isVisibleTo(&splash));
    QElapsedTimer clock;
    clock.start();
    splash.exec();
    EXPECT_GE(clock.elapsed(), CAboutDlg::kSplashMilliseconds - 50);
    EXPECT_LT(clock.elapsed(), CAboutDlg::kSplashMilliseconds + 3000);

    CAboutDlg about(0, nullptr);
    EXPECT_TRUE(about.OkButton()->isVisibleTo(&about));
    QTimer::singleShot(2500, Qt::PreciseTimer, &about, [&] {
        EXPECT_TRUE(about.isVisible());
        about.OkButton()->click();
    });
    clock.restart();
    about.exec();
    // Still open well past the splash's 2000 ms: it waited for OK.
    EXPECT_GE(clock.elapsed(), 2200);
}

// The database is read while the splash shows, on a thread of its own: a
// failure it reports reaches the operator over the splash (no wait without
// an event loop, which would hang the start), and the main window follows.
TEST_F(CQuandorAppTest, TheDatabaseIsReadWhileTheSplashShows)
{
    if (Odbc() || Postgres())
        GTEST_SKIP() << "a file that is no database is the embedded file's case";
    QDir().mkpath(QFileInfo(DatabaseFile()).path());
    QFile junk(DatabaseFile());
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, '\x5a'));
    junk.close();
    bool splashShown = false;
    m_presenter.Set([&](const CUiMessage::Request& request) {
        m_messages << request.text;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* splash = qobject_cast<CAboutDlg*>(w))
                splashShown = splashShown || (splash->Mode() == 1 && splash->isVisible());
        }
        return QMessageBox::Ok;
    });
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(m_app->InitInstance());
    EXPECT_GE(clock.elapsed(), CAboutDlg::kSplashMilliseconds - 50);
    EXPECT_FALSE(m_messages.isEmpty());
    EXPECT_TRUE(splashShown);
    ASSERT_NE(m_app->GetMainFrame(), nullptr);
    EXPECT_TRUE(m_app->GetMainFrame()->isVisible());
    EXPECT_NE(m_app->GetDBHandler(), nullptr);
}

TEST_F(CQuandorAppTest, ExceptionsEscapingAHandlerAreShownAndTheProgramGoesOn)
{
    Start();
    QObject target;
    QObject::connect(&target, &QObject::destroyed, [] {});
    auto post = [&](std::function<void()> body) {
        bool ran = false;
        QTimer::singleShot(0, &target, [body, &ran] {
            ran = true;
            body();
        });
        // Until returns between events: the handler's exception has been dealt with.
        ASSERT_TRUE(TestWait::Until([&] { return ran; }));
    };
    post([] { throw CDBException(QStringLiteral("disk I/O error")); });
    post([] { throw std::out_of_range("row index out of range"); });
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_TRUE(m_messages[0].startsWith(Language()->GetLangItem(83)));
    EXPECT_TRUE(m_messages[0].endsWith(QStringLiteral("disk I/O error")));
    EXPECT_EQ(m_messages[1], QStringLiteral("row index out of range"));
}

TEST_F(CQuandorAppTest, ExitSavesTheLayoutAndFreesEverything)
{
    CMainFrame* frame = Start();
    ASSERT_NE(frame, nullptr);
    m_app->GetDialogSetup()->SetColumnWidth("03", "0", "2", 123);
    m_app->ExitInstance();
    EXPECT_EQ(m_app->GetMainFrame(), nullptr);
    EXPECT_EQ(m_app->GetLanguage(), nullptr);
    EXPECT_EQ(m_app->GetDialogSetup(), nullptr);
    QFile file(m_layoutFolder + "/DialogSetup.xml");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("width=\"123\""));
    // Nothing but the layout file in its folder: no temporary left behind.
    EXPECT_EQ(QDir(m_layoutFolder).entryList(QDir::Files), QStringList{"DialogSetup.xml"});
}

TEST_F(CQuandorAppTest, TheHandlerCanBeDeletedAndMadeAgain)
{
    Start();
    CFerrold_Handler* first = m_app->GetDBHandler();
    m_app->DeleteDatabaseHandler();
    CFerrold_Handler* second = m_app->GetDBHandler();
    EXPECT_NE(second, nullptr);
    (void)first;
}
