// Seeded random inputs for the readers of the regular-expression object:
// stored settings (mutations of good archives and noise) and expressions
// in every syntax and locale model. Nothing may crash, hang or leak, and a
// failed read leaves an object that still works.
#include "ArchiveBytes.h"

#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using R = RegularExpression;

using archivebytes::golden;
using archivebytes::le32;
using archivebytes::load;
using archivebytes::store;

// Codes ParseExpression may give: none, the engine's renumbered ones, and
// the catalogue's (never "empty" for a text that is not empty).
bool isParseCode(int code, bool emptyExpression)
{
    if (emptyExpression)
        return code == R::empty_expression;
    return code == R::no_error || (code >= R::error_bad_pattern && code <= R::error_end)
           || (code >= R::error_right_paren && code <= R::error_locale_dll);
}

// Everything an object offers on the settings it holds, after any read:
// compiling gives a code of the table, and running on it neither crashes
// nor hangs.
void exercise(R& re, const std::string& context)
{
    const bool empty = re.GetExpression().isEmpty();
    const int code = re.ParseExpression();
    ASSERT_TRUE(isParseCode(code, empty)) << code << ' ' << context;
    ASSERT_EQ(re.ParseExpression(), code) << context;
    if (code != R::no_error) {
        EXPECT_FALSE(re.GetExpressionError().isEmpty()) << context;
        EXPECT_EQ(re.NumberOfSubexpressions(), 0u) << context;
        EXPECT_FALSE(re.Search()) << context;
        EXPECT_FALSE(re.MatchAll()) << context;
    } else {
        re.Match();
        re.Search();
        re.MatchAll();
    }
    re.Grep();
    QString merged;
    re.Merge(merged);
    QStringList pieces;
    re.Split(pieces);
}

class Mutator
{
public:
    explicit Mutator(unsigned seed) : m_random(seed) {}

    size_t Pick(size_t n) { return n ? size_t(m_random() % n) : 0; }
    unsigned Raw() { return unsigned(m_random()); }

    // A mutation of one of "seeds" (or, one time in "noise", random bytes
    // of up to "maxNoise").
    QByteArray Next(const std::vector<QByteArray>& seeds, const std::vector<QByteArray>& tokens, size_t noise,
                    size_t maxNoise)
    {
        if (Pick(noise) == 0) {
            QByteArray bytes(qsizetype(Pick(maxNoise + 1)), '\0');
            for (char& c : bytes)
                c = char(m_random());
            return bytes;
        }
        QByteArray bytes = seeds[Pick(seeds.size())];
        const size_t edits = 1 + Pick(4);
        for (size_t e = 0; e < edits; ++e) {
            const qsizetype at = qsizetype(Pick(size_t(bytes.size()) + 1));
            switch (Pick(6)) {
            case 0: bytes.insert(at, tokens[Pick(tokens.size())]); break;
            case 1: bytes.remove(at, qsizetype(Pick(8))); break;
            case 2:
                if (at < bytes.size())
                    bytes[at] = char(m_random());
                break;
            case 3:
                if (at < bytes.size())
                    bytes[at] = char(bytes[at] ^ (1 << Pick(8)));
                break;
            case 4: {
                // A token written over the bytes, as a count or length
                // would be.
                const QByteArray token = tokens[Pick(tokens.size())];
                bytes.replace(at, token.size(), token);
                break;
            }
            default: bytes.insert(at, bytes.mid(qsizetype(Pick(size_t(bytes.size()))), qsizetype(Pick(12)))); break;
            }
        }
        return bytes;
    }

private:
    std::mt19937 m_random;
};

} // namespace

// The inputs are dealt out to slices that run as tests of their own, so
// each stays short in the sanitizer builds; together they read 100,000.
constexpr int kArchiveSlices = 16;
constexpr int kArchiveInputs = 100000;

class StoredSettingsFuzz : public ::testing::TestWithParam<int>
{
};

TEST_P(StoredSettingsFuzz, ReadSafely)
{
    R populated;
    populated.AddExpressionOption(R::icase);
    populated.AddMatchOption(R::match_not_bol);
    populated.SetMaximumSplits(3);
    populated.SetLocaleModel(R::runtime_library_locale);
    populated.SetExpression(QStringLiteral("(a|b)") + QString(300, QChar('c')));
    populated.SetStringToMatch(QStringLiteral("ab \u0416 c"));
    populated.SetFormatString(QStringLiteral("<$1>"));
    populated.SetLocaleDll(QStringLiteral("msgs"));
    const std::vector<QByteArray> seeds = {golden("default_schema2.bin"), golden("settings_schema2.bin"),
                                           golden("settings_schema1.bin"), store(populated)};
    const std::vector<QByteArray> tokens = {
        le32(0), le32(1), le32(2), le32(3), le32(7), le32(-1), le32(0x7FFFFFFF), le32(21), le32(99),
        QByteArray::fromHex("ff"), QByteArray::fromHex("fffe"), QByteArray::fromHex("fffeff"),
        QByteArray::fromHex("ffffff"), QByteArray::fromHex("ffffffffffffff"), QByteArray("(a|"),
        QByteArray("\\"), QByteArray(1, '\0')};

    // An object with settings of its own, to see what a read keeps.
    R before;
    before.SetExpression(QStringLiteral("kept"));
    before.SetLocaleModel(R::win32_locale);
    before.SetMergeOnlyFirst(true);
    before.SetLocaleDll(QStringLiteral("old"));

    Mutator mutate(20240917 + unsigned(GetParam()));
    std::map<CArchive::Status, int> outcomes;
    for (int round = 0; round < kArchiveInputs / kArchiveSlices; ++round) {
        const QByteArray bytes = mutate.Next(seeds, tokens, 10, 96);
        // Mostly the schemas this class reads; now and then one it refuses.
        static const int schemas[] = {2, 2, 2, CArchive::NoSchema, 1, 1, 0, 3};
        const int schema = schemas[mutate.Pick(std::size(schemas))];
        // Built only for a failure's message: the sanitizer builds pay
        // for every allocation.
        auto context = [&] {
            return "round " + std::to_string(round) + " schema " + std::to_string(schema) + " input "
                   + bytes.toHex().toStdString();
        };

        R re(before);
        qint64 consumed = -1;
        const CArchive::Status status = load(re, bytes, schema, &consumed);
        ++outcomes[status];
        if (schema == 3 || schema == 0) {
            ASSERT_EQ(status, schema == 3 ? CArchive::Status::Aborted : CArchive::Status::Ok) << context();
            ASSERT_EQ(consumed, 0) << context();
            ASSERT_TRUE(re == before) << context();
            continue;
        }
        ASSERT_GE(int(re.GetLocaleModel()), 0) << context();
        ASSERT_LE(int(re.GetLocaleModel()), 2) << context();
        if (schema == 1) {
            // The older layout has none of these; no read may touch them.
            ASSERT_TRUE(re.GetMergeOnlyFirst()) << context();
            ASSERT_EQ(re.GetLocaleModel(), R::win32_locale) << context();
            ASSERT_EQ(re.GetLocaleDll(), QStringLiteral("old")) << context();
        }
        if (status == CArchive::Status::Ok) {
            // What was read stores and reads back as itself.
            R again;
            ASSERT_EQ(load(again, store(re), 2), CArchive::Status::Ok) << context();
            ASSERT_TRUE(again == re) << context();
        }
        // Running on what was read is the expensive part; a sample does.
        if (round % 16 == 0) {
            ASSERT_NO_FATAL_FAILURE(exercise(re, context()));
        }
    }
    EXPECT_GT(outcomes[CArchive::Status::Ok], 1000);
    EXPECT_GT(outcomes[CArchive::Status::ReadPastEnd], 1000);
    EXPECT_GT(outcomes[CArchive::Status::Corrupt], 10);
}
INSTANTIATE_TEST_SUITE_P(RegularExpressionFuzz, StoredSettingsFuzz, ::testing::Range(0, kArchiveSlices));

// A slice per locale model and half of the syntaxes, each a test of its
// own; together they compile 100,800 expressions.
class ExpressionFuzz : public ::testing::TestWithParam<std::tuple<int, int>>
{
};

TEST_P(ExpressionFuzz, EverySyntaxCompilesSafely)
{
    const int model = std::get<0>(GetParam());
    const int half = std::get<1>(GetParam());
    const std::vector<QByteArray> seeds = {
        "a",          "(a|b)+c",       "\\(a\\)\\1",    "a\\{2,3\\}",   "a{2,3}",         "[[:alpha:]_]+",
        "\\d+\\s*\\w", "(?:x)(?=y)",    "(?<n>a)\\k<n>", "a\\|b",        "a|b\nc",         "[]a-]",
        "[^\\]]",     "x{3,2}",        "(a",            "a)",           "[a-",            "\\",
        "*a",         "a**",           "(?i)x",         "\\1(a)",       "^$",             "\\`a\\'",
        "[[.a.]]",    "[[=a=]]",       "(?#c)a",        "a++b",         "(a|)*",          "\\Q(\\E",
        "\\x{41}\\u", "\\p{L}",        "[\\d-z]",       "(?|(a)|(b))",  "(?(1)a|b)",      "(*ACCEPT)"};
    const std::vector<QByteArray> tokens = {"(", ")", "[", "]", "{", "}", "\\", "|", "*", "+", "?", ".", "^", "$",
                                            "{2}", "{99}", ",", "-", ":", "=", "<", ">", "!", "#", "\\(", "\\)",
                                            "\\{", "\\}", "[:", ":]", "(?", "\\1", "\\9", "\n", QByteArray(1, '\0'),
                                            "\xE9", "\x80"};
    // Each syntax family, the literal switch, and the two sets without a
    // family (either syntax group).
    const std::vector<std::vector<int>> syntaxes = {
        {R::basic}, {R::extended}, {R::normal}, {R::emacs}, {R::awk}, {R::grep}, {R::egrep}, {R::sed}, {R::perl},
        {R::literal}, {R::icase, R::newline_alt}, {-R::normal, R::bk_parens, R::bk_vbar, R::bk_plus_qm}};
    const QString subjects[] = {QString(), QStringLiteral("a"), QStringLiteral("ab(c)\nxy 12"),
                                QStringLiteral("\u00E9\u20AC\u0416aa")};

    Mutator mutate(4711 + unsigned(2 * model + half));
    std::set<int> codes;
    int rounds = 0;
    for (size_t s = size_t(half); s < syntaxes.size(); s += 2) {
        const std::vector<int>& syntax = syntaxes[s];
        R re;
        re.SetLocaleModel(R::LocaleModels(model));
        for (int option : syntax) {
            if (option < 0)
                re.DeleteExpressionOption(R::Options(-option));
            else
                re.AddExpressionOption(R::Options(option));
        }
        for (int i = 0; i < 2800; ++i, ++rounds) {
            const QByteArray bytes = mutate.Next(seeds, tokens, 6, 24);
            // Bytes as code page text: every value, also the undefined
            // ones, plus now and then a character the page lacks.
            QString expression = QString::fromLatin1(bytes);
            if (mutate.Pick(20) == 0)
                expression.insert(qsizetype(mutate.Pick(size_t(expression.size()) + 1)), QChar(0x0416));
            re.SetExpression(expression);
            re.SetStringToMatch(subjects[mutate.Pick(std::size(subjects))]);
            auto context = [&] {
                return "model " + std::to_string(model) + " options " + std::to_string(syntax[0])
                       + " expression " + bytes.toHex().toStdString();
            };
            const int code = re.ParseExpression();
            codes.insert(code);
            ASSERT_TRUE(isParseCode(code, expression.isEmpty())) << code << ' ' << context();
            ASSERT_EQ(re.ParseExpression(), code) << context();
            if (code == R::no_error) {
                ASSERT_TRUE(re.GetExpressionError().isEmpty()) << context();
                re.Search();
                re.MatchAll();
            } else {
                ASSERT_FALSE(re.GetExpressionError().isEmpty()) << context();
                ASSERT_EQ(re.NumberOfSubexpressions(), 0u) << context();
                ASSERT_FALSE(re.Search()) << context();
            }
        }
    }
    EXPECT_GE(rounds * 2 * (R::runtime_library_locale + 1), 100000);
    // Random input reaches far into the table, not only "bad pattern".
    EXPECT_GE(codes.size(), 8u);
}
INSTANTIATE_TEST_SUITE_P(RegularExpressionFuzz, ExpressionFuzz,
                         ::testing::Combine(::testing::Values(int(R::standard_locale), int(R::win32_locale),
                                                              int(R::runtime_library_locale)),
                                            ::testing::Values(0, 1)));
