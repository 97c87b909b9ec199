#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <memory>

class BodyFile;
class CookieJar;
class DownloadPart;
class CurlRequest;

// The asynchronous read service: reads an address into a file in the
// background, named by a property name (the target path). The body streams
// into an unnamed file beside the target, so memory does not grow with the
// file; the owner gives it its name on completion.
class AsyncReadService : public QObject
{
    Q_OBJECT
public:
    // How a read ended.
    struct Result
    {
        // The announced size; 0 when none was announced or nothing usable
        // arrived (the owner's fallback then runs).
        qint64 total = 0;
        qint64 received = 0;
        int httpStatus = 0;
        QString contentType;
        // The Retry-After and Date headers, empty when absent: a refused
        // answer may say when to come back.
        QByteArray retryAfter;
        QByteArray date;
        // Set when the read failed for good and no fallback can help (an
        // error status, more bytes than announced, two sizes, a write
        // error), or, with total 0, what went wrong in transport.
        QString failure;
        bool final = false; // failure is final
        // What arrived; valid during the signal, and only when total >= 1 and
        // no failure. The owner may place it.
        BodyFile *body = nullptr;
        // The body and what is known of it for continuing: with `body`, or,
        // when the read was cut, for the owner's fallback to continue. Once
        // no one holds it, a body that can be continued stays as a part.
        std::shared_ptr<DownloadPart> part;
        QString url;
    };

    explicit AsyncReadService(CookieJar *jar = nullptr, QObject *parent = nullptr);
    ~AsyncReadService() override;

    // Starts a read; always a fresh download, never a cached copy. A part of
    // the address kept beside the target (the property name) is continued.
    // A read of the same name still running is cancelled first.
    void startRead(const QString &url, const QString &propertyName, const QString &headerText = {});
    // Stops every read of this service; no completion follows.
    void cancelAll();
    int runningReads() const { return int(m_reads.size()); }

Q_SIGNALS:
    // total is the announced size, 0 when none was announced.
    void progress(qint64 bytesRead, qint64 total, const QString &propertyName);
    // Headers or body bytes arrived: the read is alive.
    void activity(const QString &propertyName);
    void completed(const AsyncReadService::Result &result, const QString &propertyName);

private:
    struct Read;
    void finish(const QString &name, int curlCode, const QString &message);

    CookieJar *m_jar;
    QHash<QString, Read *> m_reads;
};
