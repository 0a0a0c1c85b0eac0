// Two programs writing persons, transponders, time schemas and events to one
// database at once, as two operator PCs do: every write either program was
// told is stored is in the table, no time schema's rows mix two schemas, and
// a refusal names its cause (a lock, with the plain explanation where a box
// shows it). QUANDOR_SOAK_SECONDS sets how long (default 10).
#include "FerroldTestDb.h"
#include "CUiMessage.h"
#include "CtblZeitschema.h"

#include <QProcess>
#include <QSet>

#include <memory>

#ifdef SOAK_WRITER
namespace {

class SeveralWritersSoakTest : public FerroldTest
{
protected:
    QSet<qint32> Keys(const QString& table, const QString& key)
    {
        QSet<qint32> keys;
        for (const QString& row : Rows(QStringLiteral("SELECT %1 FROM %2").arg(key, table)))
            keys.insert(row.toInt());
        return keys;
    }
};

TEST_F(SeveralWritersSoakTest, EveryWriteReportedStoredIsInTheTableAndNoSchemaMixesTwo)
{
    if (Odbc())
        GTEST_SKIP() << "runs on the embedded file and on the server";
    const double seconds = qEnvironmentVariableIsSet("QUANDOR_SOAK_SECONDS")
                               ? qEnvironmentVariable("QUANDOR_SOAK_SECONDS").toDouble()
                               : 10.0;
    Source(); // the data source "Quandor" the writers find on the server backend
    std::vector<std::unique_ptr<QProcess>> writers;
    for (const char* tag : {"a", "b"}) {
        auto p = std::make_unique<QProcess>();
        QStringList args{QString::fromLatin1(tag), QString::number(seconds)};
        if (!Postgres())
            args << m_file;
        p->start(QStringLiteral(SOAK_WRITER), args);
        ASSERT_TRUE(p->waitForStarted(30000));
        writers.push_back(std::move(p));
    }
    QHash<QString, QSet<qint32>> stored; // table -> keys reported stored
    QHash<qint32, QString> schemaNames;
    QStringList refusals;
    for (auto& p : writers) {
        // The run's length and a generous margin for a busy machine.
        ASSERT_TRUE(p->waitForFinished(int(seconds * 1000) + 240000));
        EXPECT_EQ(p->exitCode(), 0);
        const QList<QByteArray> lines = p->readAllStandardOutput().split('\n');
        EXPECT_TRUE(lines.contains("done"));
        for (const QByteArray& line : lines) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() < 2)
                continue;
            const qint32 key = words[1].toInt();
            EXPECT_FALSE(stored[QString::fromLatin1(words[0])].contains(key)) << "key given twice: " << line.toStdString();
            stored[QString::fromLatin1(words[0])].insert(key);
            if (words[0] == "schema" && words.size() == 3)
                schemaNames.insert(key, QString::fromLatin1(words[2]));
        }
        for (const QByteArray& line : p->readAllStandardError().split('\n')) {
            if (line.startsWith("refused "))
                refusals << QString::fromUtf8(line.mid(8));
        }
    }
    EXPECT_GT(stored.value("schema").size(), 0);
    EXPECT_GT(stored.value("event").size(), 0);
    const struct
    {
        const char* kind;
        const char* table;
        const char* key;
    } tables[] = {{"person", "tblPerson", "ID_Person"},
                  {"transponder", "tblTransponder", "ID_Transponder"},
                  {"event", "tblEvents", "ID_Events"}};
    for (const auto& t : tables) {
        const QSet<qint32> inTable = Keys(QLatin1String(t.table), QLatin1String(t.key));
        EXPECT_TRUE(inTable.contains(stored.value(QLatin1String(t.kind)))) << t.kind << ": a stored write is missing";
        EXPECT_EQ(inTable.size(), stored.value(QLatin1String(t.kind)).size()) << t.kind << ": a row nobody was told of";
    }
    auto& h = Handler();
    CtblZeitschema* schemas = h.Get_Ptr_To_tblZeitschema();
    EXPECT_TRUE(schemas->BrokenSchemas().isEmpty()) << schemas->BrokenSchemas().join(", ").toStdString();
    EXPECT_EQ(schemas->GetAnz_Zeitschema(), 4 * (1 + int(schemaNames.size())));
    for (int i = 4; i + 3 < schemas->GetAnz_Zeitschema(); i += 4)
        EXPECT_EQ(schemas->Get_Zeitschema(i)->Bezeichnung, schemaNames.value(schemas->Get_Zeitschema(i)->ID_Zeitschema));
    // A refusal is a lock, explained wherever a box shows it, never an
    // unexplained fault.
    CUiMessage::SetLanguage(m_language.get());
    for (const QString& refusal : refusals)
        EXPECT_TRUE(CUiMessage::ExplainLock(refusal).startsWith(m_language->GetLangItem(CUiMessage::kLockedText)))
            << refusal.toStdString();
    CUiMessage::SetLanguage(nullptr);
    std::printf("soak %.0f s: %d persons, %d transponders, %d schemas, %d events stored; %d refused\n", seconds,
                int(stored.value("person").size()), int(stored.value("transponder").size()), int(schemaNames.size()),
                int(stored.value("event").size()), int(refusals.size()));
}

} // namespace
#endif
