#include "DownloadTestRig.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"

#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

// What the download window's session decides when the window opens, when
// the options dialog is confirmed and when the window closes.
class TestDownloadSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        useTestLocations();
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
            QStringLiteral("Quillmoor"))
            .clear();
    }
    void openingSharesTheOptions();
    void confirmedOptions_data();
    void confirmedOptions();
    void closing_data();
    void closing();
    void startEntry();
    void keepingTheList_data();
    void keepingTheList();
    void savedListOfferedOnce_data();
    void savedListOfferedOnce();
    void transferRatePanels();
    void addingInputText();
};

void TestDownloadSession::openingSharesTheOptions()
{
    WriteSetting(Settings::DownloadMethod, QStringLiteral("1"));
    WriteSetting(Settings::ProxyEnabled, QStringLiteral("1"));
    WriteSetting(Settings::ProxyAddress, QStringLiteral("proxy.example"));
    WriteSetting(Settings::ProxyPort, QStringLiteral("3128"));
    WriteSetting(Settings::MaxFileSizeMB, QStringLiteral("7"));
    DownloadTestRig rig;
    AppValues shared;
    rig.session.open(shared);
    QCOMPARE(shared.DownloadMethod, 1);
    QVERIFY(shared.ProxyEnabled);
    QCOMPARE(shared.ProxyAddress, QStringLiteral("proxy.example"));
    QCOMPARE(shared.ProxyPort, QStringLiteral("3128"));
    QCOMPARE(shared.MaxFileSizeMB, 7.0);
    QVERIFY(rig.scheduler().Timer1().isActive());

    // "切换" changes the shared method too, and says so.
    QSignalSpy changed(&rig.session, &DownloadSession::optionsChanged);
    rig.scheduler().switchMethod();
    QCOMPARE(rig.options().method, 2);
    QCOMPARE(shared.DownloadMethod, 2);
    QCOMPARE(changed.size(), 1);
}

void TestDownloadSession::confirmedOptions_data()
{
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("connections");
    QTest::newRow("method 1") << 1 << 1 << 4;
    QTest::newRow("method 2 shows one connection") << 2 << 2 << 1;
    QTest::newRow("none chosen keeps the method") << 0 << 2 << 4;
}

void TestDownloadSession::confirmedOptions()
{
    QFETCH(int, chosen);
    DownloadTestRig rig;
    AppValues shared;
    rig.session.open(shared);
    rig.options().connections = 4;
    shared.ProxyEnabled = true;
    shared.ProxyAddress = QStringLiteral("127.0.0.1");
    shared.ProxyPort = QStringLiteral("8080");
    shared.MaxFileSizeMB = 2.5;
    QSignalSpy changed(&rig.session, &DownloadSession::optionsChanged);
    rig.session.takeConfirmedOptions(chosen);
    QTEST(rig.options().method, "method");
    QTEST(rig.options().connections, "connections");
    QVERIFY(rig.options().proxyEnabled);
    QCOMPARE(rig.options().proxyPort, QStringLiteral("8080"));
    QCOMPARE(rig.options().maxFileSizeMB, 2.5);
    QCOMPARE(changed.size(), 1);
}

void TestDownloadSession::closing_data()
{
    QTest::addColumn<bool>("rowWaiting");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("answer"); // -1: no question expected
    QTest::addColumn<bool>("closes");
    const int yes = int(UserDialogs::Answer::Yes);
    const int no = int(UserDialogs::Answer::No);
    QTest::newRow("finished list, idle") << false << false << -1 << true;
    QTest::newRow("a row waiting, answered no") << true << false << no << false;
    QTest::newRow("a row waiting, answered yes") << true << false << yes << true;
    QTest::newRow("scheduler on, empty list, answered no") << false << true << no << false;
}

void TestDownloadSession::closing()
{
    QFETCH(bool, rowWaiting);
    QFETCH(bool, running);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    DownloadTestRig rig;
    AppValues shared;
    rig.session.open(shared);
    rig.options().policy = DuplicatePolicy::Skip;
    rig.options().connections = 5;
    if (rowWaiting)
        rig.addRow(QStringLiteral("/a.pdf"), QStringLiteral("a"));
    if (running)
        switchOnQuietly(rig.scheduler());
    if (answer >= 0)
        rig.dialogs.answers.enqueue(UserDialogs::Answer(answer));

    QCOMPARE(rig.session.busy(), rowWaiting || running);
    QCOMPARE(rig.session.confirmClose(), closes);
    QCOMPARE(rig.dialogs.messages.size(), answer >= 0 ? 1 : 0);
    if (answer >= 0) {
        QCOMPARE(rig.dialogs.messages.first().text,
            QStringLiteral("正在下载文件或者下载没有完成，要强制关闭窗口吗？"));
        QCOMPARE(rig.dialogs.messages.first().style, UserDialogs::Style::QuestionYesNo);
    }
    // The policy and the method are written even when the close is refused;
    // the connection count only when the window goes.
    QCOMPARE(ReadSetting(Settings::DuplicateFilePolicy), QStringLiteral("跳过"));
    QCOMPARE(ReadSetting(Settings::DownloadMethod), QStringLiteral("2"));
    QCOMPARE(ReadSetting(Settings::ConnectionCountIndex), QStringLiteral("2"));
    if (!closes) {
        QCOMPARE(rig.scheduler().isRunning(), running);
        return;
    }
    rig.session.end();
    QCOMPARE(ReadSetting(Settings::ConnectionCountIndex), QStringLiteral("4"));
    QVERIFY(!rig.scheduler().isRunning());
    QVERIFY(!rig.scheduler().Timer1().isActive());
}

void TestDownloadSession::startEntry()
{
    DownloadTestRig rig;
    AppValues shared;
    rig.session.open(shared);
    QVERIFY(rig.session.startEntryEnabled());
    rig.addRow(QStringLiteral("/a.pdf"), QStringLiteral("a"));
    switchOnQuietly(rig.scheduler());
    // Waits while the scheduler runs over an unfinished list...
    QVERIFY(!rig.session.startEntryEnabled());
    // ...and is offered again once the list is finished.
    rig.list().update(0, [](DownloadItem &item) { item.StatusCode = Status::Completed; });
    QVERIFY(rig.session.startEntryEnabled());
}

namespace {

void addRows(DownloadList &list, const QString &names, int status)
{
    for (const QChar name : names) {
        list.addItem(QStringLiteral("http://a.test/") + name, QString(name), QStringLiteral("pdf"),
            QStringLiteral("/d/"), {});
        list.update(list.size() - 1, [&](DownloadItem &item) { item.StatusCode = status; });
    }
}

QString savedKeys(const DownloadListStore &store)
{
    DownloadList back;
    store.restore(back);
    QString names;
    for (int row = 0; row < back.size(); ++row)
        names += back.at(row).Key.right(1);
    return names;
}

} // namespace

void TestDownloadSession::keepingTheList_data()
{
    QTest::addColumn<QString>("saved"); // keys of a saved list before; empty: none
    QTest::addColumn<bool>("offered"); // the window was shown and asked
    QTest::addColumn<QString>("completed");
    QTest::addColumn<QString>("unfinished");
    QTest::addColumn<QString>("kept"); // keys saved afterwards; empty: no file

    QTest::newRow("unfinished rows are kept") << u""_s << true << u"a"_s << u"bc"_s << u"abc"_s;
    QTest::newRow("a finished list is not") << u""_s << true << u"ab"_s << u""_s << u""_s;
    QTest::newRow("a finished list drops the restored list")
        << u"xy"_s << true << u"a"_s << u""_s << u""_s;
    QTest::newRow("an unfinished list replaces an offered one")
        << u"xy"_s << true << u""_s << u"b"_s << u"b"_s;
    QTest::newRow("a list never offered stays, new rows after")
        << u"xy"_s << false << u"a"_s << u"yb"_s << u"xyab"_s;
    QTest::newRow("a list never offered stays as it was")
        << u"xy"_s << false << u"a"_s << u""_s << u"xy"_s;
}

void TestDownloadSession::keepingTheList()
{
    QFETCH(QString, saved);
    QFETCH(bool, offered);
    QFETCH(QString, completed);
    QFETCH(QString, unfinished);
    DownloadTestRig rig;
    DownloadListStore &store = rig.session.listStore();
    QCOMPARE(QFileInfo(store.filePath()).absolutePath(), rig.programFolder());
    if (!saved.isEmpty()) {
        DownloadList earlier;
        addRows(earlier, saved, Status::Waiting);
        QVERIFY(store.save(earlier));
    }
    if (offered) {
        // Answered No, or Yes and the rows are taken back into the list.
        const bool restore = !rig.session.savedListQuestion().isEmpty();
        rig.session.answerSavedList(restore);
        rig.list().clear();
    }
    addRows(rig.list(), completed, Status::Completed);
    addRows(rig.list(), unfinished.left(1), Status::Failed);
    addRows(rig.list(), unfinished.mid(1), Status::Downloading);

    QString error;
    QVERIFY2(rig.session.keepListForNextTime(&error), qPrintable(error));
    QFETCH(QString, kept);
    QCOMPARE(store.exists(), !kept.isEmpty());
    QCOMPARE(savedKeys(store), kept);
}

void TestDownloadSession::savedListOfferedOnce_data()
{
    QTest::addColumn<bool>("restore");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestDownloadSession::savedListOfferedOnce()
{
    QFETCH(bool, restore);
    DownloadTestRig rig;
    {
        DownloadList earlier;
        addRows(earlier, QStringLiteral("ab"), Status::Completed);
        addRows(earlier, QStringLiteral("cd"), Status::Downloading);
        QVERIFY(rig.session.listStore().save(earlier));
    }
    addRows(rig.list(), QStringLiteral("dx"), Status::Waiting);
    QCOMPARE(
        rig.session.savedListQuestion(), QStringLiteral("上次的下载列表还有2项未完成，是否恢复？"));
    QVERIFY(rig.session.answerSavedList(restore));
    QString keys;
    for (int row = 0; row < rig.list().size(); ++row)
        keys += rig.list().at(row).Key.right(1);
    QCOMPARE(keys, restore ? QStringLiteral("abcdx") : QStringLiteral("dx"));
    QCOMPARE(rig.session.listStore().exists(), restore);
    // Once per window.
    QCOMPARE(rig.session.savedListQuestion(), QString());
}

void TestDownloadSession::transferRatePanels()
{
    DownloadTestRig rig;
    AppValues shared;
    rig.session.open(shared);
    QVERIFY(!rig.session.transferRateShown());
    rig.addRow(QStringLiteral("/a.pdf"), QStringLiteral("a"));
    QSignalSpy panels(&rig.session, &DownloadSession::panelText);
    const auto lastText = [&panels](int panel) {
        for (qsizetype i = panels.size() - 1; i >= 0; --i) {
            if (panels.at(i).at(0).toInt() == panel)
                return panels.at(i).at(1).toString();
        }
        return QStringLiteral("(none)");
    };

    switchOnQuietly(rig.scheduler());
    QVERIFY(rig.session.transferRateShown());
    const auto show = [&rig](const char *received) {
        rig.list().update(0, [&](DownloadItem &item) {
            item.StatusCode = Status::Downloading;
            item.Size = QStringLiteral("1000000");
            item.Received = QString::fromLatin1(received);
        });
    };
    show("0");
    rig.session.showTransferRate();
    rig.clock.advance(1);
    show("200000");
    rig.session.showTransferRate();
    QCOMPARE(lastText(5), QStringLiteral("195.3 KB/s"));
    QCOMPARE(lastText(6), QStringLiteral("剩余 4 秒"));

    // Stopped, nothing runs: the panels empty and the timer stops.
    rig.scheduler().stop();
    rig.session.showTransferRate();
    QCOMPARE(lastText(5), QString());
    QCOMPARE(lastText(6), QString());
    QVERIFY(!rig.session.transferRateShown());
}

void TestDownloadSession::addingInputText()
{
    DownloadTestRig rig;
    int asked = 0;
    const auto folder = [&asked] {
        ++asked;
        return QStringLiteral("/papers/");
    };
    const QUrl site(QStringLiteral("https://site.test"));

    // Nothing to add: the folder is not asked for.
    const AddedAddresses none
        = rig.session.addInputText(QStringLiteral("\n words \n"), folder, site);
    QCOMPARE(asked, 0);
    QCOMPARE(none.skipped, 1);
    QCOMPARE(none.added, 0);

    const AddedAddresses added = rig.session.addInputText(
        QStringLiteral(
            "10.1007/s1-x\tPaper\thttp://p.test/list\nhttp://a.test/1.pdf\nhttp://a.test/1.pdf"),
        folder, site);
    QCOMPARE(asked, 1);
    QCOMPARE(added.added, 2);
    QCOMPARE(added.alreadyListed, 1);
    QCOMPARE(added.skipped, 0);
    QCOMPARE(rig.list().size(), 2);
    const DownloadItem &doiRow = rig.list().at(0);
    QCOMPARE(doiRow.Key, QStringLiteral("https://site.test/content/pdf/10.1007%2Fs1-x.pdf"));
    QCOMPARE(doiRow.Doi, QStringLiteral("10.1007/s1-x"));
    QCOMPARE(doiRow.Referer, QStringLiteral("http://p.test/list"));
    QCOMPARE(doiRow.Folder, QStringLiteral("/papers/"));
    QCOMPARE(doiRow.StatusCode, Status::Waiting);

    // No folder given (the dialog was cancelled): nothing is added.
    const AddedAddresses refused = rig.session.addInputText(
        QStringLiteral("http://b.test/2.pdf"), [] { return QString(); }, site);
    QVERIFY(refused.noFolder);
    QCOMPARE(refused.added, 0);
    QCOMPARE(rig.list().size(), 2);
    QVERIFY(refused.message().isEmpty());
}

QTEST_GUILESS_MAIN(TestDownloadSession)
#include "tst_downloadsession.moc"
