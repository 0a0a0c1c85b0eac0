// Reading events the operator's way: the reader list's context menu on the
// connected reader's row, the options dialog, the run and its notice; and
// what the menu and the main window offer while the run goes on.

#include "ReaderViewFixture.h"

#include "CBlinkStatic.h"
#include "CReadEventsDlg.h"
#include "CShowMessage.h"
#include "CTransferRun.h"
#include "CtblEvents.h"
#include "CWindowMessage.h"

#include <QCheckBox>

namespace {

class ReadEventsFromTheMenu : public ReaderView
{
protected:
    static constexpr int kEvents = 40;

    void SetUp() override
    {
        ReaderView::SetUp();
        m_answerDialog = [this](QDialog& dialog) {
            if (auto* options = qobject_cast<CReadEventsDlg*>(&dialog)) {
                ++m_optionDialogs;
                options->ReadToPointerBox()->setChecked(true);
                options->OkButton()->click();
                return options->result();
            }
            if (auto* notice = qobject_cast<CShowMessage*>(&dialog)) {
                m_notices << notice->GetTextControl()->text();
                return int(QDialog::Accepted);
            }
            return AnswerDialog(dialog);
        };
    }

    int EventsOfReader(int id) const
    {
        int n = 0;
        CtblEvents* events = m_app->GetDBHandler()->Get_Ptr_To_tblEvents();
        for (int i = 0; i < events->GetAnz_Events(); ++i)
            n += events->Get_Event(i)->Leser_ID == id ? 1 : 0;
        return n;
    }

    int m_optionDialogs = 0;
    QStringList m_notices;
};

} // namespace

TEST_F(ReadEventsFromTheMenu, TheClickedReadersEventsAreReadAndNothingElseStartsMeanwhile)
{
    // The checks below need the read still running: at real time it lasts
    // well beyond them, at the tests' scale it may end first.
    UseRealTime();
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES"
         " (1,'Lager','Kite','9923456789ABCDEF0199'),(2,'Kasse','Kite','0123456789ABCDEF0123')"});
    StartReader(CSimulatedReader::Kite);
    CSimulatedReader::Event event;
    event.number = "0A0B0C0D0E";
    reader->FillEvents(kEvents, event);
    ConnectAndIdentify(false);
    const int row = RowOf(QStringLiteral("Kasse"));
    ASSERT_GT(row, 0);
    reader->SetLatency(50);

    m_menuChoice = CLeserDlg::ID_READ_EVENTS;
    MenuOf(row);
    ASSERT_EQ(m_optionDialogs, 1);
    ASSERT_TRUE(WaitUntil([] { return CTransferRun::Active() != nullptr; }, 2000));
    ASSERT_TRUE(WaitUntil([this] { return reader->Count("FFLE") >= 3; }, 5000));

    // Every reader command of the menu is grey, the read is not offered
    // again, and asking for it anyway is ignored.
    const int asked = reader->Count("FFLS0000");
    m_menuShot = QStringLiteral("menu-during-read-events");
    RightClick(row);
    ASSERT_EQ(m_menu.size(), 7u);
    EXPECT_EQ(Enabled(), QList<bool>(7, false));
    EXPECT_EQ(reader->Count("FFLS0000"), asked); // the busy link is not asked
    CTransferRun* run = View()->Transfer();
    View()->OnCommand(CLeserDlg::ID_READ_EVENTS);
    CWindowMessage::Post(View(), CWindowMessage::WM_READ_EVENTS);
    QCoreApplication::sendPostedEvents(View(), CWindowMessage::WM_READ_EVENTS);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_optionDialogs, 1);
    EXPECT_EQ(View()->Transfer(), run);
    EXPECT_EQ(reader->Count("FFLP0003"), 1);

    // The main window's commands that replace or empty the tables, or cut
    // the link, are refused with their reason.
    m_messages.clear();
    for (int id : {CMainFrame::ID_CSV_IMPORT, CMainFrame::ID_DATABASE_RESTORE, CMainFrame::ID_DELETE_ALL_ENTRIES,
                   CMainFrame::ID_OFFLINE}) {
        ASSERT_NE(Frame()->Action(id), nullptr) << id;
        Frame()->Action(id)->trigger();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(m_messages, QStringList(4, Text(CMainFrame::kTransferRunsText)));
    EXPECT_TRUE(Tree()->IsPortOpen());
    EXPECT_TRUE(CTransferRun::Active());

    ASSERT_TRUE(WaitUntil([] { return CTransferRun::Active() == nullptr; }, 20000));
    ASSERT_TRUE(WaitUntil([this] { return !m_notices.isEmpty(); }, 2000));
    EXPECT_EQ(m_notices, QStringList{Language()->GetLangItem(200, kEvents)});
    EXPECT_EQ(EventsOfReader(2), kEvents);
    EXPECT_EQ(EventsOfReader(1), 0);
    EXPECT_FALSE(Tree()->Link().IsLinkTaken());

    // Afterwards the menu offers the commands again.
    RightClick(row);
    EXPECT_EQ(Enabled(), QList<bool>(7, true));
}
