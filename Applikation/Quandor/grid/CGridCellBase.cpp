#include "CGridCellBase.h"

#include "CGridCtrl.h"
#include "CGridDefaultCell.h"
#include "CGridTextLayout.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPolygon>

namespace
{

// One-pixel lines along the outer edges of "rect".
void FillTop(QPainter* painter, const QRect& rect, const QColor& colour)
{
    painter->fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), colour);
}
void FillLeft(QPainter* painter, const QRect& rect, const QColor& colour)
{
    painter->fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), colour);
}
void FillBottom(QPainter* painter, const QRect& rect, const QColor& colour)
{
    painter->fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), colour);
}
void FillRight(QPainter* painter, const QRect& rect, const QColor& colour)
{
    painter->fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), colour);
}

void DrawSortArrow(QPainter* painter, const QPalette& palette, QRect& textRect, int size, bool ascending,
                   bool centred)
{
    const int left = centred ? textRect.left() + (textRect.width() - size) / 2 : textRect.right() - size;
    const int top = textRect.top() + (textRect.height() - size) / 2;
    const QPoint apex(left + size / 2, ascending ? top : top + size);
    const QPoint baseLeft(left, ascending ? top + size : top);
    const QPoint baseRight(left + size, ascending ? top + size : top);
    painter->save();
    painter->setPen(palette.color(QPalette::Dark));
    painter->drawLine(baseLeft, apex);
    painter->drawLine(baseLeft, baseRight);
    painter->setPen(palette.color(QPalette::Light));
    painter->drawLine(apex, baseRight);
    painter->restore();
    if (!centred)
        textRect.setRight(left - 1);
}

}  // namespace

CGridCellBase::CGridCellBase() = default;
CGridCellBase::~CGridCellBase() = default;

const CGridCellClass& CGridCellBase::GetThisClass()
{
    static const CGridCellClass descriptor("CGridCellBase", nullptr, nullptr);
    return descriptor;
}

const CGridCellClass& CGridCellBase::GetRuntimeClass() const
{
    return GetThisClass();
}

void CGridCellBase::SetValue(const QString& value)
{
    SetText(value);
}

void CGridCellBase::SetState(quint32 state)
{
    m_nState = state;
}

bool CGridCellBase::SetValidation(const QString& expression)
{
    m_strValidation = expression;
    return true;
}

bool CGridCellBase::SetTextLimit(int limit)
{
    m_nTextLimit = limit;
    return true;
}

QString CGridCellBase::GetValue() const
{
    return GetText();
}

QString CGridCellBase::GetTipText() const
{
    return GetText();
}

quint32 CGridCellBase::GetState() const
{
    return m_nState;
}

QString CGridCellBase::GetValidation() const
{
    return m_strValidation;
}

int CGridCellBase::GetTextLimit() const
{
    // A cell without a limit of its own keeps the grid's.
    if (m_nTextLimit == 0) {
        const CGridCellBase* fallback = GetDefaultCell();
        if (fallback && fallback != this)
            return fallback->GetTextLimit();
    }
    return m_nTextLimit;
}

CGridDefaultCell* CGridCellBase::GetDefaultCell() const
{
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return nullptr;
    return grid->GetDefaultCell(IsFixedRow(), IsFixedCol());
}

void CGridCellBase::CopyFrom(const CGridCellBase& source)
{
    m_strValidation = source.m_strValidation;
}

void CGridCellBase::Reset()
{
    ResetDisplayColours();
}

void CGridCellBase::ResetDisplayColours()
{
    m_crDisplayBack = CLR_DEFAULT;
    m_crDisplayText = CLR_DEFAULT;
}

void CGridCellBase::SetDisplayColours(COLORREF back, COLORREF text)
{
    m_crDisplayBack = back;
    m_crDisplayText = text;
}

void CGridCellBase::SetCoords(int row, int col)
{
    m_nRow = row;
    m_nCol = col;
}

bool CGridCellBase::PaintBackground(QPainter* painter, const QRect& rect, bool erase, COLORREF shade,
                                    QColor& textColour)
{
    CGridCtrl* grid = GetGrid();
    const CGridDefaultCell* defaultCell = GetDefaultCell();
    if (!grid || !painter || !defaultCell || rect.isEmpty())
        return false;
    const QPalette& palette = grid->palette();

    COLORREF text = GetTextClr();
    if (IsDefaultColor(text))
        text = defaultCell->GetTextClr();
    textColour = IsDefaultColor(text) ? palette.color(QPalette::Text) : QColorFromColorref(text);

    QColor back;
    const COLORREF own = GetBackClr();
    if (!IsDefaultColor(own)) {
        back = QColorFromColorref(own);
        erase = true;
    } else if (shade != 0) {
        back = QColorFromColorref(shade);
    } else {
        const COLORREF fallback = defaultCell->GetBackClr();
        back = IsDefaultColor(fallback) ? palette.color(QPalette::Base) : QColorFromColorref(fallback);
    }

    if (!IsFocused() && !IsDropHighlighted()) {
        if (IsSelected()) {
            painter->fillRect(rect, palette.color(QPalette::Highlight));
            textColour = palette.color(QPalette::HighlightedText);
        } else if (erase) {
            painter->fillRect(rect, back);
        }
        return true;
    }

    if (IsSelected()) {
        back = palette.color(QPalette::Highlight);
        textColour = palette.color(QPalette::HighlightedText);
        erase = true;
    }
    if (erase)
        painter->fillRect(rect, back);
    if (grid->GetFrameFocusCell()) {
        // Inside the cell, clear of the grid lines on its right and bottom.
        const QRect frame = rect.adjusted(1, 1, -2, -2);
        if (!frame.isEmpty()) {
            FillTop(painter, frame, textColour);
            FillLeft(painter, frame, textColour);
            FillBottom(painter, frame, textColour);
            FillRight(painter, frame, textColour);
        }
    }
    return true;
}

bool CGridCellBase::DrawBackground(QPainter* painter, QRect rect, COLORREF shade)
{
    QColor textColour;
    return PaintBackground(painter, rect, true, shade, textColour);
}

bool CGridCellBase::Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground, COLORREF shade)
{
    QColor textColour;
    if (!PaintBackground(painter, rect, eraseBackground, shade, textColour))
        return false;
    CGridCtrl* grid = GetGrid();
    const QPalette& palette = grid->palette();

    if (IsFixed() && grid->GetDrawFixedRaised()) {
        const CCellID focus = grid->GetFocusCell();
        const bool pressed = grid->GetTrackFocusCell() && focus.IsValid()
                             && ((IsFixedRow() && col == focus.col) || (IsFixedCol() && row == focus.row));
        if (pressed) {
            FillTop(painter, rect, palette.color(QPalette::Dark));
            FillLeft(painter, rect, palette.color(QPalette::Dark));
            FillBottom(painter, rect, palette.color(QPalette::Light));
            FillRight(painter, rect, palette.color(QPalette::Light));
            rect.adjust(1, 1, -1, -1);
        } else {
            const int lastTitleCol = grid->GetFrozenColumnCount() - 1;
            const bool separatorHeader =
                IsFixedRow() && grid->GetTitleColumnCount() > 0 && col == lastTitleCol;
            QRect frame = rect;
            if (separatorHeader)
                frame.setRight(frame.right() - 2);
            FillTop(painter, frame, palette.color(QPalette::Light));
            FillLeft(painter, frame, palette.color(QPalette::Light));
            FillBottom(painter, frame, palette.color(QPalette::Shadow));
            FillRight(painter, frame, palette.color(QPalette::Shadow));
            if (separatorHeader)
                painter->fillRect(QRect(rect.right() - 1, rect.top(), 2, rect.height()), Qt::black);
        }
    }

    const QFont font = GetFontObject();
    const GridLogFont* logFont = GetFont();
    const bool vertical = logFont && logFont->IsVertical();
    const int margin = int(GetMargin());
    rect.adjust(margin, 0, -margin, 0);

    const QList<QPixmap>* images = grid->GetImageList();
    const int image = GetImage();
    if (images && image >= 0 && image < images->size()) {
        const QPixmap& pixmap = images->at(image);
        if (pixmap.width() <= rect.width()) {
            painter->drawPixmap(rect.left(), rect.top() + (rect.height() - pixmap.height()) / 2, pixmap);
        }
    }

    QRect textRect = rect;
    GetTextRect(textRect);
    if (row == 0 && col == grid->GetSortColumn()) {
        const QFontMetrics metrics(font, painter->device());
        int size = metrics.boundingRect(QLatin1Char('M')).height() - 4;
        size = qMin(size, textRect.height() - 4);
        if (size > 0)
            DrawSortArrow(painter, palette, textRect, size, grid->GetSortAscending(), vertical);
    }

    painter->setPen(textColour);
    const quint32 format = GetFormat() | DT_NOPREFIX;
    CGridTextLayout::DrawTextLines(painter, &font, textRect, GetText(), format, (format & DT_WORDBREAK) != 0,
                                   vertical, nullptr, true);
    return true;
}

bool CGridCellBase::GetTextRect(QRect& rect)
{
    CGridCtrl* grid = GetGrid();
    const QList<QPixmap>* images = grid ? grid->GetImageList() : nullptr;
    const int image = GetImage();
    if (images && image >= 0 && image < images->size())
        rect.setLeft(rect.left() + images->at(image).width() + int(GetMargin()));
    return true;
}

bool CGridCellBase::GetTipTextRect(QRect& rect)
{
    return GetTextRect(rect);
}

QSize CGridCellBase::GetTextExtent(const QString& text, QPainter* painter)
{
    const QFont font = GetFontObject();
    const QFontMetrics metrics = painter && painter->device() ? QFontMetrics(font, painter->device())
                                                              : QFontMetrics(font);
    const int margin = int(GetMargin());
    const quint32 format = GetFormat();
    const GridLogFont* logFont = GetFont();
    const bool vertical = logFont && logFont->IsVertical();

    QStringList lines;
    if (format & DT_WORDBREAK) {
        QRect cellRect;
        CGridCtrl* grid = GetGrid();
        if (!grid || !grid->GetCellRect(GetRow(), GetColumn(), &cellRect)) {
            const CGridDefaultCell* defaultCell = GetDefaultCell();
            cellRect = defaultCell ? QRect(0, 0, defaultCell->GetWidth(), defaultCell->GetHeight()) : QRect();
        }
        CGridTextLayout::DrawTextLines(painter, &font, cellRect.adjusted(margin, 0, -margin, 0), text, format,
                                       true, vertical, &lines, false);
    } else {
        QString plain = text;
        plain.remove(QLatin1Char('\r'));
        lines = plain.split(QLatin1Char('\n'));
    }

    int widest = 0;
    for (const QString& line : lines)
        widest = qMax(widest, metrics.horizontalAdvance(line));
    QSize size(widest + 4 * margin, int(lines.size()) * metrics.height() + 2 * margin);
    if (vertical)
        size.transpose();
    return size;
}

QSize CGridCellBase::GetCellExtent(QPainter* painter)
{
    QSize size = GetTextExtent(GetText(), painter);
    CGridCtrl* grid = GetGrid();
    const QList<QPixmap>* images = grid ? grid->GetImageList() : nullptr;
    const int image = GetImage();
    if (images && image >= 0 && image < images->size()) {
        const QPixmap& pixmap = images->at(image);
        size.rwidth() += pixmap.width();
        size.setHeight(qMax(size.height(), pixmap.height()));
    }
    return size;
}

bool CGridCellBase::Edit(int, int, QRect, QPoint, quint32, const CGridEditKey&)
{
    return false;
}

bool CGridCellBase::ValidateEdit(const QString&)
{
    return true;
}

void CGridCellBase::EndEdit() {}

bool CGridCellBase::PrintCell(QPainter* painter, int row, int col, QRect rect)
{
    return Draw(painter, row, col, rect, true, 0);
}

void CGridCellBase::OnEndEdit() {}
void CGridCellBase::OnMouseOver() {}
void CGridCellBase::OnClickDown(QPoint) {}
void CGridCellBase::OnClick(QPoint) {}
void CGridCellBase::OnRClick(QPoint) {}
void CGridCellBase::OnDblClick(QPoint) {}

bool CGridCellBase::OnKeyDown(int, int, quint32)
{
    return true;
}

bool CGridCellBase::OnSetCursor()
{
    if (CGridCtrl* grid = GetGrid())
        grid->viewport()->setCursor(Qt::ArrowCursor);
    return true;
}

void CGridCellBase::SetValueText(const QString&) {}

QString CGridCellBase::GetValueText() const
{
    return QString();
}

void CGridCellBase::UseOwnItemList() {}
