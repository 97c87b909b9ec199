#include "FixtureServer.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Runs quillmoor-cli against quillmoor-fixture-site, both as real processes.
class TestCliDownload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void downloadsList_data();
    void downloadsList();
    void inputFileWithTitles();
    void badUsage_data();
    void badUsage();

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Run runCli(const QStringList &arguments, const QByteArray &stdinData = {});

    QTemporaryDir m_root;
    QTemporaryDir m_home;
    QProcess m_site;
    QString m_base;
};

TestCliDownload::Run TestCliDownload::runCli(
    const QStringList &arguments, const QByteArray &stdinData)
{
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The stored settings of this run live in a folder of the test's own.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("HOME"), m_home.path());
    cli.setProcessEnvironment(env);
    cli.start(
        QStringLiteral(QUILLMOOR_CLI_PATH), QStringList { QStringLiteral("download") } + arguments);
    if (!cli.waitForStarted())
        return {};
    if (!stdinData.isEmpty())
        cli.write(stdinData);
    cli.closeWriteChannel();
    if (!cli.waitForFinished(60000)) {
        cli.kill();
        return {};
    }
    return { cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1,
        cli.readAllStandardOutput(), cli.readAllStandardError() };
}

void TestCliDownload::initTestCase()
{
    useTestLocations();
    QFile file(m_root.filePath(QStringLiteral("paper.pdf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(FixtureServer::patternBytes(0, 250000));
    file.close();
    const QString portFile = m_root.filePath(QStringLiteral("port"));
    m_site.start(QStringLiteral(QUILLMOOR_FIXTURE_SITE_PATH),
        { QStringLiteral("--root"), m_root.path(), QStringLiteral("--port-file"), portFile });
    QVERIFY(m_site.waitForStarted());
    QVERIFY(m_site.waitForReadyRead(10000));
    m_base = QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(m_site.readLine().trimmed());
}

void TestCliDownload::cleanupTestCase()
{
    m_site.terminate();
    m_site.waitForFinished(10000);
}

void TestCliDownload::downloadsList_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("one connection")
        << QStringList { QStringLiteral("--method"), QStringLiteral("1") };
    QTest::newRow("three connections") << QStringList { QStringLiteral("--method"),
        QStringLiteral("2"), QStringLiteral("--connections"), QStringLiteral("3") };
}

void TestCliDownload::downloadsList()
{
    QFETCH(QStringList, options);
    QTemporaryDir out;
    const QString report = out.filePath(QStringLiteral("report.tsv"));
    const QString folder = out.filePath(QStringLiteral("papers"));
    QStringList args = options;
    args << QStringLiteral("--to") << folder << QStringLiteral("--report") << report
         << QStringLiteral("--policy") << QStringLiteral("rename")
         << m_base + QStringLiteral("/paper.pdf") << m_base + QStringLiteral("/chunked/70001")
         << m_base + QStringLiteral("/html/login")
         << QStringLiteral("http://127.0.0.1:9/unreachable.pdf");
    const Run run = runCli(args);
    QCOMPARE(run.exitCode, 1); // one row failed

    QFile reportFile(report);
    QVERIFY(reportFile.open(QIODevice::ReadOnly));
    const QStringList lines
        = QString::fromUtf8(reportFile.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    const QString saved = folder + QLatin1Char('/');
    QCOMPARE(lines.at(0),
        QStringLiteral("paper\tpdf\t250000\t250000\t100%\t") + saved + QStringLiteral("\t3"));
    QCOMPARE(lines.at(1).section(QLatin1Char('\t'), 2, 6),
        QStringLiteral("70001\t70001\t100%\t") + saved + QStringLiteral("\t3"));
    QCOMPARE(lines.at(2).section(QLatin1Char('\t'), 1, 1), QStringLiteral("htm"));
    QVERIFY(lines.at(3).endsWith(QStringLiteral("\t4")));

    QFile paper(saved + QStringLiteral("paper.pdf"));
    QVERIFY(paper.open(QIODevice::ReadOnly));
    QCOMPARE(paper.readAll(), FixtureServer::patternBytes(0, 250000));
    QVERIFY(QFile::exists(saved + QStringLiteral("login.htm")));
    QCOMPARE(QDir(saved).entryList({ QStringLiteral(".qm-*") }, QDir::Files | QDir::Hidden),
        QStringList());
}

void TestCliDownload::inputFileWithTitles()
{
    QTemporaryDir out;
    const QByteArray input = (m_base + QStringLiteral("/paper.pdf\t标题：副标题\n") + m_base
        + QStringLiteral("/paper.pdf\tignored duplicate\n\n") + m_base
        + QStringLiteral("/close/3000\n"))
                                 .toUtf8();
    const Run run = runCli({ QStringLiteral("--input"), QStringLiteral("-"), QStringLiteral("--to"),
                               out.path(), QStringLiteral("--report"), QStringLiteral("-") },
        input);
    QCOMPARE(run.exitCode, 0);
    const QStringList lines
        = QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2); // the same address is one row
    QCOMPARE(lines.at(0).section(QLatin1Char('\t'), 0, 0), QStringLiteral("标题副标题"));
    QVERIFY(QFile::exists(out.filePath(QStringLiteral("标题副标题.pdf"))));
    QCOMPARE(QFileInfo(out.filePath(lines.at(1).section(QLatin1Char('\t'), 0, 0) + QLatin1Char('.')
                           + lines.at(1).section(QLatin1Char('\t'), 1, 1)))
                 .size(),
        3000);
}

void TestCliDownload::badUsage_data()
{
    QTest::addColumn<QStringList>("args");
    const QString url = QStringLiteral("http://127.0.0.1:9/x.pdf");
    QTest::newRow("method 3") << QStringList { QStringLiteral("--method"), QStringLiteral("3"),
        url };
    QTest::newRow("seven connections")
        << QStringList { QStringLiteral("--connections"), QStringLiteral("7"), url };
    QTest::newRow("unknown policy")
        << QStringList { QStringLiteral("--policy"), QStringLiteral("keep"), url };
    QTest::newRow("proxy without port")
        << QStringList { QStringLiteral("--proxy"), QStringLiteral("localhost"), url };
    QTest::newRow("unknown option") << QStringList { QStringLiteral("--fast"), url };
    QTest::newRow("no addresses") << QStringList {};
    QTest::newRow("missing input file")
        << QStringList { QStringLiteral("--input"), QStringLiteral("/nonexistent/list.txt") };
}

void TestCliDownload::badUsage()
{
    QFETCH(QStringList, args);
    const Run run = runCli(args);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(run.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestCliDownload)
#include "tst_cli_download.moc"
