#pragma once

#include "download/DownloadRetries.h"
#include "platform/curl/AsyncReadService.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class BodyFile;
class Clock;
class DownloadPart;
class CookieJar;
class CurlRequest;

// Downloads one address for one file through the asynchronous read service,
// and falls back to a plain GET with a Referer when the read delivers nothing
// usable. Reports progress, failure and completion as signals.
//
// The target's name is reserved by a placeholder while the transfer runs
// (when nothing stood there), so the next connection sees it taken. The body
// grows in an unnamed file and is judged whole before DownloadComplete; the
// receiver gives it its name (finishedBody()). A transfer that ends without
// placing its file removes its placeholder; destroying the Downloader stops
// its transfer and does the same. What came of an answer that can be
// continued stays as a hidden part beside the target (DownloadPart): the
// fallback after a cut read continues it, and so does a later download.
class Downloader : public QObject
{
    Q_OBJECT
public:
    explicit Downloader(Clock &clock, CookieJar *jar = nullptr, QObject *parent = nullptr);
    ~Downloader() override;

    void BeginDownload(const QString &url, const QString &targetPath, const QString &referer);

    // Stops the read and the fallback request; answers false.
    bool CancelAsyncRead();

    // The finished body, valid during DownloadComplete (null otherwise).
    BodyFile *finishedBody() const { return m_finished; }
    // Why the transfer failed, one line (empty when it did not).
    QString failureReason() const { return m_failure; }
    // The failing answer was a web page (its media type said so): a login
    // page where a file was expected.
    bool failedWithWebPage() const { return m_failedWithWebPage; }
    // The error answer the transfer failed with; status 0 when it failed
    // otherwise.
    const ErrorAnswer &failedAnswer() const { return m_failedAnswer; }
    // The target's name is held by this transfer's placeholder.
    bool holdsPlaceholder() const { return m_reserved; }

    // Gives up 120 s after the last byte once an answer came, and the
    // fallback request 60 s without an answer. Runs every second on its own;
    // tests call it after moving the clock.
    void checkTimeouts();

    // The Referer line of the fallback request ("Referer:" without a space).
    static QString fallbackRefererHeader(const QString &referer, const QString &url);

Q_SIGNALS:
    void DownloadProgress(qint64 CurBytes, qint64 MaxBytes, const QString &SaveFile);
    void DownloadError(const QString &SaveFile);
    void DownloadComplete(qint64 MaxBytes, const QString &SaveFile);

private:
    void onReadCompleted(const AsyncReadService::Result &result, const QString &name);
    void FetchWithReferer(const QString &url);
    void onFallbackHeaders();
    void onFallbackData(const QByteArray &data);
    void onFallbackFinished(int curlCode, const QString &message);
    void startFallbackRequest();
    void complete(const std::shared_ptr<DownloadPart> &part, qint64 size);
    void fail(const QString &reason);
    void releasePlaceholder();

    Clock &m_clock;
    CookieJar *m_jar;
    std::unique_ptr<AsyncReadService> m_reader;
    std::unique_ptr<CurlRequest> m_inet; // the fallback's own component
    std::shared_ptr<DownloadPart> m_part; // the fallback's body
    BodyFile *m_finished = nullptr;
    QTimer m_watchdog;

    enum class Phase { Idle, Reading, Fallback };
    Phase m_phase = Phase::Idle;
    QString m_url;
    QString m_target;
    QString m_referer;
    double m_lastActivity = 0;
    bool m_answered = false; // headers of the current request arrived
    qint64 m_announced = 0;
    bool m_reserved = false;
    QString m_failure;
    bool m_failedWithWebPage = false;
    ErrorAnswer m_failedAnswer;
};
