#pragma once

#include "Colorref.h"

#include <QDialog>
#include <QTimer>

class CBlinkStatic;

// A short notice ("done", "3 events read") without buttons that closes
// itself 2000 ms after it appears. Run it with exec(); the result does not
// matter. Each notice has its own timer, so a notice opened right after
// another one still stays its full time. The notice is as large as its
// text needs, never smaller than its usual size; a refusal ("invalid
// number") shows in red, everything else in green.
class CShowMessage : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kShowMilliseconds = 2000;
    enum Kind { Done, Error };
    static constexpr COLORREF kDoneColour = RGB(0, 192, 0);
    static constexpr COLORREF kErrorColour = RGB(208, 0, 0);

    explicit CShowMessage(const QString& text, QWidget* parent = nullptr, Kind kind = Done);

    CBlinkStatic* GetTextControl() const { return m_label; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CBlinkStatic* m_label;
    QTimer m_closeTimer;
};
