#include "download/DownloadSession.h"

#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "download/DownloadScheduler.h"
#include "download/InputLines.h"
#include "download/MultiConnectionTransfer.h"
#include "download/NoticeSounds.h"
#include "download/SingleConnectionTransfer.h"
#include "platform/UserDialogs.h"
#include "platform/curl/CurlInternetTransfer.h"

DownloadSession::DownloadSession(Clock &clock, UserDialogs &dialogs, const AppPaths &paths,
    SoundPlayer &player, CookieJar *jar, QObject *parent)
    : QObject(parent), m_dialogs(dialogs), m_sounds(std::make_unique<NoticeSounds>(paths, player)),
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
    connect(m_scheduler.get(), &DownloadScheduler::optionsChanged, this, [this] {
        if (m_shared)
            m_shared->DownloadMethod = m_options.method;
        Q_EMIT optionsChanged();
    });
}

// The scheduler goes first: it refers to both transfers.
DownloadSession::~DownloadSession()
{
    m_scheduler.reset();
    m_multi.reset();
    m_single.reset();
}

void DownloadSession::open(AppValues &shared)
{
    m_shared = &shared;
    loadStoredDownloadOptions(m_options);
    shareDownloadOptions(m_options, shared);
    m_scheduler->open();
}

void DownloadSession::takeConfirmedOptions(int chosenMethod)
{
    if (m_shared)
        ::takeConfirmedOptions(m_options, *m_shared, chosenMethod);
    Q_EMIT optionsChanged();
}

bool DownloadSession::startEntryEnabled() const
{
    return !m_scheduler->isRunning() || m_list.检测是否下载列表完毕();
}

void DownloadSession::storeChoices()
{
    WriteSetting(Settings::DuplicateFilePolicy, duplicatePolicyCaption(m_options.policy));
    WriteSetting(Settings::DownloadMethod, QString::number(m_options.method));
}

bool DownloadSession::busy() const
{
    return m_scheduler->downloadsActive() || !m_list.检测是否下载列表完毕();
}

bool DownloadSession::confirmClose()
{
    storeChoices();
    return !busy()
        || m_dialogs.message(QStringLiteral("正在下载文件或者下载没有完成，要强制关闭窗口吗？"),
               UserDialogs::Style::QuestionYesNo)
        == UserDialogs::Answer::Yes;
}

void DownloadSession::end()
{
    m_scheduler->Timer1().stop();
    m_scheduler->stop();
    // The selector shows the connection count: its position is one less.
    WriteSetting(
        Settings::ConnectionCountIndex, QString::number(qBound(1, m_options.connections, 6) - 1));
}

AddedAddresses DownloadSession::addInputText(
    const QString &text, const std::function<QString()> &saveFolder, const QUrl &site)
{
    return addInputLines(ParseInputLines(text), saveFolder, site);
}

AddedAddresses DownloadSession::addInputLines(
    const QList<InputLine> &lines, const std::function<QString()> &saveFolder, const QUrl &site)
{
    AddedAddresses result;
    QList<DownloadItem> rows;
    for (const InputLine &line : lines) {
        DownloadItem row = DownloadItemForInputLine(line, QString(), QString(), site);
        if (IsDownloadAddress(row.Key))
            rows.append(std::move(row));
        else
            ++result.skipped;
    }
    if (rows.isEmpty())
        return result;
    const QString folder = saveFolder ? saveFolder() : QString();
    if (folder.isEmpty()) {
        result.noFolder = true;
        return result;
    }
    for (const DownloadItem &row : std::as_const(rows)) {
        if (!m_list.addItem(row.Key, row.Name, row.Type, folder, row.Referer)) {
            ++result.alreadyListed;
            continue;
        }
        ++result.added;
        if (!row.Doi.isEmpty())
            m_list.update(m_list.size() - 1, [&row](DownloadItem &added) { added.Doi = row.Doi; });
    }
    return result;
}

QString AddedAddresses::message() const
{
    if (skipped == 0 && alreadyListed == 0)
        return {};
    QStringList parts;
    if (added > 0)
        parts << QStringLiteral("已加入%1条下载地址").arg(added);
    if (alreadyListed > 0)
        parts << QStringLiteral("%1条已在列表中").arg(alreadyListed);
    if (skipped > 0)
        parts << QStringLiteral("%1行没有下载地址，已跳过").arg(skipped);
    return parts.join(QStringLiteral("，")) + QStringLiteral("。");
}
