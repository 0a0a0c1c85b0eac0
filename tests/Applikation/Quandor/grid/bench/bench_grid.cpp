// bench_grid: the grid's hot paths at 100,000 virtual rows.
//   first fill  - the record views' set-up sequence of a new grid
//   paint       - a full viewport after Refresh (every visible cell asked for)
//   repaint     - the same viewport from the display cache
//   line step, page step, thumb jump - one scroll and the repaint it causes
//   ensure visible - from the top to the last row
//   selection   - select all, select listed rows, extend by keys, paint
//   sort        - SortByColumn ascending, descending and back, beside the
//                 floor (std::stable_sort of the same texts by the same
//                 comparison) and the peer (QSortFilterProxyModel)
// Usage: bench_grid [rows] [repetitions]
#include "CGridCtrl.h"
#include "CGridNotifyReceiver.h"
#include "CRowSorter.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QWidget>

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{

class Owner : public QWidget, public CGridNotifyReceiver
{
public:
    void OnGridDispInfo(GRID_DISPINFO& info) override
    {
        ++requests;
        if (info.hdr.code == GRIDN_GETCELLTEXT)
            info.valueText = QStringLiteral("r%1c%2").arg(info.dataRow).arg(info.column);
        else if (info.dataRow % 7 == 0)
            info.backColour = 0xB9B9B9;
    }
    long long requests = 0;
};

// Resident memory of the process in MB (Linux), 0 elsewhere.
double ResidentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0;
}

struct Figure
{
    double medianMs;
    double maxMs;
    double requestsPerRun;
};

Figure Measure(Owner& owner, int repetitions, const std::function<void()>& run)
{
    std::vector<double> times;
    const long long before = owner.requests;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back(), double(owner.requests - before) / repetitions};
}

void Print(const char* name, const Figure& figure)
{
    std::printf("%-34s median %8.3f ms   max %8.3f ms   owner requests %8.1f\n", name, figure.medianMs,
                figure.maxMs, figure.requestsPerRun);
}

// A view whose rows are in memory: it answers with the texts it holds, as
// the record views answer from their row caches.
class KeyOwner : public QWidget, public CGridNotifyReceiver
{
public:
    void OnGridDispInfo(GRID_DISPINFO& info) override
    {
        ++requests;
        if (info.hdr.code != GRIDN_GETCELLTEXT || info.dataRow < 1)
            return;
        const QStringList& column = info.column == 2 ? keys : seconds;
        info.valueText = column.value(info.dataRow - 1);
    }
    QStringList keys;
    QStringList seconds;
    long long requests = 0;
};

// The same texts as a model, for the proxy.
class KeyModel : public QAbstractTableModel
{
public:
    explicit KeyModel(const QStringList& keys) : m_keys(keys) {}
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(m_keys.size()); }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(m_keys.at(index.row())) : QVariant();
    }

private:
    QStringList m_keys;
};

void BenchSort(int rows, int repetitions)
{
    // Names from 30,000 distinct ones, so many repeat, and one in twenty
    // empty; a two-digit second key.
    KeyOwner owner;
    QRandomGenerator random(5);
    for (int i = 0; i < rows - 1; ++i) {
        owner.keys.append(random.bounded(20) == 0 ? QString()
                                                  : QStringLiteral("Name %1").arg(random.bounded(30000), 5, 10,
                                                                                  QLatin1Char('0')));
        owner.seconds.append(QStringLiteral("%1").arg(random.bounded(100), 2, 10, QLatin1Char('0')));
    }
    auto* grid = new CGridCtrl(nullptr, QStringLiteral("01"), QStringLiteral("0"), 0, 0, 0, 0, &owner);
    grid->SetVirtualMode(true);
    grid->SetColumnCount(5);
    grid->SetRowCount(rows);
    grid->SetFixedRowCount(1);
    grid->SetFixedColumnCount(1);
    for (int col = 0; col < 5; ++col)
        grid->GetCell(0, col);

    // The floor: std::stable_sort of the texts themselves, already
    // gathered, by the same case-sensitive comparison.
    const std::vector<QString> floorTexts(owner.keys.begin(), owner.keys.end());
    // The sorter alone on the same texts, without the owner's answers.
    std::vector<QStringList> rowTexts;
    rowTexts.reserve(owner.keys.size());
    for (const QString& key : owner.keys)
        rowTexts.push_back({key});
    std::vector<const QStringList*> pointers;
    for (const QStringList& row : rowTexts)
        pointers.push_back(&row);
    std::vector<uint> order;
    // The peer: Qt's own sorting proxy over the same texts, compared the
    // same way (case-sensitive, not locale-aware).
    KeyModel model(owner.keys);
    QSortFilterProxyModel proxy;
    proxy.setSortCaseSensitivity(Qt::CaseSensitive);
    proxy.setSortLocaleAware(false);
    proxy.setSourceModel(&model);

    struct Candidate
    {
        const char* name;
        std::function<void()> run;
        std::vector<double> times;
    };
    std::vector<Candidate> candidates{
        {"SortByColumn ascending", [&]() { grid->SortByColumn(2, 1); }, {}},
        {"SortByColumn descending", [&]() { grid->SortByColumn(2, 2); }, {}},
        {"SortByColumn with second key",
         [&]() {
             grid->SetSecondarySortColumn(3);
             grid->SortByColumn(2, 1);
             grid->SetSecondarySortColumn(0);
         },
         {}},
        {"SortByColumn back to data order", [&]() { grid->SortByColumn(2, 0); }, {}},
        {"sorter alone (texts gathered)", [&]() { CRowSorter::SortRows(&pointers, &order, true); }, {}},
        {"floor: std::stable_sort",
         [&]() {
             std::vector<QString> texts = floorTexts;
             std::stable_sort(texts.begin(), texts.end(), [](const QString& a, const QString& b) {
                 return a.compare(b, Qt::CaseSensitive) < 0;
             });
         },
         {}},
        {"peer: QSortFilterProxyModel",
         [&]() {
             proxy.sort(-1);
             proxy.sort(0, Qt::AscendingOrder);
         },
         {}},
    };
    // Round by round, so a busy machine slows every candidate alike.
    for (int i = 0; i < repetitions; ++i) {
        for (Candidate& candidate : candidates) {
            QElapsedTimer timer;
            timer.start();
            candidate.run();
            candidate.times.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    std::printf("\nsort: %d rows, %d rounds\n", rows - 1, repetitions);
    std::vector<double> medians;
    for (Candidate& candidate : candidates) {
        std::sort(candidate.times.begin(), candidate.times.end());
        medians.push_back(candidate.times[candidate.times.size() / 2]);
        std::printf("%-34s median %8.3f ms   min %8.3f ms\n", candidate.name, medians.back(),
                    candidate.times.front());
    }
    std::printf("ratios of the medians: ascending/floor %.2f, descending/floor %.2f, ascending/peer %.2f\n",
                medians[0] / medians[5], medians[1] / medians[5], medians[0] / medians[6]);
    delete grid;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100001;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    const int cols = 11;

    Owner owner;
    owner.resize(1000, 700);
    CGridCtrl* grid = nullptr;
    const double memoryBefore = ResidentMegabytes();
    const Figure fill = Measure(owner, 1, [&]() {
        grid = new CGridCtrl(nullptr, QStringLiteral("01"), QStringLiteral("0"), 0, 0, 0, 0, &owner);
        grid->SetVirtualMode(true);
        grid->SetColumnCount(cols);
        grid->SetRowCount(rows);
        grid->SetFixedRowCount(1);
        grid->SetFixedColumnCount(1);
        grid->SetEvenRowShading(true, 0xDCDCDC);
        grid->SetRowHeight(0, 30, false);
        grid->SetTitleMode(1, QString(), QString());
        grid->SetColumnWidth(0, 50, true, false);
        grid->SetRowHeight(1, 18, false);
        for (int col = 0; col < cols; ++col) {
            grid->GetCell(0, col);
            grid->SetColumnTitle(col, QStringLiteral("Column %1").arg(col));
            grid->SetColumnItemData(col, col % 2);
            if (col > 0)
                grid->SetColumnWidth(col, 90, true, false);
        }
    });
    grid->setGeometry(0, 0, 1000, 700);
    owner.show();
    QCoreApplication::processEvents();

    QImage image(grid->viewport()->size(), QImage::Format_RGB32);
    auto paint = [&]() { grid->viewport()->render(&image); };
    QScrollBar* bar = grid->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    paint();

    std::printf("bench_grid: %d rows x %d columns, viewport %dx%d, %d repetitions\n", rows, cols,
                grid->viewport()->width(), grid->viewport()->height(), repetitions);
    Print("first fill (set-up sequence)", fill);
    std::printf("memory of the filled grid: %.1f MB\n", ResidentMegabytes() - memoryBefore);
    Print("paint after Refresh", Measure(owner, repetitions, [&]() {
              grid->Refresh();
              paint();
          }));
    Print("repaint from the cache", Measure(owner, repetitions, paint));
    Print("line step down + paint", Measure(owner, repetitions, [&]() {
              bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
              paint();
          }));
    Print("page step down + paint", Measure(owner, repetitions, [&]() {
              bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
              paint();
          }));
    QRandomGenerator random(42);
    Print("thumb jump + paint", Measure(owner, repetitions, [&]() {
              bar->setValue(int(random.bounded(bar->maximum() + 1)));
              paint();
          }));
    Print("ensure last row visible + paint", Measure(owner, repetitions, [&]() {
              bar->setValue(0);
              grid->EnsureCellVisible(rows - 1, cols - 1);
              paint();
          }));
    Print("hit test (cell from point)", Measure(owner, repetitions, [&]() {
              for (int y = 0; y < 700; y += 7)
                  grid->GetCellFromPoint(QPoint(500, y));
          }));
    std::printf("display cache after the run: %zu copies\n", grid->DisplayCacheSize());

    // Selection: the whole table, a list of rows, a keyboard extension.
    const QList<uint> listed = [&]() {
        QList<uint> result;
        for (int row = 1; row < rows; row += std::max(rows / 1000, 1))
            result.append(uint(row));
        return result;
    }();
    grid->SetListMode(true);
    Print("select all + paint", Measure(owner, repetitions, [&]() {
              grid->SelectAllCells();
              paint();
          }));
    Print("select 1,000 listed rows + paint", Measure(owner, repetitions, [&]() {
              grid->SelectRows(&listed);
              paint();
          }));
    Print("clear a full selection", Measure(owner, repetitions, [&]() {
              grid->SelectAllCells();
              grid->SelectRows(nullptr);
          }));
    grid->MoveFocusCell(1, 2);
    grid->setFocus();
    {
        // A plain step sets the anchor the Shift steps extend from.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(grid, &press);
    }
    Print("Shift+Down over a growing selection", Measure(owner, repetitions, [&]() {
              QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
              QApplication::sendEvent(grid, &press);
          }));
    std::printf("selected cells at the end: %lld\n", static_cast<long long>(grid->GetSelectedCount()));

    BenchSort(rows, std::max(repetitions / 5, 5));
    return 0;
}
