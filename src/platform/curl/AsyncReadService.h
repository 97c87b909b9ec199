#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class CookieJar;
class CurlRequest;
class QTemporaryFile;

// The asynchronous read service: reads an address into a file in the
// background, named by a property name (the target path). The body streams
// into a short-named temporary file beside the target, so memory does not
// grow with the file; the owner moves it into place on completion.
class AsyncReadService : public QObject
{
    Q_OBJECT
public:
    explicit AsyncReadService(CookieJar *jar = nullptr, QObject *parent = nullptr);
    ~AsyncReadService() override;

    // Starts a read; always a fresh download, never a cached copy. A read of
    // the same name still running is cancelled first.
    void startRead(const QString &url, const QString &propertyName, const QString &headerText = {});
    // Stops every read of this service; no completion follows.
    void cancelAll();
    int runningReads() const { return int(m_reads.size()); }

Q_SIGNALS:
    // total is the announced size, 0 when none was announced.
    void progress(qint64 bytesRead, qint64 total, const QString &propertyName);
    // The read ended. total is the announced size (0 when none was announced
    // or nothing usable arrived); bodyPath names the temporary file holding
    // what arrived, valid during the signal only (empty when nothing could be
    // written). received is the number of bytes in it; more than total when
    // the server sent more than it announced (the excess was dropped).
    void completed(qint64 total, qint64 received, const QString &bodyPath,
        const QString &propertyName, const QString &url);

private:
    struct Read;
    void finish(const QString &name, int curlCode);

    CookieJar *m_jar;
    QHash<QString, Read *> m_reads;
};
