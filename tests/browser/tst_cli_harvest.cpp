#include "BrowserTestMain.h"
#include "FixtureServer.h"
#include "LiteratureSite.h"
#include "common/Doi.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

// quillmoor-cli harvest end to end against the fixture site, which runs in
// this process: the waits keep its event loop going.
class tst_CliHarvest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void thisPageReport();
    void allPagesWithLimit();
    void downloadTheRows();
    void citationReports();
    void badUsageAndUnloadablePages_data();
    void badUsageAndUnloadablePages();
    void rootTurnsTheSandboxOff();
    void withoutTheBrowserProgram();

private:
    Run run(const QStringList &arguments, bool keepSandboxSetting = true,
        const QString &program = QStringLiteral(QUILLMOOR_CLI_PATH));
    QString url(const QString &path) const { return m_server.urlText(path); }

    FixtureServer m_server;
    QTemporaryDir m_dir;
};

void tst_CliHarvest::initTestCase()
{
    LiteratureSite::install(m_server);
    // A result whose title holds a backslash, a tab and a line break.
    m_server.route("/special",
        FixtureServer::Response::ok(
            "<html><body><ol id=\"results-list\"><li>"
            "<a href=\"/article/x\">A\\B<span style=\"white-space:pre\">&#9;</span>C<br>D</a>"
            "<a href=\"/content/pdf/x.pdf\">Download PDF</a></li>"
            "</ol></body></html>",
            "text/html"));
    QVERIFY(m_server.listen());
    QVERIFY(m_dir.isValid());
}

Run tst_CliHarvest::run(
    const QStringList &arguments, bool keepSandboxSetting, const QString &program)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The program's own profile, in a folder of this test.
    env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("home/data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("home/cache")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("home/config")));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (!keepSandboxSetting)
        env.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
    process.setProcessEnvironment(env);
    process.start(program, QStringList { QStringLiteral("harvest") } + arguments);
    Run result;
    if (!process.waitForStarted())
        return result;
    if (!runUntil([&] { return process.state() == QProcess::NotRunning; }, 120000))
        process.kill();
    process.waitForFinished();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void tst_CliHarvest::thisPageReport()
{
    const QString query = QStringLiteral("one page");
    const QString page = url(LiteratureSite::searchPath(query));
    const QString reportPath = m_dir.filePath(QStringLiteral("report.txt"));
    const Run r = run({ QStringLiteral("--report"), reportPath, page });
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.isEmpty());
    QFile report(reportPath);
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(report.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), LiteratureSite::ResultsPerPage - 1 + 1); // last line ends too
    QVERIFY(lines.last().isEmpty());
    const QStringList first = lines.first().split(QLatin1Char('\t'));
    QCOMPARE(first,
        QStringList({ LiteratureSite::resultTitle(query, 1, 0), QStringLiteral("pdf"), QString(),
            QString(), url(LiteratureSite::resultPdfPath(query, 1, 0)), page }));

    // Inside a field: \\, \t, \r, \n.
    const Run special = run({ url(QStringLiteral("/special")) });
    QCOMPARE(special.exitCode, 0);
    QCOMPARE(special.out,
        QByteArray("A\\\\B\\tC\\nD\tpdf\t\t\t") + url(QStringLiteral("/content/pdf/x.pdf")).toUtf8()
            + '\t' + url(QStringLiteral("/special")).toUtf8() + '\n');
}

void tst_CliHarvest::allPagesWithLimit()
{
    const QString query = QStringLiteral("walk pages-5");
    const Run r = run({ QStringLiteral("--all"), QStringLiteral("--max-page"), QStringLiteral("3"),
        QStringLiteral("--pause"), QStringLiteral("0"), url(LiteratureSite::searchPath(query)) });
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const int perPage = LiteratureSite::ResultsPerPage - 1;
    // Limit 3 from page 1: pages 1 and 2.
    QCOMPARE(lines.size(), 2 * perPage);
    QCOMPARE(lines.at(perPage).split(QLatin1Char('\t')).value(5),
        url(LiteratureSite::searchPath(query, 2)));

    // Without a limit the walk ends at the last page.
    const Run all = run({ QStringLiteral("--all"), QStringLiteral("--pause"), QStringLiteral("0"),
        url(LiteratureSite::searchPath(QStringLiteral("short pages-2"))) });
    QCOMPARE(all.exitCode, 0);
    QCOMPARE(all.out.count('\n'), perPage + LiteratureSite::ResultsOnLastPage - 1);
}

void tst_CliHarvest::downloadTheRows()
{
    const QString query = QStringLiteral("fetch");
    const QString page = url(LiteratureSite::searchPath(query));
    const QString folder = m_dir.filePath(QStringLiteral("papers"));
    m_server.clearLog();
    const Run r = run({ QStringLiteral("--download"), QStringLiteral("--to"), folder,
        QStringLiteral("--method"), QStringLiteral("1"), page });
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), LiteratureSite::ResultsPerPage - 1);
    // download's report: name, type, size, received, percent, folder, status.
    const QStringList first = lines.first().split(QLatin1Char('\t'));
    QCOMPARE(first.value(6), QStringLiteral("3"));
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), LiteratureSite::ResultsPerPage - 1);
    // Named after the title; the result page is the referring page.
    QVERIFY(QFile::exists(QDir(folder).filePath(first.value(0) + QStringLiteral(".pdf"))));
    QVERIFY(first.value(0).startsWith(QStringLiteral("Advances in fetch")));
    bool sawPdf = false;
    for (const FixtureServer::Request &request : m_server.requests()) {
        if (request.path.startsWith("/content/pdf/")) {
            sawPdf = true;
            QCOMPARE(QString::fromUtf8(request.header("Referer")), page);
        }
    }
    QVERIFY(sawPdf);

    // Names from the addresses.
    const QString second = m_dir.filePath(QStringLiteral("original"));
    const Run named = run({ QStringLiteral("--download"), QStringLiteral("--original-names"),
        QStringLiteral("--to"), second, page });
    QCOMPARE(named.exitCode, 0);
    const QString pdfName
        = QUrl(url(LiteratureSite::resultPdfPath(query, 1, 0))).fileName(QUrl::FullyEncoded);
    QVERIFY2(QFile::exists(QDir(second).filePath(pdfName)),
        qPrintable(QDir(second).entryList().join(QLatin1Char(' '))));
}

// The list report and the download report as citations: every entry keeps
// its DOI and kind, and a downloaded one its file.
void tst_CliHarvest::citationReports()
{
    const QString query = QStringLiteral("cite");
    const QString page = url(LiteratureSite::searchPath(query));
    QStringList dois;
    QStringList types;
    QStringList entries;
    for (int index = 0; index < LiteratureSite::ResultsPerPage; ++index) {
        if (index == LiteratureSite::PreviewOnlyPosition)
            continue;
        dois << DoiFromPdfUrl(QUrl(LiteratureSite::resultPdfPath(query, 1, index)));
        types << (index % 3 == 2 ? QStringLiteral("CHAP") : QStringLiteral("JOUR"));
        entries << (index % 3 == 2 ? QStringLiteral("incollection") : QStringLiteral("article"));
    }

    const Run ris = run({ QStringLiteral("--format"), QStringLiteral("ris"), page });
    QCOMPARE(ris.exitCode, 0);
    const QString text = QString::fromUtf8(ris.out);
    QCOMPARE(text.count(QStringLiteral("\r\nER  - \r\n")), dois.size());
    static const QRegularExpression field(
        QStringLiteral("^(TY|DO)  - (.*)\r$"), QRegularExpression::MultilineOption);
    QStringList readTypes;
    QStringList readDois;
    for (auto it = field.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        (m.captured(1) == QStringLiteral("TY") ? readTypes : readDois) << m.captured(2);
    }
    QCOMPARE(readTypes, types);
    QCOMPARE(readDois, dois);

    const QString folder = m_dir.filePath(QStringLiteral("cited"));
    const Run bib = run({ QStringLiteral("--format"), QStringLiteral("bibtex"),
        QStringLiteral("--download"), QStringLiteral("--to"), folder, QStringLiteral("--method"),
        QStringLiteral("1"), page });
    QCOMPARE(bib.exitCode, 0);
    static const QRegularExpression entry(
        QStringLiteral("^@(\\w+)\\{doi:([^,]+),\n(?:.*\n)*?  file = \\{:([^\n]*):PDF\\}\n\\}$"),
        QRegularExpression::MultilineOption);
    QStringList readEntries;
    readDois.clear();
    for (auto it = entry.globalMatch(QString::fromUtf8(bib.out)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        readEntries << m.captured(1);
        readDois << m.captured(2);
        QVERIFY2(QFile::exists(m.captured(3)), qPrintable(m.captured(3)));
    }
    QCOMPARE(readEntries, entries);
    QCOMPARE(readDois, dois);
}

void tst_CliHarvest::badUsageAndUnloadablePages_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("page limit not a number") << QStringList { QStringLiteral("--all"),
        QStringLiteral("--max-page"), QStringLiteral("ten"), QStringLiteral("http://127.0.0.1:1/") }
                                             << 2 << QStringLiteral("最大页码数必须是数字！");
    QTest::newRow("pause out of range") << QStringList { QStringLiteral("--pause"),
        QStringLiteral("61"), QStringLiteral("http://127.0.0.1:1/") }
                                        << 2 << QStringLiteral("--pause");
    QTest::newRow("no address") << QStringList {} << 2 << QStringLiteral("no address");
    QTest::newRow("unknown report format") << QStringList { QStringLiteral("--format"),
        QStringLiteral("xml"), QStringLiteral("http://127.0.0.1:1/") }
                                           << 2 << QStringLiteral("--format");
    QTest::newRow("unknown option") << QStringList { QStringLiteral("--to"), QStringLiteral("x"),
        QStringLiteral("http://127.0.0.1:1/") }
                                    << 2 << QStringLiteral("unknown option");
    QTest::newRow("nothing listens") << QStringList { QStringLiteral("http://127.0.0.1:1/") } << 1
                                     << QStringLiteral("cannot load");
}

void tst_CliHarvest::badUsageAndUnloadablePages()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Run r = run(arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(r.err).contains(message), r.err.constData());
    QVERIFY(r.out.isEmpty());
}

void tst_CliHarvest::rootTurnsTheSandboxOff()
{
    if (::geteuid() != 0)
        QSKIP("only as root");
    const Run r = run({ url(LiteratureSite::searchPath(QStringLiteral("root"))) }, false);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err.count("the browser sandbox is turned off"), 1);
    QCOMPARE(r.out.count('\n'), LiteratureSite::ResultsPerPage - 1);
}

// quillmoor-cli hands harvest to the browser program beside it; a copy
// standing alone says what is missing instead of failing silently.
void tst_CliHarvest::withoutTheBrowserProgram()
{
    QTemporaryDir alone;
    QVERIFY(alone.isValid());
    const QString copy = alone.filePath(QStringLiteral("quillmoor-cli"));
    QVERIFY(QFile::copy(QStringLiteral(QUILLMOOR_CLI_PATH), copy));
    const Run r = run({ url(LiteratureSite::searchPath(QStringLiteral("alone"))) }, true, copy);
    QCOMPARE(r.exitCode, 1);
    const QByteArray missing
        = QFile::encodeName(alone.filePath(QStringLiteral("quillmoor-cli-browser")));
    QVERIFY2(r.err.contains(QByteArray("cannot start " + missing)), r.err.constData());
    QVERIFY(r.out.isEmpty());
}

QUILLMOOR_BROWSER_TEST_MAIN(tst_CliHarvest)
#include "tst_cli_harvest.moc"
