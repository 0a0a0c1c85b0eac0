#pragma once

// What the benchmarks of the whole program share: the program on a database
// file of its own, filled before the program reads it, in one transaction;
// its boxes and dialogs answered; the clock, the median of repetitions and a
// paint.
#include "CChooseCOMDlg.h"
#include "CDatabase.h"
#include "CDialogRunner.h"
#include "CFerrold_Schema.h"
#include "CQuandorApp.h"
#include "CUiMessage.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QElapsedTimer>
#include <QImage>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

inline void Exec(QSqlQuery& q, const QString& sql)
{
    if (!q.exec(sql))
        std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(q.lastError().text()));
}

// Rows 1 to count through one prepared statement, values(i) bound in order.
inline void InsertRows(CDatabase& db, const QString& sql, int count, const std::function<QVariantList(int)>& values)
{
    QSqlQuery insert(db.Connection());
    insert.prepare(sql);
    for (int i = 1; i <= count; ++i) {
        for (const QVariant& value : values(i))
            insert.addBindValue(value);
        if (!insert.exec())
            std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(insert.lastError().text()));
    }
}

// Readers 1 to count, "Leser i", all of one framed model.
inline void InsertReaders(CDatabase& db, int count)
{
    InsertRows(db, "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (?,?,'Kite')", count,
               [](int i) { return QVariantList{i, QStringLiteral("Leser %1").arg(i)}; });
}

// Persons 1 to count, "Person i"; the first `holding` hold transponder i.
inline void InsertPersons(CDatabase& db, int count, int holding)
{
    InsertRows(db, "INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (?,?,?)", count, [holding](int i) {
        return QVariantList{i, QStringLiteral("Person %1").arg(i), i <= holding ? i : 0};
    });
}

inline double Millis(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

inline double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The median of the repetitions, each prepared (when given) outside the
// clock.
inline double Median(int repetitions, const std::function<void()>& prepare, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        if (prepare)
            prepare();
        times.push_back(Millis(work));
    }
    return Median(std::move(times));
}

// A figure beside its floor (none when floor is 0).
inline void Report(const char* name, double ms, double floor, const char* floorName)
{
    if (floor > 0)
        std::printf("%-22s %9.2f ms   floor %9.2f ms (%s)   ratio %5.2f\n", name, ms, floor, floorName, ms / floor);
    else
        std::printf("%-22s %9.3f ms\n", name, ms);
}

// Every message box answered so, its text on stderr: a run never waits for
// a person.
inline void AnswerBoxes(QMessageBox::StandardButton answer)
{
    CUiMessage::PresenterSeam().Replace([answer](const CUiMessage::Request& request) {
        std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
        return answer;
    });
}

// The port choice at start connects to COM<port>; any other dialog is
// closed unanswered.
inline void ConnectAtStart(int port)
{
    CDialogRunner::RunnerSeam().Replace([port](QDialog& dialog) {
        auto* ports = qobject_cast<CChooseCOMDlg*>(&dialog);
        if (!ports)
            return int(QDialog::Rejected);
        ports->show();
        ports->PortList()->setCurrentIndex(ports->PortList()->findText(QStringLiteral("COM%1").arg(port)));
        ports->ConnectNowButton()->click();
        return ports->result();
    });
}

// Runs the event loop until the condition holds; false after ms
// milliseconds.
inline bool WaitFor(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

inline void Paint(QWidget& view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    view.render(&image);
}

// The program, offscreen, with its data and layouts in a folder of its own.
class Program
{
public:
    Program(int& argc, char** argv)
        : m_app(argc, argv)
    {
    }

    // Writes the program's tables, and the rows `fill` inserts in one
    // transaction, to the database file; then starts the program's services
    // on it. False when they do not start.
    bool Start(const std::function<void(CDatabase&, QSqlQuery&)>& fill)
    {
        {
            CDatabase db({CDatabase::Kind::Sqlite, CFerrold_Schema::DefaultFilePath()});
            QString error;
            CFerrold_Schema::Prepare(db, &error);
            QSqlQuery q(db.Connection());
            Exec(q, "BEGIN");
            fill(db, q);
            Exec(q, "COMMIT");
        }
        m_app.SetLayoutFolder(m_home.folder.path());
        return m_app.InitServices();
    }

    CQuandorApp& App() { return m_app; }

private:
    // Set before the program exists: it reads them once.
    struct Home
    {
        Home()
        {
            qputenv("XDG_DATA_HOME", folder.path().toLocal8Bit());
            qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        QTemporaryDir folder;
    };

    Home m_home;
    CQuandorApp m_app;
};

} // namespace bench
