#include "CDialogSetupGrid.h"

CDialogSetupGrid::CDialogSetupGrid(CDialogSetupDialog* dialog, const QString& id, int headerHeight,
                                   int rowHeight, const QDomElement& element)
    : m_dialog(dialog)
    , m_id(id)
    , m_headerHeight(headerHeight)
    , m_rowHeight(rowHeight)
    , m_element(element)
{
}

void CDialogSetupGrid::SetHeight(bool header, int height)
{
    (header ? m_headerHeight : m_rowHeight) = height;
    m_element.setAttribute(header ? QStringLiteral("headerheight") : QStringLiteral("rowheight"),
                           QString::number(height));
}

CDialogSetupColumn* CDialogSetupGrid::FindColumn(const QString& id) const
{
    const auto found = m_columns.find(id);
    return found == m_columns.end() ? nullptr : found->second.get();
}

CDialogSetupColumn* CDialogSetupGrid::PutColumn(std::unique_ptr<CDialogSetupColumn> column)
{
    auto& slot = m_columns[column->GetId()];
    slot = std::move(column);
    return slot.get();
}
