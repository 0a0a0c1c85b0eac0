#include "CGridCellCombo.h"

#include "CGridComboList.h"
#include "CGridCtrl.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionComboBox>

IMPLEMENT_GRIDCELL(CGridCellCombo, CGridCell)

CGridCellCombo::CGridCellCombo() = default;

int CGridCellCombo::FindValue(const QString& value) const
{
    const CGridItemArray& items = Items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] && items[i]->m_strValue == value)
            return int(i);
    }
    return -1;
}

void CGridCellCombo::SetText(const QString& text)
{
    CGridCell::SetText(text);
    // An edit ends with the chosen entry's text; the choice and its value
    // must follow, or the cell would show one entry and stand for another.
    const CGridItemArray& items = Items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] && items[i]->m_strDisplay == text) {
            m_nSelected = int(i);
            SetValueText(items[i]->m_strValue);
            return;
        }
    }
}

void CGridCellCombo::SetValue(const QString& value)
{
    const int found = FindValue(value);
    if (found >= 0) {
        const CListEntry& entry = *Items()[std::size_t(found)];
        m_nSelected = found;
        CGridCell::SetText(entry.m_strDisplay);
        SetValueText(entry.m_strValue);
    } else if (m_bFreeText) {
        CGridCell::SetText(value);
        SetValueText(value);
    }
}

QString CGridCellCombo::GetValue() const
{
    if (m_bFreeText && !GetValueText().isEmpty())
        return GetValueText();
    const CGridItemArray& items = Items();
    if (m_nSelected >= 0 && std::size_t(m_nSelected) < items.size() && items[std::size_t(m_nSelected)])
        return items[std::size_t(m_nSelected)]->m_strValue;
    return QString(QLatin1String(""));
}

void CGridCellCombo::CopyFrom(const CGridCellBase& source)
{
    CGridCell::CopyFrom(source);
    if (const auto* combo = dynamic_cast<const CGridCellCombo*>(&source)) {
        // A display copy shows the source's entries without copying them;
        // the grid points the source back at its own before each copy.
        m_pItems = &combo->Items();
        m_nStyle = combo->m_nStyle;
        m_nSelected = combo->m_nSelected;
        m_bFreeText = combo->m_bFreeText;
    }
}

QRect CGridCellCombo::DropButtonRect(const QRect& rect) const
{
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return QRect();
    const int buttonWidth = grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    // The grid's own editability test would fetch cells while this one is
    // being drawn; the cell knows everything it needs.
    const bool editable = grid->IsEditable() && !IsReadOnly();
    if (!editable || rect.width() <= buttonWidth || rect.height() <= buttonWidth / 2)
        return QRect();
    return QRect(rect.right() - buttonWidth, rect.top(), buttonWidth, rect.height() - 1);
}

bool CGridCellCombo::Edit(int row, int col, QRect rect, QPoint, quint32 id, const CGridEditKey& key)
{
    if (ForwardToOpenEditor(key))
        return true;
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return false;
    // The editor takes copies of the entries: the cell may be replaced
    // while the list is open.
    QStringList displays;
    QStringList values;
    for (const auto& entry : Items()) {
        if (!entry)
            continue;
        displays.append(entry->m_strDisplay);
        values.append(entry->m_strValue);
    }
    auto* list = new CGridComboList(grid, rect, m_nStyle, id, row, col, displays, values, GetText(),
                                    GetValueText(), key, GetBackClr(), GetTextClr());
    list->SetTextLimit(GetTextLimit());
    list->SetValidation(GetValidation());
    AttachEditor(list, row, col);
    grid->viewport()->update(rect);
    return true;
}

void CGridCellCombo::OnClick(QPoint point)
{
    CGridCtrl* grid = GetGrid();
    const int row = GetRow();
    const int col = GetColumn();
    QRect rect;
    if (!grid || IsEditing() || IsReadOnly() || !grid->GetCellRect(row, col, &rect))
        return;
    const QRect button = DropButtonRect(rect);
    if (button.isNull() || !button.contains(rect.topLeft() + point))
        return;
    // The grid asks its owner first, as for any edit; this cell may be gone
    // by the time it returns, so nothing of it is touched afterwards.
    grid->BeginCellEdit(row, col, QPoint(-1, -1), CGridEditKey::Key(VK_LBUTTON));
}

bool CGridCellCombo::Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground,
                          COLORREF shade)
{
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return false;
    if (!DrawBackground(painter, rect, shade))
        return false;
    m_rectButton = IsEditing() ? QRect() : DropButtonRect(rect);
    if (!m_rectButton.isNull()) {
        QStyleOptionComboBox option;
        option.initFrom(grid);
        option.rect = m_rectButton;
        option.subControls = QStyle::SC_ComboBoxArrow;
        option.frame = false;
        grid->style()->drawComplexControl(QStyle::CC_ComboBox, &option, painter, grid);
    }
    // While the editor is open its own text stands over the cell.
    const QString text = GetText();
    const QString value = GetValueText();
    if (IsEditing())
        CGridCell::SetText(QString());
    QRect textRect = rect;
    if (!m_rectButton.isNull())
        textRect.setRight(m_rectButton.left() - 1);
    const bool drawn = CGridCell::Draw(painter, row, col, textRect, eraseBackground, shade);
    if (IsEditing()) {
        CGridCell::SetText(text);
        SetValueText(value);
    }
    return drawn;
}

QSize CGridCellCombo::GetCellExtent(QPainter* painter)
{
    const QStyle* style = GetGrid() ? GetGrid()->style() : QApplication::style();
    const int extent = style->pixelMetric(QStyle::PM_ScrollBarExtent);
    return CGridCell::GetCellExtent(painter) + QSize(extent, extent);
}
