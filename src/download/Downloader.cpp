#include "download/Downloader.h"

#include "common/DownloadPart.h"
#include "common/FileNameHelpers.h"
#include "common/MimeTypes.h"
#include "common/SafeFiles.h"
#include "download/ListOperations.h"
#include "platform/Clock.h"
#include "platform/curl/CurlRequest.h"

#include <QFileInfo>

#include <cmath>

namespace {
constexpr double kExecuteLimitSeconds = 60.0;
constexpr double kStallSeconds = 120.0;

bool isWebPageMediaType(const QString &contentType)
{
    const QString media = contentType.section(QLatin1Char(';'), 0, 0).trimmed();
    return isWebPageType(ExtensionFromContentType(media), false);
}
} // namespace

Downloader::Downloader(Clock &clock, CookieJar *jar, QObject *parent)
    : QObject(parent), m_clock(clock), m_jar(jar), m_reader(std::make_unique<AsyncReadService>(jar))
{
    m_watchdog.setInterval(1000);
    connect(&m_watchdog, &QTimer::timeout, this, &Downloader::checkTimeouts);
    connect(m_reader.get(), &AsyncReadService::progress, this,
        [this](qint64 read, qint64 total, const QString &name) {
            if (total != 0)
                Q_EMIT DownloadProgress(read, total, name);
        });
    connect(m_reader.get(), &AsyncReadService::activity, this, [this] {
        m_answered = true;
        m_lastActivity = m_clock.nowSeconds();
    });
    connect(m_reader.get(), &AsyncReadService::completed, this, &Downloader::onReadCompleted);
}

Downloader::~Downloader()
{
    CancelAsyncRead();
}

QString Downloader::fallbackRefererHeader(const QString &referer, const QString &url)
{
    if (!referer.isEmpty())
        return QStringLiteral("Referer:") + WithoutCredentials(referer);
    QString site = url.contains(QStringLiteral("://")) ? url : QStringLiteral("http://") + url;
    site = WithoutCredentials(site);
    const int hostStart = site.indexOf(QStringLiteral("://")) + 3;
    int slash = site.indexOf(QLatin1Char('/'), hostStart);
    if (slash < 0) {
        site += QLatin1Char('/');
        slash = site.size() - 1;
    }
    return QStringLiteral("Referer:") + site.left(slash + 1);
}

void Downloader::BeginDownload(
    const QString &url, const QString &targetPath, const QString &referer)
{
    m_url = url;
    m_target = targetPath;
    m_referer = referer;
    m_failure.clear();
    m_failedWithWebPage = false;
    m_failedAnswer = {};
    // The placeholder makes the name count as taken for the next connection,
    // here or in another process; a file (or link) already there is left
    // alone.
    m_reserved = NameReservations::reserve(targetPath);
    m_phase = Phase::Reading;
    m_answered = false;
    m_lastActivity = m_clock.nowSeconds();
    m_watchdog.start();
    m_reader->startRead(url, targetPath);
}

bool Downloader::CancelAsyncRead()
{
    m_reader->cancelAll();
    if (m_inet)
        m_inet->cancel();
    m_watchdog.stop();
    m_phase = Phase::Idle;
    m_part.reset();
    releasePlaceholder();
    return false;
}

void Downloader::releasePlaceholder()
{
    if (m_reserved)
        NameReservations::release(m_target);
    m_reserved = false;
}

void Downloader::complete(const std::shared_ptr<DownloadPart> &part, qint64 size)
{
    m_watchdog.stop();
    m_phase = Phase::Idle;
    m_finished = &part->body();
    Q_EMIT DownloadComplete(size, m_target);
    m_finished = nullptr;
    // Placed: the part it grew from is done with. A whole body that was not
    // placed is never kept.
    if (part->body().isOpen())
        part->drop();
    else
        part->placed();
    // Not placed by the receiver: the name is free again.
    releasePlaceholder();
}

void Downloader::fail(const QString &reason)
{
    m_watchdog.stop();
    m_phase = Phase::Idle;
    m_failure = RemoveLineBreaks(reason);
    m_part.reset();
    releasePlaceholder();
    Q_EMIT DownloadError(m_target);
}

void Downloader::onReadCompleted(const AsyncReadService::Result &result, const QString &name)
{
    Q_UNUSED(name);
    if (result.final) {
        m_failedWithWebPage = isWebPageMediaType(result.contentType);
        if (result.httpStatus >= 400)
            m_failedAnswer = { result.httpStatus, result.retryAfter, result.date };
        fail(result.failure);
        return;
    }
    if (result.total >= 1 && result.body && result.part) {
        complete(result.part, result.total);
        return;
    }
    // A cut read hands on what came, for the fallback to continue.
    m_part = result.part;
    FetchWithReferer(result.url);
}

void Downloader::FetchWithReferer(const QString &url)
{
    m_inet = std::make_unique<CurlRequest>();
    if (m_jar)
        m_inet->setCookieJar(m_jar);
    m_inet->setUrl(url);
    m_inet->setMethod(QByteArrayLiteral("GET"));
    connect(m_inet.get(), &CurlRequest::headersReceived, this, &Downloader::onFallbackHeaders);
    connect(m_inet.get(), &CurlRequest::dataReceived, this, &Downloader::onFallbackData);
    connect(m_inet.get(), &CurlRequest::finished, this, &Downloader::onFallbackFinished);
    m_phase = Phase::Fallback;
    m_answered = false;
    m_lastActivity = m_clock.nowSeconds();
    m_announced = -1;
    if (m_part) {
        m_part->continueAfterCut();
    } else {
        m_part = std::make_shared<DownloadPart>();
        m_part->prepare(QFileInfo(m_target).path(), url);
    }
    if (!m_part->openBody(m_target)) {
        fail(m_part->body().errorText());
        return;
    }
    m_watchdog.start();
    startFallbackRequest();
}

void Downloader::startFallbackRequest()
{
    m_inet->setHeaderText(fallbackRefererHeader(m_referer, m_inet->url()) + QStringLiteral("\r\n")
        + m_part->requestHeaders());
    m_inet->setRange(m_part->range());
    m_inet->start();
}

void Downloader::onFallbackHeaders()
{
    m_lastActivity = m_clock.nowSeconds();
    m_answered = true;
    QString refusal = ResponseRefusal(*m_inet);
    // The rest of the same document appends to what came; anything else
    // starts from zero. An error status leaves what came as it was, unless
    // it refuses the range itself.
    bool resumed = false;
    if (refusal.isEmpty() || (m_part->offset() > 0 && m_inet->responseCode() == 416)) {
        switch (m_part->answer(PartAnswerOf(*m_inet))) {
        case DownloadPart::Outcome::Continues:
            resumed = true;
            break;
        case DownloadPart::Outcome::StartsOver:
            break;
        case DownloadPart::Outcome::AskAgain:
            startFallbackRequest();
            return;
        }
        refusal.clear();
    }
    if (!refusal.isEmpty()) {
        m_failedWithWebPage
            = isWebPageMediaType(QString::fromLatin1(m_inet->header("Content-Type")));
        if (m_inet->responseCode() >= 400)
            m_failedAnswer
                = { m_inet->responseCode(), m_inet->header("Retry-After"), m_inet->header("Date") };
        m_inet->cancel();
        fail(refusal);
        return;
    }
    // -1: none announced. A continued answer counts the whole document.
    m_announced = resumed ? m_part->total() : m_inet->contentLength();
}

void Downloader::onFallbackData(const QByteArray &data)
{
    if (m_phase != Phase::Fallback || !m_part)
        return;
    m_lastActivity = m_clock.nowSeconds();
    BodyFile &body = m_part->body();
    if (!body.write(data)) {
        m_inet->cancel();
        fail(body.errorText());
        return;
    }
    if (m_announced > 0)
        Q_EMIT DownloadProgress(body.size(), m_announced, m_target);
}

void Downloader::onFallbackFinished(int curlCode, const QString &message)
{
    if (m_phase != Phase::Fallback || !m_part)
        return;
    if (curlCode != 0) {
        fail(message);
        return;
    }
    const qint64 n = m_part->body().size();
    if (m_announced > 0 && m_inet->excessData()) {
        fail(QStringLiteral("more bytes than the announced ") + QString::number(m_announced));
        return;
    }
    if (n == 0) {
        fail(QStringLiteral("empty body"));
        return;
    }
    // Without a size the body that came is the file; its count is shown as
    // the whole.
    if (m_announced <= 0)
        Q_EMIT DownloadProgress(n, n, m_target);
    const std::shared_ptr<DownloadPart> part = std::move(m_part);
    complete(part, n);
}

void Downloader::checkTimeouts()
{
    if (m_phase == Phase::Idle) {
        m_watchdog.stop();
        return;
    }
    const double quiet = std::abs(m_clock.nowSeconds() - m_lastActivity);
    if (m_phase == Phase::Reading) {
        // Once the server answered, 120 s without a byte ends the read; a
        // read with no answer yet is left to the scheduler's hanging rule.
        if (m_answered && quiet > kStallSeconds) {
            m_reader->cancelAll();
            fail(QStringLiteral("no data for 120 s"));
        }
        return;
    }
    // 60 s for the answer to come, and then for each further piece of it: a
    // transfer that keeps receiving is never cut off.
    if (quiet > kExecuteLimitSeconds) {
        m_inet->cancel();
        fail(m_answered ? QStringLiteral("no data for 60 s") : QStringLiteral("no answer in 60 s"));
    }
}
