#include "CFileNameRule.h"

#include "CRegistryKey.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// Where the file name starts: after the last folder separator.
qsizetype fileNameStart(const QString& path)
{
    qsizetype separator = path.lastIndexOf(u'/');
#ifdef Q_OS_WIN
    separator = std::max(separator, path.lastIndexOf(u'\\'));
#endif
    return separator + 1;
}

} // namespace

QString CFileNameRule::ApplyExtension(const QString& path, const QString& extension)
{
    const qsizetype nameStart = fileNameStart(path);
    const qsizetype lastPoint = path.lastIndexOf(u'.');
    if (lastPoint < nameStart)
        return path + extension;
    if (path.endsWith(extension, Qt::CaseSensitive))
        return path;
    return path.left(lastPoint) + extension;
}

QString CFileNameRule::Stamp(const QString& timeStampText)
{
    QString stamp = timeStampText.left(timeStampText.size() - 4);
    stamp.remove(u':');
    stamp.remove(u'-');
    stamp.replace(u'/', u'_');
    return stamp;
}

QString CFileNameRule::StampNow()
{
    const CTimeStamp::Clock clock = ClockSeam().Get();
    CTimeStamp stamp = clock ? CTimeStamp(clock) : CTimeStamp();
    return Stamp(stamp.Now());
}

CTestSeam<CTimeStamp::Clock>& CFileNameRule::ClockSeam()
{
    static CTestSeam<CTimeStamp::Clock> seam("CFileNameRule::ClockSeam");
    return seam;
}

QString CFileNameRule::StartFolder(const QString& storedPath)
{
    if (storedPath.isEmpty())
        return CRegistryKey::PathOrHome(QString());
    const QFileInfo stored(storedPath);
    if (stored.isDir())
        return stored.absoluteFilePath();
    const QString folder = stored.absolutePath();
    return QFileInfo(folder).isDir() ? folder : CRegistryKey::PathOrHome(QString());
}
