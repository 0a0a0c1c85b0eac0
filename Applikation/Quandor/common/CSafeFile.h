#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QFile;
class QTemporaryFile;

// Writes a file that must never be left half written: everything goes into
// a temporary file beside it, which replaces the old file only once every
// byte is known to be on disk. Until then, and after any failure, the old
// file stays exactly as it was.
//
// Writes are unbuffered and each one must be taken whole: a buffered file
// that meets a full disk while flushing its last bytes loses them without
// an error, and would then be put in place cut short. Before the rename the
// file's size on disk must equal what was written, and an optional check
// may read the written file (a database copy is opened and checked).
//
// A path naming something that is not a regular file (a device, a pipe) is
// written in place: a rename would replace the device itself.
class CSafeFile
{
public:
    // Reads the complete temporary file before it replaces the target; false
    // with a reason keeps the old file.
    using Check = std::function<bool(const QString& writtenFile, QString* reason)>;

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
    bool Commit(const Check& check = Check());
    QString ErrorString() const { return m_error; }

    // Copies a whole file the same way. False, with the reason, when the
    // source cannot be read or the copy cannot be put in place.
    static bool Copy(const QString& from, const QString& to, QString* error, const Check& check = Check());
    // Replaces the file by these bytes the same way.
    static bool WriteFile(const QString& path, const QByteArray& content, QString* error);

    // The temporary files carry the writer's process number
    // ("<file>.~quandor-<pid>-XXXXXX"), so a file whose writer was killed
    // is known as a leftover of this program. Removes those beside "path"
    // (any file of that folder) whose process no longer runs; the number
    // removed.
    static int RemoveStale(const QString& path);
    // Whether a process with this number runs (a leftover of a running
    // writer is never taken away).
    static bool ProcessRuns(qint64 pid);

private:
    void Fail(const QString& reason);
    QFile* Device() const;

    QString m_path;
    std::unique_ptr<QTemporaryFile> m_temp;
    std::unique_ptr<QFile> m_direct;
    qint64 m_written = 0;
    bool m_failed = false;
    QString m_error;
};
