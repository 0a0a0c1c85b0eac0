#pragma once

#include "CGridCell.h"
#include "CListEntry.h"

// A cell that offers a choice from a list: it shows the chosen entry's
// display text and stands for its value text. With free text allowed, a
// value that names no entry is kept as it is.
class CGridCellCombo : public CGridCell
{
    DECLARE_GRIDCELL(CGridCellCombo)

public:
    enum Style { DropDown = 2, DropDownList = 3 };

    CGridCellCombo();

    // The cell's own entries, for the owner to fill.
    CGridItemArray& GetItemList() { return m_items; }
    // The entries in force: those of the cell this one was copied from while
    // it lives, else the own ones.
    const CGridItemArray& Items() const { return m_pItems ? *m_pItems : m_items; }
    void UseOwnItemList() override { m_pItems = nullptr; }

    void SetStyle(int style) { m_nStyle = style; }
    int GetStyle() const { return m_nStyle; }
    void SetAllowFreeText(bool on) { m_bFreeText = on; }
    bool GetAllowFreeText() const { return m_bFreeText; }
    int GetSelectedIndex() const { return m_nSelected; }

    // A text that is an entry's display text chooses that entry.
    void SetText(const QString& text) override;
    void SetValue(const QString& value) override;
    QString GetValue() const override;
    void CopyFrom(const CGridCellBase& source) override;

    bool Edit(int row, int col, QRect rect, QPoint point, quint32 id, const CGridEditKey& key) override;
    // A click on the drop button opens the list.
    void OnClick(QPoint point) override;

    bool Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground = true,
              COLORREF shade = 0) override;
    QSize GetCellExtent(QPainter* painter = nullptr) override;

    // The first entry whose value text is "value"; -1 for none.
    int FindValue(const QString& value) const;

private:
    // The drop button of a cell drawn over "rect", or an empty rectangle
    // when the cell shows none.
    QRect DropButtonRect(const QRect& rect) const;

    CGridItemArray m_items;
    const CGridItemArray* m_pItems = nullptr;
    int m_nStyle = DropDown;
    int m_nSelected = 0;
    QRect m_rectButton;
    bool m_bFreeText = false;
};
