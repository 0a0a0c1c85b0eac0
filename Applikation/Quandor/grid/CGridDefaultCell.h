#pragma once

#include "CGridCell.h"

// The defaults one kind of cell of a grid falls back to (normal, fixed row,
// fixed column, fixed corner): colours, format, font, margin and the size new
// rows and columns get. The size follows the font.
class CGridDefaultCell : public CGridCell
{
    DECLARE_GRIDCELL(CGridDefaultCell)

public:
    CGridDefaultCell();
    ~CGridDefaultCell() override;

    // A default cell has no state or data of its own and always reads as
    // read-only.
    void SetState(quint32) override {}
    void SetData(qint64) override {}
    quint32 GetState() const override;

    // Takes the font and sizes itself from it; null gives 40 x 16, margin 3.
    void SetFont(const GridLogFont* font) override;
    const GridLogFont* GetFont() const override;
    QFont GetFontObject() const override { return m_font; }
    quint32 GetFormat() const override;
    quint32 GetMargin() const override;

    void SetSize(QSize size)
    {
        m_nWidth = size.width();
        m_nHeight = size.height();
    }
    void SetWidth(int width) { m_nWidth = width; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    void SetHeight(int height) { m_nHeight = height; }

    // The text the default size is measured from.
    static QString SizingText() { return QStringLiteral(" XXXXXXXXXXXX "); }

private:
    int m_nWidth = 40;
    int m_nHeight = 16;
    QFont m_font;
};
