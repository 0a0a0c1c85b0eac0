#pragma once

class CAppContext;
class CLanguageHandler;

// Clear-all: deletes every reader, event, person, transponder and time
// schema, keeping the built-in full-access schema and the online table,
// then re-reads the caches and rebuilds the tree and the right-hand view.
// Each table is emptied in a transaction of its own: a table is emptied
// wholly or, after a database failure, left as it was.
class CDeleteAllEntries
{
public:
    CDeleteAllEntries(CAppContext& context, CLanguageHandler* language);

    void OnDeleteAllEntries();

private:
    CAppContext& m_context;
    CLanguageHandler* m_pLanguage;
};
