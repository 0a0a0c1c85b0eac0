#include "LocaleDllMessages.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

using tramex::LocaleDllMessages;

namespace {

std::string catalogue()
{
    const std::string path = TestEnvironment::NewFolder(QStringLiteral("messages")).toStdString() + "/m.cat";
    std::ofstream(path, std::ios::binary) << "200\tkein Fehler\n";
    return path;
}

} // namespace

TEST(LocaleDllMessages, NumbersAreTheSmallestFreeOnesOfTheThread)
{
    const std::string path = catalogue();
    const std::locale locale(std::locale::classic(), new LocaleDllMessages);
    const auto& messages = std::use_facet<std::messages<char>>(locale);

    EXPECT_EQ(messages.open(path, locale), 0);
    EXPECT_EQ(messages.open(path, locale), 1);
    EXPECT_EQ(messages.get(1, 0, 200, "no error"), "kein Fehler");
    EXPECT_EQ(messages.get(1, 0, 201, "fallback"), "fallback");
    EXPECT_EQ(messages.get(5, 0, 200, "unknown catalogue"), "unknown catalogue");
    messages.close(0);
    EXPECT_EQ(messages.open(path, locale), 0);

    int otherThreadsFirst = -5;
    std::thread other([&] {
        otherThreadsFirst = messages.open(path, locale);
        messages.close(otherThreadsFirst);
    });
    other.join();
    EXPECT_EQ(otherThreadsFirst, 0);
    EXPECT_EQ(LocaleDllMessages::OpenCatalogues(), 2u) << "the other thread cannot close ours";

    messages.close(0);
    messages.close(1);
    messages.close(1);
    EXPECT_EQ(LocaleDllMessages::OpenCatalogues(), 0u);
    EXPECT_EQ(messages.open(path + ".missing", locale), -1);
}
