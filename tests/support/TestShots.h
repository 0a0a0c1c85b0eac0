#pragma once

#include <QDir>
#include <QString>

// Where tests keep their window pictures for a person to look at: the folder
// named by QUANDOR_SCREENSHOTS, else one in the temporary folder, so a test
// run never writes outside the places it may. The folder exists on return;
// the result ends in a slash.
inline QString TestShots(const QString& subfolder)
{
    QString base = qEnvironmentVariable("QUANDOR_SCREENSHOTS");
    if (base.isEmpty())
        base = QDir::temp().filePath(QStringLiteral("quandor-screenshots"));
    const QString folder = QDir(base).filePath(subfolder) + QLatin1Char('/');
    QDir().mkpath(folder);
    return folder;
}
