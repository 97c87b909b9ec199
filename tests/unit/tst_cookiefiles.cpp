#include "TestEnvironment.h"
#include "platform/CookieFiles.h"
#include "platform/CookieJar.h"

#include <QBuffer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A pipe that never ends: `pattern` again and again, as /dev/zero gives
// zeros.
class EndlessDevice final : public QIODevice
{
public:
    explicit EndlessDevice(QByteArray pattern) : m_pattern(std::move(pattern))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 delivered() const { return m_delivered; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        for (qint64 i = 0; i < maxSize; ++i)
            data[i] = m_pattern.at((m_delivered + i) % m_pattern.size());
        m_delivered += maxSize;
        return maxSize;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_pattern;
    qint64 m_delivered = 0;
};

} // namespace

class tst_CookieFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void netscapeLines_data();
    void netscapeLines();
    void netscapeCookiesGoWhereTheBrowserSendsThem();
    void sizeLimits_data();
    void sizeLimits();
    void bigFilesAreRefusedUnread();
    void browserDatabaseIsReadWithoutWriting();
    void missingFiles();
};

void tst_CookieFiles::netscapeLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // name=value@domain path secure httponly session
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("expired");
    const QByteArray future = QByteArray::number(QDateTime::currentSecsSinceEpoch() + 3600);
    QTest::newRow("host-only session cookie")
        << QByteArray("example.com\tFALSE\t/\tFALSE\t0\tsid\tabc\n")
        << QStringLiteral("sid=abc@example.com / 0 0 1") << 0 << 0;
    QTest::newRow("domain cookie with expiry, CR LF")
        << QByteArray(".example.com\tTRUE\t/docs\tTRUE\t" + future + "\tk\tv\r\n")
        << QStringLiteral("k=v@.example.com /docs 1 0 0") << 0 << 0;
    QTest::newRow("HttpOnly prefix is not a comment")
        << QByteArray("#HttpOnly_example.com\tFALSE\t/\tFALSE\t0\th\t1\n")
        << QStringLiteral("h=1@example.com / 0 1 1") << 0 << 0;
    QTest::newRow("comments, blank lines and an expired cookie are skipped quietly")
        << QByteArray("# Netscape HTTP Cookie File\n\n \nexample.com\tFALSE\t/\tFALSE\t1\told\t1\n")
        << QString() << 0 << 1;
    QTest::newRow("malformed lines are counted")
        << QByteArray("example.com\tFALSE\t/\tFALSE\tsoon\ta\t1\nexample.com\tFALSE\t/\n"
                      ".\tTRUE\t/\tFALSE\t0\tb\t2\nexample.com\tFALSE\t/\tFALSE\t0\t\tv\n")
        << QString() << 4 << 0;
    QTest::newRow("tab inside the value field keeps the line out")
        << QByteArray("example.com\tFALSE\t/\tFALSE\t0\tn\tv\textra\n") << QString() << 1 << 0;
    // A CR or NUL would end or cut the Cookie header: the server would read
    // "X-Injected: yes" as a header of its own.
    QTest::newRow("control characters in a name or value")
        << QByteArrayLiteral("a.test\tFALSE\t/\tFALSE\t0\tcr\tv\rX-Injected: yes\n"
                             "a.test\tFALSE\t/\tFALSE\t0\tnul\tv\0rest\n"
                             "a.test\tFALSE\t/\tFALSE\t0\tl\x01"
                             "f\tv\n"
                             "a.test\tFALSE\t/\tFALSE\t0\tdel\tv\x7f\n"
                             "a.test\tFALSE\t/\tFALSE\t0\tok\tv w\r\n")
        << QStringLiteral("ok=v w@a.test / 0 0 1") << 4 << 0;
}

void tst_CookieFiles::netscapeLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    QFETCH(int, skipped);
    QFETCH(int, expired);
    const CookieFileResult result = ParseNetscapeCookies(text);
    QStringList got;
    for (const QNetworkCookie &c : result.cookies)
        got << QStringLiteral("%1=%2@%3 %4 %5 %6 %7")
                   .arg(QString::fromUtf8(c.name()), QString::fromUtf8(c.value()), c.domain(),
                       c.path())
                   .arg(int(c.isSecure()))
                   .arg(int(c.isHttpOnly()))
                   .arg(int(c.isSessionCookie()));
    QCOMPARE(got.join(QLatin1Char('|')), expected);
    QCOMPARE(result.skippedLines, skipped);
    QCOMPARE(result.expiredCookies, expired);
    QVERIFY(result.error.isEmpty());
}

void tst_CookieFiles::netscapeCookiesGoWhereTheBrowserSendsThem()
{
    CookieJar jar;
    const CookieFileResult file = ParseNetscapeCookies("example.com\tFALSE\t/\tFALSE\t0\thost\t1\n"
                                                       ".example.com\tTRUE\t/\tFALSE\t0\tdom\t2\n"
                                                       "127.0.0.1\tFALSE\t/\tTRUE\t0\tsec\t3\n"
                                                       "example.org\tFALSE\t/\tTRUE\t0\tsec\t4\n");
    for (const QNetworkCookie &c : file.cookies)
        QVERIFY(jar.insertCookie(c));
    QCOMPARE(jar.cookieHeaderFor(QUrl(QStringLiteral("http://example.com/a"))),
        QByteArray("host=1; dom=2"));
    // A host-only cookie stays with its host; the domain cookie reaches subdomains.
    QCOMPARE(
        jar.cookieHeaderFor(QUrl(QStringLiteral("http://www.example.com/"))), QByteArray("dom=2"));
    // Loopback counts as secure over plain http, as in the browser; another
    // host does not.
    QCOMPARE(
        jar.cookieHeaderFor(QUrl(QStringLiteral("http://127.0.0.1:8080/"))), QByteArray("sec=3"));
    QCOMPARE(jar.cookieHeaderFor(QUrl(QStringLiteral("http://localhost/"))), QByteArray());
    QCOMPARE(jar.cookieHeaderFor(QUrl(QStringLiteral("http://example.org/"))), QByteArray());
    QCOMPARE(
        jar.cookieHeaderFor(QUrl(QStringLiteral("https://example.org/"))), QByteArray("sec=4"));
}

void tst_CookieFiles::sizeLimits_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("endless"); // the text repeats for ever, as from a pipe
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("cookies");

    // Limits of 1000 bytes a file and 100 a line; this line is 100 long.
    const QByteArray start = "a.test\tFALSE\t/\tFALSE\t0\tn\t";
    const QByteArray line = start + QByteArray(100 - start.size(), 'v');
    const QByteArray comment = "#" + QByteArray(98, 'c') + "\n"; // 100 bytes with its LF
    QTest::newRow("line at the limit") << "# first\n" + line + "\r\n" << false << QString() << 1;
    QTest::newRow("line one byte over")
        << "# first\n" + line + "v\n"
        << false << QStringLiteral("line 2 is longer than 100 bytes") << 0;
    QTest::newRow("file at the limit") << comment.repeated(9) + line.left(99) + "\n"
                                       << false << QString() << 1;
    QTest::newRow("file one byte over")
        << comment.repeated(9) + line + "\n"
        << false << QStringLiteral("the file is larger than 1000 bytes") << 0;
    QTest::newRow("endless zeros")
        << QByteArray(1, '\0') << true << QStringLiteral("line 1 is longer than 100 bytes") << 0;
    QTest::newRow("endless short lines")
        << QByteArray("# x\n") << true << QStringLiteral("the file is larger than 1000 bytes") << 0;
}

void tst_CookieFiles::sizeLimits()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, endless);
    QFETCH(QString, error);
    QFETCH(int, cookies);

    CookieFileLimits limits;
    limits.maxFileBytes = 1000;
    limits.maxLineBytes = 100;
    CookieFileResult result;
    if (endless) {
        EndlessDevice pipe(text);
        result = ReadNetscapeCookies(pipe, limits);
        // Read in pieces up to the limit, never on and on.
        QVERIFY2(pipe.delivered() < 100000, QByteArray::number(pipe.delivered()).constData());
    } else {
        QBuffer file(&text);
        QVERIFY(file.open(QIODevice::ReadOnly));
        result = ReadNetscapeCookies(file, limits);
    }
    QCOMPARE(result.error, error);
    QCOMPARE(result.cookies.size(), cookies);
}

void tst_CookieFiles::bigFilesAreRefusedUnread()
{
    // The real limits: 64 MiB a file (this one is sparse: nothing to read
    // before the size refuses it) and 64 KiB a line.
    QTemporaryDir dir;
    QFile big(dir.filePath(QStringLiteral("big.txt")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(64 * 1024 * 1024 + 1));
    big.close();
    CookieFileResult result = ReadNetscapeCookieFile(big.fileName());
    QCOMPARE(result.error, QStringLiteral("the file is larger than 64 MiB"));

    result = ReadNetscapeCookieFile(QStringLiteral("/dev/zero"));
    QCOMPARE(result.error, QStringLiteral("line 1 is longer than 64 KiB"));
    QVERIFY(result.cookies.isEmpty());
}

void tst_CookieFiles::browserDatabaseIsReadWithoutWriting()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Cookies"));
    {
        QSqlDatabase db
            = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        // The browser's own table, as its cookie store writes it.
        QVERIFY(q.exec(QStringLiteral(
            "CREATE TABLE cookies(creation_utc INTEGER NOT NULL,host_key TEXT NOT NULL,"
            "top_frame_site_key TEXT NOT NULL,name TEXT NOT NULL,value TEXT NOT NULL,"
            "encrypted_value BLOB NOT NULL,path TEXT NOT NULL,expires_utc INTEGER NOT NULL,"
            "is_secure INTEGER NOT NULL,is_httponly INTEGER NOT NULL,last_access_utc INTEGER NOT "
            "NULL,has_expires INTEGER NOT NULL,is_persistent INTEGER NOT NULL,priority INTEGER NOT "
            "NULL,samesite INTEGER NOT NULL,source_scheme INTEGER NOT NULL,source_port INTEGER NOT "
            "NULL,is_same_party INTEGER NOT NULL)")));
        const qint64 future
            = (QDateTime::currentMSecsSinceEpoch() + 3600000 + 11644473600000LL) * 1000;
        const qint64 past
            = (QDateTime::currentMSecsSinceEpoch() - 3600000 + 11644473600000LL) * 1000;
        const auto add = [&](const QString &host, const QString &name, const QString &cookiePath,
                             qint64 expires, int secure, int httpOnly) {
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral(
                "INSERT INTO cookies VALUES(0,?,'',?,'v',x'',?,?,?,?,0,?,1,1,-1,1,80,0)"));
            insert.addBindValue(host);
            insert.addBindValue(name);
            insert.addBindValue(cookiePath);
            insert.addBindValue(expires);
            insert.addBindValue(secure);
            insert.addBindValue(httpOnly);
            insert.addBindValue(expires != 0 ? 1 : 0);
            QVERIFY(insert.exec());
        };
        add(QStringLiteral("127.0.0.1"), QStringLiteral("session"), QStringLiteral("/"), 0, 0, 1);
        add(QStringLiteral(".example.com"), QStringLiteral("kept"), QStringLiteral("/docs"), future,
            1, 0);
        add(QStringLiteral("example.com"), QStringLiteral("expired"), QStringLiteral("/"), past, 0,
            0);
        // A value the browser encrypted is empty in "value": no use here. An
        // empty value stored as such is a cookie like any other.
        QVERIFY(q.exec(QStringLiteral("INSERT INTO cookies VALUES(0,'example.com','','encrypted',"
                                      "'',x'763130a1b2c3',"
                                      "'/',0,0,0,0,0,1,1,-1,1,80,0)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO cookies VALUES(0,'example.com','','empty','',"
                                      "x'','/',0,0,0,0,0,1,1,-1,1,80,0)")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("make"));
    const QDateTime before = QFileInfo(path).lastModified();

    const CookieFileResult result = ReadBrowserCookieDatabase(path);
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.cookies.size(), 3);
    QCOMPARE(result.cookies.at(0).name(), QByteArray("session"));
    QCOMPARE(result.cookies.at(0).domain(), QStringLiteral("127.0.0.1"));
    QVERIFY(result.cookies.at(0).isSessionCookie());
    QVERIFY(result.cookies.at(0).isHttpOnly());
    QCOMPARE(result.cookies.at(1).domain(), QStringLiteral(".example.com"));
    QCOMPARE(result.cookies.at(1).path(), QStringLiteral("/docs"));
    QVERIFY(result.cookies.at(1).isSecure());
    QVERIFY(!result.cookies.at(1).isSessionCookie());
    QVERIFY(qAbs(result.cookies.at(1).expirationDate().secsTo(
                QDateTime::currentDateTimeUtc().addSecs(3600)))
        < 5);
    QCOMPARE(result.cookies.at(2).name(), QByteArray("empty"));
    QVERIFY(result.cookies.at(2).value().isEmpty());
    QCOMPARE(QFileInfo(path).lastModified(), before);
    QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
}

void tst_CookieFiles::missingFiles()
{
    QTemporaryDir dir;
    // A profile that never stored a cookie has no database: nothing to read.
    const CookieFileResult db = ReadBrowserCookieDatabase(dir.filePath(QStringLiteral("Cookies")));
    QVERIFY(db.cookies.isEmpty());
    QVERIFY(db.error.isEmpty());
    const CookieFileResult file
        = ReadNetscapeCookieFile(dir.filePath(QStringLiteral("cookies.txt")));
    QVERIFY(file.cookies.isEmpty());
    QVERIFY(!file.error.isEmpty());
}

QTEST_GUILESS_MAIN(tst_CookieFiles)
#include "tst_cookiefiles.moc"
