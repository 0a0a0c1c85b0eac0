#pragma once

#include "CGridCellBase.h"

#include <QPointer>

#include <memory>

// The ordinary text cell and the base of every special cell. Any property
// left unset (format, font, margin, CLR_DEFAULT colours) comes from the
// grid's default cell for the cell's kind.
class CGridCell : public CGridCellBase
{
    DECLARE_GRIDCELL(CGridCell)

public:
    CGridCell();
    ~CGridCell() override;

    void SetText(const QString& text) override;
    void SetImage(int image) override { m_nImage = image; }
    void SetData(qint64 data) override { m_lParam = data; }
    void SetFormat(quint32 format) override { m_nFormat = format; }
    void SetTextClr(COLORREF colour) override { m_crFgClr = colour; }
    void SetBackClr(COLORREF colour) override { m_crBkClr = colour; }
    void SetFont(const GridLogFont* font) override;
    void SetMargin(quint32 margin) override { m_nMargin = margin; }
    void SetGrid(CGridCtrl* grid) override { m_pGrid = grid; }

    // An empty text is never a null one.
    QString GetText() const override { return m_strText.isNull() ? QString(QLatin1String("")) : m_strText; }
    int GetImage() const override { return m_nImage; }
    qint64 GetData() const override { return m_lParam; }
    quint32 GetFormat() const override;
    COLORREF GetTextClr(bool ignoreDisplay = false) const override;
    COLORREF GetBackClr(bool ignoreDisplay = false) const override;
    const GridLogFont* GetFont() const override;
    QFont GetFontObject() const override;
    CGridCtrl* GetGrid() const override { return m_pGrid; }
    QWidget* GetEditWnd() const override;
    quint32 GetMargin() const override;
    bool IsDefaultFont() const override { return !m_pFont; }
    bool IsEditing() const override;

    void Assign(const CGridCellBase& source) override;
    void CopyFrom(const CGridCellBase& source) override;
    void Reset() override;

    bool Edit(int row, int col, QRect rect, QPoint point, quint32 id, const CGridEditKey& key) override;
    void EndEdit() override;
    void OnEndEdit() override;

    void SetValueText(const QString& text) override { m_strValueText = text; }
    QString GetValueText() const override { return m_strValueText; }

    // The cell's own settings, without the default cell's fallbacks.
    quint32 GetOwnFormat() const { return m_nFormat; }
    quint32 GetOwnMargin() const { return m_nMargin; }

protected:
    // The editor's style for the cell's format: its alignment.
    quint32 EditStyleFromFormat() const;
    // Hands the cell's open editor the key that would have started an edit;
    // true when there was one.
    bool ForwardToOpenEditor(const CGridEditKey& key);
    // Marks the cell as edited by "editor" and tells the grid.
    void AttachEditor(QWidget* editor, int row, int col);

    void SetEditing(bool editing) { m_bEditing = editing; }

private:
    QString m_strText;
    QString m_strValueText;
    qint64 m_lParam = 0;
    int m_nImage = -1;
    quint32 m_nFormat = GRID_FORMAT_UNSET;
    COLORREF m_crFgClr = CLR_DEFAULT;
    COLORREF m_crBkClr = CLR_DEFAULT;
    std::unique_ptr<GridLogFont> m_pFont;
    quint32 m_nMargin = GRID_MARGIN_UNSET;
    bool m_bEditing = false;
    CGridCtrl* m_pGrid = nullptr;
    QPointer<QWidget> m_pEditWnd;
};
