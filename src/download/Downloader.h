#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class AsyncReadService;
class Clock;
class CookieJar;
class CurlRequest;
class QTemporaryFile;

// Downloads one address into one file through the asynchronous read service,
// and falls back to a plain GET with a Referer when the read delivers nothing
// usable. Reports progress, failure and completion as signals. Destroying it
// stops its transfer; the file at the target path is then left as it is.
class Downloader : public QObject
{
    Q_OBJECT
public:
    explicit Downloader(Clock &clock, CookieJar *jar = nullptr, QObject *parent = nullptr);
    ~Downloader() override;

    void BeginDownload(const QString &url, const QString &targetPath, const QString &referer);
    // The read delivered more bytes than the server announced: the file holds
    // the announced length, but the transfer is not trusted as whole.
    bool receivedMoreThanAnnounced() const { return m_excess; }

    // Stops the read and the fallback request; answers false.
    bool CancelAsyncRead();

    // Gives the fallback request up after 60 s without an answer or without a
    // further byte. Runs every second on its own; tests call it after moving
    // the clock.
    void checkTimeouts();

    // The Referer line of the fallback request ("Referer:" without a space).
    static QString fallbackRefererHeader(const QString &referer, const QString &url);

Q_SIGNALS:
    void DownloadProgress(qint64 CurBytes, qint64 MaxBytes, const QString &SaveFile);
    void DownloadError(const QString &SaveFile);
    void DownloadComplete(qint64 MaxBytes, const QString &SaveFile);

private:
    void onReadCompleted(qint64 total, qint64 received, const QString &bodyPath,
        const QString &name, const QString &url);
    void FetchWithReferer(const QString &url);
    void onFallbackHeaders();
    void onFallbackData(const QByteArray &data);
    void onFallbackFinished(int curlCode);
    void startWholeFetch();
    void fallbackDone(bool ok);
    bool placeTemp();
    void dropOwnPlaceholder();

    Clock &m_clock;
    CookieJar *m_jar;
    std::unique_ptr<AsyncReadService> m_reader;
    std::unique_ptr<CurlRequest> m_inet; // the fallback's own component
    std::unique_ptr<QTemporaryFile> m_temp;
    QTimer m_watchdog;

    enum class Fallback { None, Request, WholeFetch };
    Fallback m_fallback = Fallback::None;
    QString m_url;
    QString m_target;
    QString m_referer;
    double m_lastActivity = 0; // start, headers or last byte of the fallback
    qint64 m_announced = 0;
    qint64 m_written = 0;
    bool m_writeFailed = false;
    bool m_excess = false;
    bool m_placeholder = false; // the two bytes at the target are ours
};
