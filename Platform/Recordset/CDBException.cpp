#include "CDBException.h"

CDBException::CDBException(const QString& error)
    : std::runtime_error(error.toStdString())
    , m_strError(error)
{
}
