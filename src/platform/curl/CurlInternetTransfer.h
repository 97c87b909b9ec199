#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class CookieJar;
class CurlRequest;
struct PartAnswer;

// The internet transfer component of the download window: one HTTP request at
// a time over libcurl, driven by the Qt event loop. The body is buffered as it
// arrives and read out by the caller in chunks; the caller reads after every
// readyRead(), so the buffer stays small.
class CurlInternetTransfer : public QObject
{
    Q_OBJECT
public:
    explicit CurlInternetTransfer(CookieJar *jar = nullptr, QObject *parent = nullptr);
    ~CurlInternetTransfer() override;

    // "host:port" of a proxy to send requests through; empty for a direct
    // connection (no proxy from the environment either).
    void setProxy(const QString &proxy);
    QString proxy() const;

    // Starts a request and returns at once. headerText holds request header
    // lines, each ended by CR LF (the download sends one "Referer: ..." line).
    // A request still running is cancelled first.
    // A non-empty range ("N-") asks for the rest of a body from byte N.
    void execute(const QString &url, const QString &method = QStringLiteral("GET"),
        const QByteArray &body = {}, const QString &headerText = {}, const QByteArray &range = {});
    // Starts a request whose whole body is wanted at once; wholeBodyReady()
    // follows with it (empty when nothing arrived).
    void fetchWhole(const QString &url, const QString &headerText = {});

    // True from execute() until the request has ended (completed, failed or
    // cancelled). Body bytes may still be buffered after it turns false.
    bool stillExecuting() const;
    bool headersComplete() const;

    // All response headers of the final response: status line first, lines
    // separated by CR LF; empty while nothing arrived.
    QString allHeaders() const;
    // Value of a named header of the final response (case-insensitive name),
    // or empty when absent.
    QString header(const QString &name) const;

    // Takes up to maxBytes of the buffered body; empty when nothing is buffered.
    QByteArray getChunk(int maxBytes = 2048);
    qint64 bufferedBytes() const;
    // True when the request ended and the buffer has been read out: the real
    // end of the body, whatever the size of the last chunk.
    bool atEnd() const;
    // True when the request ended with a transport error (not an HTTP status).
    bool failed() const;

    // Stops any current request; harmless when idle. Emits no finished().
    void cancel();

    QString lastUrl() const;
    // The HTTP status code of the final response; on a transport error the
    // curl error number. Text: the status line's reason, or curl's message.
    int responseCode() const;
    QString responseText() const;
    // Why the final response cannot be a download ("HTTP 404", two sizes);
    // empty when nothing speaks against it.
    QString refusal() const;
    // The final response as far as a kept part is concerned.
    PartAnswer partAnswer() const;

    // Panel texts of the state numbers 0..12 (any other number gives
    // "code:text").
    static QString stateText(int state, int responseCode, const QString &responseText);

Q_SIGNALS:
    // 0 none, 1 resolving, 2 resolved, 3 connecting, 4 connected, 5 sending,
    // 6 sent, 7 receiving, 8 response received, 9 disconnecting,
    // 10 disconnected, 11 error, 12 complete.
    void stateChanged(int state);
    void headersReceived();
    void readyRead();
    void finished();
    void wholeBodyReady(const QByteArray &body);

private:
    void begin(const QString &url, const QString &method, const QByteArray &body,
        const QString &headerText, bool whole, const QByteArray &range = {});
    void onStage(int stage);
    void onData(const QByteArray &data);
    void onFinished(int curlCode, const QString &message);

    CurlRequest *m_request = nullptr;
    QString m_proxy;
    QString m_lastUrl;
    QByteArray m_buffer; // body bytes not yet handed out start at m_readPos
    qsizetype m_readPos = 0;
    bool m_whole = false;
    bool m_failed = false;
    int m_code = 0;
    QString m_text;
};
