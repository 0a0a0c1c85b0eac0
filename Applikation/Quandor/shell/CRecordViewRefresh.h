#pragma once

class CMainFrame;

// After a command changed the database as a whole (restore, clear-all,
// CSV import), the record view on the right shows all its records again,
// read afresh: nothing of it may keep showing rows of the caches before.
class CRecordViewRefresh
{
public:
    // Every kind of view, unfiltered.
    static void ShowAll(CMainFrame* frame);
    // After an import: the reader view reloads; the transponder, person and
    // events views show all records with their tree node selected.
    static void ShowAllAfterImport(CMainFrame* frame);
};
