#include "DownloadTestRig.h"
#include "FakeDialogs.h"
#include "TestEnvironment.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "download/SaveFolderChoice.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// The save-folder dialog's rules: the folder it offers, what confirming and
// cancelling leave behind, and where the folder picker starts.
class TestSaveFolderChoice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init()
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
            QStringLiteral("Quillmoor"))
            .clear();
        m_dir.emplace();
        m_paths.emplace(m_dir->path());
    }
    void firstOpeningOffersTheDefaultFolder();
    void confirmCreatesTheFolderAndRecordsIt();
    void confirmingTwiceListsTheFolderOnce();
    void rejectedFolders_data();
    void rejectedFolders();
    void cancelAndNaming();
    void browseStartFolder_data();
    void browseStartFolder();
    void browseResult_data();
    void browseResult();

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<FixedAppPaths> m_paths;
};

void TestSaveFolderChoice::firstOpeningOffersTheDefaultFolder()
{
    AppValues values;
    values.UseOriginalFileName = true;
    const SaveFolderForm form = openSaveFolderForm(values, *m_paths);
    QCOMPARE(form.folderText, QDir::homePath() + QStringLiteral("/12345"));
    QCOMPARE(values.SaveFolder, form.folderText);
    QVERIFY(form.history.isEmpty());
    QVERIFY(form.useOriginalFileName);
}

void TestSaveFolderChoice::confirmCreatesTheFolderAndRecordsIt()
{
    AppValues values;
    values.SaveFolderDialogCancelled = true;
    FakeDialogs dialogs;
    SaveFolderForm form = openSaveFolderForm(values, *m_paths);
    const QString typed = m_dir->path() + QStringLiteral("/论文/新");
    form.folderText = typed; // no final separator
    form.useOriginalFileName = true;

    QVERIFY(confirmSaveFolder(form, values, *m_paths, dialogs));
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(QFileInfo(typed).isDir());
    QCOMPARE(values.SaveFolder, typed + QLatin1Char('/'));
    QCOMPARE(ReadSetting(Settings::SaveFolder), typed + QLatin1Char('/'));
    QVERIFY(!values.SaveFolderDialogCancelled);
    QVERIFY(values.UseOriginalFileName);
    // The history gains the folder without its final separator, one line
    // ended by CR LF.
    QCOMPARE(readFile(m_paths->saveListPath()), (typed + QStringLiteral("\r\n")).toLocal8Bit());
}

void TestSaveFolderChoice::confirmingTwiceListsTheFolderOnce()
{
    AppValues values;
    FakeDialogs dialogs;
    const QString folder = m_dir->path() + QStringLiteral("/papers");
    for (int i = 0; i < 2; ++i) {
        SaveFolderForm form = openSaveFolderForm(values, *m_paths);
        form.folderText = folder + QLatin1Char('/');
        QVERIFY(confirmSaveFolder(form, values, *m_paths, dialogs));
    }
    // The file holds it twice; the next opening shows it once.
    QCOMPARE(readFile(m_paths->saveListPath()).count(folder.toLocal8Bit()), 2);
    const SaveFolderForm reopened = openSaveFolderForm(values, *m_paths);
    QCOMPARE(reopened.history, QStringList { folder });
    QCOMPARE(reopened.folderText, folder + QLatin1Char('/'));
}

void TestSaveFolderChoice::rejectedFolders_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << QString();
    QTest::newRow("spaces") << QStringLiteral("   ");
    QTest::newRow("relative") << QStringLiteral("papers/new");
    QTest::newRow("under a file") << QStringLiteral("FILE/sub");
}

void TestSaveFolderChoice::rejectedFolders()
{
    QFETCH(QString, typed);
    writeFile(m_dir->path() + QStringLiteral("/file"), "x");
    typed.replace(QStringLiteral("FILE"), m_dir->path() + QStringLiteral("/file"));

    AppValues values;
    values.SaveFolder = QStringLiteral("/kept/");
    values.SaveFolderDialogCancelled = true;
    FakeDialogs dialogs;
    SaveFolderForm form;
    form.folderText = typed;
    form.useOriginalFileName = true;
    QVERIFY(!confirmSaveFolder(form, values, *m_paths, dialogs));
    QCOMPARE(dialogs.messages.constLast().text, QStringLiteral("文件夹设置错误！"));
    QVERIFY(form.folderText.isEmpty());
    QCOMPARE(values.SaveFolder, QStringLiteral("/kept/"));
    QVERIFY(values.SaveFolderDialogCancelled);
    // The naming choice is taken even when the folder is rejected.
    QVERIFY(values.UseOriginalFileName);
    QVERIFY(!QFile::exists(m_paths->saveListPath()));
    QVERIFY(!QDir(QDir::currentPath()).exists(QStringLiteral("papers")));
}

void TestSaveFolderChoice::cancelAndNaming()
{
    AppValues values;
    cancelSaveFolder(values);
    QVERIFY(values.SaveFolderDialogCancelled);
    QVERIFY(values.SaveFolder.isEmpty());
}

void TestSaveFolderChoice::browseStartFolder_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("expected"); // ROOT: the temporary folder

    QTest::newRow("folder with separator")
        << QStringLiteral("ROOT/papers/new/") << QStringLiteral("ROOT/papers/");
    QTest::newRow("folder without separator")
        << QStringLiteral("ROOT/papers/new") << QStringLiteral("ROOT/papers/");
    QTest::newRow("missing parent") << QStringLiteral("ROOT/gone/new/") << QDir::rootPath();
    QTest::newRow("empty") << QStringLiteral("  ") << QDir::rootPath();
}

void TestSaveFolderChoice::browseStartFolder()
{
    QFETCH(QString, initial);
    QFETCH(QString, expected);
    QDir(m_dir->path()).mkpath(QStringLiteral("papers/new"));
    initial.replace(QStringLiteral("ROOT"), m_dir->path());
    expected.replace(QStringLiteral("ROOT"), m_dir->path());
    QCOMPARE(BrowseStartFolder(initial), expected);
}

void TestSaveFolderChoice::browseResult_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("expected");

    QTest::newRow("cancelled keeps the text")
        << QStringLiteral("/data/12345/") << QString() << QStringLiteral("/data/12345/");
    QTest::newRow("cancelled adds the separator")
        << QStringLiteral("/data/12345") << QString() << QStringLiteral("/data/12345/");
    QTest::newRow("picked") << QStringLiteral("/data/12345/") << QStringLiteral("/srv/papers")
                            << QStringLiteral("/srv/papers/");
    QTest::newRow("picked root") << QString() << QStringLiteral("/") << QStringLiteral("/");
}

void TestSaveFolderChoice::browseResult()
{
    QFETCH(QString, initial);
    QFETCH(QString, picked);
    QFETCH(QString, expected);
    QCOMPARE(BrowseResult(initial, picked), expected);
}

QTEST_GUILESS_MAIN(TestSaveFolderChoice)
#include "tst_savefolderchoice.moc"
