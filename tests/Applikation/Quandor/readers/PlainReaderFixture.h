#pragma once

#include <functional>

#include "ReaderViewFixture.h"

#include "CParamWrenDlg.h"
#include "CSendWrenDlg.h"
#include "CBlinkStatic.h"
#include "CShowMessage.h"
#include "CtblTransponder.h"
#include "CCheckMTransDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <thread>

// A transponder row as the database holds it.
struct StoredTransponder {
    qint32 id = 0;
    QString number;
    qint32 person = 0, schema = 0;
    QString readers;
    int updateOK = 0;
    bool operator==(const StoredTransponder& o) const
    {
        return id == o.id && number == o.number && person == o.person && schema == o.schema && readers == o.readers
            && updateOK == o.updateOK;
    }
};
inline std::ostream& operator<<(std::ostream& out, const StoredTransponder& t)
{
    return out << t.id << ' ' << t.number.toStdString() << " p" << t.person << " s" << t.schema << " ["
               << t.readers.toStdString() << "] u" << t.updateOK;
}

// The reader list with the plain readers' dialogs: the dialogs that the
// program runs modally are handed to "drive" (by object name), the notices
// are counted, and the master choice is answered with m_chooseStored.
class PlainReader : public ReaderView
{
protected:
    void SetUp() override
    {
        ReaderView::SetUp();
        m_answerDialog = [this](QDialog& dialog) {
            if (auto* notice = qobject_cast<CShowMessage*>(&dialog)) {
                m_notices << notice->GetTextControl()->text();
                return int(QDialog::Accepted);
            }
            if (auto* choice = qobject_cast<CCheckMTransDlg*>(&dialog)) {
                ++m_choiceCount;
                if (m_chooseCancel)
                    return int(QDialog::Rejected);
                choice->show();
                (m_chooseStored ? choice->DatabaseChoice() : choice->ReaderChoice())->setChecked(true);
                QTest::mouseClick(choice->OkButton(), Qt::LeftButton);
                return choice->result();
            }
            if (drive && (qobject_cast<CSendWrenDlg*>(&dialog) || qobject_cast<CParamWrenDlg*>(&dialog))) {
                dialog.show();
                drive(dialog);
                return int(QDialog::Rejected);
            }
            return AnswerDialog(dialog);
        };
    }

    // Three readers: 3 a Wren, 4 a Tern, 7 a Kite.
    void SeedReaders(const QString& wrenParameter = "2;0123456789", const QString& wrenModus = "5")
    {
        Sql({QStringLiteral("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer, strModus,"
                            " strParameter, boolUpdateOK) VALUES (3,'Wren3','Wren','---','%1','%2',1),"
                            " (4,'Tern4','Tern','---','','',1), (7,'Kite7','Kite','X7','6','A5',0)")
                 .arg(wrenModus, wrenParameter)});
    }

    std::vector<StoredTransponder> Transponders() const
    {
        std::vector<StoredTransponder> rows;
        Query("SELECT ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS, boolUpdateOK"
              " FROM tblTransponder ORDER BY ID_Transponder",
              [&](const QSqlQuery& q) {
                  rows.push_back({q.value(0).toInt(), q.value(1).toString(), q.value(2).toInt(), q.value(3).toInt(),
                                  q.value(4).toString(), q.value(5).toInt()});
              });
        return rows;
    }
    StoredTransponder TransponderOf(const QString& number) const
    {
        for (const StoredTransponder& t : Transponders()) {
            if (t.number == number)
                return t;
        }
        return {};
    }
    // The cache as the views see it, equal to the table.
    void ExpectCachesEqualDatabase() const
    {
        CtblTransponder* cache = m_app->GetDBHandler()->Get_Ptr_To_tblTransponder();
        std::vector<StoredTransponder> cached;
        for (int i = 0; i < cache->GetAnz_Transponder(); ++i) {
            const auto* r = cache->Get_Transponder(i);
            cached.push_back({r->ID_Transponder, r->TransponderNummer, r->Person_ID, r->Zeitfenster_ID, r->Leser_IDS,
                              r->UpdateOK});
        }
        std::sort(cached.begin(), cached.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
        EXPECT_EQ(cached, Transponders());
    }

    // Plain frames the reader heard, its identity queries left out.
    QList<QByteArray> Heard() const
    {
        QList<QByteArray> bodies;
        for (const auto& frame : reader->Log()) {
            if (frame.baud == 9600 && frame.body != "H")
                bodies << frame.body;
        }
        return bodies;
    }

    // Connects to a simulated plain reader and leaves the identification's
    // choice unanswered.
    void ConnectPlain(CSimulatedReader::Model model, const std::function<void(CSimulatedReader&)>& prepare = nullptr)
    {
        StartReader(model);
        if (prepare)
            prepare(*reader);
        ConnectAndIdentify(true);
        m_messages.clear();
        m_icons.clear();
        reader->ClearLog();
    }

    static void SelectAll(QTreeWidget* list)
    {
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            list->topLevelItem(i)->setSelected(true);
    }
    static void SelectNumber(QTreeWidget* list, const QString& number)
    {
        list->clearSelection();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->data(0, CSendWrenDlg::kNumberRole).toString() == number)
                list->topLevelItem(i)->setSelected(true);
        }
    }

    std::function<void(QDialog&)> drive;
    QStringList m_notices;
    int m_choiceCount = 0;
    bool m_chooseStored = true;
    bool m_chooseCancel = false;
};
