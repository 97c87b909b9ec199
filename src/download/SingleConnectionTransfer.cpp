#include "download/SingleConnectionTransfer.h"

#include "common/AppValues.h"
#include "common/FileNameHelpers.h"
#include "common/MimeTypes.h"
#include "common/RetryWait.h"
#include "common/SafeFiles.h"
#include "common/TextMode.h"
#include "download/DownloadList.h"
#include "download/DownloadOptions.h"
#include "download/DownloadRetries.h"
#include "download/DownloadWindowState.h"
#include "download/FinishedDownload.h"
#include "download/ListOperations.h"
#include "download/NoticeSounds.h"
#include "download/SavedFileNaming.h"
#include "platform/Clock.h"
#include "platform/curl/CurlInternetTransfer.h"
#include "platform/curl/LibcurlSafeDialogs.h"

#include <QFileInfo>

#include <cmath>
#include <limits>

namespace {
constexpr double kHeaderWaitSeconds = 30.0;
constexpr double kStallSeconds = 120.0;
constexpr int kChunkBytes = 2048;

qint64 numberOrZero(const QString &text)
{
    bool ok = false;
    const qint64 value = TrimSpaces(text).toLongLong(&ok);
    return ok && value > 0 ? value : 0;
}
} // namespace

SingleConnectionTransfer::SingleConnectionTransfer(DownloadList &list,
    const DownloadOptions &options, DownloadWindowState &state, CurlInternetTransfer &inet,
    Clock &clock, UserDialogs &dialogs, NoticeSounds *sounds, QObject *parent)
    : QObject(parent), m_list(list), m_options(options), m_state(state), m_inet(inet),
      m_clock(clock), m_safeDialogs(dialogs), m_sounds(sounds)
{
    m_watchdog.setInterval(1000);
    connect(&m_watchdog, &QTimer::timeout, this, &SingleConnectionTransfer::checkTimeouts);
    // The component signals from inside libcurl's callbacks. Nothing here may
    // open a modal window then: messages go through dialogs that show them
    // once libcurl has returned, and the closing step's hooks run later too.
    connect(&m_inet, &CurlInternetTransfer::headersReceived, this,
        &SingleConnectionTransfer::onHeaders);
    connect(
        &m_inet, &CurlInternetTransfer::readyRead, this, &SingleConnectionTransfer::onReadyRead);
    connect(&m_inet, &CurlInternetTransfer::finished, this, &SingleConnectionTransfer::onFinished);
    connect(&m_inet, &CurlInternetTransfer::wholeBodyReady, this,
        &SingleConnectionTransfer::onWholeBody);
    connect(&m_inet, &CurlInternetTransfer::stateChanged, this,
        &SingleConnectionTransfer::onStateChanged);
}

SingleConnectionTransfer::~SingleConnectionTransfer()
{
    if (m_phase != Phase::Idle)
        m_inet.cancel();
    discardTemp();
}

bool SingleConnectionTransfer::stillExecuting() const
{
    return m_inet.stillExecuting();
}

QString SingleConnectionTransfer::refererHeader(const QString &referer, const QString &url)
{
    // A user and password in an address go to its own host only.
    const QString value = WithoutCredentials(referer.isEmpty() ? SiteRootOfUrl(url) : referer);
    return QStringLiteral("Referer: ") + value + QStringLiteral("\r\n");
}

bool SingleConnectionTransfer::aboveSizeLimit(qint64 bytes, double maxFileSizeMB)
{
    // Compared in whole bytes: exactly the limit passes, one byte more does
    // not, whatever the size of the limit.
    return bytes > maxFileSizeBytes(maxFileSizeMB);
}

QString SingleConnectionTransfer::percentText(qint64 received, qint64 size)
{
    if (size <= 0)
        return {};
    return QString::number(received * 100 / size) + QLatin1Char('%');
}

int SingleConnectionTransfer::currentRow() const
{
    if (m_row >= 0 && m_row < m_list.size() && m_list.at(m_row).Id == m_id)
        return m_row;
    return m_list.rowOfId(m_id);
}

const DownloadItem *SingleConnectionTransfer::row() const
{
    const int r = currentRow();
    return r < 0 ? nullptr : &m_list.at(r);
}

void SingleConnectionTransfer::editRow(const std::function<void(DownloadItem &)> &change)
{
    const int r = currentRow();
    if (r >= 0)
        m_list.update(r, change);
}

void SingleConnectionTransfer::Inet下载当前文件(int rowIndex)
{
    if (rowIndex < 0 || rowIndex >= m_list.size())
        return;
    if (m_inet.stillExecuting() || m_state.TransferBusy || m_phase != Phase::Idle) {
        m_list.update(rowIndex, [](DownloadItem &item) {
            item.StatusCode = Status::Waiting;
            item.FailureReason.clear();
            item.Size = StatusText::WaitingAgain;
        });
        return;
    }
    m_state.TransferBusy = true;

    m_row = rowIndex;
    m_id = m_list.at(rowIndex).Id;
    m_url = DownloadList::选择url(m_list.at(rowIndex).Key);
    m_referer = m_list.at(rowIndex).Referer;
    m_lastProgress = m_clock.nowSeconds();
    m_announced = 0;
    m_written = 0;
    m_targetPath.clear();
    m_responseType.clear();
    m_resumed = false;

    Q_EMIT panelText(2, QStringLiteral("正在下载:") + m_list.at(rowIndex).Name);
    // A proxy stored by an older version may be unusable: the row fails with
    // the reason instead of sending something libcurl cannot parse.
    const QString problem = proxyProblem(m_options);
    if (!problem.isEmpty()) {
        fail(StatusText::DownloadFailed, problem);
        return;
    }
    m_inet.setProxy(proxyOf(m_options));

    // A part kept by an earlier, cut transfer of the address is continued.
    m_part.prepare(m_list.at(rowIndex).Folder, m_url);
    m_phase = Phase::WaitingHeaders;
    m_watchdog.start();
    sendRequest();
}

void SingleConnectionTransfer::sendRequest()
{
    m_inet.execute(m_url, QStringLiteral("GET"), {},
        refererHeader(m_referer, m_url) + m_part.requestHeaders(), m_part.range());
}

void SingleConnectionTransfer::onStateChanged(int state)
{
    Q_EMIT panelText(
        3, CurlInternetTransfer::stateText(state, m_inet.responseCode(), m_inet.responseText()));
}

void SingleConnectionTransfer::onHeaders()
{
    if (m_phase == Phase::WaitingHeaders)
        afterHeaderWait();
}

void SingleConnectionTransfer::onReadyRead()
{
    if (m_phase == Phase::Receiving)
        drainBody();
}

void SingleConnectionTransfer::onFinished()
{
    if (m_phase == Phase::WaitingHeaders)
        afterHeaderWait();
    else if (m_phase == Phase::Receiving)
        drainBody();
}

void SingleConnectionTransfer::checkTimeouts()
{
    const double now = m_clock.nowSeconds();
    switch (m_phase) {
    case Phase::Idle:
    case Phase::Closing:
        m_watchdog.stop();
        break;
    case Phase::WaitingHeaders:
        // The request is not cancelled by this wait; what has arrived decides.
        if (std::abs(now - m_lastProgress) > kHeaderWaitSeconds)
            afterHeaderWait();
        break;
    case Phase::FetchingWhole:
        // The whole answer is read in one go; bytes still coming in count as
        // progress.
        if (m_inet.bufferedBytes() != m_wholeBuffered) {
            m_wholeBuffered = m_inet.bufferedBytes();
            m_lastProgress = now;
        }
        [[fallthrough]];
    case Phase::Receiving:
        if (std::abs(now - m_lastProgress) > kStallSeconds) {
            m_inet.cancel();
            fail(StatusText::DownloadFailed, QStringLiteral("no data for 120 s"));
        }
        break;
    }
}

void SingleConnectionTransfer::afterHeaderWait()
{
    const QString headers = m_inet.allHeaders();
    if (headers.isEmpty()) {
        const QString reason
            = m_inet.failed() ? m_inet.responseText() : QStringLiteral("no answer in 30 s");
        m_inet.cancel();
        editRow([&](DownloadItem &item) {
            item.StatusCode = Status::Failed;
            item.FailureReason = RemoveLineBreaks(reason);
        });
        closingStep(false);
        return;
    }

    // An answer to a request that continues a part: the rest of the same
    // document appends; anything else empties the part. An error status
    // leaves the part as it was, unless it refuses the range itself.
    if (m_inet.refusal().isEmpty() || (m_part.offset() > 0 && m_inet.responseCode() == 416)) {
        switch (m_part.answer(m_inet.partAnswer())) {
        case DownloadPart::Outcome::Continues:
            m_resumed = true;
            break;
        case DownloadPart::Outcome::StartsOver:
            break;
        case DownloadPart::Outcome::AskAgain:
            m_inet.cancel();
            m_lastProgress = m_clock.nowSeconds();
            sendRequest();
            return;
        }
    }

    m_announced = numberOrZero(m_inet.header(QStringLiteral("Content-Length")));
    // An encoded body arrives decoded; its Content-Length counts other bytes.
    const QString encoding = TrimSpaces(m_inet.header(QStringLiteral("Content-Encoding")));
    if (!encoding.isEmpty() && encoding.compare(u"identity", Qt::CaseInsensitive) != 0)
        m_announced = 0;
    // A continued answer counts the whole document, part included.
    if (m_resumed)
        m_announced = m_part.total();
    if (m_announced > 0 && aboveSizeLimit(m_announced, m_options.maxFileSizeMB)) {
        m_inet.cancel();
        m_part.drop();
        editRow([](DownloadItem &item) {
            item.StatusCode = Status::Completed;
            item.Percent = StatusText::LargeFileSkipped;
        });
        closingStep(true);
        return;
    }

    // Type from the media type, then from the suggested file name; a text
    // answer of unknown type is a web page.
    const QStringList typeParts
        = TrimSpaces(m_inet.header(QStringLiteral("Content-Type"))).split(QLatin1Char(';'));
    QString charset;
    if (typeParts.size() >= 2) {
        const QString second = TrimSpaces(typeParts.at(1));
        if (second.left(8).compare(QStringLiteral("charset="), Qt::CaseInsensitive) == 0)
            charset = second.mid(8);
    }
    QString extension = ExtensionFromContentType(TrimSpaces(typeParts.at(0)));
    if (extension.isEmpty())
        extension = 从下载头信息ContentDisposition获取文件名(
            从网络文件Header获取ContentDisposition(headers));
    if (extension.isEmpty() && !charset.isEmpty())
        extension = QStringLiteral("htm");

    // An error status fails the row and keeps no body; its media type still
    // tells whether a page came back (a login page sent with 401 or 403).
    const QString refusal = m_inet.refusal();
    if (!refusal.isEmpty()) {
        if (retryLater())
            return;
        m_inet.cancel();
        m_responseType = extension;
        fail(StatusText::DownloadFailed, refusal);
        return;
    }

    const QString statusLine = headers.section(QStringLiteral("\r\n"), 0, 0);
    const bool success = m_resumed
        || (textContains(statusLine, QStringLiteral("200"))
            && textContains(statusLine, QStringLiteral("OK")));

    // Prepare the row. A folder that cannot be created fails the row rather
    // than saving somewhere the user never chose.
    const DownloadItem *item = row();
    if (!item) {
        m_inet.cancel();
        closingStep(false);
        return;
    }
    QString folderError;
    const QString folder = CreateFolderPath(item->Folder, m_safeDialogs, &folderError);
    if (folder.isEmpty()) {
        m_inet.cancel();
        fail(StatusText::DownloadFailed, folderError);
        return;
    }
    editRow([&](DownloadItem &it) {
        it.Name = CleanFileName(it.Name);
        it.Folder = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        if (!extension.isEmpty())
            it.Type = extension;
    });
    item = row();
    if (m_options.policy == DuplicatePolicy::Rename) {
        QString newName;
        m_targetPath = 重命名保存路径(
            item->Folder, item->Name, item->Type, m_options, &newName, item->ReplaceableFile);
        editRow([&](DownloadItem &it) { it.Name = newName; });
    } else {
        m_targetPath = item->savedFilePath();
    }

    if (m_announced > 0 || success) {
        m_phase = Phase::Receiving;
        if (!openTarget()) {
            m_inet.cancel();
            fail(StatusText::DownloadFailed, m_part.body().errorText());
            return;
        }
        m_written = m_part.body().size();
        const qint64 announced = m_announced;
        const qint64 written = m_written;
        editRow([announced, written](DownloadItem &it) {
            it.Size = announced > 0 ? QString::number(announced) : StatusText::Unknown;
            it.Received = QString::number(written);
            if (written > 0)
                it.Percent = percentText(written, announced);
        });
        m_lastProgress = m_clock.nowSeconds();
        drainBody();
        return;
    }

    // No size and no success line: read the whole answer in one go.
    m_inet.cancel();
    editRow([](DownloadItem &it) { it.Size = StatusText::Unknown; });
    m_phase = Phase::FetchingWhole;
    m_lastProgress = m_clock.nowSeconds();
    m_wholeBuffered = 0;
    m_inet.fetchWhole(m_url, refererHeader(m_referer, m_url));
}

bool SingleConnectionTransfer::openTarget()
{
    return m_part.openBody(m_targetPath);
}

void SingleConnectionTransfer::drainBody()
{
    if (m_phase != Phase::Receiving || !m_part.body().isOpen())
        return;
    const qint64 before = m_written;
    // Everything that has arrived is written in one go. Without an announced
    // size, the body is cut where reading it 2048 bytes at a time would have
    // crossed the limit.
    QByteArray batch = m_inet.getChunk(std::numeric_limits<int>::max());
    bool overLimit = false;
    if (m_announced <= 0 && !batch.isEmpty()
        && aboveSizeLimit(m_written + batch.size(), m_options.maxFileSizeMB)) {
        const qint64 limit = maxFileSizeBytes(m_options.maxFileSizeMB);
        const qint64 needed = qMax<qint64>(1, limit + 1 - m_written);
        const qint64 keep = (needed + kChunkBytes - 1) / kChunkBytes * kChunkBytes;
        if (keep < batch.size())
            batch.truncate(keep);
        overLimit = true;
    }
    if (!batch.isEmpty()) {
        if (!m_part.body().write(batch)) {
            m_inet.cancel();
            fail(StatusText::DownloadFailed, m_part.body().errorText());
            return;
        }
        m_written += batch.size();
    }
    if (overLimit) {
        // Too large and never announced: what arrived is dropped, and any
        // earlier file stays as it was.
        m_inet.cancel();
        discardTemp();
        const qint64 written = m_written;
        editRow([written](DownloadItem &it) {
            it.Received = QString::number(written);
            it.StatusCode = Status::Completed;
            it.Percent = StatusText::LargeFileSkipped;
        });
        closingStep(true);
        return;
    }
    if (m_written > before) {
        m_lastProgress = m_clock.nowSeconds();
        const qint64 written = m_written;
        editRow([written](DownloadItem &it) {
            it.Received = QString::number(written);
            bool ok = false;
            const qint64 size = it.Size.toLongLong(&ok);
            if (ok && size > 0)
                it.Percent = percentText(written, size);
        });
    }

    // With the announced size in, the transfer ends as soon as the component
    // reports the end (at once; it never reads past the announced length).
    if (m_inet.atEnd()) {
        // The body ended: a transport error or a body shorter than announced
        // is a failed download, not a complete file.
        if (m_inet.failed())
            fail(StatusText::DownloadFailed, m_inet.responseText());
        else if (m_announced > 0 && m_written < m_announced)
            fail(StatusText::DownloadFailed,
                QStringLiteral("received %1 of %2 bytes").arg(m_written).arg(m_announced));
        else if (m_written == 0)
            fail(StatusText::DownloadFailed, QStringLiteral("empty body"));
        else
            finishReceiving();
    }
}

void SingleConnectionTransfer::finishReceiving()
{
    if (!placeFile())
        return;
    editRow([](DownloadItem &it) {
        it.StatusCode = Status::Completed;
        bool ok = false;
        it.Received.toLongLong(&ok);
        if (ok && it.Size == StatusText::Unknown) {
            it.Size = it.Received;
            it.Percent = QStringLiteral("100%");
        }
    });
    closingStep(true);
}

// Gives the finished body its name, its type settled from its bytes. On
// failure the row shows "无法替换" with the length of the file that stays, and
// the closing step runs.
bool SingleConnectionTransfer::placeFile()
{
    const DownloadItem *current = row();
    QString error;
    if (current) {
        DownloadItem item = *current;
        if (PlaceFinishedDownload(m_part.body(), item, m_targetPath, m_options.policy, &error)) {
            m_part.placed();
            editRow([&](DownloadItem &it) {
                it.Name = item.Name;
                it.Type = item.Type;
                it.ReplaceableFile = item.ReplaceableFile;
            });
            return true;
        }
    }
    discardTemp();
    const QFileInfo existing(m_targetPath);
    const QString length = existing.exists() ? QString::number(existing.size()) : QString();
    editRow([&](DownloadItem &it) {
        it.StatusCode = Status::Failed;
        it.FailureReason = error;
        it.Size = length;
        it.Received = length;
        it.Percent = StatusText::CannotReplace;
    });
    closingStep(false);
    return false;
}

void SingleConnectionTransfer::onWholeBody(const QByteArray &body)
{
    if (m_phase != Phase::FetchingWhole)
        return;
    const QString count = QString::number(body.size());
    editRow([&](DownloadItem &it) {
        it.Size = count;
        it.Received = count;
        it.Percent = QStringLiteral("100%");
    });
    if (body.isEmpty()) {
        const QString reason
            = m_inet.failed() ? m_inet.responseText() : QStringLiteral("empty body");
        editRow([&](DownloadItem &it) {
            it.StatusCode = Status::Failed;
            it.FailureReason = RemoveLineBreaks(reason);
        });
        closingStep(false);
        return;
    }
    const QString refusal = m_inet.refusal();
    if (!refusal.isEmpty()) {
        if (!retryLater())
            fail(StatusText::DownloadFailed, refusal);
        return;
    }
    if (!openTarget() || !m_part.body().write(body)) {
        fail(StatusText::DownloadFailed, m_part.body().errorText());
        return;
    }
    if (!placeFile())
        return;
    editRow([](DownloadItem &it) { it.StatusCode = Status::Completed; });
    closingStep(true);
}

void SingleConnectionTransfer::stopByUser()
{
    if (m_phase == Phase::Idle || m_phase == Phase::Closing)
        return;
    m_inet.cancel();
    if (m_phase == Phase::WaitingHeaders) {
        editRow([](DownloadItem &it) {
            it.StatusCode = Status::Failed;
            it.FailureReason = QStringLiteral("stopped");
        });
        closingStep(false);
        return;
    }
    fail(StatusText::DownloadCancelled, QStringLiteral("stopped"));
}

bool SingleConnectionTransfer::retryLater()
{
    const ErrorAnswer answer { m_inet.responseCode(),
        m_inet.header(QStringLiteral("Retry-After")).toLatin1(),
        m_inet.header(QStringLiteral("Date")).toLatin1() };
    if (!IsRetryableStatus(answer.httpStatus))
        return false;
    m_inet.cancel();
    discardTemp();
    RetryStep step;
    editRow([&](DownloadItem &it) { step = TakeErrorAnswer(it, m_url, answer, m_clock); });
    if (step.kind != RetryStep::NotRetried)
        Q_EMIT retryNotice(WithoutCredentials(m_url), step.text);
    closingStep(false);
    return true;
}

void SingleConnectionTransfer::fail(const QString &sizeText, const QString &reason)
{
    discardTemp();
    editRow([&](DownloadItem &it) {
        it.StatusCode = Status::Failed;
        it.FailureReason = RemoveLineBreaks(reason);
        it.Size = sizeText;
    });
    closingStep(false);
}

void SingleConnectionTransfer::discardTemp()
{
    m_part.keepOrDrop();
}

void SingleConnectionTransfer::closingStep(bool result)
{
    m_inet.cancel();
    // A body that was not placed stays as a part when it can be continued.
    m_part.keepOrDrop();
    m_watchdog.stop();
    const int r = currentRow();
    const QString name = r >= 0 ? m_list.at(r).Name : QString();
    const QString type = r >= 0 ? m_list.at(r).Type : QString();
    const int status = r >= 0 ? m_list.at(r).StatusCode : Status::Failed;
    Q_EMIT panelText(2, QStringLiteral("完成下载:") + name);
    m_state.LastTransferEnd = m_clock.nowSeconds();
    // Any end but a wait for the next try starts the count of tries again.
    if (r >= 0 && status != Status::Waiting)
        m_list.update(r, [](DownloadItem &it) { it.forgetRetries(); });

    // A failed answer keeps the row's type; its own media type still tells
    // whether a page came back.
    const bool webPage = isWebPageType(m_responseType.isEmpty() ? type : m_responseType, true);
    if (m_options.sound && m_sounds)
        m_sounds->PlayTransferEndSounds(webPage, status == Status::Failed);
    // The rest runs once the current callback has returned: the login may
    // open windows, which must not happen inside libcurl. Until then the
    // transfer still counts as busy.
    m_phase = Phase::Closing;
    QTimer::singleShot(0, this, [this, r, result, webPage] {
        // A page came back where a file was expected: log in again.
        if (m_options.autoLogin && webPage && m_autoLogin)
            m_autoLogin();
        m_phase = Phase::Idle;
        m_state.TransferBusy = false;
        Q_EMIT transferEnded(r, result);
    });
}
