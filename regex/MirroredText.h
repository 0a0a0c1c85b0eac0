#pragma once

#include <QString>

#include <string>

// A text setting that the engine holds in the single-byte code page. When
// the caller's text holds characters the code page cannot, the original is
// kept beside the bytes it became, so the caller gets back what it gave for
// as long as the bytes are unchanged.
class MirroredText
{
public:
    // The bytes for the engine; "representable" tells whether they hold the
    // whole text.
    std::string Set(const QString& text, bool* representable = nullptr);
    QString Get(const std::string& bytes) const;
    // A part of the text: "part" as found at "position" (-1 for none) of
    // "bytes", the bytes the engine worked on.
    QString Part(const std::string& bytes, const std::string& part, int position) const;

private:
    bool holdsOriginalOf(const std::string& bytes) const { return m_lossy && bytes == m_bytes; }

    bool m_lossy = false;
    QString m_original;
    std::string m_bytes;
};
