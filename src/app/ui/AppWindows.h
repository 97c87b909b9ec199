#pragma once

#include "common/AppServices.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class BrowserDownloads;
class DownloadTarget;
class QWidget;
class SaveFolderSource;
class fCover;
class fFileDownload;
class fOption;
class fWebSearch;

// Owns the program's windows and wires them: each window asks for what lies
// outside it by a signal (another window, a dialog, the end of the program),
// and this class answers. It also stands behind the search window's narrow
// interfaces to the save-folder dialog and the download list. The windows
// never call back into it.
class AppWindows : public QObject
{
    Q_OBJECT
public:
    explicit AppWindows(const AppServices &services, QObject *parent = nullptr);
    ~AppWindows() override;

    const AppServices &services() const { return m_services; }

    // The start-up window, created on first use; it lives while the program
    // runs and closing it ends the program.
    fCover *cover();

    // The open download window, or null.
    fFileDownload *downloadWindow() const;
    // The open download window, created hidden when there is none (it then
    // runs its opening steps); rows can be added before it is shown.
    fFileDownload *openDownloadWindow();
    // Shows (creating if needed) and raises the download window.
    fFileDownload *showDownloadWindow();

    // The open search window, or null.
    fWebSearch *searchWindow() const;
    // Shows the search window, creating and opening it when none is open.
    fWebSearch *showSearchWindow();

    // The options dialog "设置" over `owner`, wired to the download window;
    // the caller shows and deletes it.
    fOption *newOptionsDialog(QWidget *owner);
    // The options dialog, modal over `owner`; true when confirmed.
    bool execOptions(QWidget *owner);
    // The save-folder dialog, modal over `owner`; afterwards the caller reads
    // SaveFolderDialogCancelled, SaveFolder and UseOriginalFileName.
    void execSaveFolder(QWidget *owner);
    // The about box, modal over `owner`.
    void execAbout(QWidget *owner);
    // The cache window, modal over `owner`, for the profile whose cache is
    // at profileCachePath (the program's own when empty); its copy-out opens
    // the copy window over it.
    void execCacheWindow(QWidget *owner, QString profileCachePath = {});
    // The copy window, modal over `owner`, copying files another window hands over.
    void execCopyWindow(QWidget *owner, const QStringList &files);
    // Emptying the browser cache.
    void clearBrowserCache(QWidget *owner);

    // The start-up window was closed: every window closes without questions
    // (the download window writes its settings and the search window keeps
    // its list as a close does), a running download ends as a stop does, and
    // the program quits.
    void endProgram();

    // Downloads started in the program's browsers become download rows.
    BrowserDownloads &browserDownloads() { return *m_browserDownloads; }

Q_SIGNALS:
    void downloadWindowOpened(fFileDownload *window);
    void searchWindowOpened(fWebSearch *window);
    // endProgram() has closed the windows; the program quits next.
    void programEnding();

private:
    // A window closed: the start-up window comes back unless the named other
    // window is still open.
    void showCoverUnless(const QString &otherWindowName);

    AppServices m_services;
    std::unique_ptr<SaveFolderSource> m_folders;
    std::unique_ptr<DownloadTarget> m_target;
    BrowserDownloads *m_browserDownloads = nullptr;
    QPointer<fCover> m_cover;
    QPointer<fFileDownload> m_download;
    QPointer<fWebSearch> m_search;
    bool m_ending = false;
};
