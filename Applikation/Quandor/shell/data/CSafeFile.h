#pragma once

#include <QString>

#include <memory>

class QFile;
class QSaveFile;

// Writes a file that must never be left half written: everything goes into
// a temporary file beside it, which replaces the old file only once it was
// written, flushed and closed without error. Until then, and after any
// failure, the old file stays exactly as it was.
//
// A path naming something that is not a regular file (a device, a pipe) is
// written in place: a rename would replace the device itself.
class CSafeFile
{
public:
    explicit CSafeFile(const QString& path);
    // Discards the temporary file unless committed.
    ~CSafeFile();

    CSafeFile(const CSafeFile&) = delete;
    CSafeFile& operator=(const CSafeFile&) = delete;

    bool Open();
    // False from the first failed write on; later writes do nothing.
    bool Write(const char* data, qint64 size);
    bool Write(const QByteArray& bytes);
    // Puts the written file in place; false when anything failed.
    bool Commit();
    QString ErrorString() const { return m_error; }

    // Copies a whole file the same way. False, with the reason, when the
    // source cannot be read or the copy cannot be put in place.
    static bool Copy(const QString& from, const QString& to, QString* error);

private:
    void Fail(const QString& reason);

    QString m_path;
    std::unique_ptr<QSaveFile> m_save;
    std::unique_ptr<QFile> m_direct;
    bool m_failed = false;
    QString m_error;
};
