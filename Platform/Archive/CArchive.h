#pragma once

#include <QString>
#include <QtGlobal>

class QIODevice;

// The binary archive in which objects store their settings: 32-bit numbers in
// little-endian order and texts in the framework's counted string form, so
// files written by the earlier Windows program read back byte for byte.
//
// The archive never throws. The first failure (a read past the end, data
// that cannot be right, a refused schema, a failed write) is kept as the
// archive's status, and every later read or write does nothing; the caller
// checks GetStatus() once at the end.
class CArchive
{
public:
    enum Mode { store, load };
    enum class Status { Ok, ReadPastEnd, Corrupt, Aborted, WriteFailed };

    // The schema of an object whose class header the caller did not read;
    // objects then load in their current layout.
    static constexpr int NoSchema = -1;

    // The device must stay open for the archive's life.
    CArchive(QIODevice* device, Mode mode);

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }

    // The schema the stored object was written with, as the caller read it
    // from the object's class header.
    int GetObjectSchema() const { return m_schema; }
    void SetObjectSchema(int schema) { m_schema = schema; }

    // Ends the archive: the object refuses the data (a schema newer than
    // it knows). Nothing further is read or written.
    void Abort();
    // The data read so far cannot be right (a value out of its range).
    void MarkCorrupt();

    Status GetStatus() const { return m_status; }
    bool IsOk() const { return m_status == Status::Ok; }

    CArchive& operator<<(qint32 value);
    CArchive& operator<<(quint32 value);
    // Reads leave the value alone when the read fails.
    CArchive& operator>>(qint32& value);
    CArchive& operator>>(quint32& value);

    // The framework's counted string: a length of 1, 3, 7 or 15 bytes, then
    // the characters as single bytes of code page 1252. A text the code page
    // cannot hold in full is written in the framework's wide form instead
    // (below), so nothing is lost.
    void WriteString(const QString& text);
    // Also reads the framework's wide form (a 0xFF 0xFFFE marker, then the
    // length, then UTF-16 units). On failure the text keeps its old value.
    bool ReadString(QString& text);

private:
    bool readBytes(void* data, qint64 size);
    bool writeBytes(const void* data, qint64 size);
    template <class T> bool readLittle(T& value);
    template <class T> void writeLittle(T value);
    bool readLength(quint64& length, bool& wide);
    void writeLength(quint64 length);
    void fail(Status status);

    QIODevice* m_device;
    Mode m_mode;
    int m_schema = NoSchema;
    Status m_status = Status::Ok;
};
