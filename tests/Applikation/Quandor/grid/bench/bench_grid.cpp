// bench_grid: the grid's hot paths at 100,000 virtual rows by 15 columns.
//   side by side - the grid and a QTableView over a QAbstractTableModel that
//                 read the same texts, measured alike in one process: first
//                 fill, page repaint, scroll step, jump to the last row, and
//                 the resident memory before and after scrolling end to end
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
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTableView>
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


// ---- side by side with the peer -------------------------------------------

// The texts both sides show, held once so that neither side pays for making
// them: [dataRow][col], data rows counted from 1 as the grid gives them.
class TextTable
{
public:
    TextTable(int rows, int cols) : m_cols(cols), m_texts(std::size_t(rows) * std::size_t(cols))
    {
        for (int row = 1; row < rows; ++row)
            for (int col = 0; col < cols; ++col)
                m_texts[Index(row, col)] = QStringLiteral("r%1c%2").arg(row).arg(col);
    }
    const QString& At(int dataRow, int col) const { return m_texts[Index(dataRow, col)]; }
    // Every odd column of every seventh row has a grey background.
    static bool Grey(int dataRow, int col) { return dataRow % 7 == 0 && col % 2 == 1; }

private:
    std::size_t Index(int row, int col) const { return std::size_t(row) * std::size_t(m_cols) + std::size_t(col); }
    int m_cols;
    std::vector<QString> m_texts;
};

class TableOwner : public QWidget, public CGridNotifyReceiver
{
public:
    explicit TableOwner(const TextTable& texts) : m_texts(texts) {}
    void OnGridDispInfo(GRID_DISPINFO& info) override
    {
        ++requests;
        if (info.dataRow < 1)
            return;
        if (info.hdr.code == GRIDN_GETCELLTEXT)
            info.valueText = m_texts.At(info.dataRow, info.column);
        else if (TextTable::Grey(info.dataRow, info.column))
            info.backColour = 0xB9B9B9;
    }
    long long requests = 0;

private:
    const TextTable& m_texts;
};

// The peer's model: body columns 1.., the grid's header column as the
// vertical header, the same grey cells.
class TableModel : public QAbstractTableModel
{
public:
    TableModel(const TextTable& texts, int rows, int cols) : m_texts(texts), m_rows(rows), m_cols(cols) {}
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_rows - 1; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_cols - 1; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        ++requests;
        const int dataRow = index.row() + 1;
        const int col = index.column() + 1;
        if (role == Qt::DisplayRole)
            return m_texts.At(dataRow, col);
        if (role == Qt::BackgroundRole && TextTable::Grey(dataRow, col))
            return QColor(0xB9, 0xB9, 0xB9);
        return QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole)
            return QVariant();
        return orientation == Qt::Horizontal ? QVariant(QStringLiteral("Column %1").arg(section + 1))
                                             : QVariant(m_texts.At(section + 1, 0));
    }
    mutable long long requests = 0;

private:
    const TextTable& m_texts;
    int m_rows;
    int m_cols;
};

// Counts the paints a viewport really receives, so that no figure is taken
// from an operation that painted nothing.
class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    long long paints = 0;
};

constexpr int kHeaderHeight = 30;
constexpr int kRowHeight = 18;
constexpr int kHeaderColumnWidth = 50;
constexpr int kColumnWidth = 90;
const QSize kViewSize(1000, 700);

// The record views' set-up sequence.
CGridCtrl* SetUpGrid(TableOwner& owner, int rows, int cols)
{
    auto* grid = new CGridCtrl(nullptr, QStringLiteral("01"), QStringLiteral("0"), 0, 0, 0, 0, &owner);
    grid->SetVirtualMode(true);
    grid->SetColumnCount(cols);
    grid->SetRowCount(rows);
    grid->SetFixedRowCount(1);
    grid->SetFixedColumnCount(1);
    grid->SetEvenRowShading(true, 0xDCDCDC);
    grid->SetRowHeight(0, kHeaderHeight, false);
    grid->SetTitleMode(1, QString(), QString());
    grid->SetColumnWidth(0, kHeaderColumnWidth, true, false);
    grid->SetRowHeight(1, kRowHeight, false);
    for (int col = 0; col < cols; ++col) {
        grid->GetCell(0, col);
        grid->SetColumnTitle(col, QStringLiteral("Column %1").arg(col));
        grid->SetColumnItemData(col, col % 2);
        if (col > 0)
            grid->SetColumnWidth(col, kColumnWidth, true, false);
    }
    grid->setGeometry(QRect(QPoint(0, 0), kViewSize));
    return grid;
}

// The peer in the same look: fixed sizes (a header sized to its contents
// would measure 100,000 rows), alternating shading.
QTableView* SetUpPeer(QWidget& host, TableModel& model)
{
    auto* view = new QTableView(&host);
    view->setModel(&model);
    view->setAlternatingRowColors(true);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* rowsHeader = view->verticalHeader();
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowsHeader->setMinimumSectionSize(1);
    rowsHeader->setDefaultSectionSize(kRowHeight);
    rowsHeader->setFixedWidth(kHeaderColumnWidth);
    QHeaderView* colsHeader = view->horizontalHeader();
    colsHeader->setMinimumSectionSize(1);
    colsHeader->setDefaultSectionSize(kColumnWidth);
    colsHeader->setFixedHeight(kHeaderHeight);
    view->setGeometry(QRect(QPoint(0, 0), kViewSize));
    return view;
}

struct Side
{
    QAbstractScrollArea* area;
    std::function<long long()> requests;
    PaintCounter counter;
};

// Every step of the way from the top to the bottom, one page at a time,
// with its paint and a turn of the event loop as a user's scrolling has.
int ScrollEndToEnd(QAbstractScrollArea* area)
{
    QScrollBar* bar = area->verticalScrollBar();
    bar->setValue(0);
    int steps = 0;
    while (bar->value() < bar->maximum()) {
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        area->viewport()->repaint();
        QCoreApplication::processEvents();
        ++steps;
    }
    bar->setValue(0);
    area->viewport()->repaint();
    QCoreApplication::processEvents();
    return steps;
}

void BenchSideBySide(int rows, int cols, int repetitions)
{
    const TextTable texts(rows, cols);
    TableOwner owner(texts);
    owner.resize(kViewSize);
    owner.show();
    TableModel model(texts, rows, cols);
    QWidget host;
    host.resize(kViewSize);
    host.show();
    QCoreApplication::processEvents();
    std::printf("\nside by side: %d rows x %d columns (virtual grid) and QTableView over a QAbstractTableModel\n"
                "of the same texts, viewport %dx%d, rows %d px, columns %d px, medians of %d rounds\n",
                rows - 1, cols, kViewSize.width(), kViewSize.height(), kRowHeight, kColumnWidth, repetitions);

    // Memory first, before the timings' allocations blur it: each side's
    // resident set once it shows its first page, after scrolling end to end,
    // and after doing it again.
    struct Memory
    {
        double start, afterOne, afterTwo;
        int steps;
    };
    auto memoryOf = [](QAbstractScrollArea* area) {
        area->show();
        area->viewport()->repaint();
        QCoreApplication::processEvents();
        Memory memory{ResidentMegabytes(), 0, 0, 0};
        memory.steps = ScrollEndToEnd(area);
        memory.afterOne = ResidentMegabytes();
        ScrollEndToEnd(area);
        memory.afterTwo = ResidentMegabytes();
        return memory;
    };
    CGridCtrl* grid = SetUpGrid(owner, rows, cols);
    const Memory gridMemory = memoryOf(grid);
    const std::size_t cacheAfterScroll = grid->DisplayCacheSize();
    QTableView* peer = SetUpPeer(host, model);
    const Memory peerMemory = memoryOf(peer);

    // First fill: set-up alone, and until the first page is painted.
    std::vector<double> fillGrid, fillPeer, firstGrid, firstPeer;
    delete grid;
    delete peer;
    QCoreApplication::processEvents();
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        grid = SetUpGrid(owner, rows, cols);
        fillGrid.push_back(double(timer.nsecsElapsed()) / 1e6);
        grid->show();
        grid->viewport()->repaint();
        firstGrid.push_back(double(timer.nsecsElapsed()) / 1e6);
        delete grid;
        QCoreApplication::processEvents();

        timer.restart();
        peer = SetUpPeer(host, model);
        fillPeer.push_back(double(timer.nsecsElapsed()) / 1e6);
        peer->show();
        peer->viewport()->repaint();
        firstPeer.push_back(double(timer.nsecsElapsed()) / 1e6);
        delete peer;
        QCoreApplication::processEvents();
    }

    grid = SetUpGrid(owner, rows, cols);
    peer = SetUpPeer(host, model);
    Side sides[2] = {{grid, [&]() { return owner.requests; }, {}}, {peer, [&]() { return model.requests; }, {}}};
    for (Side& side : sides) {
        side.area->show();
        side.area->viewport()->installEventFilter(&side.counter);
        QScrollBar* bar = side.area->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        side.area->viewport()->repaint();
    }
    QCoreApplication::processEvents();

    struct Operation
    {
        const char* name;
        std::function<void(Side&)> prepare;  // untimed
        std::function<void(Side&)> run;
        std::vector<double> times[2];
        long long requests[2] = {0, 0};
        bool unpainted = false;
    };
    auto bar = [](Side& side) { return side.area->verticalScrollBar(); };
    auto repaint = [](Side& side) { side.area->viewport()->repaint(); };
    auto nothing = [](Side&) {};
    std::vector<Operation> operations;
    operations.push_back({"page repaint", nothing, repaint, {}});
    // The peer asks its model on every paint anyway; the grid only after a
    // Refresh.
    operations.push_back({"page repaint, grid refreshed first", nothing,
                          [&](Side& side) {
                              if (&side == &sides[0])
                                  grid->Refresh();
                              repaint(side);
                          },
                          {}});
    operations.push_back({"scroll step (one row) + repaint", nothing,
                          [&](Side& side) {
                              bar(side)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
                              repaint(side);
                          },
                          {}});
    operations.push_back({"page step + repaint", nothing,
                          [&](Side& side) {
                              bar(side)->triggerAction(QAbstractSlider::SliderPageStepAdd);
                              repaint(side);
                          },
                          {}});
    operations.push_back({"jump top -> last row + repaint",
                          [&](Side& side) {
                              bar(side)->setValue(0);
                              repaint(side);
                          },
                          [&](Side& side) {
                              bar(side)->setValue(bar(side)->maximum());
                              repaint(side);
                          },
                          {}});
    operations.push_back({"ensure last row visible + repaint",
                          [&](Side& side) {
                              bar(side)->setValue(0);
                              repaint(side);
                          },
                          [&](Side& side) {
                              if (&side == &sides[0])
                                  grid->EnsureCellVisible(rows - 1, cols - 1);
                              else
                                  peer->scrollTo(model.index(rows - 2, cols - 2));
                              repaint(side);
                          },
                          {}});
    // Middle positions again for the steps, so both scroll through rows
    // they have not shown yet.
    auto toMiddle = [&]() {
        for (Side& side : sides) {
            bar(side)->setValue(bar(side)->maximum() / 3);
            repaint(side);
        }
        QCoreApplication::processEvents();
    };
    for (Operation& operation : operations) {
        toMiddle();
        // Round by round, so a busy machine slows both sides alike.
        for (int i = 0; i < repetitions; ++i) {
            for (int s = 0; s < 2; ++s) {
                Side& side = sides[s];
                operation.prepare(side);
                QCoreApplication::processEvents();
                const long long paints = side.counter.paints;
                const long long requests = side.requests();
                QElapsedTimer timer;
                timer.start();
                operation.run(side);
                operation.times[s].push_back(double(timer.nsecsElapsed()) / 1e6);
                operation.requests[s] += side.requests() - requests;
                if (side.counter.paints == paints)
                    operation.unpainted = true;
                QCoreApplication::processEvents();
            }
        }
    }

    if (!qEnvironmentVariableIsEmpty("QUANDOR_SCREENSHOT_DIR")) {
        const QString folder = qEnvironmentVariable("QUANDOR_SCREENSHOT_DIR");
        grid->grab().save(folder + QStringLiteral("/bench-grid.png"));
        peer->grab().save(folder + QStringLiteral("/bench-peer.png"));
    }

    auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    std::printf("%-36s %10s %10s %10s %14s %14s\n", "operation", "grid ms", "peer ms", "grid/peer",
                "grid requests", "peer data()");
    std::printf("%-36s %10.3f %10.3f %10.2f\n", "first fill (set-up)", median(fillGrid), median(fillPeer),
                median(fillGrid) / median(fillPeer));
    std::printf("%-36s %10.3f %10.3f %10.2f\n", "first fill + first page painted", median(firstGrid),
                median(firstPeer), median(firstGrid) / median(firstPeer));
    for (const Operation& operation : operations) {
        const double ours = median(operation.times[0]);
        const double theirs = median(operation.times[1]);
        std::printf("%-36s %10.3f %10.3f %10.2f %14.1f %14.1f%s\n", operation.name, ours, theirs, ours / theirs,
                    double(operation.requests[0]) / repetitions, double(operation.requests[1]) / repetitions,
                    operation.unpainted ? "   (a run painted nothing!)" : "");
    }
    std::printf("resident memory (MB)                  start  after 1 pass  after 2 passes  (pages per pass)\n");
    std::printf("  grid                           %10.1f %13.1f %15.1f   %d\n", gridMemory.start, gridMemory.afterOne,
                gridMemory.afterTwo, gridMemory.steps);
    std::printf("  peer                           %10.1f %13.1f %15.1f   %d\n", peerMemory.start, peerMemory.afterOne,
                peerMemory.afterTwo, peerMemory.steps);
    std::printf("grid display cache after scrolling end to end: %zu copies\n", cacheAfterScroll);
    delete grid;
    delete peer;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100001;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    const int cols = 15;
    // First, while the process's memory is fresh: its resident set is one
    // of the figures.
    BenchSideBySide(rows, cols, std::max(repetitions / 2, 9));

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
    delete grid;
    return 0;
}
