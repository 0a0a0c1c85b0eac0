#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

// A text column of a cached row, in eight bytes. A large events table holds
// few distinct texts many times over (the same transponder numbers, dates,
// times, event texts and reader names), so a row keeps no copy of its own:
// a short text of digits and a few signs (a transponder number, a date, a
// time, a binary value) is packed into the eight bytes as a number, and any
// other text is shared with every row that holds the same text, counted so
// it goes when the last row holding it goes.
//
// It reads as a QString (converts implicitly) and takes a QString when
// assigned, so a row's text column is used as the text it holds. Safe to
// copy and free on any thread; one object is used by one thread at a time,
// as the row that holds it.
class CCachedText
{
public:
    CCachedText() noexcept = default;
    CCachedText(const QString& text); // NOLINT: rows take their texts by assignment
    // Straight from a reader's characters: a text seen before costs no copy.
    explicit CCachedText(QStringView text);
    CCachedText(const CCachedText& other) noexcept
        : m_bits(other.m_bits)
    {
        if (IsShared())
            AddRef();
    }
    CCachedText(CCachedText&& other) noexcept
        : m_bits(other.m_bits)
    {
        other.m_bits = 0;
    }
    CCachedText& operator=(const CCachedText& other) noexcept;
    CCachedText& operator=(CCachedText&& other) noexcept;
    CCachedText& operator=(const QString& text);
    ~CCachedText()
    {
        if (IsShared())
            Release();
    }

    QString ToString() const;
    operator QString() const { return ToString(); } // NOLINT: read as the text it holds

    bool isEmpty() const { return m_bits == 0; }
    qsizetype size() const;
    QString left(qsizetype n) const { return ToString().left(n); }
    QString mid(qsizetype from, qsizetype n = -1) const { return ToString().mid(from, n); }
    QString right(qsizetype n) const { return ToString().right(n); }

    // Equal texts have equal forms: one packing per text, one shared copy.
    friend bool operator==(const CCachedText& a, const CCachedText& b) { return a.m_bits == b.m_bits; }
    friend bool operator!=(const CCachedText& a, const CCachedText& b) { return a.m_bits != b.m_bits; }
    friend bool operator==(const CCachedText& a, const QString& b) { return a.Equals(b); }
    friend bool operator==(const QString& a, const CCachedText& b) { return b.Equals(a); }
    friend bool operator!=(const CCachedText& a, const QString& b) { return !a.Equals(b); }
    friend bool operator!=(const QString& a, const CCachedText& b) { return !b.Equals(a); }

    // Whether the text is kept packed, not shared (tests and measurements).
    bool IsPacked() const { return (m_bits & 1u) != 0; }
    // Distinct shared texts alive in the process (tests and measurements).
    static int SharedCount();

    // A shared text with its count (opaque outside the class's own file).
    struct Shared;

private:
    bool Equals(const QString& text) const;
    // owner: the text as a QString when there is one, shared rather than copied.
    void Assign(QStringView text, const QString* owner);
    bool IsShared() const { return m_bits != 0 && (m_bits & 1u) == 0; }
    void AddRef() const noexcept;
    // Drops this object's count of its shared text and empties it.
    void Release() noexcept;
    Shared* Entry() const { return reinterpret_cast<Shared*>(static_cast<std::uintptr_t>(m_bits)); }

    // 0: empty. Low bit set: a packed text (length and five bits a
    // character). Otherwise: the address of the shared copy.
    std::uint64_t m_bits = 0;
};
