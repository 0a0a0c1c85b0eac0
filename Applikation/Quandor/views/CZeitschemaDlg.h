#pragma once

#include "CGridBaseDlg.h"
#include "CZeitschemaStore.h"

#include <memory>

class CRecordViewMenu;

// The time-schema view: the overview of all schemas (one row each, where
// only the names of the user's schemas can be edited) or the four switching
// windows of one schema (hours, minutes and weekdays editable). The first
// schema is the built-in full-access schema: nothing here changes it.
//
// Schemas are addressed by their identity (the ID of their first row), so
// two schemas of one name stay two; the tree's schema children carry the
// identity too, and the view keeps them in step.
class CZeitschemaDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    static constexpr quint32 kGridId = 1006;
    static constexpr int kColumns = 15;

    // The commands of the context menu.
    enum Command {
        ID_INSERT_ENTRY = 32785,
        ID_DELETE_ENTRY = 32786,
        ID_DELETE_ALL_ENTRIES = 32787,
        ID_RESET_ENTRY = 32818,
        ID_COPY_AND_INSERT_ENTRY = 32819,
    };

    explicit CZeitschemaDlg(CAppContext& context, QWidget* parent = nullptr);
    ~CZeitschemaDlg() override;

    // Shows one schema (its number), or all for 0. Always 1.
    int ShowSchemas(quint32 schemaNumber);
    quint32 Filter() const { return m_nFilterID; }

    void SetColumnTitles() override;
    void FillGrid(quint32 gridId, int columns) override;
    // An edited name (overview) or window cell (one schema): checked,
    // stored, and the transponders and readers concerned marked. A refused
    // edit stores nothing; the grid then shows the stored value again.
    bool StoreEditedCell(GRID_NOTIFY* notify) override;

    // The commands, as the context menu runs them (after the menu has
    // closed, never inside the grid's notification).
    void OnCommand(int command);
    void OnInsertEntry();
    void OnDeleteEntry();
    void OnDeleteAllEntries();
    void OnResetEntry();
    void OnCopyAndInsertEntry();

    // The schema of the last right click in the overview: its name and
    // identity (empty and 0 when the click lay below the schemas). Reset and
    // copy act on it.
    QString m_strClickedSchema;
    qint32 m_nClickedSchemaId = 0;

protected:
    void OnGetCellText(GRID_DISPINFO* info) override;
    void OnGetCellColor(GRID_DISPINFO* info) override;
    void OnGridClick(GRID_NOTIFY* notify) override;
    void OnGridRClick(GRID_NOTIFY* notify) override;
    void hideEvent(QHideEvent* event) override;

private:
    void FollowHandler();
    // A schema's name as the view shows it: the built-in schema under its
    // name in the active language.
    QString ShownName(int schema) const;
    QString ShownName(const QString& name) const;
    // The cache row a displayed cell shows; -1 outside the cache.
    int CacheRowOf(int dataRow) const;
    // The schema (its place in the cache) of a displayed overview row.
    int SchemaOfRow(int row) const;
    // The identities of the selected schemas that may be deleted.
    QList<qint32> SelectedDeletable() const;
    CRecordViewMenu ContextMenu(int selectedRows) const;
    // Shows a failed write: the database-failure box when a table could not
    // be opened, else the driver's text.
    void ReportFailure(const CZeitschemaStore& store);
    void AfterRowsChanged();
    // A schema the store added (its identity; 0: none) shown in the grid
    // and the tree, or the store's failure; false when none was added.
    bool ShowAdded(qint32 identity, const QString& name);
    void RemoveTreeChildren(const CZeitschemaStore::DeleteOutcome& outcome);

    std::unique_ptr<CZeitschemaStore> m_pStore;
};
