#pragma once

#include "QuandorAppFixture.h"

#include "CFerrold_Handler.h"
#include "CFileChooser.h"
#include "CFileNameRule.h"
#include "CLeftTreeView.h"
#include "CRegistryKey.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>
#include <QVariant>

#include <chrono>
#include <ctime>
#include <deque>
#include <functional>
#include <vector>

// The main window started for the file commands: the file dialogs answered
// by a script, questions by a list of answers, the clock fixed at
// 24 December 1999, 23:59:59.
class FileCommandFixture : public QuandorAppFixture
{
protected:
    void SetUp() override
    {
        QuandorAppFixture::SetUp();
        CRegistryKey::ResetFailureReport();
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_messages << request.text;
            m_icons.push_back(request.icon);
            m_cursorsDuringBoxes.push_back(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                                                          : Qt::ArrowCursor);
            if (!(request.buttons & QMessageBox::Yes))
                return QMessageBox::Ok;
            if (m_answers.empty())
                return m_defaultAnswer;
            const QMessageBox::StandardButton answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        });
        m_chooser.Set([this](const CFileChooser::Request& request) {
            m_requests.push_back(request);
            if (m_paths.empty())
                return QString();
            const QString path = m_paths.front();
            m_paths.pop_front();
            return path;
        });
        m_clock.Set([] {
            std::tm t{};
            t.tm_year = 99;
            t.tm_mon = 11;
            t.tm_mday = 24;
            t.tm_hour = 23;
            t.tm_min = 59;
            t.tm_sec = 59;
            t.tm_isdst = -1;
            return std::chrono::system_clock::from_time_t(std::mktime(&t)) + std::chrono::milliseconds(123);
        });
        m_files = TestEnvironment::NewFolder("files");
    }

    // The next file dialog gives this path ("" = cancelled).
    void Choose(const QString& path) { m_paths.push_back(path); }
    void Answer(QMessageBox::StandardButton answer) { m_answers.push_back(answer); }

    CFerrold_Handler* Db() const { return m_app->GetDBHandler(); }

    // A statement on the running program's own connection.
    void Exec(const QString& sql)
    {
        QSqlQuery query(Db()->GetDatabase()->Connection());
        ASSERT_TRUE(query.exec(Dialect(sql))) << sql.toStdString() << ": " << query.lastError().text().toStdString();
        if (Postgres()) {
            for (const QString& follow : TestEnvironment::PostgresFollowKeys({sql}))
                ASSERT_TRUE(query.exec(follow)) << query.lastError().text().toStdString();
        }
    }
    // The rows of a query, each row's columns joined with "|".
    QStringList Rows(const QString& sql)
    {
        QStringList rows;
        QSqlQuery query(Db()->GetDatabase()->Connection());
        EXPECT_TRUE(query.exec(Dialect(sql))) << sql.toStdString() << ": " << query.lastError().text().toStdString();
        while (query.next()) {
            QStringList columns;
            for (int i = 0; i < query.record().count(); ++i)
                columns << query.value(i).toString();
            rows << columns.join(u'|');
        }
        return rows;
    }
    int Count(const QString& table) { return Rows(QStringLiteral("SELECT COUNT(*) FROM ") + table).value(0).toInt(); }

    static QByteArray ReadBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void WriteBytes(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QString Setting(const char* name)
    {
        return CRegistryKey().ReadString(CRegistryKey::CurrentUser, QLatin1String(kProgramKey),
                                         QLatin1String(name));
    }

    // The texts of the children of a tree node.
    QStringList Children(CLeftTreeView::NodeKind kind) const
    {
        QStringList names;
        QTreeWidgetItem* node = m_app->GetMainFrame()->GetLeftTreeView()->Node(kind);
        for (int i = 0; node && i < node->childCount(); ++i)
            names << node->child(i)->text(0);
        return names;
    }

    // Busy flag and wait cursor, both gone once a command is over.
    void ExpectIdle()
    {
        EXPECT_EQ(m_app->GetMainFrame()->m_nBusy, 0);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    QString Text(unsigned int n) const { return Language()->GetLangItem(n); }

    QString m_files;
    std::deque<QString> m_paths;
    std::deque<QMessageBox::StandardButton> m_answers;
    QMessageBox::StandardButton m_defaultAnswer = QMessageBox::Yes;
    std::vector<CFileChooser::Request> m_requests;
    std::vector<QMessageBox::Icon> m_icons;
    std::vector<Qt::CursorShape> m_cursorsDuringBoxes;
    ScopedSeam<CFileChooser::Chooser> m_chooser{CFileChooser::ChooserSeam()};
    ScopedSeam<CTimeStamp::Clock> m_clock{CFileNameRule::ClockSeam()};
};

// Handles the next modal dialog that opens (it polls while an event loop
// runs), so a command that runs a dialog of its own can be driven.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(QWidget* dialog)> handle)
        : m_handle(std::move(handle))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == m_last.data())
                return;
            m_last = modal;
            ++m_handled;
            m_handle(modal);
        });
        m_timer.start(10);
    }
    int Handled() const { return m_handled; }

private:
    std::function<void(QWidget*)> m_handle;
    QTimer m_timer;
    QPointer<QWidget> m_last;
    int m_handled = 0;
};
