#pragma once

#include <QStringList>

// Position of the entry with the most characters (the first of equally long
// ones), or -1 for no entries.
int LongestEntry(const QStringList &entries);

// Width of a drop-down box's opening list: the longest entry's width plus
// 7 pixels, plus a scroll bar's width when 9 or more entries make the list
// scroll, at most the room from the box's left edge to the screen's right
// edge.
int DropDownListWidth(
    int longestTextWidth, int entryCount, int scrollBarWidth, int roomToScreenEdge);
