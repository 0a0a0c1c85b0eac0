#include "CGridAxis.h"

#include <algorithm>

void CGridAxis::Resize(int count, quint32 newSize)
{
    count = std::max(count, 0);
    std::vector<quint32> sizes(m_sizes.begin(), m_sizes.begin() + std::min<std::size_t>(m_sizes.size(), count));
    sizes.resize(std::size_t(count), newSize);
    std::vector<qint64> tree(sizes.size() + 1, 0);
    // Only now that nothing can fail any more does the axis change.
    m_sizes.swap(sizes);
    m_tree.swap(tree);
    Rebuild();
}

void CGridAxis::Clear()
{
    m_sizes.clear();
    m_tree.assign(1, 0);
    m_total = 0;
}

int CGridAxis::Size(int index) const
{
    if (index < 0 || index >= Count())
        return -1;
    return int(std::min<quint32>(m_sizes[std::size_t(index)], 0x7FFFFFFF));
}

void CGridAxis::SetSize(int index, quint32 size)
{
    if (index < 0 || index >= Count())
        return;
    const qint64 delta = qint64(size) - qint64(m_sizes[std::size_t(index)]);
    m_sizes[std::size_t(index)] = size;
    m_total += delta;
    const std::size_t n = m_sizes.size();
    for (std::size_t i = std::size_t(index) + 1; i <= n; i += i & (~i + 1))
        m_tree[i] += delta;
}

void CGridAxis::SetSizeFrom(int first, quint32 size)
{
    first = std::max(first, 0);
    if (first >= Count())
        return;
    std::fill(m_sizes.begin() + first, m_sizes.end(), size);
    Rebuild();
}

qint64 CGridAxis::Offset(int index) const
{
    index = std::clamp(index, 0, Count());
    qint64 sum = 0;
    for (std::size_t i = std::size_t(index); i > 0; i -= i & (~i + 1))
        sum += m_tree[i];
    return sum;
}

int CGridAxis::LowerBound(qint64 offset) const
{
    if (offset <= 0)
        return 0;
    const std::size_t n = m_sizes.size();
    std::size_t step = 1;
    while (step * 2 <= n)
        step *= 2;
    // The largest position whose running sum stays below the offset.
    std::size_t pos = 0;
    qint64 remaining = offset;
    for (; step > 0; step /= 2) {
        if (pos + step <= n && m_tree[pos + step] < remaining) {
            pos += step;
            remaining -= m_tree[pos];
        }
    }
    return int(std::min(pos + 1, n));
}

void CGridAxis::Rebuild()
{
    const std::size_t n = m_sizes.size();
    m_tree.assign(n + 1, 0);
    m_total = 0;
    for (std::size_t i = 1; i <= n; ++i) {
        m_tree[i] += m_sizes[i - 1];
        m_total += m_sizes[i - 1];
        const std::size_t parent = i + (i & (~i + 1));
        if (parent <= n)
            m_tree[parent] += m_tree[i];
    }
}
