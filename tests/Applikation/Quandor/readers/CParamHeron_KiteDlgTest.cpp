// The settings dialog of a framed reader: the switch-time code, and the
// dialog opened from the reader list against a simulated Kite, Heron and
// Egret on a pseudo-terminal, in German and in English.

#include "ReaderViewFixture.h"
#include "TestWait.h"

#include "CParamHeron_KiteDlg.h"
#include "CLinkLease.h"
#include "CReaderLink.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

using Dlg = CParamHeron_KiteDlg;
using Model = CSimulatedReader::Model;

TEST(SwitchTimeCode, TypedNumbersGiveTheCodeTheSevenBitsHoldAndStoredCodesShowAgain)
{
    const struct {
        const char* typed;
        bool minutes;
        int code; // -1: refused
    } encode[] = {
        {"0,5", false, 1}, {"0.5", false, 1}, {"5", false, 6},    {"126", false, 127}, {"127", false, -1},
        {"0", false, -1},  {"-3", false, -1}, {"x", false, -1},   {"3", true, 131},    {"2", true, 130},
        {"127", true, 255}, {"128", true, -1}, {"0.5", true, -1}, {"99999999999", false, -1},
    };
    for (const auto& c : encode) {
        int code = -1;
        const auto result = Dlg::EncodeSwitchTime(QString::fromLatin1(c.typed), c.minutes, &code);
        EXPECT_EQ(result == Dlg::SwitchTime::Code ? code : -1, c.code) << c.typed << (c.minutes ? " min" : " s");
    }
    const struct {
        int code;
        const char* shown;
        bool minutes;
    } decode[] = {{1, "0.5", false}, {0, "0", false}, {6, "5", false}, {131, "3", true}, {128, "0", true}};
    for (const auto& c : decode) {
        bool minutes = !c.minutes;
        EXPECT_EQ(Dlg::DecodeSwitchTime(c.code, &minutes), QString::fromLatin1(c.shown)) << c.code;
        EXPECT_EQ(minutes, c.minutes) << c.code;
    }
}

struct Case {
    Model model;
    int language; // 0 German, 1 English
};
std::ostream& operator<<(std::ostream& out, const Case& c)
{
    return out << CSimulatedReader::ModelName(c.model).toStdString() << (c.language ? "_en" : "_de");
}

// The connected framed reader is row 1 ("Tor"); row 2 is another Kite,
// row 3 a Tern. Dialogs are driven by m_drive while they run.
class ParamDialogTest : public ReaderView, public ::testing::WithParamInterface<Case>
{
protected:
    void SetUp() override
    {
        ReaderView::SetUp();
        m_clock.Set([] {
            return std::chrono::system_clock::time_point(
                std::chrono::milliseconds(QDateTime(QDate(2026, 12, 8), QTime(6, 5, 9)).toMSecsSinceEpoch()));
        });
        SetLanguage(GetParam().language);
        StartReader(GetParam().model);
        Sql({QStringLiteral("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strAdresse, strSeriennummer, strLeserTyp,"
                            " strModus, strParameter) VALUES (1,'Tor','01','%1','%2','6','A5'),"
                            " (2,'Fremd','01','X1','Kite','131','60'),(3,'Keller','---','---','Tern','','')")
                 .arg(QString::fromLatin1(reader->Identification()), CSimulatedReader::ModelName(GetParam().model))});
        m_choose = QStringLiteral("Tor");
        ConnectAndIdentify(false);
        m_answerDialog = [this](QDialog& dialog) {
            auto* settings = qobject_cast<Dlg*>(&dialog);
            if (!settings)
                return int(QDialog::Accepted); // the notices
            settings->show();
            TestWait::Settle();
            if (m_drive)
                m_drive(*settings);
            return int(QDialog::Rejected);
        };
    }

    // Opens the dialog of a reader's row through its settings button.
    void OpenRow(const QString& name, const std::function<void(Dlg&)>& drive)
    {
        m_drive = drive;
        m_messages.clear();
        Click(RowOf(name), 7);
        m_drive = nullptr;
    }
    static void Press(Dlg& d, int id) { QTest::mouseClick(d.Button(id), Qt::LeftButton); }
    static void Choose(Dlg& d, const QString& number, const QString& unit)
    {
        d.SwitchTimeEdit()->setText(number);
        d.UnitBox()->setEditText(unit);
    }
    // The settings frames the reader heard, without polls.
    QList<QByteArray> Settings() const
    {
        QList<QByteArray> frames;
        for (const QByteArray& body : Commands()) {
            if (body.startsWith("FFS"))
                frames << body;
        }
        return frames;
    }

    std::function<void(Dlg&)> m_drive;
    ScopedSeam<CTimeStamp::Clock> m_clock{Dlg::ClockSeam()};
};

} // namespace

TEST_P(ParamDialogTest, SwitchesAndSwitchTimeAreStoredAndSentAndFailuresSaySo)
{
    const QString lang = GetParam().language ? "en" : "de";
    const QString model = CSimulatedReader::ModelName(GetParam().model).toLower();
    OpenRow("Tor", [&](Dlg& d) {
        // A5 opens with bits 7, 5, 2 and 0 on; the stored 6 is 5 seconds.
        EXPECT_EQ(d.ParameterByte(), 0xA5);
        for (const auto& c : Dlg::kBits)
            EXPECT_EQ(d.Radio(c.on)->isChecked(), bool((0xA5 >> c.bit) & 1)) << c.bit;
        EXPECT_EQ(d.SwitchTimeEdit()->text(), "5");
        EXPECT_EQ(d.UnitBox()->currentText(), Text(127));
        EXPECT_EQ(d.Group(1055)->title(), Text(134));
        EXPECT_TRUE(d.Button(Dlg::IDC_UPDATE_READER)->isEnabled());
        EXPECT_TRUE(d.Button(Dlg::IDC_UPDATE_READER)->isDefault());
        QDir().mkpath(kShots);
        d.grab().save(kShots + QStringLiteral("param-%1-%2.png").arg(model, lang));

        // Bit 6 while bit 5 is on: refused, bit 6 stays off.
        QTest::mouseClick(d.Radio(1041), Qt::LeftButton);
        EXPECT_EQ(m_messages, QStringList{Text(247)});
        EXPECT_TRUE(d.Radio(1042)->isChecked());
        QTest::mouseClick(d.Radio(1060), Qt::LeftButton);
        EXPECT_EQ(d.Group(1055)->title(), Text(135));
        EXPECT_EQ(d.ParameterByte(), 0xA4);

        // 3 minutes: stored as 131, sent as 0083, with the injected clock.
        reader->ClearLog();
        Choose(d, "3", Text(126));
        Press(d, Dlg::IDC_UPDATE_READER);
        EXPECT_EQ(reader->Parameter(), 0xA4);
        EXPECT_EQ(reader->SwitchCode(), 0x83);
        EXPECT_EQ(reader->LastClock(), "U000009050602081226");
        const QList<QByteArray> sent = Settings();
        ASSERT_EQ(sent.size(), 3);
        EXPECT_EQ(sent[0].left(12), "FFSP000000A4");
        EXPECT_EQ(sent[1].left(12), "FFSP00010083");
        EXPECT_TRUE(sent[2].startsWith("FFSU000009050602081226"));
        // Nothing else between the first and the last settings frame.
        const QList<QByteArray> all = Commands();
        EXPECT_EQ(all.mid(all.indexOf(sent[0]), 3), sent);
        EXPECT_EQ(ReaderRow(1).parameter, "A4");
        EXPECT_EQ(ReaderRow(1).modus, "131");
        EXPECT_EQ(ReaderRow(1).updateOK, 0);

        // The switch time refused, above and below: nothing stored or sent.
        m_messages.clear();
        reader->ClearLog();
        for (const char* typed : {"127", "0"}) {
            Choose(d, typed, Text(127));
            Press(d, Dlg::IDC_UPDATE_READER);
        }
        EXPECT_EQ(m_messages, (QStringList{Text(142), Text(142)}));
        EXPECT_TRUE(Settings().isEmpty());
        EXPECT_EQ(ReaderRow(1).modus, "131");

        // A unit typed in keeps the stored time and sends no switch time;
        // two NAKs cost two more tries of the parameter.
        reader->NakNextTo("FFSP0000", 2);
        Choose(d, "9", QStringLiteral("Stunden"));
        Press(d, Dlg::IDC_UPDATE_READER);
        QList<QByteArray> heads;
        for (const QByteArray& f : Settings())
            heads << f.left(8);
        EXPECT_EQ(heads, (QList<QByteArray>{"FFSP0000", "FFSP0000", "FFSP0000", "FFSU0000"}));
        EXPECT_EQ(ReaderRow(1).modus, "131");

        // The switch time refused five times: text 141, no clock sent, the
        // row marked for the next write-all, and polling resumes.
        m_messages.clear();
        reader->ClearLog();
        reader->NakNextTo("FFSP0001", 5);
        Choose(d, "0,5", Text(127));
        Press(d, Dlg::IDC_UPDATE_READER);
        EXPECT_EQ(m_messages, QStringList{Text(141)});
        EXPECT_EQ(reader->Count("FFSP0001"), 5);
        EXPECT_EQ(reader->Count("FFSU"), 0);
        EXPECT_EQ(ReaderRow(1).modus, "1");
        EXPECT_EQ(ReaderRow(1).updateOK, 1);
        EXPECT_TRUE(reader->WaitFor([](const QList<CSimulatedReader::Frame>& log) {
            return !log.isEmpty() && log.last().body.startsWith("FFCT");
        }, 2000));

        // While a transfer holds the link the send is refused with its own
        // text and the reader hears nothing of it.
        m_messages.clear();
        reader->ClearLog();
        const CLinkLease transfer = Tree()->Link().TakeLink();
        ASSERT_TRUE(transfer.IsGranted());
        Press(d, Dlg::IDC_UPDATE_READER);
        EXPECT_EQ(m_messages, QStringList{Text(253)});
        EXPECT_TRUE(Settings().isEmpty());
        Tree()->Link().ReleaseLink(transfer);

        // Storing alone marks the row and shows the notice.
        Press(d, Dlg::IDC_UPDATE_DATABASE);
    });
    EXPECT_EQ(ReaderRow(1).updateOK, 1);
}

// Another reader's row: nothing can be sent, storing works, and a stored
// byte with bits 5 and 6 both on opens without a box.
TEST_P(ParamDialogTest, RowsOfOtherReadersOnlyStore)
{
    reader->ClearLog();
    OpenRow("Fremd", [&](Dlg& d) {
        EXPECT_TRUE(m_messages.isEmpty());
        EXPECT_EQ(d.ParameterByte(), 0x60);
        EXPECT_FALSE(d.Button(Dlg::IDC_UPDATE_READER)->isEnabled());
        EXPECT_EQ(d.SwitchTimeEdit()->text(), "3");
        EXPECT_EQ(d.UnitBox()->currentText(), Text(126));
        QTest::keyClick(&d, Qt::Key_Return);
        Choose(d, "2", Text(126));
        Press(d, Dlg::IDC_UPDATE_DATABASE);
    });
    EXPECT_TRUE(Settings().isEmpty());
    EXPECT_EQ(ReaderRow(2).modus, "130");
    EXPECT_EQ(ReaderRow(2).parameter, "60");
    EXPECT_EQ(ReaderRow(2).updateOK, 1);
}

// Storing keeps the list as the operator sorted it, with its selection.
TEST_P(ParamDialogTest, StoringKeepsTheListsOrderAndSelection)
{
    const auto names = [this] {
        QStringList texts;
        for (int row = 1; row < Grid()->GetRowCount(); ++row)
            texts << Grid()->GetItemText(row, 4);
        return texts;
    };
    SortBy(4, 1);
    const QStringList sorted = names();
    ASSERT_NE(sorted, (QStringList{"Tor", "Fremd", "Keller"}));
    const int fremd = RowOf("Fremd");
    Click(fremd, 1);
    const QList<int> selected = SelectedRows();
    ASSERT_EQ(selected, QList<int>{fremd});
    OpenRow("Fremd", [&](Dlg& d) {
        Choose(d, "4", Text(126));
        Press(d, Dlg::IDC_UPDATE_DATABASE);
        EXPECT_EQ(names(), sorted);
        EXPECT_EQ(SelectedRows(), selected);
    });
    EXPECT_EQ(ReaderRow(2).modus, "132");
    EXPECT_EQ(names(), sorted);
}

// During a transfer the dialog does not open: what it stored would be
// marked as sent by the transfer's end without reaching the reader.
TEST_P(ParamDialogTest, ATransferKeepsTheDialogShut)
{
    const CLinkLease transfer = Tree()->Link().TakeLink();
    ASSERT_TRUE(transfer.IsGranted());
    bool opened = false;
    OpenRow("Tor", [&](Dlg&) { opened = true; });
    Tree()->Link().ReleaseLink(transfer);
    EXPECT_FALSE(opened);
    EXPECT_EQ(m_messages, QStringList{Text(253)});
}

INSTANTIATE_TEST_SUITE_P(Models, ParamDialogTest,
                         ::testing::Values(Case{Model::Kite, 0}, Case{Model::Kite, 1}, Case{Model::Heron, 0},
                                           Case{Model::Heron, 1}, Case{Model::Egret, 0}, Case{Model::Egret, 1}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return (CSimulatedReader::ModelName(info.param.model) + (info.param.language ? "_en" : "_de")).toStdString();
                         });
