#include "CLinkStatus.h"

namespace {
using Lock = std::lock_guard<std::mutex>;
}

int CLinkStatus::ReaderType() const
{
    Lock lock(m_mutex);
    return m_readerType;
}

void CLinkStatus::SetReaderType(int type)
{
    Lock lock(m_mutex);
    m_readerType = type;
}

int CLinkStatus::ConnectedPort() const
{
    Lock lock(m_mutex);
    return m_connectedPort;
}

void CLinkStatus::SetConnectedPort(int port)
{
    Lock lock(m_mutex);
    m_connectedPort = port;
}

QString CLinkStatus::Identification() const
{
    Lock lock(m_mutex);
    return m_identification;
}

void CLinkStatus::SetIdentification(const QString& identification)
{
    Lock lock(m_mutex);
    m_identification = identification;
}

QString CLinkStatus::ReaderName() const
{
    Lock lock(m_mutex);
    return m_readerName;
}

void CLinkStatus::SetReaderName(const QString& name)
{
    Lock lock(m_mutex);
    m_readerName = name;
}

QString CLinkStatus::MasterTransponder() const
{
    Lock lock(m_mutex);
    return m_masterTransponder;
}

void CLinkStatus::SetMasterTransponder(const QString& number)
{
    Lock lock(m_mutex);
    m_masterTransponder = number;
}

QString CLinkStatus::SessionString() const
{
    Lock lock(m_mutex);
    return m_sessionString;
}

void CLinkStatus::SetSessionString(const QString& session)
{
    Lock lock(m_mutex);
    m_sessionString = session;
}

quint32 CLinkStatus::ComPort() const
{
    Lock lock(m_mutex);
    return m_comPort;
}

void CLinkStatus::SetComPort(quint32 port)
{
    Lock lock(m_mutex);
    m_comPort = port;
}

void CLinkStatus::SetDisconnected()
{
    Lock lock(m_mutex);
    m_readerType = ReaderNone;
    m_connectedPort = -1;
}
