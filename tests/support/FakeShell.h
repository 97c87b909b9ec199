#pragma once

#include "platform/Shell.h"

#include <QList>

// Records every request instead of starting anything. Requests succeed unless
// `succeed` is false.
class FakeShell final : public Shell
{
public:
    enum class Kind { OpenDocument, ShowFileInFolder, OpenFolder, OpenUrl, OpenTextViewer };
    struct Request
    {
        Kind kind;
        QString target;
        bool operator==(const Request &other) const = default;
    };

    bool openDocument(const QString &path) override { return record(Kind::OpenDocument, path); }
    bool showFileInFolder(const QString &path) override
    {
        return record(Kind::ShowFileInFolder, path);
    }
    bool openFolder(const QString &folder) override { return record(Kind::OpenFolder, folder); }
    bool openUrl(const QString &address) override { return record(Kind::OpenUrl, address); }
    void openTextViewer(const QString &path) override { record(Kind::OpenTextViewer, path); }
    void copyToClipboard(const QString &text) override { clipboard = text; }

    QList<Request> requests;
    QString clipboard;
    bool succeed = true;

private:
    bool record(Kind kind, const QString &target)
    {
        requests.append({ kind, target });
        return succeed;
    }
};
