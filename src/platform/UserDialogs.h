#pragma once

#include <QString>

// Every message box, input box and file dialog goes through this interface,
// so the core never opens a window and tests answer dialogs in advance.
class UserDialogs
{
public:
    enum class Style {
        Error, // error icon, OK
        Information, // information icon, OK
        QuestionYesNo, // question icon, Yes and No
        YesNo, // plain Yes and No
    };
    enum class Answer { Ok, Yes, No };

    virtual ~UserDialogs() = default;

    virtual Answer message(const QString &text, Style style, const QString &title = {}) = 0;
    // Empty text when the user cancels.
    virtual QString openFileName(const QString &filter, const QString &title = {}) = 0;
    virtual QString saveFileName(
        const QString &filter, const QString &suggestedName, const QString &title = {})
        = 0;
    // ok is false when the user cancels.
    virtual QString inputText(
        const QString &prompt, const QString &title, const QString &defaultText, bool *ok)
        = 0;
    // The platform's folder picker opened at `startFolder`; empty when the
    // user cancels or picks nothing on the file system. Front ends without
    // a picker answer empty.
    virtual QString existingFolder(const QString &startFolder, const QString &title)
    {
        Q_UNUSED(startFolder);
        Q_UNUSED(title);
        return {};
    }
};
