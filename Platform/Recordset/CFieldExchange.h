#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <vector>

// The column bindings of a record set: which member holds which column, and
// of which type. A table class lists them in its DoFieldExchange with the
// RFX_ functions below; the first binding is the row's key.
class CFieldExchange
{
public:
    enum class Type { Long, Text, Bool };

    struct Binding
    {
        QString column; // without brackets
        Type type;
        void* member;
    };

    void Bind(const QString& column, Type type, void* member);
    const std::vector<Binding>& Bindings() const { return m_bindings; }

    // Moving values between members and the stored form.
    static QVariant Get(const Binding& b);
    static void Set(const Binding& b, const QVariant& value);
    static void Reset(const Binding& b);

    // Normalised conversions: NULL reads as 0 or "", any non-zero flag as 1
    // (some ODBC sources store true as -1).
    static qint32 ToLong(const QVariant& v);
    static QString ToText(const QVariant& v);
    static int ToBool(const QVariant& v);
    // Whether a number column's value fits 32 bits.
    static bool FitsLong(const QVariant& v);

private:
    std::vector<Binding> m_bindings;
};

void RFX_Long(CFieldExchange* pFX, const QString& column, qint32& value);
void RFX_Text(CFieldExchange* pFX, const QString& column, QString& value);
void RFX_Bool(CFieldExchange* pFX, const QString& column, int& value);
