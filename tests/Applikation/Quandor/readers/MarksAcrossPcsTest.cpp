// A second PC changes what a reader should hold while this PC writes all
// data to it, or before (after this PC read its caches): afterwards the
// reader holds the change, or its mark for sending is still set and the
// closing notice says it must be written again.
#include "WriteAllFixture.h"

#include "CSendWrenDlg.h"

#include <QProcess>
#include <QTreeWidget>

#ifdef OTHER_PC
namespace {

const QString kMonToFri = QStringLiteral("1, 1, 1, 1, 1, 0, 0");

// The other PC, started on the test's database, waiting for its commands.
class OtherPc
{
public:
    bool Start(const QString& file)
    {
        m_process.start(QStringLiteral(OTHER_PC), file.isEmpty() ? QStringList() : QStringList{file});
        return m_process.waitForStarted(30000) && Line() == "ready";
    }
    // One change, stored when this returns true.
    bool Do(const QString& command)
    {
        m_process.write((command + QLatin1Char('\n')).toLatin1());
        const QByteArray answer = Line();
        EXPECT_EQ(answer, "done") << command.toStdString();
        return answer == "done";
    }
    ~OtherPc()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(30000);
    }

private:
    QByteArray Line()
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(60000))
                return m_process.readAllStandardError();
        }
        return m_process.readLine().trimmed();
    }
    QProcess m_process;
};

struct Change {
    const char* name;
    const char* command; // %1: the key of transponder 00000000AA
    // The reader holds the change.
    std::function<bool(CSimulatedReader&)> held;
};

class MarksAcrossPcs : public WriteAll, public ::testing::WithParamInterface<Change>
{
protected:
    void SetUp() override
    {
        WriteAll::SetUp();
#if defined(__SANITIZE_THREAD__)
        // Its runtime ends a program with threads that starts another; the
        // one-program transfer tests run the clearing on the worker there.
        GTEST_SKIP() << "ThreadSanitizer lets no threaded program start another";
#endif
        // Transponders 1 and 2 on reader 7, AA on reader 8, BB on none; one
        // schema.
        Sql(Schema(101, "0730", "1600", kMonToFri)
            + QStringList{Transponder("0000000001", "7"), Transponder("0000000002", "7"),
                          Transponder("00000000AA", "8"), Transponder("00000000BB", "")});
        Online(CSimulatedReader::Kite);
        ASSERT_TRUE(m_other.Start(Postgres() || Odbc() ? QString() : DatabaseFile()));
        m_command = QString::fromLatin1(GetParam().command);
        m_command.replace(QStringLiteral("%1"), Rows("SELECT ID_Transponder FROM tblTransponder "
                                                     "WHERE strTransponderNummer = '00000000AA'")
                                                    .value(0));
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_messages << request.text;
            return request.buttons & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok;
        });
    }
    QString WriteAgain(const QString& notice) const { return notice + QStringLiteral("\n") + Text(363); }

    OtherPc m_other;
    QString m_command;
};

TEST_P(MarksAcrossPcs, AChangeStoredBeforeWriteAllReachesTheReader)
{
    // This PC's caches were read before the change.
    ASSERT_TRUE(m_other.Do(m_command));
    reader->ClearLog();
    Write();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_TRUE(GetParam().held(*reader));
    EXPECT_EQ(MarkInDatabase(kReaderId), 0);
    EXPECT_EQ(MarkInCache(kReaderId), 0);
    EXPECT_EQ(m_notices.size(), 1);
    EXPECT_FALSE(m_notices.value(0).contains(Text(363)));
}

TEST_P(MarksAcrossPcs, AChangeStoredDuringWriteAllKeepsTheMark)
{
    // The second transponder is refused until the other PC has stored its
    // change: 19 refusals leave the run about two seconds.
    reader->NakNextTo("FFST0001", 19);
    reader->ClearLog();
    StartWrite();
    ASSERT_TRUE(WaitUntil([this] { return reader->Count("FFST0001") > 0; }, kEndMs));
    ASSERT_TRUE(m_other.Do(m_command));
    ASSERT_NE(CTransferRun::Active(), nullptr) << "the run ended before the other PC's change";
    reader->NakNextTo("FFST0001", 0);
    ASSERT_TRUE(WaitEnd());
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    // What was sent was read when the run started.
    EXPECT_FALSE(GetParam().held(*reader));
    EXPECT_EQ(MarkInDatabase(kReaderId), 1);
    EXPECT_EQ(MarkInCache(kReaderId), 1);
    EXPECT_EQ(m_notices, QStringList{WriteAgain(WriteNotice(2))});
}

TEST_P(MarksAcrossPcs, AChangeStoredBeforeAFetchKeepsTheMark)
{
    ASSERT_TRUE(m_other.Do(m_command));
    // BB, of no reader in this PC's cache, was given a reader meanwhile.
    ASSERT_TRUE(m_other.Do(
        QStringLiteral("assign %1 8")
            .arg(Rows("SELECT ID_Transponder FROM tblTransponder WHERE strTransponderNummer = '00000000BB'").value(0))));
    // The reader holds what this PC believes it holds.
    reader->SetTransponderCount(2);
    reader->SetTransponder(0, "0000000001");
    reader->SetTransponder(1, "0000000002");
    Click(kReaderId);
    View()->OnFetchAllData();
    ASSERT_TRUE(WaitEnd());
    QCoreApplication::processEvents();
    EXPECT_EQ(MarkInDatabase(kReaderId), 1);
    EXPECT_EQ(MarkInCache(kReaderId), 1);
    EXPECT_EQ(m_notices, QStringList{WriteAgain(Text(173))});
    EXPECT_EQ(Rows("SELECT strLeser_IDS FROM tblTransponder WHERE strTransponderNummer = '00000000BB'"),
              QStringList{"8"});
}

// The list dialog of a plain reader, storing the list this PC composed from
// its caches: the transponder the other PC gave the reader is not in it.
// (A plain reader takes no time windows: only the transponder change.)
class PlainMarksAcrossPcs : public MarksAcrossPcs
{
};

TEST_P(PlainMarksAcrossPcs, AChangeStoredBeforeAPlainListIsStoredKeepsTheMark)
{
    ASSERT_TRUE(m_other.Do(m_command));
    CSendWrenDlg dialog(Language(), Db(), View(), CSendWrenDlg::FetchMode, kReaderId, Frame());
    for (int i = 0; i < dialog.DatabaseList()->topLevelItemCount(); ++i)
        dialog.DatabaseList()->topLevelItem(i)->setSelected(true);
    dialog.OnMoveRight();
    ASSERT_EQ(CSendWrenDlg::Numbers(dialog.SendList()), (QStringList{"0000000001", "0000000002"}));
    dialog.OnSend();
    EXPECT_EQ(MarkInDatabase(kReaderId), 1);
    EXPECT_EQ(m_notices, QStringList{WriteAgain(Text(173))});
}

const Change kTransponder{"Transponder", "assign %1 7", [](CSimulatedReader& r) {
                               for (int i = 0; i < r.TransponderCount(); ++i) {
                                   if (r.Transponder(i) == "00000000AA")
                                       return true;
                               }
                               return false;
                           }};
const Change kWindow{"Window", "window 101", [](CSimulatedReader& r) {
                         const auto windows = r.TimeWindows();
                         return !windows.isEmpty() && windows.first().from == "3006";
                     }};

std::string ChangeName(const ::testing::TestParamInfo<Change>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Changes, MarksAcrossPcs, ::testing::Values(kTransponder, kWindow), ChangeName);
INSTANTIATE_TEST_SUITE_P(Changes, PlainMarksAcrossPcs, ::testing::Values(kTransponder), ChangeName);

} // namespace
#endif
