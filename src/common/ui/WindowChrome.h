#pragma once

#include <QAction>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QString>
#include <QStringList>

class QMenuBar;

// The object name of a control is its name in the forms ("Command4").
template<typename Widget> Widget *Named(Widget *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

// Adds menu entries named after their captions; each runs its slot in the
// context of one window, so no entry outlives it.
class MenuEntries
{
public:
    explicit MenuEntries(const QObject *context) : m_context(context) { }
    template<typename Slot>
    QAction *operator()(QMenu *menu, const QString &caption, Slot slot) const
    {
        QAction *action = menu->addAction(caption);
        action->setObjectName(caption);
        QObject::connect(action, &QAction::triggered, m_context, std::move(slot));
        return action;
    }

private:
    const QObject *m_context;
};

// The entry reached from the menu bar by its captions: a menu's title, then
// entry by entry down the submenus; null when one is missing.
QAction *FindMenuEntry(const QMenuBar *bar, const QStringList &captions);
