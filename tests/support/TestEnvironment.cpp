#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <gtest/gtest.h>
#include <odbcinst.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <grp.h>
#include <unistd.h>

namespace {

std::string g_root;
std::atomic<int> g_folderCount{0};

const char* const kSqliteOdbcDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

void writeText(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(text.toUtf8());
}

// The driver manager keeps the configuration files it has read for the rest
// of the process and reads them again only after a write through its own
// interface: without this, a test would reach the data source of the test
// before it.
void forgetOdbcConfiguration()
{
    SQLSetConfigMode(ODBC_USER_DSN);
    SQLWritePrivateProfileString("QuandorTestNoSuchSource", nullptr, nullptr, "odbc.ini");
}

} // namespace

void TestEnvironment::Prepare()
{
    std::string tmpl = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    tmpl += "/quandor-test-XXXXXX";
    std::string buffer = tmpl;
    if (!mkdtemp(buffer.data()))
        std::abort();
    g_root = buffer;
    const std::string dirs[] = {"config", "data", "cache", "home", "odbc", "runtime"};
    for (const auto& d : dirs)
        QDir().mkpath(QString::fromStdString(g_root + "/" + d));

    setenv("XDG_CONFIG_HOME", (g_root + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (g_root + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (g_root + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (g_root + "/runtime").c_str(), 1);
    chmod((g_root + "/runtime").c_str(), 0700);
    setenv("HOME", (g_root + "/home").c_str(), 1);
    setenv("ODBCINI", (g_root + "/odbc/odbc.ini").c_str(), 1);
    setenv("ODBCSYSINI", (g_root + "/odbc").c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // The system DSN list is private too; only the drivers are shared.
    writeText(QString::fromStdString(g_root + "/odbc/odbcinst.ini"),
              QStringLiteral("[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=%1\n")
                  .arg(QString::fromLatin1(kSqliteOdbcDriver)));
    writeText(QString::fromStdString(g_root + "/odbc/odbc.ini"), QString());
}

void TestEnvironment::CleanUp()
{
    if (!g_root.empty())
        QDir(QString::fromStdString(g_root)).removeRecursively();
}

QString TestEnvironment::Root()
{
    return QString::fromStdString(g_root);
}

QString TestEnvironment::NewFolder(const QString& hint)
{
    const QString path = QStringLiteral("%1/t%2-%3").arg(Root()).arg(++g_folderCount).arg(hint);
    QDir().mkpath(path);
    return path;
}

QString TestEnvironment::SourceDir()
{
    return QStringLiteral(QUANDOR_SOURCE_DIR);
}

void TestEnvironment::WriteOdbcDsn(const QString& name, const QString& dbFile, bool missingDriver)
{
    const QString driver = missingDriver ? QStringLiteral("/nonexistent/libnodriver.so")
                                         : QString::fromLatin1(kSqliteOdbcDriver);
    QFile f(Root() + "/odbc/odbc.ini");
    if (!f.open(QIODevice::Append))
        std::abort();
    QTextStream(&f) << "[" << name << "]\nDriver=" << driver << "\nDatabase=" << dbFile
                    << "\nTimeout=5000\n\n";
    f.close();
    forgetOdbcConfiguration();
}

void TestEnvironment::ClearOdbcDsns()
{
    writeText(Root() + "/odbc/odbc.ini", QString());
    forgetOdbcConfiguration();
}

bool TestEnvironment::RunWithoutRoot(const std::function<bool()>& body)
{
    if (geteuid() != 0)
        return body();
    // The child must be able to read everything below the process's folder;
    // what it may write is left as the test set it.
    const QString root = Root();
    chmod(root.toLocal8Bit().constData(), 0755);
    for (const QString& name : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray path = (root + "/" + name).toLocal8Bit();
        struct stat st{};
        if (stat(path.constData(), &st) == 0)
            chmod(path.constData(), (st.st_mode & 07777) | 0055);
    }
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        const gid_t nobodyGroup = 65534;
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nobodyGroup) != 0 || setuid(nobody) != 0)
            _exit(2);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool TestEnvironment::InFreshProcess()
{
    const char* const kMark = "QUANDOR_TEST_FRESH_PROCESS";
    if (qEnvironmentVariableIsSet(kMark))
        return true;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kMark), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("/proc/self/exe"),
                {QStringLiteral("--gtest_filter=%1.%2").arg(QString::fromLatin1(test->test_suite_name()),
                                                            QString::fromLatin1(test->name()))});
    const bool finished = child.waitForFinished(120000);
    const QByteArray output = child.readAll();
    EXPECT_TRUE(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        << output.toStdString();
    // A filter that matched nothing would pass without running anything.
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    return false;
}
