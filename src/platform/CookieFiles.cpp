#include "CookieFiles.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <algorithm>
#include <array>

namespace {

// The browser counts time in microseconds since 1601-01-01 UTC.
constexpr qint64 kMsecsFrom1601To1970 = 11644473600000LL;

QDateTime fromBrowserTime(qint64 microseconds)
{
    return QDateTime::fromMSecsSinceEpoch(microseconds / 1000 - kMsecsFrom1601To1970, Qt::UTC);
}

// QNetworkCookie marks a domain cookie by a leading dot; a domain without
// one matches that host alone, as the browser's host-only cookies do.
QString cookieDomain(const QString &domain, bool includeSubdomains)
{
    QString bare = domain;
    while (bare.startsWith(QLatin1Char('.')))
        bare.remove(0, 1);
    return includeSubdomains ? QLatin1Char('.') + bare : bare;
}

} // namespace

CookieFileResult ReadBrowserCookieDatabase(const QString &path)
{
    CookieFileResult result;
    if (!QFileInfo(path).isFile())
        return result;

    const QString connection = QStringLiteral("browser-cookies-") + QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        if (!db.isValid()) {
            result.error = QStringLiteral("no SQLite driver for Qt");
        } else {
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
            if (!db.open()) {
                result.error = db.lastError().text();
            } else {
                QSqlQuery query(db);
                if (!query.exec(QStringLiteral(
                        "SELECT host_key, name, value, path, expires_utc, is_secure, is_httponly,"
                        " has_expires, length(encrypted_value) FROM cookies"))) {
                    result.error = query.lastError().text();
                }
                const QDateTime now = QDateTime::currentDateTimeUtc();
                while (query.next()) {
                    const QString host = query.value(0).toString();
                    QNetworkCookie cookie(
                        query.value(1).toString().toUtf8(), query.value(2).toString().toUtf8());
                    cookie.setDomain(cookieDomain(host, host.startsWith(QLatin1Char('.'))));
                    cookie.setPath(query.value(3).toString());
                    cookie.setSecure(query.value(5).toBool());
                    cookie.setHttpOnly(query.value(6).toBool());
                    if (query.value(7).toBool()) {
                        const QDateTime expiry = fromBrowserTime(query.value(4).toLongLong());
                        if (expiry <= now)
                            continue;
                        cookie.setExpirationDate(expiry);
                    }
                    // Values the browser stored encrypted are empty here; such a
                    // cookie would only replace the real one with nothing.
                    if (cookie.value().isEmpty() && query.value(8).toLongLong() > 0)
                        continue;
                    result.cookies.append(cookie);
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return result;
}

namespace {

bool hasControlCharacter(QByteArrayView field)
{
    return std::any_of(field.cbegin(), field.cend(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

bool isTrue(QByteArrayView field)
{
    return field.trimmed().compare("TRUE", Qt::CaseInsensitive) == 0;
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

// One line of a Netscape cookie file, without its line end. Read in place:
// a big file costs the cookies it holds and no copies of its lines.
void takeNetscapeLine(QByteArrayView line, const QDateTime &now, CookieFileResult &result)
{
    bool httpOnly = false;
    const QByteArrayView httpOnlyPrefix("#HttpOnly_");
    if (line.startsWith(httpOnlyPrefix)) {
        httpOnly = true;
        line = line.sliced(httpOnlyPrefix.size());
    } else if (line.trimmed().isEmpty() || line.startsWith('#')) {
        return;
    }
    // Seven tab-separated fields, no more and no fewer.
    std::array<QByteArrayView, 7> fields;
    qsizetype count = 0;
    for (qsizetype start = 0; count <= qsizetype(fields.size());) {
        const qsizetype tab = line.indexOf('\t', start);
        const qsizetype end = tab < 0 ? line.size() : tab;
        if (count < qsizetype(fields.size()))
            fields[count] = line.sliced(start, end - start);
        ++count;
        if (tab < 0)
            break;
        start = tab + 1;
    }
    bool expiryOk = false;
    const qint64 expiry = count == 7 ? fields[4].trimmed().toLongLong(&expiryOk) : 0;
    const QByteArrayView domain = fields[0].trimmed();
    if (count != 7 || !expiryOk || domain.isEmpty() || domain == "." || fields[5].isEmpty()
        || std::any_of(fields.cbegin(), fields.cend(), hasControlCharacter)) {
        ++result.skippedLines;
        return;
    }
    if (expiry > 0 && QDateTime::fromSecsSinceEpoch(expiry, Qt::UTC) <= now) {
        ++result.expiredCookies;
        return;
    }
    QNetworkCookie cookie(fields[5].toByteArray(), fields[6].toByteArray());
    cookie.setDomain(cookieDomain(QString::fromUtf8(domain), isTrue(fields[1])));
    cookie.setPath(fields[2].isEmpty() ? QStringLiteral("/") : QString::fromUtf8(fields[2]));
    cookie.setSecure(isTrue(fields[3]));
    cookie.setHttpOnly(httpOnly);
    if (expiry > 0)
        cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(expiry, Qt::UTC));
    result.cookies.append(cookie);
}

CookieFileResult refused(const QString &why)
{
    CookieFileResult result;
    result.error = why;
    return result;
}

} // namespace

CookieFileResult ReadNetscapeCookies(QIODevice &device, const CookieFileLimits &limits)
{
    const QString tooBig
        = QStringLiteral("the file is larger than %1").arg(sizeText(limits.maxFileBytes));
    // A file says its size; a pipe or a device is counted while it is read.
    if (!device.isSequential() && device.size() > limits.maxFileBytes)
        return refused(tooBig);

    CookieFileResult result;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Room for the longest line allowed, its CR LF and the final NUL: a read
    // that fills it has found a longer line.
    QByteArray buffer(limits.maxLineBytes + 3, Qt::Uninitialized);
    qint64 total = 0;
    int lineNumber = 0;
    for (;;) {
        const qint64 length = device.readLine(buffer.data(), buffer.size());
        if (length <= 0)
            break;
        ++lineNumber;
        total += length;
        if (total > limits.maxFileBytes)
            return refused(tooBig);
        QByteArrayView line(buffer.constData(), length);
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > limits.maxLineBytes) {
            return refused(QStringLiteral("line %1 is longer than %2")
                               .arg(lineNumber)
                               .arg(sizeText(limits.maxLineBytes)));
        }
        takeNetscapeLine(line, now, result);
    }
    return result;
}

CookieFileResult ParseNetscapeCookies(const QByteArray &text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return ReadNetscapeCookies(buffer);
}

CookieFileResult ReadNetscapeCookieFile(const QString &path, const CookieFileLimits &limits)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(file.errorString());
    CookieFileResult result = ReadNetscapeCookies(file, limits);
    if (result.error.isEmpty() && file.error() != QFileDevice::NoError)
        return refused(file.errorString());
    return result;
}
