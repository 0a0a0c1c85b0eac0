#pragma once

#include <QString>

#include <mutex>

// What the reader link knows about the connected reader. The search thread
// writes it while the status bar and the views read it. A reader takes all
// of it at once: values read one by one under separate locks could mix two
// connections (an open port with the number of none).
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

    struct Snapshot
    {
        int readerType = ReaderNone;
        int connectedPort = -1;
        quint32 comPort = 0;
        QString identification;
        QString readerName;
        QString masterTransponder;
        QString sessionString;
    };

    // Every value as one write left them.
    Snapshot Read() const;

    // The port a search tries and the reader found there (ReaderNone while
    // it is still asked), set together.
    void SetConnection(int port, int readerType);
    void SetReaderType(int type);
    void SetIdentification(const QString& identification);
    void SetReaderName(const QString& name);
    void SetMasterTransponder(const QString& number);
    void SetSessionString(const QString& session);
    void SetComPort(quint32 port);

    // No reader: type none, no connected port.
    void SetDisconnected();

private:
    mutable std::mutex m_mutex;
    Snapshot m_state;
};
