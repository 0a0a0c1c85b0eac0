// One of several programs writing to one database at the same time, as the
// operator PCs of a site do: it stores readers, transponders and events
// through the data source "Quandor" of its environment and prints every
// new key it was given ("leser <name> <key>", ...). Then it prints
// "written", waits for a line on its input, re-reads the tables and prints
// how many rows it sees ("seen <readers> <transponders> <events>").
//
//     ferrold_writer <tag> <rows>

#include "CDBException.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Reporter.h"
#include "CLanguageHandler.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ferrold_writer <tag> <rows>\n");
        return 2;
    }
    const QString tag = QString::fromLocal8Bit(argv[1]);
    const int rows = std::atoi(argv[2]);
    int failures = 0;
    CFerrold_Reporter::SetReporter([&](const QString& text, CFerrold_Reporter::Icon) {
        std::fprintf(stderr, "message: %s\n", qUtf8Printable(text));
        ++failures;
    });
    CLanguageHandler language(0, QString());
    CFerrold_Handler handler(&language, {CDatabase::Kind::Odbc, QStringLiteral("Quandor")});
    if (!handler.IsUsable())
        return 1;
    CtblLeser* readers = handler.Get_Ptr_To_tblLeser();
    CtblTransponder* transponders = handler.Get_Ptr_To_tblTransponder();
    CtblEvents* events = handler.Get_Ptr_To_tblEvents();
    try {
        if (!readers->OpenKey(0) || !transponders->OpenKey(0) || !events->OpenKey(0))
            return 1;
        for (int i = 0; i < rows; ++i) {
            const QString name = QStringLiteral("%1-%2").arg(tag).arg(i);
            readers->AddNew();
            readers->strBezeichnung = name;
            readers->Update();
            std::printf("leser %s %d\n", qUtf8Printable(name), readers->GetLastInsertKey());
            transponders->AddNew();
            transponders->strTransponderNummer = name;
            transponders->Update();
            std::printf("transponder %s %d\n", qUtf8Printable(name), transponders->GetLastInsertKey());
            events->AddNew();
            events->strTranspondernummer = name;
            events->Update();
            std::printf("event %s %d\n", qUtf8Printable(name), events->GetLastInsertKey());
        }
    } catch (const CDBException& e) {
        std::fprintf(stderr, "failed: %s\n", qUtf8Printable(e.m_strError));
        return 1;
    }
    readers->Close();
    transponders->Close();
    events->Close();
    std::printf("written\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    readers->_Requery();
    transponders->_Requery();
    events->_Requery();
    std::printf("seen %d %d %d\n", readers->GetAnz_Leser(), transponders->GetAnz_Transponder(),
                events->GetAnz_Events());
    return failures == 0 ? 0 : 1;
}
