#pragma once

#include "CRecordDeleter.h"

#include <QSet>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

class CAppContext;
class CFerrold_Handler;

// Deletes readers with everything that names them: a transponder's reader
// list loses the reader's ID, the reader's events are deleted or kept
// without a reader, and its children leave the tree. All of it runs in one
// transaction per command, so a reader the database keeps keeps its events
// and assignments too; the caches follow in one pass each.
class CReaderDeleter
{
public:
    // The context's tree loses the readers' children and its main window
    // shows the wait cursor; without one, neither.
    CReaderDeleter(CFerrold_Handler& db, CAppContext* context);

    // Rebuilds the reader list from the cache; runs once, before any box.
    std::function<void()> refill;
    // The view's busy flag, 1 while the command runs.
    int* busyFlag = nullptr;

    // The operator's command on the chosen readers: confirms, asks whether
    // the events of framed readers go too, deletes. False when nothing was
    // asked for or the operator said anything but Yes.
    bool DeleteChosen(const std::vector<qint32>& readerIds);
    // The same for every reader.
    bool DeleteEverything();

    // The work without questions: the readers with these IDs, or all of
    // them when ids is null.
    CRecordDeleter::Result Delete(const std::vector<qint32>* ids, bool removeEvents);

private:
    // Strips the deleted readers from every stored reader list.
    void StripStoredLists(const QSet<qint32>& deleted);

    CFerrold_Handler& m_db;
    CAppContext* m_pContext;
};
