#pragma once

#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Reporter.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "TestEnvironment.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <gtest/gtest.h>

#include <memory>
#include <mutex>

// A fresh database per test, on the backend the test run was started for
// (QUANDOR_TEST_BACKEND=odbc: the same SQLite file reached through the ODBC
// data source "Quandor"; postgres: a database of its own on the test
// cluster, reached through "Quandor" over psqlODBC), and the library's
// messages captured.
class FerroldTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CFerrold_Reporter::SetReporter([this](const QString& text, CFerrold_Reporter::Icon) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_messages << text;
        });
        m_folder = TestEnvironment::NewFolder("db");
        m_file = m_folder + "/Quandor.mdb";
        m_language = std::make_unique<CLanguageHandler>(0, QString());
        PrepareFile(m_file);
        if (Postgres()) {
            QString error;
            m_server = TestEnvironment::NewPostgresDatabase(&error);
            ASSERT_FALSE(m_server.isEmpty()) << error.toStdString();
        }
    }

    void TearDown() override
    {
        m_handler.reset();
        CFerrold_Reporter::SetReporter(nullptr);
        TestEnvironment::ClearOdbcDsns();
    }

    static bool Odbc() { return qgetenv("QUANDOR_TEST_BACKEND") == "odbc"; }
    static bool Postgres() { return TestEnvironment::PostgresBackend(); }

    // The tests write their statements as the embedded file takes them.
    static QString ServerSql(const QString& statement) { return TestEnvironment::PostgresSql(statement); }

    // Creates the tables in a SQLite file, as the embedded database would.
    static void PrepareFile(const QString& file)
    {
        CDatabase db({CDatabase::Kind::Sqlite, file});
        QString error;
        ASSERT_TRUE(CFerrold_Schema::Prepare(db, &error)) << error.toStdString();
    }

    CDatabase::Source Source() const
    {
        if (Postgres()) {
            TestEnvironment::ClearOdbcDsns();
            TestEnvironment::WritePostgresDsn("Quandor", m_server);
            return {CDatabase::Kind::Odbc, QStringLiteral("Quandor")};
        }
        if (!Odbc())
            return {CDatabase::Kind::Sqlite, m_file};
        TestEnvironment::ClearOdbcDsns();
        TestEnvironment::WriteOdbcDsn("Quandor", m_file);
        return {CDatabase::Kind::Odbc, QStringLiteral("Quandor")};
    }

    CFerrold_Handler& Handler(unsigned int language = 0)
    {
        m_handler.reset();
        m_language = std::make_unique<CLanguageHandler>(language, QString());
        m_handler = std::make_unique<CFerrold_Handler>(m_language.get(), Source());
        return *m_handler;
    }

    // Changes the file behind the handler's back, as another program would.
    void Sql(const QString& statement)
    {
        if (Postgres()) {
            QString error;
            const QStringList server = QStringList{ServerSql(statement)} + TestEnvironment::PostgresFollowKeys({statement});
            ASSERT_TRUE(TestEnvironment::PostgresExec(m_server, server, &error)) << error.toStdString();
            return;
        }
        const QString name = QStringLiteral("test-raw");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_file);
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(statement)) << statement.toStdString();
        }
        QSqlDatabase::removeDatabase(name);
    }

    // The rows a query gives as another program reads them, columns joined
    // by '|'.
    QStringList Rows(const QString& query)
    {
        QStringList rows;
        if (Postgres()) {
            QString error;
            rows = TestEnvironment::PostgresRows(m_server, ServerSql(query), &error);
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            return rows;
        }
        const QString name = QStringLiteral("test-rows");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_file);
            EXPECT_TRUE(db.open());
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(query)) << query.toStdString();
            while (q.next()) {
                QStringList columns;
                for (int c = 0; c < q.record().count(); ++c)
                    columns << q.value(c).toString();
                rows << columns.join(QLatin1Char('|'));
            }
        }
        QSqlDatabase::removeDatabase(name);
        return rows;
    }

    // A trigger named "name" that refuses the operation on rows of the table
    // where the condition on OLD holds (see TestEnvironment::RefusalSql).
    void Refuse(const QString& name, const QString& operation, const QString& table, const QString& condition,
                const QString& message)
    {
        for (const QString& statement :
             TestEnvironment::RefusalSql(Postgres(), name, operation, table, condition, message))
            Sql(statement);
    }
    void DropRefusal(const QString& name, const QString& table)
    {
        for (const QString& statement : TestEnvironment::DropRefusalSql(Postgres(), name, table))
            Sql(statement);
    }

    // Several statements in one transaction of their own connection.
    void SqlAll(const QStringList& statements)
    {
        if (Postgres()) {
            QStringList server;
            for (const QString& statement : statements)
                server << ServerSql(statement);
            server << TestEnvironment::PostgresFollowKeys(statements);
            QString error;
            ASSERT_TRUE(TestEnvironment::PostgresExec(m_server, server, &error)) << error.toStdString();
            return;
        }
        const QString name = QStringLiteral("test-raw");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_file);
            ASSERT_TRUE(db.open());
            ASSERT_TRUE(db.transaction());
            QSqlQuery q(db);
            for (const QString& statement : statements)
                ASSERT_TRUE(q.exec(statement)) << statement.toStdString();
            ASSERT_TRUE(db.commit());
        }
        QSqlDatabase::removeDatabase(name);
    }

    QStringList Messages()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }

    void ClearMessages()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.clear();
    }

    QString m_folder;
    QString m_file;
    QString m_server; // the test's database on the server backend
    std::unique_ptr<CLanguageHandler> m_language;
    std::unique_ptr<CFerrold_Handler> m_handler;

private:
    std::mutex m_mutex;
    QStringList m_messages;
};
