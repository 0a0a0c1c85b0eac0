#pragma once

#include <QString>
#include <QStyle>

class QDialog;
class QPushButton;
class QVBoxLayout;

// What the program's small dialogs set up first: the id that tests and
// callers find them by, the caption in the active language and the icon.
class CDialogFrame
{
public:
    static void Setup(QDialog& dialog, const QString& id, const QString& caption,
                      QStyle::StandardPixmap icon = QStyle::SP_ComputerIcon);
    // OK (id 1, the default button) above Cancel (id 2) in a column of
    // their own, for the dialog's layout to take.
    static QVBoxLayout* OkCancelColumn(QPushButton* ok, QPushButton* cancel, const QString& cancelText);
};
