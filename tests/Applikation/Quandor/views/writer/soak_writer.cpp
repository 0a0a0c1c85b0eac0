// One of two programs writing to one database at once for a while, as two
// operator PCs do: persons, transponders, time schemas (through the view's
// store) and events in batches. Every write the program was told is stored
// is printed with its key ("person <key>", "transponder <key>",
// "schema <identity> <name>", "event <key>"); a refused write is printed to
// stderr ("refused <text>") and the next one follows. Ends with "done".
//
//     soak_writer <tag> <seconds> [<embedded file>]   (else the data source "Quandor")

#include "CDBException.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Reporter.h"
#include "CLanguageHandler.h"
#include "CTransaction.h"
#include "CZeitschemaStore.h"
#include "CtblEvents.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: soak_writer <tag> <seconds> [<embedded file>]\n");
        return 2;
    }
    const QString tag = QString::fromLocal8Bit(argv[1]);
    const qint64 ms = qint64(std::atof(argv[2]) * 1000);
    CFerrold_Reporter::SetReporter([](const QString& text, CFerrold_Reporter::Icon) {
        std::fprintf(stderr, "message: %s\n", qUtf8Printable(text));
    });
    CLanguageHandler language(0, QString());
    const CDatabase::Source source = argc > 3 ? CDatabase::Source{CDatabase::Kind::Sqlite, QString::fromLocal8Bit(argv[3])}
                                              : CDatabase::Source{CDatabase::Kind::Odbc, QStringLiteral("Quandor")};
    CFerrold_Handler handler(&language, source);
    if (!handler.IsUsable())
        return 1;
    CtblPerson* persons = handler.Get_Ptr_To_tblPerson();
    CtblTransponder* transponders = handler.Get_Ptr_To_tblTransponder();
    CtblEvents* events = handler.Get_Ptr_To_tblEvents();
    CZeitschemaStore schemas(&handler);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; clock.elapsed() < ms; ++i) {
        const QString name = QStringLiteral("%1-%2").arg(tag).arg(i);
        try {
            if (!persons->OpenKey(0))
                throw CDBException(persons->GetLastError());
            persons->AddNew();
            persons->strName = name;
            persons->Update();
            persons->Close();
            std::printf("person %d\n", persons->GetLastInsertKey());

            if (!transponders->OpenKey(0))
                throw CDBException(transponders->GetLastError());
            transponders->AddNew();
            transponders->strTransponderNummer = QStringLiteral("%1").arg(i, 9, 10, QLatin1Char('0')) + tag.left(1);
            transponders->Zeitfenster_ID = 1;
            transponders->Update();
            transponders->Close();
            std::printf("transponder %d\n", transponders->GetLastInsertKey());
        } catch (const CDBException& e) {
            persons->Close();
            transponders->Close();
            std::fprintf(stderr, "refused %s\n", qUtf8Printable(e.m_strError));
        }

        if (const qint32 identity = schemas.Add(name))
            std::printf("schema %d %s\n", identity, qUtf8Printable(name));
        else
            std::fprintf(stderr, "refused %s\n", qUtf8Printable(schemas.LastError()));

        // A batch of events, stored together or not at all.
        std::vector<qint32> keys;
        try {
            CTransaction batch(handler.GetDatabase());
            if (!batch.IsActive())
                throw CDBException(batch.GetError());
            if (!events->OpenKey(0))
                throw CDBException(events->GetLastError());
            for (int e = 0; e < 20; ++e) {
                events->AddNew();
                events->strTranspondernummer = name;
                events->Update();
                keys.push_back(events->GetLastInsertKey());
            }
            events->Close();
            if (!batch.Commit())
                throw CDBException(batch.GetError());
            for (qint32 key : keys)
                std::printf("event %d\n", key);
        } catch (const CDBException& e) {
            events->Close();
            std::fprintf(stderr, "refused %s\n", qUtf8Printable(e.m_strError));
        }
        std::fflush(stdout);
    }
    std::printf("done\n");
    std::fflush(stdout);
    return 0;
}
