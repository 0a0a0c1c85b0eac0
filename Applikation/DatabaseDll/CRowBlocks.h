#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// The rows of one cache, kept in blocks rather than allocated one by one: a
// million rows are a few hundred allocations. A row never moves while it
// lives, so pointers to it stay valid; the place of a row freed is taken by
// the next row made. The caller frees every row it made (Free) before the
// blocks go, or hands them all back with FreeAll.
template <class Row>
class CRowBlocks
{
public:
    CRowBlocks() = default;
    CRowBlocks(const CRowBlocks&) = delete;
    CRowBlocks& operator=(const CRowBlocks&) = delete;
    CRowBlocks(CRowBlocks&& other) noexcept { Swap(other); }
    CRowBlocks& operator=(CRowBlocks&& other) noexcept
    {
        if (this != &other) {
            CRowBlocks gone;
            Swap(other);
            gone.Swap(other);
        }
        return *this;
    }

    Row* Make(Row&& value)
    {
        void* place = nullptr;
        if (!m_free.empty()) {
            place = m_free.back();
            m_free.pop_back();
        } else {
            if (m_blocks.empty() || m_used == m_blockSize) {
                // Small tables stay small; large ones take few, large blocks.
                m_blockSize = m_blocks.empty() ? kFirstBlock : std::min(m_blockSize * 2, kLargestBlock);
                m_blocks.emplace_back(new Slot[m_blockSize]);
                m_used = 0;
            }
            place = &m_blocks.back()[m_used++];
        }
        return new (place) Row(std::move(value));
    }

    void Free(Row* row)
    {
        row->~Row();
        m_free.push_back(row);
    }

    // Frees the rows listed (every row made and not freed) and the blocks.
    void FreeAll(const std::vector<Row*>& rows)
    {
        for (Row* row : rows)
            row->~Row();
        m_blocks.clear();
        m_free.clear();
        m_used = 0;
        m_blockSize = 0;
    }

private:
    struct Slot
    {
        alignas(Row) unsigned char bytes[sizeof(Row)];
    };

    static constexpr std::size_t kFirstBlock = 16;
    static constexpr std::size_t kLargestBlock = 4096;

    void Swap(CRowBlocks& other) noexcept
    {
        std::swap(m_blocks, other.m_blocks);
        std::swap(m_free, other.m_free);
        std::swap(m_used, other.m_used);
        std::swap(m_blockSize, other.m_blockSize);
    }

    std::vector<std::unique_ptr<Slot[]>> m_blocks;
    std::vector<void*> m_free;
    std::size_t m_used = 0;
    std::size_t m_blockSize = 0;
};
