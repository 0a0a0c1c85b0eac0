// bench_special_cells: painting a viewport of special cells at 100,000
// virtual rows, each column of one kind (text, check, combo with 200
// entries, check list, option list, button), after Refresh (every cell
// asked for and copied) and from the display cache; then one combo value
// looked up in the 200 entries.
// Usage: bench_special_cells [rows] [repetitions]
#include "CGridCellButton.h"
#include "CGridCellCheck.h"
#include "CGridCellCheckList.h"
#include "CGridCellCombo.h"
#include "CGridCellOptionList.h"
#include "CGridCtrl.h"
#include "CGridNotifyReceiver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

class Owner : public QWidget, public CGridNotifyReceiver
{
public:
    void OnGridDispInfo(GRID_DISPINFO& info) override
    {
        switch (info.column) {
        case 2: info.valueText = info.dataRow % 2 ? QStringLiteral("1") : QStringLiteral("0"); break;
        case 3: info.valueText = QString::number(info.dataRow % 200); break;
        case 4: info.valueText = QStringLiteral("1;3"); break;
        case 5: info.valueText = QStringLiteral("2"); break;
        case 6: info.valueText = QStringLiteral("Set"); break;
        default: info.valueText = QStringLiteral("r%1c%2").arg(info.dataRow).arg(info.column);
        }
    }
};

template <class Cell>
void FillEntries(Cell* cell, int count)
{
    for (int i = 0; i < count; ++i)
        cell->GetItemList().push_back(std::make_unique<CListEntry>(QStringLiteral("Entry %1").arg(i), QString::number(i)));
}

double MillisecondsPer(int repetitions, const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repetitions; ++i)
        work();
    return double(timer.nsecsElapsed()) / 1e6 / repetitions;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100001;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;

    Owner owner;
    owner.resize(1000, 700);
    auto* grid = new CGridCtrl(nullptr, QStringLiteral("03"), QStringLiteral("0"), 0, 0, 0, 0, &owner);
    grid->SetVirtualMode(true);
    grid->SetColumnCount(7);
    grid->SetRowCount(rows);
    grid->SetFixedRowCount(1);
    grid->SetFixedColumnCount(1);
    grid->SetEditable(true);
    grid->SetEvenRowShading(true, 0xDCDCDC);
    grid->SetRowHeight(0, 30, false);
    grid->SetRowHeight(1, 64, false);
    grid->SetColumnCellType(2, &CGridCellCheck::GetThisClass());
    FillEntries(static_cast<CGridCellCombo*>(grid->SetColumnCellType(3, &CGridCellCombo::GetThisClass())), 200);
    FillEntries(static_cast<CGridCellCheckList*>(grid->SetColumnCellType(4, &CGridCellCheckList::GetThisClass())), 4);
    FillEntries(static_cast<CGridCellOptionList*>(grid->SetColumnCellType(5, &CGridCellOptionList::GetThisClass())), 4);
    grid->SetColumnCellType(6, &CGridCellButton::GetThisClass());
    for (int col = 1; col < 7; ++col)
        grid->SetColumnWidth(col, 140, true, false);
    grid->setGeometry(0, 0, 1000, 700);
    owner.show();
    QCoreApplication::processEvents();

    QImage image(grid->viewport()->size(), QImage::Format_RGB32);
    const double fresh = MillisecondsPer(repetitions, [&]() {
        grid->Refresh();
        grid->viewport()->render(&image);
    });
    const double cached = MillisecondsPer(repetitions, [&]() { grid->viewport()->render(&image); });
    CGridCellCombo combo;
    FillEntries(&combo, 200);
    int sink = 0;
    const double lookup = MillisecondsPer(repetitions * 1000, [&]() {
        combo.SetValue(QStringLiteral("199"));
        sink += combo.GetSelectedIndex();
    });
    std::printf("rows %d\n", rows);
    std::printf("paint after Refresh     %8.3f ms\n", fresh);
    std::printf("paint from the cache    %8.3f ms\n", cached);
    std::printf("combo value, 200 items  %8.5f ms (%d)\n", lookup, sink % 2);
    return 0;
}
