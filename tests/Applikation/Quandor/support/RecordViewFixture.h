#pragma once

#include "QuandorAppFixture.h"
#include "TestWait.h"

#include "CFerrold_Handler.h"
#include "CGridBaseDlg.h"
#include "CGridCellBase.h"
#include "CGridCtrl.h"
#include "CLeftTreeView.h"
#include "CRecordViewMenu.h"
#include "CtblLeser.h"
#include "TestShots.h"

#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QTreeWidgetItem>

// The program with its tree and the record view it shows on the right.
class RecordViewBase : public QuandorAppFixture
{
protected:
    CLeftTreeView* Tree() const { return m_app->GetMainFrame()->GetLeftTreeView(); }
    QWidget* Pane() const { return m_app->GetMainFrame()->GetRightPane(); }
    CGridBaseDlg* View() const { return qobject_cast<CGridBaseDlg*>(Pane()); }
    CGridCtrl* Grid() const { return View() ? View()->GetGrid() : nullptr; }

    void Show(CLeftTreeView::NodeKind kind, int child = -1)
    {
        QTreeWidgetItem* node = Tree()->Node(kind);
        ASSERT_NE(node, nullptr);
        Tree()->setCurrentItem(child >= 0 ? node->child(child) : node);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    // The texts of one column of the grid, rows 1 on, as shown.
    QStringList Column(int column) const
    {
        QStringList texts;
        for (int row = 1; row < Grid()->GetRowCount(); ++row)
            texts << Grid()->GetItemText(row, column);
        return texts;
    }
    // The values of one column ("1" or "0" for a check cell, which shows no text).
    QStringList Values(int column) const
    {
        QStringList values;
        for (int row = 1; row < Grid()->GetRowCount(); ++row)
            values << Grid()->GetCellAt(row, column)->GetValue();
        return values;
    }
    QString Lang(unsigned int number) const { return Language()->GetLangItem(number); }
};

// The program on its embedded file or, with the parameter true, on the
// same file reached through the ODBC data source "Quandor". Boxes are
// recorded with their icons; every box first lets the program paint (a
// nested event loop, as a real box runs one). Menus choose the command
// the test sets in m_menuChoice.
class RecordViewFixture : public RecordViewBase, public ::testing::WithParamInterface<bool>
{
protected:
    struct Box
    {
        QString text;
        QMessageBox::Icon icon;
    };

    void SetUp() override
    {
        RecordViewBase::SetUp();
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_boxes.push_back({request.text, request.icon});
            if (request.buttons & QMessageBox::Yes)
                m_questionDefaults.push_back(request.defaultButton);
            m_messages << request.text;
            // As a real box does: the program paints while it is open.
            if (QWidget* frame = m_app->GetMainFrame()) {
                frame->repaint();
                QCoreApplication::processEvents();
            }
            return m_answer;
        });
        m_tracker.Set([this](const CRecordViewMenu& menu, QWidget*, QPoint) {
            m_menus.push_back(menu.Entries());
            return m_menuChoice;
        });
    }

    void TearDown() override
    {
        RecordViewBase::TearDown();
        TestEnvironment::ClearOdbcDsns();
    }

    static bool Odbc() { return GetParam(); }

    // Starts the program on the chosen data source.
    CMainFrame* StartOnBackend()
    {
        if (Odbc())
            TestEnvironment::WriteOdbcDsn(QStringLiteral("Quandor"), DatabaseFile());
        CMainFrame* frame = Start();
        if (Odbc()) {
            EXPECT_EQ(m_app->GetDBHandler()->GetDatabase()->GetSource().kind, CDatabase::Kind::Odbc);
        }
        return frame;
    }

    // Changes the file while the program runs, as another program would.
    void SqlNow(const QStringList& statements)
    {
        const QString name = QStringLiteral("test-behind");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(DatabaseFile());
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            for (const QString& s : statements)
                ASSERT_TRUE(q.exec(s)) << s.toStdString();
        }
        QSqlDatabase::removeDatabase(name);
    }
    // Right-clicks a cell through the mouse and returns the menu offered.
    std::vector<CRecordViewMenu::Entry> RightClick(int row, int column)
    {
        QRect rect;
        EXPECT_TRUE(Grid()->GetCellRect(row, column, &rect));
        const std::size_t before = m_menus.size();
        QTest::mouseClick(Grid()->viewport(), Qt::RightButton, {}, rect.center());
        QCoreApplication::processEvents();
        EXPECT_EQ(m_menus.size(), before + 1);
        return m_menus.size() > before ? m_menus.back() : std::vector<CRecordViewMenu::Entry>{};
    }
    static std::vector<CRecordViewMenu::Entry> Menu(std::initializer_list<CRecordViewMenu::Entry> entries)
    {
        return entries;
    }
    static void SaveShot(QWidget* widget, const QString& name)
    {
        TestWait::Settle();
        EXPECT_TRUE(widget->grab().save(TestShots(QStringLiteral("views")) + name));
    }

    // The main window with a popup (a menu, a dropped list) drawn where it stands.
    void SaveShotWithPopup(QWidget* popup, const QString& name)
    {
        QWidget* frame = m_app->GetMainFrame();
        QImage picture = frame->grab().toImage();
        {
            QPainter painter(&picture);
            painter.drawPixmap(frame->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
        }
        EXPECT_TRUE(picture.save(TestShots(QStringLiteral("views")) + name));
    }
    // The view's context menu as the operator sees it over a cell.
    void SaveMenuShot(const CRecordViewMenu& model, int row, int column, const QString& name)
    {
        QRect rect;
        ASSERT_TRUE(Grid()->GetCellRect(row, column, &rect));
        std::unique_ptr<QMenu> menu = model.CreateMenu(nullptr);
        menu->popup(Grid()->viewport()->mapToGlobal(rect.center()));
        TestWait::Settle();
        SaveShotWithPopup(menu.get(), name);
        menu->hide();
    }

    std::vector<Box> m_boxes;
    // The default button of every Yes/No question asked.
    std::vector<QMessageBox::StandardButton> m_questionDefaults;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
    std::vector<std::vector<CRecordViewMenu::Entry>> m_menus;
    int m_menuChoice = 0;

private:
    ScopedSeam<CRecordViewMenu::Tracker> m_tracker{CRecordViewMenu::TrackerSeam()};
};

inline bool operator==(const CRecordViewMenu::Entry& a, const CRecordViewMenu::Entry& b)
{
    return a.command == b.command && a.text == b.text && a.enabled == b.enabled;
}
inline void PrintTo(const CRecordViewMenu::Entry& e, std::ostream* os)
{
    *os << "{" << e.command << ", \"" << e.text.toStdString() << "\", " << (e.enabled ? "on" : "grey") << "}";
}

#define RECORD_VIEW_BACKENDS(Fixture)                                                                       \
    INSTANTIATE_TEST_SUITE_P(Backends, Fixture, ::testing::Values(false, true),                             \
                             [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Odbc" : "Sqlite"; })
