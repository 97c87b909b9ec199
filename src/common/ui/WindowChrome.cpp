#include "common/ui/WindowChrome.h"

#include <QMenuBar>

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
