#include "platform/curl/AsyncReadService.h"

#include "common/PartFile.h"
#include "platform/curl/CurlRequest.h"

#include <QTemporaryFile>

#include <memory>

struct AsyncReadService::Read
{
    std::unique_ptr<CurlRequest> request;
    std::unique_ptr<QTemporaryFile> file;
    QString url;
    qint64 received = 0;
    bool writeFailed = false;
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
    read->file = createPartFile(propertyName);
    read->request = std::make_unique<CurlRequest>();
    CurlRequest *request = read->request.get();
    if (m_jar)
        request->setCookieJar(m_jar);
    request->setUrl(url);
    request->setMethod(QByteArrayLiteral("GET"));
    request->setHeaderText(headerText);
    m_reads.insert(propertyName, read);

    connect(request, &CurlRequest::dataReceived, this,
        [this, read, propertyName](const QByteArray &data) {
            if (!read->file || read->file->write(data) != data.size()) {
                read->writeFailed = true;
                return;
            }
            read->received += data.size();
            const qint64 total = qMax<qint64>(0, read->request->contentLength());
            if (total != 0)
                Q_EMIT progress(read->received, total, propertyName);
        });
    connect(request, &CurlRequest::finished, this,
        [this, propertyName](int curlCode, const QString &) { finish(propertyName, curlCode); });
    request->start();
}

void AsyncReadService::finish(const QString &name, int curlCode)
{
    std::unique_ptr<Read> read(m_reads.take(name));
    if (!read)
        return;
    // A read that failed in transport delivered nothing usable: total 0
    // sends the owner to its fallback.
    const qint64 announced = read->request->contentLength();
    const qint64 total = curlCode == 0 && announced > 0 ? announced : 0;
    const qint64 received
        = read->request->excessData() ? qMax(read->received, total) + 1 : read->received;
    // The request is still on the stack of its own signal; free it once that
    // has returned.
    read->request.release()->deleteLater();
    QString bodyPath;
    if (read->file && !read->writeFailed && read->file->flush())
        bodyPath = read->file->fileName();
    Q_EMIT completed(total, received, bodyPath, name, read->url);
}

void AsyncReadService::cancelAll()
{
    const auto reads = std::exchange(m_reads, {});
    for (Read *read : reads) {
        read->request->cancel();
        delete read;
    }
}
