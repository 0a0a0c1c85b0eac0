// The Wren settings dialog end to end against a simulated Wren on a
// pseudo-terminal: opening, the master choice, storing, sending, teaching a
// new master, and the reader's refusals and silence.

#include "PlainReaderFixture.h"

#include <QElapsedTimer>
#include <QThread>


namespace {

class ParamWren : public PlainReader
{
protected:
    std::unique_ptr<CParamWrenDlg> Open()
    {
        const CtblLeser::structLeser* row = nullptr;
        for (int i = 0; i < Cache()->GetAnz_Leser(); ++i) {
            if (Cache()->Get_Leser(i)->ID_Leser == 3)
                row = Cache()->Get_Leser(i);
        }
        EXPECT_NE(row, nullptr);
        return std::make_unique<CParamWrenDlg>(View(), *row, Language(), Frame());
    }
    // Presents a tag once the reader has heard its teach command.
    std::thread PresentAfterTeach(const QByteArray& number)
    {
        return std::thread([this, number] {
            reader->WaitFor([](const QList<CSimulatedReader::Frame>& f) { return !f.isEmpty() && f.last().body == "M"; },
                            5000);
            QThread::msleep(300);
            reader->PresentTag(number);
        });
    }
};

TEST_F(ParamWren, TheButtonOpensItAndTheStoredMasterIsChosen)
{
    SeedReaders("F1;AAAAAAAAAA", "5");
    ConnectPlain(CSimulatedReader::Wren);
    reader->SetMaster("0123456789");
    reader->ClearLog();

    bool driven = false;
    drive = [&](QDialog& shown) {
        driven = true;
        auto& dialog = static_cast<CParamWrenDlg&>(shown);
        EXPECT_EQ(Heard(), QList<QByteArray>{"G00"});
        // Bits 0xF1: standalone, master not active; the masters differ, so
        // the edit stays empty until the operator has chosen.
        EXPECT_TRUE(dialog.Standalone()->isChecked());
        EXPECT_FALSE(dialog.MasterActive()->isChecked());
        EXPECT_EQ(dialog.SwitchTime()->text(), "5");
        EXPECT_TRUE(dialog.UpdateReaderButton()->isEnabled());
        EXPECT_TRUE(dialog.NewMasterButton()->isEnabled());
        ASSERT_TRUE(WaitUntil([&] { return m_choiceCount > 0; }, 3000));
        EXPECT_EQ(dialog.Master()->text(), "AAAAAAAAAA");
        QDir().mkpath(kShots);
        dialog.grab().save(kShots + "param-wren-online-de.png");
    };
    m_chooseStored = true;
    Click(RowOf("Wren3"), 7);
    ASSERT_TRUE(WaitUntil([&] { return driven; }, 4000));
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    // The reader took the database's master; the link knows it at once.
    EXPECT_EQ(Heard(), (QList<QByteArray>{"G00", "S00AAAAAAAAAA"}));
    EXPECT_EQ(reader->Master(), "AAAAAAAAAA");
    EXPECT_EQ(Tree()->LinkStatus().masterTransponder, "AAAAAAAAAA");
    EXPECT_EQ(ReaderRow(3).parameter, "F1;AAAAAAAAAA");

    // A refused master leaves the link's master as it was.
    reader->SetMaster("0123456789");
    reader->NakNext('S', 1);
    m_messages.clear();
    {
        auto dialog = Open();
        dialog->show();
        ASSERT_TRUE(WaitUntil([&] { return m_choiceCount > 1; }, 3000));
        EXPECT_EQ(m_messages, QStringList{Text(141)});
        EXPECT_EQ(Tree()->LinkStatus().masterTransponder, "AAAAAAAAAA");
        EXPECT_EQ(reader->Master(), "0123456789");
    }
    // The reader's master chosen: the database takes it, mode bits kept.
    m_chooseStored = false;
    m_messages.clear();
    {
        auto dialog = Open();
        dialog->show();
        ASSERT_TRUE(WaitUntil([&] { return m_choiceCount > 2; }, 3000));
        EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
        EXPECT_EQ(ReaderRow(3).parameter, "F1;0123456789");
        EXPECT_EQ(dialog->Master()->text(), "0123456789");
    }
    // Equal masters ask nothing.
    {
        auto dialog = Open();
        dialog->show();
        // A choice that must not come has no event: the dialog gets time to ask.
        QTest::qWait(700);
        EXPECT_EQ(m_choiceCount, 3);
    }
    // While a transfer holds the link both plain dialogs are refused.
    const CLinkLease lease = Tree()->Link().TakeLink();
    ASSERT_TRUE(lease.IsGranted());
    m_messages.clear();
    driven = false;
    reader->ClearLog();
    Click(RowOf("Wren3"), 7);
    CSendWrenDlg::Run(*View(), CSendWrenDlg::WriteMode, 3);
    EXPECT_EQ(m_messages, (QStringList{Text(253), Text(253)}));
    EXPECT_FALSE(driven);
    EXPECT_TRUE(Heard().isEmpty());
    Tree()->Link().ReleaseLink(lease);
}

TEST_F(ParamWren, StoringTwiceAndSendingKeepTheRowAndTheReaderInStep)
{
    SeedReaders("F3;0123456789", "5");
    Sql({"INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS)"
         " VALUES (21,'BBBBBBBBBB',0,1,'3;7'), (22,'CCCCCCCCCC',0,1,'7')"});
    ConnectPlain(CSimulatedReader::Wren);
    reader->SetMaster("0123456789");
    auto dialog = Open();
    dialog->show();
    // A choice that must not come has no event: the dialog gets time to ask.
    QTest::qWait(50);
    EXPECT_EQ(m_choiceCount, 0);
    EXPECT_EQ(dialog->Master()->text(), "0123456789");

    // Stored twice in a row (the reader table is re-read in between); the
    // bits the dialog has no control for are kept.
    dialog->ReadingHead()->setChecked(true);
    dialog->MasterActive()->setChecked(false);
    dialog->SwitchTime()->setText("0,5");
    dialog->OnUpdateDatabase();
    dialog->SwitchTime()->setText("7");
    dialog->OnUpdateDatabase();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(m_notices, (QStringList{Text(173), Text(173)}));
    StoredReader row = ReaderRow(3);
    EXPECT_EQ(row.parameter, "F0;0123456789");
    EXPECT_EQ(row.modus, "7");
    EXPECT_EQ(row.updateOK, 1);

    struct Refused {
        const char* typed;
        unsigned int text;
        const char* shownAfter;
    };
    for (const Refused& r : {Refused{"16", 152, "7"}, Refused{"0", 142, "0"}, Refused{"abc", 142, "abc"}}) {
        SCOPED_TRACE(r.typed);
        m_messages.clear();
        dialog->SwitchTime()->setText(r.typed);
        dialog->OnUpdateDatabase();
        EXPECT_EQ(m_messages, QStringList{Text(r.text)});
        EXPECT_EQ(dialog->SwitchTime()->text(), r.shownAfter);
        EXPECT_EQ(ReaderRow(3).modus, "7");
    }

    // Sent: the row first, then J, K, D.
    Sql({"UPDATE tblLeser SET boolUpdateOK = 0 WHERE ID_Leser = 3"});
    Cache()->_Requery();
    dialog->MasterActive()->setChecked(true);
    dialog->SwitchTime()->setText("15");
    m_messages.clear();
    reader->ClearLog();
    dialog->OnUpdateReader();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(Heard(), (QList<QByteArray>{"J1", "K0", "D10F"}));
    EXPECT_TRUE(reader->MasterActive());
    EXPECT_FALSE(reader->Standalone());
    EXPECT_EQ(reader->SwitchTime(), 15);
    row = ReaderRow(3);
    EXPECT_EQ(row.parameter, "F2;0123456789");
    EXPECT_EQ(row.modus, "15");
    EXPECT_EQ(row.updateOK, 0);

    // A refused setting: nothing after it, and the row is marked for the
    // next write of the reader's data.
    reader->NakNext('J', 1);
    m_messages.clear();
    reader->ClearLog();
    dialog->OnUpdateReader();
    EXPECT_EQ(m_messages, QStringList{Text(141)});
    EXPECT_EQ(Heard(), QList<QByteArray>{"J1"});
    EXPECT_EQ(ReaderRow(3).updateOK, 1);

    // Teaching: the tag presented becomes the master and leaves the
    // reader's ordinary transponders; the information label never shows it.
    m_messages.clear();
    reader->ClearLog();
    std::thread present = PresentAfterTeach("BBBBBBBBBB");
    dialog->OnNewMaster();
    present.join();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(dialog->Master()->text(), "BBBBBBBBBB");
    EXPECT_EQ(Tree()->LinkStatus().masterTransponder, "BBBBBBBBBB");
    EXPECT_EQ(reader->Master(), "BBBBBBBBBB");
    EXPECT_EQ(ReaderRow(3).parameter, "F2;BBBBBBBBBB");
    EXPECT_EQ(TransponderOf("BBBBBBBBBB").readers, "7");
    EXPECT_EQ(TransponderOf("CCCCCCCCCC").readers, "7");
    // A tag that must not show has no event: the label gets time to change.
    QTest::qWait(50);
    EXPECT_FALSE(Label().contains("BBBBBBBBBB"));
    ExpectCachesEqualDatabase();

    // An 'R' report ends the wait too.
    reader->SetLearnReportsAsR(true);
    reader->ClearLog();
    present = PresentAfterTeach("CCCCCCCCCC");
    dialog->OnNewMaster();
    present.join();
    EXPECT_EQ(ReaderRow(3).parameter, "F2;CCCCCCCCCC");
    EXPECT_EQ(TransponderOf("CCCCCCCCCC").readers, "7");

    // A refused teach command changes nothing.
    reader->NakNext('M', 1);
    m_messages.clear();
    dialog->OnNewMaster();
    EXPECT_EQ(m_messages, QStringList{Text(141)});
    EXPECT_EQ(ReaderRow(3).parameter, "F2;CCCCCCCCCC");
}

// The teaching prompt appears while the dialog waits and lays nothing out:
// it must fit the label as the dialog first came up, in both languages.
TEST_F(ParamWren, TheTeachingPromptFitsFromTheStart)
{
    SeedReaders();
    for (int language : {0, 1}) {
        SCOPED_TRACE(language);
        if (language == 0)
            StartShown();
        else {
            // The texts of the language too, as the menu's switch reads them.
            Language()->SetAktLanguage(1);
            Language()->GetAllItems();
        }
        auto dialog = Open();
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->Status()->setText(Text(154));
        dialog->Status()->repaint();
        const QRect room = dialog->Status()->contentsRect();
        EXPECT_GE(room.width(), dialog->Status()->fontMetrics().horizontalAdvance(Text(154)));
        QDir().mkpath(kShots);
        dialog->grab().save(kShots + QStringLiteral("param-wren-teaching-%1.png").arg(language ? "en" : "de"));
    }
}

// A fresh Wren (master active, standalone, 5 s) takes the stored settings
// from the next write of its list.
TEST_F(ParamWren, AWriteAllSendsWhatTheDialogStored)
{
    SeedReaders("F3;0123456789", "5");
    Sql({"INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS)"
         " VALUES (21,'BBBBBBBBBB',0,1,'3')"});
    ConnectPlain(CSimulatedReader::Wren);
    reader->SetMaster("0123456789");
    {
        auto dialog = Open();
        dialog->show();
        dialog->ReadingHead()->setChecked(true);
        dialog->MasterActive()->setChecked(false);
        dialog->SwitchTime()->setText("9");
        dialog->OnUpdateDatabase();
    }
    EXPECT_EQ(ReaderRow(3).parameter, "F0;0123456789");

    bool sent = false;
    drive = [&](QDialog& shown) {
        auto& list = static_cast<CSendWrenDlg&>(shown);
        ASSERT_TRUE(WaitUntil([&] { return list.Status()->text() == Text(182) || !m_messages.isEmpty(); }, 8000));
        SelectAll(list.DatabaseList());
        list.OnMoveRight();
        reader->ClearLog();
        QTest::mouseClick(list.SendButton(), Qt::LeftButton);
        sent = true;
    };
    m_messages.clear();
    m_menuChoice = CLeserDlg::ID_WRITE_ALL_DATA;
    Click(RowOf("Wren3"));
    RightClick(RowOf("Wren3"));
    ASSERT_TRUE(WaitUntil([&] { return sent; }, 10000));
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(Heard(), (QList<QByteArray>{"Z02", "S01BBBBBBBBBB", "J0", "K0", "D109"}));
    EXPECT_FALSE(reader->MasterActive());
    EXPECT_FALSE(reader->Standalone());
    EXPECT_EQ(reader->SwitchTime(), 9);
    EXPECT_EQ(ReaderRow(3).updateOK, 0);
}

TEST_F(ParamWren, NoTagAndNoAnswer)
{
    SeedReaders("3;0123456789", "0");
    ConnectPlain(CSimulatedReader::Wren);
    reader->SetMaster("0123456789");
    {
        // No tag within the teaching wait: said so, nothing changed.
        auto dialog = Open();
        dialog->show();
        EXPECT_EQ(dialog->SwitchTime()->text(), "0.5");
        QElapsedTimer clock;
        clock.start();
        dialog->OnNewMaster();
        EXPECT_GE(clock.elapsed(), Ms(5000));
        EXPECT_LE(clock.elapsed(), Ms(9000) + 10000); // it gives up; late only on a busy machine
        EXPECT_EQ(m_messages, QStringList{Text(153)});
        EXPECT_EQ(dialog->Status()->text(), Text(172));
        EXPECT_EQ(dialog->Progress()->value(), 0);
        EXPECT_EQ(ReaderRow(3).parameter, "3;0123456789");
    }
    // A silent reader: the stored master is shown, only storing is offered.
    Sql({"UPDATE tblLeser SET strParameter = '3;AAAAAAAAAA' WHERE ID_Leser = 3"});
    Cache()->_Requery();
    reader->SetSilent(true);
    auto dialog = Open();
    dialog->show();
    EXPECT_EQ(dialog->Master()->text(), "AAAAAAAAAA");
    EXPECT_FALSE(dialog->UpdateReaderButton()->isEnabled());
    EXPECT_FALSE(dialog->NewMasterButton()->isEnabled());
    EXPECT_TRUE(dialog->UpdateDatabaseButton()->isEnabled());
    // A choice that must not come has no event: the dialog gets time to ask.
    QTest::qWait(700);
    EXPECT_EQ(m_choiceCount, 0);
    m_messages.clear();
    dialog->OnUpdateDatabase();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    // The reader's row deleted meanwhile: said so, no "done".
    Sql({"DELETE FROM tblLeser WHERE ID_Leser = 3"});
    m_notices.clear();
    dialog->OnUpdateDatabase();
    EXPECT_EQ(m_messages, QStringList{Text(66)});
    EXPECT_TRUE(m_notices.isEmpty());
}

} // namespace
