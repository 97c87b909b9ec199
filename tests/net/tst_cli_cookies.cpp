#include "FixtureServer.h"
#include "TestEnvironment.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

// "download --cookies FILE" end to end: what reaches the server from a
// cookie file, and which files are refused before anything is sent.
class tst_CliCookies : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cookieFile_data();
    void cookieFile();

private:
    FixtureServer m_server;
};

void tst_CliCookies::initTestCase()
{
    useTestLocations();
    QVERIFY(m_server.listen());
    m_server.route("/paper.pdf", FixtureServer::Response::pattern(3000, "application/pdf"));
}

void tst_CliCookies::cookieFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("path"); // instead of a file with the content
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // on standard error
    QTest::addColumn<QByteArray>("cookieHeader"); // "-": nothing was requested

    QTest::newRow("control characters and parts of the address")
        << QByteArrayLiteral("127.0.0.1\tFALSE\t/\tFALSE\t0\tgood\t1\n"
                             "127.0.0.1\tFALSE\t/\tFALSE\t0\tcr\tv\rX-Injected: yes\n"
                             "127.0.0.1\tFALSE\t/\tFALSE\t0\tnul\tv\0rest\n"
                             ".1\tTRUE\t/\tFALSE\t0\tlastbyte\t1\n"
                             ".0.0.1\tTRUE\t/\tFALSE\t0\tlastbytes\t1\n")
        << QString() << 0 << QString() << QByteArray("good=1");
    QTest::newRow("no valid cookie line")
        << QByteArray("# Netscape HTTP Cookie File\nnot a cookie\n") << QString() << 0
        << QStringLiteral("no valid cookie line found (1 lines not cookies, 0 cookies expired)")
        << QByteArray();
    QTest::newRow("over 64 MiB") << QByteArray() << QStringLiteral("sparse") << 2
                                 << QStringLiteral("the file is larger than 64 MiB")
                                 << QByteArray("-");
    QTest::newRow("a device without end")
        << QByteArray() << QStringLiteral("/dev/zero") << 2
        << QStringLiteral("/dev/zero: line 1 is longer than 64 KiB") << QByteArray("-");
}

void tst_CliCookies::cookieFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, path);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QByteArray, cookieHeader);

    QTemporaryDir home;
    QString cookies = path;
    if (path.isEmpty() || path == QLatin1String("sparse")) {
        cookies = home.filePath(QStringLiteral("cookies.txt"));
        QFile file(cookies);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        // Nothing to write: a hole of 64 MiB and one byte.
        if (path == QLatin1String("sparse"))
            QVERIFY(file.resize(64 * 1024 * 1024 + 1));
    }

    m_server.clearLog();
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    cli.setProcessEnvironment(env);
#if !defined(__SANITIZE_ADDRESS__)
    // A reader that keeps everything of an endless file fails at this limit
    // in a moment, instead of taking the machine's memory.
    cli.setChildProcessModifier([] {
        const rlimit limit { 1024L * 1024 * 1024, 1024L * 1024 * 1024 };
        ::setrlimit(RLIMIT_AS, &limit);
    });
#endif
    QSignalSpy finished(&cli, &QProcess::finished);
    cli.start(QStringLiteral(QUILLMOOR_CLI_PATH),
        { QStringLiteral("download"), QStringLiteral("--cookies"), cookies, QStringLiteral("--to"),
            home.filePath(QStringLiteral("out")), QStringLiteral("--report"),
            home.filePath(QStringLiteral("report.tsv")),
            m_server.urlText(QStringLiteral("/paper.pdf")) });
    // The server in this process answers: the event loop keeps running.
    QVERIFY(finished.wait(60000));
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QVERIFY2(cli.exitCode() == exitCode, qPrintable(err));
    QVERIFY2(err.contains(message), qPrintable(err));
    if (cookieHeader == "-") {
        QVERIFY(m_server.requests().isEmpty());
        return;
    }
    QCOMPARE(m_server.requests().size(), 1);
    const FixtureServer::Request request = m_server.requests().first();
    QCOMPARE(request.header("Cookie"), cookieHeader);
    for (const QByteArray &line : request.headerLines)
        QVERIFY2(!line.startsWith("X-Injected"), line.constData());
}

QTEST_GUILESS_MAIN(tst_CliCookies)
#include "tst_cli_cookies.moc"
