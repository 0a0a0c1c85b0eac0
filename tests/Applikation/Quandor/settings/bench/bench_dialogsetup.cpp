// Layout store: lookups and stores as the grids make them, creation of many
// columns, and saving and reading a large file.
#include "CDialogSetup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void report(const char* what, qint64 nanoseconds, long operations)
{
    std::printf("%-44s %10.1f ns/op  (%ld ops, %.1f ms)\n", what, double(nanoseconds) / double(operations),
                operations, double(nanoseconds) / 1e6);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QString views[] = {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"),
                             QStringLiteral("04"), QStringLiteral("05")};
    const QString grid = QStringLiteral("0");

    CDialogSetup store(folder.path());
    if (!store.OpenFile(QStringLiteral("DialogSetup.xml")))
        return 1;

    QStringList columns;
    for (int c = 0; c < 100; ++c)
        columns << QString::number(c);

    QElapsedTimer clock;
    constexpr long kRounds = 2000;
    clock.start();
    long ops = 0;
    for (long round = 0; round < kRounds; ++round)
        for (const QString& view : views)
            for (const QString& column : columns) {
                store.SetColumnWidth(view, grid, column, int(round));
                ++ops;
            }
    report("SetColumnWidth, 5 views x 100 columns", clock.nsecsElapsed(), ops);

    clock.restart();
    ops = 0;
    long sum = 0;
    for (long round = 0; round < kRounds; ++round)
        for (const QString& view : views)
            for (const QString& column : columns) {
                sum += store.GetColumnWidth(view, grid, column);
                ++ops;
            }
    report("GetColumnWidth, 5 views x 100 columns", clock.nsecsElapsed(), ops);

    clock.restart();
    for (long i = 0; i < 1000000; ++i)
        sum += store.GetRowHeight(views[i % 5], grid, (i & 1) != 0);
    report("GetRowHeight", clock.nsecsElapsed(), 1000000);

    // One grid with 100,000 columns: creating each must not search the
    // ones before it.
    // The second block must cost per column what the first did.
    constexpr int kWide = 100000;
    clock.restart();
    for (int c = 0; c < kWide / 10; ++c)
        store.SetColumnWidth(QStringLiteral("09"), grid, QString::number(c), c);
    report("SetColumnWidth creating columns 0-9,999", clock.nsecsElapsed(), kWide / 10);
    clock.restart();
    for (int c = kWide / 10; c < kWide; ++c)
        store.SetColumnWidth(QStringLiteral("09"), grid, QString::number(c), c);
    report("SetColumnWidth creating columns 10,000-99,999", clock.nsecsElapsed(), kWide - kWide / 10);

    const QString path = store.GetPath();
    clock.restart();
    store.Save();
    std::printf("%-44s %10.1f ms\n", "Save of 100,500 columns", double(clock.nsecsElapsed()) / 1e6);

    CDialogSetup again(folder.path());
    clock.restart();
    if (!again.OpenFile(QStringLiteral("DialogSetup.xml")))
        return 1;
    std::printf("%-44s %10.1f ms\n", "OpenFile of 100,500 columns", double(clock.nsecsElapsed()) / 1e6);
    if (again.GetColumnWidth(QStringLiteral("09"), grid, QString::number(kWide - 1)) != kWide - 1)
        return 1;
    std::printf("(checksum %ld)\n", sum);
    return 0;
}
