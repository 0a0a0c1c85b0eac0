// bench_transponder_view: the transponder view at scale, each figure beside
// its floor measured in the same run (the fills stand alone). 10,000
// transponders, 5,000 persons, 200 readers (or as many as asked: 100,000
// transponders and 100,000 persons show whether a fill and a page's paint
// depend on the number of persons).
//   fill all / one reader - ShowForReader and the first page painted
//   person / schema list  - opening the drop-down of a row
//   assign / withdraw all - every transponder given to, then taken from, a
//                           reader that holds none, against the same job
//                           in plain SQL (the stored lists read in the
//                           transaction, one set-based UPDATE or one keyed
//                           UPDATE per row, the cache and grid following)
//   learning              - 1,000 presented tags (new ones, learning on),
//                           the time per tag alone
// Usage: bench_transponder_view [repetitions [transponders persons]]
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

int kTransponders = 10000;
int kPersons = 5000;
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

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (argc > 3) {
        kTransponders = std::max(2600, std::atoi(argv[2]));
        kPersons = std::max(2, std::atoi(argv[3]));
    }
    bench::Program program(argc, argv);
    if (!program.Start(fillDatabase))
        return 1;
    CQuandorApp& app = program.App();
    bench::AnswerBoxes(QMessageBox::Yes);
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
    bench::Report("first page painted", bench::Median(repetitions, nullptr, [&] { bench::Paint(view); }), 0, nullptr);
    // A page whose cells are asked for again (the fill's paint), apart
    // from the fill itself, in the middle of the persons holding a
    // transponder: what a person's text costs to find.
    grid->EnsureCellVisible(kPersons / 4, 1);
    bench::Report("page asked and painted", bench::Median(repetitions, nullptr, [&] {
               grid->Refresh();
               bench::Paint(view);
           }),
           0, nullptr);
    grid->EnsureCellVisible(1, 1);
    bench::Report("fill all, no paint", bench::Median(repetitions, nullptr, [&] { view.ShowForReader(0); }), 0, nullptr);
    bench::Report("fill all", bench::Median(repetitions, nullptr, [&] {
               view.ShowForReader(0);
               bench::Paint(view);
           }),
           0, nullptr);
    bench::Report("fill one reader", bench::Median(repetitions, nullptr, [&] {
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
        bench::Report(column == CTransponderDlg::kPersonColumn ? "person list opens" : "schema list opens", ms, floor,
               "a combo box given the same entries");
        std::printf("  (%d entries)\n", entries);
    }

    // Reader 200 is the last reader column.
    const int column = CTransponderDlg::kFirstReaderColumn + kReaders - 1;
    // The same job in plain SQL, as a program without a store would do it:
    // the stored lists read inside the transaction (another PC may have
    // changed them), the new lists by the same list rule, the rows written
    // (one prepared UPDATE per changed row, or one set-based UPDATE), the
    // reader marked, the cache given the new lists by place and the grid
    // refilled as the view refills it.
    const auto floorJob = [&](bool assign, bool setBased) {
        return bench::Millis([&] {
            CtblTransponder* table = db->Get_Ptr_To_tblTransponder();
            db->GetDatabase()->BeginTrans();
            QSqlQuery read(connection);
            read.setForwardOnly(true);
            read.exec("SELECT ID_Transponder, strLeser_IDS FROM tblTransponder ORDER BY ID_Transponder");
            std::vector<std::pair<qint32, QString>> rows;
            while (read.next())
                rows.emplace_back(read.value(0).toInt(), read.value(1).toString());
            std::vector<char> changed(rows.size(), 0);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const CReaderIdList list(rows[i].second);
                if (list.Holds(200) == assign)
                    continue;
                rows[i].second = (assign ? list.With(200) : list.Without(200)).Text();
                changed[i] = 1;
            }
            QSqlQuery write(connection);
            if (setBased) {
                // Gives the program's lists here: no list holds reader 200
                // before the assign, and each ends in it before the withdraw.
                write.exec(assign ? "UPDATE tblTransponder SET strLeser_IDS = CASE WHEN strLeser_IDS = '' THEN '200'"
                                    " ELSE strLeser_IDS || ';200' END, boolUpdateOK = 1"
                                  : "UPDATE tblTransponder SET strLeser_IDS = substr(strLeser_IDS, 1,"
                                    " length(strLeser_IDS) - 4), boolUpdateOK = 1 WHERE strLeser_IDS LIKE '%;200'");
            } else {
                write.prepare("UPDATE tblTransponder SET strLeser_IDS = ?, boolUpdateOK = 1 WHERE ID_Transponder = ?");
                for (std::size_t i = 0; i < rows.size(); ++i) {
                    if (!changed[i])
                        continue;
                    write.bindValue(0, rows[i].second);
                    write.bindValue(1, rows[i].first);
                    write.exec();
                }
            }
            write.exec("UPDATE tblLeser SET boolUpdateOK = 1 WHERE ID_Leser = 200");
            db->GetDatabase()->CommitTrans();
            for (std::size_t i = 0; i < rows.size(); ++i) {
                auto* row = table->Get_Transponder(int(i));
                row->Leser_IDS = rows[i].second;
                if (changed[i])
                    row->UpdateOK = 1;
            }
            view.m_bKeepColumnWidths = 1;
            view.FillGrid(CTransponderDlg::kGridId, CTransponderDlg::kColumns);
        });
    };
    std::vector<double> assignTimes, withdrawTimes, keyedAssign, keyedWithdraw, setAssign, setWithdraw;
    for (int i = 0; i < repetitions; ++i) {
        view.ContextMenu(column);
        assignTimes.push_back(bench::Millis([&] { view.OnAssignAllTransponders(); }));
        keyedWithdraw.push_back(floorJob(false, false));
        keyedAssign.push_back(floorJob(true, false));
        view.ContextMenu(column);
        withdrawTimes.push_back(bench::Millis([&] { view.OnRemoveAllAssignments(); }));
        setAssign.push_back(floorJob(true, true));
        setWithdraw.push_back(floorJob(false, true));
    }
    const std::size_t mid = std::size_t(repetitions) / 2;
    for (auto* times : {&assignTimes, &withdrawTimes, &keyedAssign, &keyedWithdraw, &setAssign, &setWithdraw})
        std::nth_element(times->begin(), times->begin() + std::ptrdiff_t(mid), times->end());
    bench::Report("assign all", assignTimes[mid], setAssign[mid], "plain SQL: lists read, one set-based UPDATE");
    bench::Report("withdraw all", withdrawTimes[mid], setWithdraw[mid], "plain SQL: lists read, one set-based UPDATE");
    bench::Report("assign all", assignTimes[mid], keyedAssign[mid], "plain SQL: lists read, a keyed UPDATE per row");
    bench::Report("withdraw all", withdrawTimes[mid], keyedWithdraw[mid], "plain SQL: lists read, a keyed UPDATE per row");

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
    bench::Report("learning, per tag", learn / kTags, 0, nullptr);
    std::printf("  (the link polls every %d ms)\n", CLinkTiming().pollSpacingMs);
    std::printf("  (%d of %d stored)\n", stored, kTags);
    app.ExitInstance();
    return 0;
}
