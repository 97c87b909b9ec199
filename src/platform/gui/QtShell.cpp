#include "platform/gui/QtShell.h"

#include "common/ui/TextViewer.h"
#include "platform/gui/DialogOwner.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QUrl>

#ifdef QUILLMOOR_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#endif

namespace {

#ifdef QUILLMOOR_HAVE_DBUS
const QString FileManagerService = QStringLiteral("org.freedesktop.FileManager1");

// A file manager that can select files answers on the session bus, or can be
// started by it.
bool fileManagerOnBus(const QDBusConnection &bus)
{
    QDBusConnectionInterface *busInterface = bus.interface();
    if (!busInterface)
        return false;
    if (busInterface->isServiceRegistered(FileManagerService).value())
        return true;
    const QDBusReply<QStringList> activatable = busInterface->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(FileManagerService);
}
#endif

} // namespace

bool QtShell::openDocument(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtShell::showFileInFolder(const QString &path)
{
    const QFileInfo file(path.trimmed());
    if (!file.exists())
        return false;
#ifdef QUILLMOOR_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && fileManagerOnBus(bus)) {
        QDBusMessage call = QDBusMessage::createMethodCall(FileManagerService,
            QStringLiteral("/org/freedesktop/FileManager1"), FileManagerService,
            QStringLiteral("ShowItems"));
        call << QStringList { QUrl::fromLocalFile(file.absoluteFilePath()).toString() }
             << QString();
        // Answered later, so a slow file manager never holds up the window;
        // when it fails after all, the folder opens instead.
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
        const QString folder = file.absolutePath();
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
            [folder](QDBusPendingCallWatcher *finished) {
                if (finished->isError())
                    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
                finished->deleteLater();
            });
        return true;
    }
#endif
    return openFolder(file.absolutePath());
}

bool QtShell::openFolder(const QString &folder)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool QtShell::openUrl(const QString &address)
{
    const QUrl url = QUrl::fromUserInput(address, QDir::currentPath(), QUrl::AssumeLocalFile);
    return url.isValid() && QDesktopServices::openUrl(url);
}

void QtShell::openTextViewer(const QString &path)
{
    // Owned like a dialog: it stays above its window and goes with it.
    QWidget *owner = m_parent ? m_parent.data() : DialogOwner();
    auto *viewer = new TextViewer(owner, Qt::Window);
    QString error;
    if (!viewer->open(path, &error)) {
        delete viewer;
        QMessageBox::critical(owner, QStringLiteral("Quillmoor"), error);
        return;
    }
    viewer->show();
}

void QtShell::copyToClipboard(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}
