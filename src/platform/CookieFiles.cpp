#include "CookieFiles.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

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
                        " has_expires FROM cookies"))) {
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
                    if (cookie.name().isEmpty())
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

CookieFileResult ParseNetscapeCookies(const QByteArray &text)
{
    CookieFileResult result;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QList<QByteArray> lines = text.split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        bool httpOnly = false;
        static const QByteArray httpOnlyPrefix = "#HttpOnly_";
        if (line.startsWith(httpOnlyPrefix)) {
            httpOnly = true;
            line.remove(0, httpOnlyPrefix.size());
        } else if (line.trimmed().isEmpty() || line.startsWith('#')) {
            continue;
        }
        const QList<QByteArray> fields = line.split('\t');
        bool expiryOk = false;
        const qint64 expiry = fields.size() == 7 ? fields.at(4).trimmed().toLongLong(&expiryOk) : 0;
        const QByteArray domain = fields.value(0).trimmed();
        if (fields.size() != 7 || !expiryOk || domain.isEmpty() || domain == "."
            || fields.at(5).isEmpty()) {
            ++result.skippedLines;
            continue;
        }
        if (expiry > 0 && QDateTime::fromSecsSinceEpoch(expiry, Qt::UTC) <= now)
            continue;
        QNetworkCookie cookie(fields.at(5), fields.at(6));
        cookie.setDomain(cookieDomain(QString::fromUtf8(domain),
            fields.at(1).trimmed().compare("TRUE", Qt::CaseInsensitive) == 0));
        cookie.setPath(
            fields.at(2).isEmpty() ? QStringLiteral("/") : QString::fromUtf8(fields.at(2)));
        cookie.setSecure(fields.at(3).trimmed().compare("TRUE", Qt::CaseInsensitive) == 0);
        cookie.setHttpOnly(httpOnly);
        if (expiry > 0)
            cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(expiry, Qt::UTC));
        result.cookies.append(cookie);
    }
    return result;
}

CookieFileResult ReadNetscapeCookieFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CookieFileResult result;
        result.error = file.errorString();
        return result;
    }
    return ParseNetscapeCookies(file.readAll());
}
