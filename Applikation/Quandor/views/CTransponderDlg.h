#pragma once

#include "CGridBaseDlg.h"
#include "CRecordLookups.h"
#include "CRecordViewMenu.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <vector>

// The transponders view: every transponder or those of one reader, with a
// check column per reader. Each transponder is given a person, a time
// schema and readers here; a change of what a reader must hold marks the
// transponder and the reader for sending.
class CTransponderDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    static constexpr quint32 kGridId = 1005;
    static constexpr int kColumns = 7;
    static constexpr int kPersonColumn = 4;
    static constexpr int kSchemaColumn = 5;
    static constexpr int kFirstReaderColumn = 6;

    // The commands of the context menu beyond the common ones.
    enum Command
    {
        ID_LEARN = CRecordViewMenu::ID_INSERT,
        ID_ASSIGNED_COUNT = 32834,
        ID_REMOVE_ALL_ASSIGNMENTS = 32832,
        ID_ASSIGN_ALL = 32836,
        ID_ADD_USB_OR_MANUAL = 32840,
    };

    explicit CTransponderDlg(CAppContext& context, QWidget* parent = nullptr);
    ~CTransponderDlg() override;

    // Shows the transponders of one reader (its identity), or of all for 0;
    // learning is off afterwards.
    bool ShowForReader(quint32 readerId);
    quint32 Filter() const { return m_nFilterID; }

    void SetColumnTitles() override;
    void FillGrid(quint32 gridId, int columns) override;
    // Column 4 gives the transponder a person, column 5 a time schema, a
    // reader column adds or takes away that reader.
    bool StoreEditedCell(GRID_NOTIFY* notify) override;

    // A transponder presented at the connected reader: its row is selected,
    // and while learning is on it is stored for that reader. One that comes
    // while a command or an edit runs waits until it has ended.
    void AddReceivedTransponders(QString number);
    QString m_strLastReceived;

    // Learning: 1 off, 0 on. Off whenever the view is shown, and whenever
    // the link is lost or another reader connects.
    int m_bLearningOff = 1;
    bool IsLearning();
    // The header text of the reader column last right-clicked; empty when
    // the click was elsewhere.
    QString m_strClickedReader;
    // That reader's identity; 0 when the click was elsewhere. The two
    // commands below act on it.
    qint32 m_nClickedReaderId = 0;

    // The commands of the context menu.
    void OnInsertEntry();
    void OnAddUsbOrManual();
    void OnDeleteEntry();
    void OnDeleteAllEntries();
    // Withdraw or assign every transponder for the reader clicked last.
    void OnRemoveAllAssignments();
    void OnAssignAllTransponders();
    // Cache only: the person holding the transponder (0: every person)
    // holds none. The caller has written the table.
    void ClearPersonLink(qint32 transponderId);
    // The menu for a right click in this column (asks the reader first).
    CRecordViewMenu ContextMenu(int column);

protected:
    void OnGetCellText(GRID_DISPINFO* info) override;
    void OnGetCellColor(GRID_DISPINFO* info) override;
    void OnGridRClick(GRID_NOTIFY* notify) override;
    qint64 OnGridBeginEdit(GRID_NOTIFY* notify) override;
    bool event(QEvent* event) override;

public:
    qint64 OnGridNotify(GRID_NOTIFY& notify) override;

    // Counts the commands, edits and dialogs under way; a tag waits while
    // one runs (Scope raises it).
    class Scope
    {
    public:
        explicit Scope(CTransponderDlg* view);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CTransponderDlg* m_view;
    };

private:
    const CtblTransponder::structTransponder* TransponderOfRow(int dataRow) const;
    bool StorePerson(qint32 transponderId, const QString& name);
    bool StoreSchema(qint32 transponderId, const QString& name);
    bool StoreReader(qint32 transponderId, int column, bool on);
    // The grid anew after a stored change, the user's widths kept.
    void Refill();
    // Deletes these transponders (null: all) and marks their readers.
    void DeleteTransponders(const std::vector<qint32>* keys);
    // Assign all (true) or withdraw all (false) for this reader.
    void ChangeAllAssignments(bool assign, qint32 readerId);
    // The same under the wait cursor.
    void ChangeAllAssignmentsWaiting(bool assign, qint32 readerId);
    // The displayed row that shows a cache row; 0 when none does.
    int DisplayedRowOf(int cacheRow) const;
    void Learn(const QString& number);
    void DrainTags();
    QString SchemaName(qint32 schemaId) const;
    // The time schemas' names, in cache order (the first of each four rows).
    QStringList SchemaNames() const;

    mutable CRecordLookups m_lookups;
    QHash<qint32, QString> m_schemaNames;
    // The link's connection that gave the reader reply.
    quint64 m_nReplyConnection = 0;
    int m_nOperations = 0;
    QStringList m_queuedTags;
    bool m_bDrainPosted = false;
};
