#pragma once

#include "PattornExport.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace pattorn {

// Finds runs of bytes from a set at least a given number long: a match of
// an expression lies within such a run of the bytes it may hold, so text
// without one holds no match. It counts the lines it passes on the way, so
// a search that reports lines reads the text once. Where the processor has
// wide byte shuffles it classifies 64 bytes at a time; a byte at a time, a
// scan of mostly short runs spends its time on mispredicted branches.
class PATTORN_EXPORT ByteRuns
{
public:
    using ByteSet = std::array<bool, 256>;
    // How the bytes are classified: one at a time, 32 at a time with byte
    // shuffles, or 64 at a time with byte permutes.
    enum class Way { Bytes, Avx2, Avx512 };

    // A line feed is never taken into the set: it ends every run, as no
    // match runs past its line.
    ByteRuns(const ByteSet& bytes, std::size_t width);
    // The same, classifying a given way where the processor offers it.
    ByteRuns(const ByteSet& bytes, std::size_t width, Way way);

    // The fastest way this processor offers, and whether it offers "way".
    static Way Fastest();
    static bool Offers(Way way);

    // The first p in [from, last) with [p, p + width) all in the set; null
    // when there is none. Adds the line feeds in [from, p), or in [from,
    // last) when there is none, to "lineFeeds".
    const char* Next(const char* from, const char* last, std::size_t& lineFeeds) const;

    // The line feeds in [first, last).
    static std::size_t LineFeeds(const char* first, const char* last);

private:
    // Next's window, a byte at a time, without counting.
    const char* nextByBytes(const char* from, const char* last) const;

    ByteSet m_bytes;
    std::size_t m_width;
    // Per low nibble, the set's bits for the high nibbles 0-7 and 8-15.
    alignas(16) unsigned char m_low[16];
    alignas(16) unsigned char m_high[16];
    // Bit b & 7 of byte b >> 3: the set, twice over.
    unsigned char m_bitmap[64];
    // The shifts that narrow a block's in-set mask to the windows that
    // start within it, one a byte.
    std::uint64_t m_shifts;
    unsigned m_steps;
    Way m_way;
};

} // namespace pattorn
