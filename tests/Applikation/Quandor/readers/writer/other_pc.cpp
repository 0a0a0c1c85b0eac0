// A second operator PC on the same database: it opens the database, says
// "ready", and on each line of its input makes one change as the operator
// does it in the views, which marks the readers concerned:
//
//     assign <transponder key> <reader>   the transponder is given the reader
//     window <schema identity>            the schema's first window starts at 06:xx
//
// It answers each line with "done" or "refused <text>".
//
//     other_pc [<embedded file>]   (else the data source "Quandor")

#include "CFerrold_Handler.h"
#include "CFerrold_Reporter.h"
#include "CLanguageHandler.h"
#include "CTransponderStore.h"
#include "CZeitschemaStore.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CFerrold_Reporter::SetReporter([](const QString& text, CFerrold_Reporter::Icon) {
        std::fprintf(stderr, "message: %s\n", qUtf8Printable(text));
    });
    CLanguageHandler language(0, QString());
    const CDatabase::Source source = argc > 1 ? CDatabase::Source{CDatabase::Kind::Sqlite, QString::fromLocal8Bit(argv[1])}
                                              : CDatabase::Source{CDatabase::Kind::Odbc, QStringLiteral("Quandor")};
    CFerrold_Handler handler(&language, source);
    if (!handler.IsUsable())
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    QTextStream in(stdin);
    for (QString line = in.readLine(); !line.isNull(); line = in.readLine()) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool done = false;
        QString error;
        if (words.size() == 3 && words[0] == QLatin1String("assign")) {
            CTransponderStore store(&handler);
            done = store.SetReader(words[1].toInt(), words[2].toInt(), true);
            error = store.LastError();
        } else if (words.size() == 2 && words[0] == QLatin1String("window")) {
            CZeitschemaStore store(&handler);
            const int schema = store.SchemaOfIdentity(words[1].toInt());
            done = schema >= 0 && store.StoreCell(schema, 0, 4, QStringLiteral("06"));
            error = store.LastError();
        } else {
            error = QStringLiteral("unknown command");
        }
        if (done)
            std::printf("done\n");
        else
            std::printf("refused %s\n", qUtf8Printable(error));
        std::fflush(stdout);
    }
    return 0;
}
