#include "DownloadTestRig.h"
#include "download/DownloadList.h"
#include "download/ListOperations.h"

#include <QDir>
#include <QTest>

using Response = FixtureServer::Response;
using BodyMode = FixtureServer::BodyMode;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(DuplicatePolicy)

namespace {

const QByteArray kFirstPdf = "%PDF-1.4 the paper as first downloaded" + QByteArray(300, 'a');
const QByteArray kSecondPdf = "%PDF-1.5 the paper downloaded again" + QByteArray(500, 'b');
const QByteArray kPage
    = "<html><head><title>Sign in</title></head><body>log in</body></html>" + QByteArray(200, ' ');

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

Response pdf(const QByteArray &body)
{
    return Response::ok(body, "application/pdf");
}

} // namespace

// Queueing a row again keeps its file until the new body has been placed: a
// retry that fails loses nothing, one that succeeds replaces the row's own
// file under its own name.
class TestRedownload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void aFailedRetryKeepsTheFile_data();
    void aFailedRetryKeepsTheFile();
    void aRetryReplacesItsOwnFile_data();
    void aRetryReplacesItsOwnFile();
    void aPageGivesWayToThePaperNeverTheReverse_data();
    void aPageGivesWayToThePaperNeverTheReverse();
};

void TestRedownload::aFailedRetryKeepsTheFile_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("failure");
    for (int method : { 1, 2 }) {
        for (const char *failure : { "HTTP 404", "cut short", "empty body" })
            QTest::addRow("method %d, %s", method, failure)
                << method << QString::fromLatin1(failure);
    }
}

void TestRedownload::aFailedRetryKeepsTheFile()
{
    QFETCH(int, method);
    QFETCH(QString, failure);
    DownloadTestRig rig;
    Response failing = Response::status(404, "Not Found", kPage);
    if (failure == u"cut short") {
        failing = pdf(kSecondPdf);
        failing.announcedLength = kSecondPdf.size() + 1000;
    } else if (failure == u"empty body") {
        failing = pdf(QByteArray());
    }
    rig.server.route("/p", pdf(kFirstPdf));
    rig.addRow(u"/p"_s, u"p"_s, u"pdf"_s);
    QVERIFY(rig.runWaitingRows(method));
    QCOMPARE(rig.list().at(0).StatusCode, Status::Completed);
    QCOMPARE(readFile(rig.path(u"p.pdf"_s)), kFirstPdf);

    rig.server.route("/p", failing);
    QCOMPARE(RequeueSelectedRows(rig.list(), { 0 }), 1);
    QCOMPARE(readFile(rig.path(u"p.pdf"_s)), kFirstPdf);
    QVERIFY(rig.runWaitingRows(method));
    const DownloadItem &item = rig.list().at(0);
    QCOMPARE(item.StatusCode, Status::Failed);
    QCOMPARE(readFile(rig.path(u"p.pdf"_s)), kFirstPdf);
    QCOMPARE(entries(rig.folder()), QStringList { u"p.pdf"_s });
    QCOMPARE(item.ReplaceableFile, rig.path(u"p.pdf"_s));

    // The failed row keeps the file as its own: the next retry replaces it.
    rig.server.route("/p", pdf(kSecondPdf));
    QCOMPARE(RequeueFailedRows(rig.list()), 1);
    QVERIFY(rig.runWaitingRows(method));
    QCOMPARE(rig.list().at(0).StatusCode, Status::Completed);
    QCOMPARE(rig.list().at(0).Name, u"p"_s);
    QCOMPARE(readFile(rig.path(u"p.pdf"_s)), kSecondPdf);
    QCOMPARE(entries(rig.folder()), QStringList { u"p.pdf"_s });
    QVERIFY(rig.list().at(0).ReplaceableFile.isEmpty());
}

void TestRedownload::aRetryReplacesItsOwnFile_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<DuplicatePolicy>("policy");
    QTest::addColumn<QString>("name"); // the row's name after its first download
    for (int method : { 1, 2 }) {
        for (const auto &[policy, caption] : { std::pair { DuplicatePolicy::Skip, "skip" },
                 std::pair { DuplicatePolicy::Overwrite, "overwrite" },
                 std::pair { DuplicatePolicy::Rename, "rename" } }) {
            QTest::addRow("method %d, %s", method, caption) << method << policy << u"p"_s;
        }
        QTest::addRow("method %d, rename, a counted name", method)
            << method << DuplicatePolicy::Rename << u"p[001]"_s;
    }
}

// Under every policy: the same name, no counter, no "已存在，跳过", and the
// earlier file stands until the new body takes its place.
void TestRedownload::aRetryReplacesItsOwnFile()
{
    QFETCH(int, method);
    QFETCH(DuplicatePolicy, policy);
    QFETCH(QString, name);
    DownloadTestRig rig;
    rig.server.route("/p", pdf(kFirstPdf));
    if (name != u"p")
        QVERIFY(writeFile(rig.path(u"p.pdf"_s), "another paper of the same title"));
    rig.addRow(u"/p"_s, u"p"_s, u"pdf"_s);
    QVERIFY(rig.runWaitingRows(method));
    QCOMPARE(rig.list().at(0).Name, name);
    const QString path = rig.path(name + u".pdf"_s);
    QCOMPARE(readFile(path), kFirstPdf);

    rig.options().policy = policy;
    rig.server.route("/p", pdf(kSecondPdf));
    QByteArray atRetry;
    QObject::connect(&rig.server, &FixtureServer::requestReceived, &rig.server,
        [&] { atRetry = readFile(path); });
    QCOMPARE(RequeueSelectedRows(rig.list(), { 0 }), 1);
    QVERIFY(rig.runWaitingRows(method));
    QCOMPARE(atRetry, kFirstPdf);
    const DownloadItem &item = rig.list().at(0);
    QCOMPARE(item.StatusCode, Status::Completed);
    QCOMPARE(item.Percent, u"100%"_s);
    QCOMPARE(item.Name, name);
    QCOMPARE(readFile(path), kSecondPdf);
    QCOMPARE(rig.server.requestCount("/p"), 2);
    QStringList expected { name + u".pdf"_s };
    if (name != u"p")
        expected.prepend(u"p.pdf"_s);
    QCOMPARE(entries(rig.folder()), expected);
}

void TestRedownload::aPageGivesWayToThePaperNeverTheReverse_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("pageFirst");
    for (int method : { 1, 2 }) {
        QTest::addRow("method %d, a page, then the paper", method) << method << true;
        QTest::addRow("method %d, the paper, then a page", method) << method << false;
    }
}

// The earlier file of a row whose new body has another type: a page goes
// once the paper is placed (what queueing a web-page row again is for); a
// paper stays when a page comes back.
void TestRedownload::aPageGivesWayToThePaperNeverTheReverse()
{
    QFETCH(int, method);
    QFETCH(bool, pageFirst);
    DownloadTestRig rig;
    const Response page = Response::ok(kPage, "text/html");
    rig.server.route("/p", pageFirst ? page : pdf(kFirstPdf));
    rig.addRow(u"/p"_s, u"p"_s, u"pdf"_s);
    QVERIFY(rig.runWaitingRows(method));
    const QString firstPath = rig.list().at(0).savedFilePath();
    QCOMPARE(isWebPageType(rig.list().at(0).Type, true), pageFirst);

    if (pageFirst)
        QCOMPARE(RequeueWebPageRows(rig.list()), 1);
    else
        QCOMPARE(RequeueSelectedRows(rig.list(), { 0 }), 1);
    QVERIFY(QFile::exists(firstPath));
    rig.server.route("/p", pageFirst ? pdf(kSecondPdf) : page);
    QVERIFY(rig.runWaitingRows(method));
    const DownloadItem &item = rig.list().at(0);
    QCOMPARE(item.StatusCode, Status::Completed);
    QVERIFY(item.ReplaceableFile.isEmpty());
    if (pageFirst) {
        QCOMPARE(item.Type, u"pdf"_s);
        QCOMPARE(entries(rig.folder()), QStringList { u"p.pdf"_s });
        QCOMPARE(readFile(rig.path(u"p.pdf"_s)), kSecondPdf);
    } else {
        QVERIFY(isWebPageType(item.Type, true));
        QCOMPARE(readFile(rig.path(u"p.pdf"_s)), kFirstPdf);
        QCOMPARE(readFile(item.savedFilePath()), kPage);
        QCOMPARE(entries(rig.folder()).size(), 2);
    }
}

QTEST_GUILESS_MAIN(TestRedownload)
#include "tst_redownload.moc"
