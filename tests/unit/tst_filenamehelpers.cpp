#include "FakeDialogs.h"
#include "TestEnvironment.h"
#include "common/FileNameHelpers.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFileNameHelpers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();

    void cleanFileName_data();
    void cleanFileName();
    void cleanedNameDoesNotDependOnEarlierTitles();
    void uniqueFileName_data();
    void uniqueFileName();
    void createFolderPath();
    void createFolderPathRejects_data();
    void createFolderPathRejects();
    void splitNameAndPath_data();
    void splitNameAndPath();
    void splitBracketNumber_data();
    void splitBracketNumber();
    void fileNameFromPath_data();
    void fileNameFromPath();
    void siteRootOfUrl_data();
    void siteRootOfUrl();
    void urlFileNameAndExtension_data();
    void urlFileNameAndExtension();
    void existsAndLineBreaks();
    void listSubfoldersOrder();
    void listFiles();

private:
    void touch(const QString &relative);
    QString path(const QString &relative) const { return m_dir->filePath(relative); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFileNameHelpers::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestFileNameHelpers::touch(const QString &relative)
{
    QFile file(path(relative));
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.fileName()));
    file.write("x");
}

void TestFileNameHelpers::cleanFileName_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString chinese300 = QString(300, QChar(u'中'));
    const QString ascii500 = QString(500, QLatin1Char('a'));
    const QString ascii239 = QString(239, QLatin1Char('a'));
    const QString ascii236 = QString(236, QLatin1Char('a'));

    QTest::newRow("full-width colon goes") << u"标题：副标题"_s << u"标题副标题"_s;
    QTest::newRow("all nine, ASCII") << u"a\\/:*?\"<>|b"_s << u"ab"_s;
    QTest::newRow("all nine, full-width") << u"Ａ＼／：＊？＂＜＞｜Ｂ"_s << u"ＡＢ"_s;
    QTest::newRow("line breaks and NUL") << u"a\r\nb\0c"_s << u"abc"_s;
    QTest::newRow("dots at both ends") << u"...a.b..."_s << u"a.b"_s;
    QTest::newRow("dot exposed by removal") << u"?.a.?"_s << u"a"_s;
    QTest::newRow("only question marks") << u"????"_s << QString();
    QTest::newRow("spaces stay") << u" a b "_s << u" a b "_s;
    QTest::newRow("control characters go") << u"a\tb\x1b[31mc\x7f\u0085d\x01"_s << u"ab[31mcd"_s;
    // A right-to-left override could show "evil\u202Efdp.exe" as "evilexe.pdf".
    QTest::newRow("bidirectional controls go")
        << u"evil\u202Efdp.exe\u200E\u200F\u061C\u202A\u202B\u202C\u202D\u2066\u2067\u2068\u2069"_s
        << u"evilfdp.exe"_s;
    QTest::newRow("dot exposed by a bidi control's removal") << u"a.\u200F"_s << u"a"_s;
    QTest::newRow("joiners and soft hyphen stay")
        << u"क्\u200Dष\u200Cx\u00ADy\u2060"_s << u"क्\u200Dष\u200Cx\u00ADy\u2060"_s;
    QTest::newRow("300 Chinese keep 80") << chinese300 << chinese300.left(80);
    QTest::newRow("500 ASCII keep 240") << ascii500 << ascii500.left(240);
    QTest::newRow("emoji that would cross the limit goes whole")
        << ascii239 + u"😀tail"_s << ascii239;
    QTest::newRow("emoji that ends exactly at the limit stays")
        << ascii236 + u"😀tail"_s << ascii236 + u"😀"_s;
}

void TestFileNameHelpers::cleanFileName()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString cleaned = CleanFileName(text);
    QCOMPARE(cleaned, expected);
    QVERIFY(cleaned.toUtf8().size() <= 240);
    QVERIFY(cleaned.isEmpty() || !cleaned.back().isHighSurrogate());
}

// The same title gives the same name wherever it stands in a list: a title
// GBK cannot encode once made every later one count 4 bytes a letter.
void TestFileNameHelpers::cleanedNameDoesNotDependOnEarlierTitles()
{
    const QString greek = QString(130, QChar(u'α'));
    CleanFileName(u"Über die Änderung"_s);
    QCOMPARE(CleanFileName(greek), greek.left(120));
    CleanFileName(u"😀 Straße"_s);
    QCOMPARE(CleanFileName(greek), greek.left(120));
}

void TestFileNameHelpers::uniqueFileName_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("expected");

    const QString long120 = QString(120, QLatin1Char('L'));
    const QString long100 = QString(100, QLatin1Char('L'));

    QTest::newRow("absent file, counter kept")
        << QStringList() << u"report[0002].pdf"_s << u"report[0002].pdf"_s;
    QTest::newRow("first counter") << QStringList { u"a.pdf"_s } << u"a.pdf"_s << u"a[0001].pdf"_s;
    QTest::newRow("next counter") << QStringList { u"a.pdf"_s, u"a[0001].pdf"_s } << u"a.pdf"_s
                                  << u"a[0002].pdf"_s;
    QTest::newRow("existing counter renumbered, plain name first")
        << QStringList { u"report[0002].pdf"_s } << u"report[0002].pdf"_s << u"report.pdf"_s;
    QTest::newRow("renumbered from one when plain is taken") << QStringList { u"report.pdf"_s,
        u"report[0002].pdf"_s } << u"report[0002].pdf"_s << u"report[0001].pdf"_s;
    QTest::newRow("bracket text that is no number stays")
        << QStringList { u"a[x].pdf"_s } << u"a[x].pdf"_s << u"a[x][0001].pdf"_s;
    QTest::newRow("no extension") << QStringList { u"notes"_s } << u"notes"_s << u"notes[0001]"_s;
    QTest::newRow("base cut to 100")
        << QStringList { long120 + u".pdf"_s } << long120 + u".pdf"_s << long100 + u".pdf"_s;
    QTest::newRow("cut base taken too") << QStringList { long120 + u".pdf"_s, long100 + u".pdf"_s }
                                        << long120 + u".pdf"_s << long100 + u"[0001].pdf"_s;
}

void TestFileNameHelpers::uniqueFileName()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, asked);
    QFETCH(QString, expected);
    for (const QString &name : std::as_const(existing))
        touch(name);
    QCOMPARE(UniqueFileName(path(asked)), path(expected));
}

void TestFileNameHelpers::createFolderPath()
{
    FakeDialogs dialogs;
    // The folder the user chose is used as given: no component is cleaned.
    for (const QString &given :
        { u"dl/a:b/c?d"_s, u"dl/.papers"_s, u"dl/sub/.cache/dl"_s, u"dl/..."_s }) {
        QCOMPARE(CreateFolderPath(path(given), dialogs), path(given));
        QVERIFY(QFileInfo(path(given)).isDir());
    }
    QVERIFY(dialogs.messages.isEmpty());

    // An existing chain is fine; trailing separators are dropped.
    QCOMPARE(CreateFolderPath(path(u"dl/a:b//"_s), dialogs), path(u"dl/a:b"_s));
    QVERIFY(dialogs.messages.isEmpty());

    // Relative to the working folder, as given.
    const QString before = QDir::currentPath();
    QDir::setCurrent(path(u"dl"_s));
    QCOMPARE(CreateFolderPath(u".rel/x"_s, dialogs), u".rel/x"_s);
    QDir::setCurrent(before);
    QVERIFY(QFileInfo(path(u"dl/.rel/x"_s)).isDir());
}

void TestFileNameHelpers::createFolderPathRejects_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("underTemp");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("messages");

    QTest::newRow("empty server") << u"///share/x"_s << false << QString() << 1;
    QTest::newRow("file in the way fails quietly") << u"blocker/sub"_s << true << QString() << 0;
}

void TestFileNameHelpers::createFolderPathRejects()
{
    QFETCH(QString, relative);
    QFETCH(bool, underTemp);
    QFETCH(QString, expected);
    QFETCH(int, messages);
    touch(u"blocker"_s);
    FakeDialogs dialogs;
    QString error;
    const QString result = CreateFolderPath(underTemp ? path(relative) : relative, dialogs, &error);
    QCOMPARE(result, expected.isEmpty() ? QString() : path(expected));
    // What the file system refused is said.
    QCOMPARE(error.isEmpty(), !result.isEmpty());
    QCOMPARE(dialogs.messages.size(), messages);
    for (const FakeDialogs::Shown &shown : std::as_const(dialogs.messages)) {
        QCOMPARE(shown.text, u"文件夹名称有误！不能创建文件夹！"_s);
        QCOMPARE(shown.style, UserDialogs::Style::Error);
    }
    QVERIFY(!QFileInfo::exists(path(u"x"_s)));
    QVERIFY(!QFileInfo::exists(path(u"dl/x"_s)));
}

void TestFileNameHelpers::splitNameAndPath_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("pathExtension");
    QTest::addColumn<QString>("pathBase");

    QTest::newRow("plain") << u"/dl/report.pdf"_s << u"pdf"_s << u"report"_s << u"/dl/"_s
                           << u"pdf"_s << u"report"_s;
    QTest::newRow("last dot, trimmed")
        << u"  /dl/a.b .c  "_s << u"c"_s << u"a.b"_s << u"/dl/"_s << u"c"_s << u"a.b"_s;
    QTest::newRow("six-letter extension kept")
        << u"x.abcdef"_s << u"abcdef"_s << u"x"_s << QString() << u"abcdef"_s << u"x"_s;
    QTest::newRow("seven letters is no extension")
        << u"archive.torrent1"_s << QString() << u"archive.torrent1"_s << QString() << QString()
        << u"archive.torrent1"_s;
    QTest::newRow("full-width dot")
        << u"/dl/报告．pdf"_s << u"pdf"_s << u"报告"_s << u"/dl/"_s << u"pdf"_s << u"报告"_s;
    QTest::newRow("no dot") << u"/dl/notes"_s << QString() << u"notes"_s << u"/dl/"_s << QString()
                            << u"notes"_s;
    QTest::newRow("only an extension")
        << u"/dl/.pdf"_s << u"pdf"_s << QString() << u"/dl/"_s << QString() << u".pdf"_s;
}

void TestFileNameHelpers::splitNameAndPath()
{
    QFETCH(QString, input);
    QFETCH(QString, extension);
    QFETCH(QString, base);
    QFETCH(QString, folder);
    QFETCH(QString, pathExtension);
    QFETCH(QString, pathBase);

    QString gotBase = u"stale"_s;
    QCOMPARE(SplitNameAndExtension(input, &gotBase), extension);
    QCOMPARE(gotBase, base);

    QString gotExtension = u"stale"_s;
    gotBase = u"stale"_s;
    QCOMPARE(SplitPath(input, &gotExtension, &gotBase), folder);
    QCOMPARE(gotExtension, pathExtension);
    QCOMPARE(gotBase, pathBase);
}

void TestFileNameHelpers::splitBracketNumber_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QString>("base");

    QTest::newRow("spaces inside") << u"x[ 12 ]"_s << u"12"_s << u"x"_s;
    QTest::newRow("negative") << u"x[-1]"_s << u"-1"_s << u"x"_s;
    QTest::newRow("last brackets count") << u"a[1]b[0003]"_s << u"0003"_s << u"a[1]b"_s;
    QTest::newRow("letters") << u"x[ab]"_s << QString() << u"x[ab]"_s;
    QTest::newRow("empty brackets") << u"x[]"_s << QString() << u"x[]"_s;
    QTest::newRow("only a counter") << u"[5]"_s << QString() << u"[5]"_s;
    QTest::newRow("not at the end") << u"x[5]y"_s << QString() << u"x[5]y"_s;
    QTest::newRow("full-width brackets") << u"x［12］"_s << u"12"_s << u"x"_s;
    QTest::newRow("brackets reversed") << u"x]5["_s << QString() << u"x]5["_s;
}

void TestFileNameHelpers::splitBracketNumber()
{
    QFETCH(QString, name);
    QFETCH(QString, counter);
    QFETCH(QString, base);
    QString gotBase;
    QCOMPARE(SplitBracketNumber(name, &gotBase), counter);
    QCOMPARE(gotBase, base);
}

void TestFileNameHelpers::fileNameFromPath_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("dropExtension");
    QTest::addColumn<QString>("expected");

    QTest::newRow("query kept") << u"http://h/x/get.php?id=5"_s << false << u"get.php?id=5"_s;
    QTest::newRow("query dropped with the extension")
        << u"http://h/x/get.php?id=5"_s << true << u"get"_s;
    QTest::newRow("backslashes split too") << u"D:\\dl\\b.pdf"_s << false << u"b.pdf"_s;
    QTest::newRow("trimmed, last dot") << u"/dl/ a.b.pdf "_s << true << u"a.b"_s;
    QTest::newRow("full-width solidus") << u"a／b.pdf"_s << false << u"b.pdf"_s;
    QTest::newRow("no separator") << u"name.txt"_s << true << u"name"_s;
    QTest::newRow("trailing separator") << u"/dl/"_s << false << QString();
}

void TestFileNameHelpers::fileNameFromPath()
{
    QFETCH(QString, input);
    QFETCH(bool, dropExtension);
    QFETCH(QString, expected);
    QCOMPARE(FileNameFromPath(input, dropExtension), expected);
}

void TestFileNameHelpers::siteRootOfUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected");

    QTest::newRow("path cut, port kept")
        << u"https://link.example.com:8080/a/b.pdf?x=1"_s << u"https://link.example.com:8080"_s;
    QTest::newRow("no path") << u"https://example.com"_s << u"https://example.com"_s;
    QTest::newRow("three slashes") << u"file:///srv/x.pdf"_s << u"file:///srv/x.pdf"_s;
    QTest::newRow("no scheme") << u"example.com/a/b"_s << u"example.com"_s;
    QTest::newRow("no scheme, early slash") << u"ab/cd"_s << u"ab/cd"_s;
}

void TestFileNameHelpers::siteRootOfUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, expected);
    QCOMPARE(SiteRootOfUrl(url), expected);
}

void TestFileNameHelpers::urlFileNameAndExtension_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<QString>("extension");

    QTest::newRow("query kept in the name")
        << u"http://h/images/logo.gif?v=2"_s << u"logo.gif?v=2"_s << u"gif"_s;
    QTest::newRow("fragment dropped")
        << u"http://h/a/page.html#top"_s << u"page.html"_s << u"html"_s;
    QTest::newRow("extension only before ? and =")
        << u"http://h/dl?file=x.pdf"_s << u"dl?file=x.pdf"_s << QString();
    QTest::newRow("seven letters is no extension")
        << u"http://h/a/b.torrent1"_s << u"b.torrent1"_s << QString();
    QTest::newRow("full-width colon cuts") << u"http://h/a：b.pdf"_s << u"a"_s << QString();
    QTest::newRow("embedded address shown from the name on")
        << u"http://proxy/fetch.php?u=http://h/x/f.pdf"_s << u"fetch.php?u=http://h/x/f.pdf"_s
        << u"php"_s;
    QTest::newRow("no scheme") << u"dir/file.TXT"_s << u"file.TXT"_s << u"TXT"_s;
}

void TestFileNameHelpers::urlFileNameAndExtension()
{
    QFETCH(QString, url);
    QFETCH(QString, displayName);
    QFETCH(QString, extension);
    QString gotName;
    QCOMPARE(UrlFileNameAndExtension(url, &gotName), extension);
    QCOMPARE(gotName, displayName);
}

void TestFileNameHelpers::existsAndLineBreaks()
{
    touch(u".hidden"_s);
    QVERIFY(QDir(m_dir->path()).mkdir(u"sub"_s));
    QVERIFY(FileExists(path(u".hidden"_s)));
    QVERIFY(!FileExists(path(u"sub"_s)));
    QVERIFY(!FileExists(path(u"missing"_s)));
    QVERIFY(!FileExists(QString()));
    QVERIFY(FolderExists(path(u"sub"_s)));
    QVERIFY(!FolderExists(path(u".hidden"_s)));
    QVERIFY(!FolderExists(QString()));
    QCOMPARE(RemoveLineBreaks(u"a\r\nb\0c\td "_s), u"abc\td "_s);
}

void TestFileNameHelpers::listSubfoldersOrder()
{
    QDir root(m_dir->path());
    for (const QString &sub :
        { u"b/z"_s, u"a/x/deep"_s, u"a/y"_s, u".hidden"_s, u"RECYCLER"_s, u"b/PAGEFILE.SYS"_s })
        QVERIFY(root.mkpath(sub));
    touch(u"file.txt"_s);
    // A link back to the top must be listed but never walked into.
    QVERIFY(QFile::link(m_dir->path(), path(u"a/loop"_s)));

    QStringList list { u"kept"_s };
    ListSubfolders(m_dir->path(), list, true);
    const QStringList expected { u"kept"_s, path(u".hidden"_s), path(u"a"_s), path(u"b"_s),
        path(u"RECYCLER"_s), path(u"a/loop"_s), path(u"a/x"_s), path(u"a/y"_s), path(u"a/x/deep"_s),
        path(u"b/z"_s) };
    QCOMPARE(list, expected);

    QStringList direct;
    ListSubfolders(m_dir->path() + u'/', direct, false);
    QCOMPARE(direct, expected.mid(1, 4));

    QStringList relative;
    ListSubfolders(u"a"_s, relative, true);
    QVERIFY(relative.isEmpty());
}

void TestFileNameHelpers::listFiles()
{
    QDir root(m_dir->path());
    QVERIFY(root.mkpath(u"a/deep"_s));
    QVERIFY(root.mkpath(u"b"_s));
    touch(u"file.txt"_s);
    touch(u"pagefile.sys"_s);
    touch(u"a/deep/f1"_s);
    touch(u"b/.h"_s);
    // A link to nothing has no attributes to read and is not listed.
    QVERIFY(QFile::link(path(u"gone"_s), path(u"dangling"_s)));

    QStringList list;
    ListFiles(m_dir->path() + u'/', list, true);
    QCOMPARE(list, (QStringList { path(u"file.txt"_s), path(u"a/deep/f1"_s), path(u"b/.h"_s) }));

    QStringList flat;
    ListFiles(m_dir->path(), flat, false);
    QCOMPARE(flat, QStringList { path(u"file.txt"_s) });
}

QTEST_GUILESS_MAIN(TestFileNameHelpers)
#include "tst_filenamehelpers.moc"
