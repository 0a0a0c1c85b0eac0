#include "FileCommandFixture.h"

#include "CCsvFormat.h"
#include "CCsvImporter.h"
#include "CCsvLineReader.h"

#include <QSet>

#include <random>

namespace {

// Lines built from the pieces a CSV file of this program holds, and from
// pieces no file should hold: every mix of type words, numbers, names,
// schemas, readers and separators, and lines of raw bytes.
class LineGenerator
{
public:
    explicit LineGenerator(unsigned int seed)
        : m_random(seed)
    {
    }

    QString Next()
    {
        if (Pick(10) == 0)
            return RawBytes();
        static const QStringList types = {"Transponder;", "Person;", "Transponders;", "PersonX;", "Event;",
                                          "Transponder", "Person", "", "transponder;", ";", "Transponder;;"};
        QString line = types[Pick(types.size())];
        const int fields = Pick(4) == 0 ? Pick(9) : 2 + Pick(4);
        for (int i = 0; i < fields; ++i) {
            if (i > 0)
                line += u';';
            line += Field(i);
        }
        if (Pick(8) == 0)
            line += u';';
        return line;
    }

private:
    int Pick(qsizetype n) { return std::uniform_int_distribution<int>(0, int(n) - 1)(m_random); }

    QString Field(int position)
    {
        static const QStringList names = {"---", "", "Anna", "Bert", "Nacht", "Vollzugriff", "Full access", "Tor",
                                          "Halle", "Tag", QString::fromUtf8("Jörg"), "0000000001", "00000000aa"};
        // Half the fields hold what their place usually holds, so that many
        // lines get through the checks and reach the database.
        if (Pick(2) == 0) {
            static const QStringList schemas = {"Nacht", "Vollzugriff", "Full access", "Nacht", "Tag", ""};
            static const QStringList readers = {"Tor", "Halle", "", "Keller"};
            static const QStringList people = {"Anna", "Bert", "Cem", "---", ""};
            switch (position) {
            case 0:
            case 1:
                return Pick(2) == 0 ? Number() : people[Pick(people.size())] + QString::number(Pick(50));
            case 2:
                return schemas[Pick(schemas.size())];
            default:
                return readers[Pick(readers.size())];
            }
        }
        switch (Pick(position < 2 ? 4 : 3)) {
        case 0:
            return names[Pick(names.size())];
        case 1:
            return Number();
        case 2:
            return RawText(Pick(12));
        default:
            return QString(Pick(300) + 1, u'z');
        }
    }

    QString Number()
    {
        static const QString digits = QStringLiteral("0123456789ABCDEFabcdefGxZ ");
        const int length = Pick(8) == 0 ? Pick(14) : 10;
        QString number;
        for (int i = 0; i < length; ++i)
            number += digits[Pick(Pick(16) == 0 ? digits.size() : 16)];
        return number;
    }

    QString RawText(int length)
    {
        QString text;
        for (int i = 0; i < length; ++i) {
            const char16_t pool[] = {0, u'\r', u';', u'%', u'1', u'a', 0xE4, 0x20AC, 0x1A, 0x81, 0xFFFF, 0xD800};
            text += QChar(Pick(3) == 0 ? pool[Pick(std::size(pool))] : char16_t(32 + Pick(95)));
        }
        return text;
    }

    QString RawBytes()
    {
        QByteArray bytes;
        const int length = Pick(40);
        for (int i = 0; i < length; ++i) {
            char c = char(Pick(256));
            if (c == '\n')
                c = ' ';
            bytes += c;
        }
        return CCsvFormat::DecodeLine(bytes);
    }

    std::mt19937 m_random;
};

const QStringList kSeed = {
    "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (1,'Tor','Kite'),(2,'Halle','Heron')",
    "INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung) VALUES (5,'Nacht'),(6,'Nacht'),(7,'Nacht'),(8,'Nacht')",
    "INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1)",
    "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID) VALUES"
    " (1,'0000000001',1,1)",
};

} // namespace

class CCsvFuzzTest : public FileCommandFixture
{
};

// 200,000 generated lines through the reading pass and the checks of both
// import kinds: nothing crashes, and a record that passes is one the
// database may hold.
TEST_F(CCsvFuzzTest, EveryLineThatPassesTheChecksIsAValidRecord)
{
    Sql(kSeed);
    Start();
    const QSet<qint32> schemas = {1, 5};
    const QSet<qint32> readers = {1, 2};
    for (auto kind : {CCsvImporter::Transponders, CCsvImporter::Persons}) {
        CCsvImporter importer(*Db(), Language(), kind);
        LineGenerator generator(kind == CCsvImporter::Transponders ? 4711u : 815u);
        int accepted = 0;
        int passed = 0;
        for (int i = 0; i < 100000; ++i) {
            const QString line = generator.Next();
            QString rest;
            if (!CCsvImporter::AcceptLine(kind, line, &rest))
                continue;
            ++accepted;
            CCsvImporter::Record record;
            if (!importer.Check(rest, &record))
                continue;
            ++passed;
            SCOPED_TRACE(line.toStdString());
            if (kind == CCsvImporter::Transponders || !record.number.isEmpty()) {
                ASSERT_TRUE(CCsvFormat::IsTransponderNumber(record.number));
                ASSERT_EQ(record.number, record.number.toUpper());
                if (kind == CCsvImporter::Transponders) {
                    ASSERT_NE(record.number, "0000000001") << "a number the database holds";
                }
                ASSERT_TRUE(schemas.contains(record.schemaId));
            }
            ASSERT_FALSE(record.number.isEmpty() && record.person.isEmpty());
            ASSERT_LE(record.person.size(), 255);
            ASSERT_NE(record.person, "---");
            if (kind == CCsvImporter::Persons) {
                ASSERT_NE(record.person, "Anna") << "a name the database holds";
            }
            QSet<qint32> seen;
            for (qint32 reader : record.readers) {
                ASSERT_TRUE(readers.contains(reader));
                ASSERT_FALSE(seen.contains(reader));
                seen.insert(reader);
            }
        }
        // The generator reaches both sides of the checks.
        EXPECT_GT(accepted, 20000);
        EXPECT_GT(passed, 500);
        EXPECT_LT(passed, accepted);
    }
}

// Generated lines written into the database: what was not valid left no
// trace, and what was written keeps every rule of the tables.
TEST_F(CCsvFuzzTest, AnImportOfGeneratedLinesWritesOnlyValidRecords)
{
    Sql(kSeed);
    Start();
    for (auto kind : {CCsvImporter::Transponders, CCsvImporter::Persons}) {
        LineGenerator generator(kind == CCsvImporter::Transponders ? 1u : 2u);
        QStringList accepted;
        while (accepted.size() < 3000) {
            QString rest;
            if (CCsvImporter::AcceptLine(kind, generator.Next(), &rest))
                accepted << rest;
        }
        const int before = Count("tblTransponder") + Count("tblPerson");
        CCsvImporter importer(*Db(), Language(), kind);
        EXPECT_EQ(importer.Write(accepted), 1);
        EXPECT_FALSE(importer.Failed());
        EXPECT_EQ(importer.Written() + importer.Errors().size(), accepted.size());
        EXPECT_GT(importer.Written(), 100);
        EXPECT_GT(Count("tblTransponder") + Count("tblPerson"), before);
    }
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblTransponder WHERE length(strTransponderNummer) <> 10"
                   " OR strTransponderNummer GLOB '*[^0-9A-F]*'"),
              QStringList({"0"}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM (SELECT strTransponderNummer FROM tblTransponder"
                   " GROUP BY strTransponderNummer HAVING COUNT(*) > 1)"),
              QStringList({"0"}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblTransponder WHERE Zeitfenster_ID NOT IN (1, 5)"), QStringList({"0"}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblPerson WHERE strName = '' OR strName = '---' OR length(strName) > 255"),
              QStringList({"0"}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM (SELECT strName FROM tblPerson GROUP BY strName HAVING COUNT(*) > 1)"),
              QStringList({"0"}));
    for (const QString& list : Rows("SELECT strLeser_IDS FROM tblTransponder")) {
        for (const QString& reader : list.split(';', Qt::SkipEmptyParts))
            EXPECT_TRUE(reader == "1" || reader == "2") << list.toStdString();
    }
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblTransponder t JOIN tblPerson p ON p.ID_Person = t.Person_ID"
                   " WHERE p.Transponder_ID <> t.ID_Transponder"),
              QStringList({"0"}));
}

// Random bytes as a file: every line comes back, none holds a line end.
TEST(CCsvLineReaderFuzzTest, RandomFilesSplitIntoTheirLines)
{
    std::mt19937 random(99);
    const QString folder = TestEnvironment::NewFolder("fuzz");
    for (int round = 0; round < 20; ++round) {
        QByteArray bytes;
        const int size = std::uniform_int_distribution<int>(0, 200000)(random);
        bytes.reserve(size);
        for (int i = 0; i < size; ++i) {
            const int r = std::uniform_int_distribution<int>(0, 40)(random);
            bytes += r == 0 ? '\n' : r == 1 ? '\r' : char(std::uniform_int_distribution<int>(0, 255)(random));
            // A quote opens a field that may hold line breaks: none here.
            if (bytes.endsWith('"'))
                bytes.back() = '\'';
        }
        const QString path = folder + QStringLiteral("/%1.bin").arg(round);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        CCsvLineReader reader(path);
        ASSERT_TRUE(reader.Open());
        QString line;
        bool tooLong = false;
        qsizetype lines = 0;
        while (reader.ReadLine(&line, &tooLong)) {
            ++lines;
            ASSERT_FALSE(line.contains(u'\n'));
            ASSERT_FALSE(line.contains(u'\r'));
            ASSERT_FALSE(tooLong);
        }
        EXPECT_FALSE(reader.Failed());
        // LF, CR and CR LF each end one line.
        const qsizetype breaks = bytes.count('\n') + bytes.count('\r') - bytes.count("\r\n");
        EXPECT_EQ(lines, bytes.isEmpty() || bytes.endsWith('\n') || bytes.endsWith('\r') ? breaks : breaks + 1);
    }
}
