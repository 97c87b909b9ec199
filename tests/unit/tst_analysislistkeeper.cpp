#include "AnalysisRows.h"
#include "FakeDialogs.h"
#include "search/AnalysisList.h"
#include "search/AnalysisListKeeper.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList names(const AnalysisList &list)
{
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << list.at(i).Title.mid(3);
    return out;
}

QStringList texts(const FakeDialogs &dialogs)
{
    QStringList out;
    for (const FakeDialogs::Shown &shown : dialogs.messages)
        out << shown.text;
    return out;
}

// The rows saved in `folder`, as a new window would get them back.
QStringList savedNames(const QString &folder)
{
    AnalysisList list;
    if (!AnalysisListStore(folder).restore(list))
        return { QStringLiteral("(unreadable)") };
    return names(list);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// When the search window's list is saved, offered back and deleted.
class tst_AnalysisListKeeper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void answeringTheQuestion_data();
    void answeringTheQuestion();
    void closingKeepsWhatIsLeft();
    void closedBeforeTheQuestionLosesNothing();
    void clearingIsForGood();
    void unreadableFileIsNamedAndKept();
    void failedSaveIsReported();

private:
    // A list of these rows saved in the folder, as a closed window leaves it.
    void saveRows(const QStringList &rows);
    QString folder() const { return m_dir->path(); }

    std::optional<QTemporaryDir> m_dir;
};

void tst_AnalysisListKeeper::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void tst_AnalysisListKeeper::saveRows(const QStringList &rows)
{
    AnalysisList list;
    for (const QString &name : rows)
        list.addItem(KeptAnalysisRow(name, AnalysisStatus::Failed));
    QVERIFY(AnalysisListStore(folder()).save(list));
}

void tst_AnalysisListKeeper::answeringTheQuestion_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("fileStays");

    // The window already holds x and b: saved rows go ahead, b once.
    QTest::newRow("yes") << true << QStringList { u"a"_s, u"c"_s, u"x"_s, u"b"_s } << true;
    QTest::newRow("no") << false << QStringList { u"x"_s, u"b"_s } << false;
}

void tst_AnalysisListKeeper::answeringTheQuestion()
{
    QFETCH(bool, yes);
    QFETCH(QStringList, shown);
    QFETCH(bool, fileStays);

    saveRows({ u"a"_s, u"b"_s, u"c"_s });
    AnalysisList list;
    list.addItem(KeptAnalysisRow(u"x"_s));
    list.addItem(KeptAnalysisRow(u"b"_s));
    FakeDialogs dialogs;
    dialogs.answers.enqueue(yes ? UserDialogs::Answer::Yes : UserDialogs::Answer::No);
    AnalysisListKeeper keeper(list, dialogs, folder());

    QCOMPARE(keeper.offerSavedList(), yes ? 2 : 0);
    QCOMPARE(texts(dialogs), QStringList { u"上次的待分析列表还有3条，是否恢复？"_s });
    QCOMPARE(dialogs.messages.first().style, UserDialogs::Style::QuestionYesNo);
    QCOMPARE(names(list), shown);
    // States come back with the rows; the row already there keeps its own.
    if (yes) {
        QCOMPARE(list.at(0).Status, AnalysisStatus::Failed);
        QCOMPARE(list.at(0).Doi, u"10.1007/a"_s);
        QCOMPARE(list.at(3).Status, QString());
        QCOMPARE(list.counterText(), u"4"_s);
    }
    QCOMPARE(QFile::exists(keeper.store().filePath()), fileStays);

    // Once per window: a second showing asks nothing.
    QCOMPARE(keeper.offerSavedList(), 0);
    QCOMPARE(dialogs.messages.size(), 1);
}

void tst_AnalysisListKeeper::closingKeepsWhatIsLeft()
{
    // Nothing saved: no question, and an empty list at close leaves no file.
    {
        AnalysisList list;
        FakeDialogs dialogs;
        AnalysisListKeeper keeper(list, dialogs, folder());
        QCOMPARE(keeper.offerSavedList(), 0);
        keeper.windowClosing();
        QVERIFY(dialogs.messages.isEmpty());
        QVERIFY(!keeper.store().exists());
    }
    // Rows at close are saved with every field; closing twice (the program
    // ending after the window) changes nothing.
    {
        AnalysisList list;
        FakeDialogs dialogs;
        AnalysisListKeeper keeper(list, dialogs, folder());
        keeper.offerSavedList();
        list.addItem(KeptAnalysisRow(u"a"_s, AnalysisStatus::Succeeded));
        list.addItem(KeptAnalysisRow(u"b"_s));
        keeper.windowClosing();
        list.clear();
        keeper.windowClosing();
        AnalysisList back;
        QCOMPARE(AnalysisListStore(folder()).restore(back), 2);
        QCOMPARE(back.at(0).Status, AnalysisStatus::Succeeded);
        QCOMPARE(back.at(1).Kind, u"chapter"_s);
        QVERIFY(dialogs.messages.isEmpty());
    }
    // Yes, then every row removed by hand: an empty list at close keeps
    // nothing.
    {
        AnalysisList list;
        FakeDialogs dialogs;
        dialogs.answers.enqueue(UserDialogs::Answer::Yes);
        AnalysisListKeeper keeper(list, dialogs, folder());
        QCOMPARE(keeper.offerSavedList(), 2);
        list.clear();
        keeper.windowClosing();
        QVERIFY(!keeper.store().exists());
    }
}

void tst_AnalysisListKeeper::closedBeforeTheQuestionLosesNothing()
{
    saveRows({ u"a"_s, u"b"_s });
    const QByteArray saved = fileBytes(AnalysisListStore(folder()).filePath());

    // The user was never asked: an empty list at close leaves the file.
    {
        AnalysisList list;
        FakeDialogs dialogs;
        AnalysisListKeeper keeper(list, dialogs, folder());
        keeper.windowClosing();
        QCOMPARE(keeper.offerSavedList(), 0);
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(fileBytes(keeper.store().filePath()), saved);
    }
    // The program ends while the question is open: the late Yes changes
    // nothing.
    {
        AnalysisList list;
        FakeDialogs dialogs;
        AnalysisListKeeper keeper(list, dialogs, folder());
        dialogs.answers.enqueue(UserDialogs::Answer::Yes);
        dialogs.whileShown = [&keeper] {
            keeper.windowClosing();
        };
        QCOMPARE(keeper.offerSavedList(), 0);
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(list.isEmpty());
        QCOMPARE(fileBytes(keeper.store().filePath()), saved);
    }
    // Rows at close join the saved ones behind them, for the next question.
    {
        AnalysisList list;
        list.addItem(KeptAnalysisRow(u"b"_s));
        list.addItem(KeptAnalysisRow(u"c"_s));
        FakeDialogs dialogs;
        AnalysisListKeeper keeper(list, dialogs, folder());
        keeper.windowClosing();
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(list.size(), 2);
    }
    QCOMPARE(savedNames(folder()), QStringList({ u"a"_s, u"b"_s, u"c"_s }));
}

void tst_AnalysisListKeeper::clearingIsForGood()
{
    saveRows({ u"a"_s, u"b"_s, u"c"_s });
    AnalysisList list;
    FakeDialogs dialogs;
    dialogs.answers.enqueue(UserDialogs::Answer::Yes);
    AnalysisListKeeper keeper(list, dialogs, folder());
    QCOMPARE(keeper.offerSavedList(), 3);

    // Rows cleared apart never come back, even without a close.
    list.removeIf([](const AnalysisItem &item) { return item.Title.endsWith(u'b'); });
    keeper.rowsCleared();
    QCOMPARE(savedNames(folder()), QStringList({ u"a"_s, u"c"_s }));
    // The list emptied: the saved list goes.
    list.clear();
    keeper.rowsCleared();
    QVERIFY(!keeper.store().exists());

    // Without a saved list in the window, clearing writes none.
    list.addItem(KeptAnalysisRow(u"x"_s));
    list.addItem(KeptAnalysisRow(u"y"_s));
    list.removeIf([](const AnalysisItem &item) { return item.Title.endsWith(u'x'); });
    keeper.rowsCleared();
    QVERIFY(!keeper.store().exists());
    QCOMPARE(dialogs.messages.size(), 1);
}

void tst_AnalysisListKeeper::unreadableFileIsNamedAndKept()
{
    const QString path = AnalysisListStore(folder()).filePath();
    const QByteArray newer
        = R"({"format":"quillmoor-list","kind":"analysis","version":9,"rows":[{}]})";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(newer);
    }

    AnalysisList list;
    FakeDialogs dialogs;
    AnalysisListKeeper keeper(list, dialogs, folder());
    QCOMPARE(keeper.offerSavedList(), 0);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().style, UserDialogs::Style::Error);
    QVERIFY(dialogs.messages.first().text.contains(path));
    // Neither clearing nor an empty close deletes what the user could not see.
    list.addItem(KeptAnalysisRow(u"a"_s));
    list.clear();
    keeper.rowsCleared();
    keeper.windowClosing();
    QCOMPARE(fileBytes(path), newer);

    // Rows at close replace it: the user was told it could not be read.
    AnalysisList next;
    FakeDialogs nextDialogs;
    AnalysisListKeeper nextKeeper(next, nextDialogs, folder());
    nextKeeper.offerSavedList();
    next.addItem(KeptAnalysisRow(u"b"_s));
    nextKeeper.windowClosing();
    QCOMPARE(savedNames(folder()), QStringList { u"b"_s });
}

void tst_AnalysisListKeeper::failedSaveIsReported()
{
    // The data folder cannot be made: a file stands in its place.
    const QString blocked = m_dir->filePath(u"data"_s);
    {
        QFile file(blocked);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    AnalysisList list;
    FakeDialogs dialogs;
    AnalysisListKeeper keeper(list, dialogs, blocked);
    keeper.offerSavedList();
    list.addItem(KeptAnalysisRow(u"a"_s));
    keeper.windowClosing();
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().style, UserDialogs::Style::Error);
    QVERIFY(dialogs.messages.first().text.startsWith(u"无法保存列表："_s));
}

QTEST_GUILESS_MAIN(tst_AnalysisListKeeper)
#include "tst_analysislistkeeper.moc"
