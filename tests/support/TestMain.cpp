#include "TestEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>

// Test programs of the program itself define this (strongly) to run under
// the program's own application object.
__attribute__((weak)) std::unique_ptr<QApplication> CreateTestApplication(int& argc, char** argv)
{
    return std::make_unique<QApplication>(argc, argv);
}

// CTest reports a test that exits with this as skipped (SKIP_RETURN_CODE):
// one that ran nothing but skipped cases proved nothing.
constexpr int kAllSkipped = 77;

// One main for every test program: a private environment, then a GUI
// application object (offscreen unless the caller chose a display), so widget
// tests and plain tests run alike.
int main(int argc, char** argv)
{
    // "--quandor-backend=odbc" runs the database suite through ODBC over the
    // SQLite3 driver, "--quandor-backend=postgres" on the test cluster.
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--quandor-backend=", 18) == 0)
            setenv("QUANDOR_TEST_BACKEND", argv[i] + 18, 1);
    }
    TestEnvironment::Prepare();
    // The driver manager unloads the SQLite3 ODBC driver after each
    // connection; kept loaded, the driver's own leaks can be told by name.
    dlopen("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", RTLD_NOW | RTLD_NODELETE);
    // The driver opens the installer library for the data source's settings
    // and closes it again; kept loaded too, for the same reason.
    dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE);
    if (TestEnvironment::PostgresBackend())
        dlopen("/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so", RTLD_NOW | RTLD_NODELETE);
    int result = 0;
    {
        std::unique_ptr<QApplication> app = CreateTestApplication(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        // Where no PostgreSQL cluster can run here, the server backend's
        // tests are skipped with the reason (CTest reads the mark) instead of
        // failing one by one.
        const QString noServer = TestEnvironment::PostgresBackend() && !GTEST_FLAG_GET(list_tests)
                                     ? TestEnvironment::PostgresUnavailable()
                                     : QString();
        if (!noServer.isEmpty()) {
            std::printf("[  SKIPPED ] no PostgreSQL test cluster: %s\n", qPrintable(noServer));
            result = kAllSkipped;
        } else {
            result = RUN_ALL_TESTS();
            const ::testing::UnitTest& run = *::testing::UnitTest::GetInstance();
            if (result == 0 && run.successful_test_count() == 0 && run.skipped_test_count() > 0)
                result = kAllSkipped;
        }
    }
    TestEnvironment::CleanUp();
    return result;
}
