// The framed readers' settings dialog while the link's reader thread polls:
// storing twice with the reader table re-read in between, sending, and a
// write-all afterwards that gives a reader changed behind the program's
// back the stored settings again.

#include "WriteAllFixture.h"

#include "CParamHeron_KiteDlg.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

using Dlg = CParamHeron_KiteDlg;

class FramedSettings : public WriteAll, public ::testing::WithParamInterface<CSimulatedReader::Model>
{
protected:
    std::unique_ptr<Dlg> Open()
    {
        CtblLeser* readers = Db()->Get_Ptr_To_tblLeser();
        for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
            if (readers->Get_Leser(i)->ID_Leser == kReaderId)
                return std::make_unique<Dlg>(View(), *readers->Get_Leser(i), Language(), Frame());
        }
        ADD_FAILURE() << "reader " << kReaderId << " is not cached";
        return nullptr;
    }
    void Choose(Dlg& d, const QString& number, unsigned int unit)
    {
        d.SwitchTimeEdit()->setText(number);
        d.UnitBox()->setEditText(Text(unit));
    }
    QString StoredText(const char* column) const
    {
        return Rows(QStringLiteral("SELECT %1 FROM tblLeser WHERE ID_Leser = %2").arg(QLatin1String(column)).arg(kReaderId))
            .value(0, QStringLiteral("<none>"));
    }
};

} // namespace

TEST_P(FramedSettings, StoredTwiceSentAndWrittenAgainByWriteAll)
{
    Online(GetParam());
    Reader({Settings(kReaderId, "A5", "6", 0)});
    std::unique_ptr<Dlg> dialog = Open();
    ASSERT_TRUE(dialog);
    dialog->show();

    // Bit 0 off, then two stores with the table read again in between: the
    // dialog's copy of the row must survive both.
    QTest::mouseClick(dialog->Radio(1060), Qt::LeftButton);
    Choose(*dialog, "3", 126);
    dialog->OnUpdateDatabase();
    Db()->Get_Ptr_To_tblLeser()->_Requery();
    Choose(*dialog, "0,5", 127);
    dialog->OnUpdateDatabase();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(m_notices, (QStringList{Text(173), Text(173)}));
    EXPECT_EQ(StoredText("strParameter"), "A4");
    EXPECT_EQ(StoredText("strModus"), "1");
    EXPECT_EQ(MarkInDatabase(kReaderId), 1);
    EXPECT_EQ(MarkInCache(kReaderId), 1);

    Choose(*dialog, "3", 126);
    dialog->OnUpdateReader();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(reader->Parameter(), 0xA4);
    EXPECT_EQ(reader->SwitchCode(), 0x83);
    EXPECT_EQ(StoredText("strModus"), "131");
    // Sending leaves the mark of the earlier stores to the write-all.
    EXPECT_EQ(MarkInDatabase(kReaderId), 1);
    dialog.reset();

    // The reader loses its settings; the next write-all restores what the
    // dialog stored and clears the mark.
    reader->SetParameter(0x11);
    reader->SetSwitchCode(0x05);
    reader->ClearLog();
    Write();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(reader->Count("FFSP000000A4"), 10);
    EXPECT_EQ(reader->Count("FFSP00010083"), 10);
    EXPECT_EQ(reader->Parameter(), 0xA4);
    EXPECT_EQ(reader->SwitchCode(), 0x83);
    EXPECT_EQ(MarkInDatabase(kReaderId), 0);
    ExpectEndedCleanly();
}

INSTANTIATE_TEST_SUITE_P(Models, FramedSettings,
                         ::testing::Values(CSimulatedReader::Kite, CSimulatedReader::Heron, CSimulatedReader::Egret),
                         [](const auto& info) { return CSimulatedReader::ModelName(info.param).toStdString(); });
