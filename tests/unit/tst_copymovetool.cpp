#include "FakeDialogs.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "UmaskWatch.h"
#include "common/FileNameHelpers.h"
#include "common/SettingsStore.h"
#include "copytool/CopyMoveTool.h"
#include "platform/AppPaths.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

namespace {

void setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

const QDateTime kSourceTime = QDateTime::fromSecsSinceEpoch(1700000000);

// rw-r----- : not what a new file gets, so a copy that keeps it is told apart.
constexpr QFile::Permissions kSourcePermissions
    = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup;

// A tool as the window opens it: program folder `folder`, scripted dialogs.
struct OpenedTool
{
    explicit OpenedTool(const QString &folder) : paths(folder), tool(dialogs, paths)
    {
        tool.load();
    }
    FakeDialogs dialogs;
    const FixedAppPaths paths;
    CopyMoveTool tool;
};

} // namespace

class TestCopyMoveTool : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();

    void collisionRules_data();
    void collisionRules();
    void moveDeletesOnlyPlacedSources_data();
    void moveDeletesOnlyPlacedSources();
    void sourceAlreadyInDestination_data();
    void sourceAlreadyInDestination();
    void renameCounter_data();
    void renameCounter();
    void renameKeepsLongBaseWhole();
    void renameOfMissingSourceFails();
    void copyKeepsTheExactName_data();
    void copyKeepsTheExactName();
    void nameTakenMeanwhileIsNeverReplaced_data();
    void nameTakenMeanwhileIsNeverReplaced();

    void runCreatesFolderAndRemembersIt();
    void runRefusesFolderThatCannotBeMade();
    void runDropsMissingSourcesAndCopiesTwiceNamedFile();
    void runWithNothingLeftDoesNothing();
    void runLeavesFilesAlreadyInDestination();
    void stopClickEndsRunAfterCurrentFile();
    void runNeverSetsTheUmask();

private:
    QString src(const QString &name) const { return m_dir.path() + QStringLiteral("/src/") + name; }
    QString dst(const QString &name) const { return m_dir.path() + QStringLiteral("/dst/") + name; }
    QString dstFolder() const { return m_dir.path() + QStringLiteral("/dst/"); }
    bool runToEnd(CopyMoveTool &tool);

    QTemporaryDir m_dir;
};

void TestCopyMoveTool::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path() + QStringLiteral("/src"));
    QDir().mkpath(m_dir.path() + QStringLiteral("/dst"));
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
        QStringLiteral("Quillmoor"))
        .clear();
}

void TestCopyMoveTool::collisionRules_data()
{
    QTest::addColumn<int>("opIndex");
    QTest::addColumn<QByteArray>("there"); // content already at the target; empty: none
    QTest::addColumn<bool>("sameTime");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QByteArray>("atTarget");
    QTest::addColumn<QByteArray>("atNumbered"); // report[001].pdf; empty: none

    const QByteArray mine = "source bytes";
    const QByteArray sameSize = "other  bytes";
    const QByteArray otherSize = "short";
    const auto copied = int(PlaceOutcome::Copied);
    const auto over = int(PlaceOutcome::Overwritten);
    const auto renamed = int(PlaceOutcome::Renamed);
    const auto skipped = int(PlaceOutcome::Skipped);
    QTest::newRow("free name, any rule")
        << 1 << QByteArray() << false << copied << mine << QByteArray();
    QTest::newRow("1 skip") << 1 << sameSize << true << skipped << sameSize << QByteArray();
    QTest::newRow("2 overwrite") << 2 << otherSize << false << over << mine << QByteArray();
    QTest::newRow("3 rename") << 3 << sameSize << true << renamed << sameSize << mine;
    QTest::newRow("4 same size and time") << 4 << sameSize << true << over << mine << QByteArray();
    QTest::newRow("4 same size, other time")
        << 4 << sameSize << false << renamed << sameSize << mine;
    QTest::newRow("4 other size") << 4 << otherSize << true << renamed << otherSize << mine;
    QTest::newRow("5 same size, other time")
        << 5 << sameSize << false << over << mine << QByteArray();
    QTest::newRow("5 other size") << 5 << otherSize << true << renamed << otherSize << mine;
    QTest::newRow("no rule chosen")
        << 0 << otherSize << true << skipped << otherSize << QByteArray();
}

void TestCopyMoveTool::collisionRules()
{
    QFETCH(int, opIndex);
    QFETCH(QByteArray, there);
    QFETCH(bool, sameTime);
    QFETCH(int, outcome);
    QFETCH(QByteArray, atTarget);
    QFETCH(QByteArray, atNumbered);

    QVERIFY(writeFile(src(QStringLiteral("report.pdf")), "source bytes"));
    setModified(src(QStringLiteral("report.pdf")), kSourceTime);
    QVERIFY(QFile::setPermissions(src(QStringLiteral("report.pdf")), kSourcePermissions));
    umaskCalls = 0;
    if (!there.isEmpty()) {
        QVERIFY(writeFile(dst(QStringLiteral("report.pdf")), there));
        setModified(
            dst(QStringLiteral("report.pdf")), sameTime ? kSourceTime : kSourceTime.addSecs(-60));
    }

    QCOMPARE(
        int(PlaceFile(src(QStringLiteral("report.pdf")), dstFolder(), opIndex, false)), outcome);
    QCOMPARE(readFile(dst(QStringLiteral("report.pdf"))), atTarget);
    QCOMPARE(readFile(dst(QStringLiteral("report[001].pdf"))), atNumbered);
    QCOMPARE(readFile(src(QStringLiteral("report.pdf"))), QByteArray("source bytes"));
    QVERIFY(partFiles(dstFolder()).isEmpty());
    // A copy keeps the source's time, so copying it again counts as the same
    // file, and its permission bits.
    const QString copy = outcome == int(PlaceOutcome::Renamed)
        ? dst(QStringLiteral("report[001].pdf"))
        : dst(QStringLiteral("report.pdf"));
    if (outcome != int(PlaceOutcome::Skipped)) {
        QCOMPARE(QFileInfo(copy).lastModified(), kSourceTime);
        QCOMPARE(QFile::permissions(copy), kSourcePermissions);
    }
    QCOMPARE(umaskCalls.load(), 0);
}

void TestCopyMoveTool::moveDeletesOnlyPlacedSources_data()
{
    QTest::addColumn<int>("opIndex");
    QTest::addColumn<bool>("collision");
    QTest::addColumn<bool>("sourceKept");
    QTest::newRow("no collision") << 1 << false << false;
    QTest::newRow("skipped") << 1 << true << true;
    QTest::newRow("renamed") << 3 << true << false;
    QTest::newRow("no rule chosen") << 0 << true << true;
}

void TestCopyMoveTool::moveDeletesOnlyPlacedSources()
{
    QFETCH(int, opIndex);
    QFETCH(bool, collision);
    QFETCH(bool, sourceKept);
    QVERIFY(writeFile(src(QStringLiteral("a.txt")), "mine"));
    if (collision)
        QVERIFY(writeFile(dst(QStringLiteral("a.txt")), "theirs"));
    PlaceFile(src(QStringLiteral("a.txt")), dstFolder(), opIndex, true);
    QCOMPARE(FileExists(src(QStringLiteral("a.txt"))), sourceKept);
    if (collision)
        QCOMPARE(readFile(dst(QStringLiteral("a.txt"))), QByteArray("theirs"));
}

void TestCopyMoveTool::sourceAlreadyInDestination_data()
{
    using namespace Qt::StringLiterals;
    // Folders below the temporary folder: out, Out, out/sub, and link -> out.
    QTest::addColumn<QString>("sourceFolder");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("alreadyThere");

    QTest::newRow("the same folder") << u"out/"_s << u"out/"_s << true;
    QTest::newRow("through ..") << u"out/"_s << u"Out/../out/"_s << true;
    QTest::newRow("with . and a doubled slash") << u"out/"_s << u"./out//"_s << true;
    QTest::newRow("through a link") << u"link/"_s << u"out/"_s << true;
    QTest::newRow("in a subfolder") << u"out/sub/"_s << u"out/"_s << false;
#if !defined(Q_OS_WIN) && !defined(Q_OS_DARWIN)
    // File names here tell case apart: Out and out are two folders.
    QTest::newRow("other case, other folder") << u"Out/"_s << u"out/"_s << false;
    QTest::newRow("other case, other folder, reversed") << u"out/"_s << u"Out/"_s << false;
#endif
}

// Moved by rule 3 (rename): a file already in the destination would otherwise
// be copied onto itself as a[001].txt and its source deleted.
void TestCopyMoveTool::sourceAlreadyInDestination()
{
    using namespace Qt::StringLiterals;
    QFETCH(QString, sourceFolder);
    QFETCH(QString, destination);
    QFETCH(bool, alreadyThere);
    const QString root = m_dir.path() + u'/';
    QVERIFY(QDir().mkpath(root + u"out/sub"_s));
    QVERIFY(QDir().mkpath(root + u"Out"_s));
    QVERIFY(QFile::link(root + u"out"_s, root + u"link"_s));
    const QString source = root + sourceFolder + u"a.txt"_s;
    QVERIFY(writeFile(source, "here"));

    const PlaceOutcome outcome = PlaceFile(source, root + destination, 3, true);
    if (alreadyThere) {
        QCOMPARE(outcome, PlaceOutcome::AlreadyThere);
        QCOMPARE(readFile(source), QByteArray("here"));
    } else {
        QCOMPARE(outcome, PlaceOutcome::Copied);
        QVERIFY(!FileExists(source));
        QCOMPARE(readFile(root + destination + u"a.txt"_s), QByteArray("here"));
    }
    QVERIFY(!FileExists(root + u"out/a[001].txt"_s));
    QVERIFY(!FileExists(root + u"Out/a[001].txt"_s));
}

void TestCopyMoveTool::renameCounter_data()
{
    using namespace Qt::StringLiterals;
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("newName");
    QStringList full { u"r.pdf"_s };
    for (int n = 1; n <= 999; ++n)
        full << u"r[%1].pdf"_s.arg(n, 3, 10, QLatin1Char('0'));
    QTest::newRow("plain name free") << u"report.pdf"_s << QStringList() << QString();
    QTest::newRow("first counter")
        << u"report.pdf"_s << QStringList { u"report.pdf"_s } << u"report[001].pdf"_s;
    QTest::newRow("next free counter")
        << u"report.pdf"_s << QStringList { u"report.pdf"_s, u"report[001].pdf"_s }
        << u"report[002].pdf"_s;
    QTest::newRow("counter of the source dropped")
        << u"report[007].pdf"_s << QStringList { u"report.pdf"_s } << u"report[001].pdf"_s;
    QTest::newRow("no extension") << u"notes"_s << QStringList { u"notes"_s } << u"notes[001]"_s;
    QTest::newRow("past 999") << u"r.pdf"_s << full << u"r[1000].pdf"_s;
}

void TestCopyMoveTool::renameCounter()
{
    QFETCH(QString, source);
    QFETCH(QStringList, existing);
    QFETCH(QString, newName);
    QVERIFY(writeFile(src(source), "payload"));
    for (const QString &name : existing)
        QVERIFY(writeFile(dst(name), "old"));
    QString given = QStringLiteral("unset");
    QVERIFY(复制相同文件自动重命名(src(source), dstFolder(), &given));
    QCOMPARE(given, newName);
    QString stem;
    SplitBracketNumber(QFileInfo(source).completeBaseName(), &stem);
    const QString expectedName = newName.isEmpty()
        ? (QFileInfo(source).suffix().isEmpty() ? stem : stem + QStringLiteral(".pdf"))
        : newName;
    QCOMPARE(readFile(dst(expectedName)), QByteArray("payload"));
}

void TestCopyMoveTool::renameKeepsLongBaseWhole()
{
    const QString base = QString(110, u'a') + QStringLiteral("长");
    QVERIFY(writeFile(src(base + QStringLiteral(".pdf")), "x"));
    QVERIFY(writeFile(dst(base + QStringLiteral(".pdf")), "y"));
    QString given;
    QVERIFY(复制相同文件自动重命名(src(base + QStringLiteral(".pdf")), dstFolder(), &given));
    QCOMPARE(given, base + QStringLiteral("[001].pdf"));
}

void TestCopyMoveTool::renameOfMissingSourceFails()
{
    QString given = QStringLiteral("unset");
    QVERIFY(!复制相同文件自动重命名(src(QStringLiteral("gone.pdf")), dstFolder(), &given));
    QVERIFY(given.isEmpty());
    QVERIFY(QDir(dstFolder()).isEmpty());
}

void TestCopyMoveTool::copyKeepsTheExactName_data()
{
    using namespace Qt::StringLiterals;
    // A file of another name waits in the destination; the rule applies only
    // when the copy's own name is there.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("there");
    QTest::addColumn<int>("opIndex");
    QTest::addColumn<QString>("copyName");

    QTest::newRow("trailing space, overwrite") << u"x.pdf "_s << u"x.pdf"_s << 2 << u"x.pdf "_s;
    QTest::newRow("leading space, overwrite") << u" x.pdf"_s << u"x.pdf"_s << 2 << u" x.pdf"_s;
    QTest::newRow("trailing dot, overwrite") << u"file."_s << u"file"_s << 2 << u"file."_s;
    QTest::newRow("full-width dot, overwrite")
        << u"论文．pdf"_s << u"论文.pdf"_s << 2 << u"论文．pdf"_s;
    QTest::newRow("full-width dot, rename")
        << u"论文．pdf"_s << u"论文．pdf"_s << 3 << u"论文[001]．pdf"_s;
    QTest::newRow("trailing space, rename") << u"x.pdf "_s << u"x.pdf "_s << 3 << u"x[001].pdf "_s;
    QTest::newRow("trailing dot, rename") << u"file."_s << u"file."_s << 3 << u"file[001]."_s;
    QTest::newRow("leading dot only, rename") << u".pdf"_s << u".pdf"_s << 3 << u".pdf[001]"_s;
}

void TestCopyMoveTool::copyKeepsTheExactName()
{
    QFETCH(QString, name);
    QFETCH(QString, there);
    QFETCH(int, opIndex);
    QFETCH(QString, copyName);
    QVERIFY(writeFile(src(name), "mine"));
    QVERIFY(writeFile(dst(there), "theirs"));

    QVERIFY(PlaceFile(src(name), dstFolder(), opIndex, false) != PlaceOutcome::Failed);
    QCOMPARE(readFile(dst(copyName)), QByteArray("mine"));
    if (there != copyName)
        QCOMPARE(readFile(dst(there)), QByteArray("theirs"));
    // Nothing else: the copy and the file that was there.
    QCOMPARE(QDir(dstFolder()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestCopyMoveTool::nameTakenMeanwhileIsNeverReplaced_data()
{
    QTest::addColumn<int>("opIndex"); // 0: 复制相同文件自动重命名 itself
    QTest::addColumn<QByteArray>("atName");
    QTest::addColumn<QByteArray>("atNumbered");
    QTest::newRow("no collision seen, then skip") << 1 << QByteArray("late") << QByteArray();
    QTest::newRow("no collision seen, then rename")
        << 3 << QByteArray("late") << QByteArray("mine");
    QTest::newRow("no collision seen, then overwrite by the rule")
        << 2 << QByteArray("mine") << QByteArray();
    QTest::newRow("free counter name taken meanwhile")
        << 0 << QByteArray("late") << QByteArray("mine");
}

// The source is a pipe, so the file can appear at the copy's name while the
// copy is being read: after the name was found free, before it is placed.
void TestCopyMoveTool::nameTakenMeanwhileIsNeverReplaced()
{
    QFETCH(int, opIndex);
    QFETCH(QByteArray, atName);
    QFETCH(QByteArray, atNumbered);
    const QString source = src(QStringLiteral("a.pdf"));
    QVERIFY(::mkfifo(QFile::encodeName(source).constData(), 0644) == 0);

    bool renamed = false;
    PlaceOutcome outcome = PlaceOutcome::Failed;
    QThread *copier = QThread::create([&] {
        if (opIndex == 0)
            renamed = 复制相同文件自动重命名(source, dstFolder());
        else
            outcome = PlaceFile(source, dstFolder(), opIndex, false);
    });
    copier->start();
    QFile pipe(source);
    QVERIFY(pipe.open(QIODevice::WriteOnly)); // returns once the copy reads
    QCOMPARE(pipe.write("mine"), 4);
    QVERIFY(pipe.flush());
    QVERIFY(writeFile(dst(QStringLiteral("a.pdf")), "late"));
    pipe.close();
    QVERIFY(copier->wait(10000));
    delete copier;

    if (opIndex == 0)
        QVERIFY(renamed);
    else
        QVERIFY(outcome != PlaceOutcome::Failed);
    QCOMPARE(readFile(dst(QStringLiteral("a.pdf"))), atName);
    QCOMPARE(readFile(dst(QStringLiteral("a[001].pdf"))), atNumbered);
    QVERIFY(partFiles(dstFolder()).isEmpty());
}

bool TestCopyMoveTool::runToEnd(CopyMoveTool &tool)
{
    if (!tool.isRunning())
        return true;
    QSignalSpy finished(&tool, &CopyMoveTool::runFinished);
    return finished.wait(10000);
}

void TestCopyMoveTool::runCreatesFolderAndRemembersIt()
{
    FakeDialogs dialogs;
    const FixedAppPaths paths(m_dir.path());
    QVERIFY(writeFile(paths.saveListPath(), "/somewhere/else/\r\n"));
    QVERIFY(writeFile(src(QStringLiteral("a.pdf")), "a"));
    CopyMoveTool tool(dialogs, paths);
    tool.load();
    QCOMPARE(tool.boxText(), m_dir.path()); // the program folder by default
    QCOMPARE(tool.opIndex(), 4);
    QCOMPARE(tool.caption(), QStringLiteral("复制文件..."));

    const QString typed = m_dir.path() + QStringLiteral("/new/out");
    tool.setBoxText(typed);
    tool.setOpIndex(3);
    tool.SourceFiles << src(QStringLiteral("a.pdf"));
    QSignalSpy progress(&tool, &CopyMoveTool::progressChanged);
    tool.执行(true);
    QVERIFY(runToEnd(tool));

    QCOMPARE(tool.boxText(), typed + u'/');
    QCOMPARE(readFile(typed + QStringLiteral("/a.pdf")), QByteArray("a"));
    QCOMPARE(ReadSetting(Settings::CopyMoveDestination, paths), typed + u'/');
    QCOMPARE(ReadSetting(Settings::CopyMoveOption), QStringLiteral("3"));
    QStringList history;
    LoadComboList(history, paths.saveListPath());
    QCOMPARE(history, QStringList({ QStringLiteral("/somewhere/else/"), typed + u'/' }));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("复制文件完成！"));
    QCOMPARE(dialogs.messages[0].style, UserDialogs::Style::Information);
    // value 0, the one file, back to 0; the maximum is one more than the files.
    QCOMPARE(progress.size(), 3);
    QCOMPARE(progress[1], QVariantList({ 1, 2 }));
    QCOMPARE(progress[2][0].toInt(), 0);

    // The same folder typed in another case is not added again.
    tool.setBoxText(typed.toUpper().replace(m_dir.path().toUpper(), m_dir.path()) + u'/');
    QDir().mkpath(tool.boxText());
    tool.执行(false);
    QVERIFY(runToEnd(tool));
    LoadComboList(history, paths.saveListPath());
    QCOMPARE(history.size(), 2);
}

void TestCopyMoveTool::runRefusesFolderThatCannotBeMade()
{
    QVERIFY(writeFile(src(QStringLiteral("a.pdf")), "a"));
    OpenedTool opened(m_dir.path());
    auto &[dialogs, paths, tool] = opened;
    tool.setBoxText(src(QStringLiteral("a.pdf")) + QStringLiteral("/below"));
    tool.SourceFiles << src(QStringLiteral("a.pdf"));
    tool.执行(true);
    QVERIFY(!tool.isRunning());
    QCOMPARE(dialogs.messages.last().text, QStringLiteral("创建文件夹出错！"));
    QCOMPARE(dialogs.messages.last().style, UserDialogs::Style::Error);
    QCOMPARE(ReadSetting(Settings::CopyMoveDestination, paths), m_dir.path());
    QVERIFY(!QFileInfo::exists(paths.saveListPath()));
}

void TestCopyMoveTool::runDropsMissingSourcesAndCopiesTwiceNamedFile()
{
    QVERIFY(writeFile(src(QStringLiteral("a.pdf")), "a"));
    OpenedTool opened(m_dir.path());
    auto &[dialogs, paths, tool] = opened;
    tool.setBoxText(dstFolder());
    tool.setOpIndex(3);
    tool.SourceFiles << src(QStringLiteral("a.pdf")) << src(QStringLiteral("gone.pdf"))
                     << src(QStringLiteral("a.pdf"));
    QSignalSpy progress(&tool, &CopyMoveTool::progressChanged);
    tool.执行(true);
    QCOMPARE(tool.SourceFiles.size(), 2);
    QVERIFY(runToEnd(tool));
    QCOMPARE(progress.first()[1].toInt(), 3);
    QCOMPARE(readFile(dst(QStringLiteral("a.pdf"))), QByteArray("a"));
    QCOMPARE(readFile(dst(QStringLiteral("a[001].pdf"))), QByteArray("a"));
}

void TestCopyMoveTool::runWithNothingLeftDoesNothing()
{
    OpenedTool opened(m_dir.path());
    auto &[dialogs, paths, tool] = opened;
    tool.setBoxText(dstFolder());
    tool.SourceFiles << src(QStringLiteral("gone.pdf"));
    QSignalSpy running(&tool, &CopyMoveTool::runningChanged);
    tool.执行(true);
    QVERIFY(!tool.isRunning());
    QVERIFY(running.isEmpty());
    QVERIFY(dialogs.messages.isEmpty());
    // The settings are written all the same, before any file is looked at.
    QCOMPARE(ReadSetting(Settings::CopyMoveDestination, paths), dstFolder());
}

// The destination typed as another path to the source's own folder, without
// the final "/": its file stays as it is, the other file is copied.
void TestCopyMoveTool::runLeavesFilesAlreadyInDestination()
{
    QVERIFY(writeFile(dst(QStringLiteral("a.pdf")), "a"));
    QVERIFY(writeFile(src(QStringLiteral("b.pdf")), "b"));
    OpenedTool opened(m_dir.path());
    auto &[dialogs, paths, tool] = opened;
    tool.setBoxText(m_dir.path() + QStringLiteral("/src/../dst"));
    tool.setOpIndex(3);
    tool.SourceFiles << dst(QStringLiteral("a.pdf")) << src(QStringLiteral("b.pdf"));
    QSignalSpy current(&tool, &CopyMoveTool::currentFileChanged);
    tool.执行(true);
    QVERIFY(runToEnd(tool));
    QCOMPARE(QDir(dstFolder()).entryList(QDir::Files),
        QStringList({ QStringLiteral("a.pdf"), QStringLiteral("b.pdf") }));
    QCOMPARE(readFile(dst(QStringLiteral("b.pdf"))), QByteArray("b"));
    // Only the copied file is shown as the current file.
    QVERIFY(current.contains(QVariantList { QStringLiteral("b.pdf") }));
    QVERIFY(!current.contains(QVariantList { QStringLiteral("a.pdf") }));
}

void TestCopyMoveTool::stopClickEndsRunAfterCurrentFile()
{
    OpenedTool opened(m_dir.path());
    auto &[dialogs, paths, tool] = opened;
    tool.setBoxText(dstFolder());
    tool.MoveMode = true;
    for (const char *name : { "1.bin", "2.bin", "3.bin" }) {
        QVERIFY(writeFile(src(QLatin1String(name)), name));
        tool.SourceFiles << src(QLatin1String(name));
    }
    QSignalSpy running(&tool, &CopyMoveTool::runningChanged);
    connect(&tool, &CopyMoveTool::currentFileChanged, this, [&tool](const QString &name) {
        if (name == QStringLiteral("2.bin"))
            tool.执行(true); // the stop click, seen while the second file is handled
    });
    tool.执行(true);
    QVERIFY(runToEnd(tool));
    QCOMPARE(running.size(), 2);
    QCOMPARE(running[1][0].toBool(), false);
    QVERIFY(FileExists(dst(QStringLiteral("1.bin"))));
    QVERIFY(FileExists(dst(QStringLiteral("2.bin"))));
    QVERIFY(!FileExists(dst(QStringLiteral("3.bin"))));
    QVERIFY(FileExists(src(QStringLiteral("3.bin"))));
    QVERIFY(!FileExists(src(QStringLiteral("1.bin"))));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("移动文件完成！"));
}

// The files are copied on a worker thread while the window's thread may
// create folders; the umask they both depend on is never set.
void TestCopyMoveTool::runNeverSetsTheUmask()
{
    OpenedTool opened(m_dir.path());
    auto &[dialogs, paths, tool] = opened;
    tool.setBoxText(m_dir.path() + QStringLiteral("/new/out"));
    tool.setOpIndex(3);
    for (const char *name : { "1.bin", "2.bin" }) {
        QVERIFY(writeFile(src(QLatin1String(name)), name));
        tool.SourceFiles << src(QLatin1String(name));
    }
    tool.SourceFiles << src(QStringLiteral("1.bin"));
    umaskCalls = 0;
    tool.执行(false);
    QVERIFY(runToEnd(tool));
    QCOMPARE(QDir(m_dir.path() + QStringLiteral("/new/out")).entryList(QDir::Files).size(), 3);
    QCOMPARE(umaskCalls.load(), 0);
}

QTEST_GUILESS_MAIN(TestCopyMoveTool)
#include "tst_copymovetool.moc"
