#include "download/MultiConnectionTransfer.h"

#include "common/FileNameHelpers.h"
#include "download/DownloadList.h"
#include "download/DownloadOptions.h"
#include "download/DownloadRetries.h"
#include "download/DownloadWindowState.h"
#include "download/Downloader.h"
#include "download/FinishedDownload.h"
#include "download/ListOperations.h"
#include "download/NoticeSounds.h"
#include "platform/Clock.h"

#include <QTimer>

MultiConnectionTransfer::MultiConnectionTransfer(DownloadList &list, const DownloadOptions &options,
    DownloadWindowState &state, Clock &clock, NoticeSounds *sounds, CookieJar *jar, QObject *parent)
    : QObject(parent), m_list(list), m_options(options), m_state(state), m_clock(clock),
      m_sounds(sounds), m_jar(jar)
{ }

MultiConnectionTransfer::~MultiConnectionTransfer()
{
    for (int k = 1; k <= MaxSlots; ++k)
        delete m_slots[k].downloader.data();
}

bool MultiConnectionTransfer::inUse(int slot) const
{
    return slot >= 1 && slot <= MaxSlots && !m_slots[slot].downloader.isNull();
}

int MultiConnectionTransfer::rowOf(int slot) const
{
    return slot >= 1 && slot <= MaxSlots ? rowIndex(slot) : -1;
}

double MultiConnectionTransfer::startedAt(int slot) const
{
    return slot >= 1 && slot <= MaxSlots ? m_slots[slot].started : 0.0;
}

int MultiConnectionTransfer::instanceCount() const
{
    int count = 0;
    for (int k = 1; k <= MaxSlots; ++k)
        count += inUse(k) ? 1 : 0;
    return count;
}

Downloader *MultiConnectionTransfer::downloader(int slot) const
{
    return inUse(slot) ? m_slots[slot].downloader.data() : nullptr;
}

// The row recorded for the slot; found again by its Id if rows moved or its
// key changed.
int MultiConnectionTransfer::rowIndex(int slot) const
{
    const Slot &s = m_slots[slot];
    if (s.row >= 0 && s.row < m_list.size() && m_list.at(s.row).Id == s.id)
        return s.row;
    return s.id == 0 ? -1 : m_list.rowOfId(s.id);
}

void MultiConnectionTransfer::多线程下载(int slot, int row, const QString &url, const QString &path)
{
    if (slot < 1 || slot > MaxSlots || row < 0 || row >= m_list.size())
        return;
    closeSlot(slot);
    auto *downloader = new Downloader(m_clock, m_jar, this);
    downloader->setObjectName(QStringLiteral("Downloader1_%1").arg(slot));
    Slot &s = m_slots[slot];
    s.downloader = downloader;
    s.row = row;
    s.id = m_list.at(row).Id;
    s.url = url;
    s.path = path;
    m_state.TransferBusy = true;
    m_list.update(row, [](DownloadItem &item) { item.startDownloading(); });
    if (m_options.scrollToRow)
        Q_EMIT scrollToRow(row);
    s.started = m_clock.nowSeconds();

    connect(downloader, &Downloader::DownloadProgress, this,
        [this, slot](qint64 cur, qint64 max, const QString &) { onProgress(slot, cur, max); });
    connect(downloader, &Downloader::DownloadError, this,
        [this, slot](const QString &) { onError(slot); });
    connect(downloader, &Downloader::DownloadComplete, this,
        [this, slot](qint64 max, const QString &) { onComplete(slot, max); });
    downloader->BeginDownload(url, path, m_list.at(row).Referer);
}

void MultiConnectionTransfer::release(int slot)
{
    Slot &s = m_slots[slot];
    if (Downloader *downloader = s.downloader.data()) {
        downloader->disconnect(this);
        downloader->CancelAsyncRead();
        // It may be the sender of the signal being handled.
        downloader->deleteLater();
    }
    s.downloader.clear();
}

void MultiConnectionTransfer::closeSlot(int slot)
{
    if (slot >= 1 && slot <= MaxSlots)
        release(slot);
}

void MultiConnectionTransfer::closeAll()
{
    for (int k = 1; k <= MaxSlots; ++k)
        release(k);
}

void MultiConnectionTransfer::onProgress(int slot, qint64 current, qint64 max)
{
    const int row = rowIndex(slot);
    if (row < 0 || max <= 0 || max < current)
        return;
    m_list.update(row, [&](DownloadItem &item) {
        item.Size = QString::number(max);
        item.Received = QString::number(current);
        item.Percent = QString::number(current * 100 / max) + QLatin1Char('%');
    });
}

void MultiConnectionTransfer::onError(int slot)
{
    const int row = rowIndex(slot);
    const Downloader *downloader = m_slots[slot].downloader.data();
    const QString reason = downloader ? downloader->failureReason() : QString();
    const bool webPage = downloader && downloader->failedWithWebPage();
    const ErrorAnswer answer = downloader ? downloader->failedAnswer() : ErrorAnswer();
    const QString url = m_slots[slot].url;
    release(slot);
    RetryStep step;
    if (row >= 0)
        m_list.update(
            row, [&](DownloadItem &item) { step = TakeErrorAnswer(item, url, answer, m_clock); });
    if (step.kind != RetryStep::NotRetried) {
        // A busy server is asked again later, or given up on; its page is no
        // login page.
        Q_EMIT retryNotice(WithoutCredentials(url), step.text);
    } else if (row >= 0) {
        m_list.update(row, [&](DownloadItem &item) {
            item.StatusCode = Status::Failed;
            item.FailureReason = reason;
            // The server answered with an error: nothing was kept.
            if (reason.startsWith(QStringLiteral("HTTP ")))
                item.Size = StatusText::DownloadFailed;
        });
        // A login page sent with an error status still calls for a login.
        if (webPage) {
            if (m_options.sound && m_sounds)
                m_sounds->PlayTransferEndSounds(true, true);
            runAutoLogin();
        }
    }
    Q_EMIT connectionEnded(slot);
}

void MultiConnectionTransfer::runAutoLogin()
{
    // The login may open windows; it runs once the transfer's own callbacks
    // (possibly inside libcurl) have returned.
    if (m_options.autoLogin && m_autoLogin)
        QTimer::singleShot(0, this, [this] {
            if (m_autoLogin)
                m_autoLogin();
        });
}

void MultiConnectionTransfer::onComplete(int slot, qint64)
{
    const int row = rowIndex(slot);
    Downloader *downloader = m_slots[slot].downloader.data();
    BodyFile *body = downloader ? downloader->finishedBody() : nullptr;
    bool placed = false;
    QString error;
    if (row >= 0 && body) {
        // Every check on the body has passed; its type is settled from its
        // bytes as it gets its name.
        DownloadItem item = m_list.at(row);
        placed = PlaceFinishedDownload(*body, item, m_slots[slot].path, m_options.policy, &error);
        m_list.update(row, [&](DownloadItem &it) {
            it.Name = item.Name;
            it.Type = item.Type;
            it.ReplaceableFile = item.ReplaceableFile;
        });
    }
    release(slot);
    if (row >= 0) {
        m_list.update(row, [](DownloadItem &item) { item.forgetRetries(); });
        // A file whose last progress was not 100 % is kept but not trusted as
        // whole.
        m_list.update(row, [&](DownloadItem &item) {
            const bool whole = item.Percent == QStringLiteral("100%");
            item.StatusCode = placed && whole ? Status::Completed : Status::Failed;
            if (!placed) {
                item.FailureReason = error.isEmpty() ? QStringLiteral("not saved") : error;
            } else if (!whole) {
                item.FailureReason = QStringLiteral("received ") + item.Received
                    + QStringLiteral(" of ") + item.Size + QStringLiteral(" bytes");
                // The file is the row's own, though not trusted as whole: a
                // retry may replace it.
                item.ReplaceableFile = item.savedFilePath();
            }
        });
        const DownloadItem &item = m_list.at(row);
        Q_EMIT panelText(2, QStringLiteral("完成下载:") + item.Name);
        const bool webPage = isWebPageType(item.Type, false);
        if (m_options.sound && m_sounds)
            m_sounds->PlayTransferEndSounds(webPage, item.StatusCode == Status::Failed);
        if (webPage)
            runAutoLogin();
    }
    m_state.LastTransferEnd = m_clock.nowSeconds();
    Q_EMIT connectionEnded(slot);
}
