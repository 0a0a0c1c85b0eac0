#include "CGridDefaultCell.h"

#include <QApplication>
#include <QFontMetrics>

IMPLEMENT_GRIDCELL(CGridDefaultCell, CGridCell)

CGridDefaultCell::CGridDefaultCell()
{
    SetTextClr(CLR_DEFAULT);
    SetBackClr(CLR_DEFAULT);
    CGridCell::SetFormat(DT_NOPREFIX | DT_END_ELLIPSIS);
    if (QGuiApplication::instance()) {
        const GridLogFont systemFont{QApplication::font(), 0};
        CGridDefaultCell::SetFont(&systemFont);
    } else {
        CGridDefaultCell::SetFont(nullptr);
    }
}

CGridDefaultCell::~CGridDefaultCell() = default;

quint32 CGridDefaultCell::GetState() const
{
    return CGridCell::GetState() | GVIS_READONLY;
}

void CGridDefaultCell::SetFont(const GridLogFont* font)
{
    CGridCell::SetFont(font);
    if (!font) {
        m_font = QFont();
        SetMargin(3);
        m_nWidth = 40;
        m_nHeight = 16;
        return;
    }
    m_font = font->font;
    const QFontMetrics metrics(m_font);
    SetMargin(quint32(metrics.horizontalAdvance(QLatin1Char(' '))));
    m_nWidth = metrics.horizontalAdvance(SizingText());
    m_nHeight = metrics.height() * 3 / 2;
}

const GridLogFont* CGridDefaultCell::GetFont() const
{
    // Only the cell's own font: a default cell is where fallbacks end.
    return IsDefaultFont() ? nullptr : CGridCell::GetFont();
}

quint32 CGridDefaultCell::GetFormat() const
{
    const quint32 own = GetOwnFormat();
    return own == GRID_FORMAT_UNSET ? quint32(DT_NOPREFIX | DT_END_ELLIPSIS) : own;
}

quint32 CGridDefaultCell::GetMargin() const
{
    const quint32 own = GetOwnMargin();
    return own == GRID_MARGIN_UNSET ? 3u : own;
}
