#include "app/ui/AppWindows.h"

#include "app/ui/BrowserDownloads.h"
#include "app/ui/fCover.h"
#include "app/ui/frmAbout.h"
#include "cachetools/ui/fIEcache.h"
#include "common/AppValues.h"
#include "common/WindowNames.h"
#include "copytool/ui/Form_Copy_Move.h"
#include "common/ui/OpenWindows.h"
#include "common/ui/WindowPlacement.h"
#include "download/DownloadList.h"
#include "download/DownloadSession.h"
#include "download/ui/fFileDownload.h"
#include "download/ui/fOption.h"
#include "download/ui/fSeleFileSavePath.h"
#include "platform/webengine/ProgramProfile.h"
#include "search/DownloadTarget.h"
#include "search/SaveFolderSource.h"
#include "search/ui/fWebSearch.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWebEngineProfile>

namespace {

// The shared save-folder values of the program and its save-folder dialog,
// shown over the search window.
class WindowSaveFolders final : public SaveFolderSource
{
public:
    explicit WindowSaveFolders(AppWindows &windows) : m_windows(windows) { }
    bool askOnExtract() const override { return values().AskSaveFolderOnExtract; }
    QString saveFolder() const override { return values().SaveFolder; }
    bool useOriginalFileName() const override { return values().UseOriginalFileName; }
    bool dialogCancelled() const override { return values().SaveFolderDialogCancelled; }
    void askSaveFolder() override { m_windows.execSaveFolder(m_windows.searchWindow()); }

private:
    const AppValues &values() const { return m_windows.services().values; }
    AppWindows &m_windows;
};

// The download window's list, the window created hidden when needed.
class WindowDownloadTarget final : public DownloadTarget
{
public:
    explicit WindowDownloadTarget(AppWindows &windows) : m_windows(windows) { }
    DownloadList &downloadList() override { return m_windows.openDownloadWindow()->list(); }
    void 显示下载窗口(bool restore) override
    {
        fFileDownload *window = m_windows.downloadWindow();
        if (!window)
            return;
        window->update();
        if (window->isHidden())
            window->show();
        if (restore && window->isMinimized())
            window->showNormal();
    }

private:
    AppWindows &m_windows;
};

void bringToFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

AppWindows::AppWindows(const AppServices &services, QObject *parent)
    : QObject(parent), m_services(services), m_folders(std::make_unique<WindowSaveFolders>(*this)),
      m_target(std::make_unique<WindowDownloadTarget>(*this)),
      m_browserDownloads(new BrowserDownloads(
          services.dialogs, [this] { return m_ending ? nullptr : openDownloadWindow(); }, this))
{
    // The program ends only through endProgram(), when the start-up window
    // closes: closing any other window, dialog or message box never ends it,
    // even while the start-up window is hidden.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Every window opens within the free area of its screen.
    QCoreApplication::instance()->installEventFilter(new ScreenFit(this));
}

AppWindows::~AppWindows()
{
    // Browser pages go before the browser profile, which ends with the
    // application object.
    delete m_search.data();
    delete m_download.data();
    delete m_cover.data();
}

fCover *AppWindows::cover()
{
    if (m_cover)
        return m_cover;
    m_cover = new fCover(m_services);
    connect(m_cover, &fCover::searchWindowRequested, this, &AppWindows::showSearchWindow);
    connect(m_cover, &fCover::closed, this, &AppWindows::endProgram);
    return m_cover;
}

fFileDownload *AppWindows::downloadWindow() const
{
    return m_download && IsWindowOpen(WindowName::FileDownload) ? m_download.data() : nullptr;
}

fFileDownload *AppWindows::openDownloadWindow()
{
    if (fFileDownload *open = downloadWindow())
        return open;
    auto *window = new fFileDownload(m_services);
    m_download = window;
    if (m_cover)
        window->setWindowIcon(m_cover->windowIcon());
    connect(window, &fFileDownload::searchWindowRequested, this, &AppWindows::showSearchWindow);
    connect(
        window, &fFileDownload::optionsRequested, this, [this, window] { execOptions(window); });
    connect(window, &fFileDownload::aboutRequested, this, [this, window] { execAbout(window); });
    connect(window, &fFileDownload::cacheClearRequested, this,
        [this, window] { clearBrowserCache(window); });
    connect(
        window, &fFileDownload::closed, this, [this] { showCoverUnless(WindowName::WebSearch); });
    connect(window, &fFileDownload::saveFolderRequested, this,
        [this, window] { execSaveFolder(window); });
    // The browser profile exists once a browser does: its downloads are
    // watched from then on.
    connect(window, &fFileDownload::loginBrowserMade, this,
        [this] { m_browserDownloads->watch(ProgramProfile::profile()); });
    Q_EMIT downloadWindowOpened(window);
    return window;
}

fFileDownload *AppWindows::showDownloadWindow()
{
    fFileDownload *window = openDownloadWindow();
    bringToFront(window);
    return window;
}

fWebSearch *AppWindows::searchWindow() const
{
    return m_search && IsWindowOpen(WindowName::WebSearch) ? m_search.data() : nullptr;
}

fWebSearch *AppWindows::showSearchWindow()
{
    if (fWebSearch *open = searchWindow()) {
        bringToFront(open);
        return open;
    }
    auto *window = new fWebSearch(m_services, *m_folders, *m_target);
    m_search = window;
    m_browserDownloads->watch(ProgramProfile::profile());
    connect(window, &fWebSearch::downloadWindowRequested, this, &AppWindows::showDownloadWindow);
    connect(window, &fWebSearch::optionsRequested, this, [this, window] { execOptions(window); });
    connect(window, &fWebSearch::aboutRequested, this, [this, window] { execAbout(window); });
    connect(
        window, &fWebSearch::cacheViewRequested, this, [this, window] { execCacheWindow(window); });
    connect(window, &fWebSearch::cacheClearRequested, this,
        [this, window] { clearBrowserCache(window); });
    connect(
        window, &fWebSearch::closed, this, [this] { showCoverUnless(WindowName::FileDownload); });
    Q_EMIT searchWindowOpened(window);
    window->open();
    return window;
}

void AppWindows::showCoverUnless(const QString &otherWindowName)
{
    if (m_ending || IsWindowOpen(otherWindowName))
        return;
    fCover *start = cover();
    start->show();
    start->raise();
}

fOption *AppWindows::newOptionsDialog(QWidget *owner)
{
    auto *dialog = new fOption(m_services, owner);
    // Confirmed values take effect in an open download window at once.
    connect(dialog, &fOption::confirmed, this, [this](int chosenMethod) {
        if (fFileDownload *download = downloadWindow())
            download->session().takeConfirmedOptions(chosenMethod);
    });
    return dialog;
}

bool AppWindows::execOptions(QWidget *owner)
{
    const std::unique_ptr<fOption> dialog(newOptionsDialog(owner));
    return dialog->exec() == QDialog::Accepted;
}

void AppWindows::execSaveFolder(QWidget *owner)
{
    fSeleFileSavePath dialog(m_services, owner);
    dialog.exec();
}

void AppWindows::execAbout(QWidget *owner)
{
    frmAbout dialog(owner);
    dialog.exec();
}

void AppWindows::execCacheWindow(QWidget *owner, QString profileCachePath)
{
    if (profileCachePath.isEmpty())
        profileCachePath = ProgramProfile::cachePath();
    fIEcache window(BrowserCacheLocations::ofProfile(profileCachePath), m_services.dialogs, owner);
    connect(&window, &fIEcache::copyWindowRequested, this,
        [this, &window](const QStringList &files) { execCopyWindow(&window, files); });
    window.exec();
}

void AppWindows::execCopyWindow(QWidget *owner, const QStringList &files)
{
    Form_Copy_Move copyWindow(m_services.dialogs, m_services.paths, owner);
    copyWindow.copyHandedOver(files);
    copyWindow.exec();
}

void AppWindows::clearBrowserCache(QWidget *owner)
{
    ClearBrowserCache(owner, ProgramProfile::cachePath(), m_services.dialogs,
        [] { ProgramProfile::profile()->clearHttpCache(); });
}

void AppWindows::endProgram()
{
    if (m_ending)
        return;
    m_ending = true;
    if (m_download)
        m_download->endWithProgram();
    // The search window keeps its list and placement as a close does.
    if (fWebSearch *search = searchWindow())
        search->endWithProgram();
    // Every other window closes with the program, without its own steps.
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window != m_cover && window != m_download && window->isVisible())
            window->hide();
    }
    Q_EMIT programEnding();
    // Queued, so that a close before the event loop runs still ends it.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}
