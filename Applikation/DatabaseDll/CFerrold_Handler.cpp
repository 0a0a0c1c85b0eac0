#include "CFerrold_Handler.h"

#include "CFerrold_Reporter.h"
#include "CFerrold_Schema.h"
#include "CLanguageHandler.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblOnline.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

namespace {

QString text(CLanguageHandler* language, unsigned int number)
{
    return language ? language->GetLangItem(number) : QString();
}

// Failure texts per table, in table-number order.
const unsigned int kRequeryAllText[6] = {47, 48, 49, 50, 51, 72};
const unsigned int kSelectiveText[6] = {52, 53, 54, 55, 56, 72};
const unsigned int kReconnectedText = 290;
const unsigned int kReplacedText = 362;
const unsigned int kReadOnlyText = 365;

} // namespace

CFerrold_Handler::CFerrold_Handler(CLanguageHandler* pLanguage)
    : CFerrold_Handler(pLanguage, CFerrold_Schema::DefaultSource())
{
}

CFerrold_Handler::CFerrold_Handler(CLanguageHandler* pLanguage, const CDatabase::Source& source)
    : m_pLanguage(pLanguage)
    , m_pDatabase(std::make_unique<CDatabase>(source))
{
    QString error;
    if (CFerrold_Schema::Prepare(*m_pDatabase, &error)) {
        // Said once, in plain words; each refused write says it again.
        if (m_pDatabase->IsReadOnly())
            CFerrold_Reporter::Report(text(m_pLanguage, kReadOnlyText), CFerrold_Reporter::Icon::Exclamation);
    } else {
        // Reported once here; the tables then start empty without repeating it.
        m_pDatabase->MarkUnusable(error);
        CFerrold_Reporter::Report(text(m_pLanguage, 83) + QLatin1Char('\n') + text(m_pLanguage, 84)
                                      + QStringLiteral("\n\n") + error,
                                  CFerrold_Reporter::Icon::Stop);
    }
    // Said once per reconnect; what failed while the server was away has
    // reported its own failure.
    m_pDatabase->SetReconnectHandler([language = m_pLanguage] {
        CFerrold_Reporter::Report(text(language, kReconnectedText), CFerrold_Reporter::Icon::Exclamation);
    });
    m_pDatabase->SetReplacedHandler([language = m_pLanguage] {
        CFerrold_Reporter::Report(text(language, kReplacedText), CFerrold_Reporter::Icon::Exclamation);
    });
    m_pEvents = new CtblEvents(m_pLanguage, m_pDatabase.get());
    m_pLeser = new CtblLeser(m_pLanguage, m_pDatabase.get());
    m_pPerson = new CtblPerson(m_pLanguage, m_pDatabase.get());
    m_pTransponder = new CtblTransponder(m_pLanguage, m_pDatabase.get());
    m_pZeitschema = new CtblZeitschema(m_pLanguage, m_pDatabase.get());
    m_pOnline = new CtblOnline(m_pLanguage, m_pDatabase.get());
}

CFerrold_Handler::~CFerrold_Handler()
{
    delete m_pEvents;
    m_pEvents = nullptr;
    delete m_pLeser;
    m_pLeser = nullptr;
    delete m_pPerson;
    m_pPerson = nullptr;
    delete m_pTransponder;
    m_pTransponder = nullptr;
    delete m_pZeitschema;
    m_pZeitschema = nullptr;
    delete m_pOnline;
    m_pOnline = nullptr;
}

int CFerrold_Handler::_RequeryAll()
{
    int result = 1;
    for (int table = 0; table < 6; ++table) {
        CFerrold_Base* t = Table(table);
        t->_Requery();
        if (t->LastReadFailed()) {
            CFerrold_Reporter::Report(text(m_pLanguage, kRequeryAllText[table]), CFerrold_Reporter::Icon::Exclamation);
            result = 0;
        }
    }
    return result;
}

int CFerrold_Handler::Selective_Requery(int table)
{
    if (table < 0 || table >= 6) {
        CFerrold_Reporter::Report(text(m_pLanguage, 57), CFerrold_Reporter::Icon::Exclamation);
        return 0;
    }
    CFerrold_Base* t = Table(table);
    t->_Requery();
    if (t->LastReadFailed()) {
        CFerrold_Reporter::Report(text(m_pLanguage, kSelectiveText[table]), CFerrold_Reporter::Icon::Exclamation);
        return 0;
    }
    return 1;
}

CFerrold_Base* CFerrold_Handler::Table(int table) const
{
    CFerrold_Base* const tables[6] = {m_pEvents, m_pLeser, m_pPerson, m_pTransponder, m_pZeitschema, m_pOnline};
    return tables[table];
}

QString CFerrold_Handler::GetAktDBPath()
{
    m_strDBPath = m_pDatabase->GetDatabaseName();
    if (m_strDBPath.isEmpty())
        return QString();
    if (!m_strDBPath.endsWith(QLatin1String(".mdb"), Qt::CaseSensitive))
        m_strDBPath += QLatin1String(".mdb");
    return m_strDBPath;
}
