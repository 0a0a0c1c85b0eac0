#pragma once

#include "CArchive.h"
#include "RegularExpression.h"
#include "TestEnvironment.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

// The stored settings of a regular-expression object as bytes: stored from
// an object, read into one, read from the golden files kept with the tests.
namespace archivebytes {

inline QByteArray golden(const char* name)
{
    QFile file(TestEnvironment::SourceDir() + QStringLiteral("/tests/regex/golden/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

// A 32-bit number as it stands in a stored file, lowest byte first.
inline QByteArray le32(qint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((quint32(value) >> (8 * i)) & 0xFF);
    return bytes;
}

inline QByteArray store(RegularExpression& re)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(&buffer, CArchive::store);
    re.Serialize(ar);
    EXPECT_TRUE(ar.IsOk());
    return bytes;
}

// Reads the bytes into the object under the given schema; "consumed" gets
// how many bytes the read took.
inline CArchive::Status load(RegularExpression& re, const QByteArray& bytes, int schema = CArchive::NoSchema,
                             qint64* consumed = nullptr)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CArchive ar(&buffer, CArchive::load);
    ar.SetObjectSchema(schema);
    re.Serialize(ar);
    if (consumed)
        *consumed = buffer.pos();
    return ar.GetStatus();
}

} // namespace archivebytes
