#include "download/DownloadScheduler.h"

#include "common/FileNameHelpers.h"
#include "download/DownloadList.h"
#include "download/DownloadOptions.h"
#include "download/ListOperations.h"
#include "download/MultiConnectionTransfer.h"
#include "download/NoticeSounds.h"
#include "download/SavedFileNaming.h"
#include "download/SingleConnectionTransfer.h"
#include "platform/Clock.h"

#include <cmath>

namespace {
constexpr double kHangingSeconds = 1200.0;
}

DownloadScheduler::DownloadScheduler(DownloadList &list, DownloadOptions &options,
    DownloadWindowState &state, Clock &clock, SingleConnectionTransfer &single,
    MultiConnectionTransfer *multi, UserDialogs &dialogs, NoticeSounds *sounds, QObject *parent)
    : QObject(parent), m_list(list), m_options(options), m_clock(clock), m_single(single),
      m_multi(multi), m_dialogs(dialogs), m_sounds(sounds), m_state(state)
{
    m_timerDown.setObjectName(QStringLiteral("Timer_Down"));
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timerDown.setInterval(1000);
    m_timer1.setInterval(1000);
    connect(&m_timerDown, &QTimer::timeout, this, &DownloadScheduler::schedulingPass);
    connect(&m_timer1, &QTimer::timeout, this, &DownloadScheduler::watchPass);
    connect(&m_single, &SingleConnectionTransfer::transferEnded, this,
        &DownloadScheduler::afterTransfer);
    if (m_multi) {
        connect(m_multi, &MultiConnectionTransfer::connectionEnded, this,
            &DownloadScheduler::afterTransfer);
        connect(
            m_multi, &MultiConnectionTransfer::scrollToRow, this, &DownloadScheduler::scrollToRow);
    }
}

void DownloadScheduler::open()
{
    m_state.LastTransferEnd = m_clock.nowSeconds();
    m_timer1.start();
}

void DownloadScheduler::setRunning(bool on)
{
    if (on == m_timerDown.isActive())
        return;
    if (on)
        m_timerDown.start();
    else
        m_timerDown.stop();
    Q_EMIT runningChanged(on);
}

void DownloadScheduler::start()
{
    setRunning(true);
}

void DownloadScheduler::stop()
{
    m_options.autoStart = false;
    m_options.autoRedownload = false;
    Q_EMIT optionsChanged();
    setRunning(false);
    m_state.TransferBusy = false;
    // A receiving single-connection transfer ends as "下载取消".
    m_single.stopByUser();
    if (m_multi)
        m_multi->closeAll();
    for (int row = 0; row < m_list.size(); ++row) {
        if (m_list.at(row).StatusCode == Status::Downloading)
            m_list.update(row, [](DownloadItem &item) {
                item.StatusCode = Status::Failed;
                item.FailureReason = QStringLiteral("stopped");
            });
    }
    m_state.TransferBusy = false;
}

void DownloadScheduler::switchMethod()
{
    m_options.method = m_options.method == 2 ? 1 : 2;
    m_options.connections = 1;
    Q_EMIT optionsChanged();
}

bool DownloadScheduler::downloadsActive() const
{
    return m_timerDown.isActive() || m_single.stillExecuting() || m_single.isRunning()
        || (m_multi && m_multi->instanceCount() > 0);
}

bool DownloadScheduler::intervalAllows() const
{
    return std::abs(m_state.LastTransferEnd - m_clock.nowSeconds())
        > double(m_options.intervalSeconds);
}

int DownloadScheduler::takeNextRow(bool createFolders)
{
    // The list's index of waiting rows gives the same rows, in the same order,
    // as a walk from the top, without passing the others.
    // A row the server asked to come back to later is passed over until its
    // time has come; the timer's next tick looks again.
    const double now = m_clock.nowSeconds();
    for (int row = m_list.nextWaitingRow(0); row >= 0; row = m_list.nextWaitingRow(row + 1)) {
        if (m_list.at(row).NotBefore > now)
            continue;
        QString folder = m_list.at(row).Folder;
        if (createFolders) {
            QString error;
            folder = CreateFolderPath(folder, m_dialogs, &error);
            if (folder.isEmpty()) {
                // The row fails rather than saving somewhere the user never
                // chose; its folder stays as given.
                m_list.update(row, [&](DownloadItem &item) {
                    item.StatusCode = Status::Failed;
                    item.FailureReason = error;
                    item.Size = StatusText::DownloadFailed;
                });
                continue;
            }
        }
        bool needed = true;
        m_list.update(row, [&](DownloadItem &item) {
            item.Name = CleanFileName(item.Name);
            if (!folder.endsWith(QLatin1Char('/')))
                folder += QLatin1Char('/');
            item.Folder = folder;
            needed = 确定是需要下载(item, m_options);
        });
        if (needed)
            return row;
    }
    return -1;
}

void DownloadScheduler::schedulingPass()
{
    m_passQueued = false;
    if (m_list.size() == 0) {
        setRunning(false);
        return;
    }
    if (!intervalAllows())
        return;

    if (m_options.method == 1) {
        if (m_state.TransferBusy || m_single.isRunning())
            return;
        const int row = takeNextRow(false);
        if (row < 0)
            return;
        m_list.update(row, [](DownloadItem &item) { item.startDownloading(); });
        if (m_options.scrollToRow)
            Q_EMIT scrollToRow(row);
        m_single.Inet下载当前文件(row);
        return;
    }

    if (!m_multi)
        return;
    const int slots = qBound(1, m_options.connections, MultiConnectionTransfer::MaxSlots);
    for (int k = 1; k <= slots; ++k) {
        if (m_multi->inUse(k))
            continue;
        const int row = takeNextRow(true);
        if (row < 0)
            continue;
        QString newName;
        const DownloadItem &item = m_list.at(row);
        const QString path = 重命名保存路径(
            item.Folder, item.Name, item.Type, m_options, &newName, item.ReplaceableFile);
        m_list.update(row, [&](DownloadItem &it) {
            it.StatusCode = Status::Downloading;
            it.Name = newName;
        });
        m_multi->多线程下载(k, row, DownloadList::选择url(m_list.at(row).Key), path);
    }
}

void DownloadScheduler::watchPass()
{
    // 1-2: finished list, start entry and indicator.
    if (m_list.检测是否下载列表完毕()) {
        m_startEntryEnabled = true;
        if (m_timerDown.isActive()) {
            setRunning(false);
            if (m_options.sound && m_sounds)
                m_sounds->PlayNoticeSound(102);
        }
    } else {
        m_startEntryEnabled = !m_timerDown.isActive();
    }
    m_indicatorVisible = m_timerDown.isActive();

    // 3: connections that delivered no size in 20 minutes are closed.
    const int slots = qBound(1, m_options.connections, MultiConnectionTransfer::MaxSlots);
    if (m_multi) {
        const double now = m_clock.nowSeconds();
        for (int k = 1; k <= slots; ++k) {
            if (!m_multi->inUse(k) || std::abs(now - m_multi->startedAt(k)) < kHangingSeconds)
                continue;
            const int row = m_multi->rowOf(k);
            if (row < 0 || row >= m_list.size() || !m_list.at(row).Size.isEmpty())
                continue;
            m_multi->closeSlot(k);
            m_list.update(row, [](DownloadItem &item) {
                item.StatusCode = Status::Failed;
                item.FailureReason = QStringLiteral("no size in 1200 s");
            });
        }
    }

    // 4: busy flag.
    if (m_options.method == 1) {
        if (!m_single.stillExecuting() && !m_single.isRunning() && !m_timerDown.isActive())
            m_state.TransferBusy = false;
    } else {
        bool any = false;
        for (int k = 1; m_multi && k <= slots; ++k)
            any = any || m_multi->inUse(k);
        m_state.TransferBusy = any;
        if (!m_timerDown.isActive())
            m_state.TransferBusy = false;
    }

    // 5: counters.
    Q_EMIT counterLine(m_list.ShowListCounters());

    // 6: auto-start.
    if (m_options.autoStart && m_list.统计未下载项数目() >= 1)
        setRunning(true);

    // 7: automatic re-download.
    if (m_options.autoRedownload && !m_timerDown.isActive()) {
        switch (m_options.autoRedownloadKind) {
        case AutoRedownload::FailedRows:
            RequeueFailedRows(m_list);
            break;
        case AutoRedownload::WebPageRows:
            RequeueWebPageRows(m_list);
            break;
        case AutoRedownload::FailedThenWebPageRows:
            RequeueFailedRows(m_list);
            RequeueWebPageRows(m_list);
            break;
        }
        setRunning(true);
    }

    // 8: stop after repeated failures.
    if (m_options.stopOnFailures && m_list.CountProblemRows() >= 5 && m_timerDown.isActive()) {
        setRunning(false);
        if (m_options.sound && m_sounds)
            m_sounds->PlayNoticeSound(102);
    }

    if (!m_timerDown.isActive() && m_list.检测是否下载列表完毕() && !downloadsActive())
        Q_EMIT listFinished();
}

// A free slot need not wait for the next tick: one more pass runs at once
// (the interval rule still applies).
void DownloadScheduler::afterTransfer()
{
    if (!m_timerDown.isActive() || m_passQueued)
        return;
    m_passQueued = true;
    QTimer::singleShot(0, this, [this] {
        if (m_passQueued && m_timerDown.isActive())
            schedulingPass();
        m_passQueued = false;
    });
}
