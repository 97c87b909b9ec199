#include "platform/curl/AsyncReadService.h"

#include "common/SafeFiles.h"
#include "platform/curl/CurlRequest.h"

#include <memory>

struct AsyncReadService::Read
{
    std::unique_ptr<CurlRequest> request;
    BodyFile file;
    bool fileOpen = false;
    QString url;
    QString refusal; // the response itself says it is no download
    QString writeError;
};

AsyncReadService::AsyncReadService(CookieJar *jar, QObject *parent)
    : QObject(parent), m_jar(jar) { }

AsyncReadService::~AsyncReadService()
{
    cancelAll();
}

void AsyncReadService::startRead(
    const QString &url, const QString &propertyName, const QString &headerText)
{
    if (Read *old = m_reads.take(propertyName)) {
        old->request->cancel();
        delete old;
    }
    auto *read = new Read;
    read->url = url;
    read->request = std::make_unique<CurlRequest>();
    CurlRequest *request = read->request.get();
    if (m_jar)
        request->setCookieJar(m_jar);
    request->setUrl(url);
    request->setMethod(QByteArrayLiteral("GET"));
    request->setHeaderText(headerText);
    m_reads.insert(propertyName, read);

    connect(request, &CurlRequest::headersReceived, this, [this, read, propertyName] {
        // A refused answer keeps no byte; the transfer ends at once.
        read->refusal = ResponseRefusal(*read->request);
        if (!read->refusal.isEmpty()) {
            read->request->cancel();
            finish(propertyName, 0, {});
            return;
        }
        read->fileOpen = read->file.open(propertyName);
        if (!read->fileOpen) {
            read->writeError = read->file.errorText();
            read->request->cancel();
            finish(propertyName, 0, {});
            return;
        }
        Q_EMIT activity(propertyName);
    });
    connect(request, &CurlRequest::dataReceived, this,
        [this, read, propertyName](const QByteArray &data) {
            if (!read->fileOpen || !read->writeError.isEmpty())
                return;
            if (!read->file.write(data)) {
                read->writeError = read->file.errorText();
                read->request->cancel();
                finish(propertyName, 0, {});
                return;
            }
            Q_EMIT activity(propertyName);
            const qint64 total = qMax<qint64>(0, read->request->contentLength());
            if (total != 0)
                Q_EMIT progress(read->file.size(), total, propertyName);
        });
    connect(request, &CurlRequest::finished, this,
        [this, propertyName](
            int curlCode, const QString &message) { finish(propertyName, curlCode, message); });
    request->start();
}

void AsyncReadService::finish(const QString &name, int curlCode, const QString &message)
{
    std::unique_ptr<Read> read(m_reads.take(name));
    if (!read)
        return;
    Result result;
    result.url = read->url;
    result.httpStatus = read->request->responseCode();
    result.contentType = QString::fromLatin1(read->request->header("Content-Type"));
    result.retryAfter = read->request->header("Retry-After");
    result.date = read->request->header("Date");
    result.received = read->file.size();
    const qint64 announced = read->request->contentLength();
    if (!read->refusal.isEmpty()) {
        result.failure = read->refusal;
        result.final = true;
    } else if (!read->writeError.isEmpty()) {
        result.failure = read->writeError;
        result.final = true;
    } else if (curlCode != 0) {
        // Failed in transport: nothing usable, the owner's fallback runs.
        result.failure = message;
    } else if (announced > 0 && read->request->excessData()) {
        result.failure
            = QStringLiteral("more bytes than the announced ") + QString::number(announced);
        result.final = true;
    } else if (announced > 0 && result.received == announced) {
        result.total = announced;
        result.body = &read->file;
    }
    // The request is still on the stack of its own signal; free it once that
    // has returned.
    read->request.release()->deleteLater();
    Q_EMIT completed(result, name);
}

void AsyncReadService::cancelAll()
{
    const auto reads = std::exchange(m_reads, {});
    for (Read *read : reads) {
        read->request->cancel();
        delete read;
    }
}
