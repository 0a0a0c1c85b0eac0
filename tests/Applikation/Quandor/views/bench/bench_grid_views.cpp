// bench_grid_views: what the record views do to their grids at 100,000 rows,
// each beside its floor, measured in the same run.
//   first typing  - SetCellType on every row of one column (a cell type per
//                   row, as a view marks single cells), against the same count
//                   of plain vector appends of new cells (and of ints)
//   selection walk - GetItemState of every row, as the reader list and the
//                   time-schema view look for the selected rows, against the
//                   walk over IsCellSelected
//   refill        - a view's refill in which the column count changes (one
//                   reader fewer), against the first fill of a new grid
// Usage: bench_grid_views [rows] [repetitions]
#include "CGridBaseDlg.h"
#include "CGridCellCheck.h"
#include "CGridCtrl.h"
#include "NullContext.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace
{

// A record view in miniature: number, three text columns, one check column
// per reader; the first three columns grey.
// The view runs outside the program: nothing around it.
CAppContext& Outside()
{
    static NullContext context;
    return context;
}

class BenchView : public CGridBaseDlg
{
public:
    BenchView() : CGridBaseDlg(Outside()) {}

    void Fill(int rows, int readers)
    {
        InitGrid(QStringLiteral("05"), 1005, 4 + readers, rows);
        CGridCtrl* grid = GetGrid();
        for (int col = 1; col < 4; ++col)
            SetupColumn(col, QStringLiteral("Column %1").arg(col), 90, true, col < 3);
        for (int col = 4; col < 4 + readers; ++col) {
            grid->SetColumnCellType(col, &CGridCellCheck::GetThisClass());
            SetupColumn(col, QStringLiteral("Reader %1").arg(col - 3), 50, true, true);
        }
        grid->Refresh();
    }
    long long requests = 0;

protected:
    void OnGetCellText(GRID_DISPINFO* info) override
    {
        ++requests;
        if (info->row < 1)
            return;
        info->valueText = info->column >= 4 ? QStringLiteral("%1").arg((info->dataRow + info->column) % 2)
                                            : QStringLiteral("r%1c%2").arg(info->dataRow).arg(info->column);
    }
    void OnGetCellColor(GRID_DISPINFO* info) override
    {
        if (info->column < 3)
            SetCellColors(true, info, 0xB9B9B9, 0);
    }
};

void Paint(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_RGB32);
    widget.render(&image);
}

// A view as the main window shows it: sized, laid out, its grid visible.
std::unique_ptr<BenchView> ShownView()
{
    auto view = std::make_unique<BenchView>();
    view->resize(900, 500);
    view->show();
    QApplication::processEvents();
    return view;
}

struct Figure
{
    double medianMs = 0;
    double maxMs = 0;
};

// Each run gets a fresh set-up that is not timed.
Figure Measure(int repetitions, const std::function<void()>& prepare, const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    if (qEnvironmentVariableIsSet("BENCH_RUNS")) {
        for (double t : times)
            std::printf(" %.1f", t);
        std::printf("\n");
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

void Print(const char* name, const Figure& figure, const Figure* floor = nullptr)
{
    std::printf("  %-44s median %9.3f ms   max %9.3f ms", name, figure.medianMs, figure.maxMs);
    if (floor && floor->medianMs > 0)
        std::printf("   ratio %6.1f", figure.medianMs / floor->medianMs);
    std::printf("\n");
}

void BenchTyping(int rows, int repetitions)
{
    std::printf("first typing of every row (%d rows)\n", rows - 1);
    std::unique_ptr<BenchView> view;
    int typed = 0;
    const Figure typing = Measure(
        repetitions,
        [&]() {
            view = std::make_unique<BenchView>();
            view->Fill(rows, 2);
            // Cells retired by the previous run are freed now, not timed.
            QApplication::processEvents();
        },
        [&]() {
            CGridCtrl* grid = view->GetGrid();
            typed = 0;
            for (int row = 1; row < rows; ++row)
                typed += grid->SetCellType(row, 2, &CGridCellCheck::GetThisClass()) ? 1 : 0;
        });
    std::vector<std::unique_ptr<CGridCellBase>> cells;
    const Figure cellFloor = Measure(
        repetitions, [&]() { cells.clear(); },
        [&]() {
            for (int row = 1; row < rows; ++row)
                cells.push_back(std::make_unique<CGridCellCheck>());
        });
    std::vector<int> ints;
    const Figure intFloor = Measure(
        repetitions, [&]() { ints = std::vector<int>(); },
        [&]() {
            for (int row = 1; row < rows; ++row)
                ints.push_back(row);
        });
    Print("SetCellType, every row once", typing, &cellFloor);
    Print("floor: vector appends of new cells", cellFloor);
    Print("floor: vector appends of ints", intFloor);
    std::printf("  rows typed %d; ratio to the int appends %.1f\n", typed,
                typing.medianMs / std::max(intFloor.medianMs, 1e-6));
}

void BenchSelectionWalk(int rows, int repetitions)
{
    std::printf("selection walk (%d rows)\n", rows - 1);
    std::unique_ptr<BenchView> shown = ShownView();
    BenchView& view = *shown;
    view.Fill(rows, 3);
    QApplication::processEvents();
    CGridCtrl* grid = view.GetGrid();
    QList<uint> chosen;
    for (int row = 1; row < rows; row += 997)
        chosen.append(uint(row));
    grid->SelectRows(&chosen);
    Paint(view);
    view.requests = 0;
    int found = 0;
    const Figure walk = Measure(repetitions, nullptr, [&]() {
        found = 0;
        for (int row = 1; row < grid->GetRowCount(); ++row) {
            if (grid->GetItemState(row, 1) & GVIS_SELECTED)
                ++found;
        }
    });
    const long long requests = view.requests;
    const Figure floor = Measure(repetitions, nullptr, [&]() {
        found = 0;
        for (int row = 1; row < grid->GetRowCount(); ++row) {
            if (grid->IsCellSelected(row, 1))
                ++found;
        }
    });
    Print("GetItemState of every row", walk, &floor);
    Print("floor: IsCellSelected of every row", floor);
    std::printf("  selected rows found %d, owner requests during the walks %lld, display copies %zu\n", found,
                requests, grid->DisplayCacheSize());
}

void BenchRefill(int rows, int repetitions)
{
    std::printf("refill with a changed column count (%d rows)\n", rows - 1);
    std::unique_ptr<BenchView> view;
    const Figure first = Measure(
        repetitions,
        [&]() {
            view.reset();
            view = ShownView();
        },
        [&]() {
            view->Fill(rows, 3);
            QApplication::processEvents();
            Paint(*view);
        });
    bool fewer = true;
    view->requests = 0;
    const Figure refill = Measure(
        repetitions,
        nullptr,
        [&]() {
            // One reader fewer, then one more again: every run changes the
            // count.
            view->Fill(rows, fewer ? 2 : 3);
            fewer = !fewer;
            QApplication::processEvents();
            Paint(*view);
        });
    Print("refill, one reader more or fewer", refill, &first);
    Print("floor: first fill of a new grid", first);
    std::printf("  owner requests per refill %.1f, title of column 2 \"%s\", grey: %s\n",
                double(view->requests) / repetitions, qPrintable(view->GetGrid()->GetItemText(0, 2)),
                (view->GetGrid()->GetItemState(1, 2) & GVIS_READONLY) ? "yes" : "no");
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(2, atoi(argv[1]) + 1) : 100001;
    const int repetitions = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
    BenchTyping(rows, repetitions);
    BenchSelectionWalk(rows, repetitions);
    BenchRefill(rows, repetitions);
    return 0;
}
