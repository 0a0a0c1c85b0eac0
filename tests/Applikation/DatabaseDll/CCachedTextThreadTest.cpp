#include "CCachedText.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

// Rows are made and freed on several threads at once (the UI and a worker
// storing events): the shared texts are neither lost nor freed twice.
TEST(CCachedTextThreadTest, SharedTextsSurviveThreadsCopyingAndFreeing)
{
    const int before = CCachedText::SharedCount();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int round = 0; round < 2000; ++round) {
                std::vector<CCachedText> texts;
                for (int i = 0; i < 8; ++i)
                    texts.emplace_back(QStringLiteral("Leser %1").arg(i));
                std::vector<CCachedText> copies = texts;
                texts.clear();
                for (int i = 0; i < 8; ++i)
                    ASSERT_EQ(copies[size_t(i)].ToString(), QStringLiteral("Leser %1").arg(i));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(CCachedText::SharedCount(), before);
}
