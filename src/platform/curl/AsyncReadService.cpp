#include "platform/curl/AsyncReadService.h"

#include "common/DownloadPart.h"
#include "common/SafeFiles.h"
#include "platform/curl/CurlRequest.h"

#include <memory>

struct AsyncReadService::Read
{
    std::unique_ptr<CurlRequest> request;
    std::shared_ptr<DownloadPart> part = std::make_shared<DownloadPart>();
    bool fileOpen = false;
    QString url;
    QString headerText;
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
    read->headerText = headerText;
    const qsizetype slash = propertyName.lastIndexOf(QLatin1Char('/'));
    read->part->prepare(slash < 0 ? QStringLiteral(".") : propertyName.left(slash + 1), url);
    request->setHeaderText(headerText + read->part->requestHeaders());
    request->setRange(read->part->range());
    m_reads.insert(propertyName, read);

    connect(request, &CurlRequest::headersReceived, this, [this, read, propertyName] {
        // A refused answer keeps no byte; the transfer ends at once. A kept
        // part stays as it was, unless the answer refuses its range.
        read->refusal = ResponseRefusal(*read->request);
        const bool rangeRefused = read->part->offset() > 0 && read->request->responseCode() == 416;
        if (read->refusal.isEmpty() || rangeRefused) {
            if (read->part->answer(PartAnswerOf(*read->request))
                == DownloadPart::Outcome::AskAgain) {
                read->refusal.clear();
                read->request->setHeaderText(read->headerText);
                read->request->setRange({});
                read->request->start();
                return;
            }
        }
        if (!read->refusal.isEmpty()) {
            read->request->cancel();
            finish(propertyName, 0, {});
            return;
        }
        read->fileOpen = read->part->openBody(propertyName);
        if (!read->fileOpen) {
            read->writeError = read->part->body().errorText();
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
            BodyFile &file = read->part->body();
            if (!file.write(data)) {
                read->writeError = file.errorText();
                read->request->cancel();
                finish(propertyName, 0, {});
                return;
            }
            Q_EMIT activity(propertyName);
            // A continued answer counts the whole document, part included.
            const qint64 total = qMax<qint64>(0, read->part->total());
            if (total != 0)
                Q_EMIT progress(file.size(), total, propertyName);
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
    result.received = read->part->body().size();
    const qint64 announced = read->fileOpen ? read->part->total() : -1;
    if (!read->refusal.isEmpty()) {
        result.failure = read->refusal;
        result.final = true;
    } else if (!read->writeError.isEmpty()) {
        result.failure = read->writeError;
        result.final = true;
    } else if (curlCode != 0) {
        // Failed in transport: the owner's fallback runs, and continues what
        // came when it can.
        result.failure = message;
        result.part = read->part;
    } else if (announced > 0 && read->request->excessData()) {
        result.failure
            = QStringLiteral("more bytes than the announced ") + QString::number(announced);
        result.final = true;
    } else if (announced > 0 && result.received == announced) {
        result.total = announced;
        result.body = &read->part->body();
        result.part = read->part;
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
