// bench_grid: the grid's hot paths at 100,000 virtual rows.
//   first fill  - the record views' set-up sequence of a new grid
//   paint       - a full viewport after Refresh (every visible cell asked for)
//   repaint     - the same viewport from the display cache
//   line step, page step, thumb jump - one scroll and the repaint it causes
//   ensure visible - from the top to the last row
// Usage: bench_grid [rows] [repetitions]
#include "CGridCtrl.h"
#include "CGridNotifyReceiver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
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
    return 0;
}
