#pragma once

#include "platform/UserDialogs.h"

#include <QObject>

// Dialogs for code that may run inside libcurl's callbacks. A modal dialog
// there would run an event loop with libcurl on the stack, so a plain message
// is shown once libcurl has returned (answered Ok at once); anything else is
// passed on as it is.
class LibcurlSafeDialogs final : public QObject, public UserDialogs
{
    Q_OBJECT
public:
    explicit LibcurlSafeDialogs(UserDialogs &dialogs, QObject *parent = nullptr)
        : QObject(parent), m_dialogs(dialogs)
    { }

    Answer message(const QString &text, Style style, const QString &title = {}) override;
    QString openFileName(const QString &filter, const QString &title = {}) override
    {
        return m_dialogs.openFileName(filter, title);
    }
    QString saveFileName(
        const QString &filter, const QString &suggestedName, const QString &title = {}) override
    {
        return m_dialogs.saveFileName(filter, suggestedName, title);
    }
    QString inputText(
        const QString &prompt, const QString &title, const QString &defaultText, bool *ok) override
    {
        return m_dialogs.inputText(prompt, title, defaultText, ok);
    }

private:
    UserDialogs &m_dialogs;
};
