#include "CDialogSetupDialog.h"

CDialogSetupDialog::CDialogSetupDialog(const QString& id, const QDomElement& element)
    : m_id(id)
    , m_element(element)
{
}

CDialogSetupGrid* CDialogSetupDialog::FindGrid(const QString& id) const
{
    for (const auto& grid : m_grids)
        if (grid->GetId() == id)
            return grid.get();
    return nullptr;
}

CDialogSetupGrid* CDialogSetupDialog::AddGrid(std::unique_ptr<CDialogSetupGrid> grid)
{
    m_grids.push_back(std::move(grid));
    return m_grids.back().get();
}
