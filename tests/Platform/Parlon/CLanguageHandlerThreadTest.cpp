#include "CLanguageHandler.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

} // namespace

TEST(CLanguageHandler, SwitchTakesEffectOnlyAfterLoading)
{
    CLanguageHandler lang(0, TestEnvironment::NewFolder("none"));
    EXPECT_EQ(lang.GetLangItem(81), QStringLiteral("Vollzugriff"));
    lang.SetAktLanguage(1);
    EXPECT_EQ(lang.GetAktivLanguage(), 1u);
    EXPECT_EQ(lang.GetLangItem(81), QStringLiteral("Vollzugriff"));
    lang.GetAllItems();
    EXPECT_EQ(lang.GetLangItem(81), QStringLiteral("Full access"));
}

TEST(CLanguageHandler, UnknownLanguageNumbersFallBackToGerman)
{
    CLanguageHandler lang(7, QString());
    EXPECT_EQ(lang.GetAktivLanguage(), 0u);
    EXPECT_EQ(lang.GetLangItem(81), QStringLiteral("Vollzugriff"));
    EXPECT_TRUE(lang.GetLangItem(100000).isEmpty());
}

TEST(CLanguageHandler, FolderFileOverridesBuiltInTextsAndKeepsTheRest)
{
    const QString folder = TestEnvironment::NewFolder("sys");
    writeFile(folder + "/lang_en.txt",
              "# comment\n74\tMy Title\r\nnot a line\n  9x\tbad number\n99\tTwo\\nlines \\\\ tab\\tend\n"
              "83\t\n84\t \r\n");
    CLanguageHandler lang(1, folder);
    EXPECT_EQ(lang.GetLangItem(74), QStringLiteral("My Title"));
    // A number without text keeps the built-in text: a box is never empty.
    EXPECT_EQ(lang.GetLangItem(83), QStringLiteral("A database table could not be opened."));
    EXPECT_FALSE(lang.GetLangItem(84).trimmed().isEmpty());
    EXPECT_EQ(lang.GetLangItem(99), QStringLiteral("Two\nlines \\ tab\tend"));
    EXPECT_EQ(lang.GetLangItem(81), QStringLiteral("Full access"));
}

TEST(CLanguageHandler, FormatTextsAreFilledSafely)
{
    const QString folder = TestEnvironment::NewFolder("fmt");
    writeFile(folder + "/lang_de.txt", "1\tZeile %1 ist falsch.\n2\tkein Platz %s %d %n\n3\t%1 und %1\n");
    CLanguageHandler lang(0, folder);
    EXPECT_EQ(lang.GetLangItem(1, 12), QStringLiteral("Zeile 12 ist falsch."));
    EXPECT_EQ(lang.GetLangItem(2, 12), QStringLiteral("kein Platz %s %d %n"));
    EXPECT_EQ(lang.GetLangItem(3, 5), QStringLiteral("5 und 5"));
}

TEST(CLanguageHandler, SwitchingWhileAnotherThreadReadsIsSafe)
{
    CLanguageHandler lang(0, QString());
    std::atomic<bool> stop{false};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (!stop) {
            const QString t = lang.GetLangItem(81);
            EXPECT_TRUE(t == QStringLiteral("Vollzugriff") || t == QStringLiteral("Full access"));
            ++reads;
        }
    });
    for (int i = 0; i < 200 || reads < 100; ++i) {
        lang.SetAktLanguage(i % 2);
        lang.GetAllItems();
    }
    stop = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
}
