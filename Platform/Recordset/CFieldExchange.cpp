#include "CFieldExchange.h"

#include <limits>

namespace {

QString stripBrackets(const QString& name)
{
    if (name.startsWith(u'[') && name.endsWith(u']'))
        return name.mid(1, name.size() - 2);
    return name;
}

} // namespace

void CFieldExchange::Bind(const QString& column, Type type, void* member)
{
    m_bindings.push_back(Binding{stripBrackets(column), type, member});
}

QVariant CFieldExchange::Get(const Binding& b)
{
    switch (b.type) {
    case Type::Long:
        return QVariant(*static_cast<qint32*>(b.member));
    case Type::Text:
        return QVariant(*static_cast<QString*>(b.member));
    case Type::Bool:
        return QVariant(*static_cast<int*>(b.member) ? 1 : 0);
    }
    return {};
}

void CFieldExchange::Set(const Binding& b, const QVariant& value)
{
    switch (b.type) {
    case Type::Long:
        *static_cast<qint32*>(b.member) = ToLong(value);
        break;
    case Type::Text:
        *static_cast<QString*>(b.member) = ToText(value);
        break;
    case Type::Bool:
        *static_cast<int*>(b.member) = ToBool(value);
        break;
    }
}

void CFieldExchange::Reset(const Binding& b)
{
    switch (b.type) {
    case Type::Long:
        *static_cast<qint32*>(b.member) = 0;
        break;
    case Type::Text:
        static_cast<QString*>(b.member)->clear();
        break;
    case Type::Bool:
        *static_cast<int*>(b.member) = 0;
        break;
    }
}

qint32 CFieldExchange::ToLong(const QVariant& v)
{
    return v.isNull() ? 0 : static_cast<qint32>(v.toLongLong());
}

QString CFieldExchange::ToText(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

int CFieldExchange::ToBool(const QVariant& v)
{
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    return v.toLongLong() != 0 ? 1 : 0;
}

bool CFieldExchange::FitsLong(const QVariant& v)
{
    if (v.isNull())
        return true;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok) // a text or a fraction in a number column reads as its number, as before
        return true;
    return n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max();
}

void RFX_Long(CFieldExchange* pFX, const QString& column, qint32& value)
{
    pFX->Bind(column, CFieldExchange::Type::Long, &value);
}

void RFX_Text(CFieldExchange* pFX, const QString& column, QString& value)
{
    pFX->Bind(column, CFieldExchange::Type::Text, &value);
}

void RFX_Bool(CFieldExchange* pFX, const QString& column, int& value)
{
    pFX->Bind(column, CFieldExchange::Type::Bool, &value);
}
