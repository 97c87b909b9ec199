#include "common/DropDownWidth.h"
#include "common/ui/ListViewHelpers.h"

#include <QComboBox>
#include <QHeaderView>
#include <QListView>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>

// Column widths, striped rows and the width of a drop-down box's list.
class TestListViewHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void columnWidthOutsideTheColumns_data();
    void columnWidthOutsideTheColumns();
    void fitToContentsAndHeader();
    void stripes();
    void dropDownWidth_data();
    void dropDownWidth();
    void longestEntry();
    void dropDownOnABox();
};

namespace {

struct ListFixture
{
    QStandardItemModel model { 2, 3 };
    QTreeView view;
    ListFixture()
    {
        model.setHorizontalHeaderLabels({ QStringLiteral("名称"),
            QStringLiteral("一个很长很长的列标题"), QStringLiteral("B") });
        model.setItem(0, 0, new QStandardItem(QStringLiteral("一篇标题相当长的论文名称，足够宽")));
        model.setItem(1, 1, new QStandardItem(QStringLiteral("x")));
        view.setModel(&model);
        view.header()->setStretchLastSection(false);
        view.setUniformRowHeights(true);
        for (int c = 0; c < 3; ++c)
            view.setColumnWidth(c, 33);
    }
    QList<int> widths() const
    {
        return { view.columnWidth(0), view.columnWidth(1), view.columnWidth(2) };
    }
};

} // namespace

void TestListViewHelpers::columnWidthOutsideTheColumns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("headerHidden");
    QTest::newRow("column 0") << 0 << false;
    QTest::newRow("beyond the last") << 4 << false;
    QTest::newRow("no header (not a report list)") << 1 << true;
}

void TestListViewHelpers::columnWidthOutsideTheColumns()
{
    QFETCH(int, column);
    QFETCH(bool, headerHidden);
    ListFixture list;
    list.view.setHeaderHidden(headerHidden);
    SetColumnWidth(&list.view, column, 120);
    SetColumnWidth(&list.view, column, FitContentsAndHeader);
    QCOMPARE(list.widths(), (QList<int> { 33, 33, 33 }));
}

void TestListViewHelpers::fitToContentsAndHeader()
{
    ListFixture list;
    SetColumnWidth(&list.view, 3, 120); // counted from 1
    QCOMPARE(list.view.columnWidth(2), 120);

    SetAllColumnWidths(&list.view, FitContents);
    const int contentOnly = list.view.columnWidth(1);
    SetAllColumnWidths(&list.view, FitContentsAndHeader);
    // The first column fits its long name; the second its long header text,
    // which -1 ignores.
    QVERIFY(list.view.columnWidth(0) > 150);
    QVERIFY(list.view.columnWidth(1) > contentOnly);
    QCOMPARE(list.view.columnWidth(1), list.view.header()->sectionSizeHint(1));
}

void TestListViewHelpers::stripes()
{
    ListFixture list;
    StripeListBackground(&list.view);
    StripeListBackground(&list.view); // twice changes nothing
    // The stripes follow the rows at any height: row 0 green, row 1 white.
    list.view.resize(400, 400);
    QFont big = list.view.font();
    big.setPointSize(26);
    list.view.setFont(big);
    const QImage image = list.view.grab().toImage();
    const QRect row0 = list.view.visualRect(list.model.index(0, 2));
    const QRect row1 = list.view.visualRect(list.model.index(1, 2));
    QCOMPARE(row1.height(), row0.height());
    const QPoint offset = list.view.viewport()->mapTo(&list.view, QPoint(0, 0));
    QCOMPARE(image.pixelColor(row0.center() + offset), QColor(231, 248, 237));
    QCOMPARE(image.pixelColor(row1.center() + offset), QColor(Qt::white));
    // Below the last row the list is plain white.
    QCOMPARE(
        image.pixelColor(row1.center() + offset + QPoint(0, 2 * row1.height())), QColor(Qt::white));
}

void TestListViewHelpers::dropDownWidth_data()
{
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("room");
    QTest::addColumn<int>("expected");

    QTest::newRow("8 entries: 7 px only") << 200 << 8 << 1000 << 207;
    QTest::newRow("9 entries: and the scroll bar") << 200 << 9 << 1000 << 223;
    QTest::newRow("limited by the screen edge") << 300 << 3 << 100 << 100;
}

void TestListViewHelpers::dropDownWidth()
{
    QFETCH(int, textWidth);
    QFETCH(int, entries);
    QFETCH(int, room);
    QFETCH(int, expected);
    QCOMPARE(DropDownListWidth(textWidth, entries, 16, room), expected);
}

void TestListViewHelpers::longestEntry()
{
    QCOMPARE(LongestEntry({}), -1);
    QCOMPARE(
        LongestEntry({ QStringLiteral("ab"), QStringLiteral("cde"), QStringLiteral("fgh") }), 1);
}

void TestListViewHelpers::dropDownOnABox()
{
    QComboBox box;
    box.addItems({ QStringLiteral("出错项"), QStringLiteral("出错项和文件类型为HTM和HTML项") });
    box.resize(60, 24);
    box.move(0, 0);
    FitDropDownWidth(&box);
    const int text = QFontMetrics(box.view()->font()).horizontalAdvance(box.itemText(1));
    QCOMPARE(box.view()->minimumWidth(), text + 7);
    QCOMPARE(box.width(), 60);
}

QTEST_MAIN(TestListViewHelpers)
#include "tst_listviewhelpers.moc"
