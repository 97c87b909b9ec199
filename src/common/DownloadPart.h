#pragma once

#include "common/SafeFiles.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

class Clock;

// Resuming a cut download. A body grows in an unnamed file (BodyFile) and
// costs nothing extra while all goes well. Only when a transfer ends without
// placing its file, and the answer can be continued (it announced its length,
// came without a Content-Encoding and named an ETag or Last-Modified), the
// body is kept in the target folder as `.quillmoor-<hash of the address>.part`
// beside a small `.part.json` naming the address, the whole length and the
// validator. The next download of that address into that folder asks for the
// rest with Range and If-Range, and appends only when the server sends
// exactly the rest of the same document; anything else starts from zero.
//
// Row names never begin with a dot (CleanFileName drops leading dots), so a
// part's name can never be a row's file name.

// The facts of a final answer that decide what happens to a kept part.
struct PartAnswer
{
    int status = 0;
    QByteArray contentRange;
    QByteArray contentLength;
    QByteArray contentEncoding;
    QByteArray etag;
    QByteArray lastModified;
};

class DownloadPart
{
public:
    DownloadPart() = default;
    // Keeps what can be continued (see keepOrDrop()).
    ~DownloadPart();
    DownloadPart(const DownloadPart &) = delete;
    DownloadPart &operator=(const DownloadPart &) = delete;

    // The hidden part name of an address in a folder, and its sidecar.
    static QString partPath(const QString &folder, const QString &url);
    static QString sidecarPath(const QString &partPath);

    // Looks for a part of `url` kept in `folder` and takes it up, locked.
    // Answers the byte count to continue from, 0 when there is none.
    qint64 prepare(const QString &folder, const QString &url);
    // A new request of the same run follows a cut: it continues what came
    // when that can be continued, else starts from zero. Answers the offset.
    qint64 continueAfterCut();
    // The byte count the request asks to continue from (0: a plain request).
    qint64 offset() const { return m_offset; }
    // "N-" for CURLOPT_RANGE, empty when nothing is continued.
    QByteArray range() const;
    // Request header lines (each ended by CR LF) that go with the range.
    QString requestHeaders() const;

    enum class Outcome {
        Continues, // a 206 with the rest of the same document: appends
        StartsOver, // a whole answer: the part is emptied, the body is new
        AskAgain // unusable for the part (another range, another total):
                 // the part is emptied; ask again without a range
    };
    // The final answer's headers arrived. A refused answer (an error status)
    // should not be passed here: the part stays as it was then.
    Outcome answer(const PartAnswer &facts);
    // The whole length of the document: the Content-Range total when the
    // answer continues, else the Content-Length (-1 when none).
    qint64 total() const { return m_total; }

    // The body: opened in the target's folder when no part was taken up.
    bool openBody(const QString &targetPath);
    BodyFile &body() { return m_body; }

    // The transfer ends without placing the body: it stays as the part when
    // the answer can be continued and some but not all of it came; otherwise
    // it and any part of the address go.
    void keepOrDrop();
    // Drops the body and the part, whatever came.
    void drop();
    // The body got its name: the part's sidecar goes too.
    void placed();

private:
    void removeSidecar();
    bool writeSidecar(const QString &part) const;

    BodyFile m_body;
    QString m_url;
    QString m_folder;
    QString m_adopted; // the part taken up, while the body is that file
    qint64 m_offset = 0;
    QByteArray m_validator;
    qint64 m_total = -1;
    bool m_continuable = false;
};

// Removes the parts (and their sidecars) in `folder` that are older than
// seven days by the clock's wall time. Only plain files whose names match the
// part pattern are touched; links are never followed. Answers how many files
// went.
int RemoveStaleParts(const QString &folder, const Clock &clock);

// Removes the part of an address in a folder, unless a transfer holds it.
void RemovePartOf(const QString &folder, const QString &url);
// The same for many (folder, address) pairs: each folder is read once, and
// only addresses whose part is there cost more (a long list clears fast).
void RemovePartsOf(const QList<std::pair<QString, QString>> &folderAndUrl);
