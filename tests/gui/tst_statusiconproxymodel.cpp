#include "download/DownloadList.h"
#include "download/ui/StatusIconProxyModel.h"

#include <QAbstractItemModelTester>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

namespace {

QImage imageOf(const QVariant &decoration)
{
    return decoration.value<QIcon>().pixmap(16, 16).toImage();
}

} // namespace

class TestStatusIconProxyModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fourDistinctIcons();
    void iconFollowsStatusOnNameColumnOnly();
};

void TestStatusIconProxyModel::fourDistinctIcons()
{
    const StatusIconProxyModel proxy;
    QList<QImage> images;
    for (int code = Status::Waiting; code <= Status::Failed; ++code) {
        const QIcon icon = proxy.iconForStatus(code);
        QVERIFY2(!icon.isNull(), qPrintable(QString::number(code)));
        const QImage image = icon.pixmap(16, 16).toImage();
        QCOMPARE(image.size(), QSize(16, 16));
        QVERIFY(!images.contains(image));
        images << image;
    }
    QVERIFY(proxy.iconForStatus(0).isNull());
    QVERIFY(proxy.iconForStatus(5).isNull());
}

void TestStatusIconProxyModel::iconFollowsStatusOnNameColumnOnly()
{
    DownloadList list;
    StatusIconProxyModel proxy;
    proxy.setSourceModel(&list);
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(list.addItem(QStringLiteral("k"), QStringLiteral("名"), QStringLiteral("pdf"),
        QStringLiteral("/d/"), QString()));

    const QModelIndex name = proxy.index(0, DownloadList::NameColumn);
    QCOMPARE(name.data().toString(), QStringLiteral("名"));
    QCOMPARE(imageOf(name.data(Qt::DecorationRole)),
        proxy.iconForStatus(Status::Waiting).pixmap(16, 16).toImage());
    for (int column = 1; column < DownloadList::ColumnCount; ++column)
        QVERIFY(!proxy.index(0, column).data(Qt::DecorationRole).isValid());

    QSignalSpy changed(&proxy, &QAbstractItemModel::dataChanged);
    list.update(0, [](DownloadItem &item) { item.StatusCode = Status::Completed; });
    QCOMPARE(changed.count(), 1);
    QCOMPARE(imageOf(name.data(Qt::DecorationRole)),
        proxy.iconForStatus(Status::Completed).pixmap(16, 16).toImage());

    list.update(0, [](DownloadItem &item) { item.StatusCode = 9; });
    QVERIFY(!name.data(Qt::DecorationRole).isValid());
}

QTEST_MAIN(TestStatusIconProxyModel)
#include "tst_statusiconproxymodel.moc"
