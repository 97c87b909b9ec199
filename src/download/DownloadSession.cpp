#include "download/DownloadSession.h"

#include "common/AppValues.h"
#include "common/DownloadPart.h"
#include "common/SettingsStore.h"
#include "download/DownloadScheduler.h"
#include "download/InputLines.h"
#include "download/MultiConnectionTransfer.h"
#include "download/NoticeSounds.h"
#include "download/SingleConnectionTransfer.h"
#include "platform/AppPaths.h"
#include "platform/UserDialogs.h"
#include "platform/curl/CurlInternetTransfer.h"

#include <QSet>

#include <utility>

DownloadSession::DownloadSession(Clock &clock, UserDialogs &dialogs, const AppPaths &paths,
    SoundPlayer &player, CookieJar *jar, QObject *parent)
    : QObject(parent), m_clock(clock), m_dialogs(dialogs),
      m_sounds(std::make_unique<NoticeSounds>(paths, player)),
      m_inet(std::make_unique<CurlInternetTransfer>(jar)),
      m_single(std::make_unique<SingleConnectionTransfer>(
          m_list, m_options, m_state, *m_inet, clock, dialogs, m_sounds.get())),
      m_multi(std::make_unique<MultiConnectionTransfer>(
          m_list, m_options, m_state, clock, m_sounds.get(), jar)),
      m_scheduler(std::make_unique<DownloadScheduler>(
          m_list, m_options, m_state, clock, *m_single, m_multi.get(), dialogs, m_sounds.get())),
      m_store(paths.dataFolder()), m_rate(m_list, clock)
{
    m_inet->setObjectName(QStringLiteral("Inet1"));
    connect(
        m_single.get(), &SingleConnectionTransfer::panelText, this, &DownloadSession::panelText);
    connect(m_multi.get(), &MultiConnectionTransfer::panelText, this, &DownloadSession::panelText);
    connect(m_single.get(), &SingleConnectionTransfer::retryNotice, this,
        &DownloadSession::retryNotice);
    connect(
        m_multi.get(), &MultiConnectionTransfer::retryNotice, this, &DownloadSession::retryNotice);
    connect(m_scheduler.get(), &DownloadScheduler::counterLine, this,
        [this](const QString &line) { Q_EMIT panelText(4, line); });
    connect(m_scheduler.get(), &DownloadScheduler::optionsChanged, this, [this] {
        if (m_shared)
            m_shared->DownloadMethod = m_options.method;
        Q_EMIT optionsChanged();
    });

    // Twice a second at most, and only while something is downloaded.
    m_rateTimer.setInterval(500);
    connect(&m_rateTimer, &QTimer::timeout, this, &DownloadSession::showTransferRate);
    connect(m_scheduler.get(), &DownloadScheduler::runningChanged, this, [this](bool running) {
        if (running)
            watchTransferRate();
    });
    // A single row started without the scheduler shows its progress as a
    // change of its row.
    connect(&m_list, &QAbstractItemModel::dataChanged, this, [this] {
        if (!m_rateTimer.isActive() && m_scheduler->downloadsActive())
            watchTransferRate();
    });
}

// The scheduler goes first: it refers to both transfers.
DownloadSession::~DownloadSession()
{
    disconnect(&m_list, nullptr, this, nullptr);
    m_rateTimer.stop();
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
    QSet<QString> folders;
    if (!shared.SaveFolder.isEmpty())
        folders.insert(shared.SaveFolder);
    for (int row = 0; row < m_list.size(); ++row)
        folders.insert(m_list.at(row).Folder);
    for (const QString &folder : std::as_const(folders))
        RemoveStaleParts(folder, m_clock);
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
    m_rateTimer.stop();
    m_scheduler->Timer1().stop();
    m_scheduler->stop();
    // The selector shows the connection count: its position is one less.
    WriteSetting(
        Settings::ConnectionCountIndex, QString::number(qBound(1, m_options.connections, 6) - 1));
}

bool DownloadSession::keepListForNextTime(QString *error)
{
    const bool unfinished = DownloadListStore::hasUnfinishedRows(m_list);
    if (!m_savedListSettled && m_store.exists()) {
        // Never offered back: nothing of it may be lost.
        if (!unfinished)
            return true;
        if (m_store.saveAfterSaved(m_list, error))
            return true;
        // An unreadable saved list cannot be offered back anyway; this
        // list is kept instead.
    }
    if (unfinished)
        return m_store.save(m_list, error);
    // Finished: a list restored earlier is done with.
    return m_store.discard(error);
}

QString DownloadSession::savedListQuestion(QString *error)
{
    if (std::exchange(m_savedListSettled, true) || !m_store.exists())
        return {};
    const std::optional<qsizetype> rows = m_store.unfinishedRowCount(error);
    if (!rows)
        return {};
    if (*rows == 0) {
        m_store.discard();
        return {};
    }
    return DownloadListStore::restoreQuestion(*rows);
}

bool DownloadSession::answerSavedList(bool restore, QString *error)
{
    m_savedListSettled = true;
    if (!restore)
        return m_store.discard(error);
    return m_store.restore(m_list, error).has_value();
}

void DownloadSession::watchTransferRate()
{
    if (m_rateTimer.isActive())
        return;
    m_rate.reset();
    m_rate.sample();
    m_rateTimer.start();
}

void DownloadSession::showTransferRate()
{
    if (!m_scheduler->isRunning() && !m_scheduler->downloadsActive()) {
        m_rateTimer.stop();
        m_rate.reset();
        Q_EMIT panelText(5, QString());
        Q_EMIT panelText(6, QString());
        return;
    }
    m_rate.sample();
    Q_EMIT panelText(5, m_rate.speedText());
    Q_EMIT panelText(6, m_rate.timeLeftText());
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
