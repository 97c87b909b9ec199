#include "DownloadTestRig.h"
#include "TinyProxy.h"
#include "download/DownloadList.h"
#include "platform/curl/CurlDriver.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

using Response = FixtureServer::Response;
using BodyMode = FixtureServer::BodyMode;

Q_DECLARE_METATYPE(FixtureServer::Response)

namespace {

// Files in the download folder other than the named ones: part files must
// never be left behind.
QStringList strayFiles(const QString &folder, const QStringList &expected)
{
    QStringList stray;
    const auto entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : entries) {
        if (!expected.contains(name))
            stray << name;
    }
    return stray;
}

} // namespace

class TestSingleConnectionTransfer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void completesBodies_data();
    void completesBodies();
    void sizeLimit_data();
    void sizeLimit();
    void typeFromHeaders_data();
    void typeFromHeaders();
    void busyComponentPutsRowBack();
    void noResponseFailsWithoutText();
    void folderThatCannotBeCreatedFailsRow();
    void folderMessageShownOutsideLibcurl();
    void stallAfter120SecondsFails();
    void headerWaitEndsAfter30Seconds();
    void stopDuringLargeBodyCancels();
    void failedOverwriteKeepsExistingFile();
    void replacementThatCannotBePlaced();
    void shortBodyFails();
    void wholeDocumentFallback();
    void emptyWholeDocumentFails();
    void redirectToFile();
    void refererRule_data();
    void refererRule();
    void renamePolicyAfterHeaders();
    void webPageFailureSounds();
    void statePanelTexts();
    void throughRealProxy();
    void unusableStoredProxyFailsTheRow_data();
    void unusableStoredProxyFailsTheRow();
};

void TestSingleConnectionTransfer::completesBodies_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<QString>("sizeText");

    QTest::newRow("content length") << Response::pattern(70000) << QStringLiteral("70000");
    QTest::newRow("chunked, unknown length")
        << Response::pattern(70000).withMode(BodyMode::Chunked) << QStringLiteral("70000");
    QTest::newRow("close-delimited, unknown length")
        << Response::pattern(70000).withMode(BodyMode::CloseDelimited) << QStringLiteral("70000");
    // The last read holds a single byte; it is still the end of the body.
    Response lastByte = Response::pattern(3000).withMode(BodyMode::Chunked);
    lastByte.chunkSize = 2999;
    lastByte.pauseAfterBytes = 2999;
    lastByte.pauseMs = 50;
    QTest::newRow("chunked, last read one byte") << lastByte << QStringLiteral("3000");
    // A single byte in the middle of a body must not end the transfer.
    Response oneByteMiddle = Response::pattern(5000).withMode(BodyMode::CloseDelimited);
    oneByteMiddle.trickleBytes = 1;
    oneByteMiddle.trickleIntervalMs = 0;
    oneByteMiddle.pauseAfterBytes = 1;
    oneByteMiddle.pauseMs = 50;
    QTest::newRow("one-byte piece in the middle") << oneByteMiddle << QStringLiteral("5000");
}

void TestSingleConnectionTransfer::completesBodies()
{
    QFETCH(Response, response);
    QFETCH(QString, sizeText);
    DownloadTestRig rig;
    rig.options().maxFileSizeMB = 100;
    rig.server.route("/file", response);
    const int row = rig.addRow(QStringLiteral("/file"), QStringLiteral("paper"));

    QVERIFY(rig.runSingle(row));
    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, Status::Completed);
    QCOMPARE(item.Size, sizeText);
    QCOMPARE(item.Received, sizeText);
    QCOMPARE(item.Percent, QStringLiteral("100%"));
    // The pattern body starts with %PDF, so the type is corrected to pdf.
    QCOMPARE(item.Type, QStringLiteral("pdf"));
    const QByteArray saved = readFile(rig.path(QStringLiteral("paper.pdf")));
    QCOMPARE(saved, FixtureServer::patternBytes(0, sizeText.toLongLong()));
    QCOMPARE(strayFiles(rig.folder(), { QStringLiteral("paper.pdf") }), QStringList());
    QVERIFY(!rig.scheduler().state().TransferBusy);
}

void TestSingleConnectionTransfer::sizeLimit_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<bool>("announced");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<qint64>("fileSize"); // -1: no file

    const qint64 limit = 1048576; // 1 MB
    QTest::newRow("announced, exactly the limit")
        << limit << true << Status::Completed << QStringLiteral("100%") << limit;
    QTest::newRow("announced, one byte more")
        << limit + 1 << true << Status::Completed << QStringLiteral("大文件，跳过") << qint64(-1);
    QTest::newRow("not announced, exactly the limit")
        << limit << false << Status::Completed << QStringLiteral("100%") << limit;
    // What arrived is dropped: a cut-off part is no file.
    QTest::newRow("not announced, one byte more")
        << limit + 1 << false << Status::Completed << QStringLiteral("大文件，跳过") << qint64(-1);
}

void TestSingleConnectionTransfer::sizeLimit()
{
    QFETCH(qint64, bytes);
    QFETCH(bool, announced);
    QFETCH(int, status);
    QFETCH(QString, percent);
    QFETCH(qint64, fileSize);
    DownloadTestRig rig;
    rig.options().maxFileSizeMB = 1;
    Response response = Response::pattern(bytes);
    if (!announced)
        response.mode = BodyMode::Chunked;
    rig.server.route("/big", response);
    const int row
        = rig.addRow(QStringLiteral("/big"), QStringLiteral("big"), QStringLiteral("pdf"));

    QVERIFY(rig.runSingle(row));
    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, status);
    QCOMPARE(item.Percent, percent);
    const QFileInfo file(rig.path(QStringLiteral("big.pdf")));
    QCOMPARE(file.exists() ? file.size() : qint64(-1), fileSize);
    QCOMPARE(
        strayFiles(rig.folder(), fileSize < 0 ? QStringList() : QStringList { file.fileName() }),
        QStringList());
}

void TestSingleConnectionTransfer::typeFromHeaders_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("disposition");
    QTest::addColumn<QString>("type");

    QTest::newRow("text/html") << QByteArray("text/html") << QByteArray() << QStringLiteral("html");
    QTest::newRow("type naming no extension, with charset")
        << QByteArray("application/octet-stream; charset=utf-8") << QByteArray()
        << QStringLiteral("htm");
    QTest::newRow("type naming no extension, disposition name")
        << QByteArray("application/octet-stream") << QByteArray("attachment; filename=\"x.caj\"")
        << QStringLiteral("caj");
    QTest::newRow("media type wins over disposition")
        << QByteArray("application/pdf") << QByteArray("attachment; filename=x.caj")
        << QStringLiteral("pdf");
}

void TestSingleConnectionTransfer::typeFromHeaders()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, disposition);
    QFETCH(QString, type);
    DownloadTestRig rig;
    // Plain bytes that no content test recognises, so the header decides.
    Response response = Response::ok(QByteArray(500, 'z'), contentType);
    if (!disposition.isEmpty())
        response.withHeader("Content-Disposition", disposition);
    rig.server.route("/t", response);
    const int row = rig.addRow(QStringLiteral("/t"), QStringLiteral("doc"), QStringLiteral("xyz"));

    QVERIFY(rig.runSingle(row));
    QCOMPARE(rig.list().at(row).Type, type);
    QVERIFY(QFile::exists(rig.path(QStringLiteral("doc.") + type)));
}

void TestSingleConnectionTransfer::busyComponentPutsRowBack()
{
    DownloadTestRig rig;
    rig.server.route("/f", Response::pattern(100));
    const int row = rig.addRow(QStringLiteral("/f"), QStringLiteral("f"));
    rig.scheduler().state().TransferBusy = true;
    rig.single().Inet下载当前文件(row);
    QCOMPARE(rig.list().at(row).StatusCode, Status::Waiting);
    QCOMPARE(rig.list().at(row).Size, QStringLiteral("等待重新下载"));
    QVERIFY(!rig.single().isRunning());
    QCOMPARE(rig.server.requests().size(), 0);
}

void TestSingleConnectionTransfer::noResponseFailsWithoutText()
{
    DownloadTestRig rig;
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close(); // nothing listens there now
    rig.options().sound = true;
    rig.list().addItem(QStringLiteral("http://127.0.0.1:%1/x.pdf").arg(port), QStringLiteral("x"),
        QStringLiteral("pdf"), rig.folder(), QString());
    QVERIFY(rig.runSingle(0));
    const DownloadItem &item = rig.list().at(0);
    QCOMPARE(item.StatusCode, Status::Failed);
    QCOMPARE(item.Size, QString());
    QCOMPARE(item.Percent, QString());
    QVERIFY(!QFile::exists(rig.path(QStringLiteral("x.pdf"))));
    QCOMPARE(rig.player.played, QList<int> { 103 });
}

void TestSingleConnectionTransfer::folderThatCannotBeCreatedFailsRow()
{
    DownloadTestRig rig;
    rig.server.route("/f", Response::pattern(100));
    QVERIFY(writeFile(rig.path(QStringLiteral("plainfile")), "x"));
    // A folder below a plain file cannot exist.
    rig.list().addItem(rig.server.urlText(QStringLiteral("/f")), QStringLiteral("f"),
        QStringLiteral("pdf"), rig.path(QStringLiteral("plainfile/sub/")), QString());
    QVERIFY(rig.runSingle(0));
    QCOMPARE(rig.list().at(0).StatusCode, Status::Failed);
    QCOMPARE(rig.list().at(0).Size, QStringLiteral("下载失败"));
}

void TestSingleConnectionTransfer::folderMessageShownOutsideLibcurl()
{
    DownloadTestRig rig;
    rig.server.route("/f", Response::pattern(100));
    // A network path without a server name: the helper shows its message.
    rig.list().addItem(rig.server.urlText(QStringLiteral("/f")), QStringLiteral("f"),
        QStringLiteral("pdf"), QStringLiteral("///share/"), QString());
    bool insideLibcurl = true;
    rig.dialogs.whileShown = [&] {
        insideLibcurl = CurlDriver::instance().insideLibcurl();
    };
    QVERIFY(rig.runSingle(0));
    QCOMPARE(rig.dialogs.messages.size(), 1);
    QCOMPARE(rig.dialogs.messages.at(0).text, QStringLiteral("文件夹名称有误！不能创建文件夹！"));
    QVERIFY(!insideLibcurl);
    QCOMPARE(rig.list().at(0).StatusCode, Status::Failed);
}

void TestSingleConnectionTransfer::stallAfter120SecondsFails()
{
    DownloadTestRig rig;
    rig.options().policy = DuplicatePolicy::Overwrite;
    Response response = Response::pattern(100000);
    response.stallAfterBytes = 30000;
    rig.server.route("/stall", response);
    QVERIFY(writeFile(rig.path(QStringLiteral("s.pdf")), "earlier file"));
    const int row
        = rig.addRow(QStringLiteral("/stall"), QStringLiteral("s"), QStringLiteral("pdf"));

    QSignalSpy ended(&rig.single(), &SingleConnectionTransfer::transferEnded);
    rig.single().Inet下载当前文件(row);
    QVERIFY(rig.waitUntil([&] { return rig.list().at(row).Received == QStringLiteral("30000"); }));
    rig.clock.advance(120);
    rig.single().checkTimeouts();
    QVERIFY(rig.list().at(row).StatusCode != Status::Failed); // 120 s is not yet a stall
    rig.clock.advance(1);
    rig.single().checkTimeouts();
    QVERIFY(ended.wait(5000));
    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, Status::Failed);
    QCOMPARE(item.Size, QStringLiteral("下载失败"));
    QCOMPARE(readFile(rig.path(QStringLiteral("s.pdf"))), QByteArray("earlier file"));
    QCOMPARE(strayFiles(rig.folder(), { QStringLiteral("s.pdf") }), QStringList());
}

void TestSingleConnectionTransfer::headerWaitEndsAfter30Seconds()
{
    DownloadTestRig rig;
    Response response = Response::pattern(100);
    response.delayBeforeHeadersMs = 60000;
    rig.server.route("/slow", response);
    const int row = rig.addRow(QStringLiteral("/slow"), QStringLiteral("s"), QStringLiteral("pdf"));
    QSignalSpy ended(&rig.single(), &SingleConnectionTransfer::transferEnded);
    rig.single().Inet下载当前文件(row);
    QVERIFY(rig.waitUntil([&] { return rig.server.requests().size() == 1; }));
    rig.clock.advance(30);
    rig.single().checkTimeouts();
    QVERIFY(rig.list().at(row).StatusCode != Status::Failed);
    rig.clock.advance(0.5);
    rig.single().checkTimeouts();
    QVERIFY(ended.wait(5000));
    QCOMPARE(rig.list().at(row).StatusCode, Status::Failed);
    QCOMPARE(rig.list().at(row).Size, QString());
}

void TestSingleConnectionTransfer::stopDuringLargeBodyCancels()
{
    DownloadTestRig rig;
    rig.options().maxFileSizeMB = 1000;
    Response response = Response::pattern(200 * 1048576);
    response.trickleBytes = 65536;
    response.trickleIntervalMs = 5;
    rig.server.route("/large", response);
    const int row
        = rig.addRow(QStringLiteral("/large"), QStringLiteral("l"), QStringLiteral("pdf"));
    QSignalSpy ended(&rig.single(), &SingleConnectionTransfer::transferEnded);
    rig.single().Inet下载当前文件(row);
    QVERIFY(rig.waitUntil([&] { return rig.list().at(row).Received.toLongLong() > 100000; }));
    rig.scheduler().stop();
    QVERIFY(ended.wait(5000));
    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, Status::Failed);
    QCOMPARE(item.Size, QStringLiteral("下载取消"));
    QCOMPARE(strayFiles(rig.folder(), {}), QStringList());
    QVERIFY(!rig.single().stillExecuting());
}

void TestSingleConnectionTransfer::failedOverwriteKeepsExistingFile()
{
    DownloadTestRig rig;
    rig.options().policy = DuplicatePolicy::Overwrite;
    Response response = Response::pattern(50000).withMode(BodyMode::Chunked);
    response.stallAfterBytes = 10000;
    rig.server.route("/f", response);
    QVERIFY(writeFile(rig.path(QStringLiteral("keep.pdf")), "the only copy"));
    const int row = rig.addRow(QStringLiteral("/f"), QStringLiteral("keep"), QStringLiteral("pdf"));
    rig.single().Inet下载当前文件(row);
    QVERIFY(rig.waitUntil([&] { return rig.list().at(row).Received == QStringLiteral("10000"); }));
    rig.scheduler().stop();
    QCOMPARE(rig.list().at(row).StatusCode, Status::Failed);
    QCOMPARE(readFile(rig.path(QStringLiteral("keep.pdf"))), QByteArray("the only copy"));
    QCOMPARE(strayFiles(rig.folder(), { QStringLiteral("keep.pdf") }), QStringList());
}

void TestSingleConnectionTransfer::replacementThatCannotBePlaced()
{
    DownloadTestRig rig;
    rig.options().policy = DuplicatePolicy::Overwrite;
    rig.server.route("/f", Response::pattern(5000));
    // A folder with content stands where the file should go; nothing can
    // replace it.
    QVERIFY(writeFile(rig.path(QStringLiteral("blocked.pdf/inner.txt")), "x"));
    const int row
        = rig.addRow(QStringLiteral("/f"), QStringLiteral("blocked"), QStringLiteral("pdf"));
    QVERIFY(rig.runSingle(row));
    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, Status::Failed);
    QCOMPARE(item.Percent, QStringLiteral("无法替换"));
    QVERIFY(QFile::exists(rig.path(QStringLiteral("blocked.pdf/inner.txt"))));
    QCOMPARE(strayFiles(rig.folder(), {}), QStringList());
}

void TestSingleConnectionTransfer::shortBodyFails()
{
    DownloadTestRig rig;
    Response response = Response::pattern(4000);
    response.announcedLength = 9000; // the connection closes after 4000
    rig.server.route("/short", response);
    const int row
        = rig.addRow(QStringLiteral("/short"), QStringLiteral("s"), QStringLiteral("pdf"));
    QVERIFY(rig.runSingle(row));
    QCOMPARE(rig.list().at(row).StatusCode, Status::Failed);
    QCOMPARE(rig.list().at(row).Size, QStringLiteral("下载失败"));
    QCOMPARE(strayFiles(rig.folder(), {}), QStringList());
}

void TestSingleConnectionTransfer::wholeDocumentFallback()
{
    DownloadTestRig rig;
    // Not a success line and no size: the answer is fetched again whole.
    Response response = Response::status(203, "Non-Authoritative", QByteArray(1001, 'q'));
    response.mode = BodyMode::CloseDelimited;
    rig.server.route("/busy", response);
    const int row = rig.addRow(QStringLiteral("/busy"), QStringLiteral("b"), QStringLiteral("pdf"));
    QVERIFY(rig.runSingle(row));
    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, Status::Completed);
    // The exact count, odd as it is.
    QCOMPARE(item.Size, QStringLiteral("1001"));
    QCOMPARE(item.Received, QStringLiteral("1001"));
    QCOMPARE(item.Percent, QStringLiteral("100%"));
    QCOMPARE(readFile(item.savedFilePath()), QByteArray(1001, 'q'));
    QCOMPARE(rig.server.requestCount("/busy"), 2);
}

void TestSingleConnectionTransfer::emptyWholeDocumentFails()
{
    DownloadTestRig rig;
    Response response = Response::status(202, "Accepted");
    response.mode = BodyMode::CloseDelimited;
    rig.server.route("/empty", response);
    const int row
        = rig.addRow(QStringLiteral("/empty"), QStringLiteral("e"), QStringLiteral("pdf"));
    QVERIFY(rig.runSingle(row));
    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, Status::Failed);
    QCOMPARE(item.Size, QStringLiteral("0"));
    QCOMPARE(item.Received, QStringLiteral("0"));
    QCOMPARE(item.Percent, QStringLiteral("100%"));
    QVERIFY(!QFile::exists(rig.path(QStringLiteral("e.pdf"))));
}

void TestSingleConnectionTransfer::redirectToFile()
{
    DownloadTestRig rig;
    rig.server.route("/go", Response::redirect("/files/real.pdf"));
    rig.server.route("/files/real.pdf", Response::pattern(9000, "application/pdf"));
    const int row = rig.addRow(QStringLiteral("/go"), QStringLiteral("r"));
    QVERIFY(rig.runSingle(row));
    QCOMPARE(rig.list().at(row).StatusCode, Status::Completed);
    QCOMPARE(readFile(rig.path(QStringLiteral("r.pdf"))), FixtureServer::patternBytes(0, 9000));
}

void TestSingleConnectionTransfer::refererRule_data()
{
    QTest::addColumn<QString>("referer");
    QTest::addColumn<bool>("siteRoot");
    QTest::newRow("given") << QStringLiteral("http://example.org/results?page=2") << false;
    QTest::newRow("empty gives the site root") << QString() << true;
}

void TestSingleConnectionTransfer::refererRule()
{
    QFETCH(QString, referer);
    QFETCH(bool, siteRoot);
    DownloadTestRig rig;
    rig.server.route("/deep/path/f.pdf", Response::pattern(100));
    const int row
        = rig.addRow(QStringLiteral("/deep/path/f.pdf"), QStringLiteral("f"), {}, referer);
    QVERIFY(rig.runSingle(row));
    const QString expected
        = siteRoot ? QStringLiteral("http://127.0.0.1:%1").arg(rig.server.port()) : referer;
    QVERIFY(rig.server.lastRequest().headerLines.contains("Referer: " + expected.toUtf8()));
}

void TestSingleConnectionTransfer::renamePolicyAfterHeaders()
{
    DownloadTestRig rig;
    rig.options().policy = DuplicatePolicy::Rename;
    rig.server.route("/p", Response::pattern(3000, "application/pdf"));
    QVERIFY(writeFile(rig.path(QStringLiteral("Paper.pdf")), "first"));
    // The row does not know its type yet; the answer's media type gives pdf,
    // and only then is the name found taken.
    const int row = rig.addRow(QStringLiteral("/p"), QStringLiteral("Paper"));
    QVERIFY(rig.runSingle(row));
    QCOMPARE(rig.list().at(row).Name, QStringLiteral("Paper[001]"));
    QCOMPARE(readFile(rig.path(QStringLiteral("Paper.pdf"))), QByteArray("first"));
    QCOMPARE(
        readFile(rig.path(QStringLiteral("Paper[001].pdf"))), FixtureServer::patternBytes(0, 3000));
}

void TestSingleConnectionTransfer::webPageFailureSounds()
{
    DownloadTestRig rig;
    rig.options().sound = true;
    bool loginAsked = false;
    rig.options().autoLogin = true;
    rig.single().setAutoLoginHook([&] { loginAsked = true; });
    Response response = Response::ok(QByteArray(30000, 'h'), "text/html; charset=utf-8");
    response.stallAfterBytes = 2000;
    rig.server.route("/page", response);
    const int row = rig.addRow(QStringLiteral("/page"), QStringLiteral("w"), QStringLiteral("pdf"));
    rig.single().Inet下载当前文件(row);
    QVERIFY(rig.waitUntil([&] { return rig.list().at(row).Received == QStringLiteral("2000"); }));
    QSignalSpy ended(&rig.single(), &SingleConnectionTransfer::transferEnded);
    rig.clock.advance(121);
    rig.single().checkTimeouts();
    QVERIFY(ended.wait(5000));
    QCOMPARE(rig.list().at(row).StatusCode, Status::Failed);
    QCOMPARE(rig.list().at(row).Type, QStringLiteral("html"));
    QCOMPARE(rig.player.played, (QList<int> { 101, 103 }));
    QVERIFY(loginAsked);
    // The sounds are written beside the program on first use.
    QVERIFY(QFile::exists(rig.programFolder() + QStringLiteral("/101.wav")));
    QVERIFY(QFile::exists(rig.programFolder() + QStringLiteral("/103.wav")));
}

void TestSingleConnectionTransfer::statePanelTexts()
{
    DownloadTestRig rig;
    rig.server.route("/f", Response::pattern(100));
    const int row = rig.addRow(QStringLiteral("/f"), QStringLiteral("名字"));
    QStringList panel2;
    QStringList panel3;
    QObject::connect(&rig.session, &DownloadSession::panelText, &rig.session,
        [&](int panel, const QString &text) { (panel == 2 ? panel2 : panel3) << text; });
    QVERIFY(rig.runSingle(row));
    QCOMPARE(
        panel2, (QStringList { QStringLiteral("正在下载:名字"), QStringLiteral("完成下载:名字") }));
    QVERIFY(panel3.contains(QStringLiteral("12 该请求已经完成，并且所有数据均已接收到。")));
}

void TestSingleConnectionTransfer::throughRealProxy()
{
    if (TinyProxy::executable().isEmpty())
        QSKIP("tinyproxy is not installed");
    TinyProxy proxy;
    QVERIFY2(proxy.start(), qPrintable(proxy.log()));
    DownloadTestRig rig;
    rig.options().proxyEnabled = true;
    rig.options().proxyAddress = QStringLiteral("127.0.0.1");
    rig.options().proxyPort = QString::number(proxy.port());
    rig.server.route("/via", Response::pattern(4000));
    const int row = rig.addRow(QStringLiteral("/via"), QStringLiteral("v"));
    QVERIFY(rig.runSingle(row));
    QCOMPARE(rig.list().at(row).StatusCode, Status::Completed);
    QVERIFY(rig.server.lastRequest().hasHeader("Via"));
    QVERIFY(rig.server.lastRequest().header("Via").contains("tinyproxy"));
}

void TestSingleConnectionTransfer::unusableStoredProxyFailsTheRow_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::newRow("empty address") << QString() << QStringLiteral("3128");
    QTest::newRow("port 80a") << QStringLiteral("127.0.0.1") << QStringLiteral("80a");
    QTest::newRow("port 70000") << QStringLiteral("127.0.0.1") << QStringLiteral("70000");
}

// A settings file of an older version may hold a proxy the options dialog
// now refuses: the row fails and says why, and nothing is sent.
void TestSingleConnectionTransfer::unusableStoredProxyFailsTheRow()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    DownloadTestRig rig;
    rig.options().proxyEnabled = true;
    rig.options().proxyAddress = address;
    rig.options().proxyPort = port;
    rig.server.route("/file", Response::pattern(4000));
    const int row = rig.addRow(QStringLiteral("/file"), QStringLiteral("f"));
    QVERIFY(rig.runSingle(row));
    QCOMPARE(rig.list().at(row).StatusCode, Status::Failed);
    QCOMPARE(rig.list().at(row).Size, QStringLiteral("下载失败"));
    QVERIFY2(rig.list().at(row).FailureReason.startsWith(
                 QStringLiteral("代理服务器网址或者端口格式不对")),
        qPrintable(rig.list().at(row).FailureReason));
    QVERIFY(rig.list().at(row).FailureReason.contains(port));
    QCOMPARE(rig.server.requests().size(), 0);
    QVERIFY(!rig.single().isRunning());
    QVERIFY(!rig.session.state().TransferBusy);
}

QTEST_GUILESS_MAIN(TestSingleConnectionTransfer)
#include "tst_singleconnectiontransfer.moc"
