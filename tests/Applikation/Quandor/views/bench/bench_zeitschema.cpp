// bench_zeitschema: the time-schema view with 100 schemas, 10,000
// transponders and 200 readers.
//   overview     - the fill of the overview (one row per schema)
//   one schema   - the fill of one schema's four windows
//   edit         - a window edit of a schema used by 5,000 transponders
//                  (the schema, its transponders and their readers marked)
//   delete       - deleting that schema: its rows, its transponders moved to
//                  full access and marked, their readers marked, the caches
//                  and the view following
//   floor        - the same transponder rows changed by one plain SQL UPDATE
//                  in one transaction, measured in the same run
// Usage: bench_zeitschema [repetitions]
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Schema.h"
#include "CQuandorApp.h"
#include "CZeitschemaDlg.h"
#include "CZeitschemaStore.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <cstdio>
#include <functional>

namespace {

constexpr int kSchemas = 100;
constexpr int kTransponders = 10000;
constexpr int kReaders = 200;
// Schema 51's transponders: every second one.
constexpr int kUsedSchema = 51;

qint32 identityOf(int schema)
{
    return 4 * (schema - 1) + 1;
}

void fillDatabase(const QString& file)
{
    CDatabase db({CDatabase::Kind::Sqlite, file});
    QString error;
    CFerrold_Schema::Prepare(db, &error);
    QSqlQuery q(db.Connection());
    q.exec("BEGIN");
    QSqlQuery s(db.Connection());
    s.prepare("INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis, boolMontag)"
              " VALUES (?,?,'0700','1800',1)");
    for (int schema = 2; schema <= kSchemas; ++schema) {
        for (int r = 0; r < 4; ++r) {
            s.addBindValue(identityOf(schema) + r);
            s.addBindValue(QStringLiteral("Plan %1").arg(schema));
            s.exec();
        }
    }
    QSqlQuery l(db.Connection());
    l.prepare("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (?,?,'Kite')");
    for (int reader = 1; reader <= kReaders; ++reader) {
        l.addBindValue(reader);
        l.addBindValue(QStringLiteral("Leser %1").arg(reader));
        l.exec();
    }
    QSqlQuery t(db.Connection());
    t.prepare("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Zeitfenster_ID, strLeser_IDS)"
              " VALUES (?,?,?,?)");
    for (int i = 1; i <= kTransponders; ++i) {
        t.addBindValue(i);
        t.addBindValue(QStringLiteral("%1").arg(i, 10, 16, QChar('0')).toUpper());
        t.addBindValue(i % 2 == 0 ? identityOf(kUsedSchema) : identityOf(2 + i % (kUsedSchema - 2)));
        t.addBindValue(QStringLiteral("%1;%2").arg(1 + i % kReaders).arg(1 + (i * 7) % kReaders));
        t.exec();
    }
    q.exec("COMMIT");
}

double millis(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Puts the deleted schema back (rows and users, nothing marked) and reads
// the caches again: the next repetition starts from the same state.
void restore(CFerrold_Handler* db)
{
    QSqlQuery q(db->GetDatabase()->Connection());
    q.exec("BEGIN");
    q.exec(QStringLiteral("DELETE FROM tblZeitschema WHERE ID_Zeitschema BETWEEN %1 AND %2")
               .arg(identityOf(kUsedSchema))
               .arg(identityOf(kUsedSchema) + 3));
    for (int r = 0; r < 4; ++r)
        q.exec(QStringLiteral("INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis, boolMontag)"
                              " VALUES (%1, 'Plan %2', '0700', '1800', 1)")
                   .arg(identityOf(kUsedSchema) + r)
                   .arg(kUsedSchema));
    q.exec(QStringLiteral("UPDATE tblTransponder SET Zeitfenster_ID = %1 WHERE ID_Transponder % 2 = 0")
               .arg(identityOf(kUsedSchema)));
    q.exec("UPDATE tblTransponder SET boolUpdateOK = 0");
    q.exec("UPDATE tblLeser SET boolUpdateOK = 0");
    q.exec("UPDATE tblZeitschema SET boolUpdateOK = 0");
    q.exec("COMMIT");
    db->_RequeryAll();
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir folder;
    qputenv("XDG_DATA_HOME", folder.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 5;
    CQuandorApp app(argc, argv);
    fillDatabase(CFerrold_Schema::DefaultFilePath());
    app.SetLayoutFolder(folder.path());
    if (!app.InitServices())
        return 1;
    CFerrold_Handler* db = app.GetDBHandler();
    std::printf("%d schemas, %d transponders, %d readers; %d repetitions; best of them\n", kSchemas, kTransponders,
                kReaders, repetitions);

    double overview = 1e9, one = 1e9, edit = 1e9, remove = 1e9, floor = 1e9;
    int users = 0;
    for (int i = 0; i < db->Get_Ptr_To_tblTransponder()->GetAnz_Transponder(); ++i)
        users += db->Get_Ptr_To_tblTransponder()->Get_Transponder(i)->Zeitfenster_ID == identityOf(kUsedSchema);
    std::printf("the schema changed is used by %d transponders\n", users);
    CZeitschemaDlg view;
    view.resize(1000, 700);
    for (int rep = 0; rep < repetitions; ++rep) {
        overview = std::min(overview, millis([&] { view.ShowSchemas(0); }));
        one = std::min(one, millis([&] { view.ShowSchemas(kUsedSchema); }));

        restore(db);
        CZeitschemaStore store(db);
        const int schema = store.SchemaOfIdentity(identityOf(kUsedSchema));
        edit = std::min(edit, millis([&] {
            if (!store.StoreCell(schema, 2, 14, QStringLiteral("1")) || store.MarkedTransponders() != users)
                std::printf("edit failed: %d marked, %s\n", store.MarkedTransponders(),
                            qPrintable(store.LastError()));
        }));

        restore(db);
        view.ShowSchemas(0);
        remove = std::min(remove, millis([&] {
            CZeitschemaStore deleting(db);
            const auto outcome = deleting.Delete({identityOf(kUsedSchema)});
            view.FillGrid(CZeitschemaDlg::kGridId, CZeitschemaDlg::kColumns);
            if (outcome.deleted.size() != 1 || deleting.MarkedTransponders() != users)
                std::printf("delete failed: %d deleted, %d marked\n", int(outcome.deleted.size()),
                            deleting.MarkedTransponders());
        }));

        restore(db);
        floor = std::min(floor, millis([&] {
            QSqlQuery q(db->GetDatabase()->Connection());
            q.exec("BEGIN");
            q.exec(QStringLiteral("UPDATE tblTransponder SET Zeitfenster_ID = 1, boolUpdateOK = 1"
                                  " WHERE Zeitfenster_ID = %1")
                       .arg(identityOf(kUsedSchema)));
            q.exec("COMMIT");
        }));
    }
    std::printf("fill overview   %8.2f ms\n", overview);
    std::printf("fill one schema %8.2f ms\n", one);
    std::printf("window edit     %8.2f ms   (%.1f x floor)\n", edit, edit / floor);
    std::printf("delete schema   %8.2f ms   (%.1f x floor)\n", remove, remove / floor);
    std::printf("floor (UPDATE)  %8.2f ms\n", floor);
    app.ExitInstance();
    return 0;
}
