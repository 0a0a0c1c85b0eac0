#include "CFileChooser.h"

#include <QDir>
#include <QFileDialog>

#include <mutex>

namespace {

std::mutex g_chooserMutex;
CFileChooser::Chooser g_chooser;

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
    Chooser chooser;
    {
        std::lock_guard<std::mutex> lock(g_chooserMutex);
        chooser = g_chooser;
    }
    return chooser ? chooser(request) : showDialog(parent, request);
}

CFileChooser::Chooser CFileChooser::SetChooser(Chooser chooser)
{
    std::lock_guard<std::mutex> lock(g_chooserMutex);
    std::swap(g_chooser, chooser);
    return chooser;
}
