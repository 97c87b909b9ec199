#include "download/Downloader.h"

#include "common/PartFile.h"
#include "platform/Clock.h"
#include "platform/curl/AsyncReadService.h"
#include "platform/curl/CurlRequest.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cmath>

namespace {
constexpr double kExecuteLimitSeconds = 60.0;
constexpr char kPlaceholder[] = { '\x01', '\x00' };
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
    connect(m_reader.get(), &AsyncReadService::completed, this, &Downloader::onReadCompleted);
}

Downloader::~Downloader()
{
    CancelAsyncRead();
}

QString Downloader::fallbackRefererHeader(const QString &referer, const QString &url)
{
    if (!referer.isEmpty())
        return QStringLiteral("Referer:") + referer;
    QString site = url.contains(QStringLiteral("://")) ? url : QStringLiteral("http://") + url;
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
    // The two placeholder bytes make the name count as taken for the next
    // connection; an existing file is never touched by them.
    m_placeholder = false;
    if (!QFileInfo::exists(targetPath)) {
        QFile placeholder(targetPath);
        m_placeholder = placeholder.open(QIODevice::WriteOnly)
            && placeholder.write(kPlaceholder, sizeof kPlaceholder) == sizeof kPlaceholder;
    }
    m_reader->startRead(url, targetPath);
}

bool Downloader::CancelAsyncRead()
{
    m_reader->cancelAll();
    if (m_inet)
        m_inet->cancel();
    m_watchdog.stop();
    m_fallback = Fallback::None;
    m_temp.reset();
    return false;
}

bool Downloader::placeTemp()
{
    dropOwnPlaceholder();
    return placePartFile(m_temp, m_target);
}

// Our own placeholder holds nothing worth keeping; removing it first spares
// the file system the forced write-back it does when a rename replaces a file.
void Downloader::dropOwnPlaceholder()
{
    if (!m_placeholder)
        return;
    m_placeholder = false;
    QFile file(m_target);
    if (file.size() == sizeof kPlaceholder && file.open(QIODevice::ReadOnly)
        && file.readAll() == QByteArray(kPlaceholder, sizeof kPlaceholder)) {
        file.close();
        file.remove();
    }
}

void Downloader::onReadCompleted(
    qint64 total, qint64 received, const QString &bodyPath, const QString &name, const QString &url)
{
    if (total >= 1) {
        m_excess = received > total;
        // The finished body replaces whatever is at the target in one step.
        bool placed = false;
        if (!bodyPath.isEmpty()) {
            dropOwnPlaceholder();
            placed = moveFileOver(bodyPath, name);
        }
        if (placed)
            Q_EMIT DownloadComplete(total, name);
        else
            Q_EMIT DownloadError(name);
        return;
    }
    FetchWithReferer(url);
}

void Downloader::FetchWithReferer(const QString &url)
{
    m_inet = std::make_unique<CurlRequest>();
    if (m_jar)
        m_inet->setCookieJar(m_jar);
    m_inet->setUrl(url);
    m_inet->setMethod(QByteArrayLiteral("GET"));
    m_inet->setHeaderText(fallbackRefererHeader(m_referer, url) + QStringLiteral("\r\n"));
    connect(m_inet.get(), &CurlRequest::headersReceived, this, &Downloader::onFallbackHeaders);
    connect(m_inet.get(), &CurlRequest::dataReceived, this, &Downloader::onFallbackData);
    connect(m_inet.get(), &CurlRequest::finished, this,
        [this](int code, const QString &) { onFallbackFinished(code); });
    m_fallback = Fallback::Request;
    m_lastActivity = m_clock.nowSeconds();
    m_announced = -1;
    m_written = 0;
    m_writeFailed = false;
    m_temp = createPartFile(m_target);
    if (!m_temp) {
        fallbackDone(false);
        return;
    }
    m_watchdog.start();
    m_inet->start();
}

void Downloader::onFallbackHeaders()
{
    m_lastActivity = m_clock.nowSeconds();
    if (m_fallback == Fallback::Request)
        m_announced = m_inet->contentLength(); // -1: none announced
}

void Downloader::onFallbackData(const QByteArray &data)
{
    if (m_fallback == Fallback::None || !m_temp)
        return;
    m_lastActivity = m_clock.nowSeconds();
    if (m_fallback == Fallback::Request && m_announced < 0)
        return; // without a size the body is fetched again in one call
    if (m_temp->write(data) != data.size()) {
        m_writeFailed = true;
        m_inet->cancel();
        fallbackDone(false);
        return;
    }
    m_written += data.size();
    if (m_fallback == Fallback::Request) {
        Q_EMIT DownloadProgress(m_written, m_announced, m_target);
        if (m_written >= m_announced) {
            m_inet->cancel();
            fallbackDone(placeTemp());
        }
    }
}

void Downloader::onFallbackFinished(int curlCode)
{
    switch (m_fallback) {
    case Fallback::None:
        return;
    case Fallback::Request:
        if (curlCode != 0 || m_announced > 0) {
            // Failed, or the body ended before its announced size: nothing
            // more comes.
            fallbackDone(false);
        } else if (m_announced == 0) {
            fallbackDone(placeTemp()); // an announced empty file
        } else {
            startWholeFetch();
        }
        return;
    case Fallback::WholeFetch: {
        const qint64 n = m_written;
        Q_EMIT DownloadProgress(n, n, m_target);
        fallbackDone(curlCode == 0 && n > 0 && !m_writeFailed && placeTemp());
        return;
    }
    }
}

// No size in the fallback either: the address is fetched once more and the
// whole answer taken as the file.
void Downloader::startWholeFetch()
{
    m_fallback = Fallback::WholeFetch;
    m_written = 0;
    if (!m_temp || !m_temp->resize(0) || !m_temp->seek(0)) {
        fallbackDone(false);
        return;
    }
    m_lastActivity = m_clock.nowSeconds();
    QTimer::singleShot(0, this, [this] {
        if (m_fallback == Fallback::WholeFetch && m_inet)
            m_inet->start();
    });
}

void Downloader::fallbackDone(bool ok)
{
    m_watchdog.stop();
    m_fallback = Fallback::None;
    if (m_temp)
        m_temp.reset(); // removes what was not moved into place
    if (ok)
        Q_EMIT DownloadComplete(QFileInfo(m_target).size(), m_target);
    else
        Q_EMIT DownloadError(m_target);
}

void Downloader::checkTimeouts()
{
    if (m_fallback == Fallback::None) {
        m_watchdog.stop();
        return;
    }
    // 60 s for the answer to come, and then for each further piece of it: a
    // transfer that keeps receiving is never cut off.
    if (std::abs(m_clock.nowSeconds() - m_lastActivity) > kExecuteLimitSeconds) {
        m_inet->cancel();
        fallbackDone(false);
    }
}
