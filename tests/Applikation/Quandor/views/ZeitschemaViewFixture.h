#pragma once

#include "QuandorAppFixture.h"

#include "CFerrold_Handler.h"
#include "CGridCellBase.h"
#include "CGridCtrl.h"
#include "CLeftTreeView.h"
#include "CZeitschemaDlg.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"
#include "GridConstants.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QSqlError>
#include <QSqlRecord>
#include <QTimer>
#include <QTreeWidgetItem>

#include <atomic>

// The program on a database with three user schemas beside the built-in one
// (identities 1, 5, 9, 13; "Früh", "Spät" and "Nacht"), four readers and
// transponders on them, reached through the embedded file or the ODBC data
// source over the same file (the test's parameter). Questions are answered
// Yes unless a test says otherwise; every box's text is kept.
//
// Transponders: 1 and 2 on "Früh" (readers "1" and "0;2"), 3 on "Spät"
// (reader 3), 4 on full access (readers "1;3"), 5 on "Nacht" (reader 4).
class ZeitschemaViewTest : public QuandorAppFixture, public ::testing::WithParamInterface<const char*>
{
protected:
    static QStringList Schema(int firstId, const QString& name, const QString& von, const QString& bis,
                              const QString& days)
    {
        QStringList rows;
        for (int r = 0; r < 4; ++r)
            rows << QStringLiteral("(%1,'%2','%3','%4',%5)").arg(firstId + r).arg(name, von, bis, days);
        return rows;
    }

    void SetUp() override
    {
        QuandorAppFixture::SetUp();
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_messages << request.text;
            m_icons << request.icon;
            if (request.buttons & QMessageBox::Yes)
                return m_answer;
            return QMessageBox::Ok;
        });
        const QString columns = QStringLiteral(
            "INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis, boolSonntag, boolMontag,"
            " boolDienstag, boolMittwoch, boolDonnerstag, boolFreitag, boolSamstag) VALUES ");
        // Früh: Monday to Friday 06:30-14:00 in its first window.
        const QStringList rows = Schema(5, "Früh", "0630", "1400", "0,1,1,1,1,1,0")
                                 + Schema(9, "Spät", "1400", "2200", "0,1,1,1,1,1,0")
                                 + Schema(13, "Nacht", "2200", "2359", "1,0,0,0,0,0,1");
        Sql({columns + rows.join(','),
             "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES"
             " (1,'K','Kite','K1'),(2,'H','Heron','H1'),(3,'W','Wren','---'),(4,'E','Egret','E1')",
             "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Zeitfenster_ID, strLeser_IDS) VALUES"
             " (1,'00000000A1',5,'1'),(2,'00000000A2',5,'0;2'),(3,'00000000A3',9,'3'),(4,'00000000A4',1,'1;3'),"
             " (5,'00000000A5',13,'4')"});
    }

    void TearDown() override
    {
        QuandorAppFixture::TearDown();
        TestEnvironment::ClearOdbcDsns();
        QSqlDatabase::removeDatabase(QStringLiteral("schema-check"));
    }

    bool Odbc() const { return QString::fromLatin1(GetParam()) == QLatin1String("odbc"); }

    // Starts the program on the test's backend and shows the time schemas.
    void Open(int language = 0)
    {
        if (Odbc())
            TestEnvironment::WriteOdbcDsn("Quandor", DatabaseFile());
        SetLanguage(language);
        ASSERT_NE(Start(), nullptr);
        m_app->GetMainFrame()->resize(1212, 874);
        m_app->GetMainFrame()->show();
        QCoreApplication::processEvents();
        ASSERT_EQ(Db()->GetDatabase()->GetSource().kind, Odbc() ? CDatabase::Kind::Odbc : CDatabase::Kind::Sqlite);
        ShowNode(-1);
        // The port choice shown at start is not the test's.
        m_dialogs.clear();
    }

    CFerrold_Handler* Db() const { return m_app->GetDBHandler(); }
    CLeftTreeView* Tree() const { return m_app->GetMainFrame()->GetLeftTreeView(); }
    CZeitschemaDlg* View() const { return qobject_cast<CZeitschemaDlg*>(m_app->GetMainFrame()->GetRightPane()); }
    CGridCtrl* Grid() const { return View() ? View()->GetGrid() : nullptr; }
    QTreeWidgetItem* SchemaNode() const { return Tree()->Node(CLeftTreeView::TimeSchemasNode); }

    // The overview (-1) or one schema's child of the tree.
    void ShowNode(int child)
    {
        Tree()->setCurrentItem(child >= 0 ? SchemaNode()->child(child) : SchemaNode());
        Settle();
        ASSERT_NE(Grid(), nullptr);
    }

    static void Settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    QStringList ChildTexts() const
    {
        QStringList texts;
        for (int i = 0; i < SchemaNode()->childCount(); ++i)
            texts << SchemaNode()->child(i)->text(0);
        return texts;
    }
    QList<int> ChildIds() const
    {
        QList<int> ids;
        for (int i = 0; i < SchemaNode()->childCount(); ++i)
            ids << SchemaNode()->child(i)->data(0, CLeftTreeView::kSchemaIdRole).toInt();
        return ids;
    }

    // --- Input as a user gives it.
    QPoint At(int row, int col) const
    {
        QRect rect;
        EXPECT_TRUE(Grid()->GetCellRect(row, col, &rect)) << row << "/" << col;
        return rect.center();
    }
    void Click(int row, int col, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, modifiers, At(row, col));
        Settle();
    }
    // A click on a cell that did not have the focus (a click on the focus
    // cell starts its editor).
    void ClickAfresh(int row, int col)
    {
        Click(row, col == 1 ? 3 : 1);
        Click(row, col);
    }
    // Opens a cell's editor by the mouse.
    QWidget* OpenEditor(int row, int col)
    {
        ClickAfresh(row, col);
        Click(row, col);
        return Grid()->GetActiveEditor();
    }
    // Pastes a text into one cell, as Ctrl+V does.
    void Paste(int row, int col, const QString& text)
    {
        ClickAfresh(row, col);
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(Grid()->viewport(), Qt::Key_V, Qt::ControlModifier);
        Settle();
    }
    // Typed characters, any of them (QTest's clicks know only ASCII).
    static void Keys(QWidget* widget, const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &press);
            QApplication::sendEvent(widget, &release);
        }
    }
    // Types a text into a text cell and ends with Enter.
    void Type(int row, int col, const QString& text)
    {
        ClickAfresh(row, col);
        Grid()->setFocus();
        Keys(Grid()->viewport(), text.left(1));
        Settle();
        QWidget* editor = Grid()->GetActiveEditor();
        ASSERT_NE(editor, nullptr) << "no editor at " << row << "/" << col;
        Keys(editor, text.mid(1));
        QTest::keyClick(editor, Qt::Key_Return);
        Settle();
    }

    struct MenuEntry
    {
        int command;
        QString text;
        bool enabled;
    };
    // Right-clicks a cell; the menu's entries as shown, and the command
    // chosen (0: closed without a choice).
    QList<MenuEntry> RightClick(int row, int col, int command = 0, const QString& shot = QString())
    {
        return RightClickAt(At(row, col), command, shot);
    }
    QList<MenuEntry> RightClickAt(QPoint where, int command = 0, const QString& shot = QString())
    {
        QList<MenuEntry> entries;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            if (!shot.isEmpty())
                menu->grab().save(shot);
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->isSeparator())
                    continue;
                entries.push_back({action->data().toInt(), action->text(), action->isEnabled()});
                if (action->data().toInt() == command)
                    chosen = action;
            }
            if (chosen && chosen->isEnabled()) {
                menu->setActiveAction(chosen);
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                menu->close();
            }
        });
        QTest::mouseClick(Grid()->viewport(), Qt::RightButton, Qt::NoModifier, where);
        Settle();
        return entries;
    }

    // --- What the table holds, read past the program.
    QList<QStringList> Rows(const QString& sql)
    {
        QSqlDatabase db = QSqlDatabase::contains(QStringLiteral("schema-check"))
                              ? QSqlDatabase::database(QStringLiteral("schema-check"))
                              : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("schema-check"));
        db.setDatabaseName(DatabaseFile());
        EXPECT_TRUE(db.open());
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
        QList<QStringList> rows;
        while (q.next()) {
            QStringList values;
            for (int c = 0; c < q.record().count(); ++c)
                values << q.value(c).toString();
            rows << values;
        }
        return rows;
    }
    QString Value(const QString& sql)
    {
        const QList<QStringList> rows = Rows(sql);
        return rows.isEmpty() || rows.front().isEmpty() ? QString() : rows.front().front();
    }
    void Exec(const QString& sql)
    {
        Rows(sql);
    }
    // Schema rows as "id name von bis SMTWTFS mark".
    QStringList SchemaTable()
    {
        QStringList out;
        for (const QStringList& r :
             Rows("SELECT ID_Zeitschema, strBezeichnung, strVon, strBis, boolSonntag || boolMontag || boolDienstag ||"
                  " boolMittwoch || boolDonnerstag || boolFreitag || boolSamstag, boolUpdateOK FROM tblZeitschema"
                  " ORDER BY ID_Zeitschema"))
            out << r.join(' ');
        return out;
    }
    QStringList SchemaCache() const
    {
        QStringList out;
        CtblZeitschema* t = Db()->Get_Ptr_To_tblZeitschema();
        for (int i = 0; i < t->GetAnz_Zeitschema(); ++i) {
            const auto* r = t->Get_Zeitschema(i);
            out << QStringLiteral("%1 %2 %3 %4 %5%6%7%8%9%10%11 %12")
                       .arg(r->ID_Zeitschema)
                       .arg(r->Bezeichnung, r->Von, r->Bis)
                       .arg(r->Sonntag)
                       .arg(r->Montag)
                       .arg(r->Dienstag)
                       .arg(r->Mittwoch)
                       .arg(r->Donnerstag)
                       .arg(r->Freitag)
                       .arg(r->Samstag)
                       .arg(r->UpdateOK);
        }
        return out;
    }
    // Transponders as "id schema mark", table and cache.
    QStringList TransponderTable()
    {
        QStringList out;
        for (const QStringList& r :
             Rows("SELECT ID_Transponder, Zeitfenster_ID, boolUpdateOK FROM tblTransponder ORDER BY ID_Transponder"))
            out << r.join(' ');
        return out;
    }
    QStringList TransponderCache() const
    {
        QStringList out;
        CtblTransponder* t = Db()->Get_Ptr_To_tblTransponder();
        for (int i = 0; i < t->GetAnz_Transponder(); ++i)
            out << QStringLiteral("%1 %2 %3")
                       .arg(t->Get_Transponder(i)->ID_Transponder)
                       .arg(t->Get_Transponder(i)->Zeitfenster_ID)
                       .arg(t->Get_Transponder(i)->UpdateOK);
        return out;
    }
    // Readers' marks "1010", table and cache.
    QString ReaderMarks()
    {
        QString marks;
        for (const QStringList& r : Rows("SELECT boolUpdateOK FROM tblLeser ORDER BY ID_Leser"))
            marks += r.front();
        return marks;
    }
    QString ReaderCacheMarks() const
    {
        QString marks;
        CtblLeser* t = Db()->Get_Ptr_To_tblLeser();
        for (int i = 0; i < t->GetAnz_Leser(); ++i)
            marks += QString::number(t->Get_Leser(i)->UpdateOK);
        return marks;
    }

    // The values a row shows (a check cell's "1" or "0").
    QStringList ShownRow(int row) const
    {
        QStringList texts;
        for (int col = 1; col <= 14; ++col)
            texts << Grid()->GetCellAt(row, col)->GetValue();
        return texts;
    }
    // A cell's end of edit handed straight to the view, past the mouse and
    // the keys: whether the view stored it.
    bool StoreDirect(int row, int col, const QString& text)
    {
        GRID_NOTIFY notify;
        notify.dataRow = notify.row = row;
        notify.column = col;
        notify.text1 = notify.text2 = text;
        return View()->StoreEditedCell(&notify);
    }
    // As the grid sees the cell when it draws or edits it (the owner asked).
    bool ReadOnly(int row, int col) const { return Grid()->GetCellAt(row, col)->GetState() & GVIS_READONLY; }

    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
    QList<QMessageBox::Icon> m_icons;
};
