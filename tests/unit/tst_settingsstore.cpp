#include "TestEnvironment.h"
#include "common/SettingsStore.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString settingsFilePath()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
        QStringLiteral("Quillmoor"))
        .fileName();
}

QByteArray systemBytes(const QString &text)
{
    QStringEncoder encode(QStringConverter::System);
    return encode(text);
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void missingKeyGivesDefaultAndCreatesNothing();
    void chineseSectionsAndKeysRoundTrip();
    void valuesStayText_data();
    void valuesStayText();
    void keyedDefaults();
    void handEditedListValueReadsAsText();

    void loadComboList_data();
    void loadComboList();
    void loadStopsAfterHundredLines();
    void loadLeavesListWhenNothingToRead();
    void loadReadsSystemCodePage();
    void saveComboList_data();
    void saveComboList();
    void saveIntoMissingFolderFails();

private:
    QTemporaryDir m_dir;
    QString historyPath() const { return m_dir.filePath(QStringLiteral("SaveList.dat")); }
    void writeHistory(const QByteArray &bytes) const;
};

void TestSettingsStore::initTestCase()
{
    useTestLocations();
    QVERIFY(m_dir.isValid());
    // A settings file of this process alone: other tests may run at the same time.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    QVERIFY(settingsFilePath().startsWith(m_dir.path()));
}

void TestSettingsStore::init()
{
    QFile::remove(settingsFilePath());
    QFile::remove(historyPath());
}

void TestSettingsStore::writeHistory(const QByteArray &bytes) const
{
    QFile file(historyPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void TestSettingsStore::missingKeyGivesDefaultAndCreatesNothing()
{
    QCOMPARE(ReadSetting(QStringLiteral("设置"), QStringLiteral("下载方式"), QStringLiteral("2")),
        QStringLiteral("2"));
    QCOMPARE(ReadSetting(QStringLiteral("fFileDownload"), QStringLiteral("宽"), 15000),
        QStringLiteral("15000"));
    QCOMPARE(ReadSetting(QStringLiteral("设置"), QStringLiteral("文件最大值"), 2.5),
        QStringLiteral("2.5"));
    QVERIFY(!QFile::exists(settingsFilePath()));

    WriteSetting(QStringLiteral("设置"), QStringLiteral("其他"), QStringLiteral("x"));
    QCOMPARE(ReadSetting(QStringLiteral("设置"), QStringLiteral("下载方式"), QStringLiteral("2")),
        QStringLiteral("2"));
    QSettings raw(settingsFilePath(), QSettings::IniFormat);
    QCOMPARE(raw.allKeys().size(), 1);
}

void TestSettingsStore::chineseSectionsAndKeysRoundTrip()
{
    WriteSetting(Settings::DuplicateFilePolicy, QStringLiteral("覆盖"));
    WriteSetting(QStringLiteral("fFileDownload"), QStringLiteral("上"), QStringLiteral("-300"));
    WriteSetting(Settings::SaveFolder, QStringLiteral("/数据/论文/"));
    WriteSetting(Settings::DuplicateFilePolicy, QStringLiteral("跳过")); // replaces

    // A fresh reader of the file on disk sees the same values.
    QSettings raw(settingsFilePath(), QSettings::IniFormat);
    QCOMPARE(
        raw.value(QStringLiteral("专利下载/重复文件名设置")).toString(), QStringLiteral("跳过"));
    QCOMPARE(raw.value(QStringLiteral("fFileDownload/上")).toString(), QStringLiteral("-300"));
    QCOMPARE(raw.value(QStringLiteral("设置/下载文件保存路径")).toString(),
        QStringLiteral("/数据/论文/"));
    QCOMPARE(raw.childGroups().size(), 3);

    // The file itself is sane: section and key names escaped to ASCII, values
    // in UTF-8, one line per key.
    QFile file(settingsFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    int keyLines = 0;
    for (const QByteArray &line : lines) {
        const QByteArray name = line.left(line.indexOf('='));
        for (const char byte : name)
            QVERIFY(uchar(byte) < 0x80);
        if (line.contains('='))
            ++keyLines;
    }
    QCOMPARE(keyLines, 3);
    QVERIFY(
        lines.contains(QStringLiteral("%U91CD%U590D%U6587%U4EF6%U540D%U8BBE%U7F6E=跳过").toUtf8()));
}

void TestSettingsStore::valuesStayText_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << QString();
    QTest::newRow("comma") << QStringLiteral("a, b,c");
    QTest::newRow("at sign") << QStringLiteral("@Variant(x)");
    QTest::newRow("backslashes and quotes") << QStringLiteral(R"(c:\12345\ "q")");
    QTest::newRow("spaces kept") << QStringLiteral("  1  ");
    QTest::newRow("semicolon and hash") << QStringLiteral("a;b#c");
}

void TestSettingsStore::valuesStayText()
{
    QFETCH(QString, value);
    WriteSetting(Settings::ProxyAddress, value);
    QCOMPARE(ReadSetting(Settings::ProxyAddress), value);
    QCOMPARE(ReadSetting(Settings::ProxyPort), QString());
}

void TestSettingsStore::keyedDefaults()
{
    const FixedAppPaths paths(QStringLiteral("/opt/quillmoor"));
    QCOMPARE(ReadSetting(Settings::DownloadMethod, paths), QStringLiteral("2"));
    QCOMPARE(ReadSetting(Settings::ProxyEnabled, paths), QStringLiteral("0"));
    QCOMPARE(ReadSetting(Settings::MaxFileSizeMB, paths), QStringLiteral("10"));
    QCOMPARE(ReadSetting(Settings::AskSaveFolderOnExtract, paths), QStringLiteral("1"));
    QCOMPARE(ReadSetting(Settings::ConnectionCountIndex, paths), QStringLiteral("2"));
    QCOMPARE(ReadSetting(Settings::DuplicateFilePolicy, paths), QStringLiteral("重命名"));
    QCOMPARE(ReadSetting(Settings::CopyMoveOption, paths), QStringLiteral("4"));
    QCOMPARE(ReadSetting(Settings::CopyMoveDestination, paths), QStringLiteral("/opt/quillmoor"));
    QCOMPARE(ReadSetting(Settings::LastOpenedFolder, paths), QStringLiteral("/opt/quillmoor"));
    QCOMPARE(ReadSetting(Settings::SaveFolder, paths), QDir::homePath() + QStringLiteral("/12345"));

    WriteSetting(Settings::CopyMoveDestination, QStringLiteral("/tmp/x"));
    QCOMPARE(ReadSetting(Settings::CopyMoveDestination, paths), QStringLiteral("/tmp/x"));
    QCOMPARE(ReadSetting(QStringLiteral("Form_Copy_Move"), QStringLiteral("目的文件夹"), QString()),
        QStringLiteral("/tmp/x"));
}

void TestSettingsStore::handEditedListValueReadsAsText()
{
    QDir().mkpath(QFileInfo(settingsFilePath()).path());
    QFile file(settingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[fFileDownload]\nnote=a,b\n");
    file.close();
    QCOMPARE(ReadSetting(QStringLiteral("fFileDownload"), QStringLiteral("note"), QString()),
        QStringLiteral("a,b"));
}

void TestSettingsStore::loadComboList_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("case-insensitive repeat, first spelling wins") << QByteArray(
        "/data/Pdf\r\n/data/pdf\r\n/data/PDF\r\n") << QStringList { QStringLiteral("/data/Pdf") };
    QTest::newRow("spaces trimmed, empty lines skipped")
        << QByteArray("  /e/a  \r\n\r\n   \r\n") << QStringList { QStringLiteral("/e/a") };
    QTest::newRow("tabs are not spaces") << QByteArray(
        "\t/e/a \r\n/e/b") << QStringList { QStringLiteral("\t/e/a"), QStringLiteral("/e/b") };
    QTest::newRow("CR, CR LF and LF all end lines")
        << QByteArray("/a\r/b\r\n/c\n/d")
        << QStringList { QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c"),
               QStringLiteral("/d") };
    QTest::newRow("order kept") << QByteArray("/z\r\n/a\r\n/m\r\n")
                                << QStringList { QStringLiteral("/z"), QStringLiteral("/a"),
                                       QStringLiteral("/m") };
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("single empty line") << QByteArray("\r\n") << QStringList();
}

void TestSettingsStore::loadComboList()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    writeHistory(file);
    QStringList list { QStringLiteral("/earlier") };
    LoadComboList(list, historyPath());
    QCOMPARE(list, expected);
}

void TestSettingsStore::loadStopsAfterHundredLines()
{
    // 100 counted lines of the same folder (blank lines in between do not
    // count), then folders that must be ignored.
    QByteArray same;
    for (int i = 0; i < 100; ++i)
        same += (i % 2 ? "/same\r\n" : "/SAME\r\n\r\n  \r\n");
    writeHistory(same + "/later\r\n/later2\r\n");
    QStringList list;
    LoadComboList(list, historyPath());
    QCOMPARE(list, QStringList { QStringLiteral("/SAME") });

    // Distinct lines: exactly the first 100 survive, longer than one read piece.
    QByteArray many;
    const QByteArray padding(1000, 'x');
    for (int i = 0; i < 150; ++i)
        many += "/f" + QByteArray::number(i) + padding + "\r\n";
    writeHistory(many);
    LoadComboList(list, historyPath());
    QCOMPARE(list.size(), 100);
    QCOMPARE(list.first(), QStringLiteral("/f0") + QString::fromLatin1(padding));
    QCOMPARE(list.last(), QStringLiteral("/f99") + QString::fromLatin1(padding));
}

void TestSettingsStore::loadLeavesListWhenNothingToRead()
{
    const QStringList before { QStringLiteral("/kept") };

    QStringList list = before;
    LoadComboList(list, historyPath()); // no file
    QCOMPARE(list, before);

    // A folder where the file should be cannot be read; loading ends at once.
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("SaveList.dat")));
    LoadComboList(list, historyPath());
    QCOMPARE(list, before);
    QVERIFY(!SaveComboList(list, historyPath()));
    QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("SaveList.dat")));
}

void TestSettingsStore::loadReadsSystemCodePage()
{
    const QString folder = QStringLiteral("/数据/论文 2024");
    writeHistory(systemBytes(folder) + "\r\n");
    QStringList list;
    LoadComboList(list, historyPath());
    QCOMPARE(list, QStringList { folder });
}

void TestSettingsStore::saveComboList_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty list is one CR LF") << QStringList() << QByteArray("\r\n");
    QTest::newRow("entries in order, CR LF each")
        << QStringList { QStringLiteral("/b"), QStringLiteral("/a") } << QByteArray("/b\r\n/a\r\n");
    QTest::newRow("system code page")
        << QStringList { QStringLiteral("/数据") } << systemBytes(QStringLiteral("/数据")) + "\r\n";
}

void TestSettingsStore::saveComboList()
{
    QFETCH(QStringList, list);
    QFETCH(QByteArray, expected);
    writeHistory("/older/and/longer/content\r\n/more\r\n");
    QVERIFY(SaveComboList(list, historyPath()));
    QFile file(historyPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
    file.close();

    QStringList back { QStringLiteral("/earlier") };
    LoadComboList(back, historyPath());
    QCOMPARE(back, list);
}

void TestSettingsStore::saveIntoMissingFolderFails()
{
    QVERIFY(!SaveComboList(
        { QStringLiteral("/a") }, m_dir.filePath(QStringLiteral("no/such/SaveList.dat"))));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
