#pragma once

#include <QString>
#include <QStyle>

class QDialog;

// What the program's small dialogs set up first: the id that tests and
// callers find them by, the caption in the active language and the icon.
class CDialogFrame
{
public:
    static void Setup(QDialog& dialog, const QString& id, const QString& caption,
                      QStyle::StandardPixmap icon = QStyle::SP_ComputerIcon);
};
