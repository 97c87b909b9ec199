#pragma once

#include <QObject>
#include <QPointer>

class AppPaths;
class Clock;
class CookieJar;
class Shell;
class SoundPlayer;
class QWidget;
class UserDialogs;
class fCover;
class fFileDownload;
struct AppValues;

// What the windows of the desktop program share: the process-wide values and
// the platform services. The program owns each of them; tests hand in fakes.
struct AppServices
{
    AppValues &values;
    Clock &clock;
    const AppPaths &paths;
    SoundPlayer &player;
    UserDialogs &dialogs;
    Shell &shell;
    CookieJar *jar = nullptr;
};

// Finds and opens the program's windows, so that each window can reach the
// others: the start-up window, the download window, the options, save-folder
// and about dialogs.
class AppWindows : public QObject
{
    Q_OBJECT
public:
    explicit AppWindows(AppServices services, QObject *parent = nullptr);
    ~AppWindows() override;

    AppServices &services() { return m_services; }

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

    // A window closed: the start-up window comes back unless the named other
    // window is still open.
    void showCoverUnless(const QString &otherWindowName);

    // The options dialog "设置", modal over `owner`; true when confirmed.
    bool execOptions(QWidget *owner);
    // The save-folder dialog, modal over `owner`; afterwards the caller reads
    // SaveFolderDialogCancelled, SaveFolder and UseOriginalFileName.
    void execSaveFolder(QWidget *owner);
    // The about box, modal over `owner`.
    void execAbout(QWidget *owner);

    // The start-up window was closed: every window closes without questions,
    // a running download ends as a stop does, and the program quits.
    void endProgram();

Q_SIGNALS:
    void downloadWindowOpened(fFileDownload *window);
    // endProgram() has closed the windows; the program quits next.
    void programEnding();

private:
    AppServices m_services;
    QPointer<fCover> m_cover;
    QPointer<fFileDownload> m_download;
    bool m_ending = false;
};
