#include "RegularExpression.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

// Objects on different threads share the engine's process-wide catalogue
// setting; each must still see only its own catalogue, and validation on one
// thread must never pick up another thread's texts.
TEST(RegularExpressionThreads, ObjectsOnManyThreadsStayApart)
{
    const std::string folder = TestEnvironment::NewFolder(QStringLiteral("threads")).toStdString();
    const std::string german = folder + "/de.cat";
    std::ofstream(german, std::ios::binary) << "251\tLeer\n208\tKlammer\n";
    const std::string damaged = folder + "/bad.cat";
    std::ofstream(damaged, std::ios::binary) << "no entry\n";

    std::atomic<int> failures{0};
    auto work = [&](int thread) {
        for (int round = 0; round < 60; ++round) {
            RegularExpression re;
            const int model = (thread + round) % 3;
            re.SetLocaleModel(RegularExpression::LocaleModels(model));
            const int kind = (thread * 7 + round) % 4;
            if (kind == 1)
                re.SetLocaleDll(QString::fromStdString(german));
            else if (kind == 2)
                re.SetLocaleDll(QString::fromStdString(damaged));

            re.SetExpression(QStringLiteral("(ab"));
            const int code = re.ParseExpression();
            const QString text = re.GetExpressionError();
            bool ok;
            if (kind == 2 && model != 2)
                ok = code == RegularExpression::error_locale_dll;
            else if (kind == 1 && model != 2)
                ok = code == RegularExpression::error_paren && text.startsWith(QStringLiteral("Klammer"));
            else
                ok = code == RegularExpression::error_paren && text.startsWith(QStringLiteral("Unmatched"));

            re.SetLocaleDll(QString());
            re.SetExpression(QStringLiteral("[0-9A-F]{10}"));
            re.SetStringToMatch(QStringLiteral("00FF12AB9C"));
            ok = ok && re.MatchAll();
            re.SetStringToMatch(QStringLiteral("00FF12AB9G"));
            ok = ok && !re.MatchAll();
            if (!ok)
                ++failures;
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back(work, t);
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
}
