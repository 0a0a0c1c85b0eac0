#pragma once

#include <QSplitter>

// The main window's splitter: the navigation tree on the left, the record
// view on the right. While locked, its bar cannot be dragged.
class CViewSplitterWnd : public QSplitter
{
    Q_OBJECT

public:
    explicit CViewSplitterWnd(QWidget* parent = nullptr);

    void SetLocked(bool locked);
    bool IsLocked() const { return m_bLocked; }

    // The pane in column 1; replaces the old one, which is deleted.
    void ReplaceRightPane(QWidget* view);
    QWidget* RightPane() const { return count() > 1 ? widget(1) : nullptr; }

    // Moves the bar with the arrow keys until Enter or Escape.
    void StartKeyboardSplit();

protected:
    QSplitterHandle* createHandle() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_bLocked = false;
    bool m_bKeyboardSplit = false;
    int m_nSplitStart = 0;
};
