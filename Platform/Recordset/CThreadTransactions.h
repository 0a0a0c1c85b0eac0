#pragma once

#include "CLockWait.h"

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>

// The transactions running on one data source, one per thread at most,
// and what became of each: lost with its server connection (the server
// undid it, so every use fails until its owner ends it), or spoiled by
// rows it was told were added but could not be stored (its commit must
// fail). However a transaction ends, what it carried ends with it.
//
// Threads are told apart by a number the caller gives (one per thread).
class CThreadTransactions
{
public:
    // Records the thread's new transaction and returns its number (never 0;
    // every transaction gets a new one). "ownStep": the step the
    // transaction is (begun outside any step), ended with it.
    quint64 Begin(quint64 thread, std::unique_ptr<CLockWait::Step> ownStep = nullptr);
    // The thread's running transaction's number; 0: none.
    quint64 Serial(quint64 thread) const;
    // How long the thread's transaction has run; 0 for none.
    int ElapsedMs(quint64 thread) const;

    // Its connection went with the server: the server undid it.
    void MarkLost(quint64 thread);
    bool IsLost(quint64 thread) const;

    // Rows it carries could not be stored: the first reason stays. Nothing
    // happens outside a transaction.
    void Spoil(quint64 thread, const QString& reason);
    // Why the thread's transaction cannot be committed; empty: it can.
    QString Spoiled(quint64 thread) const;
    void ClearSpoiled(quint64 thread);

    struct Ended
    {
        // It had been lost with its connection.
        bool lost = false;
        // Its own step, for the caller to end when the data source is free.
        std::unique_ptr<CLockWait::Step> step;
    };
    // Forgets the thread's transaction and what it carried.
    Ended End(quint64 thread);

private:
    struct Entry
    {
        quint64 serial = 0;
        std::chrono::steady_clock::time_point began;
        bool lost = false;
        QString spoiled;
        std::unique_ptr<CLockWait::Step> step;
    };

    mutable std::mutex m_mutex;
    quint64 m_lastSerial = 0;
    std::map<quint64, Entry> m_running;
};
