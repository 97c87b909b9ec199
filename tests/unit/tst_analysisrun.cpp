#include "FakeDialogs.h"
#include "download/DownloadList.h"
#include "search/AnalysisList.h"
#include "search/AnalysisRun.h"
#include "search/DownloadTarget.h"
#include "search/SaveFolderSource.h"

#include <QSignalSpy>
#include <QTest>

namespace {

class RecordingTarget final : public DownloadTarget
{
public:
    DownloadList &downloadList() override
    {
        ++listRequests;
        return list;
    }
    void 显示下载窗口(bool restore) override { shows.append(restore); }

    DownloadList list;
    int listRequests = 0;
    QList<bool> shows;
};

QString link(int n)
{
    return QStringLiteral("http://site.test/content/pdf/10.1007%2F%1.pdf").arg(n);
}

} // namespace

class tst_AnalysisRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void startClicked();
    void filters_data();
    void filters();
    void stopAfterCurrentRow_data();
    void stopAfterCurrentRow();
    void naming_data();
    void naming();
    void folderRules();
    void cancelledDialogHandsOffNothing();
    void runningTwiceKeepsOneRowPerAddress();

private:
    void addRows(int count);
    void run(AnalysisFilter filter);
    QStringList statuses() const;

    AnalysisList m_list;
    SaveFolderValues m_folders;
    FakeDialogs m_dialogs;
    RecordingTarget m_target;
};

void tst_AnalysisRun::init()
{
    m_list.clear();
    m_folders = SaveFolderValues();
    m_folders.AskOnExtract = true;
    m_folders.SaveFolder = QStringLiteral("/save/");
    m_dialogs = FakeDialogs();
    m_target.list.clear();
    m_target.listRequests = 0;
    m_target.shows.clear();
}

void tst_AnalysisRun::addRows(int count)
{
    for (int n = m_list.size() + 1, last = m_list.size() + count; n <= last; ++n)
        QVERIFY(m_list.加入LV1(QStringLiteral("Title %1").arg(n), link(n),
            QStringLiteral("http://site.test/search?query=x"), QStringLiteral("pdf"), {}, {}));
}

void tst_AnalysisRun::run(AnalysisFilter filter)
{
    AnalysisRun run(m_list, m_folders, m_dialogs, m_target);
    QSignalSpy finished(&run, &AnalysisRun::finished);
    run.AnalyseItems(filter);
    QVERIFY(!run.isIdle());
    QVERIFY(finished.wait(5000));
    QVERIFY(run.isIdle());
}

QStringList tst_AnalysisRun::statuses() const
{
    QStringList out;
    for (int row = 0; row < m_list.size(); ++row)
        out << m_list.at(row).Status;
    return out;
}

void tst_AnalysisRun::startClicked()
{
    AnalysisRun run(m_list, m_folders, m_dialogs, m_target);
    QCOMPARE(run.startClicked(), AnalysisRun::StartChoice::None);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text, QStringLiteral("请先检索，添加到列表！"));
    QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::Information);

    addRows(3);
    m_list.setSelected(1, true);
    QCOMPARE(run.startClicked(), AnalysisRun::StartChoice::ChooseFilter);
    QVERIFY(run.isIdle());

    m_list.setSelected(1, false);
    QSignalSpy finished(&run, &AnalysisRun::finished);
    QCOMPARE(run.startClicked(), AnalysisRun::StartChoice::Started);
    QVERIFY(finished.wait());
    QCOMPARE(m_target.list.size(), 3);
    QCOMPARE(m_target.shows, QList<bool> { false });
}

void tst_AnalysisRun::filters_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("handedOff");
    const QString ok = QStringLiteral("成功");
    // Rows before: "", "正在分析", "成功", "失败", "" (selected), "失败" (selected).
    QTest::newRow("not analysed") << int(AnalysisFilter::NotAnalysed)
                                  << QStringList { ok, QStringLiteral("正在分析"), ok,
                                         QStringLiteral("失败"), ok, QStringLiteral("失败") }
                                  << 2;
    QTest::newRow("failed") << int(AnalysisFilter::Failed)
                            << QStringList { QString(), QStringLiteral("正在分析"), ok, ok,
                                   QString(), ok }
                            << 2;
    QTest::newRow("selected") << int(AnalysisFilter::Selected)
                              << QStringList { QString(), QStringLiteral("正在分析"), ok,
                                     QStringLiteral("失败"), ok, ok }
                              << 2;
    QTest::newRow("all") << int(AnalysisFilter::All) << QStringList { ok, ok, ok, ok, ok, ok } << 6;
}

void tst_AnalysisRun::filters()
{
    QFETCH(int, filter);
    QFETCH(QStringList, after);
    QFETCH(int, handedOff);
    addRows(6);
    m_list.setStatus(1, QStringLiteral("正在分析"));
    m_list.setStatus(2, QStringLiteral("成功"));
    m_list.setStatus(3, QStringLiteral("失败"));
    m_list.setStatus(5, QStringLiteral("失败"));
    m_list.setSelectedRows({ 4, 5 });
    run(AnalysisFilter(filter));
    QCOMPARE(statuses(), after);
    QCOMPARE(m_target.list.size(), handedOff);
}

void tst_AnalysisRun::stopAfterCurrentRow_data()
{
    QTest::addColumn<int>("filter");
    QTest::newRow("all") << int(AnalysisFilter::All);
    QTest::newRow("selected") << int(AnalysisFilter::Selected);
}

void tst_AnalysisRun::stopAfterCurrentRow()
{
    QFETCH(int, filter);
    addRows(6);
    m_list.setSelectedRows({ 0, 1, 2, 3, 4, 5 });
    AnalysisRun run(m_list, m_folders, m_dialogs, m_target);
    // The stop button pressed while the second row is handed off.
    connect(&m_target.list, &DownloadList::rowsInserted, &run, [&] {
        if (m_target.list.size() == 2)
            run.requestStop();
    });
    QSignalSpy finished(&run, &AnalysisRun::finished);
    run.AnalyseItems(AnalysisFilter(filter));
    QVERIFY(finished.wait());
    QCOMPARE(m_target.list.size(), 2);
    QCOMPARE(statuses(),
        (QStringList { QStringLiteral("成功"), QStringLiteral("成功"), {}, {}, {}, {} }));
    QCOMPARE(m_target.shows, QList<bool> { false });
}

void tst_AnalysisRun::naming_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("original");
    QTest::addColumn<QString>("name");
    QTest::newRow("title cleaned") << QStringLiteral("  Graphene:\r\n a study? ") << link(1)
                                   << false << QStringLiteral("Graphene a study");
    QTest::newRow("a line break keeps words apart")
        << QStringLiteral("Spectral gaps of (nu)-harmonic maps\nand (tau)-functions") << link(1)
        << false << QStringLiteral("Spectral gaps of (nu)-harmonic maps and (tau)-functions");
    QTest::newRow("a tab keeps words apart")
        << QStringLiteral("Graphene\tplasmonics tunable terahertz devices") << link(1) << false
        << QStringLiteral("Graphene plasmonics tunable terahertz devices");
    QTest::newRow("original name drops the extension")
        << QStringLiteral("T") << QStringLiteral("http://x/chapter/10.1007/978-3-0.pdf") << true
        << QStringLiteral("978-3-0");
    QTest::newRow("original name without a dot")
        << QStringLiteral("T") << QStringLiteral("http://x/download?id=7") << true
        << QStringLiteral("downloadid=7");
}

void tst_AnalysisRun::naming()
{
    QFETCH(QString, title);
    QFETCH(QString, link);
    QFETCH(bool, original);
    QFETCH(QString, name);
    m_folders.UseOriginalFileName = original;
    m_list.加入LV1(title, link, QStringLiteral("http://site.test/page"), QStringLiteral("pdf"),
        QStringLiteral("/row/"), {}, QStringLiteral("10.1007/X-1"), QStringLiteral("chapter"));
    run(AnalysisFilter::All);
    QCOMPARE(m_target.list.size(), 1);
    const DownloadItem &item = m_target.list.at(0);
    QCOMPARE(item.Name, name);
    QCOMPARE(item.Key, link);
    QCOMPARE(item.Type, QStringLiteral("pdf"));
    QCOMPARE(item.Folder, QStringLiteral("/row/"));
    QCOMPARE(item.Referer, QStringLiteral("http://site.test/page"));
    QCOMPARE(item.StatusCode, Status::Waiting);
    QCOMPARE(item.Doi, QStringLiteral("10.1007/X-1"));
    QCOMPARE(item.Kind, QStringLiteral("chapter"));
}

void tst_AnalysisRun::folderRules()
{
    // Rows taken while the folder was not asked on extraction have none: they
    // get SaveFolder, without a dialog.
    addRows(1);
    m_list.加入LV1(QStringLiteral("Kept"), link(99), {}, QStringLiteral("pdf"),
        QStringLiteral("/chosen/"), {});
    run(AnalysisFilter::All);
    QCOMPARE(m_folders.DialogsShown, 0);
    QCOMPARE(m_target.list.at(0).Folder, QStringLiteral("/save/"));
    QCOMPARE(m_target.list.at(1).Folder, QStringLiteral("/chosen/"));

    // Asked at analysis time: the dialog comes first and sets the folder.
    m_folders.AskOnExtract = false;
    m_folders.Dialog = [](SaveFolderValues &values) {
        values.SaveFolder = QStringLiteral("/new/");
    };
    addRows(1);
    run(AnalysisFilter::NotAnalysed);
    QCOMPARE(m_folders.DialogsShown, 1);
    QCOMPARE(m_target.list.at(2).Folder, QStringLiteral("/new/"));
}

void tst_AnalysisRun::cancelledDialogHandsOffNothing()
{
    m_folders.AskOnExtract = false;
    m_folders.Dialog = [](SaveFolderValues &values) {
        values.DialogCancelled = true;
    };
    addRows(2);
    run(AnalysisFilter::All);
    QCOMPARE(m_target.list.size(), 0);
    QCOMPARE(m_target.listRequests, 0);
    QCOMPARE(statuses(), (QStringList { {}, {} }));
    QCOMPARE(m_target.shows, QList<bool> { false });
}

void tst_AnalysisRun::runningTwiceKeepsOneRowPerAddress()
{
    addRows(3);
    run(AnalysisFilter::All);
    run(AnalysisFilter::All);
    QCOMPARE(m_target.list.size(), 3);
    QCOMPARE(statuses(),
        (QStringList { QStringLiteral("成功"), QStringLiteral("成功"), QStringLiteral("成功") }));
}

QTEST_GUILESS_MAIN(tst_AnalysisRun)
#include "tst_analysisrun.moc"
