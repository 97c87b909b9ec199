#include "search/AnalysisList.h"
#include "search/AnalysisListStore.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

AnalysisItem row(const QString &name, const QString &status = {})
{
    AnalysisItem item;
    item.Title = QStringLiteral("标题 ") + name + QStringLiteral("\n第二行");
    item.Type = QStringLiteral("pdf");
    item.Status = status;
    item.Folder = QStringLiteral("/论文/") + name;
    item.Link = QStringLiteral("https://site.test/content/pdf/10.1007%2F") + name
        + QStringLiteral(".pdf");
    item.SourcePage = QStringLiteral("https://site.test/search?query=x&page=2");
    item.Doi = QStringLiteral("10.1007/") + name;
    item.Kind = QStringLiteral("chapter");
    return item;
}

QStringList links(const AnalysisList &list)
{
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << list.at(i).Link;
    return out;
}

} // namespace

class tst_AnalysisListStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void savesAndRestoresEveryField();
    void savedRowsGoAheadWithoutDuplicates();
    void emptyListAndDiscardLeaveNothing();
    void unreadableFileChangesNothing();

private:
    std::optional<QTemporaryDir> m_dir;
};

void tst_AnalysisListStore::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void tst_AnalysisListStore::savesAndRestoresEveryField()
{
    const AnalysisListStore store(m_dir->path());
    QVERIFY(store.filePath().endsWith(QStringLiteral("/analysis-list.json")));
    QCOMPARE(store.savedRowCount(), qsizetype(0));

    AnalysisList closing;
    AnalysisItem done = row(QStringLiteral("a"), AnalysisStatus::Succeeded);
    done.Selected = true;
    closing.addItem(done);
    closing.addItem(row(QStringLiteral("b"), AnalysisStatus::Failed));
    closing.addItem(row(QStringLiteral("c"), AnalysisStatus::Analysing));
    QString error;
    QVERIFY2(store.save(closing, &error), qPrintable(error));
    QCOMPARE(store.savedRowCount(), qsizetype(3));
    QCOMPARE(AnalysisListStore::restoreQuestion(3),
        QStringLiteral("上次的待分析列表还有3条，是否恢复？"));

    AnalysisList shown;
    QAbstractItemModelTester tester(&shown);
    QSignalSpy counter(&shown, &AnalysisList::counterChanged);
    QCOMPARE(store.restore(shown, &error), 3);
    QCOMPARE(shown.size(), 3);
    const AnalysisItem &first = shown.at(0);
    QCOMPARE(first.Title, done.Title);
    QCOMPARE(first.Type, done.Type);
    QCOMPARE(first.Status, AnalysisStatus::Succeeded);
    QCOMPARE(first.Folder, done.Folder);
    QCOMPARE(first.Link, done.Link);
    QCOMPARE(first.SourcePage, done.SourcePage);
    QCOMPARE(first.Doi, done.Doi);
    QCOMPARE(first.Kind, done.Kind);
    QVERIFY(first.Selected);
    QCOMPARE(shown.at(1).Status, AnalysisStatus::Failed);
    // A row being analysed when the window closed comes back not analysed.
    QCOMPARE(shown.at(2).Status, AnalysisStatus::NotAnalysed);
    QCOMPARE(shown.counterText(), QStringLiteral("3"));
    QCOMPARE(counter.size(), 1);
    // Links stay unique and can be found after the rows were put in.
    QCOMPARE(shown.rowOfLink(row(QStringLiteral("b")).Link), 1);
    QVERIFY(!shown.addItem(row(QStringLiteral("c"))));
}

void tst_AnalysisListStore::savedRowsGoAheadWithoutDuplicates()
{
    const AnalysisListStore store(m_dir->path());
    AnalysisList closing;
    for (const QString &name : { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") })
        closing.addItem(row(name, AnalysisStatus::Succeeded));
    QVERIFY(store.save(closing));

    // Rows taken before the question was answered stay as they are, after the
    // saved ones; a saved row with one of their links is dropped.
    AnalysisList shown;
    QAbstractItemModelTester tester(&shown);
    shown.addItem(row(QStringLiteral("x")));
    shown.addItem(row(QStringLiteral("b"), AnalysisStatus::Failed));
    QCOMPARE(store.restore(shown), 2);
    QCOMPARE(links(shown),
        QStringList({ row(QStringLiteral("a")).Link, row(QStringLiteral("c")).Link,
            row(QStringLiteral("x")).Link, row(QStringLiteral("b")).Link }));
    QCOMPARE(shown.at(3).Status, AnalysisStatus::Failed);
    QCOMPARE(shown.rowOfLink(row(QStringLiteral("x")).Link), 2);

    // Restored twice: nothing new.
    QCOMPARE(store.restore(shown), 0);
    QCOMPARE(shown.size(), 4);
}

void tst_AnalysisListStore::emptyListAndDiscardLeaveNothing()
{
    const AnalysisListStore store(m_dir->path());
    AnalysisList list;
    list.addItem(row(QStringLiteral("a")));
    QVERIFY(store.save(list));
    QVERIFY(QFile::exists(store.filePath()));

    // Closing with an empty list keeps no list.
    list.clear();
    QVERIFY(store.save(list));
    QVERIFY(!QFile::exists(store.filePath()));

    // "No" to the question, and the clearing commands, delete it for good.
    list.addItem(row(QStringLiteral("b")));
    QVERIFY(store.save(list));
    QVERIFY(store.discard());
    QVERIFY(!QFile::exists(store.filePath()));
    QVERIFY(store.discard());
    QCOMPARE(store.savedRowCount(), qsizetype(0));
    AnalysisList shown;
    QCOMPARE(store.restore(shown), 0);
}

void tst_AnalysisListStore::unreadableFileChangesNothing()
{
    const AnalysisListStore store(m_dir->path());
    QFile file(store.filePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"format\":\"quillmoor-list\",\"kind\":\"download\",\"version\":1,\"rows\":[]}");
    file.close();

    QString error;
    QVERIFY(!store.savedRowCount(&error));
    QVERIFY(error.contains(store.filePath()));
    AnalysisList shown;
    shown.addItem(row(QStringLiteral("x")));
    error.clear();
    QVERIFY(!store.restore(shown, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(shown.size(), 1);
    // Still there for the user to decide; a save replaces it.
    QVERIFY(QFile::exists(store.filePath()));
    QVERIFY(store.save(shown));
    QCOMPARE(store.savedRowCount(), qsizetype(1));
}

QTEST_GUILESS_MAIN(tst_AnalysisListStore)
#include "tst_analysisliststore.moc"
