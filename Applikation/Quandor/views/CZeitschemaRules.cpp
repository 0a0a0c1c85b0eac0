#include "CZeitschemaRules.h"

const QString CZeitschemaRules::kFullAccessGerman = QStringLiteral("Vollzugriff");
const QString CZeitschemaRules::kFullAccessEnglish = QStringLiteral("Full access");

bool CZeitschemaRules::IsFullAccessName(const QString& name)
{
    return name == kFullAccessGerman || name == kFullAccessEnglish;
}

std::optional<QString> CZeitschemaRules::TwoDigitField(const QString& text, int maximum)
{
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        // Only ASCII digits: QChar::isDigit would take any script's digits.
        if (c.unicode() < '0' || c.unicode() > '9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value > maximum)
        return std::nullopt;
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

unsigned int CZeitschemaRules::NameProblem(const QString& name, const QStringList& others)
{
    if (name.trimmed().isEmpty())
        return kNameEmptyText;
    if (IsFullAccessName(name))
        return kNameReservedText;
    if (others.contains(name))
        return kNameTakenText;
    return 0;
}

QString CZeitschemaRules::UniqueName(const QString& prefix, const QStringList& taken,
                                     const std::function<quint32()>& draw)
{
    // 65535 names per prefix: a user will not fill them, but a loop that
    // cannot end is no answer either. Counting up from a drawn start finds a
    // free one when there is any.
    const quint32 start = draw() % 0xFFFF;
    for (quint32 i = 0; i < 0xFFFF; ++i) {
        const QString name = prefix + QString::number((start + i) % 0xFFFF, 16).toUpper();
        if (!taken.contains(name))
            return name;
    }
    return prefix + QString::number(start, 16).toUpper();
}

QString CZeitschemaRules::NewNamePrefix(int language)
{
    return language == 1 ? QStringLiteral("Timeplan_") : QStringLiteral("Zeitplan_");
}

int CZeitschemaRules::WeekdayOfColumn(int column)
{
    if (column >= 8 && column <= 13)
        return column - 7;
    return column == 14 ? 0 : -1;
}
