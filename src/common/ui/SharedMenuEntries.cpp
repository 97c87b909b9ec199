#include "common/ui/SharedMenuEntries.h"

#include "common/AppValues.h"
#include "platform/Shell.h"

#include <QAction>
#include <QMenu>

SharedMenuEntries::SharedMenuEntries(const AppValues &values, Shell &shell, QObject *parent)
    : QObject(parent), m_values(values), m_shell(shell)
{ }

QAction *SharedMenuEntries::add(QMenu *menu, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(caption);
    return action;
}

QAction *SharedMenuEntries::addOptions(QMenu *menu)
{
    QAction *action = add(menu, QStringLiteral("设置"));
    connect(action, &QAction::triggered, this, &SharedMenuEntries::optionsRequested);
    return action;
}

QAction *SharedMenuEntries::addAbout(QMenu *menu, const QString &caption)
{
    QAction *action = add(menu, caption);
    connect(action, &QAction::triggered, this, &SharedMenuEntries::aboutRequested);
    return action;
}

QAction *SharedMenuEntries::addViewCache(QMenu *menu)
{
    QAction *action = add(menu, QStringLiteral("查看IE浏览器缓存"));
    connect(action, &QAction::triggered, this, &SharedMenuEntries::cacheViewRequested);
    return action;
}

QAction *SharedMenuEntries::addClearCache(QMenu *menu)
{
    QAction *action = add(menu, QStringLiteral("清空IE浏览器缓存"));
    connect(action, &QAction::triggered, this, &SharedMenuEntries::cacheClearRequested);
    return action;
}

QList<QAction *> SharedMenuEntries::addMakerPages(QMenu *menu, MakerPages pages)
{
    const QString site = m_values.SiteAddress;
    QList<QPair<QString, QString>> targets = {
        { QStringLiteral("软件网站"), site },
        { QStringLiteral("最新版本"), m_values.programPageUrl() },
    };
    if (pages == MakerPages::WithGuides) {
        targets.append({ QStringLiteral("使用教程"), site + QStringLiteral("quillmoor/help/") });
        targets.append(
            { QStringLiteral("意见建议"), site + QStringLiteral("quillmoor/feedback/") });
    }
    QList<QAction *> entries { menu->addSeparator() };
    for (const auto &[caption, address] : std::as_const(targets)) {
        QAction *action = add(menu, caption);
        const QString target = address;
        connect(action, &QAction::triggered, this, [this, target] {
            if (!target.isEmpty())
                m_shell.openUrl(target);
        });
        entries.append(action);
    }
    for (QAction *entry : std::as_const(entries))
        entry->setVisible(!site.isEmpty());
    return entries;
}
