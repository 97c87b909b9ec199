#pragma once

#include <QString>

// Removes leading and trailing spaces only; tabs and line breaks stay, unlike
// QString::trimmed().
inline QString TrimSpaces(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.sliced(begin, end - begin).toString();
}
