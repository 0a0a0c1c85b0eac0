#pragma once

#include <QString>

#include <mutex>

// What the reader link knows about the connected reader. The search thread
// writes it while the status bar reads it, so every value is read and
// written under one lock.
class CLinkStatus
{
public:
    // The link's numbering of the reader models.
    enum ReaderType { ReaderNone = -1, ReaderWren = 0, ReaderKite = 1, ReaderHeron = 2, ReaderTern = 3, ReaderEgret = 4 };

    static bool IsFramed(int readerType)
    {
        return readerType == ReaderKite || readerType == ReaderHeron || readerType == ReaderEgret;
    }
    static bool IsPlain(int readerType) { return readerType == ReaderWren || readerType == ReaderTern; }

    int ReaderType() const;
    void SetReaderType(int type);
    int ConnectedPort() const;
    void SetConnectedPort(int port);
    QString Identification() const;
    void SetIdentification(const QString& identification);
    QString ReaderName() const;
    void SetReaderName(const QString& name);
    QString MasterTransponder() const;
    void SetMasterTransponder(const QString& number);
    QString SessionString() const;
    void SetSessionString(const QString& session);
    quint32 ComPort() const;
    void SetComPort(quint32 port);

    // No reader: type none, no connected port.
    void SetDisconnected();

private:
    mutable std::mutex m_mutex;
    int m_readerType = ReaderNone;
    int m_connectedPort = -1;
    quint32 m_comPort = 0;
    QString m_identification;
    QString m_readerName;
    QString m_masterTransponder;
    QString m_sessionString;
};
