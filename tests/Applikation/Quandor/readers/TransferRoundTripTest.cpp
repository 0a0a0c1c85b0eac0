// A reader registered from its own answers, written from the database and
// read back into an emptied transponder table, all from the reader list's
// context menu.

#include "ReaderViewFixture.h"

#include "CFerrold_Handler.h"
#include "CTransferRun.h"
#include "CtblTransponder.h"

#include <QRegularExpression>

namespace {

class TransferRoundTrip : public ReaderView
{
protected:
    CFerrold_Handler* Db() const { return m_app->GetDBHandler(); }
    void Exec(const QStringList& statements)
    {
        QSqlQuery q(Db()->GetDatabase()->Connection());
        for (const QString& s : statements)
            ASSERT_TRUE(q.exec(s)) << s.toStdString();
        Db()->Get_Ptr_To_tblTransponder()->_Requery();
    }
    QStringList Rows(const QString& sql) const
    {
        QStringList rows;
        QSqlQuery q(Db()->GetDatabase()->Connection());
        q.exec(sql);
        while (q.next())
            rows << q.value(0).toString() + "|" + q.value(1).toString();
        return rows;
    }
    void Choose(int row, int command)
    {
        m_menuChoice = command;
        MenuOf(row);
        ASSERT_TRUE(WaitUntil([] { return CTransferRun::Active() != nullptr; }, 2000))
            << Enabled().count(true) << " of " << m_menu.size() << " enabled; rows " << SelectedRows().size();
        ASSERT_TRUE(WaitUntil([] { return CTransferRun::Active() == nullptr; }, 20000));
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST_F(TransferRoundTrip, AKiteRegisteredFromItsAnswersGetsThemBackAndItsListReadsBackEqual)
{
    StartReader(CSimulatedReader::Kite);
    reader->SetSwitchCode(0x83);
    m_chooseNew = true;
    ConnectAndIdentify(false);
    ASSERT_EQ(Stored().size(), 1u);
    const int id = Stored()[0].id;
    const QString readerText = QString::number(id);

    QStringList numbers;
    QStringList inserts;
    for (int i = 0; i < 25; ++i) {
        numbers << QStringLiteral("%1").arg(0xA00000000ull + quint64(i) * 7919, 10, 16, QLatin1Char('0')).toUpper();
        inserts << QStringLiteral("INSERT INTO tblTransponder (strTransponderNummer, strLeser_IDS, Zeitfenster_ID) "
                                  "VALUES ('%1', '%2', 1)")
                       .arg(numbers.last(), i % 3 ? readerText : "99;" + readerText);
    }
    Exec(inserts);
    reader->ClearLog();
    Choose(1, CLeserDlg::ID_WRITE_ALL_DATA);
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    // What the reader reported at its registration goes back unchanged.
    EXPECT_EQ(reader->Count("FFSP000000A5"), 10);
    EXPECT_EQ(reader->Count("FFSP00010083BB"), 10);
    EXPECT_EQ(reader->SwitchCode(), 0x83);
    ASSERT_EQ(reader->TransponderCount(), 25);

    Exec({"DELETE FROM tblTransponder"});
    reader->ClearLog();
    Choose(1, CLeserDlg::ID_FETCH_ALL_DATA);
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    QStringList expected;
    for (const QString& number : numbers)
        expected << number + "|" + readerText;
    EXPECT_EQ(Rows("SELECT strTransponderNummer, strLeser_IDS FROM tblTransponder ORDER BY ID_Transponder"),
              expected);
    EXPECT_EQ(Db()->Get_Ptr_To_tblTransponder()->GetAnz_Transponder(), 25);
}
