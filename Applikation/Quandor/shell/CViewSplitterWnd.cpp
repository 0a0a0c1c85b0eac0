#include "CViewSplitterWnd.h"

#include <QApplication>
#include <QKeyEvent>

CViewSplitterWnd::CViewSplitterWnd(QWidget* parent)
    : QSplitter(Qt::Horizontal, parent)
{
    setChildrenCollapsible(false);
}

void CViewSplitterWnd::ReplaceRightPane(QWidget* view)
{
    const QList<int> sizes = this->sizes();
    QWidget* old = RightPane();
    if (old) {
        replaceWidget(1, view);
        old->hide();
        old->deleteLater();
    } else {
        addWidget(view);
    }
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    if (sizes.size() == 2)
        setSizes(sizes);
    view->show();
}

void CViewSplitterWnd::StartKeyboardSplit()
{
    if (count() < 2)
        return;
    m_bKeyboardSplit = true;
    m_nSplitStart = sizes().value(0);
    qApp->installEventFilter(this);
    handle(1)->setFocus();
}

bool CViewSplitterWnd::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_bKeyboardSplit || event->type() != QEvent::KeyPress)
        return QSplitter::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    QList<int> s = sizes();
    const int total = s.value(0) + s.value(1);
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const int step = key->key() == Qt::Key_Left ? -8 : 8;
        const int left = qBound(0, s.value(0) + step, total);
        setSizes({left, total - left});
        return true;
    }
    case Qt::Key_Escape:
        setSizes({m_nSplitStart, total - m_nSplitStart});
        [[fallthrough]];
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_bKeyboardSplit = false;
        qApp->removeEventFilter(this);
        return true;
    default:
        return true;
    }
}
