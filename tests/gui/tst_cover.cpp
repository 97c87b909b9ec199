#include "TestEnvironment.h"
#include "WindowTestRig.h"
#include "app/ui/fCover.h"
#include "common/SettingsStore.h"
#include "common/ui/OpenWindows.h"
#include "download/DownloadList.h"
#include "download/ui/fFileDownload.h"
#include "net/VersionCheck.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

// The start-up window: its opening steps and the version notice, against a
// maker's site served by the fixture server.
class TestCover : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();
    void cleanup();
    void versionValues_data();
    void versionValues();
    void openingSteps();
    void versionNotice_data();
    void versionNotice();
    void failedRequestAsksForTheNetwork();
    void noSiteSendsNothing();
    void closingEndsTheProgram();
    void buttonsAskTheProgram();

private:
    fCover *openCover();

    std::optional<WindowTestRig> m_rig;
};

void TestCover::init()
{
    m_rig.emplace();
    QVERIFY(m_rig->server.listen());
    m_rig->openWindows();
}

void TestCover::cleanup()
{
    m_rig.reset();
}

fCover *TestCover::openCover()
{
    fCover *cover = m_rig->windows->cover();
    cover->setRunningVersion({ 2, 0, 1224 });
    cover->open();
    return cover;
}

void TestCover::versionValues_data()
{
    QTest::addColumn<QString>("remote");
    QTest::addColumn<bool>("newer");

    QTest::newRow("newer revision") << QStringLiteral("2.0.1230") << true;
    QTest::newRow("equal") << QStringLiteral("2.0.1224") << false;
    QTest::newRow("older") << QStringLiteral("1.9.9999") << false;
    // Weighted parts: 1 × 10000000 + 99999 × 10000 beats 20001224.
    QTest::newRow("weighted, not part by part") << QStringLiteral("1.99999.0") << true;
    // Exact: the next revision is newer even where 32-bit floats are equal.
    QTest::newRow("one revision up") << QStringLiteral("2.0.1225") << true;
    QTest::newRow("leading zeros") << QStringLiteral("002.000.01225") << true;
    QTest::newRow("beyond 64 bits") << QStringLiteral("99999999999999.0.0") << true;
    QTest::newRow("two parts") << QStringLiteral("2.1") << false;
    QTest::newRow("four parts") << QStringLiteral("3.0.0.1") << false;
    QTest::newRow("not numeric") << QStringLiteral("2.0.12a") << false;
    QTest::newRow("signed part") << QStringLiteral("3.-1.0") << false;
    QTest::newRow("empty part") << QStringLiteral("3..0") << false;
}

void TestCover::versionValues()
{
    QFETCH(QString, remote);
    QFETCH(bool, newer);
    QCOMPARE(IsNewerVersionText(remote, { 2, 0, 1224 }), newer);
}

void TestCover::openingSteps()
{
    WriteSetting(Settings::MaxFileSizeMB, QStringLiteral("3.5"));
    fCover *cover = openCover();
    QCOMPARE(cover->windowTitle(), QStringLiteral("Quillmoor"));
    QCOMPARE(cover->findChild<QLabel *>(QStringLiteral("Label2"))->text(),
        QStringLiteral("版本:2.0.1224"));
    QVERIFY(cover->findChild<QLabel *>(QStringLiteral("Label5"))->isHidden());
    QVERIFY(cover->findChild<QLabel *>(QStringLiteral("Label3"))->isHidden());
    QVERIFY(!cover->findChild<QLabel *>(QStringLiteral("Label1"))->text().isEmpty());
    QCOMPARE(cover->findChild<QLabel *>(QStringLiteral("Label4"))->text(),
        QStringLiteral("(该软件仅用于科研人员辅助少量下载；请不要恶意下载和大量下载！)"));
    QCOMPARE(m_rig->values.MaxFileSizeMB, 3.5);
    QVERIFY(cover->Timer1().isActive());
    QCOMPARE(cover->Timer1().interval(), 100);
    QVERIFY(cover->Timer1().isSingleShot());
    QVERIFY(IsWindowOpen(QStringLiteral("FCOVER")));
    QVERIFY(!IsWindowOpen(QStringLiteral("fFileDownload")));
}

void TestCover::versionNotice_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("notice"); // empty: nothing shown

    QTest::newRow("newer") << QByteArray("2.0.1230")
                           << QStringLiteral("有最新版本：V2.0.1230可以下载升级");
    QTest::newRow("leading space, line break")
        << QByteArray(" 3.0.0\r\n") << QStringLiteral("有最新版本：V3.0.0可以下载升级");
    QTest::newRow("equal") << QByteArray("2.0.1224") << QString();
    QTest::newRow("two parts") << QByteArray("2.1") << QString();
    QTest::newRow("not numeric") << QByteArray("2.0.12a") << QString();
    QTest::newRow("21 characters") << QByteArray("3.0.00000000000000000") << QString();
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestCover::versionNotice()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, notice);
    m_rig->server.route("/quillmoor/newver.txt", FixtureServer::Response::ok(body, "text/plain"));
    WriteSetting(Settings::SiteAddress, m_rig->server.urlText(QStringLiteral("/")));

    fCover *cover = openCover();
    QSignalSpy ended(cover, &fCover::versionCheckEnded);
    QVERIFY(ended.wait(10000));

    QCOMPARE(m_rig->server.requestCount("/quillmoor/newver.txt"), 1);
    QCOMPARE(m_rig->server.lastRequest().method, QByteArray("GET"));
    QVERIFY(m_rig->dialogs.messages.isEmpty());
    auto *label3 = cover->findChild<QLabel *>(QStringLiteral("Label3"));
    const QString page = m_rig->server.urlText(QStringLiteral("/quillmoor/"));
    if (notice.isEmpty()) {
        QVERIFY(label3->isHidden());
        QVERIFY(m_rig->shell.requests.isEmpty());
        return;
    }
    QVERIFY(label3->isVisible());
    QCOMPARE(label3->text(), notice);
    const QList<FakeShell::Request> opened { { FakeShell::Kind::OpenUrl, page } };
    QCOMPARE(m_rig->shell.requests, opened);
    // A click on the notice opens the page again.
    QTest::mouseClick(label3, Qt::LeftButton);
    QCOMPARE(m_rig->shell.requests.size(), 2);
    QCOMPARE(m_rig->shell.requests.last().target, page);
}

void TestCover::failedRequestAsksForTheNetwork()
{
    m_rig->server.route("/quillmoor/newver.txt", FixtureServer::Response::status(404, "Not Found"));
    WriteSetting(Settings::SiteAddress, m_rig->server.urlText(QStringLiteral("/")));
    fCover *cover = openCover();
    QSignalSpy ended(cover, &fCover::versionCheckEnded);
    QVERIFY(ended.wait(10000));
    QCOMPARE(m_rig->dialogs.messages.size(), 1);
    QCOMPARE(m_rig->dialogs.messages.first().text, QStringLiteral("请保持网络畅通！"));
    QCOMPARE(m_rig->dialogs.messages.first().style, UserDialogs::Style::Error);
    QVERIFY(cover->findChild<QLabel *>(QStringLiteral("Label3"))->isHidden());
    QVERIFY(m_rig->shell.requests.isEmpty());
}

void TestCover::noSiteSendsNothing()
{
    fCover *cover = openCover();
    QSignalSpy ended(cover, &fCover::versionCheckEnded);
    QVERIFY(ended.wait(5000));
    QCOMPARE(m_rig->server.requests().size(), 0);
    QVERIFY(m_rig->dialogs.messages.isEmpty());
    QVERIFY(m_rig->shell.requests.isEmpty());
    QVERIFY(m_rig->values.versionFileUrl().isEmpty());
}

void TestCover::closingEndsTheProgram()
{
    fCover *cover = openCover();
    fFileDownload *download = m_rig->windows->showDownloadWindow();
    QPointer<fFileDownload> watch(download);
    download->list().addItem(QStringLiteral("http://127.0.0.1:9/a.pdf"), QStringLiteral("a"),
        QStringLiteral("pdf"), m_rig->dir.path() + QLatin1Char('/'), {});
    QSignalSpy ending(&*m_rig->windows, &AppWindows::programEnding);
    cover->findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    QVERIFY(!cover->isVisible());
    QCOMPARE(ending.size(), 1);
    // The download window closes without its question.
    QVERIFY(m_rig->dialogs.messages.isEmpty());
    QVERIFY(!IsWindowOpen(QStringLiteral("fFileDownload")));
    QTRY_VERIFY(watch.isNull());
}

// The window on its own: its buttons only ask, the program answers.
void TestCover::buttonsAskTheProgram()
{
    fCover cover(m_rig->services());
    cover.open();
    QSignalSpy search(&cover, &fCover::searchWindowRequested);
    QSignalSpy closed(&cover, &fCover::closed);
    auto *command1 = cover.findChild<QPushButton *>(QStringLiteral("Command1"));
    QVERIFY(command1);
    QCOMPARE(command1->text(), QStringLiteral("资料检索下载"));
    command1->click();
    QCOMPARE(search.size(), 1);
    QVERIFY(!cover.isVisible());
    QCOMPARE(closed.size(), 0);
    cover.show();
    cover.findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    QCOMPARE(closed.size(), 1);
    QVERIFY(!cover.isVisible());
}

QTEST_MAIN(TestCover)
#include "tst_cover.moc"
