#include "data/CSafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qint64 kCopyChunk = 1 << 20;

} // namespace

CSafeFile::CSafeFile(const QString& path)
    : m_path(path)
{
}

CSafeFile::~CSafeFile()
{
    if (m_save)
        m_save->cancelWriting();
}

void CSafeFile::Fail(const QString& reason)
{
    if (!m_failed)
        m_error = reason;
    m_failed = true;
    if (m_save)
        m_save->cancelWriting();
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
        if (!m_direct->open(QIODevice::WriteOnly)) {
            Fail(m_direct->errorString());
            return false;
        }
        return true;
    }
    m_save = std::make_unique<QSaveFile>(m_path);
    // Never fall back to writing the old file in place.
    m_save->setDirectWriteFallback(false);
    if (!m_save->open(QIODevice::WriteOnly)) {
        Fail(m_save->errorString());
        return false;
    }
    return true;
}

bool CSafeFile::Write(const char* data, qint64 size)
{
    if (m_failed)
        return false;
    QFileDevice* device = m_save ? static_cast<QFileDevice*>(m_save.get()) : m_direct.get();
    if (!device) {
        Fail(QStringLiteral("The file is not open."));
        return false;
    }
    if (device->write(data, size) != size) {
        Fail(device->errorString());
        return false;
    }
    return true;
}

bool CSafeFile::Write(const QByteArray& bytes)
{
    return Write(bytes.constData(), bytes.size());
}

bool CSafeFile::Commit()
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
    if (!m_save) {
        Fail(QStringLiteral("The file is not open."));
        return false;
    }
    if (!m_save->commit()) {
        m_error = m_save->errorString();
        m_failed = true;
        return false;
    }
    m_save.reset();
    return true;
}

bool CSafeFile::Copy(const QString& from, const QString& to, QString* error)
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
    for (;;) {
        chunk = source.read(kCopyChunk);
        if (chunk.isEmpty())
            break;
        if (!target.Write(chunk)) {
            *error = target.ErrorString();
            return false;
        }
    }
    if (source.error() != QFileDevice::NoError) {
        *error = source.errorString();
        return false;
    }
    if (!target.Commit()) {
        *error = target.ErrorString();
        return false;
    }
    return true;
}
