#include "cachetools/BrowserCacheClearing.h"

#include "platform/UserDialogs.h"

#include <QTimer>

BrowserCacheClearing::BrowserCacheClearing(BrowserCacheLocations locations, UserDialogs &dialogs,
    bool showMessage, std::function<void()> clearProfileCache, QObject *parent)
    : QObject(parent), m_tool(std::move(locations)), m_dialogs(dialogs), m_showMessage(showMessage),
      m_clearProfileCache(std::move(clearProfileCache))
{
    connect(&m_tool, &BrowserCacheTool::progress, this, &BrowserCacheClearing::progress);
    // Each step goes on from the event loop, not from inside the tool's signal.
    connect(&m_tool, &BrowserCacheTool::deleteFinished, this,
        [this] { QTimer::singleShot(0, this, &BrowserCacheClearing::next); });
}

void BrowserCacheClearing::start()
{
    if (isRunning())
        return;
    if (m_clearProfileCache)
        m_clearProfileCache();
    m_step = Step::MyCache;
    m_tool.listMyCache();
    m_tool.deleteAll();
}

void BrowserCacheClearing::next()
{
    if (m_step == Step::MyCache) {
        m_step = Step::AllCaches;
        m_tool.listAllCaches();
        m_tool.deleteAll();
    } else if (m_step == Step::AllCaches) {
        end();
    }
}

void BrowserCacheClearing::end()
{
    m_step = Step::Idle;
    // A receiver of finished may let this object go: nothing of it is used
    // after the signal.
    UserDialogs &dialogs = m_dialogs;
    const bool showMessage = m_showMessage;
    Q_EMIT finished();
    if (showMessage)
        dialogs.message(QStringLiteral("IE缓存清空完毕！"), UserDialogs::Style::Information);
}
