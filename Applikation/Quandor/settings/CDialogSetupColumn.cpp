#include "CDialogSetupColumn.h"

CDialogSetupColumn::CDialogSetupColumn(const QString& id, int width, const QDomElement& element)
    : m_id(id)
    , m_width(width)
    , m_element(element)
{
}

void CDialogSetupColumn::SetWidth(int width)
{
    m_width = width;
    m_element.setAttribute(QStringLiteral("width"), QString::number(width));
}
