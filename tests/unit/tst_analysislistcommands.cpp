#include "FakeDialogs.h"
#include "search/AnalysisList.h"
#include "search/AnalysisListCommands.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

enum Command { Selected, Succeeded, Containing, NotContaining, All };

struct Row
{
    QString title;
    QString status;
    bool selected = false;
};

} // namespace

class tst_AnalysisListCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void model();
    void clearing_data();
    void clearing();
    void selectionAfterRemovals_data();
    void selectionAfterRemovals();
    void refusedWhileAnalysing();
    void kilobytes_data();
    void kilobytes();
    void exportFile();
    void exportCancelledOrEmpty();

private:
    void fill(const QList<Row> &rows);
    QStringList titles() const;

    AnalysisList m_list;
    FakeDialogs m_dialogs;
};

void tst_AnalysisListCommands::init()
{
    m_list.clear();
    m_list.refreshCounter();
    m_dialogs = FakeDialogs();
}

void tst_AnalysisListCommands::fill(const QList<Row> &rows)
{
    for (const Row &row : rows) {
        const int at = m_list.size();
        QVERIFY(m_list.加入LV1(row.title, QStringLiteral("http://x/%1.pdf").arg(at), {},
            QStringLiteral("pdf"), {}, {}));
        m_list.setStatus(at, row.status);
        m_list.setSelected(at, row.selected);
    }
}

QStringList tst_AnalysisListCommands::titles() const
{
    QStringList out;
    for (int row = 0; row < m_list.size(); ++row)
        out << m_list.at(row).Title;
    return out;
}

void tst_AnalysisListCommands::model()
{
    QAbstractItemModelTester tester(
        &m_list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill({ { QStringLiteral("a"), {} }, { QStringLiteral("b"), QStringLiteral("成功"), true },
        { QStringLiteral("c"), {} }, { QStringLiteral("d"), {}, true } });
    QCOMPARE(m_list.headerData(0, Qt::Horizontal).toString(), QStringLiteral("标题"));
    QCOMPARE(m_list.headerData(4, Qt::Horizontal).toString(), QStringLiteral("TYPE"));
    QVERIFY(!(m_list.flags(m_list.index(0, 0)) & Qt::ItemIsEditable));
    QCOMPARE(m_list.data(m_list.index(1, 2)).toString(), QStringLiteral("成功"));
    QVERIFY(
        !m_list.加入LV1(QStringLiteral("again"), QStringLiteral("http://x/0.pdf"), {}, {}, {}, {}));
    QCOMPARE(m_list.removeIf([](const AnalysisItem &item) { return item.Selected; }), 2);
    QCOMPARE(m_list.rowOfLink(QStringLiteral("http://x/2.pdf")), 1);
    QCOMPARE(m_list.rowOfLink(QStringLiteral("http://x/1.pdf")), -1);
    QVERIFY(m_list.加入LV1(QStringLiteral("b2"), QStringLiteral("http://x/1.pdf"), {}, {}, {}, {}));
    QCOMPARE(m_list.rowOfLink(QStringLiteral("http://x/1.pdf")), 2);

    QSignalSpy changed(&m_list, &AnalysisList::dataChanged);
    m_list.setSelectedRows({ 0, 2 });
    QCOMPARE(changed.size(), 1);
    QCOMPARE(m_list.firstSelectedRow(), 0);
    QVERIFY(!m_list.data(m_list.index(1, 0), AnalysisList::SelectedRole).toBool());
    QVERIFY(m_list.data(m_list.index(2, 3), AnalysisList::SelectedRole).toBool());
}

void tst_AnalysisListCommands::clearing_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<bool>("counterRefreshed");

    // Rows: "Pdf tools" 成功 selected, "A pdf" selected, "Notes" 失败 selected,
    // "Book" (not analysed), "PDF again" 成功.
    QTest::newRow("selected: three adjacent rows")
        << int(Selected) << QString()
        << QStringList { QStringLiteral("Book"), QStringLiteral("PDF again") } << true;
    QTest::newRow("succeeded only")
        << int(Succeeded) << QString()
        << QStringList { QStringLiteral("A pdf"), QStringLiteral("Notes"), QStringLiteral("Book") }
        << true;
    QTest::newRow("containing, any case")
        << int(Containing) << QStringLiteral("PDF")
        << QStringList { QStringLiteral("Notes"), QStringLiteral("Book") } << true;
    QTest::newRow("containing, full width")
        << int(Containing) << QStringLiteral("ＰＤＦ")
        << QStringList { QStringLiteral("Notes"), QStringLiteral("Book") } << true;
    QTest::newRow("not containing") << int(NotContaining) << QStringLiteral("pdf")
                                    << QStringList { QStringLiteral("Pdf tools"),
                                           QStringLiteral("A pdf"), QStringLiteral("PDF again") }
                                    << true;
    QTest::newRow("not containing what no title has")
        << int(NotContaining) << QStringLiteral("zzz") << QStringList() << true;
    QTest::newRow("empty answer changes nothing")
        << int(Containing) << QString()
        << QStringList { QStringLiteral("Pdf tools"), QStringLiteral("A pdf"),
               QStringLiteral("Notes"), QStringLiteral("Book"), QStringLiteral("PDF again") }
        << false;
    QTest::newRow("clear all, yes") << int(All) << QStringLiteral("yes") << QStringList() << true;
    QTest::newRow("clear all, no")
        << int(All) << QStringLiteral("no")
        << QStringList { QStringLiteral("Pdf tools"), QStringLiteral("A pdf"),
               QStringLiteral("Notes"), QStringLiteral("Book"), QStringLiteral("PDF again") }
        << false;
}

void tst_AnalysisListCommands::clearing()
{
    QFETCH(int, command);
    QFETCH(QString, answer);
    QFETCH(QStringList, left);
    QFETCH(bool, counterRefreshed);

    fill({ { QStringLiteral("Pdf tools"), QStringLiteral("成功"), true },
        { QStringLiteral("A pdf"), {}, true },
        { QStringLiteral("Notes"), QStringLiteral("失败"), true }, { QStringLiteral("Book"), {} },
        { QStringLiteral("PDF again"), QStringLiteral("成功") } });
    QSignalSpy counter(&m_list, &AnalysisList::counterChanged);
    switch (command) {
    case Selected:
        ClearSelectedRows(m_list, m_dialogs, true);
        break;
    case Succeeded:
        ClearSucceededRows(m_list, m_dialogs, true);
        break;
    case Containing:
    case NotContaining:
        m_dialogs.inputs.enqueue(answer);
        ClearRowsWithTitleText(m_list, m_dialogs, true, command == Containing);
        break;
    case All:
        m_dialogs.answers.enqueue(
            answer == u"yes" ? UserDialogs::Answer::Yes : UserDialogs::Answer::No);
        ClearAllRows(m_list, m_dialogs, true);
        QCOMPARE(m_dialogs.messages.size(), 1);
        QCOMPARE(m_dialogs.messages.first().text,
            QStringLiteral("您确定要清空辛辛苦苦搜索的列表数据吗？"));
        QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::QuestionYesNo);
        break;
    }
    QCOMPARE(titles(), left);
    QCOMPARE(counter.size(), counterRefreshed ? 1 : 0);
    if (counterRefreshed)
        QCOMPARE(m_list.counterText(), QString::number(left.size()));
}

void tst_AnalysisListCommands::selectionAfterRemovals_data()
{
    QTest::addColumn<QStringList>("removed");
    QTest::addColumn<QStringList>("selectedAfter");

    // Rows a to f; b and e are selected in the selection model.
    QTest::newRow("next to each other: the others stay selected")
        << QStringList { QStringLiteral("c"), QStringLiteral("d") }
        << QStringList { QStringLiteral("b"), QStringLiteral("e") };
    QTest::newRow("a selected one among them") << QStringList { QStringLiteral("a"),
        QStringLiteral("b") } << QStringList { QStringLiteral("e") };
    // Apart from each other: a reset, which leaves nothing selected.
    QTest::newRow("apart from each other: nothing stays selected")
        << QStringList { QStringLiteral("a"), QStringLiteral("d") } << QStringList {};
}

// The marks that the commands and the analysis run read follow the selection
// model that the view shows, whatever a removal does to it.
void tst_AnalysisListCommands::selectionAfterRemovals()
{
    QFETCH(QStringList, removed);
    QFETCH(QStringList, selectedAfter);
    QAbstractItemModelTester tester(
        &m_list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill({ { QStringLiteral("a"), {} }, { QStringLiteral("b"), {} }, { QStringLiteral("c"), {} },
        { QStringLiteral("d"), {} }, { QStringLiteral("e"), {} }, { QStringLiteral("f"), {} } });
    QItemSelectionModel &selection = m_list.selectionModel();
    for (const int row : { 1, 4 })
        selection.select(
            m_list.index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(m_list.firstSelectedRow(), 1);

    m_list.removeIf([&](const AnalysisItem &item) { return removed.contains(item.Title); });
    QStringList marked;
    QStringList shown;
    for (int row = 0; row < m_list.size(); ++row) {
        if (m_list.at(row).Selected)
            marked << m_list.at(row).Title;
        if (selection.isRowSelected(row, {}))
            shown << m_list.at(row).Title;
    }
    QCOMPARE(shown, selectedAfter);
    QCOMPARE(marked, selectedAfter);
    QCOMPARE(m_list.hasSelection(), !selectedAfter.isEmpty());

    // "清除选中项" takes exactly the rows the view shows selected.
    const int before = m_list.size();
    QVERIFY(ClearSelectedRows(m_list, m_dialogs, true));
    QCOMPARE(m_list.size(), before - int(selectedAfter.size()));
}

void tst_AnalysisListCommands::refusedWhileAnalysing()
{
    fill({ { QStringLiteral("a"), QStringLiteral("成功"), true } });
    m_dialogs.inputs.enqueue(QStringLiteral("a"));
    m_dialogs.answers.enqueue(UserDialogs::Answer::Yes);
    QVERIFY(!ClearSelectedRows(m_list, m_dialogs, false));
    QVERIFY(!ClearSucceededRows(m_list, m_dialogs, false));
    QVERIFY(!ClearRowsWithTitleText(m_list, m_dialogs, false, true));
    QVERIFY(!ClearAllRows(m_list, m_dialogs, false));
    QCOMPARE(m_list.size(), 1);
    QCOMPARE(m_dialogs.messages.size(), 4);
    for (const FakeDialogs::Shown &shown : std::as_const(m_dialogs.messages)) {
        QCOMPARE(shown.text, QStringLiteral("正在分析，不能清除！"));
        QCOMPARE(shown.style, UserDialogs::Style::Error);
    }
    QCOMPARE(m_dialogs.inputs.size(), 1); // nothing was asked
}

void tst_AnalysisListCommands::kilobytes_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << QStringLiteral("0.0");
    QTest::newRow("1536") << qint64(1536) << QStringLiteral("1.5");
    QTest::newRow("12.5 KB") << qint64(12800) << QStringLiteral("12.5");
    QTest::newRow("1572864") << qint64(1572864) << QStringLiteral("1,536.0");
}

void tst_AnalysisListCommands::kilobytes()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(KilobyteText(bytes), text);
}

void tst_AnalysisListCommands::exportFile()
{
    fill({ { QStringLiteral("Graphene: a study"), {} },
        { QStringLiteral("文献 2"), QStringLiteral("成功") } });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list"));
    QFile old(path + QStringLiteral(".txt"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x'));
    old.close();

    m_dialogs.fileNames.enqueue(path); // no extension typed: .txt is added
    QVERIFY(ExportAnalysisList(m_list, m_dialogs));
    QCOMPARE(m_dialogs.filtersAsked, QStringList { QStringLiteral("*.txt|*.txt") });

    QFile written(path + QStringLiteral(".txt"));
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    const QByteArray expected = QStringEncoder(QStringConverter::System)
                                    .encode(QStringLiteral("Graphene: a study-【pdf】\r\n"
                                                           "文献 2-【pdf】成功\r\n"));
    QCOMPARE(bytes, expected);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text,
        QStringLiteral("保存文件完毕：") + KilobyteText(expected.size()) + QStringLiteral("KB"));
    QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::Information);
}

void tst_AnalysisListCommands::exportCancelledOrEmpty()
{
    QVERIFY(!ExportAnalysisList(m_list, m_dialogs));
    QVERIFY(m_dialogs.filtersAsked.isEmpty()); // an empty list asks nothing
    fill({ { QStringLiteral("a"), {} } });
    QVERIFY(!ExportAnalysisList(m_list, m_dialogs)); // the dialog is cancelled
    QTemporaryDir dir;
    m_dialogs.fileNames.enqueue(dir.filePath(QStringLiteral("missing/folder/x.txt")));
    QVERIFY(!ExportAnalysisList(m_list, m_dialogs));
    QVERIFY(m_dialogs.messages.isEmpty());
}

QTEST_GUILESS_MAIN(tst_AnalysisListCommands)
#include "tst_analysislistcommands.moc"
