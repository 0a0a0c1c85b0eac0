#pragma once

#include <QString>

#include <stdexcept>

// A database error from a record-set or data-source operation. The driver's
// text is kept as it came, so it can be shown to the user unchanged.
class CDBException : public std::runtime_error
{
public:
    explicit CDBException(const QString& error);

    QString m_strError;
};
