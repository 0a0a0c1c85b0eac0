#include "QuandorAppFixture.h"
#include "ScopedSeam.h"
#include "TestWait.h"

#include "CColorStatic.h"
#include "CGridBaseDlg.h"
#include "CLeftTreeView.h"
#include "CViewSplitterWnd.h"
#include "CFileChooser.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

class CMainFrameTest : public QuandorAppFixture
{
protected:
    QStringList MenuTitles(CMainFrame* frame) const
    {
        QStringList titles;
        for (QAction* a : frame->menuBar()->actions())
            titles << a->text();
        return titles;
    }

    void ExpectMenuTexts(CMainFrame* frame)
    {
        CLanguageHandler* l = Language();
        EXPECT_EQ(MenuTitles(frame), QStringList({l->GetLangItem(1), l->GetLangItem(5), l->GetLangItem(7), "?"}));
        const std::pair<int, unsigned int> items[] = {
            {CMainFrame::ID_CSV_IMPORT, 2},       {CMainFrame::ID_CSV_EXPORT, 3},
            {CMainFrame::ID_DATABASE_BACKUP, 208}, {CMainFrame::ID_DATABASE_RESTORE, 219},
            {CMainFrame::ID_DELETE_ALL_ENTRIES, 220}, {CMainFrame::ID_APP_EXIT, 4},
            {CMainFrame::ID_COM_PORT, 117},       {CMainFrame::ID_VIEW_STATUS_BAR, 9},
            {CMainFrame::ID_WINDOW_SPLIT, 10},    {CMainFrame::ID_HELP_FILE, 11},
            {CMainFrame::ID_APP_ABOUT, 12},
        };
        for (const auto& [id, text] : items)
            EXPECT_EQ(frame->Action(id)->text(), l->GetLangItem(text)) << id;
        EXPECT_EQ(frame->Action(CMainFrame::ID_LANGUAGE_GERMAN)->text(), QStringLiteral("Deutsch"));
        EXPECT_EQ(frame->Action(CMainFrame::ID_LANGUAGE_ENGLISH)->text(), QStringLiteral("English"));
        EXPECT_EQ(frame->Action(CMainFrame::ID_LANGUAGE_GERMAN)->isChecked(), l->GetAktivLanguage() == 0);
        EXPECT_EQ(frame->Action(CMainFrame::ID_LANGUAGE_ENGLISH)->isChecked(), l->GetAktivLanguage() == 1);
    }

    void Screenshot(CMainFrame* frame, const QString& name)
    {
        frame->show();
        TestWait::Settle();
        const QString folder = QDir::currentPath() + "/screenshots";
        QDir().mkpath(folder);
        frame->grab().save(folder + "/" + name);
    }
};

TEST_F(CMainFrameTest, HasItsSizePanesAndLabel)
{
    CMainFrame* frame = Start();
    EXPECT_EQ(frame->size(), QSize(CMainFrame::kWidth, CMainFrame::kHeight));
    EXPECT_EQ(frame->GetSplitter()->sizes().value(0), CMainFrame::kTreeWidth);
    CColorStatic* label = frame->GetInfoLabel();
    EXPECT_EQ(label->width(), 790);
    EXPECT_EQ(label->text(), Language()->GetLangItem(201));
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->font().pixelSize(), 20);
    // Offline: the connection pane says so and Offline carries the mark.
    EXPECT_EQ(frame->PaneText(CMainFrame::ID_INDICATOR_CONNECTION), Language()->GetLangItem(109) + "Offline");
    EXPECT_EQ(frame->PaneText(CMainFrame::ID_INDICATOR_READER), Language()->GetLangItem(110) + "---");
    EXPECT_TRUE(frame->Action(CMainFrame::ID_OFFLINE)->isChecked());
    EXPECT_FALSE(frame->Action(CMainFrame::ID_ONLINE)->isChecked());
    // The splitter keeps the tree's width when the window grows.
    frame->resize(1600, 900);
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->GetSplitter()->sizes().value(0), CMainFrame::kTreeWidth);
}

TEST_F(CMainFrameTest, LanguageSwitchRelabelsEverythingBothWays)
{
    CMainFrame* frame = Start();
    ExpectMenuTexts(frame);
    Screenshot(frame, "main-window-de.png");

    frame->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
    EXPECT_EQ(Language()->GetAktivLanguage(), 1u);
    ExpectMenuTexts(frame);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("  ") + Language()->GetLangItem(74));
    EXPECT_EQ(frame->GetLeftTreeView()->Node(CLeftTreeView::ReadersNode)->text(0), Language()->GetLangItem(14));
    frame->UpdatePanes();
    EXPECT_EQ(frame->PaneText(CMainFrame::ID_INDICATOR_CONNECTION), Language()->GetLangItem(109) + "Offline");
    EXPECT_EQ(frame->GetInfoLabel()->text(), Language()->GetLangItem(201));
    EXPECT_EQ(qobject_cast<CGridBaseDlg*>(frame->GetRightPane())->Heading(), Language()->GetLangItem(14));
    Screenshot(frame, "main-window-en.png");

    frame->OnCommand(CMainFrame::ID_LANGUAGE_GERMAN);
    EXPECT_EQ(Language()->GetAktivLanguage(), 0u);
    ExpectMenuTexts(frame);
}

// Qt's own parts (standard buttons, file dialogs, month names) speak the
// program's language and switch with it.
TEST_F(CMainFrameTest, QtsOwnTextsFollowTheLanguage)
{
    CMainFrame* frame = Start();
    ASSERT_TRUE(m_app->HasQtTranslation()) << "Qt's German texts (qt6-translations-l10n) are not installed";
    const auto buttons = [] {
        QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return QStringList{box.button(QMessageBox::Yes)->text(), box.button(QMessageBox::No)->text(),
                           box.button(QMessageBox::Cancel)->text()};
    };
    const auto month = [] {
        QDateEdit edit(QDate(2026, 3, 5));
        edit.setDisplayFormat(QStringLiteral("d. MMMM yyyy"));
        return edit.text();
    };
    const QString shots = QDir::currentPath() + "/screenshots/";
    QDir().mkpath(shots);
    EXPECT_EQ(buttons(), (QStringList{"&Ja", "&Nein", "Abbrechen"}));
    EXPECT_EQ(month(), "5. März 2026");

    // The file dialog as the backup shows it, and a question as the program asks it.
    QStringList dialogButtons;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            dialogButtons << b->text();
        dialog->grab().save(shots + "file-dialog-de.png");
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile(folder.filePath("Quandor_20261210.mdb")).open(QIODevice::WriteOnly);
    CFileChooser::Request request;
    request.title = Language()->GetLangItem(208);
    request.folder = folder.path();
    request.filter = QStringLiteral("Datenbank (*.mdb)");
    EXPECT_TRUE(CFileChooser::Choose(frame, request).isEmpty());
    EXPECT_TRUE(dialogButtons.contains("Abbrechen")) << qPrintable(dialogButtons.join('|'));
    {
        QMessageBox question(QMessageBox::Question, Language()->GetLangItem(74), Language()->GetLangItem(95),
                             QMessageBox::Yes | QMessageBox::No, frame);
        question.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&question));
        question.grab().save(shots + "question-de.png");
    }

    frame->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
    EXPECT_EQ(buttons(), (QStringList{"&Yes", "&No", "Cancel"}));
    EXPECT_EQ(month(), "5. March 2026");
    frame->OnCommand(CMainFrame::ID_LANGUAGE_GERMAN);
    EXPECT_EQ(buttons(), (QStringList{"&Ja", "&Nein", "Abbrechen"}));
}

TEST_F(CMainFrameTest, StartsInEnglishWhenTheSettingsSaySo)
{
    SetLanguage(1);
    CMainFrame* frame = Start();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("  Kestrav Manager"));
    EXPECT_EQ(Language()->GetAktivLanguage(), 1u);
    ExpectMenuTexts(frame);
}

TEST_F(CMainFrameTest, HelpOpensTheFileOfTheLanguageOrSaysWhyNot)
{
    CMainFrame* frame = Start();
    QStringList opened;
    ScopedSeam help(CMainFrame::HelpOpenerSeam(), [&](const QString& path) {
        opened << path;
        return true;
    });
    const QString folder = TestEnvironment::NewFolder("help");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    frame->OnCommand(CMainFrame::ID_HELP_FILE);
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("Vondral ManagerDEU.chm"));

    for (const char* name : {"Vondral ManagerDEU.chm", "Vondral ManagerENG.chm"}) {
        QFile f(folder + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    frame->OnCommand(CMainFrame::ID_HELP_FILE);
    frame->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
    frame->OnCommand(CMainFrame::ID_HELP_FILE);
    EXPECT_EQ(opened, QStringList({folder + "/Vondral ManagerDEU.chm", folder + "/Vondral ManagerENG.chm"}));

    help.Set([](const QString&) { return false; });
    frame->OnCommand(CMainFrame::ID_HELP_FILE);
    EXPECT_EQ(m_messages.size(), 2);
    QDir::setCurrent(previous);
}

TEST_F(CMainFrameTest, StatusBarCanBeHiddenAndTheBarMovedByKeys)
{
    CMainFrame* frame = Start();
    frame->show();
    QAction* statusBar = frame->Action(CMainFrame::ID_VIEW_STATUS_BAR);
    statusBar->trigger();
    EXPECT_FALSE(frame->statusBar()->isVisible());
    statusBar->trigger();
    EXPECT_TRUE(frame->statusBar()->isVisible());

    frame->OnCommand(CMainFrame::ID_WINDOW_SPLIT);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : frame, Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : frame, Qt::Key_Return);
    EXPECT_EQ(frame->GetSplitter()->sizes().value(0), CMainFrame::kTreeWidth + 8);
}
