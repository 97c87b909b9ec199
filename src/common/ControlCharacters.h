#pragma once

#include <QStringView>

#include <algorithm>

// True when the text holds a control character (tab, line breaks, escape, DEL,
// U+0080..U+009F, ...).
inline bool HasControlCharacter(QStringView text)
{
    return std::any_of(
        text.cbegin(), text.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}
