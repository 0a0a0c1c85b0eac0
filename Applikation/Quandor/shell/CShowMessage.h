#pragma once

#include <QDialog>
#include <QTimer>

class CBlinkStatic;

// A short notice ("done", "3 events read") without buttons that closes
// itself 2000 ms after it appears. Run it with exec(); the result does not
// matter. Each notice has its own timer, so a notice opened right after
// another one still stays its full time.
class CShowMessage : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kShowMilliseconds = 2000;

    explicit CShowMessage(const QString& text, QWidget* parent = nullptr);

    CBlinkStatic* GetTextControl() const { return m_label; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CBlinkStatic* m_label;
    QTimer m_closeTimer;
};
