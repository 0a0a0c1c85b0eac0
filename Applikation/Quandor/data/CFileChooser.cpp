#include "CFileChooser.h"


#include <QDir>
#include <QFileDialog>

namespace {

QString showDialog(QWidget* parent, const CFileChooser::Request& request)
{
    QFileDialog dialog(parent, request.title, request.folder, request.filter);
    dialog.setObjectName(QStringLiteral("CFileChooser"));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.proposedName.isEmpty())
        dialog.selectFile(QDir(request.folder).filePath(request.proposedName));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

} // namespace

QString CFileChooser::Choose(QWidget* parent, const Request& request)
{
    const Chooser chooser = ChooserSeam().Get();
    return chooser ? chooser(request) : showDialog(parent, request);
}

CTestSeam<CFileChooser::Chooser>& CFileChooser::ChooserSeam()
{
    static CTestSeam<CFileChooser::Chooser> seam("CFileChooser::ChooserSeam");
    return seam;
}
