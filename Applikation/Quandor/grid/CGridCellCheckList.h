#pragma once

#include "CGridCell.h"
#include "CGridItemLines.h"

#include <QList>
#include <QStringList>

// A cell with a check box per entry. Its value is the value texts of the
// ticked entries, in the order they were ticked, joined by ";".
class CGridCellCheckList : public CGridCell
{
    DECLARE_GRIDCELL(CGridCellCheckList)

public:
    CGridCellCheckList();

    CGridItemArray& GetItemList() { return m_lines.Own(); }
    void UseOwnItemList() override { m_lines.UseOwn(); }
    const CGridItemLines& Lines() const { return m_lines; }

    void SetValue(const QString& value) override;
    QString GetValue() const override;
    QString GetTipText() const override;
    // The display texts of the ticked entries, in ticking order.
    QStringList GetCheckedTexts() const;
    bool IsChecked(int index) const { return m_checked.contains(uint(index)); }
    void CopyFrom(const CGridCellBase& source) override;

    bool Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground = true,
              COLORREF shade = 0) override;
    bool GetTextRect(QRect& rect) override;
    QSize GetCellExtent(QPainter* painter = nullptr) override;
    bool Edit(int row, int col, QRect rect, QPoint point, quint32 id, const CGridEditKey& key) override;
    void EndEdit() override { SetEditing(false); }

    void OnClick(QPoint point) override;
    bool OnKeyDown(int key, int repeat, quint32 flags) override;

private:
    void Toggle(int index);

    CGridItemLines m_lines;
    QList<uint> m_checked;
};
