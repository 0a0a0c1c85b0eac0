#pragma once

#include "CGridCell.h"
#include "CGridItemLines.h"

// A cell with an option mark per entry, one of them chosen. Its value is
// the chosen entry's value text; it shows that entry's display text.
class CGridCellOptionList : public CGridCell
{
    DECLARE_GRIDCELL(CGridCellOptionList)

public:
    CGridCellOptionList();

    CGridItemArray& GetItemList() { return m_lines.Own(); }
    void UseOwnItemList() override { m_lines.UseOwn(); }
    const CGridItemLines& Lines() const { return m_lines; }
    int GetSelectedIndex() const { return m_nSelected; }
    QString GetSelectedText() const { return m_strSelectedText; }

    void SetValue(const QString& value) override;
    QString GetValue() const override { return GetValueText(); }
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
    void Select(int index);

    CGridItemLines m_lines;
    int m_nSelected = 0;
    QString m_strSelectedText;
};
