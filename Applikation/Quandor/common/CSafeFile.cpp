#include "CSafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 kCopyChunk = 1 << 20;

// QTemporaryFile opens buffered; its unbuffered open is not public.
class UnbufferedTemporaryFile : public QTemporaryFile
{
public:
    using QTemporaryFile::QTemporaryFile;
    bool OpenUnbuffered() { return open(QIODevice::ReadWrite | QIODevice::Unbuffered); }
};

QString describe(const QFileDevice& device, const QString& fallback)
{
    const QString text = device.errorString();
    return device.error() == QFileDevice::NoError || text.isEmpty() ? fallback : text;
}

} // namespace

CSafeFile::CSafeFile(const QString& path)
    : m_path(path)
{
}

CSafeFile::~CSafeFile() = default;

void CSafeFile::Fail(const QString& reason)
{
    if (!m_failed)
        m_error = reason.isEmpty() ? QStringLiteral("\"%1\" could not be written.").arg(m_path) : reason;
    m_failed = true;
    // The temporary file goes at once, so a full disk gets its room back.
    m_temp.reset();
}

QFile* CSafeFile::Device() const
{
    return m_temp ? static_cast<QFile*>(m_temp.get()) : m_direct.get();
}

bool CSafeFile::Open()
{
    const QFileInfo target(m_path);
    if (target.exists() && !target.isFile()) {
        if (target.isDir()) {
            Fail(QStringLiteral("\"%1\" is a folder.").arg(m_path));
            return false;
        }
        m_direct = std::make_unique<QFile>(m_path);
        if (!m_direct->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            Fail(m_direct->errorString());
            return false;
        }
        return true;
    }
    if (!target.absoluteDir().exists()) {
        Fail(QStringLiteral("The folder \"%1\" does not exist.").arg(target.absolutePath()));
        return false;
    }
    auto temp = std::make_unique<UnbufferedTemporaryFile>(
        target.absoluteFilePath() + QStringLiteral(".~quandor-%1-XXXXXX").arg(QCoreApplication::applicationPid()));
    if (!temp->OpenUnbuffered()) {
        Fail(QStringLiteral("\"%1\": %2").arg(target.absolutePath(), temp->errorString()));
        return false;
    }
    // The new file keeps the old one's rights; a new one gets the usual ones
    // rather than the temporary file's owner-only rights.
    temp->setPermissions(target.exists() ? target.permissions()
                                         : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                               | QFileDevice::ReadOther);
    m_temp = std::move(temp);
    m_written = 0;
    return true;
}

bool CSafeFile::Write(const char* data, qint64 size)
{
    if (m_failed)
        return false;
    QFile* device = Device();
    if (!device) {
        Fail(QStringLiteral("The file is not open."));
        return false;
    }
    // A short write is no error to the file layer; asked again, the rest
    // fails with the reason (a full disk, a file too large).
    while (size > 0) {
        const qint64 done = device->write(data, size);
        if (done <= 0) {
            Fail(describe(*device, QStringLiteral("\"%1\": the disk took no more bytes.").arg(m_path)));
            return false;
        }
        data += done;
        size -= done;
        m_written += done;
    }
    return true;
}

bool CSafeFile::Write(const QByteArray& bytes)
{
    return Write(bytes.constData(), bytes.size());
}

bool CSafeFile::Commit(const Check& check)
{
    if (m_failed)
        return false;
    if (m_direct) {
        const bool ok = m_direct->flush();
        if (!ok)
            Fail(m_direct->errorString());
        m_direct->close();
        if (ok && m_direct->error() != QFileDevice::NoError)
            Fail(m_direct->errorString());
        return !m_failed;
    }
    if (!m_temp) {
        Fail(QStringLiteral("The file is not open."));
        return false;
    }
    if (!m_temp->flush()) {
        Fail(describe(*m_temp, QString()));
        return false;
    }
#ifdef Q_OS_UNIX
    // Some file systems report a full disk only when the data is forced out.
    if (::fsync(m_temp->handle()) != 0) {
        Fail(QStringLiteral("\"%1\": %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
#endif
    const QString written = m_temp->fileName();
    m_temp->close();
    const qint64 onDisk = QFileInfo(written).size();
    if (onDisk != m_written) {
        Fail(QStringLiteral("\"%1\" holds %2 of %3 bytes.").arg(m_path).arg(onDisk).arg(m_written));
        return false;
    }
    QString reason;
    if (check && !check(written, &reason)) {
        Fail(reason);
        return false;
    }
    std::error_code code;
    std::filesystem::rename(std::filesystem::path(written.toStdU16String()),
                            std::filesystem::path(m_path.toStdU16String()), code);
    if (code) {
        Fail(QStringLiteral("\"%1\": %2").arg(m_path, QString::fromStdString(code.message())));
        return false;
    }
    m_temp->setAutoRemove(false);
    m_temp.reset();
    return true;
}

bool CSafeFile::Copy(const QString& from, const QString& to, QString* error, const Check& check)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = source.errorString();
        return false;
    }
    CSafeFile target(to);
    if (!target.Open()) {
        *error = target.ErrorString();
        return false;
    }
    QByteArray chunk;
    qint64 copied = 0;
    for (;;) {
        chunk = source.read(kCopyChunk);
        if (chunk.isEmpty())
            break;
        copied += chunk.size();
        if (!target.Write(chunk)) {
            *error = target.ErrorString();
            return false;
        }
    }
    if (source.error() != QFileDevice::NoError) {
        *error = source.errorString();
        return false;
    }
    // A source that changed size while it was read gives no true copy.
    if (copied != source.size()) {
        *error = QStringLiteral("\"%1\" changed while it was copied.").arg(from);
        return false;
    }
    if (!target.Commit(check)) {
        *error = target.ErrorString();
        return false;
    }
    return true;
}

bool CSafeFile::WriteFile(const QString& path, const QByteArray& content, QString* error)
{
    CSafeFile file(path);
    const bool ok = file.Open() && file.Write(content) && file.Commit();
    if (!ok && error)
        *error = file.ErrorString();
    return ok;
}

bool CSafeFile::ProcessRuns(qint64 pid)
{
    if (pid <= 0)
        return false;
#ifdef Q_OS_UNIX
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#else
    return true;
#endif
}

int CSafeFile::RemoveStale(const QString& path)
{
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    // Only names this class makes: a file of the folder, the marker, the
    // writer's number and the six characters QTemporaryFile adds.
    static const QRegularExpression pattern(QStringLiteral("^.+\\.~quandor-(\\d+)-[A-Za-z0-9]{6}$"));
    int removed = 0;
    for (const QFileInfo& entry : folder.entryInfoList({QStringLiteral("*.~quandor-*")}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = pattern.match(entry.fileName());
        if (!match.hasMatch())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
        if (pid == QCoreApplication::applicationPid() || ProcessRuns(pid))
            continue;
        if (QFile::remove(entry.absoluteFilePath()))
            ++removed;
    }
    return removed;
}
