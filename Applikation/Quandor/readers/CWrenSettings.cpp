#include "CWrenSettings.h"

#include "CGridBaseDlg.h"
#include "CReaderFrame.h"

#include <limits>

CWrenSettings CWrenSettings::FromParameter(const QString& parameter)
{
    CWrenSettings settings;
    settings.modeBits = ModeBits(parameter);
    const qsizetype separator = parameter.indexOf(u';');
    if (separator >= 0)
        settings.master = parameter.mid(separator + 1);
    return settings;
}

QString CWrenSettings::ModeBitsText(const QString& parameter)
{
    const qsizetype separator = parameter.indexOf(u';');
    return separator >= 0 ? parameter.left(separator) : parameter;
}

quint32 CWrenSettings::ModeBits(const QString& parameter)
{
    quint32 bits = 0;
    if (!CGridBaseDlg::HexToUInt(ModeBitsText(parameter), &bits))
        bits = 0;
    return bits;
}

QString CWrenSettings::ToParameter() const
{
    QString text = QString::number(modeBits, 16).toUpper();
    if (!master.isEmpty())
        text += u';' + master;
    return text;
}

int CWrenSettings::LeadingInt(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        negative = text.at(i++) == u'-';
    qint64 value = 0;
    constexpr qint64 kLimit = qint64(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        value = value * 10 + (text.at(i).unicode() - u'0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        return int(-value);
    return int(std::min<qint64>(value, std::numeric_limits<int>::max()));
}

QString CWrenSettings::SwitchTimeShown(const QString& modus)
{
    const int value = LeadingInt(modus);
    if (value > 0)
        return QString::number(value);
    return value == 0 ? QStringLiteral("0.5") : QStringLiteral("0");
}

CWrenSettings::SwitchTimeCheck CWrenSettings::CheckSwitchTime(const QString& typed, QString* modus)
{
    if (typed == QLatin1String("0.5") || typed == QLatin1String("0,5")) {
        *modus = QStringLiteral("0");
        return SwitchTimeCheck::Valid;
    }
    const int value = LeadingInt(typed);
    if (value < 1)
        return SwitchTimeCheck::BelowOne;
    if (value > 15)
        return SwitchTimeCheck::AboveFifteen;
    *modus = QString::number(value);
    return SwitchTimeCheck::Valid;
}

QString CWrenSettings::SwitchTimeData(const QString& modus)
{
    // A stored value outside 0 to 15 goes out as the reader's tools would
    // write it: the two's complement of a negative number in hexadecimal.
    return QStringLiteral("10") + QString::number(quint32(LeadingInt(modus)), 16).toUpper();
}

bool CWrenSettings::IsTransponderNumber(const QString& text)
{
    if (text.size() != 10)
        return false;
    for (const QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}

bool CWrenSettings::SendTo(const std::function<QString(char, const QString&)>& send, const QString& modus) const
{
    const auto acknowledged = [&](char letter, bool on) {
        return CReaderFrame::IsPlainAck(send(letter, on ? QStringLiteral("1") : QStringLiteral("0")).toLatin1());
    };
    if (!acknowledged('J', MasterActive()) || !acknowledged('K', Standalone()))
        return false;
    send('D', SwitchTimeData(modus));
    return true;
}
