#include "FakeDialogs.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "common/FileNameHelpers.h"
#include "common/SettingsStore.h"
#include "copytool/ui/Form_Copy_Move.h"
#include "platform/AppPaths.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestFormCopyMove : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();

    void opensWithStoredChoices();
    void browseAppendsSeparator();
    void startCopiesAndShowsProgress();
    void closingDuringRunFinishesTheFile();

private:
    QRadioButton *option(Form_Copy_Move &window, int index);
    QTemporaryDir m_dir;
};

void TestFormCopyMove::init()
{
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
        QStringLiteral("Quillmoor"))
        .clear();
}

QRadioButton *TestFormCopyMove::option(Form_Copy_Move &window, int index)
{
    for (QRadioButton *each : window.findChildren<QRadioButton *>(QStringLiteral("Option1"))) {
        if (each->property("index").toInt() == index)
            return each;
    }
    return nullptr;
}

void TestFormCopyMove::opensWithStoredChoices()
{
    FakeDialogs dialogs;
    const FixedAppPaths paths(m_dir.path());
    QVERIFY(writeFile(paths.saveListPath(), "/a/first/\r\n/b/second/\r\n"));
    WriteSetting(Settings::CopyMoveDestination, QStringLiteral("/b/second/"));
    WriteSetting(Settings::CopyMoveOption, QStringLiteral("2"));

    Form_Copy_Move window(dialogs, paths);
    QCOMPARE(window.windowTitle(), QStringLiteral("复制文件...-Quillmoor"));
    auto *combo = window.findChild<QComboBox *>(QStringLiteral("Combo1"));
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->currentText(), QStringLiteral("/b/second/"));
    QVERIFY(option(window, 2)->isChecked());
    QCOMPARE(option(window, 4)->text(),
        QStringLiteral("文件大小和修改时间均相同：覆盖；否则：自动重命名"));
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("Command1"))->text(),
        QStringLiteral("开始"));
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label2"))->text(), QStringLiteral("进度;"));
    window.setMoveMode(true);
    QCOMPARE(window.windowTitle(), QStringLiteral("移动文件...-Quillmoor"));

    option(window, 5)->click();
    QCOMPARE(window.tool().opIndex(), 5);
}

void TestFormCopyMove::browseAppendsSeparator()
{
    FakeDialogs dialogs;
    const FixedAppPaths paths(m_dir.path());
    Form_Copy_Move window(dialogs, paths);
    dialogs.folders << QStringLiteral("/picked/folder");
    auto *combo = window.findChild<QComboBox *>(QStringLiteral("Combo1"));
    combo->setEditText(QStringLiteral("/start/"));
    window.findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    QCOMPARE(dialogs.folderPickerStarts, QStringList(QStringLiteral("/start/")));
    QCOMPARE(combo->currentText(), QStringLiteral("/picked/folder/"));
    QCOMPARE(window.tool().boxText(), QStringLiteral("/picked/folder/"));
    // Cancelled: the box keeps its text.
    window.findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    QCOMPARE(combo->currentText(), QStringLiteral("/picked/folder/"));
}

void TestFormCopyMove::startCopiesAndShowsProgress()
{
    FakeDialogs dialogs;
    const FixedAppPaths paths(m_dir.path());
    Form_Copy_Move window(dialogs, paths);
    window.show();
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("src/a.pdf")), "a"));
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("src/b.pdf")), "b"));
    window.tool().SourceFiles << m_dir.filePath(QStringLiteral("src/a.pdf"))
                              << m_dir.filePath(QStringLiteral("src/b.pdf"));
    window.findChild<QComboBox *>(QStringLiteral("Combo1"))
        ->setEditText(m_dir.filePath(QStringLiteral("out")));
    auto *start = window.findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *progress = window.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
    auto *current = window.findChild<QLabel *>(QStringLiteral("Label3"));
    QStringList seen;
    connect(&window.tool(), &CopyMoveTool::currentFileChanged, this, [&](const QString &name) {
        if (!name.isEmpty())
            seen << name + u' ' + start->text() + u' ' + QString::number(progress->value()) + u'/'
                    + QString::number(progress->maximum()) + u' ' + current->text();
    });
    QSignalSpy finished(&window.tool(), &CopyMoveTool::runFinished);
    start->click();
    QVERIFY(finished.wait(10000));
    QCOMPARE(seen,
        QStringList(
            { QStringLiteral("a.pdf 停止 1/3 a.pdf"), QStringLiteral("b.pdf 停止 2/3 b.pdf") }));
    QCOMPARE(start->text(), QStringLiteral("开始"));
    QCOMPARE(progress->value(), 0);
    QCOMPARE(current->text(), QString());
    QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("Combo1"))->currentText(),
        m_dir.filePath(QStringLiteral("out/")));
    QCOMPARE(readFile(m_dir.filePath(QStringLiteral("out/b.pdf"))), QByteArray("b"));
    QCOMPARE(dialogs.messages.last().text, QStringLiteral("复制文件完成！"));
}

void TestFormCopyMove::closingDuringRunFinishesTheFile()
{
    FakeDialogs dialogs;
    const FixedAppPaths paths(m_dir.path());
    Form_Copy_Move window(dialogs, paths);
    window.show();
    for (const char *name : { "src/1.bin", "src/2.bin" }) {
        QVERIFY(writeFile(m_dir.filePath(QLatin1String(name)), name));
        window.tool().SourceFiles << m_dir.filePath(QLatin1String(name));
    }
    window.findChild<QComboBox *>(QStringLiteral("Combo1"))
        ->setEditText(m_dir.filePath(QStringLiteral("out")));
    connect(&window.tool(), &CopyMoveTool::currentFileChanged, this, [&](const QString &name) {
        if (name == QStringLiteral("1.bin"))
            window.findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    });
    QSignalSpy finished(&window.tool(), &CopyMoveTool::runFinished);
    window.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QVERIFY(finished.wait(10000));
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(FileExists(m_dir.filePath(QStringLiteral("out/1.bin"))));
    QVERIFY(!FileExists(m_dir.filePath(QStringLiteral("out/2.bin"))));
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(partFiles(m_dir.filePath(QStringLiteral("out"))).isEmpty());
}

QTEST_MAIN(TestFormCopyMove)
#include "tst_formcopymove.moc"
