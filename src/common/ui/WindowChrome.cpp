#include "common/ui/WindowChrome.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

QAction *FindMenuEntry(const QMenuBar *bar, const QStringList &captions)
{
    QList<QAction *> level = bar->actions();
    QAction *found = nullptr;
    for (const QString &caption : captions) {
        found = nullptr;
        for (QAction *action : std::as_const(level)) {
            const QString text = action->menu() ? action->menu()->title() : action->text();
            if (text == caption) {
                found = action;
                break;
            }
        }
        if (!found)
            return nullptr;
        level = found->menu() ? found->menu()->actions() : QList<QAction *>();
    }
    return found;
}

QList<QLabel *> AddStatusPanels(QMainWindow *window, const QList<int> &stretches)
{
    auto *bar = Named(new QStatusBar(window), QStringLiteral("StatusBar1"));
    QList<QLabel *> panels;
    for (int stretch : stretches) {
        auto *label = Named(new QLabel(bar), QStringLiteral("Panel%1").arg(panels.size() + 1));
        label->setFrameShape(QFrame::StyledPanel);
        bar->addWidget(label, stretch);
        panels.append(label);
    }
    window->setStatusBar(bar);
    return panels;
}
