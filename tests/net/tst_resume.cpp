#include "DownloadTestRig.h"
#include "FakeShell.h"
#include "common/AppValues.h"
#include "common/DownloadPart.h"
#include "download/DownloadList.h"
#include "download/DownloadListCommands.h"
#include "download/ListOperations.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using Request = FixtureServer::Request;
using Response = FixtureServer::Response;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kPaper = "%PDF-1.4\n" + FixtureServer::patternBytes(0, 200000);
const QByteArray kNewPaper = "%PDF-1.5\n" + FixtureServer::patternBytes(7, 150000);
const QByteArray kEtag = "\"v1\"";

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// How the test server treats a request for the rest of a body.
enum class RangeAnswer {
    Rest, // 206 with the rest, when If-Range names the current ETag
    Whole, // ignores Range: 200 with the whole body
    OtherStart, // 206 from another byte
    OtherTotal, // 206 whose total is not the part's
    NotSatisfiable // 416
};

// Serves `body` under `etag`. A request without Range gets the whole body,
// or only its first half when `cutWhole` is set (the connection closes early).
FixtureServer::Handler servePaper(
    const QByteArray &body, const QByteArray &etag, RangeAnswer rangeAnswer, bool cutWhole)
{
    return [=](const Request &request) {
        const QByteArray range = request.header("Range");
        const qint64 size = body.size();
        if (range.startsWith("bytes=") && range.endsWith('-')) {
            const qint64 from = range.mid(6).chopped(1).toLongLong();
            const bool sameDocument = request.header("If-Range") == etag;
            Response partial = Response::status(206, "Partial Content");
            partial.withHeader("Content-Type", "application/pdf").withHeader("ETag", etag);
            switch (rangeAnswer) {
            case RangeAnswer::Rest:
                if (!sameDocument || from >= size)
                    break;
                partial.body = body.mid(from);
                partial.withHeader("Content-Range",
                    "bytes " + QByteArray::number(from) + '-' + QByteArray::number(size - 1) + '/'
                        + QByteArray::number(size));
                return partial;
            case RangeAnswer::OtherStart:
                partial.body = body.mid(from / 2);
                partial.withHeader("Content-Range",
                    "bytes " + QByteArray::number(from / 2) + '-' + QByteArray::number(size - 1)
                        + '/' + QByteArray::number(size));
                return partial;
            case RangeAnswer::OtherTotal:
                partial.body = body.mid(from);
                partial.withHeader("Content-Range",
                    "bytes " + QByteArray::number(from) + '-' + QByteArray::number(size - 1) + '/'
                        + QByteArray::number(size + 10));
                return partial;
            case RangeAnswer::NotSatisfiable:
                return Response::status(416, "Range Not Satisfiable")
                    .withHeader("Content-Range", "bytes */" + QByteArray::number(size));
            case RangeAnswer::Whole:
                break;
            }
        }
        Response whole = Response::ok(cutWhole ? body.left(size / 2) : body, "application/pdf");
        whole.withHeader("ETag", etag);
        if (cutWhole)
            whole.announcedLength = size;
        return whole;
    };
}

// A part as an earlier run of the program leaves it.
void writePart(const QString &folder, const QString &url, const QByteArray &bytes, qint64 length,
    const QByteArray &validator)
{
    const QString part = DownloadPart::partPath(folder, url);
    QVERIFY(writeFile(part, bytes));
    QJsonObject info;
    info.insert(u"url"_s, url);
    info.insert(u"length"_s, length);
    info.insert(u"validator"_s, QString::fromLatin1(validator));
    QVERIFY(writeFile(DownloadPart::sidecarPath(part), QJsonDocument(info).toJson()));
}

QList<QByteArray> rangesAsked(const FixtureServer &server)
{
    QList<QByteArray> ranges;
    for (const Request &request : server.requests())
        ranges.append(request.header("Range"));
    return ranges;
}

bool setAge(const QString &path, const QDateTime &when)
{
    const struct timespec times[2]
        = { { when.toSecsSinceEpoch(), 0 }, { when.toSecsSinceEpoch(), 0 } };
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW)
        == 0;
}

} // namespace

Q_DECLARE_METATYPE(RangeAnswer)

// A download that was cut keeps what came, hidden beside its target, when
// the answer can be continued; the next download of the address asks for the
// rest and appends only the rest of the very same document.
class TestResume : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void aCutDownloadIsContinued_data();
    void aCutDownloadIsContinued();
    void aKeptPartIsContinuedOrStartedOver_data();
    void aKeptPartIsContinuedOrStartedOver();
    void onlyContinuableAnswersLeaveAPart_data();
    void onlyContinuableAnswersLeaveAPart();
    void anUntrustworthyPartIsLeftAlone_data();
    void anUntrustworthyPartIsLeftAlone();
    void aStopKeepsThePart_data();
    void aStopKeepsThePart();
    void aPartAboveTheSizeLimitGoes();
    void staleParts_data();
    void staleParts();
    void clearingARowRemovesItsPart();
};

void TestResume::aCutDownloadIsContinued_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("runs"); // method 2 continues within its own run
    QTest::newRow("method 1") << 1 << 2;
    QTest::newRow("method 2") << 2 << 1;
}

void TestResume::aCutDownloadIsContinued()
{
    QFETCH(int, method);
    QFETCH(int, runs);
    DownloadTestRig rig;
    rig.server.route("/p", servePaper(kPaper, kEtag, RangeAnswer::Rest, true));
    const int row = rig.addRow(u"/p"_s, u"p"_s, u"pdf"_s);
    const QString url = rig.server.urlText(u"/p"_s);
    const QString part = DownloadPart::partPath(rig.folder(), url);

    QVERIFY(rig.runWaitingRows(method));
    if (runs == 2) {
        QCOMPARE(rig.list().at(row).StatusCode, Status::Failed);
        // Half came: it is kept, hidden, with what the next run needs.
        QCOMPARE(readFile(part), kPaper.left(kPaper.size() / 2));
        const QJsonObject info
            = QJsonDocument::fromJson(readFile(DownloadPart::sidecarPath(part))).object();
        QCOMPARE(info.value(u"url"_s).toString(), url);
        QCOMPARE(info.value(u"length"_s).toInteger(), kPaper.size());
        QCOMPARE(info.value(u"validator"_s).toString(), QString::fromLatin1(kEtag));
        QVERIFY(!QFileInfo::exists(rig.path(u"p.pdf"_s)));
        QCOMPARE(RequeueFailedRows(rig.list()), 1);
        QVERIFY(rig.runWaitingRows(method));
    }

    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, Status::Completed);
    QCOMPARE(item.Percent, u"100%"_s);
    QCOMPARE(item.Size, QString::number(kPaper.size()));
    QCOMPARE(readFile(rig.path(u"p.pdf"_s)), kPaper);
    QCOMPARE(entries(rig.folder()), QStringList { u"p.pdf"_s });

    const QList<Request> requests = rig.server.requests();
    QCOMPARE(requests.size(), 2);
    QVERIFY(requests.at(0).header("Range").isEmpty());
    QCOMPARE(
        requests.at(1).header("Range"), "bytes=" + QByteArray::number(kPaper.size() / 2) + '-');
    QCOMPARE(requests.at(1).header("If-Range"), kEtag);
    QCOMPARE(requests.at(1).header("Accept-Encoding"), "identity");
}

void TestResume::aKeptPartIsContinuedOrStartedOver_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<RangeAnswer>("answer");
    QTest::addColumn<bool>("changed"); // the document changed since
    for (int method : { 1, 2 }) {
        QTest::addRow("method %d, the rest", method) << method << RangeAnswer::Rest << false;
        QTest::addRow("method %d, changed ETag", method) << method << RangeAnswer::Rest << true;
        QTest::addRow("method %d, Range ignored", method) << method << RangeAnswer::Whole << false;
        QTest::addRow("method %d, another start", method)
            << method << RangeAnswer::OtherStart << false;
        QTest::addRow("method %d, another total", method)
            << method << RangeAnswer::OtherTotal << false;
        QTest::addRow("method %d, 416", method) << method << RangeAnswer::NotSatisfiable << false;
    }
}

// A part left by a process that is gone (written here as the program writes
// it) is continued by a new run, or emptied and started over: the bodies of
// two answers are never mixed.
void TestResume::aKeptPartIsContinuedOrStartedOver()
{
    QFETCH(int, method);
    QFETCH(RangeAnswer, answer);
    QFETCH(bool, changed);
    DownloadTestRig rig;
    const QByteArray current = changed ? kNewPaper : kPaper;
    rig.server.route("/p", servePaper(current, changed ? "\"v2\"" : kEtag, answer, false));
    const int row = rig.addRow(u"/p"_s, u"p"_s, u"pdf"_s);
    const QString url = rig.server.urlText(u"/p"_s);
    const qint64 kept = 70000;
    writePart(rig.folder(), url, kPaper.left(kept), kPaper.size(), kEtag);

    QVERIFY(rig.runWaitingRows(method));
    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, Status::Completed);
    QCOMPARE(item.Size, QString::number(current.size()));
    QCOMPARE(readFile(rig.path(u"p.pdf"_s)), current);
    QCOMPARE(entries(rig.folder()), QStringList { u"p.pdf"_s });

    const QList<QByteArray> ranges = rangesAsked(rig.server);
    QCOMPARE(ranges.value(0), "bytes=" + QByteArray::number(kept) + '-');
    QCOMPARE(rig.server.requests().at(0).header("If-Range"), kEtag);
    // Appended: one request for the rest. Otherwise, a whole answer is taken
    // as it is, and an unusable one is followed by a plain request.
    const bool askedAgain = answer == RangeAnswer::OtherStart || answer == RangeAnswer::OtherTotal
        || answer == RangeAnswer::NotSatisfiable;
    QCOMPARE(ranges.size(), askedAgain ? 2 : 1);
    if (askedAgain)
        QVERIFY(ranges.at(1).isEmpty());
}

void TestResume::onlyContinuableAnswersLeaveAPart_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("announced");
    QTest::addColumn<bool>("kept");
    for (int method : { 1, 2 }) {
        QTest::addRow("method %d, ETag", method) << method << "ETag"_ba << kEtag << true << true;
        QTest::addRow("method %d, Last-Modified", method)
            << method << "Last-Modified"_ba
            << "Wed, 21 Oct 2015 07:28:00 GMT"_ba << true << true;
        QTest::addRow("method %d, weak ETag only", method) << method << "ETag"_ba
                                                           << "W/\"v1\""_ba << true << false;
        QTest::addRow("method %d, no validator", method) << method << "X-Other"_ba
                                                         << "1"_ba << true << false;
        QTest::addRow("method %d, no length", method)
            << method << "ETag"_ba << kEtag << false << false;
    }
}

void TestResume::onlyContinuableAnswersLeaveAPart()
{
    QFETCH(int, method);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, value);
    QFETCH(bool, announced);
    QFETCH(bool, kept);
    DownloadTestRig rig;
    Response cut = Response::ok(kPaper.left(kPaper.size() / 2), "application/pdf");
    cut.withHeader(header, value);
    if (announced) {
        cut.announcedLength = kPaper.size();
    } else {
        // A chunked body, no length ever announced, cut when the server goes.
        cut.withMode(FixtureServer::BodyMode::Chunked);
        cut.stallAfterBytes = kPaper.size() / 4;
    }
    rig.server.route("/p", cut);
    rig.addRow(u"/p"_s, u"p"_s, u"pdf"_s);
    const QString part = DownloadPart::partPath(rig.folder(), rig.server.urlText(u"/p"_s));

    if (!announced) {
        rig.options().method = method;
        switchOnQuietly(rig.scheduler());
        rig.scheduler().state().LastTransferEnd = rig.clock.nowSeconds() - 10;
        rig.scheduler().schedulingPass();
        QVERIFY(rig.waitUntil([&] { return rig.server.requests().size() >= 1; }));
        rig.settle();
        rig.server.stop();
    }
    QVERIFY(rig.runWaitingRows(method));
    QCOMPARE(rig.list().at(0).StatusCode, Status::Failed);
    QCOMPARE(QFileInfo::exists(part), kept);
    QCOMPARE(QFileInfo::exists(DownloadPart::sidecarPath(part)), kept);
    if (kept)
        QCOMPARE(entries(rig.folder()).size(), 2);
    else
        QCOMPARE(entries(rig.folder()), QStringList());
}

void TestResume::anUntrustworthyPartIsLeftAlone_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("kind");
    for (int method : { 1, 2 }) {
        for (const char *kind : { "line break in the validator", "hard link to another file",
                 "symbolic link to another file", "sidecar of another address",
                 "named pipe as the sidecar" })
            QTest::addRow("method %d, %s", method, kind) << method << QString::fromLatin1(kind);
    }
}

// A part someone else put in a shared folder neither adds request lines nor
// leads the writes into another file: the download starts from zero.
void TestResume::anUntrustworthyPartIsLeftAlone()
{
    QFETCH(int, method);
    QFETCH(QString, kind);
    DownloadTestRig rig;
    rig.server.route("/p", servePaper(kPaper, kEtag, RangeAnswer::Rest, false));
    rig.addRow(u"/p"_s, u"p"_s, u"pdf"_s);
    const QString url = rig.server.urlText(u"/p"_s);
    const QString part = DownloadPart::partPath(rig.folder(), url);
    QTemporaryDir elsewhere;
    const QString other = elsewhere.filePath(u"other"_s);
    const QByteArray otherBytes = kPaper.left(70000);
    QVERIFY(writeFile(other, otherBytes));

    if (kind.startsWith(u"line break")) {
        writePart(rig.folder(), url, otherBytes, kPaper.size(), kEtag + "\r\nX-Injected: 1");
    } else if (kind.startsWith(u"named pipe")) {
        writePart(rig.folder(), url, otherBytes, kPaper.size(), kEtag);
        QVERIFY(QFile::remove(DownloadPart::sidecarPath(part)));
        QCOMPARE(::mkfifo(QFile::encodeName(DownloadPart::sidecarPath(part)).constData(), 0600), 0);
    } else if (kind.startsWith(u"sidecar")) {
        writePart(rig.folder(), url, otherBytes, kPaper.size(), kEtag);
        QJsonObject info;
        info.insert(u"url"_s, u"http://elsewhere.example/p"_s);
        info.insert(u"length"_s, kPaper.size());
        info.insert(u"validator"_s, QString::fromLatin1(kEtag));
        QVERIFY(writeFile(DownloadPart::sidecarPath(part), QJsonDocument(info).toJson()));
    } else {
        writePart(rig.folder(), url, otherBytes, kPaper.size(), kEtag);
        QVERIFY(QFile::remove(part));
        if (kind.startsWith(u"hard"))
            QCOMPARE(
                ::link(QFile::encodeName(other).constData(), QFile::encodeName(part).constData()),
                0);
        else
            QVERIFY(QFile::link(other, part));
    }

    QVERIFY(rig.runWaitingRows(method));
    QCOMPARE(rig.list().at(0).StatusCode, Status::Completed);
    QCOMPARE(readFile(rig.path(u"p.pdf"_s)), kPaper);
    QCOMPARE(readFile(other), otherBytes);
    for (const Request &request : rig.server.requests()) {
        QVERIFY(request.header("Range").isEmpty());
        QVERIFY(!request.hasHeader("X-Injected"));
    }
}

void TestResume::aStopKeepsThePart_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("method 1") << 1;
    QTest::newRow("method 2") << 2;
}

// "停止下载" in the middle of a body: what came stays as the part, and the
// next start continues it.
void TestResume::aStopKeepsThePart()
{
    QFETCH(int, method);
    DownloadTestRig rig;
    Response slow = Response::ok(kPaper, "application/pdf");
    slow.withHeader("ETag", kEtag);
    slow.stallAfterBytes = 50000;
    rig.server.route("/p", slow);
    rig.addRow(u"/p"_s, u"p"_s, u"pdf"_s);
    const QString url = rig.server.urlText(u"/p"_s);
    const QString part = DownloadPart::partPath(rig.folder(), url);

    rig.options().method = method;
    rig.options().connections = 3;
    switchOnQuietly(rig.scheduler());
    rig.scheduler().state().LastTransferEnd = rig.clock.nowSeconds() - 10;
    rig.scheduler().schedulingPass();
    QVERIFY(rig.waitUntil([&] { return rig.list().at(0).Received == u"50000"_s; }));
    rig.scheduler().stop();
    rig.settle();
    QCOMPARE(rig.list().at(0).StatusCode, Status::Failed);
    QCOMPARE(readFile(part), kPaper.left(50000));

    rig.server.route("/p", servePaper(kPaper, kEtag, RangeAnswer::Rest, false));
    rig.server.clearLog();
    QCOMPARE(RequeueFailedRows(rig.list()), 1);
    QVERIFY(rig.runWaitingRows(method));
    QCOMPARE(rig.list().at(0).StatusCode, Status::Completed);
    QCOMPARE(readFile(rig.path(u"p.pdf"_s)), kPaper);
    QCOMPARE(rangesAsked(rig.server), QList<QByteArray> { "bytes=50000-" });
    QCOMPARE(entries(rig.folder()), QStringList { u"p.pdf"_s });
}

// A part never outgrows the size limit: once the whole is known to be above
// it, the row is skipped and the part goes.
void TestResume::aPartAboveTheSizeLimitGoes()
{
    DownloadTestRig rig;
    // The rest alone is below the limit; the whole document is not.
    const QByteArray big = "%PDF-1.4\n" + FixtureServer::patternBytes(0, 1536 * 1024);
    rig.server.route("/p", servePaper(big, kEtag, RangeAnswer::Rest, false));
    rig.addRow(u"/p"_s, u"p"_s, u"pdf"_s);
    writePart(rig.folder(), rig.server.urlText(u"/p"_s), big.left(1024 * 1024), big.size(), kEtag);
    rig.options().maxFileSizeMB = 1;
    QVERIFY(rig.runWaitingRows(1));
    QCOMPARE(rangesAsked(rig.server), QList<QByteArray> { "bytes=1048576-" });
    QCOMPARE(rig.list().at(0).StatusCode, Status::Completed);
    QCOMPARE(rig.list().at(0).Percent, StatusText::LargeFileSkipped);
    QCOMPARE(entries(rig.folder()), QStringList());
}

void TestResume::staleParts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("ageDays");
    QTest::addColumn<bool>("removed");
    const QString part = u".quillmoor-0123456789abcdef.part"_s;
    QTest::newRow("old part") << part << 8 << true;
    QTest::newRow("old sidecar") << part + u".json"_s << 8 << true;
    QTest::newRow("part of six days") << part << 6 << false;
    QTest::newRow("old file of the user") << u"notes.part"_s << 30 << false;
    QTest::newRow("old name almost a part") << u".quillmoor-xyz.part"_s << 30 << false;
}

void TestResume::staleParts()
{
    QFETCH(QString, name);
    QFETCH(int, ageDays);
    QFETCH(bool, removed);
    DownloadTestRig rig;
    const QString path = rig.path(name);
    QVERIFY(writeFile(path, "bytes"));
    QVERIFY(setAge(path, rig.clock.wallClockUtc().addDays(-ageDays)));
    // A link named like a part leads to an old file elsewhere: neither goes.
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(u"target"_s);
    QVERIFY(writeFile(target, "keep"));
    QVERIFY(setAge(target, rig.clock.wallClockUtc().addDays(-30)));
    const QString link = rig.path(u".quillmoor-fedcba9876543210.part"_s);
    QVERIFY(QFile::link(target, link));
    QVERIFY(setAge(link, rig.clock.wallClockUtc().addDays(-30)));

    QCOMPARE(RemoveStaleParts(rig.folder(), rig.clock), removed ? 1 : 0);
    QCOMPARE(QFileInfo::exists(path), !removed);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readFile(target), "keep");

    // The download window's opening clears the folders it knows of.
    if (!removed) {
        QVERIFY(setAge(path, rig.clock.wallClockUtc().addDays(-ageDays)));
        rig.clock.advance(60.0 * 24 * 3600);
        AppValues shared;
        shared.SaveFolder = rig.folder();
        rig.session.open(shared);
        rig.session.end();
        QCOMPARE(QFileInfo::exists(path), !name.startsWith(u".quillmoor-0"_s));
    }
}

void TestResume::clearingARowRemovesItsPart()
{
    DownloadTestRig rig;
    rig.addRow(u"/a"_s, u"a"_s, u"pdf"_s);
    rig.addRow(u"/b"_s, u"b"_s, u"pdf"_s);
    const QString urlA = rig.server.urlText(u"/a"_s);
    const QString urlB = rig.server.urlText(u"/b"_s);
    writePart(rig.folder(), urlA, "abc", 10, kEtag);
    writePart(rig.folder(), urlB, "abc", 10, kEtag);
    FakeShell shell;
    const auto idle = [] {
        return false;
    };
    DownloadListCommands commands(
        rig.list(), rig.dialogs, shell, DownloadListCommands::BusyTests { idle, idle, idle });
    QCOMPARE(commands.clearSelected({ 0 }), 1);
    const QString partA = DownloadPart::partPath(rig.folder(), urlA);
    const QString partB = DownloadPart::partPath(rig.folder(), urlB);
    QVERIFY(!QFileInfo::exists(partA));
    QVERIFY(!QFileInfo::exists(DownloadPart::sidecarPath(partA)));
    QVERIFY(QFileInfo::exists(partB));
    QVERIFY(QFileInfo::exists(DownloadPart::sidecarPath(partB)));
}

QTEST_GUILESS_MAIN(TestResume)
#include "tst_resume.moc"
