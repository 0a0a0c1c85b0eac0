#include "CDialogFrame.h"

#include <QApplication>
#include <QDialog>

void CDialogFrame::Setup(QDialog& dialog, const QString& id, const QString& caption, QStyle::StandardPixmap icon)
{
    dialog.setObjectName(id);
    dialog.setWindowTitle(caption);
    dialog.setWindowIcon(QApplication::style()->standardIcon(icon));
}
