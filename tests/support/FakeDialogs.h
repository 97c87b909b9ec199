#pragma once

#include "platform/UserDialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

// Dialogs answered in advance. Every message shown is recorded; a dialog with
// no queued answer is answered as if cancelled (No, empty name).
class FakeDialogs final : public UserDialogs
{
public:
    struct Shown
    {
        QString text;
        Style style;
    };

    Answer message(const QString &text, Style style, const QString &title = {}) override;
    QString openFileName(const QString &filter, const QString &title = {}) override;
    QString saveFileName(
        const QString &filter, const QString &suggestedName, const QString &title = {}) override;
    QString inputText(
        const QString &prompt, const QString &title, const QString &defaultText, bool *ok) override;
    // Answers from `folders`; records where the picker was opened.
    QString existingFolder(const QString &startFolder, const QString &title) override;

    QList<Shown> messages;
    QQueue<Answer> answers;
    QQueue<QString> fileNames;
    QQueue<QString> inputs;
    QQueue<QString> folders;
    QStringList folderPickerStarts;
    QStringList filtersAsked;
    // Runs while a message is "shown", as a modal dialog would run its loop.
    std::function<void()> whileShown;
};
