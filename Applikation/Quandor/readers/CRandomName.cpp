#include "CRandomName.h"

#include <ctime>
#include <random>

quint32 CRandomName::Number(quint64 seed)
{
    // A generator of our own: reseeding the process-wide rand() would
    // disturb every other user of it.
    std::mt19937 generator(static_cast<std::mt19937::result_type>(seed));
    return static_cast<quint32>(generator() % 0xFFFFu);
}

QString CRandomName::Make(const QString& prefix)
{
    const quint32 number = Number(static_cast<quint64>(std::time(nullptr)));
    return prefix + QString::number(number, 16).toUpper();
}
