#include "ConsoleDialogs.h"

#include <cstdio>

UserDialogs::Answer ConsoleDialogs::message(const QString &text, Style style, const QString &)
{
    std::fprintf(stderr, "quillmoor-cli: %s\n", text.toLocal8Bit().constData());
    return (style == Style::Error || style == Style::Information) ? Answer::Ok : Answer::No;
}
