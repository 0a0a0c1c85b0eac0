// bench_clipboard: the pointer's and the clipboard's paths at 100,000
// virtual rows.
//   hover          - the pointer crossing cells, each one offered the title
//                    tip (half the texts cut off)
//   hover in cell  - moves within one cell (nothing to do)
//   copy row       - Ctrl+C on a selected row
//   paste row      - the copied row onto 100 selected rows
// Usage: bench_clipboard [rows] [repetitions]
#include "CGridCtrl.h"
#include "CGridNotifyReceiver.h"
#include "CTitleTipWnd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWidget>

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
            info.valueText = info.dataRow % 2 ? QStringLiteral("r%1c%2").arg(info.dataRow).arg(info.column)
                                              : QStringLiteral("a text far too long for its column %1").arg(info.dataRow);
    }
    qint64 OnGridNotify(GRID_NOTIFY&) override { return 0; }
    long long requests = 0;
};

void Measure(const char* name, Owner& owner, int repetitions, int perRun, const std::function<void()>& run)
{
    std::vector<double> times;
    const long long before = owner.requests;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e3 / perRun);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-20s median %9.2f us   max %9.2f us   owner requests per step %6.2f\n", name,
                times[times.size() / 2], times.back(), double(owner.requests - before) / repetitions / perRun);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(200, std::atoi(argv[1])) : 100001;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const int cols = 8;

    Owner owner;
    owner.resize(1000, 700);
    auto* grid = new CGridCtrl(nullptr, QStringLiteral("01"), QStringLiteral("0"), 0, 0, 0, 0, &owner);
    grid->SetVirtualMode(true);
    grid->SetListMode(true);
    grid->SetEditable(true);
    grid->SetColumnCount(cols);
    grid->SetRowCount(rows);
    grid->SetFixedRowCount(1);
    grid->SetFixedColumnCount(1);
    grid->SetRowHeight(0, 30, false);
    grid->SetRowHeight(1, 18, false);
    for (int col = 0; col < cols; ++col) {
        grid->GetCell(0, col);
        grid->SetColumnWidth(col, col == 0 ? 50 : 90, true, false);
    }
    grid->setGeometry(0, 0, 1000, 700);
    owner.show();
    grid->setFocus();
    QCoreApplication::processEvents();
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() / 2);
    QCoreApplication::processEvents();

    QWidget* view = grid->viewport();
    auto move = [&](QPoint point) {
        QMouseEvent event(QEvent::MouseMove, point, view->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    };
    // Down a column, one cell per step.
    const int steps = 30;
    Measure("hover", owner, repetitions, steps, [&]() {
        for (int i = 0; i < steps; ++i)
            move(QPoint(100, 40 + 18 * i + 9));
    });
    Measure("hover in cell", owner, repetitions, steps, [&]() {
        for (int i = 0; i < steps; ++i)
            move(QPoint(100 + (i % 10), 40 + 9));
    });

    const int middle = rows / 2;
    const QList<uint> source{uint(middle)};
    QList<uint> targets;
    for (int i = 1; i <= 100; ++i)
        targets.append(uint(middle + i));
    Measure("copy row", owner, repetitions, 1, [&]() {
        grid->SelectRows(&source);
        grid->CopySelectionToClipboard();
    });
    Measure("paste row", owner, repetitions, 1, [&]() {
        grid->SelectRows(&targets);
        grid->PasteClipboard();
    });
    return 0;
}
