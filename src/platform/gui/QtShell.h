#pragma once

#include "platform/Shell.h"

#include <QPointer>

class QWidget;

// The desktop's own facilities: documents, folders and addresses open through
// QDesktopServices (the desktop's default programs), a file is shown in its
// folder through the freedesktop file-manager interface on D-Bus where a file
// manager offers it, and text files open in the program's own viewer.
class QtShell final : public Shell
{
public:
    explicit QtShell(QWidget *parent = nullptr) : m_parent(parent) { }
    void setParent(QWidget *parent) { m_parent = parent; }

    bool openDocument(const QString &path) override;
    bool showFileInFolder(const QString &path) override;
    bool openFolder(const QString &folder) override;
    bool openUrl(const QString &address) override;
    void openTextViewer(const QString &path) override;
    void copyToClipboard(const QString &text) override;

private:
    QPointer<QWidget> m_parent;
};
