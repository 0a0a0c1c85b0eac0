#include "ByteRuns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

using pattorn::ByteRuns;

namespace {

// Random sets, windows shorter and longer than the 64 bytes classified at
// once, and texts with runs across those blocks, line feeds and bytes past
// ASCII: from every start, the window is the first one and the line feeds
// before it are all counted, each way the processor offers.
TEST(ByteRuns, FindsTheFirstWindowAndCountsTheLineFeedsBeforeIt)
{
    std::mt19937 random(4711);
    const ByteRuns::Way ways[] = {ByteRuns::Way::Bytes, ByteRuns::Way::Avx2, ByteRuns::Way::Avx512};
    for (int round = 0; round < 900 && !::testing::Test::HasFailure(); ++round) {
        const ByteRuns::Way way = ways[round % 3];
        if (!ByteRuns::Offers(way))
            continue;
        // Line feeds may be asked for; they never belong to a run.
        const std::string pool = std::string("\n\x80\xff") + "aAf0Z9-" + char(0x7f) + char(0xc3);
        ByteRuns::ByteSet set{};
        for (const char c : pool)
            set[static_cast<unsigned char>(c)] = random() % 2;
        const std::size_t width = 1 + random() % (round % 4 == 0 ? 80 : 12);
        std::string text(random() % 400, ' ');
        // Now and then runs over several blocks.
        const bool longRuns = round % 5 == 0;
        if (longRuns)
            set['a'] = true;
        for (char& c : text) {
            const bool a = longRuns ? random() % 60 != 0 : random() % 4 == 0;
            c = a ? 'a' : pool[random() % pool.size()];
        }
        const ByteRuns runs(set, width, way);
        const char* last = text.data() + text.size();
        for (std::size_t from = 0; from <= text.size(); ++from) {
            std::size_t expected = text.size() + 1;
            for (std::size_t p = from; expected > text.size() && p + width <= text.size(); ++p) {
                if (std::all_of(text.begin() + long(p), text.begin() + long(p + width),
                                [&](char c) { return c != '\n' && set[static_cast<unsigned char>(c)]; }))
                    expected = p;
            }
            std::size_t feeds = 5;
            const char* found = runs.Next(text.data() + from, last, feeds);
            const std::size_t at = found ? std::size_t(found - text.data()) : text.size() + 1;
            ASSERT_EQ(at, expected) << "round " << round << ", way " << int(way) << ", width " << width << ", from "
                                    << from;
            const auto counted
                = std::count(text.begin() + long(from), text.begin() + long(std::min(at, text.size())), '\n');
            ASSERT_EQ(feeds, 5 + std::size_t(counted)) << "round " << round << ", from " << from;
            ASSERT_EQ(ByteRuns::LineFeeds(text.data() + from, last),
                      std::size_t(std::count(text.begin() + long(from), text.end(), '\n')));
        }
    }
    // More line feeds in a lane than one byte counts.
    std::string lines(20000, '\n');
    for (std::size_t i = 0; i < lines.size(); i += 1 + random() % 64)
        lines[i] = 'x';
    EXPECT_EQ(ByteRuns::LineFeeds(lines.data() + 3, lines.data() + lines.size()),
              std::size_t(std::count(lines.begin() + 3, lines.end(), '\n')));
}

} // namespace
