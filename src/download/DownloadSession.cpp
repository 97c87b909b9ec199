#include "download/DownloadSession.h"

#include "download/DownloadScheduler.h"
#include "download/MultiConnectionTransfer.h"
#include "download/NoticeSounds.h"
#include "download/SingleConnectionTransfer.h"
#include "platform/curl/CurlInternetTransfer.h"

DownloadSession::DownloadSession(Clock &clock, UserDialogs &dialogs, const AppPaths &paths,
    SoundPlayer &player, CookieJar *jar, QObject *parent)
    : QObject(parent), m_sounds(std::make_unique<NoticeSounds>(paths, player)),
      m_inet(std::make_unique<CurlInternetTransfer>(jar)),
      m_single(std::make_unique<SingleConnectionTransfer>(
          m_list, m_options, m_state, *m_inet, clock, dialogs, m_sounds.get())),
      m_multi(std::make_unique<MultiConnectionTransfer>(
          m_list, m_options, m_state, clock, m_sounds.get(), jar)),
      m_scheduler(std::make_unique<DownloadScheduler>(
          m_list, m_options, m_state, clock, *m_single, m_multi.get(), dialogs, m_sounds.get()))
{
    m_inet->setObjectName(QStringLiteral("Inet1"));
    connect(
        m_single.get(), &SingleConnectionTransfer::panelText, this, &DownloadSession::panelText);
    connect(m_multi.get(), &MultiConnectionTransfer::panelText, this, &DownloadSession::panelText);
    connect(m_scheduler.get(), &DownloadScheduler::counterLine, this,
        [this](const QString &line) { Q_EMIT panelText(4, line); });
}

// The scheduler goes first: it refers to both transfers.
DownloadSession::~DownloadSession()
{
    m_scheduler.reset();
    m_multi.reset();
    m_single.reset();
}
