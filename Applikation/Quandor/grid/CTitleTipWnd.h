#pragma once

#include "Colorref.h"

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

// A small pop-up over a cell that is too narrow for its text, showing the
// whole text where the cell shows the start of it. It never takes the focus
// and lets the pointer through to the window below: presses, moves, double
// clicks and the wheel act on the grid as if the tip were not there. Any key,
// press or move away from the cell hides it.
class CTitleTipWnd : public QWidget
{
    Q_OBJECT

public:
    CTitleTipWnd();
    ~CTitleTipWnd() override;

    // Once per window: "parent" is the widget whose coordinates Show takes
    // (the grid's cell area). True when the window exists.
    bool Create(QWidget* parent);
    bool IsCreated() const { return m_bCreated; }
    // Shows "text" over "textRect" (parent coordinates) when it does not fit
    // there with a blank on each side, "xOffset" pixels in from the left.
    // Nothing when the rectangle is empty, the tip is showing already, or no
    // window of the program has the focus. The tip stays while the pointer
    // is within "hoverRect" (the text rectangle when null). CLR_DEFAULT
    // colours take the tool-tip colours.
    void Show(QRect textRect, const QString& text, int xOffset = 0, const QRect* hoverRect = nullptr,
              const QFont* font = nullptr, COLORREF textColour = CLR_DEFAULT, COLORREF backColour = CLR_DEFAULT);
    void Hide();
    // Gives up the window; the next Create (or Show) makes it again.
    void DestroyWindow();

    // Whether a point in screen coordinates is where the tip may stay.
    bool IsInHoverRect(QPoint globalPoint) const { return m_rectHover.contains(globalPoint); }
    // What the tip shows, blanks included.
    QString GetShownText() const { return m_strShown; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Where the window system still hands the pointer to the tip, the tip
    // passes it on to the widget below.
    QWidget* WidgetBelow(QPoint globalPoint);
    void Forward(QMouseEvent* event);

    QPointer<QWidget> m_pParentWnd;
    // The text's place in the tip's own coordinates.
    QRect m_rectText;
    // Screen coordinates.
    QRect m_rectHover;
    bool m_bCreated = false;
    QString m_strShown;
    QFont m_font;
    COLORREF m_crText = CLR_DEFAULT;
    COLORREF m_crBack = CLR_DEFAULT;
    // The widget that had the press, which gets the rest of that click.
    QPointer<QWidget> m_pPressTarget;
};
