#pragma once

#include <QString>

class CAppContext;
class CLanguageHandler;

// Backup and restore of the database file. A backup copies the file to a
// file the user names. A restore checks that the chosen file is a database
// of this program with nothing of its own that runs (CRestoreCandidate),
// closes every connection, keeps a safety copy of the
// current file when the user wants one, puts the chosen file in place
// through a temporary file, checked again and with the old file's journals
// removed before the rename, and opens the database again; the
// program is never left without a database, and a failure leaves the
// database as it was. A data source without a file (an ODBC server) has
// nothing to copy: both are refused.
class CDatabaseBackup
{
public:
    CDatabaseBackup(CAppContext& context, CLanguageHandler* language);

    void OnDatabaseBackup();
    void OnDatabaseRestore();

    // "Backup_Vondral Manager_<stamp>" (German) or "Backup_Kestrav Manager_<stamp>".
    static QString BackupName(bool german, const QString& stamp);
    // Beside the database: its path less the last four characters, then
    // "_Backup_", the stamp and ".mdb".
    static QString SafetyCopyPath(const QString& databasePath, const QString& stamp);

    // A backup or restore that was killed leaves its temporary copy beside
    // the file it was writing and its snapshot folder in the temporary
    // folder; both carry the writer's process number. Removes those of
    // processes that no longer run, beside "besideFile" (empty: none) and
    // in the temporary folder; the number removed.
    static int RemoveLeftovers(const QString& besideFile);
    // Where a copy takes its consistent state of the database.
    static QString SnapshotFolderTemplate();

private:
    QString Text(unsigned int number) const;
    // The database file, or an empty text (reported) when the data source
    // has none.
    QString DatabaseFile(bool mustExist) const;
    QString ChooseFile(bool save, bool german, const QString& proposedName) const;

    CAppContext& m_context;
    CLanguageHandler* m_pLanguage;
};
