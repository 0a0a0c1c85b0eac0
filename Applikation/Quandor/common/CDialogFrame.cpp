#include "CDialogFrame.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QVBoxLayout>

void CDialogFrame::Setup(QDialog& dialog, const QString& id, const QString& caption, QStyle::StandardPixmap icon)
{
    dialog.setObjectName(id);
    dialog.setWindowTitle(caption);
    dialog.setWindowIcon(QApplication::style()->standardIcon(icon));
}

QVBoxLayout* CDialogFrame::OkCancelColumn(QPushButton* ok, QPushButton* cancel, const QString& cancelText)
{
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setText(cancelText);
    auto* column = new QVBoxLayout;
    column->addWidget(ok);
    column->addWidget(cancel);
    column->addStretch(1);
    return column;
}
