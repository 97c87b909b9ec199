#include "common/DropDownWidth.h"

#include <algorithm>

int LongestEntry(const QStringList &entries)
{
    int longest = -1;
    for (int i = 0; i < entries.size(); ++i) {
        if (longest < 0 || entries.at(i).size() > entries.at(longest).size())
            longest = i;
    }
    return longest;
}

int DropDownListWidth(
    int longestTextWidth, int entryCount, int scrollBarWidth, int roomToScreenEdge)
{
    int width = longestTextWidth + 7;
    if (entryCount >= 9)
        width += scrollBarWidth;
    return std::min(width, roomToScreenEdge);
}
