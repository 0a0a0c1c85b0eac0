#pragma once

#include "QuandorAppFixture.h"

#include "CChooseCOMDlg.h"
#include "CColorStatic.h"
#include "CLeftTreeView.h"
#include "CRegistryKey.h"
#include "CSimulatedReader.h"
#include "CWindowMessage.h"
#include "TestLinkTiming.h"
#include "ShellTestSupport.h"
#include "TestWait.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>

#include <functional>
#include <memory>

// Counts the WM_IDENTIFY_READER messages the program delivers, and to whom.
class IdentifyCounter : public QObject
{
public:
    int count = 0;
    QString receiver;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (static_cast<int>(event->type()) == CWindowMessage::WM_IDENTIFY_READER) {
            ++count;
            receiver = watched->metaObject()->className();
        }
        return false;
    }
};

// The whole program on a simulated reader: the port choice at start is
// answered with "connect now" on the simulator's port.
class ReaderLinkWindow : public QuandorAppFixture
{
public:
    static constexpr int kPort = 41;
    static constexpr int kFramedSearchMs = 6000;
    static constexpr int kPlainSearchMs = 16000; // five unanswered framed identities first

protected:
    void SetUp() override
    {
        QuandorAppFixture::SetUp();
        m_app->installEventFilter(&identify);
        m_app->SetLinkTiming(timing);
    }
    void TearDown() override
    {
        QuandorAppFixture::TearDown();
        m_app->removeEventFilter(&identify);
        m_app->SetLinkTiming(CLinkTiming());
        reader.reset();
    }

    // The link and the simulator run at the times the readers are built
    // for (the late bounds cut short, see RealTimeShortBounds); called
    // before the reader and the program start.
    void UseRealTime()
    {
        timing = RealTimeShortBounds();
        m_app->SetLinkTiming(timing);
    }
    // A time of the protocol as this test's link and simulator run it.
    int Ms(int realMs) const { return timing.Scale(realMs); }

    void StartReader(CSimulatedReader::Model model)
    {
        reader = std::make_unique<CSimulatedReader>(model, timing.factor);
        reader->RegisterAs(kPort);
    }

    // Starts the program; the port dialog chooses the simulator's port and
    // connects now.
    CMainFrame* StartAndConnect(const QString& screenshot = QString())
    {
        AnswerPortDialogWithConnectNow(screenshot);
        return Start();
    }
    void AnswerPortDialogWithConnectNow(const QString& screenshot = QString())
    {
        m_answerDialog = [screenshot](QDialog& dialog) {
            auto* ports = qobject_cast<CChooseCOMDlg*>(&dialog);
            if (!ports)
                return int(QDialog::Rejected);
            ports->show();
            ports->PortList()->setCurrentIndex(ports->PortList()->findText(QStringLiteral("COM%1").arg(kPort)));
            if (!screenshot.isEmpty())
                Screenshot(*ports, screenshot);
            QTest::mouseClick(ports->ConnectNowButton(), Qt::LeftButton);
            return ports->result();
        };
    }
    // The port the next connect uses, as the port dialog stores it.
    static void ChoosePort(int port)
    {
        CRegistryKey().WriteDWord(quint32(port), CRegistryKey::CurrentUser, QLatin1String(kProgramKey),
                                  QStringLiteral("nAktCom"));
    }

    // Runs the event loop until the condition holds; false after timeoutMs.
    static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = TestWait::kPatienceMs)
    {
        return TestWait::Until(condition, timeoutMs);
    }

    // A framed reader is polled twice more: whatever was to follow a step
    // has had its turn on the line.
    bool WaitPolls(int more = 2)
    {
        const int polls = reader->Count("FFCT23");
        return WaitUntil([&] { return reader->Count("FFCT23") >= polls + more; });
    }

    bool WaitOnline(int timeoutMs)
    {
        return WaitUntil([this] { return Tree()->IsPollingRunning() && !Tree()->GetSearchProgress(); }, timeoutMs);
    }

    CMainFrame* Frame() const { return m_app->GetMainFrame(); }
    CLeftTreeView* Tree() const { return Frame()->GetLeftTreeView(); }
    QString Label() const { return Frame()->GetInfoLabel()->text(); }
    QString Text(unsigned int n) const { return Language()->GetLangItem(n); }
    QString Pane(int pane) const
    {
        Frame()->UpdatePanes();
        return Frame()->PaneText(pane);
    }
    void ExpectOffline()
    {
        EXPECT_FALSE(Tree()->IsPortOpen());
        EXPECT_EQ(Tree()->LinkStatus().readerType, -1);
        EXPECT_EQ(Tree()->LinkStatus().connectedPort, -1);
        EXPECT_FALSE(Tree()->IsPollingRunning());
        EXPECT_EQ(Tree()->GetSearchProgress(), nullptr);
        EXPECT_EQ(Pane(CMainFrame::ID_INDICATOR_CONNECTION), Text(109) + "Offline");
        EXPECT_TRUE(Frame()->Action(CMainFrame::ID_OFFLINE)->isChecked());
        EXPECT_FALSE(Frame()->Action(CMainFrame::ID_ONLINE)->isChecked());
    }
    // Nothing reaches the reader any more.
    void ExpectLineQuiet(int ms)
    {
        const qint64 received = reader->BytesReceived();
        // Silence has no event to wait for: the line is watched for ms.
        QTest::qWait(ms);
        EXPECT_EQ(reader->BytesReceived(), received);
    }
    QStringList Texts(const QList<int>& numbers) const
    {
        QStringList texts;
        for (int n : numbers)
            texts << Text(static_cast<unsigned int>(n));
        return texts;
    }

    IdentifyCounter identify;
    CLinkTiming timing = TestLinkTiming();
    std::unique_ptr<CSimulatedReader> reader;
};
