#pragma once

#include <QString>

// Names that the program gives new records ("Leser_1A2F", "Person_9C",
// copies with "_"): a prefix and a number drawn from a generator seeded
// with the current time in seconds right before the draw, below 0xFFFF and
// written in upper-case hexadecimal without leading zeros. Two names made
// within one second are equal, as the user knows them to be.
class CRandomName
{
public:
    static QString Make(const QString& prefix);
    // The number for a given seed (the current time in seconds).
    static quint32 Number(quint64 seed);
};
