#pragma once

#include <QString>

#include <memory>
#include <vector>

// One choice of a list cell: what the list shows and the value it stands for.
class CListEntry
{
public:
    CListEntry(const QString& display, const QString& value, int tag = 0, int key = 0)
        : m_nKey(key), m_strDisplay(display), m_strValue(value), m_nTag(tag)
    {
    }

    int m_nKey = 0;
    QString m_strDisplay;
    QString m_strValue;
    int m_nTag = 0;
};

// The choices of a list cell, owned by it.
using CGridItemArray = std::vector<std::unique_ptr<CListEntry>>;
