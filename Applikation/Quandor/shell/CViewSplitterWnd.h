#pragma once

#include <QSplitter>

// The main window's splitter: the navigation tree on the left, the record
// view on the right.
class CViewSplitterWnd : public QSplitter
{
    Q_OBJECT

public:
    explicit CViewSplitterWnd(QWidget* parent = nullptr);

    // The pane in column 1; replaces the old one, which is deleted.
    void ReplaceRightPane(QWidget* view);
    QWidget* RightPane() const { return count() > 1 ? widget(1) : nullptr; }

    // Moves the bar with the arrow keys until Enter or Escape.
    void StartKeyboardSplit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_bKeyboardSplit = false;
    int m_nSplitStart = 0;
};
