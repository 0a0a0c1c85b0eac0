#pragma once

#include "Colorref.h"

#include <QLabel>
#include <QUrl>

#include <functional>

// A clickable link label (web or "mailto:" address) of the About box. It
// shows its target as tooltip, turns the hover colour under the mouse, the
// pressed colour while pressed, and the visited colour once opened.
class CHyperLink : public QLabel
{
    Q_OBJECT

public:
    // Hands an address to the desktop; true when it was taken.
    using Opener = std::function<bool(const QUrl&)>;

    enum BackgroundMode { Transparent = 1, Solid = 2 };
    enum UnderlineMode { UnderlineAlways = 0, UnderlineHover = 1, UnderlineNever = 2 };

    explicit CHyperLink(QWidget* parent = nullptr);
    // The text is also the target until SetLinkText gives another.
    explicit CHyperLink(const QString& text, QWidget* parent = nullptr);

    // Sets the target, blanks trimmed; an empty text takes the label's own
    // text. False, and nothing changed, when both are empty.
    bool SetLinkText(const QString& link);
    QString GetLinkText() const { return m_link; }
    void SetToolTipText(const QString& text);
    // Gives the label a solid background of this colour.
    void SetBkColour(COLORREF colour);
    void SetUnderline(UnderlineMode mode);
    // Replaces the desktop's address handler (tests, platforms without one).
    void SetOpener(Opener opener);

    bool IsVisited() const { return m_visited; }
    bool IsUnderlined() const { return m_underlined; }
    COLORREF GetCurrentColour() const { return m_current; }

    // Each returns true when the desktop took the address; a refusal is
    // shown in a message box.
    virtual bool OpenURL(const QString& link);
    virtual bool OpenMail(const QString& link);
    // Paints the background of a transparent label.
    virtual void FillBackground(QPainter& painter);

    static constexpr COLORREF kLinkColour = RGB(0, 0, 255);
    static constexpr COLORREF kHoverColour = RGB(255, 170, 0);
    static constexpr COLORREF kPressedColour = RGB(255, 0, 0);
    static constexpr COLORREF kVisitedColour = RGB(255, 0, 255);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Init();
    bool OpenTarget();
    COLORREF RestingColour() const { return m_visited ? m_visitedColour : m_linkColour; }

    QString m_link;
    Opener m_opener;
    COLORREF m_linkColour = kLinkColour;
    COLORREF m_hoverColour = kHoverColour;
    COLORREF m_pressedColour = kPressedColour;
    COLORREF m_visitedColour = kVisitedColour;
    COLORREF m_background = RGB(255, 255, 255);
    COLORREF m_current = kLinkColour;
    BackgroundMode m_backgroundMode = Transparent;
    UnderlineMode m_underlineMode = UnderlineAlways;
    bool m_underlined = true;
    bool m_hover = false;
    bool m_visited = false;
    bool m_pressed = false;
};
