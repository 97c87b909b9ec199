#include "DiskCacheWriter.h"
#include "FakeDialogs.h"
#include "ModalWatch.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "WindowTestRig.h"
#include "cachetools/BrowserCacheClearing.h"
#include "cachetools/ui/fIEcache.h"
#include "copytool/ui/Form_Copy_Move.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <functional>

namespace {

const QString kSub = QStringLiteral(".cache/QtWebEngine/Quillmoor/Cache/Cache_Data");

void click(QWidget &window, const char *name)
{
    auto *button = window.findChild<QPushButton *>(QLatin1String(name));
    QVERIFY2(button, name);
    button->click();
}

QPushButton *button(QWidget &window, const char *name)
{
    return window.findChild<QPushButton *>(QLatin1String(name));
}

// The home folder for the menu entries, which take the running user's home.
struct HomeAt
{
    explicit HomeAt(const QString &home) : saved(qgetenv("HOME"))
    {
        qputenv("HOME", QFile::encodeName(home));
    }
    ~HomeAt() { qputenv("HOME", saved); }
    QByteArray saved;
};


} // namespace

class TestFIEcache : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();

    void showsBothViews();
    void headerClickSortsSizesAsNumbers();
    void deletesSelectedRowsAndRelists();
    void copiesSelectedBodiesThroughCopyWindow();
    void deleteAllKeepsTheWindowResponsive();
    void bodiesThatCannotBeReadOutAreNamed();
    void menuEntryOpensTheWindowWithTheGivenServices();
    void menuEntryClearsInTheBackground();

private:
    // The window shown with my cache listed, its copy window opened by the
    // program's windows as in the program.
    struct ListedWindow
    {
        explicit ListedWindow(const BrowserCacheLocations &locations)
            : window(locations, rig.dialogs)
        {
            rig.openWindows();
            QObject::connect(&window, &fIEcache::copyWindowRequested, &window,
                [this](const QStringList &files) { rig.windows->execCopyWindow(&window, files); });
            window.show();
            click(window, "Command1");
        }
        WindowTestRig rig;
        FakeDialogs &dialogs = rig.dialogs;
        fIEcache window;
        QTreeView *files() { return window.findChild<QTreeView *>(QStringLiteral("ListView1")); }
    };

    BrowserCacheLocations locations() const
    {
        const QString home = m_dir.filePath(QStringLiteral("home/me"));
        return { home + u'/' + kSub, home };
    }
    QModelIndex rowOf(fIEcache &window, const QString &url);
    QString profileCachePath() const
    {
        return m_dir.filePath(QStringLiteral("home/me/.cache/QtWebEngine/Quillmoor"));
    }
    void writeBrokenEntry();

    QTemporaryDir m_dir;
};

void TestFIEcache::init()
{
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
        QStringLiteral("Quillmoor"))
        .clear();
    QDir(m_dir.path()).removeRecursively();
    const QString mine = locations().myCacheFolder;
    const QList<QPair<QString, QByteArray>> entries { { QStringLiteral("http://a.test/nine.pdf"),
                                                          QByteArray(9, 'n') },
        { QStringLiteral("http://a.test/ten.pdf"), QByteArray(10, 't') },
        { QStringLiteral("http://a.test/hundred.pdf"), QByteArray(100, 'h') } };
    for (const auto &[url, body] : entries)
        DiskCacheWriter::write(mine, DiskCacheWriter::entryFor(url, body, "application/pdf"));
    QVERIFY(writeFile(
        m_dir.filePath(QStringLiteral("home/you/") + kSub + QStringLiteral("/sub/x_0")), "x"));
}

QModelIndex TestFIEcache::rowOf(fIEcache &window, const QString &url)
{
    const CacheFileList *list = window.tool().fileList();
    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->row(row).text == url)
            return list->index(row, 0);
    }
    return {};
}

void TestFIEcache::showsBothViews()
{
    FakeDialogs dialogs;
    fIEcache window(locations(), dialogs);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Quillmoor-IE浏览器Cookie 缓存和历史列表"));
    auto *label = window.findChild<QLabel *>(QStringLiteral("Label1"));
    QCOMPARE(label->text(), QStringLiteral("000"));
    auto *files = window.findChild<QTreeView *>(QStringLiteral("ListView1"));
    QCOMPARE(
        files->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("SIZE(Byte)"));
    QCOMPARE(files->model()->rowCount(), 0); // nothing until a button is pressed

    click(window, "Command1");
    QCOMPARE(files->model()->rowCount(), 3);
    QCOMPARE(label->text(), QStringLiteral("共有3 个文件"));

    click(window, "Command7");
    auto *users = window.findChild<QTreeWidget *>(QStringLiteral("ListView2"));
    auto *folders = window.findChild<QTreeWidget *>(QStringLiteral("ListView3"));
    QCOMPARE(users->headerItem()->text(0), QStringLiteral("用户名"));
    QCOMPARE(users->topLevelItemCount(), 2);
    QCOMPARE(users->topLevelItem(1)->text(0), QStringLiteral("you"));
    QCOMPARE(
        users->topLevelItem(1)->text(1), m_dir.filePath(QStringLiteral("home/you/")) + kSub + u'/');
    QCOMPARE(folders->topLevelItemCount(), 1);
    QCOMPARE(label->text(), QStringLiteral("共有4 个文件"));
    QCOMPARE(window.tool().fileList()->row(3).text, QStringLiteral("用户:you"));
}

void TestFIEcache::headerClickSortsSizesAsNumbers()
{
    ListedWindow listed(locations());
    QTreeView *files = listed.files();
    const auto sizes = [files] {
        QStringList values;
        for (int row = 0; row < files->model()->rowCount(); ++row)
            values << files->model()->index(row, 2).data().toString();
        return values.join(u',');
    };
    QHeaderView *header = files->header();
    const QPoint sizeHeader(header->sectionViewportPosition(2) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
    QCOMPARE(sizes(), QStringLiteral("100,10,9"));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
    QCOMPARE(sizes(), QStringLiteral("9,10,100"));
}

void TestFIEcache::deletesSelectedRowsAndRelists()
{
    ListedWindow listed(locations());
    fIEcache &window = listed.window;
    QTreeView *files = listed.files();
    files->selectionModel()->select(rowOf(window, QStringLiteral("http://a.test/ten.pdf")),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QSignalSpy deleted(&window.tool(), &BrowserCacheTool::deleteFinished);
    click(window, "Command2");
    QVERIFY(deleted.wait(10000));
    QCOMPARE(files->model()->rowCount(), 2);
    QVERIFY(!rowOf(window, QStringLiteral("http://a.test/ten.pdf")).isValid());
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label1"))->text(),
        QStringLiteral("共有2 个文件"));
    QVERIFY(!WebEngineDiskCache(locations().myCacheFolder)
                 .find(QStringLiteral("http://a.test/ten.pdf")));
}

void TestFIEcache::copiesSelectedBodiesThroughCopyWindow()
{
    // A temporary folder of its own, so that folders other runs left behind
    // do not count.
    const QString temp = m_dir.filePath(QStringLiteral("temp"));
    QVERIFY(QDir().mkpath(temp));
    const QByteArray savedTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp));
    const auto restoreTemp = qScopeGuard([&savedTemp] {
        if (savedTemp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTemp);
    });
    QCOMPARE(QDir::tempPath(), temp);
    ListedWindow listed(locations());
    fIEcache &window = listed.window;
    QTreeView *files = listed.files();
    for (const char *url : { "http://a.test/nine.pdf", "http://a.test/hundred.pdf" })
        files->selectionModel()->select(rowOf(window, QLatin1String(url)),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);

    const QString out = m_dir.filePath(QStringLiteral("out"));
    QString caption;
    bool ran = false;
    WhenModalShown<Form_Copy_Move>(this, [&](Form_Copy_Move *copy) {
        caption = copy->windowTitle();
        QVERIFY(!copy->tool().MoveMode);
        QCOMPARE(copy->parentWidget(), &window);
        copy->findChild<QComboBox *>(QStringLiteral("Combo1"))->setEditText(out);
        QSignalSpy finished(&copy->tool(), &CopyMoveTool::runFinished);
        click(*copy, "Command1");
        ran = finished.wait(10000);
        click(*copy, "Command2");
    });
    click(window, "Command6");
    QTRY_VERIFY(ran);
    QCOMPARE(caption, QStringLiteral("复制文件：2 个文件..."));
    QCOMPARE(readFile(out + QStringLiteral("/nine.pdf")), QByteArray(9, 'n'));
    QCOMPARE(readFile(out + QStringLiteral("/hundred.pdf")), QByteArray(100, 'h'));
    QCOMPARE(listed.dialogs.messages.last().text, QStringLiteral("复制文件完成！"));
    // The bodies written out for the copy go with the copy window.
    QTRY_VERIFY(QDir(temp).entryList({ QStringLiteral("quillmoor-cache-*") }).isEmpty());
}

void TestFIEcache::deleteAllKeepsTheWindowResponsive()
{
    const QString mine = locations().myCacheFolder;
    for (int i = 0; i < 3 * BrowserCacheTool::RowsPerSlice; ++i) {
        DiskCacheWriter::write(
            mine, DiskCacheWriter::entryFor(QStringLiteral("http://b.test/%1.pdf").arg(i), "x"));
    }
    ListedWindow listed(locations());
    fIEcache &window = listed.window;
    auto *label = window.findChild<QLabel *>(QStringLiteral("Label1"));
    const int total = listed.files()->model()->rowCount();
    QCOMPARE(total, 3 * BrowserCacheTool::RowsPerSlice + 3);

    QStringList shown;
    connect(&window.tool(), &BrowserCacheTool::progress, this,
        [&] { shown << label->text(); }); // after the window's own slot
    int turns = 0;
    QTimer loop;
    connect(&loop, &QTimer::timeout, this, [&] { ++turns; });
    loop.start(0);
    QSignalSpy deleted(&window.tool(), &BrowserCacheTool::deleteFinished);
    click(window, "Command3");
    // The run shows at once, and nothing else can be started meanwhile.
    QCOMPARE(label->text(), QStringLiteral("正在删除：0/%1 个文件...").arg(total));
    for (const char *name : { "Command1", "Command7", "Command2", "Command3", "Command6" })
        QVERIFY2(!button(window, name)->isEnabled(), name);
    QVERIFY(button(window, "Command4")->isEnabled());
    QVERIFY(deleted.wait(10000));

    QVERIFY2(turns >= 2, qPrintable(QString::number(turns)));
    const QRegularExpression partial(QStringLiteral("^正在删除：(\\d+)/%1 个文件...$").arg(total));
    bool midway = false;
    for (const QString &text : std::as_const(shown)) {
        const QRegularExpressionMatch match = partial.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        midway = midway || (match.captured(1).toInt() > 0 && match.captured(1).toInt() < total);
    }
    QVERIFY(midway);
    QCOMPARE(label->text(), QStringLiteral("共有0 个文件"));
    QCOMPARE(listed.files()->model()->rowCount(), 0);
    for (const char *name : { "Command1", "Command7", "Command2", "Command3", "Command6" })
        QVERIFY2(button(window, name)->isEnabled(), name);
}

void TestFIEcache::writeBrokenEntry()
{
    SyntheticCacheEntry broken = DiskCacheWriter::entryFor(
        QStringLiteral("http://a.test/broken.pdf"), "not gzip", "application/pdf");
    broken.headerLines.append("Content-Encoding: gzip");
    DiskCacheWriter::write(locations().myCacheFolder, broken);
}

void TestFIEcache::bodiesThatCannotBeReadOutAreNamed()
{
    writeBrokenEntry();
    ListedWindow listed(locations());
    fIEcache &window = listed.window;
    for (const char *url : { "http://a.test/broken.pdf", "http://a.test/ten.pdf" })
        listed.files()->selectionModel()->select(rowOf(window, QLatin1String(url)),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QString caption;
    int messagesBefore = -1;
    WhenModalShown<Form_Copy_Move>(this, [&](Form_Copy_Move *copy) {
        caption = copy->windowTitle();
        messagesBefore = int(listed.dialogs.messages.size());
        click(*copy, "Command2");
    });
    click(window, "Command6");
    QTRY_VERIFY(!caption.isEmpty());
    QCOMPARE(caption, QStringLiteral("复制文件：1 个文件..."));
    // Said before the copy window opens.
    QCOMPARE(messagesBefore, 1);
    QCOMPARE(listed.dialogs.messages[0].text,
        QStringLiteral("1 个缓存文件无法读出，没有复制：\nhttp://a.test/broken.pdf"));
    QCOMPARE(listed.dialogs.messages[0].style, UserDialogs::Style::Error);
}

void TestFIEcache::menuEntryOpensTheWindowWithTheGivenServices()
{
    const HomeAt home(m_dir.filePath(QStringLiteral("home/me")));
    writeBrokenEntry();
    WindowTestRig rig(QStringLiteral("program"));
    rig.openWindows();
    QWidget owner;
    owner.show();

    QString destination;
    bool copyShown = false;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        auto *cache = qobject_cast<fIEcache *>(QApplication::activeModalWidget());
        if (!cache || cache->tool().isBusy())
            return;
        if (copyShown) {
            click(*cache, "Command4");
            return;
        }
        if (cache->tool().tag().isEmpty()) {
            QCOMPARE(cache->parentWidget(), &owner);
            click(*cache, "Command1");
            auto *files = cache->findChild<QTreeView *>(QStringLiteral("ListView1"));
            files->selectionModel()->select(
                rowOf(*cache, QStringLiteral("http://a.test/broken.pdf")),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
            WhenModalShown<Form_Copy_Move>(this, [&, cache](Form_Copy_Move *copy) {
                copyShown = true;
                QCOMPARE(copy->parentWidget(), cache);
                destination = copy->findChild<QComboBox *>(QStringLiteral("Combo1"))->currentText();
                click(*copy, "Command2");
            });
            click(*cache, "Command6");
        }
    });
    driver.start(10);
    rig.windows->execCacheWindow(&owner, profileCachePath());
    QVERIFY(copyShown);
    // The copy window's folder comes from the program's folder, the
    // window's message went to the program's dialogs.
    QCOMPARE(destination, rig.paths.programFolder());
    QCOMPARE(rig.dialogs.messages.size(), 1);
    QVERIFY(rig.dialogs.messages[0].text.endsWith(QStringLiteral("http://a.test/broken.pdf")));
}

void TestFIEcache::menuEntryClearsInTheBackground()
{
    const HomeAt home(m_dir.filePath(QStringLiteral("home/me")));
    QCOMPARE(BrowserCacheLocations::ofProfile(profileCachePath()).myCacheFolder,
        locations().myCacheFolder);
    FakeDialogs dialogs;
    QWidget owner;
    owner.show();
    int profileCleared = 0;
    ClearBrowserCache(&owner, profileCachePath(), dialogs, [&] { ++profileCleared; });
    // A second click while the first run is going on starts nothing.
    ClearBrowserCache(&owner, profileCachePath(), dialogs, [&] { ++profileCleared; });
    QCOMPARE(profileCleared, 1);
    // Returned at once; the run goes on, its progress window made ready.
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(owner.findChild<QWidget *>(QStringLiteral("ClearCacheProgress")));
    QTRY_COMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("IE缓存清空完毕！"));
    QVERIFY(WebEngineDiskCache(locations().myCacheFolder).entries().isEmpty());
    QVERIFY(!QFile::exists(
        m_dir.filePath(QStringLiteral("home/you/") + kSub + QStringLiteral("/sub/x_0"))));
    QTRY_VERIFY(!owner.findChild<BrowserCacheClearing *>());
    QTRY_VERIFY(!owner.findChild<QWidget *>(QStringLiteral("ClearCacheProgress")));
}

QTEST_MAIN(TestFIEcache)
#include "tst_fiecache.moc"
