#pragma once

#include "ReaderLinkWindowFixture.h"
#include "TestWait.h"

#include "CFerrold_Handler.h"
#include "CGridCtrl.h"
#include "CLeserDlg.h"
#include "CRecordViewMenu.h"
#include "CtblLeser.h"
#include "CChooseReaderDlg.h"
#include "CWindowMessage.h"
#include "TestShots.h"

#include <QAction>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QSqlQuery>
#include <QTreeWidgetItem>

#include <functional>

// A stored reader as the database holds it.
struct StoredReader {
    qint32 id = 0;
    QString name, address, serial;
    int updateOK = 0;
    QString model, modus, parameter;
};

// One entry of the context menu as it was offered.
struct MenuItem {
    int id = 0;
    QString text;
    bool enabled = false;
};

// The whole program with the reader list on the right: its context menu is
// looked at and answered by the test, its message boxes are answered with
// m_answer (Yes or No where asked, else OK), and the reader choice dialog
// picks m_choose (or cancels when it is empty).
class ReaderView : public ReaderLinkWindow
{
protected:
    void SetUp() override
    {
        ReaderLinkWindow::SetUp();
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_messages << request.text;
            m_icons << request.icon;
            if (request.buttons & QMessageBox::Yes)
                return m_answer;
            return QMessageBox::Ok;
        });
        m_tracker.Set(
            [this](const CRecordViewMenu& menu, QWidget*, QPoint at) { return RunMenu(menu, at); });
        m_answerDialog = [this](QDialog& dialog) { return AnswerDialog(dialog); };
    }
    void TearDown() override
    {
        ReaderLinkWindow::TearDown();
    }

    CLeserDlg* View() const { return qobject_cast<CLeserDlg*>(Frame()->GetRightPane()); }
    CGridCtrl* Grid() const { return View() ? View()->GetGrid() : nullptr; }
    CtblLeser* Cache() const { return m_app->GetDBHandler()->Get_Ptr_To_tblLeser(); }

    // Starts the program without a connection and shows the main window.
    void StartShown()
    {
        Start();
        Show();
    }
    void Show()
    {
        Frame()->resize(1212, 874);
        Frame()->show();
        TestWait::Settle();
    }

    // Rows straight from the database file, past the program's caches.
    void Query(const QString& sql, const std::function<void(const QSqlQuery&)>& onRow) const
    {
        const QString name = QStringLiteral("test-readers");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(DatabaseFile());
            EXPECT_TRUE(db.open());
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
            while (q.next())
                onRow(q);
        }
        QSqlDatabase::removeDatabase(name);
    }

    // The readers in the database file, by key.
    std::vector<StoredReader> Stored() const
    {
        std::vector<StoredReader> rows;
        Query("SELECT ID_Leser, strBezeichnung, strAdresse, strSeriennummer, boolUpdateOK,"
              " strLeserTyp, strModus, strParameter FROM tblLeser ORDER BY ID_Leser",
              [&rows](const QSqlQuery& q) {
                  rows.push_back({q.value(0).toInt(), q.value(1).toString(), q.value(2).toString(),
                                  q.value(3).toString(), q.value(4).toInt(), q.value(5).toString(),
                                  q.value(6).toString(), q.value(7).toString()});
              });
        return rows;
    }

    StoredReader ReaderRow(qint32 id) const
    {
        for (const StoredReader& r : Stored()) {
            if (r.id == id)
                return r;
        }
        return {};
    }

    // The children's texts under a node of the tree.
    QStringList Children(CLeftTreeView::NodeKind kind) const
    {
        QStringList texts;
        QTreeWidgetItem* node = Tree()->Node(kind);
        for (int i = 0; node && i < node->childCount(); ++i)
            texts << node->child(i)->text(0);
        return texts;
    }
    // The same children under transponders, persons and events.
    void ExpectReaderChildren(const QStringList& expected) const
    {
        for (auto kind : {CLeftTreeView::TranspondersNode, CLeftTreeView::PersonsNode, CLeftTreeView::EventsNode})
            EXPECT_EQ(Children(kind), expected) << kind;
    }

    QPoint CellCentre(int row, int col) const
    {
        QRect rect;
        EXPECT_TRUE(Grid()->GetCellRect(row, col, &rect));
        return rect.center();
    }
    void Click(int row, int col = 4, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, modifiers, CellCentre(row, col));
        QCoreApplication::processEvents();
    }
    // Sorts by a column as the user does: each round of a click and a
    // double click on its header moves the sort mode one step.
    void SortBy(int col, int rounds)
    {
        QRect header;
        ASSERT_TRUE(Grid()->GetCellRect(0, col, &header));
        for (int i = 0; i < rounds; ++i) {
            QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, header.center());
            QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, header.center());
        }
    }
    // Selects a row and opens its menu there; returns how long that took, as
    // the menu must not wait on a busy or silent line.
    qint64 MenuOf(int row)
    {
        QElapsedTimer clock;
        clock.start();
        Click(row, 1);
        RightClick(row);
        return clock.elapsed();
    }
    // Right-clicks a displayed row (or a point) and lets a chosen command run.
    void RightClick(int row, int col = 4) { RightClickAt(CellCentre(row, col)); }
    void RightClickAt(const QPoint& point)
    {
        m_menu.clear();
        QTest::mouseClick(Grid()->viewport(), Qt::RightButton, {}, point);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    QList<bool> Enabled() const
    {
        QList<bool> states;
        for (const MenuItem& item : m_menu)
            states << item.enabled;
        return states;
    }
    QList<int> SelectedRows() const
    {
        QList<int> rows;
        for (int row = 1; row < Grid()->GetRowCount(); ++row) {
            if (Grid()->IsCellSelected(row, 1))
                rows << row;
        }
        return rows;
    }
    // The displayed row of a reader name; -1 when none.
    int RowOf(const QString& name) const
    {
        for (int row = 1; row < Grid()->GetRowCount(); ++row) {
            if (Grid()->GetItemText(row, 4) == name)
                return row;
        }
        return -1;
    }

    // Frames the reader received, polls left out unless asked for.
    QList<QByteArray> Commands(bool withPolls = false) const
    {
        QList<QByteArray> bodies;
        for (const auto& frame : reader->Log()) {
            if (withPolls || !frame.body.startsWith("FFCT"))
                bodies << frame.body;
        }
        return bodies;
    }

    int RunMenu(const CRecordViewMenu& menu, const QPoint& at)
    {
        ++m_menuCount;
        m_menuAt = at;
        int chosen = 0;
        for (const CRecordViewMenu::Entry& entry : menu.Entries()) {
            m_menu.push_back({entry.command, entry.text, entry.enabled});
            if (entry.command == m_menuChoice && entry.enabled)
                chosen = entry.command;
        }
        if (!m_menuShot.isEmpty()) {
            // The menu as the user sees it, over the main window.
            std::unique_ptr<QMenu> shown = menu.CreateMenu(nullptr);
            shown->popup(at);
            TestWait::Settle();
            QImage image = Frame()->grab().toImage();
            QPainter painter(&image);
            painter.drawImage(Frame()->mapFromGlobal(at), shown->grab().toImage());
            painter.end();
            QDir().mkpath(kShots);
            image.save(kShots + m_menuShot + QStringLiteral(".png"));
            shown->hide();
            m_menuShot.clear();
        }
        return chosen;
    }

    int AnswerDialog(QDialog& dialog)
    {
        if (auto* choice = qobject_cast<CChooseReaderDlg*>(&dialog)) {
            m_choices.clear();
            for (int i = 0; i < choice->Entries()->count(); ++i)
                m_choices << choice->Entries()->item(i)->text();
            choice->show();
            if (!m_choiceShot.isEmpty()) {
                QDir().mkpath(kShots);
                choice->grab().save(kShots + m_choiceShot + QStringLiteral(".png"));
                m_choiceShot.clear();
            }
            const int index = m_chooseNew ? int(m_choices.size()) - 1 : int(m_choices.indexOf(m_choose));
            if (index < 0) {
                QTest::mouseClick(choice->CancelButton(), Qt::LeftButton);
                return int(QDialog::Rejected);
            }
            choice->Entries()->setCurrentRow(index);
            QTest::mouseClick(choice->OkButton(), Qt::LeftButton);
            return choice->result();
        }
        auto* ports = qobject_cast<CChooseCOMDlg*>(&dialog);
        if (!ports || !reader)
            return int(QDialog::Rejected);
        ports->show();
        ports->PortList()->setCurrentIndex(ports->PortList()->findText(QStringLiteral("COM%1").arg(kPort)));
        QTest::mouseClick(ports->ConnectNowButton(), Qt::LeftButton);
        return ports->result();
    }

    // Connects to the simulated reader from the port dialog at start and
    // waits until the reader view has identified it.
    void ConnectAndIdentify(bool plain)
    {
        Start();
        Show();
        ASSERT_TRUE(WaitOnline(plain ? kPlainSearchMs : kFramedSearchMs));
        ASSERT_TRUE(WaitUntil([this] { return identify.count > 0; }, 2000));
    }
    // The identification of a connection that the operator asked for.
    void AskIdentify()
    {
        m_messages.clear();
        m_choices.clear();
        const int before = View()->m_nIdentifyCount;
        View()->m_bIdentifyRequest = true;
        CWindowMessage::Post(View(), CWindowMessage::WM_IDENTIFY_READER);
        // An unanswered try costs a reply time, two seconds at the line's own times.
        ASSERT_TRUE(WaitUntil([&] { return View()->m_nIdentifyCount > before; }, 10000));
    }
    // Offline, then online again from the menu; waits for the identification.
    void Reconnect(bool plain)
    {
        const int before = identify.count;
        Frame()->Action(CMainFrame::ID_OFFLINE)->trigger();
        reader->ClearLog();
        Frame()->Action(CMainFrame::ID_ONLINE)->trigger();
        ASSERT_TRUE(WaitOnline(plain ? kPlainSearchMs : kFramedSearchMs));
        ASSERT_TRUE(WaitUntil([this, before] { return identify.count > before; }, 2000));
    }

    static inline const QString kShots = TestShots(QStringLiteral("readers"));

    QList<QMessageBox::Icon> m_icons;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
    std::vector<MenuItem> m_menu;
    int m_menuCount = 0;
    int m_menuChoice = 0;
    QPoint m_menuAt;
    QString m_menuShot;
    QStringList m_choices;
    QString m_choose;
    // Chooses the dialog's last entry, the new reader.
    bool m_chooseNew = false;
    QString m_choiceShot;

private:
    ScopedSeam<CRecordViewMenu::Tracker> m_tracker{CRecordViewMenu::TrackerSeam()};
};
