#include "DownloadTestRig.h"
#include "FakeDialogs.h"
#include "FakeShell.h"
#include "ListRows.h"
#include "download/DownloadList.h"
#include "download/DownloadListCommands.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString StopFirst = u"停止下载以后，才能执行此操作！"_s;

bool makeFile(const QString &path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size);
}

} // namespace

class TestDownloadListCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void busyRefusals_data();
    void busyRefusals();
    void busyTestsOfScheduler();

    void headerClicksToggleOrder();
    void shuffleTellsItIsDone();
    void clearSetsRowCount();
    void clearAllAsksFirst();
    void requeueSmallerThan_data();
    void requeueSmallerThan();

    void openAsText_data();
    void openAsText();
    void openFileAndFolder();
    void doubleClick_data();
    void doubleClick();
    void clickAndPanel();

    void exportNames();
    void exportFailureKeepsOldFile();

    void replaceUrls();

private:
    void addRows(const QList<ListRow> &rows) { appendRows(*m_list, rows); }
    QStringList messageTexts() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    std::unique_ptr<DownloadList> m_list;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    FakeDialogs m_dialogs;
    FakeShell m_shell;
    bool m_downloadsActive = false; // Busy-A
    bool m_runningOrBusy = false; // Busy-B
    bool m_transferBusy = false; // Busy-C
    std::unique_ptr<DownloadListCommands> m_commands;
};

void TestDownloadListCommands::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_folder = m_dir->path() + u'/';
    m_list = std::make_unique<DownloadList>();
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_list.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_dialogs = FakeDialogs();
    m_shell = FakeShell();
    m_downloadsActive = m_runningOrBusy = m_transferBusy = false;
    m_commands = std::make_unique<DownloadListCommands>(*m_list, m_dialogs, m_shell,
        DownloadListCommands::BusyTests { [this] { return m_downloadsActive; },
            [this] { return m_runningOrBusy; },
            [this] {
                return m_transferBusy;
            } });
}

void TestDownloadListCommands::cleanup()
{
    m_commands.reset();
    m_tester.reset();
    m_list.reset();
    m_dir.reset();
}

QStringList TestDownloadListCommands::messageTexts() const
{
    QStringList texts;
    for (const FakeDialogs::Shown &shown : m_dialogs.messages)
        texts << shown.text;
    return texts;
}

void TestDownloadListCommands::busyRefusals_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<char>("test"); // 'A', 'B' or 'C'
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("error");

    QTest::newRow("sort") << u"sort"_s << 'B' << u"停止下载后方可排序！"_s << false;
    QTest::newRow("shuffle") << u"shuffle"_s << 'A' << StopFirst << false;
    QTest::newRow("clear selected") << u"clearSelected"_s << 'A' << StopFirst << false;
    QTest::newRow("clear failed") << u"clearFailed"_s << 'A' << StopFirst << false;
    QTest::newRow("clear completed") << u"clearCompleted"_s << 'A' << StopFirst << false;
    QTest::newRow("clear all") << u"clearAll"_s << 'A' << StopFirst << false;
    QTest::newRow("cancel selected") << u"cancel"_s << 'C' << u"停止下载后方可设置！"_s << true;
    QTest::newRow("correct file types") << u"correct"_s << 'A' << StopFirst << false;
}

void TestDownloadListCommands::busyRefusals()
{
    QFETCH(QString, command);
    QFETCH(char, test);
    QFETCH(QString, message);
    QFETCH(bool, error);

    addRows({ row(Status::Failed, u"pdf"_s, u"9"_s).in(m_folder),
        row(Status::Completed, u"pdf"_s, u"10"_s).in(m_folder),
        row(Status::Waiting, u"pdf"_s, u"1"_s).in(m_folder) });
    const auto run = [&] {
        const QList<int> all { 0, 1, 2 };
        if (command == u"sort")
            m_commands->sortByColumn(DownloadList::SizeColumn);
        else if (command == u"shuffle")
            m_commands->shuffle();
        else if (command == u"clearSelected")
            m_commands->clearSelected(all);
        else if (command == u"clearFailed")
            m_commands->clearFailed();
        else if (command == u"clearCompleted")
            m_commands->clearCompleted();
        else if (command == u"clearAll")
            m_commands->clearAll();
        else if (command == u"cancel")
            m_commands->cancelSelected(all);
        else
            m_commands->correctFileTypes();
    };

    // Only the command's own test refuses it.
    m_downloadsActive = test == 'A';
    m_runningOrBusy = test == 'B';
    m_transferBusy = test == 'C';
    const QStringList keysBefore = listKeys(*m_list);
    const QList<int> statusesBefore = listStatuses(*m_list);
    run();
    QCOMPARE(messageTexts(), QStringList { message });
    QCOMPARE(m_dialogs.messages.first().style,
        error ? UserDialogs::Style::Error : UserDialogs::Style::Information);
    QCOMPARE(listKeys(*m_list), keysBefore);
    QCOMPARE(listStatuses(*m_list), statusesBefore);

    // The other two tests answering busy do not stop it.
    m_dialogs.messages.clear();
    m_downloadsActive = test != 'A';
    m_runningOrBusy = test != 'B';
    m_transferBusy = test != 'C';
    m_dialogs.answers.enqueue(UserDialogs::Answer::Yes); // "清空" asks first
    run();
    QVERIFY(!messageTexts().contains(message));
    QVERIFY(listKeys(*m_list) != keysBefore || listStatuses(*m_list) != statusesBefore
        || !m_dialogs.messages.isEmpty());
}

void TestDownloadListCommands::busyTestsOfScheduler()
{
    DownloadTestRig rig;
    DownloadListCommands commands(
        rig.list(), rig.dialogs, m_shell, DownloadListCommands::busyTestsOf(rig.scheduler()));
    QVERIFY(rig.list().addItem(u"k"_s, u"n"_s, u"pdf"_s, m_folder, {}));

    switchOnQuietly(rig.scheduler());
    QVERIFY(!commands.sortByColumn(DownloadList::NameColumn));
    QVERIFY(!commands.shuffle());
    QCOMPARE(commands.menuStates().stopEnabled, true);
    QCOMPARE(commands.menuStates().clearEnabled, false);
    QCOMPARE(commands.cancelSelected({ 0 }), 1);

    rig.scheduler().stop();
    QCOMPARE(commands.menuStates().selectAllEnabled, true);
    QCOMPARE(commands.menuStates().stopEnabled, false);
    QVERIFY(commands.sortByColumn(DownloadList::NameColumn));
    rig.scheduler().state().TransferBusy = true;
    QCOMPARE(commands.cancelSelected({ 0 }), 0);
    QCOMPARE(rig.dialogs.messages.last().text, u"停止下载后方可设置！"_s);
}

void TestDownloadListCommands::headerClicksToggleOrder()
{
    addRows({ row(1, u"b"_s, u"900"_s), row(1, u"a"_s, u"12000"_s), row(1, u"c"_s, u"未知"_s) });
    const auto sizes = [&] {
        return columnTexts(*m_list, DownloadList::SizeColumn);
    };

    // The list starts as ascending, so the first click sorts descending.
    QVERIFY(m_commands->sortByColumn(DownloadList::SizeColumn));
    QCOMPARE(m_commands->sortOrder(), Qt::DescendingOrder);
    QCOMPARE(sizes(), (QStringList { u"未知"_s, u"12000"_s, u"900"_s }));
    QVERIFY(m_commands->sortByColumn(DownloadList::SizeColumn));
    QCOMPARE(sizes(), (QStringList { u"900"_s, u"12000"_s, u"未知"_s }));
    // Another column goes on from the last order.
    QVERIFY(m_commands->sortByColumn(DownloadList::TypeColumn));
    QCOMPARE(m_commands->sortColumn(), int(DownloadList::TypeColumn));
    QCOMPARE(
        columnTexts(*m_list, DownloadList::TypeColumn), (QStringList { u"c"_s, u"b"_s, u"a"_s }));
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TestDownloadListCommands::shuffleTellsItIsDone()
{
    addRows({ row(Status::Completed).named(u"only"_s) });
    QVERIFY(m_commands->shuffle());
    QCOMPARE(m_list->at(0).Name, u"only"_s);
    QCOMPARE(messageTexts(), QStringList { u"随机排序完成！"_s });
    QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::Information);
}

void TestDownloadListCommands::clearSetsRowCount()
{
    QSignalSpy label(m_commands.get(), &DownloadListCommands::rowCountTextChanged);
    QCOMPARE(m_commands->clearFailed(), 0);
    QCOMPARE(label.size(), 0); // an empty list is left alone

    QVERIFY(makeFile(m_folder + u"n3.pdf"_s, 3));
    addRows({ row(4), row(4), row(1), row(4, u"pdf"_s).in(m_folder) });
    QCOMPARE(m_commands->clearFailed(), 3);
    QCOMPARE(listStatuses(*m_list), QList<int> { 1 });
    QCOMPARE(label.size(), 1);
    QCOMPARE(label.first().first().toString(), u"1条"_s);
    QVERIFY(QFile::exists(m_folder + u"n3.pdf"_s)); // removing rows keeps files

    addRows({ row(3), row(1) });
    QCOMPARE(m_commands->clearSelected({ 0, 2 }), 2);
    QCOMPARE(listStatuses(*m_list), QList<int> { 3 });
    QCOMPARE(m_commands->clearCompleted(), 1);
    QCOMPARE(label.last().first().toString(), u"0条"_s);
}

void TestDownloadListCommands::clearAllAsksFirst()
{
    QSignalSpy label(m_commands.get(), &DownloadListCommands::rowCountTextChanged);
    addRows({ row(1), row(3) });
    m_dialogs.answers.enqueue(UserDialogs::Answer::No);
    QCOMPARE(m_commands->clearAll(), 0);
    QCOMPARE(m_list->size(), 2);
    QCOMPARE(m_dialogs.messages.first().text, u"您确定要清空列表的所有信息吗？"_s);
    QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::YesNo);

    m_dialogs.answers.enqueue(UserDialogs::Answer::Yes);
    QCOMPARE(m_commands->clearAll(), 2);
    QCOMPARE(m_list->size(), 0);
    QCOMPARE(label.size(), 1);
    QCOMPARE(label.first().first().toString(), u"0条"_s);
}

void TestDownloadListCommands::requeueSmallerThan_data()
{
    QTest::addColumn<QStringList>("answers"); // none: the box is cancelled
    QTest::addColumn<QList<int>>("statuses");

    QTest::newRow("50000") << QStringList { u"50000"_s } << QList<int> { 1, 3, 3, 3 };
    QTest::newRow("spaces around") << QStringList { u" 50000 "_s } << QList<int> { 1, 3, 3, 3 };
    QTest::newRow("limit is exclusive") << QStringList { u"1234"_s } << QList<int> { 3, 3, 3, 3 };
    QTest::newRow("abc does nothing") << QStringList { u"abc"_s } << QList<int> { 3, 3, 3, 3 };
    QTest::newRow("cancelled") << QStringList {} << QList<int> { 3, 3, 3, 3 };
}

void TestDownloadListCommands::requeueSmallerThan()
{
    QFETCH(QStringList, answers);
    QFETCH(QList<int>, statuses);
    addRows({ row(3, u"pdf"_s, u"1,234"_s, u"1,234"_s, u"100%"_s),
        row(3, u"pdf"_s, u"1234"_s, u"1000"_s), row(3, u"pdf"_s, u"未知"_s, u"5"_s),
        row(3, u"pdf"_s, u"60000"_s, u"60000"_s) });
    for (const QString &answer : answers)
        m_dialogs.inputs.enqueue(answer);
    m_commands->requeueSmallerThan();
    QCOMPARE(listStatuses(*m_list), statuses);
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TestDownloadListCommands::openAsText_data()
{
    QTest::addColumn<qint64>("size"); // -1: no file
    QTest::addColumn<QString>("message");

    QTest::newRow("exactly 2 MiB opens") << qint64(2097152) << QString();
    QTest::newRow("one byte more is too large")
        << qint64(2097153) << u"该文件太大，超过了2M，不便于用记事本打开！"_s;
    QTest::newRow("missing file") << qint64(-1) << u"该文件不存在！"_s;
}

void TestDownloadListCommands::openAsText()
{
    QFETCH(qint64, size);
    QFETCH(QString, message);
    const QString path = m_folder + u"notes.txt"_s;
    if (size >= 0)
        QVERIFY(makeFile(path, size));
    addRows({ row(3, u"txt"_s).named(u"notes"_s).in(m_folder) });

    m_commands->openAsText(0);
    if (message.isEmpty()) {
        QCOMPARE(m_shell.requests,
            (QList<FakeShell::Request> { { FakeShell::Kind::OpenTextViewer, path } }));
        QVERIFY(m_dialogs.messages.isEmpty());
    } else {
        QVERIFY(m_shell.requests.isEmpty());
        QCOMPARE(messageTexts(), QStringList { message });
        QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::Error);
    }
}

void TestDownloadListCommands::openFileAndFolder()
{
    using Kind = FakeShell::Kind;
    const QString path = m_folder + u"paper.pdf"_s;
    QVERIFY(makeFile(path, 10));
    addRows({ row(3, u"pdf"_s).named(u"paper"_s).in(m_folder),
        row(3, u"pdf"_s).named(u"gone"_s).in(m_folder),
        row(3, u"pdf"_s).named(u"x"_s).in(m_folder + u"nowhere/"_s) });

    m_commands->openFile(-1);
    m_commands->openFile(0);
    m_commands->openFolder(0);
    m_commands->openFolder(1);
    m_commands->copyName(0);
    QCOMPARE(m_shell.requests,
        (QList<FakeShell::Request> { { Kind::OpenDocument, path }, { Kind::ShowFileInFolder, path },
            { Kind::OpenFolder, m_folder } }));
    QCOMPARE(m_shell.clipboard, u"paper"_s);
    QVERIFY(m_dialogs.messages.isEmpty());

    m_commands->openFile(1);
    m_commands->openFolder(2);
    m_shell.succeed = false;
    m_commands->openFile(0);
    m_commands->openFolder(0);
    QCOMPARE(messageTexts(),
        (QStringList {
            u"该文件不存在！"_s, u"文件夹不存在！"_s, u"打开失败！"_s, u"打开失败！"_s }));
    for (const FakeDialogs::Shown &shown : m_dialogs.messages)
        QCOMPARE(shown.style, UserDialogs::Style::Error);
}

void TestDownloadListCommands::doubleClick_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("fileThere");
    QTest::addColumn<int>("statusAfter");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("message");

    QTest::newRow("waiting row") << 1 << true << 1 << false << QString();
    QTest::newRow("downloading row") << 2 << true << 2 << false << QString();
    QTest::newRow("completed row opens") << 3 << true << 3 << true << QString();
    QTest::newRow("completed row, file deleted") << 3 << false << 3 << false << u"文件不存在！"_s;
    QTest::newRow("failed row waits again") << 4 << true << 1 << false << QString();
}

void TestDownloadListCommands::doubleClick()
{
    QFETCH(int, status);
    QFETCH(bool, fileThere);
    QFETCH(int, statusAfter);
    QFETCH(bool, opened);
    QFETCH(QString, message);

    const QString path = m_folder + u"p.htm"_s;
    if (fileThere)
        QVERIFY(makeFile(path, 5));
    addRows({ row(status, u"htm"_s, u"5"_s, u"5"_s, u"100%"_s)
                  .named(u"p"_s)
                  .in(m_folder)
                  .keyed(u"u1|u2"_s) });
    m_commands->doubleClicked(-1);
    m_commands->doubleClicked(0);

    const DownloadItem &item = m_list->at(0);
    QCOMPARE(item.StatusCode, statusAfter);
    QCOMPARE(m_shell.requests.size(), opened ? 1 : 0);
    QCOMPARE(messageTexts(), message.isEmpty() ? QStringList() : QStringList { message });
    if (status == Status::Failed) {
        // The progress is cleared; key and type stay. The file stays until a
        // new one takes its place.
        QCOMPARE(QFile::exists(path), fileThere);
        QVERIFY(item.Size.isEmpty() && item.Received.isEmpty() && item.Percent.isEmpty());
        QCOMPARE(item.Key, u"u1|u2"_s);
        QCOMPARE(item.Type, u"htm"_s);
    } else {
        QCOMPARE(item.Size, u"5"_s);
    }
}

void TestDownloadListCommands::clickAndPanel()
{
    const QString path = m_folder + u"a.pdf"_s;
    QVERIFY(makeFile(path, 1));
    addRows({ row(3, u"pdf"_s).named(u"a"_s).in(m_folder),
        row(3, u"pdf"_s).named(u"b"_s).in(m_folder) });
    QCOMPARE(m_commands->clickedPanelText(0), path);
    QCOMPARE(m_commands->clickedPanelText(1), QString());
    QCOMPARE(m_commands->clickedPanelText(7), QString());

    m_commands->openPanelAddress(QString());
    m_commands->openPanelAddress(path);
    QCOMPARE(m_shell.requests, (QList<FakeShell::Request> { { FakeShell::Kind::OpenUrl, path } }));
}

void TestDownloadListCommands::exportNames()
{
    // An empty list asks for nothing.
    QVERIFY(!m_commands->exportAllNames());
    QVERIFY(m_dialogs.filtersAsked.isEmpty());

    addRows({ row(3).named(u"论文 一"_s), row(4).named(u"b"_s), row(1).named(u"c"_s) });
    const QString target = m_folder + u"names"_s; // used as chosen, no extension added
    QVERIFY(makeFile(target, 100));

    m_dialogs.fileNames.enqueue(target);
    QVERIFY(m_commands->exportAllNames());
    QCOMPARE(m_dialogs.filtersAsked, QStringList { u"*.txt|*.txt"_s });
    QStringEncoder encode(QStringConverter::System);
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(encode(u"论文 一\r\nb\r\nc\r\n"_s)));
    file.close();

    m_dialogs.fileNames.enqueue(target);
    QVERIFY(m_commands->exportUnfinishedNames());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("b\r\nc\r\n"));
    file.close();

    // A cancelled dialog writes nothing.
    QVERIFY(!m_commands->exportAllNames());
    QCOMPARE(QFileInfo(target).size(), 6);
    QVERIFY(m_dialogs.messages.isEmpty());
    QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden), QStringList { u"names"_s });
}

void TestDownloadListCommands::exportFailureKeepsOldFile()
{
    addRows({ row(1).named(u"a"_s) });
    m_dialogs.fileNames.enqueue(m_folder + u"missing/names.txt"_s);
    QVERIFY(!m_commands->exportAllNames());
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY(!m_dialogs.messages.first().text.isEmpty());
    QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::Error);
}

void TestDownloadListCommands::replaceUrls()
{
    addRows(
        { row(1).keyed(u"http://a/1"_s).referring(u"http://a/"_s), row(1).keyed(u"http://b/1"_s) });
    int closedAfterMessages = -1;
    const auto close = [&] {
        closedAfterMessages = int(m_dialogs.messages.size());
    };

    // An empty text (spaces count as empty) keeps the dialog open.
    QVERIFY(!m_commands->replaceUrls(u"  "_s, u"x"_s, close));
    QCOMPARE(closedAfterMessages, -1);
    QCOMPARE(messageTexts(), QStringList { u"请输入字符串！"_s });
    QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::Error);
    m_dialogs.messages.clear();

    // The dialog closes before the closing message, which counts the rows
    // that kept their address.
    QVERIFY(m_commands->replaceUrls(u"A/"_s, u"b/"_s, close));
    QCOMPARE(closedAfterMessages, 0);
    QCOMPARE(listKeys(*m_list), (QStringList { u"http://a/1"_s, u"http://b/1"_s }));
    QCOMPARE(m_list->at(0).Referer, u"http://b/"_s);
    QCOMPARE(messageTexts(),
        QStringList { u"全部网址替换完成！\n1项替换后的网址与其他项重复，这些项保留了原网址。"_s });
    QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::Information);

    m_dialogs.messages.clear();
    QVERIFY(m_commands->replaceUrls(u"http://"_s, u"https://"_s));
    QCOMPARE(listKeys(*m_list), (QStringList { u"https://a/1"_s, u"https://b/1"_s }));
    QCOMPARE(messageTexts(), QStringList { u"全部网址替换完成！"_s });
}

QTEST_GUILESS_MAIN(TestDownloadListCommands)
#include "tst_downloadlistcommands.moc"
