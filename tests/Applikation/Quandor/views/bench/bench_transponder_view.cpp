// bench_transponder_view: the transponder view at scale, each figure beside
// its floor measured in the same run (the fills stand alone). 10,000
// transponders, 5,000 persons, 200 readers.
//   fill all / one reader - ShowForReader and the first page painted
//   person / schema list  - opening the drop-down of a row
//   assign / withdraw all - every transponder given to, then taken from, a
//                           reader that holds none, against a plain UPDATE
//                           of the same rows in one transaction
//   learning              - 1,000 presented tags (new ones, learning on),
//                           the time per tag alone
// Usage: bench_transponder_view [repetitions]
#include "BenchFixture.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CGridCtrl.h"
#include "CGridEditKey.h"
#include "CQuandorApp.h"
#include "CReaderIdList.h"
#include "CTransponderDlg.h"
#include "CUiMessage.h"
#include "CtblTransponder.h"
#include "GridConstants.h"
#include "CReaderPoller.h"

#include <QComboBox>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kTransponders = 10000;
constexpr int kPersons = 5000;
constexpr int kReaders = 200;
constexpr int kTags = 1000;

void fillDatabase(CDatabase& db, QSqlQuery&)
{
    bench::InsertRows(db, "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES (?,?,'Kite',?)",
                      kReaders, [](int i) {
                          return QVariantList{i, QStringLiteral("Leser %1").arg(i),
                                              QStringLiteral("%1").arg(i, 20, 10, QChar('0'))};
                      });
    // Every transponder at two readers of the first 199; reader 200 holds none.
    bench::InsertRows(db, "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID,"
                          " strLeser_IDS) VALUES (?,?,?,1,?)",
                      kTransponders, [](int i) {
                          return QVariantList{
                              i, QStringLiteral("%1").arg(i, 10, 16, QChar('0')).toUpper(), i <= kPersons / 2 ? i : 0,
                              QStringLiteral("%1;%2").arg(i % (kReaders - 1) + 1).arg((i * 7) % (kReaders - 1) + 1)};
                      });
    bench::InsertPersons(db, kPersons, kPersons / 2);
}

void report(const char* name, double ms, double floor, const char* floorName)
{
    if (floor > 0)
        std::printf("%-22s %9.2f ms   floor %9.2f ms (%s)   ratio %5.2f\n", name, ms, floor, floorName, ms / floor);
    else
        std::printf("%-22s %9.3f ms\n", name, ms);
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    bench::Program program(argc, argv);
    if (!program.Start(fillDatabase))
        return 1;
    CQuandorApp& app = program.App();
    CUiMessage::SetPresenter([](const CUiMessage::Request&) { return QMessageBox::Yes; });
    CFerrold_Handler* db = app.GetDBHandler();
    QSqlDatabase connection = db->GetDatabase()->Connection();
    std::printf("%d transponders, %d persons, %d readers; median of %d\n", kTransponders, kPersons, kReaders,
                repetitions);

    CTransponderDlg view(app.Context());
    view.resize(1000, 700);
    view.ShowForReader(0);
    CGridCtrl* grid = view.GetGrid();
    // A fill has no floor here (repainting a filled grid does not fill it):
    // its time stands alone, beside the paint that is part of it.
    report("first page painted", bench::Median(repetitions, nullptr, [&] { bench::Paint(view); }), 0, nullptr);
    report("fill all", bench::Median(repetitions, nullptr, [&] {
               view.ShowForReader(0);
               bench::Paint(view);
           }),
           0, nullptr);
    report("fill one reader", bench::Median(repetitions, nullptr, [&] {
               view.ShowForReader(5);
               bench::Paint(view);
           }),
           0, nullptr);
    view.ShowForReader(0);

    // Row 2,501 holds no person: offered every free person.
    for (int column : {CTransponderDlg::kPersonColumn, CTransponderDlg::kSchemaColumn}) {
        int entries = 0;
        QStringList texts;
        const double ms = bench::Median(repetitions, [&] { grid->EndActiveEdit(); }, [&] {
            grid->BeginCellEdit(2501, column, QPoint(-1, -1), CGridEditKey::Key(VK_LBUTTON));
            if (auto* list = qobject_cast<QComboBox*>(grid->GetActiveEditor())) {
                entries = list->count();
                texts.clear();
                for (int i = 0; i < list->count(); ++i)
                    texts << list->itemText(i);
            }
        });
        grid->EndActiveEdit();
        const double floor = bench::Median(repetitions, nullptr, [&] {
            QComboBox box;
            for (const QString& text : texts)
                box.addItem(text, text);
        });
        report(column == CTransponderDlg::kPersonColumn ? "person list opens" : "schema list opens", ms, floor,
               "a combo box given the same entries");
        std::printf("  (%d entries)\n", entries);
    }

    // Reader 200 is the last reader column.
    const int column = CTransponderDlg::kFirstReaderColumn + kReaders - 1;
    const auto plainUpdate = [&](bool assign) {
        std::vector<std::pair<qint32, QString>> rows;
        CtblTransponder* table = db->Get_Ptr_To_tblTransponder();
        for (int i = 0; i < table->GetAnz_Transponder(); ++i) {
            const auto* row = table->Get_Transponder(i);
            rows.emplace_back(row->ID_Transponder, assign ? row->Leser_IDS + ";200"
                                                          : CReaderIdList(row->Leser_IDS).Without(200).Text());
        }
        return bench::Millis([&] {
            db->GetDatabase()->BeginTrans();
            QSqlQuery u(connection);
            u.prepare("UPDATE tblTransponder SET strLeser_IDS = ?, boolUpdateOK = 1 WHERE ID_Transponder = ?");
            for (const auto& [key, list] : rows) {
                u.bindValue(0, list);
                u.bindValue(1, key);
                u.exec();
            }
            db->GetDatabase()->CommitTrans();
        });
    };
    // The job at its cheapest: one UPDATE over the table that changes each
    // list in SQL itself (reader 200 appended, or taken off the end where
    // the assign put it), then the grid shown again from the cache.
    const auto setBasedUpdate = [&](bool assign) {
        return bench::Millis([&] {
            db->GetDatabase()->BeginTrans();
            QSqlQuery u(connection);
            u.exec(assign ? "UPDATE tblTransponder SET strLeser_IDS = CASE WHEN strLeser_IDS = '' THEN '200'"
                            " ELSE strLeser_IDS || ';200' END, boolUpdateOK = 1"
                          : "UPDATE tblTransponder SET strLeser_IDS = substr(strLeser_IDS, 1, length(strLeser_IDS) - 4),"
                            " boolUpdateOK = 1 WHERE strLeser_IDS LIKE '%;200'");
            db->GetDatabase()->CommitTrans();
            view.ShowForReader(0);
        });
    };
    std::vector<double> setAssignFloors, setWithdrawFloors;
    std::vector<double> assignTimes, withdrawTimes, assignFloors, withdrawFloors;
    for (int i = 0; i < repetitions; ++i) {
        view.ContextMenu(column);
        assignTimes.push_back(bench::Millis([&] { view.OnAssignAllTransponders(); }));
        withdrawFloors.push_back(plainUpdate(false));
        db->Get_Ptr_To_tblTransponder()->_Requery();
        view.ShowForReader(0);
        assignFloors.push_back(plainUpdate(true));
        db->Get_Ptr_To_tblTransponder()->_Requery();
        view.ShowForReader(0);
        view.ContextMenu(column);
        withdrawTimes.push_back(bench::Millis([&] { view.OnRemoveAllAssignments(); }));
        setAssignFloors.push_back(setBasedUpdate(true));
        setWithdrawFloors.push_back(setBasedUpdate(false));
        db->Get_Ptr_To_tblTransponder()->_Requery();
        view.ShowForReader(0);
    }
    for (auto* times : {&assignTimes, &withdrawTimes, &assignFloors, &withdrawFloors, &setAssignFloors, &setWithdrawFloors})
        std::sort(times->begin(), times->end());
    const std::size_t mid = std::size_t(repetitions) / 2;
    report("assign all", assignTimes[mid], assignFloors[mid], "10,000 keyed UPDATEs, one transaction");
    report("withdraw all", withdrawTimes[mid], withdrawFloors[mid], "10,000 keyed UPDATEs, one transaction");
    report("assign all", assignTimes[mid], setAssignFloors[mid], "one set-based UPDATE and the grid refilled");
    report("withdraw all", withdrawTimes[mid], setWithdrawFloors[mid], "one set-based UPDATE and the grid refilled");

    // Learning on with reader 3's reply; 1,000 new numbers.
    view.m_strReaderReply = QStringLiteral("FFLS%1").arg(3, 20, 10, QChar('0'));
    view.m_bLearningOff = 0;
    const double learn = bench::Millis([&] {
        for (int i = 0; i < kTags; ++i)
            view.AddReceivedTransponders(QStringLiteral("F%1").arg(i, 9, 10, QChar('0')));
    });
    const int stored = db->Get_Ptr_To_tblTransponder()->GetAnz_Transponder() - kTransponders;
    // No floor: the poll spacing is a wait of the link, not work a tag
    // needs; the figure is the program's own time a tag.
    report("learning, per tag", learn / kTags, 0, nullptr);
    std::printf("  (the link polls every %d ms)\n", CLinkTiming().pollSpacingMs);
    std::printf("  (%d of %d stored)\n", stored, kTags);
    app.ExitInstance();
    return 0;
}
