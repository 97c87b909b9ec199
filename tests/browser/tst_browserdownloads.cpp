#include "BrowserTestMain.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeShell.h"
#include "FixtureServer.h"
#include "RecordingSoundPlayer.h"
#include "app/ui/AppWindows.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "download/DownloadList.h"
#include "download/ui/fFileDownload.h"
#include "platform/AppPaths.h"
#include "platform/webengine/WebEngineBrowser.h"
#include "search/SearchBrowsing.h"
#include "search/ui/fWebSearch.h"

#include <QSettings>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;
using Response = FixtureServer::Response;

// A file the embedded browsers would download (an attachment) is offered to
// the download list instead, on the real engine against the fixture server.
class tst_BrowserDownloads : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void attachmentBecomesARow_data();
    void attachmentBecomesARow();

private:
    FixtureServer m_server;
    FakeClock m_clock;
    FakeDialogs m_dialogs;
    FakeShell m_shell;
    RecordingSoundPlayer m_player;
    AppValues m_values;
    std::optional<QTemporaryDir> m_dir;
    std::optional<FixedAppPaths> m_paths;
    std::optional<AppWindows> m_windows;
};

void tst_BrowserDownloads::initTestCase()
{
    QVERIFY(m_server.listen());
    m_server.route("/", Response::ok("<html><body>home</body></html>", "text/html"));
    m_server.route("/articles/page.html",
        Response::ok("<html><body><a id=\"get\" href=\"/files/paper.v2.pdf\">PDF</a>"
                     "</body></html>",
            "text/html"));
    m_server.route("/files/paper.v2.pdf",
        Response::pattern(20000, "application/pdf")
            .withHeader("Content-Disposition", "attachment; filename=\"paper.v2.pdf\""));
}

void tst_BrowserDownloads::cleanup()
{
    m_windows.reset();
}

void tst_BrowserDownloads::attachmentBecomesARow_data()
{
    QTest::addColumn<bool>("loginBrowser");
    QTest::addColumn<bool>("yes");
    QTest::newRow("search window, Yes") << false << true;
    QTest::newRow("search window, No") << false << false;
    QTest::newRow("login browser, Yes") << true << true;
}

void tst_BrowserDownloads::attachmentBecomesARow()
{
    QFETCH(bool, loginBrowser);
    QFETCH(bool, yes);
    QSettings(QSettings::IniFormat, QSettings::UserScope, u"Quillmoor"_s, u"Quillmoor"_s).clear();
    WriteSetting(
        SearchBrowsing::HomePage.section, SearchBrowsing::HomePage.key, m_server.urlText(u"/"_s));
    m_dialogs = FakeDialogs();
    m_dialogs.answers.enqueue(yes ? UserDialogs::Answer::Yes : UserDialogs::Answer::No);
    m_values = AppValues();
    m_dir.emplace();
    m_paths.emplace(m_dir->path());
    const QString folder = m_dir->path() + u"/dl/"_s;
    m_values.SaveFolder = folder;
    m_windows.emplace(AppServices { m_values, m_clock, *m_paths, m_player, m_dialogs, m_shell });

    WebEngineBrowser *browser = nullptr;
    if (loginBrowser) {
        fFileDownload *download = m_windows->showDownloadWindow();
        download->showLoginPanel();
        browser = download->loginBrowser();
        download->hide();
    } else {
        browser = &m_windows->showSearchWindow()->browser();
    }
    const QString page = m_server.urlText(u"/articles/page.html"_s);
    browser->navigate(page);
    QVERIFY(runUntil([&] { return !browser->isBusy() && browser->url() == page; }));
    browser->runInProgramWorld(u"document.getElementById('get').click();"_s);

    QVERIFY(runUntil([&] { return !m_dialogs.messages.isEmpty(); }));
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text, u"加入下载列表：paper.v2.pdf？"_s);
    QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::QuestionYesNo);

    fFileDownload *download = m_windows->downloadWindow();
    if (!yes) {
        QVERIFY(!download || download->list().size() == 0);
        return;
    }
    QVERIFY(download);
    QVERIFY(download->isVisible());
    QCOMPARE(download->list().size(), 1);
    const DownloadItem &row = download->list().at(0);
    QCOMPARE(row.Key, m_server.urlText(u"/files/paper.v2.pdf"_s));
    QCOMPARE(row.Referer, page);
    QCOMPARE(row.Name, u"paper.v2"_s);
    QCOMPARE(row.Type, u"pdf"_s);
    QCOMPARE(row.Folder, folder);
    QCOMPARE(row.StatusCode, Status::Waiting);
}

QUILLMOOR_BROWSER_TEST_MAIN(tst_BrowserDownloads)
#include "tst_browserdownloads.moc"
