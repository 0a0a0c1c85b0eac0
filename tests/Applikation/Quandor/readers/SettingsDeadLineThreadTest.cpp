// The reader settings dialogs on a line that goes dead while they send: the
// failure is said within 8 s, the row keeps what was typed, and it stays
// marked for the next write of the reader's data. The link runs at the
// readers' own times: the bound is the behaviour under test, and generous
// for a busy machine.

#include "PlainReaderFixture.h"

#include "CParamHeron_KiteDlg.h"

#include <QElapsedTimer>

#include <thread>

namespace {

constexpr qint64 kBoundMs = 8000;

class SettingsOnADeadLine : public PlainReader
{
protected:
    void SetUp() override
    {
        PlainReader::SetUp();
        UseRealTime();
    }
    const CtblLeser::structLeser* Row(qint32 id) const
    {
        for (int i = 0; i < Cache()->GetAnz_Leser(); ++i) {
            if (Cache()->Get_Leser(i)->ID_Leser == id)
                return Cache()->Get_Leser(i);
        }
        ADD_FAILURE() << "no reader " << id;
        return nullptr;
    }
};

TEST_F(SettingsOnADeadLine, AFramedReadersSettings)
{
    StartReader(CSimulatedReader::Kite);
    Sql({QStringLiteral("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strAdresse, strSeriennummer, strLeserTyp,"
                        " strModus, strParameter, boolUpdateOK) VALUES (1,'Tor','01','%1','Kite','6','A5',1)")
             .arg(QString::fromLatin1(reader->Identification()))});
    m_choose = QStringLiteral("Tor");
    ConnectAndIdentify(false);
    const CtblLeser::structLeser* row = Row(1);
    ASSERT_NE(row, nullptr);
    CParamHeron_KiteDlg dialog(View(), *row, Language(), Frame());
    dialog.show();
    QTest::mouseClick(dialog.Radio(1060), Qt::LeftButton); // bit 0 off: A4
    dialog.SwitchTimeEdit()->setText(QStringLiteral("3"));
    dialog.UnitBox()->setEditText(Text(126));

    // The first settings frame goes unanswered, and the reader is unplugged.
    reader->IgnoreNext('S', 1);
    std::thread unplug([this] {
        reader->WaitFor([](const QList<CSimulatedReader::Frame>& log) {
            return !log.isEmpty() && log.last().body.startsWith("FFSP");
        }, 10000);
        reader->DropLine();
    });
    m_messages.clear();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(dialog.Button(CParamHeron_KiteDlg::IDC_UPDATE_READER), Qt::LeftButton);
    EXPECT_LT(clock.elapsed(), kBoundMs);
    unplug.join();
    EXPECT_EQ(m_messages, QStringList{Text(141)});
    const StoredReader stored = ReaderRow(1);
    EXPECT_EQ(stored.parameter, "A4");
    EXPECT_EQ(stored.modus, "131");
    EXPECT_EQ(stored.updateOK, 1);
}

TEST_F(SettingsOnADeadLine, AWrensSettings)
{
    SeedReaders("F3;0123456789", "5");
    ConnectPlain(CSimulatedReader::Wren);
    reader->SetMaster("0123456789");
    const CtblLeser::structLeser* row = Row(3);
    ASSERT_NE(row, nullptr);
    CParamWrenDlg dialog(View(), *row, Language(), Frame());
    dialog.show();
    ASSERT_TRUE(WaitUntil([&] { return dialog.UpdateReaderButton()->isEnabled(); }, 5000));
    dialog.MasterActive()->setChecked(false);
    dialog.SwitchTime()->setText(QStringLiteral("9"));

    reader->DropLine();
    m_messages.clear();
    QElapsedTimer clock;
    clock.start();
    dialog.OnUpdateReader();
    EXPECT_LT(clock.elapsed(), kBoundMs);
    EXPECT_EQ(m_messages, QStringList{Text(141)});
    const StoredReader stored = ReaderRow(3);
    EXPECT_EQ(stored.parameter, "F1;0123456789");
    EXPECT_EQ(stored.modus, "9");
    EXPECT_EQ(stored.updateOK, 1);
}

} // namespace
