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
#include "BenchFixture.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CQuandorApp.h"
#include "CZeitschemaDlg.h"
#include "CZeitschemaStore.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <QSqlQuery>
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

void fillDatabase(CDatabase& db, QSqlQuery&)
{
    // Four rows a schema from schema 2 on; the program's own is schema 1.
    bench::InsertRows(db, "INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis, boolMontag)"
                          " VALUES (?,?,'0700','1800',1)",
                      4 * (kSchemas - 1), [](int i) {
                          const int schema = 2 + (i - 1) / 4;
                          return QVariantList{identityOf(schema) + (i - 1) % 4, QStringLiteral("Plan %1").arg(schema)};
                      });
    bench::InsertReaders(db, kReaders);
    bench::InsertRows(db, "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Zeitfenster_ID, strLeser_IDS)"
                          " VALUES (?,?,?,?)",
                      kTransponders, [](int i) {
                          return QVariantList{i, QStringLiteral("%1").arg(i, 10, 16, QChar('0')).toUpper(),
                                              i % 2 == 0 ? identityOf(kUsedSchema) : identityOf(2 + i % (kUsedSchema - 2)),
                                              QStringLiteral("%1;%2").arg(1 + i % kReaders).arg(1 + (i * 7) % kReaders)};
                      });
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
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    bench::Program program(argc, argv);
    if (!program.Start(fillDatabase))
        return 1;
    CQuandorApp& app = program.App();
    CFerrold_Handler* db = app.GetDBHandler();
    std::printf("%d schemas, %d transponders, %d readers; median of %d\n", kSchemas, kTransponders,
                kReaders, repetitions);

    std::vector<double> overview, one, edit, remove, floor;
    int users = 0;
    for (int i = 0; i < db->Get_Ptr_To_tblTransponder()->GetAnz_Transponder(); ++i)
        users += db->Get_Ptr_To_tblTransponder()->Get_Transponder(i)->Zeitfenster_ID == identityOf(kUsedSchema);
    std::printf("the schema changed is used by %d transponders\n", users);
    CZeitschemaDlg view(app.Context());
    view.resize(1000, 700);
    for (int rep = 0; rep < repetitions; ++rep) {
        overview.push_back(bench::Millis([&] { view.ShowSchemas(0); }));
        one.push_back(bench::Millis([&] { view.ShowSchemas(kUsedSchema); }));

        restore(db);
        CZeitschemaStore store(db);
        const int schema = store.SchemaOfIdentity(identityOf(kUsedSchema));
        edit.push_back(bench::Millis([&] {
            if (!store.StoreCell(schema, 2, 14, QStringLiteral("1")) || store.MarkedTransponders() != users)
                std::printf("edit failed: %d marked, %s\n", store.MarkedTransponders(),
                            qPrintable(store.LastError()));
        }));

        restore(db);
        view.ShowSchemas(0);
        remove.push_back(bench::Millis([&] {
            CZeitschemaStore deleting(db);
            const auto outcome = deleting.Delete({identityOf(kUsedSchema)});
            view.FillGrid(CZeitschemaDlg::kGridId, CZeitschemaDlg::kColumns);
            if (outcome.deleted.size() != 1 || deleting.MarkedTransponders() != users)
                std::printf("delete failed: %d deleted, %d marked\n", int(outcome.deleted.size()),
                            deleting.MarkedTransponders());
        }));

        restore(db);
        floor.push_back(bench::Millis([&] {
            QSqlQuery q(db->GetDatabase()->Connection());
            q.exec("BEGIN");
            q.exec(QStringLiteral("UPDATE tblTransponder SET Zeitfenster_ID = 1, boolUpdateOK = 1"
                                  " WHERE Zeitfenster_ID = %1")
                       .arg(identityOf(kUsedSchema)));
            q.exec("COMMIT");
        }));
    }
    const auto median = [](std::vector<double>& times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    const double overviewMs = median(overview), oneMs = median(one), editMs = median(edit), removeMs = median(remove),
                 floorMs = median(floor);
    std::printf("fill overview   %8.2f ms\n", overviewMs);
    std::printf("fill one schema %8.2f ms\n", oneMs);
    std::printf("window edit     %8.2f ms   (%.2f x floor)\n", editMs, editMs / floorMs);
    std::printf("delete schema   %8.2f ms   (%.2f x floor)\n", removeMs, removeMs / floorMs);
    std::printf("floor (UPDATE)  %8.2f ms\n", floorMs);
    app.ExitInstance();
    return 0;
}
