#pragma once

#include "CFerrold_Reporter.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>


class CFerrold_Base;
class CFerrold_Handler;
class CLanguageHandler;

// Writes the accepted lines of a CSV import (each without its type word)
// into the database: transponders with their person, readers and time
// schema, or persons with their transponder. A record that fails its checks
// is not written and goes to the error list as "Nr.: <n> -> <line>", n
// counting accepted lines from 1, the reason after it.
//
// Every check sees the database as it is at that moment, lines written
// earlier by the same import included: a number or a person name is never
// stored twice by one file. All rows of one import are written in one
// transaction; a database failure undoes the whole import and says so.
// The transponder, person and reader caches are re-read at the end in every
// case, so screen and database agree.
class CCsvImporter
{
public:
    enum Kind { Transponders = 1, Persons = 2 };

    // What one accepted line asks for, once its checks have passed.
    struct Record
    {
        QString number;      // upper case; empty: no transponder
        QString person;      // empty: no person
        qint32 schemaId = 1;
        QList<qint32> readers; // each reader once, in line order
    };

    // The checks see the caches as they are now.
    CCsvImporter(CFerrold_Handler& db, const CLanguageHandler* language, Kind kind);

    // Reading pass: whether a line of the file is one of this kind ("rest"
    // then holds it without the type word and the character after it).
    static bool AcceptLine(Kind kind, const QString& line, QString* rest);

    // The checks of one accepted line against the database as it is now.
    // False when the line is to be rejected; "reason" then says which field
    // failed which rule.
    bool Check(const QString& acceptedLine, Record* record, QString* reason = nullptr) const;

    // Writes the lines. 1 when the import ran (records may still have been
    // rejected), 0 when the reader table could not be written; any other
    // failure undoes the import, is reported, and gives 1.
    int Write(const QStringList& acceptedLines);
    // Called after each record the import handles (the windows paint).
    void SetProgress(std::function<void()> onRecord) { m_onRecord = std::move(onRecord); }

    const QStringList& Errors() const { return m_errors; }
    // Records written by the last Write (0 after a failure undid them).
    int Written() const { return m_written; }
    bool Failed() const { return m_failed; }

private:
    // Ends the import: the text is shown, the transaction undone.
    struct Failure
    {
        QString text;
        bool readerSet = false;
        bool openFailed = false; // a set that could not be opened (error icon)
    };

    // The indexes of numbers, names, readers and schemas; the numbers from
    // the table itself (inside the import's transaction) or from the cache.
    // Throws CDBException when the table cannot be read.
    void BuildIndex(bool fromTable);
    void WriteRecord(const Record& record);
    // The set could not be read: the open failure (an error icon).
    Failure OpenFailure(const CFerrold_Base& set, bool readerSet) const;
    // Opens the set on the one row with this key (none for 0); throws on failure.
    void OpenRow(CFerrold_Base& set, qint32 key, bool readerSet);
    // Opens the set for adding rows only; throws on failure. On a database
    // server the new rows then go many to a statement.
    void OpenForInserts(CFerrold_Base& set);
    // Sends the rows held back before the next read, so a row the server
    // refuses fails as the write it is (throws CDBException).
    void SendHeldRows();
    // Deletes the row; false (reported) when the database refused, and the
    // import goes on.
    bool DeleteRow(CFerrold_Base& set, qint32 key);
    qint32 InsertTransponder(const Record& record);
    qint32 InsertPerson(const QString& name, qint32 transponder);
    // The new transponder's person; written for all lines at the end.
    void LinkTransponder(qint32 transponder, qint32 person);
    void WriteLinks();
    void MarkReaders();
    void Requery();
    QString Text(unsigned int number) const;

    CFerrold_Handler& m_db;
    const CLanguageHandler* m_language;
    Kind m_kind;

    // Rows of the database by what the file names them with, in table
    // order; each written row is appended, each deleted one removed.
    QHash<QString, QList<qint32>> m_numbers; // upper-case number -> transponder keys
    QHash<QString, QList<qint32>> m_persons; // name -> person keys
    QHash<QString, qint32> m_readers;        // name -> first reader's key
    QHash<QString, qint32> m_schemas;        // name -> schema identity
    QList<qint32> m_touchedReaders;
    std::vector<std::pair<qint32, qint32>> m_links; // transponder, person

    QStringList m_errors;
    int m_written = 0;
    bool m_failed = false;
    // Held from a failure to the importer's end (the caller refreshes the
    // view meanwhile).
    std::unique_ptr<CFerrold_Reporter::Quiet> m_quiet;
    std::function<void()> m_onRecord;
};
