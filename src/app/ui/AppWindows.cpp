#include "app/ui/AppWindows.h"

#include "app/ui/OpenWindows.h"
#include "app/ui/fCover.h"
#include "app/ui/frmAbout.h"
#include "common/WindowNames.h"
#include "common/ui/WindowPlacement.h"
#include "download/ui/fFileDownload.h"
#include "download/ui/fOption.h"
#include "download/ui/fSeleFileSavePath.h"

#include <QApplication>
#include <QGuiApplication>

AppWindows::AppWindows(AppServices services, QObject *parent)
    : QObject(parent), m_services(services)
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
    delete m_download.data();
    delete m_cover.data();
}

fCover *AppWindows::cover()
{
    if (!m_cover)
        m_cover = new fCover(*this);
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
    m_download = new fFileDownload(*this);
    Q_EMIT downloadWindowOpened(m_download);
    return m_download;
}

fFileDownload *AppWindows::showDownloadWindow()
{
    fFileDownload *window = openDownloadWindow();
    window->show();
    window->raise();
    window->activateWindow();
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

bool AppWindows::execOptions(QWidget *owner)
{
    fOption dialog(*this, owner);
    return dialog.exec() == QDialog::Accepted;
}

void AppWindows::execSaveFolder(QWidget *owner)
{
    fSeleFileSavePath dialog(*this, owner);
    dialog.exec();
}

void AppWindows::execAbout(QWidget *owner)
{
    frmAbout dialog(owner);
    dialog.exec();
}

void AppWindows::endProgram()
{
    if (m_ending)
        return;
    m_ending = true;
    if (m_download)
        m_download->endWithProgram();
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
