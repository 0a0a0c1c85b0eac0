#pragma once

#include <QString>

#include <string>

// A text setting as the engine holds it: bytes of the single-byte code page
// for texts it matches, bytes of the file system's encoding for file names.
// When the bytes cannot hold the caller's text in full, the original is kept
// beside them, so the caller gets back what it gave for as long as the bytes
// are unchanged.
class MirroredText
{
public:
    enum Encoding { CodePage, FileName };

    explicit MirroredText(Encoding encoding = CodePage) : m_encoding(encoding) {}

    // The bytes for the engine; "representable" tells whether they hold the
    // whole text.
    std::string Set(const QString& text, bool* representable = nullptr);
    QString Get(const std::string& bytes) const;
    // A part of the text: "part" as found at "position" (-1 for none) of
    // "bytes", the bytes the engine worked on.
    QString Part(const std::string& bytes, const std::string& part, int position) const;

private:
    bool holdsOriginalOf(const std::string& bytes) const { return m_lossy && bytes == m_bytes; }
    QString decode(const std::string& bytes) const;

    Encoding m_encoding;
    bool m_lossy = false;
    QString m_original;
    std::string m_bytes;
};
