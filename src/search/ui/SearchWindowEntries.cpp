#include "search/ui/SearchWindowEntries.h"

#include "app/ui/AppWindows.h"
#include "app/ui/OpenWindows.h"
#include "app/ui/fCover.h"
#include "common/WindowNames.h"
#include "common/ui/WindowPlacement.h"
#include "download/ui/fFileDownload.h"
#include "search/ui/fWebSearch.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>

namespace {

void addWindowMenuEntry(AppWindows &windows, fFileDownload *download)
{
    QMenu *menu = download->windowMenu();
    const QString caption = QStringLiteral("资料检索分析窗口");
    QAction *entry = menu->addAction(caption);
    entry->setObjectName(caption);
    QObject::connect(
        entry, &QAction::triggered, download, [&windows] { ShowSearchWindow(windows); });
    menu->menuAction()->setVisible(true);
}

} // namespace

fWebSearch *ShowSearchWindow(AppWindows &windows)
{
    if (auto *open = qobject_cast<fWebSearch *>(FindOpenWindow(WindowName::WebSearch))) {
        open->show();
        open->raise();
        open->activateWindow();
        return open;
    }
    auto *window = new fWebSearch(windows);
    window->open();
    return window;
}

void InstallSearchWindowEntries(AppWindows &windows)
{
    fCover *cover = windows.cover();
    auto *button = new QPushButton(QStringLiteral("资料检索下载"), cover);
    button->setObjectName(QStringLiteral("Command1"));
    button->setDefault(true);
    cover->buttonRow()->insertWidget(0, button);
    QObject::connect(button, &QPushButton::clicked, cover, [&windows, cover] {
        cover->hide();
        ShowSearchWindow(windows);
    });
    if (fFileDownload *open = windows.downloadWindow())
        addWindowMenuEntry(windows, open);
    QObject::connect(&windows, &AppWindows::downloadWindowOpened, &windows,
        [&windows](fFileDownload *window) { addWindowMenuEntry(windows, window); });
    // Leaving through the start-up window keeps the placement as a close does.
    QObject::connect(&windows, &AppWindows::programEnding, &windows, [] {
        if (QWidget *open = FindOpenWindow(WindowName::WebSearch))
            SaveWindowPlacement(open);
    });
}

void CloseSearchWindows()
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (qobject_cast<fWebSearch *>(window))
            delete window;
    }
}
