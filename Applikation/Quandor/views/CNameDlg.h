#pragma once

#include "CGridBaseDlg.h"
#include "CRecordLookups.h"
#include "CRecordViewMenu.h"
#include "CTestSeam.h"
#include "CTimeStamp.h"

#include <QSet>

#include <functional>
#include <vector>

// The persons view: every person or those whose transponder is enabled for
// one reader, with the person's transponder (chosen from a list), its time
// schema and a check column per reader.
class CNameDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    static constexpr quint32 kGridId = 1004;
    static constexpr int kColumns = 6;

    explicit CNameDlg(CAppContext& context, QWidget* parent = nullptr);

    // Shows the persons of one reader (its identity), or of all for 0.
    int Reload(quint32 readerId);
    quint32 Filter() const { return m_nFilterID; }

    void SetColumnTitles() override;
    void FillGrid(quint32 gridId, int columns) override;
    // Column 2 renames the person, column 3 gives it the chosen transponder;
    // other columns store nothing.
    bool StoreEditedCell(GRID_NOTIFY* notify) override;

    // Cache only: transponders that name the person name none afterwards
    // (with 0, every transponder). The caller has written the table.
    void ClearTransponderAssignments(qint32 personId);

    // The commands of the context menu.
    void OnNewPerson();
    void OnDelete();
    void OnDeleteAll();
    CRecordViewMenu ContextMenu() const;

    // The transponder numbers a person is offered: "---" for none, then the
    // free transponders and the person's own, in cache order.
    QStringList OfferedTransponders(qint32 personId) const;

    // Where new names take their time from (tests fix it).
    static CTestSeam<CTimeStamp::Clock>& ClockSeam();

protected:
    void OnGetCellText(GRID_DISPINFO* info) override;
    void OnGetCellColor(GRID_DISPINFO* info) override;
    void OnGridRClick(GRID_NOTIFY* notify) override;
    qint64 OnGridBeginEdit(GRID_NOTIFY* notify) override;

private:
    // The person a data row shows; null outside the rows.
    const CtblPerson::structPerson* PersonOfRow(int dataRow) const;
    bool StoreName(qint32 personId, const QString& name);
    bool StoreTransponder(qint32 personId, const QString& number);
    // Deletes these persons (null: all) with their transponders' links.
    void DeletePersons(const std::vector<qint32>* keys);

    mutable CRecordLookups m_lookups;
};
