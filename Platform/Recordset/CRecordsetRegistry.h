#pragma once

#include <QtGlobal>

#include <mutex>
#include <utility>
#include <vector>

class CRecordset;

// The live record sets of one data source and the thread that used each
// last, so a rollback re-reads the sets of its own thread only: they are
// not in use elsewhere, and they are the ones whose connection undid its
// writes.
//
// Threads are told apart by a number the caller gives (one per thread).
class CRecordsetRegistry
{
public:
    void Add(CRecordset* set, quint64 thread);
    void Remove(CRecordset* set);
    void NoteUse(CRecordset* set, quint64 thread);
    // The sets the thread used last, in the order they were added.
    std::vector<CRecordset*> SetsOf(quint64 thread) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<CRecordset*, quint64>> m_sets;
};
