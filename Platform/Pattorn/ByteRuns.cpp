#include "ByteRuns.h"

#include <algorithm>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#define PATTORN_WIDE_SHUFFLES 1
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pattorn {

namespace {

using Byte = unsigned char;

// Bit s of the result: bits s to s + width - 1 of "in" all set (so only
// where that run ends within the 64 bits).
std::uint64_t runStarts(std::uint64_t in, std::size_t width)
{
    std::size_t covered = 1;
    while (2 * covered <= width) {
        in &= in >> covered;
        covered *= 2;
    }
    if (covered < width)
        in &= in >> (width - covered);
    return in;
}

// Given the in-set mask of the 64 bytes from "p" (bits past the text
// clear) and where the run of in-set bytes that reaches "p" starts: the
// first window, or null; "runStart" then moves on to the run that reaches
// p + 64.
inline __attribute__((always_inline)) const Byte* windowIn(std::uint64_t in, const Byte* p, const Byte*& runStart,
                                                           std::size_t width)
{
    if (in == ~std::uint64_t(0))
        return std::size_t(p + 64 - runStart) >= width ? runStart : nullptr;
    if (std::size_t(p - runStart) + unsigned(__builtin_ctzll(~in)) >= width)
        return runStart;
    if (width <= 64) {
        if (const std::uint64_t starts = runStarts(in, width))
            return p + __builtin_ctzll(starts);
    }
    runStart = p + 64 - __builtin_clzll(~in);
    return nullptr;
}

#ifdef PATTORN_WIDE_SHUFFLES
// The in-set mask of 32 bytes: the low nibble picks a row of a table, the
// high nibble a bit of the row.
__attribute__((target("avx2"))) inline unsigned inSet32(__m256i x, __m256i low, __m256i high, __m256i bits)
{
    // A lane whose index has its top bit set looks up zero, so each table
    // answers only for its own half of the byte values.
    const __m256i row = _mm256_or_si256(_mm256_shuffle_epi8(low, x),
                                        _mm256_shuffle_epi8(high, _mm256_xor_si256(x, _mm256_set1_epi8(char(0x80)))));
    const __m256i bit = _mm256_shuffle_epi8(bits, _mm256_and_si256(_mm256_srli_epi16(x, 4), _mm256_set1_epi8(0x0F)));
    return unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(row, bit), bit)));
}

__attribute__((target("avx2,popcnt"))) const Byte* nextWide(const Byte* p, const Byte* end, const Byte* lowTable,
                                                           const Byte* highTable, const ByteRuns::ByteSet& bytes,
                                                           std::size_t width, std::size_t& lineFeeds)
{
    const __m256i low = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(lowTable)));
    const __m256i high = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(highTable)));
    const __m256i bits = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, char(0x80), 1, 2, 4, 8, 16, 32, 64, char(0x80), 1,
                                          2, 4, 8, 16, 32, 64, char(0x80), 1, 2, 4, 8, 16, 32, 64, char(0x80));
    const __m256i feed = _mm256_set1_epi8('\n');
    const Byte* runStart = p;
    std::uint64_t in = 0;
    std::uint64_t feeds = 0;
    for (;; p += 64) {
        if (end - p >= 64) {
            const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
            in = std::uint64_t(inSet32(first, low, high, bits))
                 | std::uint64_t(inSet32(second, low, high, bits)) << 32;
            feeds = std::uint64_t(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(first, feed))))
                    | std::uint64_t(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(second, feed)))) << 32;
        } else {
            // The last bytes, fewer than 64.
            in = feeds = 0;
            for (std::size_t i = 0; p + i < end; ++i) {
                in |= std::uint64_t(bytes[p[i]]) << i;
                feeds |= std::uint64_t(p[i] == '\n') << i;
            }
        }
        if (const Byte* found = windowIn(in, p, runStart, width)) {
            // A run before p holds no line feed.
            if (found > p)
                lineFeeds += std::size_t(__builtin_popcountll(feeds & ((std::uint64_t(1) << (found - p)) - 1)));
            return found;
        }
        lineFeeds += std::size_t(__builtin_popcountll(feeds));
        if (end - p <= 64)
            return nullptr;
    }
}
#endif

} // namespace

ByteRuns::ByteRuns(const ByteSet& bytes, std::size_t width)
    : m_bytes(bytes), m_width(std::max<std::size_t>(width, 1)), m_low(), m_high()
{
    m_bytes['\n'] = false;
    for (unsigned b = 0; b < 256; ++b) {
        if (m_bytes[b]) {
            unsigned char* table = b < 128 ? m_low : m_high;
            table[b & 0x0F] |= Byte(1u << ((b >> 4) & 7));
        }
    }
#ifdef PATTORN_WIDE_SHUFFLES
    m_wide = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
#endif
}

const char* ByteRuns::Next(const char* from, const char* last, std::size_t& lineFeeds) const
{
#ifdef PATTORN_WIDE_SHUFFLES
    if (m_wide && from < last)
        return reinterpret_cast<const char*>(nextWide(reinterpret_cast<const Byte*>(from),
                                                      reinterpret_cast<const Byte*>(last), m_low, m_high, m_bytes,
                                                      m_width, lineFeeds));
#endif
    const char* found = nextByBytes(from, last);
    lineFeeds += LineFeeds(from, found ? found : last);
    return found;
}

const char* ByteRuns::nextByBytes(const char* from, const char* last) const
{
    // The window [from, from + width) is tested from its end: a byte
    // outside the set rules out every window holding it, so the next
    // window starts after it. Bytes already found in the set are not
    // tested again.
    const auto* p = reinterpret_cast<const Byte*>(from);
    const auto* end = reinterpret_cast<const Byte*>(last);
    const Byte* tested = p;
    while (std::size_t(end - p) >= m_width) {
        const Byte* k = p + m_width;
        while (k > tested && m_bytes[k[-1]])
            --k;
        if (k == tested)
            return reinterpret_cast<const char*>(p);
        tested = p + m_width;
        p = k;
    }
    return nullptr;
}

std::size_t ByteRuns::LineFeeds(const char* first, const char* last)
{
    std::size_t count = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: between two matches a few lines apart, one
    // memchr call per line costs more than the bytes.
    const __m128i feed = _mm_set1_epi8('\n');
    while (last - first >= 16) {
        // A count per byte lane, summed before it can pass 255.
        const std::size_t steps = std::min<std::size_t>(255, std::size_t(last - first) / 16);
        __m128i lanes = _mm_setzero_si128();
        for (std::size_t i = 0; i < steps; ++i, first += 16)
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first)), feed));
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += std::size_t(_mm_extract_epi16(sums, 0)) + std::size_t(_mm_extract_epi16(sums, 4));
    }
#endif
    return count + std::size_t(std::count(first, last, '\n'));
}

} // namespace pattorn
