#pragma once

#include "GridRecords.h"

// The window that hosts a grid answers its requests and hears its
// notifications through this interface: the grid's owner when one is set,
// else the nearest parent widget that implements it. Every call is
// synchronous and carries a record of its own.
//
// The display exchange runs while the grid paints: answer at once, without
// opening windows or repainting, and check the data row against your data.
class CGridNotifyReceiver
{
public:
    virtual ~CGridNotifyReceiver() = default;

    // GRIDN_GETCELLTEXT and GRIDN_GETCELLCOLOR (info.hdr.code).
    virtual void OnGridDispInfo(GRID_DISPINFO& info) { (void)info; }
    // GRIDN_CACHEHINT: the range the grid is about to ask for, or none.
    virtual void OnGridCacheHint(const GRID_CACHEHINT& hint) { (void)hint; }
    // Every other notification; a negative result refuses where the code
    // allows it (GRIDN_BEGINEDIT, GRIDN_ENDEDIT).
    virtual qint64 OnGridNotify(GRID_NOTIFY& notify)
    {
        (void)notify;
        return 0;
    }
};
