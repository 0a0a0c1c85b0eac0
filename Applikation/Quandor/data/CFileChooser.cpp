#include "CFileChooser.h"

#include "CTestSeam.h"

#include <QDir>
#include <QFileDialog>

namespace {

CTestSeam<CFileChooser::Chooser>& chooserSeam()
{
    static CTestSeam<CFileChooser::Chooser> seam;
    return seam;
}

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
    const Chooser chooser = chooserSeam().Get();
    return chooser ? chooser(request) : showDialog(parent, request);
}

CFileChooser::Chooser CFileChooser::SetChooser(Chooser chooser)
{
    return chooserSeam().Replace(std::move(chooser));
}
