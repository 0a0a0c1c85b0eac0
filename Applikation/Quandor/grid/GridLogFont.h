#pragma once

#include <QFont>

// The font a cell or default cell carries: a Qt font plus the turn of the
// text, in tenths of a degree (900 or -900: written upwards or downwards).
struct GridLogFont
{
    QFont font;
    int escapement = 0;

    bool IsVertical() const { return escapement == 900 || escapement == -900; }
    bool operator==(const GridLogFont& other) const
    {
        return escapement == other.escapement && font == other.font;
    }
    bool operator!=(const GridLogFont& other) const { return !(*this == other); }
};
