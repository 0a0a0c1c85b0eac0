#pragma once

#include "CDatabase.h"
#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "CMainFrame.h"
#include "CQuandorApp.h"
#include "CUiMessage.h"
#include "ScopedSeam.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDialog>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

// The program started in a test: its own data, settings and layout folders,
// message boxes answered and recorded instead of shown, and modal dialogs
// (the port choice at start among them) run by the test: closed unanswered
// unless the test sets m_answerDialog.
class QuandorAppFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_app = CQuandorApp::Instance();
        ASSERT_NE(m_app, nullptr);
        m_dataFolder = TestEnvironment::NewFolder("data");
        qputenv("XDG_DATA_HOME", m_dataFolder.toLocal8Bit());
        QSettings("Velmora", "Quandor").clear();
        m_layoutFolder = TestEnvironment::NewFolder("layout");
        m_app->SetLayoutFolder(m_layoutFolder);
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_messages << request.text;
            return QMessageBox::Ok;
        });
        m_runner.Set([this](QDialog& dialog) {
            m_dialogs << dialog.objectName();
            return m_answerDialog ? m_answerDialog(dialog) : int(QDialog::Rejected);
        });
        PrepareDataSource();
    }

    void TearDown() override
    {
        m_app->ExitInstance();
        if (Postgres() || Odbc())
            TestEnvironment::ClearOdbcDsns();
    }

    QString DatabaseFile() const { return CFerrold_Schema::DefaultFilePath(); }

    // The program finds the embedded file unless the test run was started
    // for a data source: QUANDOR_TEST_BACKEND=odbc reaches that file through
    // "Quandor" over the SQLite3 ODBC driver, postgres a database of the
    // test's own on the test cluster through "Quandor" over psqlODBC.
    static bool Odbc() { return qgetenv("QUANDOR_TEST_BACKEND") == "odbc"; }
    static bool Postgres() { return TestEnvironment::PostgresBackend(); }

    // A statement written as the embedded file takes it, for the database
    // the program uses.
    static QString Dialect(const QString& statement)
    {
        return Postgres() ? TestEnvironment::PostgresSql(statement) : statement;
    }
    // The statements of a trigger that refuses the operation on rows of the
    // table where the condition holds, with the message as the error.
    static QStringList Refusal(const QString& name, const QString& operation, const QString& table,
                               const QString& condition, const QString& message)
    {
        return TestEnvironment::RefusalSql(Postgres(), name, operation, table, condition, message);
    }

    // Changes the database before the program starts.
    void Sql(const QStringList& statements)
    {
        if (Postgres()) {
            QStringList server;
            for (const QString& statement : statements)
                server << TestEnvironment::PostgresSql(statement);
            server << TestEnvironment::PostgresFollowKeys(statements);
            QString error;
            ASSERT_TRUE(TestEnvironment::PostgresExec(m_server, server, &error)) << error.toStdString();
            return;
        }
        {
            CDatabase db({CDatabase::Kind::Sqlite, DatabaseFile()});
            QString error;
            ASSERT_TRUE(CFerrold_Schema::Prepare(db, &error)) << error.toStdString();
            QSqlQuery q(db.Connection());
            for (const QString& s : statements)
                ASSERT_TRUE(q.exec(s)) << s.toStdString();
        }
    }

    // One column of a table, in key order (the key is the row id), read
    // past the program.
    QStringList Stored(const QString& table, const QString& column) const
    {
        QStringList values;
        const QString name = QStringLiteral("test-read");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(DatabaseFile());
            EXPECT_TRUE(db.open());
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(column, table)));
            while (q.next())
                values << q.value(0).toString();
        }
        QSqlDatabase::removeDatabase(name);
        return values;
    }

    static void SetLanguage(int language) { QSettings("Velmora", "Quandor").setValue("nLanguage", language); }

    CMainFrame* Start()
    {
        EXPECT_TRUE(m_app->InitServices());
        EXPECT_TRUE(m_app->CreateMainFrame());
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        if ((Postgres() || Odbc()) && m_app->GetDBHandler()) {
            CDatabase* database = m_app->GetDBHandler()->GetDatabase();
            EXPECT_EQ(database->GetSource().kind, CDatabase::Kind::Odbc) << "the program runs on the data source";
            EXPECT_EQ(database->IsServer(), Postgres());
        }
        return m_app->GetMainFrame();
    }

    CLanguageHandler* Language() const { return m_app->GetLanguage(); }

    void PrepareDataSource()
    {
        if (Postgres()) {
            QString error;
            m_server = TestEnvironment::NewPostgresDatabase(&error);
            ASSERT_FALSE(m_server.isEmpty()) << error.toStdString();
            TestEnvironment::ClearOdbcDsns();
            TestEnvironment::WritePostgresDsn(QStringLiteral("Quandor"), m_server);
        } else if (Odbc()) {
            // A data source brings its tables; the program never makes them.
            Sql({});
            TestEnvironment::ClearOdbcDsns();
            TestEnvironment::WriteOdbcDsn(QStringLiteral("Quandor"), DatabaseFile());
        }
    }

    CQuandorApp* m_app = nullptr;
    QString m_dataFolder;
    QString m_layoutFolder;
    QStringList m_messages;
    // The modal dialogs run, by object name, and how the test answers them.
    QStringList m_dialogs;
    CDialogRunner::Runner m_answerDialog;
    // The test's database on the server backend.
    QString m_server;

    // Message boxes and modal dialogs as the test answers them; last, so the
    // seams are put back before the members their functions use go.
    ScopedSeam<CUiMessage::Presenter> m_presenter{CUiMessage::PresenterSeam()};
    ScopedSeam<CDialogRunner::Runner> m_runner{CDialogRunner::RunnerSeam()};
};
