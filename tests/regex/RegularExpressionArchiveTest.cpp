#include "ArchiveBytes.h"

#include <chrono>

namespace {

using archivebytes::golden;
using archivebytes::le32;
using archivebytes::load;
using archivebytes::store;

// The settings of the golden file "settings_schema2.bin".
void configure(RegularExpression& re)
{
    re.AddExpressionOption(RegularExpression::icase);
    re.AddMatchOption(RegularExpression::match_not_bol);
    re.AddMatchOption(RegularExpression::match_any);
    re.SetDirectoryRecursion(true);
    re.SetMergeCopy(true);
    re.SetSplitInputDelete(true);
    re.SetContinueFiles(false);
    re.SetMaximumSplits(3);
    re.SetFormatType(RegularExpression::format_perl);
    re.SetLocaleModel(RegularExpression::runtime_library_locale);
    re.SetExpression(QStringLiteral("[0-9A-F]{10}|").repeated(23) + QStringLiteral("(x)"));
    re.SetStringToMatch(QStringLiteral("Stra\u00DFe \u20AC 5"));
    re.SetFilesToMatch(QStringLiteral("*.txt"));
    re.SetFormatString(QStringLiteral("<$1>"));
    re.SetSaveExtension(QStringLiteral("bak"));
    re.SetLocaleDll(QStringLiteral("msgs"));
}

} // namespace

TEST(RegularExpressionArchive, NewObjectStoresTheGoldenBytes)
{
    RegularExpression re;
    const QByteArray bytes = store(re);
    EXPECT_EQ(bytes.size(), 74);
    EXPECT_EQ(bytes, golden("default_schema2.bin"));
}

TEST(RegularExpressionArchive, EverySettingStoresAndLoadsTheGoldenBytes)
{
    RegularExpression re;
    configure(re);
    EXPECT_EQ(store(re), golden("settings_schema2.bin"));

    RegularExpression loaded;
    EXPECT_EQ(load(loaded, golden("settings_schema2.bin")), CArchive::Status::Ok);
    EXPECT_TRUE(loaded == re);
    EXPECT_EQ(loaded.GetStringToMatch(), QStringLiteral("Stra\u00DFe \u20AC 5"));
    EXPECT_EQ(loaded.GetLocaleModel(), RegularExpression::runtime_library_locale);
    EXPECT_EQ(loaded.NumberOfSubexpressions(), 1u);
}

TEST(RegularExpressionArchive, TextsOfAnyLengthAndContentRoundTrip)
{
    RegularExpression re;
    re.SetExpression(QString(70000, QChar('a')));
    re.SetStringToMatch(QString::fromUtf16(u"a\0b\r\n\u00FF", 6));
    re.SetFormatString(QStringLiteral("\u0416\u4E2D"));
    re.SetFilesToMatch(QString(254, QChar('f')));
    re.SetSaveExtension(QString(255, QChar('e')));
    re.SetLocaleDll(QString(0xFFFD, QChar('l')));
    RegularExpression loaded;
    EXPECT_EQ(load(loaded, store(re)), CArchive::Status::Ok);
    EXPECT_TRUE(loaded == re);
    EXPECT_EQ(loaded.GetFormatString(), QStringLiteral("\u0416\u4E2D"));
    EXPECT_EQ(loaded.GetStringToMatch(), re.GetStringToMatch());
}

TEST(RegularExpressionArchive, OlderSchemaLeavesTheLaterSettingsAlone)
{
    RegularExpression re;
    re.SetMergeOnlyFirst(true);
    re.SetSplitInputDelete(true);
    re.SetContinueFiles(false);
    re.SetMaximumSplits(9);
    re.SetFormatType(RegularExpression::format_sed);
    re.SetLocaleModel(RegularExpression::win32_locale);
    re.SetLocaleDll(QStringLiteral("keep"));
    EXPECT_EQ(load(re, golden("settings_schema1.bin"), 1), CArchive::Status::Ok);

    EXPECT_TRUE(re.IsExpressionOption(RegularExpression::extended));
    EXPECT_FALSE(re.IsExpressionOption(RegularExpression::normal));
    EXPECT_TRUE(re.IsMatchOption(RegularExpression::match_not_eol));
    EXPECT_TRUE(re.GetDirectoryRecursion());
    EXPECT_FALSE(re.GetMergeCopy());
    EXPECT_EQ(re.GetExpression(), QStringLiteral("(a|b)+"));
    EXPECT_EQ(re.GetStringToMatch(), QStringLiteral("abba"));
    EXPECT_EQ(re.GetFilesToMatch(), QStringLiteral("*.log"));
    EXPECT_EQ(re.GetFormatString(), QStringLiteral("$&"));
    EXPECT_EQ(re.GetSaveExtension(), QStringLiteral("old"));

    EXPECT_TRUE(re.GetMergeOnlyFirst());
    EXPECT_TRUE(re.GetSplitInputDelete());
    EXPECT_FALSE(re.GetContinueFiles());
    EXPECT_EQ(re.GetMaximumSplits(), 9u);
    EXPECT_EQ(re.GetFormatType(), RegularExpression::format_sed);
    EXPECT_EQ(re.GetLocaleModel(), RegularExpression::win32_locale);
    EXPECT_EQ(re.GetLocaleDll(), QStringLiteral("keep"));
}

TEST(RegularExpressionArchive, NewerSchemaAbortsAndUnknownSchemasReadNothing)
{
    RegularExpression re;
    configure(re);
    const RegularExpression before(re);
    qint64 consumed = -1;
    EXPECT_EQ(load(re, golden("default_schema2.bin"), 3, &consumed), CArchive::Status::Aborted);
    EXPECT_EQ(consumed, 0);
    EXPECT_TRUE(re == before);
    for (int schema : {0, -7}) {
        EXPECT_EQ(load(re, golden("default_schema2.bin"), schema, &consumed), CArchive::Status::Ok);
        EXPECT_EQ(consumed, 0);
        EXPECT_TRUE(re == before) << schema;
    }
}

TEST(RegularExpressionArchive, LoadingClearsParseStatesAndTakesSetsAsStored)
{
    RegularExpression re;
    re.SetExpression(QStringLiteral("(a)"));
    ASSERT_EQ(re.ParseExpression(), RegularExpression::no_error);
    // A set that the option rules would never build: two families.
    QByteArray bytes = le32(2) + le32(RegularExpression::basic) + le32(RegularExpression::normal)
                       + golden("default_schema2.bin").mid(28);
    EXPECT_EQ(load(re, bytes), CArchive::Status::Ok);
    EXPECT_EQ(static_cast<const RegularExpression&>(re).NumberOfSubexpressions(), 0u);
    EXPECT_TRUE(re.IsExpressionOption(RegularExpression::basic));
    EXPECT_TRUE(re.IsExpressionOption(RegularExpression::normal));
    EXPECT_FALSE(re.IsExpressionOption(RegularExpression::char_classes));
    re.SetExpression(QStringLiteral("\\(a\\)"));
    re.SetStringToMatch(QStringLiteral("a"));
    EXPECT_TRUE(re.MatchAll()) << "the first family decides";
}

TEST(RegularExpressionArchive, BooleansOtherThanOneReadAsFalse)
{
    QByteArray bytes = golden("default_schema2.bin");
    bytes.replace(36, 4, le32(2));   // directory recursion
    bytes.replace(52, 4, le32(-1));  // continue files
    RegularExpression re;
    re.SetDirectoryRecursion(true);
    EXPECT_EQ(load(re, bytes), CArchive::Status::Ok);
    EXPECT_FALSE(re.GetDirectoryRecursion());
    EXPECT_FALSE(re.GetContinueFiles());
}

TEST(RegularExpressionArchive, EveryTruncationFailsAndKeepsWhatWasRead)
{
    const QByteArray full = golden("settings_schema2.bin");
    for (int length = 0; length < full.size(); ++length) {
        RegularExpression re;
        re.SetLocaleDll(QStringLiteral("old"));
        EXPECT_EQ(load(re, full.left(length)), CArchive::Status::ReadPastEnd) << length;
        if (length >= 32) { // the expression options are complete
            EXPECT_TRUE(re.IsExpressionOption(RegularExpression::icase)) << length;
        }
        EXPECT_EQ(re.GetLocaleDll(), QStringLiteral("old")) << length;
    }
    // Cut inside the match options: the expression options are in, the
    // match options cleared.
    RegularExpression re;
    EXPECT_EQ(load(re, full.left(40)), CArchive::Status::ReadPastEnd);
    EXPECT_TRUE(re.IsExpressionOption(RegularExpression::icase));
    EXPECT_TRUE(re.IsMatchOption(RegularExpression::match_not_bol));
    EXPECT_FALSE(re.IsMatchOption(RegularExpression::match_any));
    EXPECT_FALSE(re.IsMatchOption(RegularExpression::match_default));
}

TEST(RegularExpressionArchive, HostileArchivesAreRefusedQuickly)
{
    const auto started = std::chrono::steady_clock::now();
    const QByteArray tail = golden("default_schema2.bin").mid(28);
    {
        RegularExpression re;
        EXPECT_EQ(load(re, le32(0x7FFFFFFF) + le32(1) + le32(2)), CArchive::Status::ReadPastEnd);
        EXPECT_TRUE(re.IsExpressionOption(RegularExpression::char_classes));
    }
    {
        RegularExpression re;
        EXPECT_EQ(load(re, le32(-1) + tail), CArchive::Status::Corrupt);
    }
    {
        // A locale model this class does not have.
        QByteArray bytes = golden("default_schema2.bin");
        bytes.replace(64, 4, le32(7));
        RegularExpression re;
        re.SetLocaleModel(RegularExpression::win32_locale);
        EXPECT_EQ(load(re, bytes), CArchive::Status::Corrupt);
        EXPECT_EQ(re.GetLocaleModel(), RegularExpression::win32_locale);
        re.SetExpression(QStringLiteral("a"));
        EXPECT_EQ(re.ParseExpression(), RegularExpression::no_error);
    }
    {
        // A text that claims four gigabytes.
        QByteArray bytes = golden("default_schema2.bin").left(68);
        bytes += QByteArray::fromHex("ffffff") + le32(-2) + QByteArray(100, 'x');
        RegularExpression re;
        re.SetExpression(QStringLiteral("kept"));
        EXPECT_NE(load(re, bytes), CArchive::Status::Ok);
        EXPECT_EQ(re.GetExpression(), QStringLiteral("kept"));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST(RegularExpressionArchive, WideTextsOfTheFrameworkAreRead)
{
    QByteArray bytes = golden("default_schema2.bin").left(68);
    // The expression in the wide form: marker, length 2, "a" and U+0416.
    bytes += QByteArray::fromHex("fffeff02") + QByteArray::fromHex("61001604");
    bytes += QByteArray(5, '\0');
    RegularExpression re;
    EXPECT_EQ(load(re, bytes), CArchive::Status::Ok);
    EXPECT_EQ(re.GetExpression(), QStringLiteral("a\u0416"));
    EXPECT_EQ(re.ParseExpression(), RegularExpression::error_bad_pattern);
}
