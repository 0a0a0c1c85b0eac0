// Seeded random catalogues: mutations of good ones and plain noise. A
// catalogue is a file anybody can write, and the engine takes its syntax
// characters, error texts and class names from it.
#include "MessageCatalogue.h"
#include "NoSink.h"
#include "RegularExpressionData.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

using tramex::MessageCatalogue;
using tramex::RegularExpressionData;

namespace {

const std::vector<std::string> kSeeds = {
    "143\tx\n251\tLeerer Ausdruck\n252\tKatalog fehlt: \n",
    "# comment\r\n\r\n208\tKlammer offen\r\n300\talnum\r\n301\talpha\r\n",
    "1\t(\n2\t)\n3\t$\n4\t^\n5\t.\n6\t*\n7\t+\n8\t?\n9\t[\n10\t]\n11\t|\n12\t\\\n",
    "200\t" + std::string(300, 'e') + "\n201\t\n",
    "300\tziffer\n301\tbuchstabe\n143\t\n",
};

const std::string kTokens[] = {"\t", "\n", "\r", "\r\n", "#", "0", "1", "9", "59", "143", "208", "251", "252",
                               "300", "313", "2147483647", "2147483648", "99999999999", "-1", " ", std::string(1, '\0'),
                               "\xFF", "(", ")", "[", "]", "\\", "*", "{", "}", "|", "."};

// One mutated or random input; the same seed gives the same inputs.
class Mutator
{
public:
    explicit Mutator(unsigned seed) : m_random(seed) {}

    size_t Pick(size_t n) { return n ? size_t(m_random() % n) : 0; }

    std::string Next(const std::vector<std::string>& seeds, size_t maxRandom)
    {
        if (Pick(8) == 0) {
            std::string noise(Pick(maxRandom + 1), '\0');
            for (char& c : noise)
                c = Pick(3) ? char(m_random()) : "\t\n0123456789"[Pick(12)];
            return noise;
        }
        std::string text = seeds[Pick(seeds.size())];
        const size_t edits = 1 + Pick(5);
        for (size_t e = 0; e < edits; ++e) {
            const size_t at = Pick(text.size() + 1);
            switch (Pick(6)) {
            case 0: text.insert(at, kTokens[Pick(std::size(kTokens))]); break;
            case 1: text.erase(at, Pick(8)); break;
            case 2:
                if (at < text.size())
                    text[at] = char(m_random());
                break;
            case 3: text.resize(at); break;
            case 4: text.insert(at, text.substr(Pick(text.size()), Pick(40))); break;
            default: text.insert(at, seeds[Pick(seeds.size())].substr(0, Pick(60))); break;
            }
        }
        return text;
    }

private:
    std::mt19937 m_random;
};

// What the reader must give for an input, line by line: the first entry of
// each id, its text cut at 254 characters; any other line makes a strict
// read refuse the input.
struct Expected
{
    std::map<int, std::string> texts;
    bool strictRefuses = false;
};

Expected expectedOf(const std::string& content)
{
    Expected expected;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const size_t tab = line.find('\t');
        const std::string digits = tab == std::string::npos ? std::string() : line.substr(0, tab);
        const bool decimal = !digits.empty() && digits.size() <= 10
                             && digits.find_first_not_of("0123456789") == std::string::npos
                             && std::stoll(digits) <= 2147483647LL;
        if (!decimal || expected.texts.count(int(std::stoll(digits)))) {
            expected.strictRefuses = true;
            continue;
        }
        expected.texts.emplace(int(std::stoll(digits)), line.substr(tab + 1, MessageCatalogue::MaximumTextLength));
    }
    return expected;
}

bool isComponentCode(int code)
{
    return code == 0 || (code >= 2 && code <= 14) || (code >= 16 && code <= 20);
}

} // namespace

// The inputs are dealt out to slices that run as tests of their own, so
// each stays short in the sanitizer builds; together they read 100,000.
constexpr int kSlices = 8;
constexpr int kInputs = 100000;

class MessageCatalogueFuzz : public ::testing::TestWithParam<int>
{
};

TEST_P(MessageCatalogueFuzz, EveryInputReadsAsItsLinesSay)
{
    Mutator mutate(20240917 + unsigned(GetParam()));
    size_t refused = 0;
    for (int round = 0; round < kInputs / kSlices; ++round) {
        const std::string content = mutate.Next(kSeeds, 64);
        const Expected expected = expectedOf(content);

        const auto lenient = MessageCatalogue::Parse(content, false);
        ASSERT_TRUE(lenient) << "a lenient read never refuses: " << round;
        const auto strict = MessageCatalogue::Parse(content, true);
        ASSERT_EQ(!strict, expected.strictRefuses) << "round " << round;
        refused += !strict;

        // Every id of the input, and a few around it, reads as expected.
        for (const auto& [id, text] : expected.texts) {
            const std::string* found = lenient->Find(id);
            ASSERT_TRUE(found) << "round " << round << " id " << id;
            ASSERT_EQ(*found, text) << "round " << round << " id " << id;
            if (strict) {
                ASSERT_TRUE(strict->Find(id));
                ASSERT_EQ(*strict->Find(id), text);
            }
            if (id < 2147483647 && !expected.texts.count(id + 1)) {
                ASSERT_FALSE(lenient->Find(id + 1)) << "round " << round;
            }
        }
    }
    EXPECT_GT(refused, size_t(kInputs / kSlices / 10));
    EXPECT_LT(refused, size_t(kInputs / kSlices * 9 / 10));
}
INSTANTIATE_TEST_SUITE_P(Slices, MessageCatalogueFuzz, ::testing::Range(0, kSlices));

// The whole path: the catalogue file found by the setting, read for the
// component's texts and handed to the engine, which takes syntax
// characters, error texts and class names from it; then compiling and
// matching with it on both models that use catalogues.
TEST(MessageCatalogueEngineFuzz, HostileCataloguesCompileAndMatchSafely)
{
    const std::string folder = TestEnvironment::NewFolder(QStringLiteral("fuzzcat")).toStdString();
    const std::string expressions[] = {"a", "(a)|b", "[[:alpha:]]+", "\\d{2,3}", "(?:x*)$", "[(]", "\\s+", "(a"};
    Mutator mutate(7);
    NoSink sink;
    size_t failedCatalogues = 0;
    for (int round = 0; round < 300; ++round) {
        // A new name each time: the engine caches what it read per name.
        const std::string path = folder + "/c" + std::to_string(round) + ".res";
        std::ofstream(path, std::ios::binary) << mutate.Next(kSeeds, 200);

        RegularExpressionData re;
        re.SetLocaleModel(round % 2 ? RegularExpressionData::win32_locale : RegularExpressionData::standard_locale);
        re.SetLocaleDll(path);
        re.SetStringToMatch("ab12 (x)\n");
        for (const std::string& expression : expressions) {
            re.SetExpression(expression);
            const int code = re.ParseExpression();
            ASSERT_TRUE(isComponentCode(code)) << code << " round " << round;
            if (code != 0) {
                EXPECT_FALSE(re.GetExpressionError().empty()) << round;
            }
            failedCatalogues += code == RegularExpressionData::error_locale_dll;
            re.Search(sink);
            re.MatchAll(sink);
            std::vector<tramex::MatchPart> pieces;
            re.Split(pieces);
        }
    }
    EXPECT_GT(failedCatalogues, 0u) << "malformed catalogues reach the engine's refusal";
}
