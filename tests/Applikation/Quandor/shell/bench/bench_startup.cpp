// The program's start, as the operator meets it: from the process's start to
// the main window on screen, less the splash's 2000 ms, over the events
// databases bench_event_cache builds (0, 100,000 and 1,000,000 events), and
// the process's peak memory. Each start runs in a process of its own (the
// first read in a process costs more than a warm one, and memory is the
// process's). Goals: within 0.2 s beyond the splash empty, 0.5 s at 100,000
// events, 2 s at 1,000,000.
//
//     bench_event_cache --runs 1      (builds the databases once)
//     bench_startup [--runs 3]
//     bench_startup --start FOLDER    (one start: "beyond-splash-ms total-ms peak-kB")
#include "CAboutDlg.h"
#include "CQuandorApp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QElapsedTimer g_sinceStart;

int start(int argc, char** argv, const QString& dataHome)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dataHome + QStringLiteral("/config")));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    CQuandorApp app(argc, argv);
    app.SetLayoutFolder(dataHome);
    if (!app.InitInstance())
        return 1;
    const qint64 total = g_sinceStart.elapsed();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%lld %lld %ld\n", static_cast<long long>(total - CAboutDlg::kSplashMilliseconds),
                static_cast<long long>(total), usage.ru_maxrss);
    std::fflush(stdout);
    app.ExitInstance();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    g_sinceStart.start();
    if (argc == 3 && QByteArray(argv[1]) == "--start")
        return start(argc, argv, QString::fromLocal8Bit(argv[2]));

    int runs = 3;
    if (argc == 3 && QByteArray(argv[1]) == "--runs")
        runs = std::max(1, atoi(argv[2]));
    const QString databases = QDir::temp().filePath(QStringLiteral("quandor-bench-event-cache"));
    std::printf("%10s %18s %12s %10s\n", "events", "beyond splash ms", "total ms", "peak MB");
    for (int rows : {0, 100000, 1000000}) {
        const QString source = QDir(databases).filePath(QStringLiteral("events-%1.mdb").arg(rows));
        if (!QFile::exists(source)) {
            std::printf("%10d  missing: run bench_event_cache first\n", rows);
            continue;
        }
        std::vector<std::vector<qint64>> figures;
        for (int r = 0; r < runs; ++r) {
            QTemporaryDir home;
            const QString folder = home.path() + QStringLiteral("/Velmora/Quandor");
            QDir().mkpath(folder);
            QFile::copy(source, folder + QStringLiteral("/Quandor.mdb"));
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--start"), home.path()});
            if (!child.waitForFinished(600000) || child.exitCode() != 0)
                qFatal("the start failed");
            std::vector<qint64> f;
            for (const QByteArray& part : child.readAllStandardOutput().trimmed().split(' '))
                f.push_back(part.toLongLong());
            if (f.size() != 3)
                qFatal("the start said nothing");
            figures.push_back(f);
        }
        std::sort(figures.begin(), figures.end());
        const auto& median = figures[figures.size() / 2];
        long peak = 0;
        for (const auto& f : figures)
            peak = std::max(peak, long(f[2]));
        std::printf("%10d %18lld %12lld %10.1f\n", rows, static_cast<long long>(median[0]),
                    static_cast<long long>(median[1]), peak / 1024.0);
        std::fflush(stdout);
    }
    return 0;
}
