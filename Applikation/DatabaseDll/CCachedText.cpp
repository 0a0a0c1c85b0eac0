#include "CCachedText.h"

#include <QHash>

#include <atomic>
#include <mutex>

namespace {

// The characters a packed text may hold: what transponder numbers, dates,
// times and binary values are written with. Five bits each, eleven at most.
constexpr char16_t kAlphabet[33] = u"0123456789ABCDEFabcdef .:-/,;_+*";
constexpr int kBitsPerChar = 5;
constexpr qsizetype kMaxPacked = 11;
constexpr int kLengthShift = 1;
constexpr int kCharsShift = 5;

int codeOf(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return 10 + (c - u'A');
    if (c >= u'a' && c <= u'f')
        return 16 + (c - u'a');
    for (int i = 22; i < 32; ++i) {
        if (kAlphabet[i] == c)
            return i;
    }
    return -1;
}

// The packed form, or 0 when the text cannot be packed.
std::uint64_t pack(QStringView text)
{
    const qsizetype n = text.size();
    if (n == 0 || n > kMaxPacked)
        return 0;
    std::uint64_t bits = 1u | (std::uint64_t(n) << kLengthShift);
    for (qsizetype i = 0; i < n; ++i) {
        const int code = codeOf(text[i].unicode());
        if (code < 0)
            return 0;
        bits |= std::uint64_t(code) << (kCharsShift + kBitsPerChar * i);
    }
    return bits;
}

qsizetype packedSize(std::uint64_t bits)
{
    return qsizetype((bits >> kLengthShift) & 0xF);
}

} // namespace

struct CCachedText::Shared
{
    QString text;
    std::atomic<int> refs{1};
};

namespace {

// Every shared text of the process, found by its text (a view of the
// shared copy's own characters). A text's count is
// changed without the lock while it cannot reach zero (the one changing it
// holds a count of its own); the last count goes under the lock, so a text
// is never found and freed at once.
struct Pool
{
    std::mutex mutex;
    QHash<QStringView, CCachedText::Shared*> texts;
};

Pool& pool()
{
    // Never freed: rows may outlive every static (a handler held to exit).
    static Pool* const p = new Pool;
    return *p;
}

} // namespace

CCachedText::CCachedText(const QString& text)
{
    Assign(text, &text);
}

CCachedText::CCachedText(QStringView text)
{
    Assign(text, nullptr);
}

void CCachedText::AddRef() const noexcept
{
    Entry()->refs.fetch_add(1, std::memory_order_relaxed);
}

CCachedText& CCachedText::operator=(const CCachedText& other) noexcept
{
    if (this != &other) {
        CCachedText copy(other);
        std::swap(m_bits, copy.m_bits);
    }
    return *this;
}

CCachedText& CCachedText::operator=(CCachedText&& other) noexcept
{
    if (this != &other) {
        Release();
        m_bits = other.m_bits;
        other.m_bits = 0;
    }
    return *this;
}

CCachedText& CCachedText::operator=(const QString& text)
{
    CCachedText copy(text);
    std::swap(m_bits, copy.m_bits);
    return *this;
}

void CCachedText::Assign(QStringView text, const QString* owner)
{
    if (text.isEmpty())
        return;
    if (const std::uint64_t packed = pack(text)) {
        m_bits = packed;
        return;
    }
    Pool& p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    Shared* entry = p.texts.value(text);
    if (entry) {
        entry->refs.fetch_add(1, std::memory_order_relaxed);
    } else {
        entry = new Shared;
        entry->text = owner ? *owner : text.toString();
        p.texts.insert(QStringView(entry->text), entry);
    }
    m_bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(entry));
}

void CCachedText::Release() noexcept
{
    if (m_bits == 0 || IsPacked())
        return;
    Shared* entry = Entry();
    m_bits = 0;
    int refs = entry->refs.load(std::memory_order_relaxed);
    while (refs > 1) {
        if (entry->refs.compare_exchange_weak(refs, refs - 1, std::memory_order_acq_rel))
            return;
    }
    Pool& p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (entry->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        p.texts.remove(QStringView(entry->text));
        delete entry;
    }
}

QString CCachedText::ToString() const
{
    if (m_bits == 0)
        return QString();
    if (!IsPacked())
        return Entry()->text;
    const qsizetype n = packedSize(m_bits);
    QString text(n, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < n; ++i)
        out[i] = kAlphabet[(m_bits >> (kCharsShift + kBitsPerChar * i)) & 0x1F];
    return text;
}

qsizetype CCachedText::size() const
{
    if (m_bits == 0)
        return 0;
    return IsPacked() ? packedSize(m_bits) : Entry()->text.size();
}

bool CCachedText::Equals(const QString& text) const
{
    if (m_bits == 0)
        return text.isEmpty();
    if (!IsPacked())
        return Entry()->text == text;
    return pack(text) == m_bits;
}

int CCachedText::SharedCount()
{
    Pool& p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    return int(p.texts.size());
}
