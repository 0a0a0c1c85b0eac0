#include "CEventRecord.h"

#include "CGridBaseDlg.h"

namespace {

quint32 hexPair(const QString& pair)
{
    quint32 value = 0;
    if (!CGridBaseDlg::HexToUInt(pair, &value))
        value = 0;
    return value;
}

struct Kind
{
    const char* code;
    unsigned int text;
};

Kind firstKind(quint32 b1)
{
    if (b1 & 0x80)
        return {"10", 191};
    if (b1 & 0x40)
        return {"01", 192};
    return {"00", 193};
}

// The first rule that holds wins, so all three bits give "011".
Kind secondKind(quint32 b2)
{
    const bool b7 = b2 & 0x80;
    const bool b6 = b2 & 0x40;
    const bool b5 = b2 & 0x20;
    if (b6 && b5)
        return {"011", 194};
    if (b7 && b5)
        return {"101", 195};
    if (b7 && b6)
        return {"110", 196};
    if (b6)
        return {"010", 197};
    if (b7)
        return {"100", 198};
    if (b5)
        return {"001", 229};
    return {"---", 199};
}

int dayTens(quint32 b1)
{
    if ((b1 & 0x30) == 0x30)
        return 3;
    if (b1 & 0x20)
        return 2;
    return (b1 & 0x10) ? 1 : 0;
}

} // namespace

int CEventRecord::FullYear(int twoDigits)
{
    return twoDigits > 70 ? 1900 + twoDigits : 2000 + twoDigits;
}

bool CEventRecord::Decode(const QString& reply, CEventRecord* out)
{
    if (reply.size() != kReplyLength || !out || !reply.startsWith(QLatin1String("FFLE")))
        return false;
    const quint32 b1 = hexPair(reply.mid(18, 2));
    const quint32 b2 = hexPair(reply.mid(20, 2));
    const QString yy = reply.mid(22, 2);

    const int tensOfDay = dayTens(b1);
    const int unitsOfDay = int(b1 & 0x0F);
    const int tensOfMonth = (b2 & 0x10) ? 1 : 0;
    const int unitsOfMonth = int(b2 & 0x0F);

    // The year characters are taken as they stand; the century is chosen
    // by comparing them as text, which for two digits is the number.
    const QString century = yy > QLatin1String("70") ? QStringLiteral("19") : QStringLiteral("20");

    CEventRecord r;
    r.transponder = reply.mid(4, 10);
    r.time = reply.mid(14, 4);
    r.date = QString::number(tensOfDay) + QString::number(unitsOfDay) + QString::number(tensOfMonth)
        + QString::number(unitsOfMonth) + century + yy;
    const Kind k1 = firstKind(b1);
    const Kind k2 = secondKind(b2);
    r.kind1Code = QLatin1String(k1.code);
    r.kind1Text = k1.text;
    r.kind2Code = QLatin1String(k2.code);
    r.kind2Text = k2.text;
    r.day = tensOfDay * 10 + unitsOfDay;
    r.month = tensOfMonth * 10 + unitsOfMonth;
    bool digits = false;
    const int twoDigits = yy.toInt(&digits);
    r.year = digits ? (century == QLatin1String("19") ? 1900 : 2000) + twoDigits : 0;
    *out = r;
    return true;
}
