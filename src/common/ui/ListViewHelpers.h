#pragma once

class QComboBox;
class QTreeView;

// Special column widths: fit the contents, or the contents and the header
// text, whichever is wider.
inline constexpr int FitContents = -1;
inline constexpr int FitContentsAndHeader = -2;

// Sets the width of column `column` (counted from 1) in pixels, or fits it
// (-1, -2). Columns outside 1..count, and lists without a header, are left
// alone.
void SetColumnWidth(QTreeView *list, int column, int width);
// SetColumnWidth for every column in order.
void SetAllColumnWidths(QTreeView *list, int width);

// Light green (231, 248, 237) and white rows, the first one green. Drawn with
// each row, so the stripes follow the rows at any row height.
void StripeListBackground(QTreeView *list);

// Widens the box's opening list so its longest entry fits, within the screen;
// the box itself keeps its size.
void FitDropDownWidth(QComboBox *box);
