#include "CLanguageHandler.h"

#include <QDir>
#include <QFile>

namespace {

unsigned int validLanguage(unsigned int language)
{
    // Settings may hold anything; only German and English exist.
    return language == 1 ? 1 : 0;
}

QString unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            const QChar n = text[++i];
            if (n == u'n')
                out += u'\n';
            else if (n == u't')
                out += u'\t';
            else
                out += n;
        } else {
            out += c;
        }
    }
    return out;
}

void parseInto(QHash<unsigned int, QString>& table, const QByteArray& bytes)
{
    const QString content = QString::fromUtf8(bytes);
    const auto lines = QStringView(content).split(u'\n');
    for (QStringView line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        if (tab <= 0)
            continue;
        bool ok = false;
        const unsigned int number = line.left(tab).trimmed().toUInt(&ok);
        // A number without text ("83<TAB>") keeps the text it had: an edited
        // file must never leave a message box empty.
        if (!ok || line.mid(tab + 1).trimmed().isEmpty())
            continue;
        table.insert(number, unescape(line.mid(tab + 1)));
    }
}

bool readFile(const QString& path, QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return true;
}

} // namespace

CLanguageHandler::CLanguageHandler(unsigned int language, const QString& folder)
    : m_folder(folder)
    , m_language(validLanguage(language))
{
    m_texts = std::make_shared<const Table>(LoadTexts(m_language, m_folder));
}

CLanguageHandler::~CLanguageHandler() = default;

QString CLanguageHandler::FileName(unsigned int language)
{
    return validLanguage(language) == 1 ? QStringLiteral("lang_en.txt") : QStringLiteral("lang_de.txt");
}

QHash<unsigned int, QString> CLanguageHandler::LoadTexts(unsigned int language, const QString& folder)
{
    Table table;
    QByteArray bytes;
    if (readFile(QStringLiteral(":/Parlon/") + FileName(language), bytes))
        parseInto(table, bytes);
    if (!folder.isEmpty() && readFile(QDir(folder).filePath(FileName(language)), bytes))
        parseInto(table, bytes);
    return table;
}

QString CLanguageHandler::GetLangItem(unsigned int number) const
{
    std::shared_ptr<const Table> texts;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        texts = m_texts;
    }
    return texts->value(number);
}

QString CLanguageHandler::GetLangItem(unsigned int number, qint64 value) const
{
    const QString text = GetLangItem(number);
    if (!text.contains(QLatin1String("%1")))
        return text;
    return text.arg(value);
}

unsigned int CLanguageHandler::GetAktivLanguage() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_language;
}

void CLanguageHandler::SetAktLanguage(unsigned int language)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_language = validLanguage(language);
}

void CLanguageHandler::GetAllItems()
{
    const unsigned int language = GetAktivLanguage();
    auto texts = std::make_shared<const Table>(LoadTexts(language, m_folder));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_texts = std::move(texts);
}
