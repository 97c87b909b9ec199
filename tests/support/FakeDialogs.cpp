#include "FakeDialogs.h"

UserDialogs::Answer FakeDialogs::message(const QString &text, Style style, const QString &)
{
    messages.append({ text, style });
    if (whileShown)
        whileShown();
    if (!answers.isEmpty())
        return answers.dequeue();
    return (style == Style::Error || style == Style::Information) ? Answer::Ok : Answer::No;
}

QString FakeDialogs::openFileName(const QString &filter, const QString &)
{
    filtersAsked.append(filter);
    return fileNames.isEmpty() ? QString() : fileNames.dequeue();
}

QString FakeDialogs::saveFileName(const QString &filter, const QString &, const QString &)
{
    filtersAsked.append(filter);
    return fileNames.isEmpty() ? QString() : fileNames.dequeue();
}

QString FakeDialogs::inputText(const QString &, const QString &, const QString &, bool *ok)
{
    const bool have = !inputs.isEmpty();
    if (ok)
        *ok = have;
    return have ? inputs.dequeue() : QString();
}

QString FakeDialogs::existingFolder(const QString &startFolder, const QString &)
{
    folderPickerStarts.append(startFolder);
    return folders.isEmpty() ? QString() : folders.dequeue();
}
