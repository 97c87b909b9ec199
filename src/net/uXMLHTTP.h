#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>

class CurlRequest;
class QTimer;

// An invisible request object: one asynchronous HTTP request at a time,
// watched by its own 10 ms timer `tmrReader`, whose outcome arrives as events.
// A failed HTTP status is reported with its Chinese description.
//
// Ready states follow XMLHttpRequest: 0 unsent, 1 opened, 2 headers received,
// 3 loading, 4 done. A transport failure (refused, reset, cut short) ends at 4
// with Status 0 and no headers or body.
//
// Only Open_ reports a failure; every other member does nothing or yields 0,
// an empty text or empty bytes when it cannot do its work.
//
// The body is kept in memory: this object fetches short texts.
class uXMLHTTP : public QObject
{
    Q_OBJECT
public:
    explicit uXMLHTTP(QObject *parent = nullptr);
    ~uXMLHTTP() override;

    // Opens a request: done := false, the method is upper-cased, any request
    // under way is dropped. An empty or invalid method token (or CONNECT,
    // TRACE, TRACK) and a URL that is malformed or not http/https are
    // rejected: false, with the reason in *error. Only a successful call sets
    // the polling-allowed flag and the save path; after a failure both keep
    // the values of the last successful call (on a fresh instance polling
    // stays off, so Send_ starts no polling), and the request is left unsent.
    bool Open_(const QString &method, const QString &url, const QString &savePath = {},
        QString *error = nullptr);
    // Adds a header to the opened, not yet sent request; a second value for
    // the same name is joined with ", ". Ignored otherwise, and for a name
    // that is no token or a value with a line break.
    void SetRequestHeader(const QString &name, const QString &value);
    // Sends the opened request (the body is not sent with GET or HEAD), then
    // sets tmrReader enabled to the polling-allowed flag.
    void Send_(const QByteArray &body = {});
    void Send_(const QString &body); // sent as UTF-8
    // Stops tmrReader, then the request, without any event; DownOK keeps its
    // value and the ready state goes back to 0.
    void Abort_();

    // True once tmrReader saw ready state 4; false again after Open_.
    bool DownOK() const { return m_done; }
    int ReadyState() const { return m_readyState; }
    int Status() const;
    QString StatusText() const;
    // The value of a response header (case-insensitive name); repeated headers
    // are joined with ", ". Empty before the headers arrived.
    QString GetResponseHeader(const QString &name) const;
    // "Name: value" lines, each ended by CR LF; empty before the headers.
    QString GetAllResponseHeaders() const;
    QByteArray ResponseBody() const;
    // The body decoded by a byte-order mark, else by the charset of the
    // Content-Type, else as UTF-8.
    QString ResponseText() const;

    // The 601 descriptions indexed by status 0..600; codes without a
    // description hold an empty text.
    static const QStringList &HttpStatusDescriptions();

Q_SIGNALS:
    // Status 200, after the body was saved (when asked for).
    void OnDateArrived();
    // Every tmrReader tick, before anything else is looked at.
    void OnReadyStateChange();
    // Any other status in 0..600; 0 (transport failure) gives an empty text.
    void OnDateErr(const QString &description);

private:
    void onTick();
    void onHeaders();
    void onData(const QByteArray &data);
    void onFinished(int curlCode);
    void resetResponse();
    void saveBody() const;

    std::unique_ptr<CurlRequest> m_request;
    QTimer *m_tmrReader = nullptr;

    bool m_pollingAllowed = false;
    QString m_savePath;
    bool m_done = false;

    // The opened request.
    QByteArray m_method;
    QString m_url;
    QList<QPair<QByteArray, QByteArray>> m_requestHeaders;
    bool m_sent = false;

    // Its response.
    int m_readyState = 0;
    bool m_networkError = false;
    QByteArray m_body;
};
