// The reader list against a simulated reader of each model on a
// pseudo-terminal: identifying the connected reader, the context menu's
// link test, clearing the event memory, and every way a reader can fail
// these.

#include "ReaderViewFixture.h"

#include "CReadEventsDlg.h"
#include "CTransferRun.h"
#include "CWindowMessage.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QRegularExpression>

namespace {

using Model = CSimulatedReader::Model;

struct ModelCase {
    Model model;
    bool plain;
};

class IdentifyEveryModel : public ReaderView, public ::testing::WithParamInterface<ModelCase>
{
};

std::ostream& operator<<(std::ostream& out, const ModelCase& c)
{
    return out << CSimulatedReader::ModelName(c.model).toStdString();
}

// The frames a plain reader heard at its own speed.
QList<QByteArray> PlainCommands(const CSimulatedReader& reader)
{
    QList<QByteArray> bodies;
    for (const auto& frame : reader.Log()) {
        if (frame.baud == 9600)
            bodies << frame.body;
    }
    return bodies;
}

QList<QByteArray> Prefixes(const QList<QByteArray>& bodies, int length)
{
    QList<QByteArray> heads;
    for (const QByteArray& body : bodies)
        heads << body.left(length);
    return heads;
}

// The reader list on a reader that the table may not know yet.
class FramedReader : public ReaderView
{
};

} // namespace

TEST_P(IdentifyEveryModel, AnUnknownReaderIsRegisteredOnceAndSelectedWhenItComesBack)
{
    const ModelCase& c = GetParam();
    const bool tern = c.model == CSimulatedReader::Tern;
    const bool wren = c.model == CSimulatedReader::Wren;
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES"
         " (1,'Alpha','Kite','X1'),(2,'zulu','Heron','X2')"});
    StartReader(c.model);
    if (c.model == CSimulatedReader::Kite)
        reader->SetSwitchCode(0x83);
    m_chooseNew = true;
    ConnectAndIdentify(c.plain);
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));

    const std::vector<StoredReader> stored = Stored();
    ASSERT_EQ(stored.size(), 3u);
    const StoredReader& added = stored[2];
    const QString model = CSimulatedReader::ModelName(c.model);
    EXPECT_TRUE(QRegularExpression("^Leser_[0-9A-F]{1,4}$").match(added.name).hasMatch()) << qPrintable(added.name);
    EXPECT_LE(added.name.mid(6).toUInt(nullptr, 16), 0xFFFEu);
    EXPECT_EQ(added.updateOK, 0);
    EXPECT_EQ(added.model, model);
    if (c.plain) {
        EXPECT_EQ(m_choices, QStringList{Text(tern ? 224 : 123)}); // no stored reader of the model
        EXPECT_EQ(added.address, "---");
        EXPECT_EQ(added.serial, "---");
        EXPECT_EQ(added.parameter, wren ? "3" : "");
        EXPECT_EQ(added.modus, wren ? "5" : "");
        EXPECT_EQ(PlainCommands(*reader), wren ? (QList<QByteArray>{"H", "G00", "H", "C0", "C1"})
                                               : (QList<QByteArray>{"H", "H"}));
    } else {
        EXPECT_EQ(added.serial, reader->Identification());
        EXPECT_EQ(added.address, "01");
        EXPECT_EQ(added.parameter, "A5");
        // The switch code as the settings read it back: 0x83 is 131.
        EXPECT_EQ(added.modus, c.model == CSimulatedReader::Kite ? "131" : "6");
        // Login, clock, then the identification's three queries.
        const QList<QByteArray> commands = Commands();
        ASSERT_GE(commands.size(), 4);
        EXPECT_EQ(Prefixes(commands.mid(commands.size() - 4), 8),
                  (QList<QByteArray>{"FFSU0000", "FFLS0000", "FFLP0000", "FFLP0001"}));
    }
    // The new row is the last one, in view; its children stand sorted.
    ASSERT_EQ(Grid()->GetRowCount(), Cache()->GetAnz_Leser() + 1);
    EXPECT_EQ(Grid()->GetItemText(3, 4), added.name);
    EXPECT_EQ(Grid()->GetItemText(3, 3), Text(14) + ": " + model);
    if (tern) {
        ExpectReaderChildren({"Alpha", "zulu"});
    } else {
        ExpectReaderChildren({"Alpha", added.name, "zulu"});
        QRect rect;
        ASSERT_TRUE(Grid()->GetCellRect(3, 4, &rect));
        EXPECT_TRUE(Grid()->viewport()->rect().contains(rect));
    }
    if (c.model == CSimulatedReader::Kite) {
        QDir().mkpath(kShots);
        Frame()->grab().save(kShots + "reader-registered-kite.png");
    }

    // Sorted by name descending, the same reader comes back: it is selected.
    SortBy(4, 2);
    ASSERT_EQ(View()->m_nSortMode, 2);
    m_chooseNew = false;
    m_choose = added.name;
    Reconnect(c.plain);
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(Stored().size(), 3u);
    EXPECT_EQ(SelectedRows(), QList<int>{RowOf(added.name)});
    if (c.plain) {
        EXPECT_EQ(m_choices, (QStringList{added.name, Text(tern ? 224 : 123)}));
        EXPECT_EQ(PlainCommands(*reader).mid(wren ? 2 : 1), QList<QByteArray>{"H"});
    } else {
        EXPECT_EQ(reader->Count("FFLS0000"), 2); // login and identification
        EXPECT_EQ(reader->Count("FFLP"), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Models, IdentifyEveryModel,
                         ::testing::Values(ModelCase{CSimulatedReader::Kite, false},
                                           ModelCase{CSimulatedReader::Heron, false},
                                           ModelCase{CSimulatedReader::Egret, false},
                                           ModelCase{CSimulatedReader::Wren, true},
                                           ModelCase{CSimulatedReader::Tern, true}),
                         [](const auto& info) { return CSimulatedReader::ModelName(info.param.model).toStdString(); });

TEST_F(FramedReader, AReaderThatAnswersBadlyIsNotRegistered)
{
    StartReader(CSimulatedReader::Egret);
    ConnectAndIdentify(false);
    ASSERT_EQ(Stored().size(), 1u);
    Sql({"DELETE FROM tblLeser"});
    View()->Reload(0);
    const QStringList children = Children(CLeftTreeView::EventsNode);

    struct Fault {
        const char* what;
        std::function<void()> inject;
        unsigned int text;
    };
    const std::vector<Fault> faults = {
        {"bad checksum", [this] { reader->CorruptNextTo("FFLS0000", 1); }, 106},
        {"short identification", [this] { reader->AnswerNext("LS0000", "FFLS0123456789ABCDEF012", 1); }, 106},
        {"parameter refused", [this] { reader->NakNextTo("FFLP0000", 1); }, 114},
        {"switch code refused", [this] { reader->NakNextTo("FFLP0001", 1); }, 114},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        fault.inject();
        AskIdentify();
        EXPECT_EQ(m_messages, QStringList{Text(fault.text)});
        EXPECT_EQ(m_icons.last(), QMessageBox::Critical);
        EXPECT_TRUE(Stored().empty());
    }
    // The table cannot be opened: the Part's text, nothing changes.
    Sql({"ALTER TABLE tblLeser RENAME TO tblLeserWeg"});
    AskIdentify();
    EXPECT_EQ(m_messages, QStringList{Text(83) + "\n" + Text(84)});
    {
        // Not through Sql(): that would make the missing table anew.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("rename-back"));
        db.setDatabaseName(DatabaseFile());
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec("ALTER TABLE tblLeserWeg RENAME TO tblLeser"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("rename-back"));
    EXPECT_TRUE(Stored().empty());
    EXPECT_EQ(Grid()->GetRowCount(), 1);
    // The table refuses the new row: its text is shown, nothing changes.
    Sql({"CREATE TRIGGER refuse BEFORE INSERT ON tblLeser BEGIN SELECT RAISE(ABORT, 'Tabelle voll'); END"});
    AskIdentify();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("Tabelle voll"));
    EXPECT_EQ(m_icons.last(), QMessageBox::Warning);
    EXPECT_TRUE(Stored().empty());
    EXPECT_EQ(Grid()->GetRowCount(), 1);
    EXPECT_EQ(Children(CLeftTreeView::EventsNode), children);
    // Repaired, the next try registers it; a reader another program added
    // meanwhile comes with it, and the list shows both.
    Sql({"DROP TRIGGER refuse", "INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES ('Nachbar','Wren')"});
    AskIdentify();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(Stored().size(), 2u);
    EXPECT_EQ(Grid()->GetRowCount(), 3);
    EXPECT_EQ(Grid()->GetItemText(1, 4), "Nachbar");
}

TEST_F(FramedReader, TheMenuAsksOnlyAFramedReaderOnlineWhetherItIsTheClickedOne)
{
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES"
         " (1,'Kasse','Kite','0123456789ABCDEF0123'),(2,'Lager','Kite','9923456789ABCDEF0199'),"
         " (3,'Büro','Wren','---'),(4,'Alt','Sparrow','0123456789ABCDEF0123')"});
    StartReader(CSimulatedReader::Kite);
    ConnectAndIdentify(false);
    ASSERT_EQ(SelectedRows(), QList<int>{1}); // the known reader
    int asked = reader->Count("FFLS0000");

    m_menuShot = QStringLiteral("menu-kite-online");
    RightClick(1);
    EXPECT_EQ(reader->Count("FFLS0000"), ++asked);
    EXPECT_EQ(Enabled(), QList<bool>(7, true));
    EXPECT_EQ(View()->m_nClickedReaderID, 1);

    // A reply whose checksum is wrong is no answer: one try, and the row is
    // not taken for the reader online; the next right-click asks again.
    reader->CorruptNextTo("FFLS0000", 1);
    MenuOf(1);
    EXPECT_EQ(reader->Count("FFLS0000"), ++asked);
    EXPECT_EQ(Enabled(), (QList<bool>{true, true, true, false, false, false, false}));
    MenuOf(1);
    EXPECT_EQ(reader->Count("FFLS0000"), ++asked);
    EXPECT_EQ(Enabled(), QList<bool>(7, true));

    // Another Kite: asked, and not the one online. A Wren and an unknown
    // model are not asked; a Kite online is no Wren.
    for (int row : {2, 3, 4}) {
        MenuOf(row);
        EXPECT_EQ(reader->Count("FFLS0000"), row == 2 ? ++asked : asked) << row;
        EXPECT_EQ(Enabled(), (QList<bool>{true, true, true, false, false, false, false})) << row;
    }

    // While a transfer holds the link nothing is asked and nothing waits.
    const CLinkLease lease = Tree()->Link().TakeLink();
    ASSERT_TRUE(lease.IsGranted());
    EXPECT_LT(MenuOf(1), 1000);
    EXPECT_EQ(reader->Count("FFLS0000"), asked);
    EXPECT_EQ(Enabled(), QList<bool>(7, false));
    Tree()->Link().ReleaseLink(lease);
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));

    // Read events, on the reader online: its options are asked first.
    m_menuChoice = CLeserDlg::ID_READ_EVENTS;
    RightClick(1);
    EXPECT_EQ(m_dialogs.last(), "171"); // the read-events options
    EXPECT_EQ(View()->m_nClickedReaderID, 1);
}

TEST_F(FramedReader, ClearingTheEventMemory)
{
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES"
         " (1,'Kasse','Heron','" + CSimulatedReader::DefaultIdentification(CSimulatedReader::Heron) + "')"});
    StartReader(CSimulatedReader::Heron);
    for (int i = 0; i < 3; ++i)
        reader->AddEvent({});
    ConnectAndIdentify(false);
    auto polls = [this] { return reader->Count("FFCT"); };

    // No: nothing goes to the reader.
    m_answer = QMessageBox::No;
    m_menuChoice = CLeserDlg::ID_CLEAR_EVENT_MEMORY;
    RightClick(1);
    ASSERT_TRUE(WaitUntil([this] { return m_messages.size() == 1; }, 1000));
    EXPECT_EQ(m_messages, QStringList{Text(160)});
    EXPECT_EQ(reader->Count("FFSP0003FFFF"), 0);

    // Yes: one command, the memory is empty, polling goes on.
    m_messages.clear();
    m_answer = QMessageBox::Yes;
    RightClick(1);
    ASSERT_TRUE(WaitUntil([this] { return reader->EventCount() == 0; }));
    ASSERT_TRUE(WaitUntil([this] { return !Tree()->Link().IsLinkTaken(); }));
    EXPECT_EQ(reader->Count("FFSP0003FFFF"), 1);
    EXPECT_EQ(m_messages, QStringList{Text(160)});
    int before = polls();
    EXPECT_TRUE(WaitUntil([&] { return polls() > before; }, 2000));

    // Five refusals: the failure is told and polling goes on.
    reader->AddEvent({});
    reader->NakNextTo("FFSP0003", 5);
    m_messages.clear();
    RightClick(1);
    ASSERT_TRUE(WaitUntil([this] { return m_messages.size() == 2; }, 5000));
    EXPECT_EQ(m_messages, (QStringList{Text(160), Text(161)}));
    EXPECT_EQ(m_icons.last(), QMessageBox::Critical);
    EXPECT_EQ(reader->Count("FFSP0003FFFF"), 6);
    EXPECT_EQ(reader->EventCount(), 1);
    // The five tries hold the link: no poll comes between them.
    const QList<QByteArray> frames = Prefixes(Commands(true), 12);
    const int last = frames.lastIndexOf("FFSP0003FFFF");
    ASSERT_GE(last, 4);
    EXPECT_EQ(frames.mid(last - 4, 5), QList<QByteArray>(5, "FFSP0003FFFF"));
    before = polls();
    EXPECT_TRUE(WaitUntil([&] { return polls() > before; }, 2000));

    // Offline: the command only starts a search.
    Frame()->Action(CMainFrame::ID_OFFLINE)->trigger();
    m_messages.clear();
    View()->OnCommand(CLeserDlg::ID_CLEAR_EVENT_MEMORY);
    EXPECT_TRUE(Tree()->IsSearching() || Tree()->IsPollingRunning());
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    ASSERT_TRUE(WaitOnline(kFramedSearchMs));
    EXPECT_EQ(reader->Count("FFSP0003FFFF"), 6);
}

TEST_F(ReaderView, AWrenIsChosenFromTheListAndItsAnswersAreChecked)
{
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES"
         " (1,'Lager','Kite','K1'),(2,'Lager','Wren','---'),(3,'Zentrale','Wren','---'),"
         " (4,'Alt','Sparrow','---')"});
    // The steps below must fall inside the search: at the line's own times a
    // Wren's search lasts over ten seconds, at a tenth of them a busy machine
    // can let it end before the window is shown.
    UseRealTime();
    StartReader(CSimulatedReader::Wren);
    Start();
    Show();
    // Showing the readers again during the search keeps its request.
    ASSERT_TRUE(WaitUntil([this] { return Tree()->IsSearching(); }, 10000));
    Tree()->setCurrentItem(Tree()->Node(CLeftTreeView::TranspondersNode));
    Tree()->setCurrentItem(Tree()->Node(CLeftTreeView::ReadersNode));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_NE(View(), nullptr);
    EXPECT_TRUE(Tree()->IsSearching());
    // Nobody polls yet: a Kite's row is not asked for, and nothing waits.
    QElapsedTimer searching;
    searching.start();
    RightClick(1);
    EXPECT_LT(searching.elapsed(), 1000);
    ASSERT_EQ(m_menu.size(), 7u);
    EXPECT_EQ(Enabled().mid(3), QList<bool>(4, false));
    EXPECT_TRUE(Tree()->IsSearching());
    // Cancel changes nothing.
    m_choose.clear();
    ASSERT_TRUE(WaitOnline(2 * kPlainSearchMs));
    ASSERT_TRUE(WaitUntil([this] { return identify.count > 0; }, 10000));
    EXPECT_EQ(m_choices, (QStringList{"Lager", "Zentrale", Text(123)}));
    EXPECT_TRUE(SelectedRows().isEmpty());
    EXPECT_EQ(Stored().size(), 4u);

    // Silent at first, then itself: the list is offered; the chosen name
    // means the Wren of that name, not the Kite before it.
    reader->IgnoreNext('H', 1);
    m_choose = QStringLiteral("Lager");
    m_choiceShot = QStringLiteral("choose-reader-wren");
    AskIdentify();
    EXPECT_EQ(m_choices, (QStringList{"Lager", "Zentrale", Text(123)}));
    EXPECT_EQ(SelectedRows(), QList<int>{2});
    // A tag reported just before the answer is no answer.
    reader->InjectReportBeforeNextReply("0123456789");
    m_choose = QStringLiteral("Zentrale");
    AskIdentify();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(SelectedRows(), QList<int>{3});
    // A late answer of another model is no Wren.
    reader->IgnoreNext('H', 1);
    reader->SetIdentityOverride("QMZT31");
    AskIdentify();
    EXPECT_EQ(m_messages, QStringList{Text(119)});
    EXPECT_TRUE(m_choices.isEmpty());
    reader->SetIdentityOverride(QByteArray());
    // A refused settings read is no setting.
    reader->NakNextTo("C1", 1);
    m_choose = Text(123);
    AskIdentify();
    EXPECT_EQ(m_messages, QStringList{Text(114)});
    EXPECT_EQ(Stored().size(), 4u);

    // The menu: a Wren online serves a Wren's row with the list transfer;
    // a Kite's row is not asked (a framed query to a Wren cannot succeed)
    // and nothing waits; a row of no known model after a Wren's row offers
    // nothing of a Wren.
    const QList<bool> noReaderCommands{true, true, true, false, false, false, false};
    const struct {
        int row;
        QList<bool> enabled;
        bool atOnce;
    } menus[] = {
        {2, {true, true, true, false, false, true, true}, false},
        {1, noReaderCommands, true},
        {4, noReaderCommands, false},
    };
    for (const auto& m : menus) {
        SCOPED_TRACE(m.row);
        const qint64 ms = MenuOf(m.row);
        if (m.atOnce) {
            EXPECT_LT(ms, 1000);
        }
        EXPECT_EQ(Enabled(), m.enabled);
    }
    for (const auto& frame : reader->Log())
        EXPECT_FALSE(frame.body.startsWith("FFLS")) << frame.body.constData();
}

TEST_F(FramedReader, CommandsActOnTheClickedRowsReaderUnderASortAndWithEqualNames)
{
    const QByteArray online = "0123456789ABCDEF0123";
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES"
         " (1,'Kasse','Kite','9923456789ABCDEF0199'),(2,'Zentrale','Heron','H2'),"
         " (3,'Kasse','Kite','0123456789ABCDEF0123'),(4,'Alt','Kite','X4')"});
    StartReader(CSimulatedReader::Kite);
    reader->SetIdentification(online);
    for (int day = 1; day <= 3; ++day) {
        CSimulatedReader::Event event;
        event.day = day;
        reader->AddEvent(event);
    }
    ConnectAndIdentify(false);
    ASSERT_EQ(SelectedRows(), QList<int>{3});
    m_answerDialog = [this](QDialog& dialog) {
        if (auto* options = qobject_cast<CReadEventsDlg*>(&dialog)) {
            options->show();
            QTest::mouseClick(options->OkButton(), Qt::LeftButton);
            return options->result();
        }
        return AnswerDialog(dialog);
    };
    // Names descending: Zentrale, the two Kassen, Alt.
    SortBy(4, 2);
    ASSERT_EQ(View()->m_nSortMode, 2);
    int mine = -1, other = -1;
    for (int row = 1; row < Grid()->GetRowCount(); ++row) {
        if (Grid()->GetItemText(row, 4) == "Kasse")
            (Grid()->GetItemText(row, 5) == online ? mine : other) = row;
    }
    ASSERT_TRUE(mine > 0 && other > 0);

    // The other reader of that name is not the one online: nothing to read.
    Click(other, 1);
    m_menuChoice = CLeserDlg::ID_READ_EVENTS;
    RightClick(other);
    EXPECT_EQ(View()->m_nClickedReaderID, 1);
    EXPECT_FALSE(m_menu[3].enabled);
    Click(mine, 1);
    reader->SetLatency(150);
    RightClick(mine);
    EXPECT_EQ(View()->m_nClickedReaderID, 3);
    ASSERT_TRUE(m_menu[3].enabled);
    // While it reads, no reader command is offered and the reader is not asked.
    ASSERT_TRUE(WaitUntil([] { return CTransferRun::Active() != nullptr; }, 2000));
    const int asked = reader->Count("FFLS0000");
    m_menuChoice = 0;
    RightClick(mine);
    EXPECT_TRUE(CTransferRun::Active() != nullptr);
    EXPECT_EQ(Enabled(), QList<bool>(7, false));
    EXPECT_EQ(reader->Count("FFLS0000"), asked);
    ASSERT_TRUE(WaitUntil([] { return CTransferRun::Active() == nullptr; }, 20000));
    reader->SetLatency(2);
    QCoreApplication::processEvents();
    QStringList events;
    {
        QSqlQuery q(m_app->GetDBHandler()->GetDatabase()->Connection());
        ASSERT_TRUE(q.exec("SELECT Leser_ID, strLeserName FROM tblEvents ORDER BY ID_Events"));
        while (q.next())
            events << q.value(0).toString() + "|" + q.value(1).toString();
    }
    EXPECT_EQ(events, QStringList(3, "3|Kasse"));
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));

    // Reconnect from the menu: the port is opened again, the reader found
    // and its own row selected, nothing registered.
    const int before = identify.count;
    reader->ClearLog();
    m_menuChoice = CLeserDlg::ID_RECONNECT;
    RightClick(other);
    ASSERT_TRUE(WaitUntil([this, before] { return identify.count > before; }, kFramedSearchMs));
    ASSERT_TRUE(WaitOnline(kFramedSearchMs));
    EXPECT_EQ(Stored().size(), 4u);
    EXPECT_EQ(SelectedRows(), QList<int>{mine});
    const QList<QByteArray> commands = Commands();
    ASSERT_FALSE(commands.isEmpty());
    EXPECT_EQ(Prefixes(commands, 8).last(), "FFLS0000");
    EXPECT_EQ(reader->Count("FFLS0000"), 3); // the menu's question, login and identification
    EXPECT_EQ(reader->Count("FFLP"), 0);
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
}
