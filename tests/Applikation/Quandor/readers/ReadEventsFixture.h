#pragma once

#include "ReaderLinkWindowFixture.h"

#include "CBlinkStatic.h"
#include "CDataProgressDlg.h"
#include "CEventsDlg.h"
#include "CFerrold_Handler.h"
#include "CLeserDlg.h"
#include "CReadEventsDlg.h"
#include "CShowMessage.h"
#include "CTransferRun.h"
#include "CtblEvents.h"

#include <QApplication>
#include <QSqlQuery>
#include <QSqlRecord>

// The program on a simulated framed reader, with the reader list on the
// right and two readers stored (IDs 7 and 8; 8 shares 7's name unless the
// test says otherwise): reads events as the operator would, and records
// the closing notices.
class ReadEvents : public ReaderLinkWindow
{
protected:
    static constexpr int kReaderId = 7;
    // Only a guard against a run that never ends: the longest read (2,900
    // frames) took over 20 s under the sanitizers on a machine with every
    // processor busy.
    static constexpr int kEndMs = 120000;

    static int ModelCode(CSimulatedReader::Model model)
    {
        switch (model) {
        case CSimulatedReader::Kite: return 0;
        case CSimulatedReader::Heron: return 1;
        case CSimulatedReader::Egret: return 4;
        default: return 2;
        }
    }

    // Starts the program online with the reader; the view is the reader list.
    void Online(CSimulatedReader::Model model, const QString& secondName = QStringLiteral("Door"))
    {
        Sql({QStringLiteral("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strSeriennummer, strLeserTyp) "
                            "VALUES (7, 'Door', '0123456789ABCDEF0123', '%1')")
                 .arg(CSimulatedReader::ModelName(model)),
             QStringLiteral("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strSeriennummer, strLeserTyp) "
                            "VALUES (8, '%1', '00000000000000000000', '%2')")
                 .arg(secondName, CSimulatedReader::ModelName(model))});
        StartReader(model);
        reader->SetIdentification("0123456789ABCDEF0123");
        m_model = model;
        AnswerPortDialogWithConnectNow();
        Start();
        ASSERT_TRUE(WaitOnline(kFramedSearchMs));
        ASSERT_TRUE(WaitUntil([this] { return identify.count > 0 && !Tree()->Link().IsLinkTaken(); }));
        m_answerDialog = [this](QDialog& dialog) {
            if (auto* notice = qobject_cast<CShowMessage*>(&dialog))
                m_notices << notice->GetTextControl()->text();
            if (auto* options = qobject_cast<CReadEventsDlg*>(&dialog))
                return m_answerOptions ? m_answerOptions(*options) : int(QDialog::Rejected);
            return int(QDialog::Rejected);
        };
        ASSERT_NE(View(), nullptr);
        m_messages.clear();
    }

    CLeserDlg* View() const { return qobject_cast<CLeserDlg*>(Frame()->GetRightPane()); }
    CFerrold_Handler* Db() const { return m_app->GetDBHandler(); }
    CtblEvents* Events() const { return Db()->Get_Ptr_To_tblEvents(); }

    // The context menu's capture of the clicked row.
    void Click(qint32 id, const QString& name = QStringLiteral("Door"))
    {
        View()->m_nClickedReaderID = id;
        View()->m_strClickedReaderName = name;
        View()->m_nClickedModelCode = ModelCode(m_model);
    }

    // Starts a run as OK in the options dialog does.
    void Ask(bool toPointer = true, bool filter = false, const QString& from = QString(), const QString& to = QString())
    {
        if (View()->m_nClickedReaderID == 0)
            Click(kReaderId);
        View()->m_bReadToPointer = toPointer ? 1 : 0;
        View()->m_bDateFilter = filter ? 1 : 0;
        View()->m_strDateFrom = from;
        View()->m_strDateTo = to;
        CWindowMessage::Post(View(), CWindowMessage::WM_READ_EVENTS);
        QCoreApplication::sendPostedEvents(View(), CWindowMessage::WM_READ_EVENTS);
    }
    bool WaitEnd(int ms = kEndMs)
    {
        return WaitUntil([] { return CTransferRun::Active() == nullptr; }, ms);
    }
    void Read(bool toPointer = true, bool filter = false, const QString& from = QString(), const QString& to = QString())
    {
        Ask(toPointer, filter, from, to);
        ASSERT_TRUE(WaitEnd());
        QCoreApplication::processEvents();
    }

    QString Notice(int count) const { return Language()->GetLangItem(200, count); }

    // The rows a query gives on the program's own connection, fields
    // joined by "|".
    QStringList Rows(const QString& sql) const
    {
        QStringList rows;
        QSqlQuery q(Db()->GetDatabase()->Connection());
        q.exec(Dialect(sql));
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields << q.value(i).toString();
            rows << fields.join('|');
        }
        return rows;
    }
    // Rows of tblEvents in the database, in key order.
    QStringList StoredRows() const
    {
        return Rows("SELECT strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1, strEvent1, strBinaerwert2, "
                    "strEvent2, Leser_ID, strLeserName FROM tblEvents ORDER BY ID_Events");
    }

    // Frames the reader received, as text.
    QStringList Received() const
    {
        QStringList frames;
        for (const CSimulatedReader::Frame& f : reader->Log())
            frames << QString::fromLatin1(f.body);
        return frames;
    }
    // No poll between the first and the last frame starting with these.
    bool NoPollBetween(const QString& first, const QString& last) const
    {
        const QStringList frames = Received();
        int from = -1, to = -1;
        for (int i = 0; i < frames.size(); ++i) {
            if (from < 0 && frames[i].startsWith(first))
                from = i;
            if (frames[i].startsWith(last))
                to = i;
        }
        if (from < 0 || to < from)
            return false;
        for (int i = from; i <= to; ++i) {
            if (frames[i].startsWith("FFCT"))
                return false;
        }
        return true;
    }
    bool PollsResume() const
    {
        const int polls = reader->Count("FFCT");
        return reader->WaitFor([polls](const QList<CSimulatedReader::Frame>& log) {
            int n = 0;
            for (const auto& f : log)
                n += f.body.startsWith("FFCT") ? 1 : 0;
            return n > polls;
        }, 2000);
    }
    // A transfer that ended, however it ended, leaves nothing behind.
    void ExpectEndedCleanly() const
    {
        EXPECT_FALSE(Tree()->Link().IsLinkTaken());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(ProgressWindows(), 0);
        EXPECT_TRUE(PollsResume());
    }
    static int ProgressWindows()
    {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += qobject_cast<CDataProgressDlg*>(w) ? 1 : 0;
        return n;
    }

    static CSimulatedReader::Event Event(int day, int month, int year, const char* number = "0123456789")
    {
        CSimulatedReader::Event e;
        e.number = number;
        e.day = day;
        e.month = month;
        e.year = year;
        e.hour = 7;
        e.minute = 30;
        return e;
    }

    CSimulatedReader::Model m_model = CSimulatedReader::Kite;
    QStringList m_notices;
    std::function<int(CReadEventsDlg&)> m_answerOptions;
};
