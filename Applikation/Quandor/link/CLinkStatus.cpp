#include "CLinkStatus.h"

namespace {
using Lock = std::lock_guard<std::mutex>;
}

CLinkStatus::Snapshot CLinkStatus::Read() const
{
    Lock lock(m_mutex);
    return m_state;
}

void CLinkStatus::SetConnection(int port, int readerType)
{
    Lock lock(m_mutex);
    m_state.connectedPort = port;
    m_state.readerType = readerType;
}

void CLinkStatus::SetReaderType(int type)
{
    Lock lock(m_mutex);
    m_state.readerType = type;
}

void CLinkStatus::SetIdentification(const QString& identification)
{
    Lock lock(m_mutex);
    m_state.identification = identification;
}

void CLinkStatus::SetReaderName(const QString& name)
{
    Lock lock(m_mutex);
    m_state.readerName = name;
}

void CLinkStatus::SetMasterTransponder(const QString& number)
{
    Lock lock(m_mutex);
    m_state.masterTransponder = number;
}

void CLinkStatus::SetSessionString(const QString& session)
{
    Lock lock(m_mutex);
    m_state.sessionString = session;
}

void CLinkStatus::SetComPort(quint32 port)
{
    Lock lock(m_mutex);
    m_state.comPort = port;
}

void CLinkStatus::SetDisconnected()
{
    Lock lock(m_mutex);
    m_state.readerType = ReaderNone;
    m_state.connectedPort = -1;
}
