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

// A scan's own copy of the shifts (see ByteRuns), so they stay in
// registers: the scan stores nothing that could alias them.
struct Shifts
{
    // Shift k in byte k; as many as "steps".
    const std::uint64_t packed;
    const unsigned steps;
    const std::uint64_t inBlock;
};

// One block's step of a scan, given the in-set and line-feed masks of the
// 64 bytes from "p" (bits past the text clear) and "carry", the length of
// the run of in-set bytes that reaches p: true when the first window
// "found" is found or the text ends within the block (then null). Most
// blocks hold no window, so they take a single branch on one test.
inline __attribute__((always_inline)) bool blockStep(std::uint64_t in, std::uint64_t feeds, const Byte* p,
                                                     const Byte* end, const Shifts& shifts, std::size_t width,
                                                     std::size_t& carry, std::size_t& lineFeeds, const Byte*& found)
{
    // Bit s of "starts": bits s to s + width - 1 of "in" all set. Only
    // the steps the width needs, each waiting for the one before; their
    // count is the same every block, so the loop's branch is foreseen.
    std::uint64_t starts = in & shifts.inBlock;
    std::uint64_t by = shifts.packed;
    for (unsigned step = 0; step < shifts.steps; ++step, by >>= 8)
        starts &= starts >> (by & 63);
    const std::uint64_t out = ~in;
    const std::size_t lead = out ? std::size_t(__builtin_ctzll(out)) : 64;
    const bool across = carry + lead >= width;
    if (across | (starts != 0)) {
        found = across ? p - carry : p + __builtin_ctzll(starts);
        // A run before p holds no line feed.
        if (found > p)
            lineFeeds += std::size_t(__builtin_popcountll(feeds & ((std::uint64_t(1) << (found - p)) - 1)));
        return true;
    }
    lineFeeds += std::size_t(__builtin_popcountll(feeds));
    carry = out ? std::size_t(__builtin_clzll(out)) : carry + 64;
    found = nullptr;
    return end - p <= 64;
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

__attribute__((target("avx2,popcnt"))) const Byte* nextAvx2(const Byte* p, const Byte* end, const Byte* lowTable,
                                                           const Byte* highTable, const ByteRuns::ByteSet& bytes,
                                                           const Shifts shifts, std::size_t width,
                                                           std::size_t& lineFeeds)
{
    const __m256i low = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(lowTable)));
    const __m256i high = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(highTable)));
    const __m256i bits = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, char(0x80), 1, 2, 4, 8, 16, 32, 64, char(0x80), 1,
                                          2, 4, 8, 16, 32, 64, char(0x80), 1, 2, 4, 8, 16, 32, 64, char(0x80));
    const __m256i feed = _mm256_set1_epi8('\n');
    std::size_t carry = 0;
    std::size_t feedsBefore = 0;
    const Byte* found = nullptr;
    for (;; p += 64) {
        std::uint64_t in = 0;
        std::uint64_t feeds = 0;
        if (end - p >= 64) {
            const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
            in = std::uint64_t(inSet32(first, low, high, bits))
                 | std::uint64_t(inSet32(second, low, high, bits)) << 32;
            feeds = std::uint64_t(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(first, feed))))
                    | std::uint64_t(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(second, feed)))) << 32;
        } else {
            // The last bytes, fewer than 64.
            for (std::size_t i = 0; p + i < end; ++i) {
                in |= std::uint64_t(bytes[p[i]]) << i;
                feeds |= std::uint64_t(p[i] == '\n') << i;
            }
        }
        if (blockStep(in, feeds, p, end, shifts, width, carry, feedsBefore, found)) {
            lineFeeds += feedsBefore;
            return found;
        }
    }
}

// With 64-byte lanes and byte permutes the whole set is one 32-byte bitmap
// looked up at once; the last bytes are a masked load of the same kind.
__attribute__((target("avx512f,avx512bw,avx512vbmi,bmi2,popcnt"))) const Byte* nextAvx512(
    const Byte* p, const Byte* end, const Byte* bitmap, const Shifts shifts, std::size_t width,
    std::size_t& lineFeeds)
{
    // Byte b's row is bitmap[b >> 3]: a word shift leaves the neighbouring
    // byte's bits above the five that count, and the bitmap is stored twice
    // so the permute, which reads six, finds the same row.
    const __m512i rows = _mm512_loadu_si512(bitmap);
    const __m512i bits = _mm512_set1_epi64(std::int64_t(0x8040201008040201ull));
    const __m512i feed = _mm512_set1_epi8('\n');
    std::size_t carry = 0;
    std::size_t feedsBefore = 0;
    const Byte* found = nullptr;
    for (;; p += 64) {
        const __mmask64 valid = end - p >= 64 ? ~__mmask64(0) : _bzhi_u64(~std::uint64_t(0), unsigned(end - p));
        const __m512i x = _mm512_maskz_loadu_epi8(valid, p);
        const __m512i row = _mm512_maskz_permutexvar_epi8(valid, _mm512_srli_epi16(x, 3), rows);
        // The permute reads the low six bits of each byte: bit b & 7 of a
        // row is byte (b & 7) of the bits, repeated every eight bytes.
        const __m512i bit = _mm512_maskz_permutexvar_epi8(valid, x, bits);
        const std::uint64_t in = _mm512_test_epi8_mask(row, bit);
        const std::uint64_t feeds = _mm512_mask_cmpeq_epi8_mask(valid, x, feed);
        if (blockStep(in, feeds, p, end, shifts, width, carry, feedsBefore, found)) {
            lineFeeds += feedsBefore;
            return found;
        }
    }
}
#endif

} // namespace

ByteRuns::ByteRuns(const ByteSet& bytes, std::size_t width) : ByteRuns(bytes, width, Fastest()) {}

ByteRuns::ByteRuns(const ByteSet& bytes, std::size_t width, Way way)
    : m_bytes(bytes), m_width(std::max<std::size_t>(width, 1)), m_low(), m_high(), m_bitmap(), m_shifts(0),
      m_steps(0), m_way(Offers(way) ? way : Way::Bytes)
{
    m_bytes['\n'] = false;
    for (unsigned b = 0; b < 256; ++b) {
        if (m_bytes[b]) {
            unsigned char* table = b < 128 ? m_low : m_high;
            table[b & 0x0F] |= Byte(1u << ((b >> 4) & 7));
            m_bitmap[b >> 3] |= Byte(1u << (b & 7));
        }
    }
    std::copy(m_bitmap, m_bitmap + 32, m_bitmap + 32);
    // Each shift doubles the run a bit stands for; the last tops it up to
    // the width. A window wider than a block never starts within one.
    if (m_width <= 64) {
        std::size_t covered = 1;
        for (; 2 * covered <= m_width; covered *= 2)
            m_shifts |= std::uint64_t(covered) << (8 * m_steps++);
        if (covered < m_width)
            m_shifts |= std::uint64_t(m_width - covered) << (8 * m_steps++);
    }
}

ByteRuns::Way ByteRuns::Fastest()
{
    return Offers(Way::Avx512) ? Way::Avx512 : Offers(Way::Avx2) ? Way::Avx2 : Way::Bytes;
}

bool ByteRuns::Offers(Way way)
{
    switch (way) {
    case Way::Bytes: return true;
#ifdef PATTORN_WIDE_SHUFFLES
    case Way::Avx2: return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    case Way::Avx512:
        return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi")
               && __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
#endif
    default: return false;
    }
}

const char* ByteRuns::Next(const char* from, const char* last, std::size_t& lineFeeds) const
{
#ifdef PATTORN_WIDE_SHUFFLES
    const auto* p = reinterpret_cast<const Byte*>(from);
    const auto* end = reinterpret_cast<const Byte*>(last);
    const Shifts shifts{m_shifts, m_steps, m_width <= 64 ? ~std::uint64_t(0) : 0};
    if (m_way == Way::Avx512 && p < end)
        return reinterpret_cast<const char*>(nextAvx512(p, end, m_bitmap, shifts, m_width, lineFeeds));
    if (m_way == Way::Avx2 && p < end)
        return reinterpret_cast<const char*>(
            nextAvx2(p, end, m_low, m_high, m_bytes, shifts, m_width, lineFeeds));
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
