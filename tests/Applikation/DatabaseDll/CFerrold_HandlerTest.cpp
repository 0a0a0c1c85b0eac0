#include "FerroldTestDb.h"

#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblOnline.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

using CFerrold_HandlerTest = FerroldTest;

TEST_F(CFerrold_HandlerTest, RequeryHelpersReportOnlyRealFailures)
{
    auto& h = Handler();
    EXPECT_EQ(h._RequeryAll(), 1); // several tables are empty: no failure
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(h.Selective_Requery(2), 1);
    EXPECT_EQ(h.Selective_Requery(6), 0);
    EXPECT_EQ(h.Selective_Requery(-1), 0);
    ASSERT_EQ(Messages().size(), 2);
    EXPECT_EQ(Messages()[0], m_language->GetLangItem(57));
    ClearMessages();

    Sql("INSERT INTO tblLeser (strBezeichnung) VALUES ('R')");
    Sql("DROP TABLE tblPerson");
    EXPECT_EQ(h._RequeryAll(), 0);
    // The driver's text, then the table's own failure text; the tables after
    // it are read all the same.
    const QStringList m = Messages();
    ASSERT_EQ(m.size(), 2);
    EXPECT_EQ(m[1], m_language->GetLangItem(49));
    EXPECT_EQ(h.Get_Ptr_To_tblLeser()->GetAnz_Leser(), 1);
    EXPECT_EQ(h.Get_Ptr_To_tblZeitschema()->GetAnz_Zeitschema(), 4);
    ClearMessages();
    EXPECT_EQ(h.Selective_Requery(2), 0);
    ASSERT_EQ(Messages().size(), 2);
    EXPECT_EQ(Messages()[1], m_language->GetLangItem(54));
}

TEST_F(CFerrold_HandlerTest, DatabasePathEndsInMdb)
{
    auto& h = Handler();
    EXPECT_EQ(QFileInfo(h.GetAktDBPath()).canonicalFilePath(), QFileInfo(m_file).canonicalFilePath());

    const QString plain = m_folder + "/plainname";
    const QString upper = m_folder + "/upper.MDB";
    for (const QString& file : {plain, upper})
        PrepareFile(file);
    CFerrold_Handler a(m_language.get(), {CDatabase::Kind::Sqlite, plain});
    EXPECT_EQ(a.GetAktDBPath(), QFileInfo(plain).absoluteFilePath() + ".mdb");
    CFerrold_Handler b(m_language.get(), {CDatabase::Kind::Sqlite, upper});
    EXPECT_EQ(b.GetAktDBPath(), QFileInfo(upper).absoluteFilePath() + ".mdb");
}

TEST_F(CFerrold_HandlerTest, HandlerCanBeReplacedRepeatedly)
{
    Sql("INSERT INTO tblLeser (strBezeichnung) VALUES ('R')");
    CtblLeser* previous = nullptr;
    for (int i = 0; i < 3; ++i) {
        auto& h = Handler();
        EXPECT_NE(h.Get_Ptr_To_tblLeser(), nullptr);
        EXPECT_EQ(h.Get_Ptr_To_tblLeser()->GetAnz_Leser(), 1);
        previous = h.Get_Ptr_To_tblLeser();
    }
    (void)previous;
    m_handler.reset();
    EXPECT_TRUE(QSqlDatabase::connectionNames().filter("ferrold").isEmpty());
    EXPECT_TRUE(Messages().isEmpty());
}

// The embedded-file cases below do not depend on the ODBC run.
class EmbeddedFileTest : public FerroldTest
{
protected:
    CFerrold_Handler& Open(const QString& file)
    {
        m_handler = std::make_unique<CFerrold_Handler>(m_language.get(), CDatabase::Source{CDatabase::Kind::Sqlite, file});
        return *m_handler;
    }
};

TEST_F(EmbeddedFileTest, AFileThatIsNoDatabaseIsReportedOnceAndLeftAlone)
{
    const QString junk = m_folder + "/junk.mdb";
    QByteArray bytes(8192, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 37 + 11) & 0xFF);
    writeBytes(junk, bytes);
    const QByteArray before = fileHash(junk);

    auto& h = Open(junk);
    EXPECT_FALSE(h.IsUsable());
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].startsWith(m_language->GetLangItem(83) + "\n" + m_language->GetLangItem(84)));
    EXPECT_EQ(h.Get_Ptr_To_tblZeitschema()->GetAnz_Zeitschema(), 0);
    EXPECT_EQ(h.Get_Ptr_To_tblLeser()->_Requery(), 0);
    EXPECT_EQ(Messages().size(), 1);
    auto* l = h.Get_Ptr_To_tblLeser();
    EXPECT_FALSE(l->Open());
    m_handler.reset();
    EXPECT_EQ(fileHash(junk), before);
}

TEST_F(EmbeddedFileTest, AMissingTableIsAddedAndTheRestKept)
{
    Sql("INSERT INTO tblLeser (strBezeichnung) VALUES ('Kept')");
    Sql("DROP TABLE tblOnline");
    auto& h = Open(m_file);
    EXPECT_TRUE(h.IsUsable());
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(h.Get_Ptr_To_tblLeser()->GetAnz_Leser(), 1);
    EXPECT_EQ(h.Get_Ptr_To_tblOnline()->_Requery(), 1);
    EXPECT_EQ(h.Get_Ptr_To_tblZeitschema()->GetAnz_Zeitschema(), 4);
}

TEST_F(EmbeddedFileTest, AFileWithoutTheIndexesGetsThemAndKeepsItsRows)
{
    Sql("DROP INDEX ixTransponderPerson");
    Sql("INSERT INTO tblTransponder (strTransponderNummer, Person_ID) VALUES ('00000000AB', 3)");
    auto& h = Open(m_file);
    EXPECT_TRUE(h.IsUsable());
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(h.Get_Ptr_To_tblTransponder()->GetAnz_Transponder(), 1);
    QSqlQuery q(h.GetDatabase()->Connection());
    ASSERT_TRUE(q.exec("EXPLAIN QUERY PLAN UPDATE tblTransponder SET Person_ID = 0 WHERE Person_ID IN (3, 4)"));
    QString plan;
    while (q.next())
        plan += q.value(3).toString();
    EXPECT_TRUE(plan.contains(QLatin1String("ixTransponderPerson"))) << qPrintable(plan);
}

// A file that cannot take a missing index now is read as before, and the
// operator is told once that nothing can be stored.
TEST_F(EmbeddedFileTest, AReadOnlyFileIsReadAndRefusesWrites)
{
    Sql("DROP INDEX ixTransponderPerson");
    Sql("INSERT INTO tblLeser (strBezeichnung) VALUES ('R')");
    ASSERT_EQ(chmod(m_folder.toLocal8Bit().constData(), 0777), 0);
    ASSERT_EQ(chmod(m_file.toLocal8Bit().constData(), 0444), 0);
    const QByteArray before = fileHash(m_file);
    EXPECT_TRUE(TestEnvironment::RunWithoutRoot([&] {
        auto& h = Open(m_file);
        bool ok = h.IsUsable() && Messages() == QStringList{m_language->GetLangItem(365)}
                  && h.Get_Ptr_To_tblLeser()->GetAnz_Leser() == 1;
        auto* l = h.Get_Ptr_To_tblLeser();
        ok = ok && l->Open();
        l->Edit();
        l->strBezeichnung = QStringLiteral("changed");
        try {
            l->Update();
            ok = false;
        } catch (const CDBException& e) {
            ok = ok && e.m_strError.contains("readonly database");
        }
        l->Close();
        ok = ok && Messages().size() == 1;
        m_handler.reset();
        return ok;
    }));
    EXPECT_EQ(fileHash(m_file), before);
}

TEST_F(EmbeddedFileTest, AnUnwritableFolderGivesAClearMessage)
{
    const QString folder = TestEnvironment::NewFolder("locked");
    ASSERT_EQ(chmod(folder.toLocal8Bit().constData(), 0555), 0);
    EXPECT_TRUE(TestEnvironment::RunWithoutRoot([&] {
        auto& h = Open(folder + "/Quandor.mdb");
        const bool ok = !h.IsUsable() && Messages().size() == 1
                        && Messages()[0].startsWith(m_language->GetLangItem(83));
        m_handler.reset();
        return ok;
    }));
}

TEST_F(EmbeddedFileTest, DefaultSourceIsTheEmbeddedFileUnlessADataSourceIsDefined)
{
    TestEnvironment::ClearOdbcDsns();
    CDatabase::Source s = CFerrold_Schema::DefaultSource();
    EXPECT_EQ(s.kind, CDatabase::Kind::Sqlite);
    EXPECT_EQ(s.location, QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                              + "/Velmora/Quandor/Quandor.mdb");

    TestEnvironment::WriteOdbcDsn("quandor", m_file);
    s = CFerrold_Schema::DefaultSource();
    EXPECT_EQ(s.kind, CDatabase::Kind::Odbc);
}

TEST_F(EmbeddedFileTest, ADataSourceWithAMissingDriverIsReportedNotReplaced)
{
    if (!TestEnvironment::InFreshProcess())
        return;
    TestEnvironment::ClearOdbcDsns();
    TestEnvironment::WriteOdbcDsn("Quandor", m_file, /*missingDriver=*/true);
    CFerrold_Handler h(m_language.get());
    EXPECT_FALSE(h.IsUsable());
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].startsWith(m_language->GetLangItem(83)));
    EXPECT_FALSE(QFileInfo::exists(CFerrold_Schema::DefaultFilePath()));
    EXPECT_EQ(h.GetAktDBPath(), QString());
}

TEST_F(EmbeddedFileTest, TheOdbcPathReportsTheDatabaseFile)
{
    TestEnvironment::ClearOdbcDsns();
    TestEnvironment::WriteOdbcDsn("Quandor", m_file);
    CFerrold_Handler h(m_language.get());
    ASSERT_TRUE(h.IsUsable()) << Messages().join('\n').toStdString();
    EXPECT_EQ(h.Get_Ptr_To_tblZeitschema()->GetAnz_Zeitschema(), 4);
    EXPECT_EQ(QFileInfo(h.GetAktDBPath()).canonicalFilePath(), QFileInfo(m_file).canonicalFilePath());
}

TEST_F(EmbeddedFileTest, AnOdbcSourceWithoutTheTablesIsRefused)
{
    const QString empty = m_folder + "/empty.mdb";
    {
        CDatabase db({CDatabase::Kind::Sqlite, empty});
        ASSERT_TRUE(db.Connection().isOpen());
        QSqlQuery q(db.Connection());
        ASSERT_TRUE(q.exec("CREATE TABLE other (x INTEGER)"));
    }
    TestEnvironment::ClearOdbcDsns();
    TestEnvironment::WriteOdbcDsn("Quandor", empty);
    CFerrold_Handler h(m_language.get());
    EXPECT_FALSE(h.IsUsable());
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].contains("tblEvents")) << Messages()[0].toStdString();
}
