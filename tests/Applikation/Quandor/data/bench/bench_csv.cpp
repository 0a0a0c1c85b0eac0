// The CSV import and export run on the UI thread with the wait cursor on:
// importing 10,000 transponders should take under 2 s, exporting 100,000
// events under 1 s. The import is measured beside a plain SQLite insert of
// the same rows in one transaction, the floor any import stands on.
#include "CCsvExporter.h"
#include "CCsvFormat.h"
#include "CCsvImporter.h"
#include "CCsvLineReader.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "CSafeFile.h"
#include "CtblEvents.h"

#include <QApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

QTemporaryDir* g_folder = nullptr;
CLanguageHandler* g_language = nullptr;
int g_serial = 0;

QString newDatabaseFile()
{
    return g_folder->filePath(QStringLiteral("bench%1.mdb").arg(++g_serial));
}

// A database with two readers and the built-in schema.
std::unique_ptr<CFerrold_Handler> newDatabase(const QString& file)
{
    {
        CDatabase db({CDatabase::Kind::Sqlite, file});
        QString error;
        CFerrold_Schema::Prepare(db, &error);
        QSqlQuery(db.Connection())
            .exec("INSERT INTO tblLeser (strBezeichnung, strLeserTyp) VALUES ('Tor','Kite'),('Halle','Heron')");
    }
    return std::make_unique<CFerrold_Handler>(g_language, CDatabase::Source{CDatabase::Kind::Sqlite, file});
}

QString number(int i)
{
    return QStringLiteral("%1").arg(i, 10, 16, QChar('0')).toUpper();
}

// Accepted transponder lines: number, person, schema, two readers.
QStringList transponderLines(int count)
{
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines << number(i + 1) + QStringLiteral(";Person %1;Vollzugriff;Tor;Halle").arg(i);
    return lines;
}

void BM_ImportTransponders(benchmark::State& state)
{
    const QStringList lines = transponderLines(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto db = newDatabase(newDatabaseFile());
        state.ResumeTiming();
        CCsvImporter importer(*db, g_language, CCsvImporter::Transponders);
        importer.Write(lines);
        if (importer.Written() != lines.size())
            state.SkipWithError("not every line was written");
    }
}
BENCHMARK(BM_ImportTransponders)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same reading of a file as the import command does, then the writes.
void BM_ImportTransponderFile(benchmark::State& state)
{
    const QString path = g_folder->filePath(QStringLiteral("import.csv"));
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        for (const QString& line : transponderLines(int(state.range(0))))
            file.write(CCsvFormat::EncodeLine(QStringLiteral("Transponder;") + line));
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto db = newDatabase(newDatabaseFile());
        state.ResumeTiming();
        CCsvLineReader reader(path);
        reader.Open();
        QStringList accepted;
        QString line;
        QString rest;
        bool tooLong = false;
        while (reader.ReadLine(&line, &tooLong)) {
            if (CCsvImporter::AcceptLine(CCsvImporter::Transponders, line, &rest))
                accepted << rest;
        }
        CCsvImporter importer(*db, g_language, CCsvImporter::Transponders);
        importer.Write(accepted);
    }
}
BENCHMARK(BM_ImportTransponderFile)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: the same rows (transponder, person, the link between them)
// with prepared statements in one transaction.
void BM_PlainSqliteInsert(benchmark::State& state)
{
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        const QString file = newDatabaseFile();
        newDatabase(file).reset();
        CDatabase db({CDatabase::Kind::Sqlite, file});
        QSqlDatabase connection = db.Connection();
        state.ResumeTiming();
        db.BeginTrans();
        QSqlQuery transponder(connection);
        transponder.prepare("INSERT INTO tblTransponder (strTransponderNummer, strLeser_IDS, boolUpdateOK,"
                            " Zeitfenster_ID) VALUES (?, '1;2;', 1, 1)");
        QSqlQuery person(connection);
        person.prepare("INSERT INTO tblPerson (strName, Transponder_ID) VALUES (?, ?)");
        QSqlQuery link(connection);
        link.prepare("UPDATE tblTransponder SET Person_ID = ? WHERE ID_Transponder = ?");
        for (int i = 0; i < count; ++i) {
            transponder.addBindValue(number(i + 1));
            transponder.exec();
            const QVariant t = transponder.lastInsertId();
            person.addBindValue(QStringLiteral("Person %1").arg(i));
            person.addBindValue(t);
            person.exec();
            link.addBindValue(person.lastInsertId());
            link.addBindValue(t);
            link.exec();
        }
        db.CommitTrans();
    }
}
BENCHMARK(BM_PlainSqliteInsert)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

void exportTo(benchmark::State& state, int choice, CFerrold_Handler& db)
{
    const CCsvExporter exporter(g_language);
    const QString path = g_folder->filePath(QStringLiteral("export.csv"));
    for (auto _ : state) {
        CSafeFile file(path);
        file.Open();
        const CCsvExporter::LineSink sink = [&file](const QString& line) {
            return file.Write(CCsvFormat::EncodeLine(line));
        };
        const bool ok = choice == CCsvExporter::Events ? exporter.ExportEvents(db, sink)
                                                       : exporter.ExportTransponders(db, sink);
        if (!ok || !file.Commit())
            state.SkipWithError("the export failed");
    }
}

void BM_ExportEvents(benchmark::State& state)
{
    const QString file = newDatabaseFile();
    auto db = newDatabase(file);
    CCsvImporter(*db, g_language, CCsvImporter::Transponders).Write(transponderLines(1000));
    QSqlQuery(db->GetDatabase()->Connection())
        .exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)"
                             " INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1,"
                             " strEvent1, strBinaerwert2, strEvent2, Leser_ID, strLeserName)"
                             " SELECT printf('%010X', i % 1200 + 1), '24121999', '2359', '01', 'Zutritt',"
                             " '10', 'Tür zu', 1, 'Tor' FROM n")
                  .arg(state.range(0)));
    db->Get_Ptr_To_tblEvents()->_Requery();
    exportTo(state, CCsvExporter::Events, *db);
}
BENCHMARK(BM_ExportEvents)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ExportTransponders(benchmark::State& state)
{
    auto db = newDatabase(newDatabaseFile());
    CCsvImporter(*db, g_language, CCsvImporter::Transponders).Write(transponderLines(int(state.range(0))));
    exportTo(state, CCsvExporter::Transponders, *db);
}
BENCHMARK(BM_ExportTransponders)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    g_folder = &folder;
    CLanguageHandler language(0, QString());
    g_language = &language;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
