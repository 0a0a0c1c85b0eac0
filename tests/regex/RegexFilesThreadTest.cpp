#include "RegexInterfaces.h"
#include "TestEnvironment.h"
#include "core/TestFiles.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

// File operations, grep and merge of many objects of both libraries on many
// threads at once, while other objects switch the engine's process-wide
// catalogue: each must see only its own work.

namespace {

using testfiles::read;
using testfiles::write;

// One round of work for an object of interface I; false when any result is
// not what it must be.
template <class I>
bool work(const std::string& shared, const std::string& own, const std::string& catalogue, int round)
{
    using R = typename I::Regex;
    R re;
    re.SetLocaleModel(typename R::LocaleModels(round % 3));
    if (round % 4 == 1)
        re.SetLocaleDll(I::Text(catalogue));
    re.SetExpression(I::Text("ab+c"));
    re.SetFilesToMatch(I::Path(shared + "/*.txt"));
    re.SetDirectoryRecursion(true);
    unsigned reports = 0;
    int receiver = 0;
    re.OnGreppingFiles.Subscribe(&receiver,
                                 [&](R*, typename I::String, const std::vector<typename I::Match>&, unsigned,
                                     bool&) { ++reports; });
    bool ok = re.GrepFiles() == 40 && reports == 40;

    re.SetStringToMatch(I::Text("x abc abbc y"));
    re.SetFormatString(I::Text("[$&]"));
    re.SetMergeCopy(true);
    ok = ok && I::Merge(re) == "x [abc] [abbc] y";

    const std::string file = own + "/" + std::to_string(round) + ".txt";
    write(file, "abc and abbbc\n");
    re.SetFilesToMatch(I::Path(own + "/" + std::to_string(round) + ".txt"));
    re.SetFormatString(I::Text("-"));
    ok = ok && re.ChangeFiles() == 2 && read(file) == "- and -\n" && re.GetChangeFilesErrors() == nullptr;
    return ok;
}

} // namespace

TEST(RegexFilesThreads, ObjectsOfBothLibrariesWorkSideBySide)
{
    const std::string root = TestEnvironment::NewFolder(QStringLiteral("files-threads")).toStdString();
    const std::string shared = root + "/shared";
    for (int i = 0; i < 10; ++i)
        write(shared + "/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".txt",
              "abc\nnone\nabbc abbbc\nabx abc\n");
    const std::string catalogue = root + "/msgs.cat";
    write(catalogue, "251\tLeer\n208\tKlammer\n");

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const std::string own = root + "/own" + std::to_string(t);
            for (int round = 0; round < 12; ++round) {
                const bool ok = t % 2 ? work<TramexstdInterface>(shared, own, catalogue, round + t)
                                      : work<TramexInterface>(shared, own, catalogue, round + t);
                if (!ok)
                    ++failures;
            }
        });
    }
    // Meanwhile the catalogue setting of the engine keeps changing.
    threads.emplace_back([&] {
        for (int round = 0; round < 60; ++round) {
            RegexClass::RegularExpression re;
            re.SetLocaleDll(round % 2 ? catalogue : std::string());
            re.SetExpression("(a");
            const bool localised = re.ParseExpression() == RegexClass::RegularExpression::error_paren
                                   && re.GetExpressionError().rfind(round % 2 ? "Klammer" : "Unmatched", 0) == 0;
            if (!localised)
                ++failures;
        }
    });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}
