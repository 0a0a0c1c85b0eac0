#pragma once

#include "CRecordWriter.h"

#include <QString>
#include <QtGlobal>

class CFerrold_Handler;

// What the reader view and its settings dialogs write to a reader's row.
// A reader that is gone from the table is NotFound and nothing is shown; a
// table that cannot be opened or a refused write shows its box
// (CRecordWriter). The callers re-read the readers' cache afterwards.
class CReaderStore
{
public:
    using Result = CRecordWriter::Result;

    explicit CReaderStore(CFerrold_Handler& db);

    // A reader just registered, unmarked.
    struct NewReader {
        QString address, serial, modelText, modus, parameter;
    };
    Result Add(const QString& name, const NewReader& reader);
    Result Rename(qint32 readerId, const QString& name);
    // The settings a dialog read from its controls; a null "modus" keeps
    // the stored one. "mark" marks the reader for sending.
    Result StoreSettings(qint32 readerId, const QString& parameter, const QString& modus, bool mark);
    // Marks the reader for sending: it lacks what the database holds.
    Result Mark(qint32 readerId);

    enum class MasterResult
    {
        Stored,
        ReaderNotFound,
        Failed // a box said why, or the transponder is gone; nothing stored
    };
    // A Wren's newly taught master: the reader's parameter, and the
    // transponder with that number no longer lists the reader (the reader is
    // then marked for sending). Both records change together or not at all;
    // the transponders' cache is re-read afterwards.
    MasterResult StoreNewMaster(qint32 readerId, const QString& number, const QString& parameter);

private:
    CFerrold_Handler& m_db;
};
