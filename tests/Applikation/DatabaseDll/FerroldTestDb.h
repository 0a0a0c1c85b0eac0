#pragma once

#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Reporter.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "TestEnvironment.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <gtest/gtest.h>

#include <memory>
#include <mutex>

// A fresh database per test, on the backend the test run was started for
// (QUANDOR_TEST_BACKEND=odbc: the same SQLite file reached through the ODBC
// data source "Quandor"), and the library's messages captured.
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
    }

    void TearDown() override
    {
        m_handler.reset();
        CFerrold_Reporter::SetReporter(nullptr);
        TestEnvironment::ClearOdbcDsns();
    }

    static bool Odbc() { return qgetenv("QUANDOR_TEST_BACKEND") == "odbc"; }

    // Creates the tables in a SQLite file, as the embedded database would.
    static void PrepareFile(const QString& file)
    {
        CDatabase db({CDatabase::Kind::Sqlite, file});
        QString error;
        ASSERT_TRUE(CFerrold_Schema::Prepare(db, &error)) << error.toStdString();
    }

    CDatabase::Source Source() const
    {
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

    // Several statements in one transaction of their own connection.
    void SqlAll(const QStringList& statements)
    {
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
    std::unique_ptr<CLanguageHandler> m_language;
    std::unique_ptr<CFerrold_Handler> m_handler;

private:
    std::mutex m_mutex;
    QStringList m_messages;
};
