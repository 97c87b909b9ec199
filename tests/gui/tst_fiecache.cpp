#include "DiskCacheWriter.h"
#include "FakeDialogs.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "cachetools/ui/fIEcache.h"
#include "platform/AppPaths.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

namespace {

const QString kSub = QStringLiteral(".cache/QtWebEngine/Quillmoor/Cache/Cache_Data");

void click(QWidget &window, const char *name)
{
    auto *button = window.findChild<QPushButton *>(QLatin1String(name));
    QVERIFY2(button, name);
    button->click();
}

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

private:
    // The window shown with my cache listed.
    struct ListedWindow
    {
        ListedWindow(const BrowserCacheLocations &locations, const QString &folder)
            : paths(folder), window(locations, dialogs, paths)
        {
            window.show();
            click(window, "Command1");
        }
        FakeDialogs dialogs;
        const FixedAppPaths paths;
        fIEcache window;
        QTreeView *files() { return window.findChild<QTreeView *>(QStringLiteral("ListView1")); }
    };

    BrowserCacheLocations locations() const
    {
        const QString home = m_dir.filePath(QStringLiteral("home/me"));
        return { home + u'/' + kSub, home };
    }
    QModelIndex rowOf(fIEcache &window, const QString &url);

    QTemporaryDir m_dir;
};

void TestFIEcache::init()
{
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
    const FixedAppPaths paths(m_dir.path());
    fIEcache window(locations(), dialogs, paths);
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
    ListedWindow listed(locations(), m_dir.path());
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
    ListedWindow listed(locations(), m_dir.path());
    fIEcache &window = listed.window;
    QTreeView *files = listed.files();
    files->selectionModel()->select(rowOf(window, QStringLiteral("http://a.test/ten.pdf")),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    click(window, "Command2");
    QCOMPARE(files->model()->rowCount(), 2);
    QVERIFY(!rowOf(window, QStringLiteral("http://a.test/ten.pdf")).isValid());
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label1"))->text(),
        QStringLiteral("共有2 个文件"));
    QVERIFY(!WebEngineDiskCache(locations().myCacheFolder)
                 .find(QStringLiteral("http://a.test/ten.pdf")));
}

void TestFIEcache::copiesSelectedBodiesThroughCopyWindow()
{
    ListedWindow listed(locations(), m_dir.path());
    fIEcache &window = listed.window;
    QTreeView *files = listed.files();
    for (const char *url : { "http://a.test/nine.pdf", "http://a.test/hundred.pdf" })
        files->selectionModel()->select(rowOf(window, QLatin1String(url)),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);

    const QString out = m_dir.filePath(QStringLiteral("out"));
    QString caption;
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
        auto *copy = qobject_cast<Form_Copy_Move *>(QApplication::activeModalWidget());
        QVERIFY(copy);
        caption = copy->windowTitle();
        QVERIFY(!copy->tool().MoveMode);
        copy->findChild<QComboBox *>(QStringLiteral("Combo1"))->setEditText(out);
        QSignalSpy finished(&copy->tool(), &CopyMoveTool::runFinished);
        click(*copy, "Command1");
        ran = finished.wait(10000);
        click(*copy, "Command2");
    });
    click(window, "Command6");
    QVERIFY(ran);
    QCOMPARE(caption, QStringLiteral("复制文件：2 个文件..."));
    QCOMPARE(readFile(out + QStringLiteral("/nine.pdf")), QByteArray(9, 'n'));
    QCOMPARE(readFile(out + QStringLiteral("/hundred.pdf")), QByteArray(100, 'h'));
    QCOMPARE(listed.dialogs.messages.last().text, QStringLiteral("复制文件完成！"));
}

QTEST_MAIN(TestFIEcache)
#include "tst_fiecache.moc"
