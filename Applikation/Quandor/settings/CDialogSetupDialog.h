#pragma once

#include "CDialogSetupGrid.h"

#include <QDomElement>
#include <QString>

#include <memory>
#include <vector>

// One view in the layout store: its grids in the order they were read or
// created, and the `dialog` element.
class CDialogSetupDialog
{
public:
    CDialogSetupDialog(const QString& id, const QDomElement& element);

    const QString& GetId() const { return m_id; }
    const QDomElement& GetElement() const { return m_element; }

    // The first grid with this id (a file may hold the id twice).
    CDialogSetupGrid* FindGrid(const QString& id) const;
    CDialogSetupGrid* AddGrid(std::unique_ptr<CDialogSetupGrid> grid);

private:
    QString m_id;
    QDomElement m_element;
    std::vector<std::unique_ptr<CDialogSetupGrid>> m_grids;
};
