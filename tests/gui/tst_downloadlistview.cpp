#include "download/DownloadList.h"
#include "download/ui/ProgressBarDelegate.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestDownloadListView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void busyRowsRepaintAboutTenTimesASecond();
    void percentColumnDrawsABar_data();
    void percentColumnDrawsABar();
};

void TestDownloadListView::busyRowsRepaintAboutTenTimesASecond()
{
    DownloadList list;
    for (int i = 0; i < 40; ++i)
        list.addItem(QString::number(i), QStringLiteral("n%1").arg(i), QStringLiteral("pdf"),
            QStringLiteral("/d/"), QString());
    QTableView view;
    view.setModel(&list);
    view.resize(800, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTest::qWait(50);

    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    // Six transfers report a chunk each every millisecond or so.
    int chunk = 0;
    QTimer progress;
    connect(&progress, &QTimer::timeout, &list, [&] {
        ++chunk;
        for (int row = 2; row < 8; ++row)
            list.update(row, [&](DownloadItem &item) {
                item.StatusCode = Status::Downloading;
                item.Received = QString::number(chunk * 1024);
            });
    });
    // The chunk the view was last told about for row 7.
    int toldChunk = 0;
    connect(&list, &QAbstractItemModel::dataChanged, &list,
        [&](const QModelIndex &from, const QModelIndex &to) {
            if (from.row() <= 7 && to.row() >= 7)
                toldChunk = chunk;
        });
    QElapsedTimer elapsed;
    elapsed.start();
    progress.start(1);
    QTRY_VERIFY(elapsed.elapsed() >= 600 && chunk >= 60);
    progress.stop();
    const qint64 ms = elapsed.elapsed();

    QVERIFY2(counter.paints >= 2, "the view must keep showing progress while it runs");
    QVERIFY2(counter.paints <= ms / 100 + 3,
        qPrintable(QStringLiteral("%1 paints for %2 chunks in %3 ms")
                       .arg(counter.paints)
                       .arg(chunk)
                       .arg(ms)));
    // The last chunk reaches the view, also when it came within a batch.
    QTRY_COMPARE(toldChunk, chunk);
}

void TestDownloadListView::percentColumnDrawsABar_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<bool>("bar");
    QTest::newRow("downloading, 30%") << Status::Downloading << QStringLiteral("30%") << true;
    QTest::newRow("downloading, no number yet")
        << Status::Downloading << StatusText::Unknown << false;
    QTest::newRow("waiting") << Status::Waiting << QStringLiteral("30%") << false;
    QTest::newRow("completed") << Status::Completed << QStringLiteral("100%") << false;
}

void TestDownloadListView::percentColumnDrawsABar()
{
    QFETCH(int, status);
    QFETCH(QString, percent);
    QFETCH(bool, bar);
    DownloadList list;
    list.addItem(QStringLiteral("k"), QStringLiteral("n"), QStringLiteral("pdf"),
        QStringLiteral("/d/"), QString());
    list.update(0, [&](DownloadItem &item) {
        item.StatusCode = status;
        item.Percent = percent;
    });
    QTreeView view;
    view.setRootIsDecorated(false);
    view.setModel(&list);
    view.setItemDelegateForColumn(DownloadList::PercentColumn, new ProgressBarDelegate(&view));
    view.setColumnWidth(DownloadList::PercentColumn, 300);
    view.resize(900, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    const QModelIndex cell = list.index(0, DownloadList::PercentColumn);
    const QRect rect = view.visualRect(cell);
    const QImage image = view.viewport()->grab().toImage();
    // A quarter in, the bar is filled, and near the end it is empty; without
    // a bar both are the row's background (a plain text ends before).
    const int y = rect.center().y();
    const QColor filled = image.pixelColor(rect.left() + rect.width() / 4, y);
    const QColor empty = image.pixelColor(rect.right() - rect.width() / 6, y);
    QCOMPARE(filled != empty, bar);
    // The model's text is what sorting and export read.
    QCOMPARE(cell.data().toString(), percent);
}

QTEST_MAIN(TestDownloadListView)
#include "tst_downloadlistview.moc"
