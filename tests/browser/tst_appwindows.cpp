#include "ModalWatch.h"
#include "BrowserTestMain.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeShell.h"
#include "FixtureServer.h"
#include "LiteratureSite.h"
#include "RecordingSoundPlayer.h"
#include "app/ui/AppWindows.h"
#include "app/ui/fCover.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "common/WindowNames.h"
#include "common/ui/OpenWindows.h"
#include "download/DownloadOptions.h"
#include "download/DownloadSession.h"
#include "download/ui/fFileDownload.h"
#include "platform/AppPaths.h"
#include "search/AnalysisList.h"
#include "search/AnalysisListStore.h"
#include "search/SearchBrowsing.h"
#include "search/ui/fWebSearch.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

// The road between the program's windows, as the application wires it: each
// window only asks, and the start-up window, the search window, the download
// window and their dialogs answer each other through it.
class tst_AppWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void roadBetweenTheWindows();

private:
    // Answers the next modal dialog with `answer` once it is shown, and
    // remembers its object name and owner.
    void answerNextDialog(const std::function<void(QWidget *)> &answer);

    FixtureServer m_server;
    FakeClock m_clock;
    FakeDialogs m_dialogs;
    FakeShell m_shell;
    RecordingSoundPlayer m_player;
    AppValues m_values;
    QTemporaryDir m_dir;
    QString m_dialogName;
    QPointer<QWidget> m_dialogOwner;
};

void tst_AppWindows::initTestCase()
{
    LiteratureSite::install(m_server);
    QVERIFY(m_server.listen());
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
        QStringLiteral("Quillmoor"))
        .clear();
    WriteSetting(SearchBrowsing::HomePage.section, SearchBrowsing::HomePage.key,
        m_server.urlText(QStringLiteral("/")));
}

void tst_AppWindows::answerNextDialog(const std::function<void(QWidget *)> &answer)
{
    m_dialogName.clear();
    WhenModalShown(this, [this, answer](QWidget *dialog) {
        m_dialogName = dialog->objectName();
        m_dialogOwner = dialog->parentWidget();
        answer(dialog);
    });
}

void tst_AppWindows::roadBetweenTheWindows()
{
    const FixedAppPaths paths(m_dir.path());
    AppWindows windows({ m_values, m_clock, paths, m_player, m_dialogs, m_shell });
    QSignalSpy ending(&windows, &AppWindows::programEnding);
    fCover *cover = windows.cover();
    cover->open();

    // The start-up window's button: it hides, the search window opens.
    cover->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QVERIFY(!cover->isVisible());
    QPointer<fWebSearch> search = windows.searchWindow();
    QVERIFY(search && search->isVisible());
    QVERIFY(IsWindowOpen(WindowName::WebSearch));

    // "打开下载窗口", and from there back to the same search window.
    search->menuEntry({ QStringLiteral("工具(&T)"), QStringLiteral("打开下载窗口") })->trigger();
    QPointer<fFileDownload> download = windows.downloadWindow();
    QVERIFY(download && download->isVisible());
    download->menuEntry({ QStringLiteral("窗口(&W)"), QStringLiteral("资料检索分析窗口") })
        ->trigger();
    QCOMPARE(windows.searchWindow(), search.data());

    // "设置" of the search window, modal over it; the open download window
    // takes the confirmed method at once.
    answerNextDialog([](QWidget *dialog) {
        dialog->findChild<QRadioButton *>(QStringLiteral("Option1"))->setChecked(true);
        dialog->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    });
    search->menuEntry({ QStringLiteral("工具(&T)"), QStringLiteral("设置") })->trigger();
    QCOMPARE(m_dialogName, WindowName::Options);
    QCOMPARE(m_dialogOwner.data(), search.data());
    QCOMPARE(download->session().options().method, 1);
    QCOMPARE(download->findChild<QLabel *>(QStringLiteral("Label7"))->text(),
        QStringLiteral("下载方式：1"));
    QCOMPARE(m_values.DownloadMethod, 1);

    // "关于" of the download window, modal over it.
    answerNextDialog([](QWidget *dialog) { qobject_cast<QDialog *>(dialog)->accept(); });
    download->menuEntry({ QStringLiteral("帮助(&H)"), QStringLiteral("关于") })->trigger();
    QCOMPARE(m_dialogName, WindowName::About);
    QCOMPARE(m_dialogOwner.data(), download.data());

    // Closing one of the two leaves the start-up window hidden; closing the
    // other brings it back.
    QVERIFY(search->close());
    QVERIFY(!cover->isVisible());
    QVERIFY(windows.searchWindow() == nullptr);
    QVERIFY(download->close());
    QVERIFY(cover->isVisible());
    QTRY_VERIFY(search.isNull() && download.isNull());

    // Once more with a waiting row: a refused close keeps the download
    // window, and the start-up window (shown again by the user) ends it all
    // without a question.
    cover->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    search = windows.searchWindow();
    download = windows.showDownloadWindow();
    download->list().addItem(m_server.urlText(QStringLiteral("/a.pdf")), QStringLiteral("a"),
        QStringLiteral("pdf"), m_dir.path() + QLatin1Char('/'), {});
    QVERIFY(search->close());
    QVERIFY(!cover->isVisible());
    m_dialogs.answers.enqueue(UserDialogs::Answer::No);
    QVERIFY(!download->close());
    QCOMPARE(m_dialogs.messages.size(), 1);
    // The program ends with a search window open: its list is kept as a
    // close keeps it.
    download->menuEntry({ QStringLiteral("窗口(&W)"), QStringLiteral("资料检索分析窗口") })
        ->trigger();
    search = windows.searchWindow();
    QVERIFY(search);
    search->list().加入LV1(QStringLiteral("a"), m_server.urlText(QStringLiteral("/a.pdf")), {},
        QStringLiteral("pdf"), {}, {});
    cover->show();
    cover->findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    QCOMPARE(ending.size(), 1);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY(!windows.downloadWindow());
    QVERIFY(!windows.searchWindow());
    QCOMPARE(AnalysisListStore(m_dir.path()).savedRowCount(), qsizetype(1));
    QTRY_VERIFY(download.isNull());
}

QUILLMOOR_BROWSER_TEST_MAIN(tst_AppWindows)
#include "tst_appwindows.moc"
