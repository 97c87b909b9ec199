#pragma once

#include "platform/UserDialogs.h"

// Dialogs without a window: messages go to stderr, questions are declined.
class ConsoleDialogs final : public UserDialogs
{
public:
    Answer message(const QString &text, Style style, const QString &title = {}) override;
    QString openFileName(const QString &, const QString & = {}) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString & = {}) override
    {
        return {};
    }
    QString inputText(const QString &, const QString &, const QString &, bool *ok) override
    {
        if (ok)
            *ok = false;
        return {};
    }
};
