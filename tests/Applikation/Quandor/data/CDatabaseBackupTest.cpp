#include "FileCommandFixture.h"

#include "CDatabaseBackup.h"
#include "FileSizeLimit.h"
#include "CTransponderDlg.h"
#include "CEventsDlg.h"
#include "CtblLeser.h"
#include "CtblPerson.h"

#include "CSafeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class CDatabaseBackupTest : public FileCommandFixture
{
protected:
    void Backup(const QString& path)
    {
        Choose(path);
        m_app->GetMainFrame()->OnCommand(CMainFrame::ID_DATABASE_BACKUP);
        ExpectIdle();
    }
    void Restore(const QString& path, QMessageBox::StandardButton safetyCopy = QMessageBox::No)
    {
        Choose(path);
        Answer(safetyCopy);
        m_app->GetMainFrame()->OnCommand(CMainFrame::ID_DATABASE_RESTORE);
        ExpectIdle();
    }
    // The running program still reads and writes its database.
    void ExpectUsable()
    {
        EXPECT_TRUE(Db()->IsUsable());
        EXPECT_EQ(Rows("PRAGMA integrity_check"), QStringList({"ok"}));
        Exec("INSERT INTO tblPerson (strName) VALUES ('probe')");
        Exec("DELETE FROM tblPerson WHERE strName = 'probe'");
    }
    QStringList PersonNames() { return Rows("SELECT strName FROM tblPerson ORDER BY ID_Person"); }
};

TEST_F(CDatabaseBackupTest, BackupThenRestoreBringsBackTheSavedData)
{
    Sql({"INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES ('Tor','Kite')",
         "INSERT INTO tblPerson (strName) VALUES ('Anna')"});
    Start();
    Backup(m_files + "/save");
    ASSERT_TRUE(QFileInfo::exists(m_files + "/save.mdb"));
    EXPECT_TRUE(m_messages.isEmpty()) << "a backup that worked says nothing";
    EXPECT_EQ(Setting("BackupPath"), m_files + "/save.mdb");
    ASSERT_EQ(m_requests.size(), 1u);
    EXPECT_EQ(m_requests[0].proposedName, "Backup_Vondral Manager_24121999_235959");
    EXPECT_EQ(m_requests[0].title, "Datenbank backup ...");
    EXPECT_EQ(m_requests[0].filter, "Access Dateien (*.mdb)");

    // Changed after the backup.
    Exec("INSERT INTO tblPerson (strName) VALUES ('Bert')");
    Exec("INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES ('Halle','Heron')");
    Db()->Get_Ptr_To_tblLeser()->_Requery();
    m_app->GetMainFrame()->RebuildTree();
    EXPECT_EQ(Children(CLeftTreeView::PersonsNode), QStringList({"Tor", "Halle"}));

    Restore(m_files + "/save.mdb", QMessageBox::Yes);
    EXPECT_EQ(m_requests.back().folder, m_files) << "the dialog starts where the backup went";
    EXPECT_EQ(m_requests.back().title, "Datenbank re-backup ...");
    EXPECT_EQ(m_messages, QStringList({Text(221)}));
    EXPECT_EQ(PersonNames(), QStringList({"Anna"}));
    EXPECT_EQ(Db()->Get_Ptr_To_tblPerson()->GetAnz_Person(), 1);
    EXPECT_EQ(Children(CLeftTreeView::PersonsNode), QStringList({"Tor"}));
    EXPECT_EQ(Children(CLeftTreeView::EventsNode), QStringList({"Tor"}));
    // The safety copy holds the data as it was before the restore.
    const QString safety = CDatabaseBackup::SafetyCopyPath(DatabaseFile(), "24121999_235959");
    ASSERT_TRUE(QFileInfo::exists(safety));
    QString error;
    EXPECT_TRUE(CFerrold_Schema::IsDatabaseFile(safety, &error)) << error.toStdString();
    EXPECT_EQ(Setting("BackupPath"), m_files + "/save.mdb");
    ExpectUsable();
}

// A backup killed while it checks its full-size copy leaves the copy beside
// its target and its snapshot folder in the temporary folder; the next
// backup removes both, never those of a writer that still runs.
TEST_F(CDatabaseBackupTest, WhatAKilledBackupLeftIsRemovedByTheNextBackup)
{
    Start();
    const QString target = m_files + "/first.mdb";
    int signal[2];
    ASSERT_EQ(::pipe(signal), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // As the backup does it, up to the check of the written copy.
        QTemporaryDir snapshot(CDatabaseBackup::SnapshotFolderTemplate());
        QString error;
        CSafeFile::Copy(DatabaseFile(), target, &error, [&signal](const QString&, QString*) {
            (void)!::write(signal[1], "x", 1);
            ::pause();
            return false;
        });
        _exit(0);
    }
    char written = 0;
    ASSERT_EQ(::read(signal[0], &written, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(signal[0]);
    ::close(signal[1]);
    const auto copies = [&] {
        return QDir(m_files).entryList({QStringLiteral("first.mdb.~quandor-%1-*").arg(child)}, QDir::Files | QDir::Hidden);
    };
    const auto snapshots = [&] {
        return QDir(QDir::tempPath()).entryList({QStringLiteral("quandor-snapshot-%1-*").arg(child)}, QDir::Dirs);
    };
    ASSERT_EQ(copies().size(), 1);
    ASSERT_EQ(snapshots().size(), 1);
    // One of this program, still under way.
    const QString running =
        m_files + QStringLiteral("/first.mdb.~quandor-%1-abcDEF").arg(QCoreApplication::applicationPid());
    QFile(running).open(QIODevice::WriteOnly);

    Backup(m_files + "/second");
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_TRUE(QFileInfo::exists(m_files + "/second.mdb"));
    EXPECT_TRUE(copies().isEmpty());
    EXPECT_TRUE(snapshots().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(running));
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(CDatabaseBackupTest, RestoreAnsweredNoMakesNoSafetyCopy)
{
    Start();
    Backup(m_files + "/a.mdb");
    Exec("INSERT INTO tblPerson (strName) VALUES ('Bert')");
    Restore(m_files + "/a.mdb", QMessageBox::No);
    EXPECT_TRUE(PersonNames().isEmpty());
    const QStringList copies = QDir(QFileInfo(DatabaseFile()).absolutePath()).entryList({"*_Backup_*"});
    EXPECT_TRUE(copies.isEmpty()) << copies.join(", ").toStdString();
    ExpectUsable();
}

TEST_F(CDatabaseBackupTest, ARestoreIntoAFolderThatCannotBeWrittenLeavesTheDatabaseAlone)
{
    Sql({"INSERT INTO tblPerson (strName) VALUES ('Anna')"});
    Start();
    Backup(m_files + "/b.mdb");
    Exec("UPDATE tblPerson SET strName = 'Anna2'");
    const QString folder = QFileInfo(DatabaseFile()).absolutePath();
    const QByteArray before = digest(DatabaseFile());
    // The folder and the file stay readable and writable for their owner
    // only; the command runs as a user that may read but not write them.
    chmod(m_files.toLocal8Bit().constData(), 0755);
    chmod((m_files + "/b.mdb").toLocal8Bit().constData(), 0644);
    chmod(folder.toLocal8Bit().constData(), 0555);
    chmod(DatabaseFile().toLocal8Bit().constData(), 0666);
    const bool refused = TestEnvironment::RunWithoutRoot([&] {
        Restore(m_files + "/b.mdb");
        // Run as another user, the settings cannot be saved either, and say so.
        return !m_messages.isEmpty() && m_messages.last().startsWith(Text(222)) && digest(DatabaseFile()) == before
               && PersonNames() == QStringList({"Anna2"}) && m_app->GetMainFrame()->m_nBusy == 0;
    });
    chmod(folder.toLocal8Bit().constData(), 0755);
    EXPECT_TRUE(refused);
    EXPECT_EQ(digest(DatabaseFile()), before);
    EXPECT_EQ(PersonNames(), QStringList({"Anna2"}));
    ExpectUsable();
}

TEST_F(CDatabaseBackupTest, ARestoreCancelledOrBrokenOffHalfWayKeepsTheDatabase)
{
    Start();
    Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000)"
         " INSERT INTO tblEvents (strTranspondernummer, strEvent1) SELECT printf('%010d', i), hex(zeroblob(50))"
         " FROM n");
    Backup(m_files + "/big.mdb");
    Exec("DELETE FROM tblEvents");
    Exec("INSERT INTO tblPerson (strName) VALUES ('kept')");
    const QByteArray before = digest(DatabaseFile());

    // The file dialog cancelled.
    Choose("");
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_DATABASE_RESTORE);
    EXPECT_TRUE(m_messages.isEmpty());

    // The safety-copy question closed without an answer.
    Restore(m_files + "/big.mdb", QMessageBox::NoButton);
    EXPECT_EQ(m_messages, QStringList({Text(221)}));
    EXPECT_EQ(digest(DatabaseFile()), before);

    // The disk fills up in the middle of the copy.
    {
        FileSizeLimit limit(QFileInfo(m_files + "/big.mdb").size() / 2);
        if (!limit.Active())
            GTEST_SKIP() << "no file-size limit can be set here";
        Restore(m_files + "/big.mdb", QMessageBox::No);
    }
    ASSERT_EQ(m_messages.size(), 3);
    EXPECT_TRUE(m_messages[2].startsWith(Text(222)));
    EXPECT_EQ(digest(DatabaseFile()), before);
    EXPECT_EQ(PersonNames(), QStringList({"kept"}));
    ExpectUsable();
}

TEST_F(CDatabaseBackupTest, BackupOntoTheDatabaseOrAFailingCopyIsReported)
{
    Start();
    const QByteArray before = digest(DatabaseFile());
    Backup(DatabaseFile());
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages.value(0).startsWith(Text(218)));
    EXPECT_EQ(digest(DatabaseFile()), before);

    Backup(m_files + "/no/such/folder/x.mdb");
    EXPECT_EQ(m_messages.size(), 2);
    EXPECT_TRUE(m_messages.value(1).startsWith(Text(218)));

    // A name the extension rule changed onto an existing file is asked about.
    WriteBytes(m_files + "/keep.mdb", "precious");
    Choose(m_files + "/keep.bak");
    Answer(QMessageBox::No);
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_DATABASE_BACKUP);
    EXPECT_EQ(ReadBytes(m_files + "/keep.mdb"), "precious");
    EXPECT_EQ(m_messages.size(), 3);
    ExpectUsable();
}

TEST_F(CDatabaseBackupTest, RestoreShowsAllRecordsInTheViewAndEnglishNames)
{
    SetLanguage(1);
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (1,'Tor','Kite')"});
    Start();
    Backup(m_files + "/e.mdb");
    EXPECT_EQ(m_requests[0].proposedName, "Backup_Kestrav Manager_24121999_235959");
    EXPECT_EQ(m_requests[0].title, "Database backup ...");
    auto* view = new CEventsDlg(m_app->Context());
    m_app->GetMainFrame()->ReplaceRightPane(view);
    view->ShowEvents(1);
    Restore(m_files + "/e.mdb");
    EXPECT_EQ(view->Filter(), 0u);
    EXPECT_EQ(m_requests.back().title, "Database re-backup ...");
    EXPECT_EQ(Children(CLeftTreeView::TimeSchemasNode), QStringList({Text(81)}));
}

TEST_F(CDatabaseBackupTest, ADatabaseFileThatWentMissingIsRestoredAndLoaded)
{
    Sql({"INSERT INTO tblPerson (strName) VALUES ('Anna')"});
    Start();
    Backup(m_files + "/m.mdb");
    ASSERT_TRUE(QFile::remove(DatabaseFile()));
    Restore(m_files + "/m.mdb");
    EXPECT_TRUE(m_messages.isEmpty()) << "nothing to ask: no file is replaced";
    EXPECT_EQ(PersonNames(), QStringList({"Anna"}));
    ExpectUsable();
}

TEST_F(CDatabaseBackupTest, ADataSourceWithoutAFileRefusesBackupAndRestore)
{
    // An ODBC data source whose driver names no file of its own (on the
    // server backend, the fixture's source is one).
    if (!Postgres()) {
        const QString file = m_dataFolder + "/odbc.db";
        {
            CDatabase tables({CDatabase::Kind::Sqlite, file});
            QString error;
            ASSERT_TRUE(CFerrold_Schema::Prepare(tables, &error)) << error.toStdString();
        }
        TestEnvironment::WriteOdbcDsn("Quandor", file);
    }
    Start();
    m_messages.clear();
    ASSERT_EQ(Db()->GetDatabase()->GetSource().kind, CDatabase::Kind::Odbc);
    const QString path = Db()->GetAktDBPath();
    if (Postgres())
        EXPECT_EQ(path, QString());
    else if (QFileInfo(path).isFile())
        GTEST_SKIP() << "this driver reports its file: " << path.toStdString();
    Backup(m_files + "/x.mdb");
    Restore(m_files + "/x.mdb");
    EXPECT_EQ(m_messages, QStringList({Text(251), Text(251)}));
    EXPECT_TRUE(m_requests.empty()) << "no file dialog opens";
    TestEnvironment::ClearOdbcDsns();
}

namespace {

// A connection of a test's own on a database file, closed with the object.
class RawFile
{
public:
    explicit RawFile(const QString& path)
        : m_name(QStringLiteral("raw-%1").arg(++s_serial))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawFile() { QSqlDatabase::removeDatabase(m_name); }
    bool Exec(const QString& sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name));
        return query.exec(sql);
    }
    QString Value(const QString& sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name));
        return query.exec(sql) && query.next() ? query.value(0).toString() : QStringLiteral("<failed>");
    }

private:
    static inline int s_serial = 0;
    QString m_name;
};

} // namespace

TEST_F(CDatabaseBackupTest, RowsInAWriteAheadLogReachBackupAndRestore)
{
    Start();
    // The live database switched to a log beside the file (as a restored
    // file in that mode once left it), rows committed but only in the log.
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA wal_autocheckpoint=0");
    Exec("INSERT INTO tblPerson (strName) VALUES ('Logged')");
    Backup(m_files + "/wal");
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
    {
        RawFile backup(m_files + "/wal.mdb");
        EXPECT_EQ(backup.Value("SELECT strName FROM tblPerson"), "Logged");
    }

    // A file to restore whose last rows are still in its log.
    const QString candidate = m_files + "/logged.mdb";
    ASSERT_TRUE(QFile::copy(m_files + "/wal.mdb", candidate));
    RawFile writer(candidate);
    ASSERT_EQ(writer.Value("PRAGMA journal_mode=WAL"), "wal");
    ASSERT_TRUE(writer.Exec("PRAGMA wal_autocheckpoint=0"));
    ASSERT_TRUE(writer.Exec("INSERT INTO tblPerson (strName) VALUES ('OnlyInLog')"));
    ASSERT_TRUE(QFileInfo(candidate + "-wal").size() > 0);
    Restore(candidate);
    EXPECT_EQ(PersonNames(), QStringList({"Logged", "OnlyInLog"}));
    EXPECT_EQ(Rows("PRAGMA journal_mode"), QStringList({"delete"}));
    ExpectUsable();
}

// Every kind of file that must not become the database: refused before
// anything changes, with the restore message and the reason.
TEST_F(CDatabaseBackupTest, ARestoreCandidateIsRefusedWithItsReason)
{
    Sql({"INSERT INTO tblPerson (strName) VALUES ('Anna')"});
    Start();
    Backup(m_files + "/good.mdb");
    const QByteArray good = ReadBytes(m_files + "/good.mdb");
    const QString person = "CREATE TABLE tblPerson (ID_Person %1, strName %2 NOT NULL DEFAULT '',"
                           " Transponder_ID INTEGER NOT NULL DEFAULT 0)";
    const struct
    {
        const char* name;
        QByteArray bytes; // the file as it is, else the good backup changed by the statements
        QStringList sql;
        const char* reason;
    } cases[] = {
        {"empty", "", {}, "The file is empty"},
        {"truncated", good.left(good.size() / 2), {}, "cut short"},
        {"text", "Transponder;0000000001;---\r\n", {}, "no database file"},
        {"other", "", {"CREATE TABLE Kunden (Nr INTEGER PRIMARY KEY, Name TEXT)"}, "missing"},
        {"nokey", {}, {"DROP TABLE tblPerson", QString(person).arg("INTEGER", "TEXT")}, "is not the key"},
        {"texttype", {}, {"DROP TABLE tblPerson", QString(person).arg("INTEGER PRIMARY KEY", "INTEGER")}, "not a text"},
        {"negative", {}, {"INSERT INTO tblPerson (ID_Person, strName) VALUES (-3, 'x')"}, "no positive number"},
        {"wide", {}, {"INSERT INTO tblPerson (ID_Person, strName) VALUES (4294967297, 'x')"}, "no positive number"},
        {"textnumber", {}, {"INSERT INTO tblTransponder (Person_ID) VALUES ('abc')"}, "no 32-bit numbers"},
        {"widenumber", {}, {"INSERT INTO tblEvents (Leser_ID) VALUES (4294967297)"}, "no 32-bit numbers"},
        {"nullkey", {}, {"DROP TABLE tblPerson", QString(person).arg("INT PRIMARY KEY", "TEXT"),
                         "INSERT INTO tblPerson (strName) VALUES ('a'), ('b')"}, "no positive number"},
        {"trigger", {}, {"CREATE TRIGGER wipe AFTER INSERT ON tblPerson BEGIN DELETE FROM tblEvents; END"},
         "triggers (wipe)"},
        {"view", {}, {"CREATE VIEW everyone AS SELECT strName FROM tblPerson"}, "views (everyone)"},
        {"threerows", {}, {"DELETE FROM tblZeitschema WHERE ID_Zeitschema = 4"}, "not whole schemas"},
        {"mixedrows", {}, {"UPDATE tblZeitschema SET strBezeichnung = 'Tag' WHERE ID_Zeitschema = 2"},
         "do not belong to one schema"},
        {"nofullaccess", {}, {"UPDATE tblZeitschema SET strBezeichnung = 'Tag'"}, "full-access"},
        {"nullname", {}, {"DROP TABLE tblPerson", "CREATE TABLE tblPerson (ID_Person INTEGER PRIMARY KEY, strName TEXT,"
                          " Transponder_ID INTEGER NOT NULL DEFAULT 0)", "INSERT INTO tblPerson (strName) VALUES (NULL)"},
         "strName of the table tblPerson holds 1 rows without a text"},
        {"missing", {}, {}, "no readable file"},
    };
    const QByteArray before = digest(DatabaseFile());
    for (const auto& c : cases) {
        const QString path = m_files + "/" + c.name + ".mdb";
        if (!c.bytes.isNull()) {
            WriteBytes(path, c.bytes);
        } else if (!c.sql.isEmpty()) {
            ASSERT_TRUE(QFile::copy(m_files + "/good.mdb", path));
        }
        if (!c.sql.isEmpty()) {
            RawFile file(path);
            for (const QString& sql : c.sql)
                ASSERT_TRUE(file.Exec(sql)) << c.name << ": " << sql.toStdString();
        }
        m_messages.clear();
        Restore(path);
        ASSERT_EQ(m_messages.size(), 1) << c.name;
        EXPECT_TRUE(m_messages[0].startsWith(Language()->GetLangItem(250).arg(path))) << c.name;
        EXPECT_TRUE(m_messages[0].contains(c.reason)) << c.name << ": " << m_messages[0].toStdString();
        EXPECT_EQ(digest(DatabaseFile()), before) << c.name;
        EXPECT_EQ(PersonNames(), QStringList({"Anna"})) << c.name;
    }
    ExpectUsable();

    // The good backup still restores.
    Exec("INSERT INTO tblPerson (strName) VALUES ('Bert')");
    m_messages.clear();
    Restore(m_files + "/good.mdb");
    EXPECT_EQ(m_messages, QStringList({Text(221)}));
    EXPECT_EQ(PersonNames(), QStringList({"Anna"}));
    ExpectUsable();
}

// A journal or log beside the database is removed before the restored file
// takes its place; one that cannot be removed stops the restore first.
TEST_F(CDatabaseBackupTest, LeftoverJournalsAreRemovedFirstOrTheRestoreIsRefused)
{
    Sql({"INSERT INTO tblPerson (strName) VALUES ('Anna')"});
    Start();
    Backup(m_files + "/good.mdb");
    Exec("INSERT INTO tblPerson (strName) VALUES ('Bert')");
    const QString db = DatabaseFile();
    const QByteArray before = digest(db);

    // A folder where the log's index would be: it cannot be removed as a file.
    ASSERT_TRUE(QDir().mkpath(db + "-shm/inside"));
    Restore(m_files + "/good.mdb");
    ASSERT_EQ(m_messages.size(), 2) << m_messages.join("\n").toStdString();
    EXPECT_TRUE(m_messages[1].startsWith(Text(222))) << m_messages[1].toStdString();
    EXPECT_TRUE(m_messages[1].contains(db + "-shm")) << m_messages[1].toStdString();
    EXPECT_EQ(digest(db), before);
    EXPECT_EQ(PersonNames(), QStringList({"Anna", "Bert"}));
    ASSERT_TRUE(QDir(db + "-shm").removeRecursively());

    // Stale files of another state: gone, and the restored file is read as it is.
    m_messages.clear();
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        WriteBytes(db + suffix, QByteArray(4096, 'x'));
    Restore(m_files + "/good.mdb");
    EXPECT_EQ(m_messages, QStringList({Text(221)}));
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        EXPECT_FALSE(QFileInfo::exists(db + suffix)) << suffix;
    EXPECT_EQ(PersonNames(), QStringList({"Anna"}));
    ExpectUsable();
}

// The disk full before the first byte and during the last write: a backup
// keeps the previous backup, a restore the live database; both say why, and
// the program goes on with its database.
TEST_F(CDatabaseBackupTest, AFullDiskKeepsTheOldBackupAndTheLiveDatabase)
{
    Sql({"INSERT INTO tblPerson (strName) VALUES ('Anna')"});
    Start();
    Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500)"
         " INSERT INTO tblEvents (strTranspondernummer) SELECT printf('%010d', i) FROM n");
    Backup(m_files + "/old.mdb");
    Exec("INSERT INTO tblPerson (strName) VALUES ('Bert')");
    const QByteArray oldBackup = digest(m_files + "/old.mdb");
    const QByteArray live = digest(DatabaseFile());
    const qint64 size = QFileInfo(DatabaseFile()).size();
    for (const DiskFullCase& full : kDiskFullCases) {
        m_messages.clear();
        CRegistryKey::ResetFailureReport();
        {
            FileSizeLimit limit(full.Limit(size));
            if (!limit.Active())
                GTEST_SKIP() << "no file-size limit can be set here";
            Backup(m_files + "/old.mdb");
        }
        ASSERT_FALSE(m_messages.isEmpty()) << full.name;
        EXPECT_TRUE(m_messages.last().startsWith(Text(218) + "\n\n")) << full.name;
        EXPECT_GT(m_messages.last().size(), Text(218).size() + 2) << full.name << ": the reason is given";
        EXPECT_EQ(digest(m_files + "/old.mdb"), oldBackup) << full.name;

        m_messages.clear();
        {
            FileSizeLimit limit(full.Limit(size));
            Restore(m_files + "/old.mdb");
        }
        ASSERT_FALSE(m_messages.isEmpty()) << full.name;
        EXPECT_TRUE(m_messages.last().startsWith(Text(222) + "\n\n")) << full.name;
        EXPECT_EQ(digest(DatabaseFile()), live) << full.name;
        EXPECT_EQ(PersonNames(), QStringList({"Anna", "Bert"})) << full.name;
        const QStringList left = QDir(QFileInfo(DatabaseFile()).absolutePath()).entryList(QDir::Files);
        EXPECT_EQ(left.filter(".mdb.").size(), 0) << left.join(", ").toStdString();
    }
    ExpectUsable();
}
