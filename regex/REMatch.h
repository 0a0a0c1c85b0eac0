#pragma once

#include <QString>

// One element of a match vector: the text of a part of the match and its
// offset (in characters) in the subject; -1 when the part took no part.
struct REMatch
{
    QString text;
    int position = -1;

    bool operator==(const REMatch& other) const { return text == other.text && position == other.position; }
};
