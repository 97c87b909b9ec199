#include "TestEnvironment.h"
#include "download/SavedFileNaming.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(DuplicatePolicy)

class TestSavedFileNaming : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();

    void renamePath_data();
    void renamePath();
    void renameReadsPolicyAtCall();
    void skipExisting_data();
    void skipExisting();
    void ownEarlierFileCountsAsFree_data();
    void ownEarlierFileCountsAsFree();
    void titleOnOneLine_data();
    void titleOnOneLine();
    void contentDispositionHeader_data();
    void contentDispositionHeader();
    void contentDispositionExtension_data();
    void contentDispositionExtension();

private:
    void write(const QString &name, const QByteArray &content = "x");
    QString folder() const { return m_dir->path() + u'/'; }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSavedFileNaming::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSavedFileNaming::write(const QString &name, const QByteArray &content)
{
    QFile file(folder() + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void TestSavedFileNaming::renamePath_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<DuplicatePolicy>("policy");
    QTest::addColumn<QString>("expectedName");

    const auto rename = DuplicatePolicy::Rename;
    QTest::newRow("free name unchanged, brackets kept")
        << QStringList() << u"Paper [Review]"_s << u"pdf"_s << rename << u"Paper [Review]"_s;
    QTest::newRow("first counter")
        << QStringList { u"Paper.pdf"_s } << u"Paper"_s << u"pdf"_s << rename << u"Paper[001]"_s;
    QTest::newRow("second counter") << QStringList { u"Paper.pdf"_s, u"Paper[001].pdf"_s }
                                    << u"Paper"_s << u"pdf"_s << rename << u"Paper[002]"_s;
    QTest::newRow("counter continues from the name")
        << QStringList { u"Paper[007].pdf"_s } << u"Paper[007]"_s << u"pdf"_s << rename
        << u"Paper[008]"_s;
    QTest::newRow("trimmed counter") << QStringList { u"Paper[ 7 ].pdf"_s } << u"Paper[ 7 ]"_s
                                     << u"pdf"_s << rename << u"Paper[007]"_s;
    QTest::newRow("other brackets become corner brackets")
        << QStringList { u"Paper [Review].pdf"_s } << u"Paper [Review]"_s << u"pdf"_s << rename
        << u"Paper 『Review』"_s;
    QTest::newRow("bracketed number inside the name is no counter")
        << QStringList { u"Chapter [3] Methods.pdf"_s } << u"Chapter [3] Methods"_s << u"pdf"_s
        << rename << u"Chapter 『3』 Methods"_s;
    QTest::newRow("past 999") << QStringList { u"Paper[999].pdf"_s } << u"Paper[999]"_s << u"pdf"_s
                              << rename << u"Paper[1000]"_s;
    QTest::newRow("fractional counter rounds")
        << QStringList { u"P[2.5].pdf"_s } << u"P[2.5]"_s << u"pdf"_s << rename << u"P[003]"_s;
    QTest::newRow("huge counter is no counter")
        << QStringList { u"P[1e10].pdf"_s } << u"P[1e10]"_s << u"pdf"_s << rename << u"P『1e10』"_s;
    QTest::newRow("negative counter is no counter")
        << QStringList { u"P[-1].pdf"_s } << u"P[-1]"_s << u"pdf"_s << rename << u"P『-1』"_s;
    // The corner brackets take more bytes than the square ones; the name is
    // cut again so that it still fits the file system.
    const QString longName = QString(236, u'a') + u"[x]"_s;
    QTest::newRow("long name with brackets stays within the limit")
        << QStringList { longName + u".pdf"_s } << longName << u"pdf"_s << rename
        << QString(236, u'a') + u"『x"_s;
    QTest::newRow("only the same type counts")
        << QStringList { u"Paper.htm"_s } << u"Paper"_s << u"pdf"_s << rename << u"Paper"_s;
    QTest::newRow("empty type, no dot")
        << QStringList { u"notes"_s } << u"notes"_s << QString() << rename << u"notes[001]"_s;
    QTest::newRow("overwrite keeps the taken name")
        << QStringList { u"Paper.pdf"_s } << u"Paper"_s << u"pdf"_s << DuplicatePolicy::Overwrite
        << u"Paper"_s;
}

void TestSavedFileNaming::renamePath()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(DuplicatePolicy, policy);
    QFETCH(QString, expectedName);
    for (const QString &file : std::as_const(existing))
        write(file);
    DownloadOptions options;
    options.policy = policy;
    QString newName;
    // The folder is given without its final separator on purpose.
    const QString path = 重命名保存路径(m_dir->path(), name, type, options, &newName);
    QCOMPARE(newName, expectedName);
    QCOMPARE(path, folder() + expectedName + (type.isEmpty() ? QString() : u'.' + type));
    QVERIFY(QFileInfo(path).fileName().toUtf8().size() <= 255);
}

void TestSavedFileNaming::renameReadsPolicyAtCall()
{
    write(u"a.pdf"_s);
    DownloadOptions options;
    options.policy = DuplicatePolicy::Overwrite;
    QCOMPARE(重命名保存路径(folder(), u"a"_s, u"pdf"_s, options), folder() + u"a.pdf"_s);
    options.policy = DuplicatePolicy::Rename;
    QCOMPARE(重命名保存路径(folder(), u"a"_s, u"pdf"_s, options), folder() + u"a[001].pdf"_s);
}

void TestSavedFileNaming::skipExisting_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("type");
    QTest::addColumn<DuplicatePolicy>("policy");
    QTest::addColumn<bool>("needed");

    QTest::newRow("skip, present") << u"Paper.pdf"_s << u"pdf"_s << DuplicatePolicy::Skip << false;
    QTest::newRow("skip, empty type") << u"Paper"_s << QString() << DuplicatePolicy::Skip << false;
    QTest::newRow("skip, other type present")
        << u"Paper.htm"_s << u"pdf"_s << DuplicatePolicy::Skip << true;
    QTest::newRow("skip, placeholder type")
        << u"Paper.pdf"_s << u"xxx"_s << DuplicatePolicy::Skip << true;
    QTest::newRow("rename, present")
        << u"Paper.pdf"_s << u"pdf"_s << DuplicatePolicy::Rename << true;
    QTest::newRow("overwrite, present")
        << u"Paper.pdf"_s << u"pdf"_s << DuplicatePolicy::Overwrite << true;
}

void TestSavedFileNaming::skipExisting()
{
    QFETCH(QString, file);
    QFETCH(QString, type);
    QFETCH(DuplicatePolicy, policy);
    QFETCH(bool, needed);
    write(file, QByteArray(1234, 'p'));

    for (const QString &rowFolder : { m_dir->path(), folder() }) {
        DownloadItem row;
        row.Name = u"Paper"_s;
        row.Type = type;
        row.Folder = rowFolder;
        row.StatusCode = Status::Waiting;
        DownloadOptions options;
        options.policy = policy;
        QCOMPARE(确定是需要下载(row, options), needed);
        if (needed) {
            QCOMPARE(row.StatusCode, Status::Waiting);
            QVERIFY(row.Size.isEmpty() && row.Received.isEmpty() && row.Percent.isEmpty());
        } else {
            QCOMPARE(row.StatusCode, Status::Completed);
            QCOMPARE(row.Size, u"1234"_s);
            QCOMPARE(row.Received, u"1234"_s);
            QCOMPARE(row.Percent, u"已存在，跳过"_s);
        }
    }
}

void TestSavedFileNaming::ownEarlierFileCountsAsFree_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ownFile"); // relative to the folder; "//" kept
    QTest::addColumn<QString>("renamedTo");
    QTest::addColumn<bool>("skipped");

    QTest::newRow("own file keeps its name, not skipped")
        << QStringList { u"Paper.pdf"_s } << u"Paper"_s << u"Paper.pdf"_s << u"Paper"_s << false;
    QTest::newRow("own file with a counter keeps it")
        << QStringList { u"Paper.pdf"_s, u"Paper[001].pdf"_s } << u"Paper[001]"_s
        << u"Paper[001].pdf"_s << u"Paper[001]"_s << false;
    QTest::newRow("own file named with a doubled separator")
        << QStringList { u"Paper.pdf"_s } << u"Paper"_s << u"/Paper.pdf"_s << u"Paper"_s << false;
    QTest::newRow("another file of the name still counts")
        << QStringList { u"Paper.pdf"_s } << u"Paper"_s << u"Paper.htm"_s << u"Paper[001]"_s
        << true;
    QTest::newRow("no own file") << QStringList { u"Paper.pdf"_s } << u"Paper"_s << QString()
                                 << u"Paper[001]"_s << true;
}

// A re-download replaces the row's own earlier file: neither the rename
// counter nor the skip test counts it as taken.
void TestSavedFileNaming::ownEarlierFileCountsAsFree()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, name);
    QFETCH(QString, ownFile);
    QFETCH(QString, renamedTo);
    QFETCH(bool, skipped);
    for (const QString &file : std::as_const(existing))
        write(file);
    const QString own = ownFile.isEmpty() ? QString() : folder() + ownFile;

    DownloadOptions options;
    options.policy = DuplicatePolicy::Rename;
    QString newName;
    QCOMPARE(重命名保存路径(folder(), name, u"pdf"_s, options, &newName, own),
        folder() + renamedTo + u".pdf"_s);
    QCOMPARE(newName, renamedTo);

    DownloadItem row;
    row.Name = name;
    row.Type = u"pdf"_s;
    row.Folder = folder();
    row.ReplaceableFile = own;
    options.policy = DuplicatePolicy::Skip;
    QCOMPARE(确定是需要下载(row, options), !skipped);
    QCOMPARE(row.StatusCode, skipped ? Status::Completed : Status::Waiting);
}

void TestSavedFileNaming::titleOnOneLine_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::newRow("line feed between words")
        << u"Spectral gaps of (nu)-harmonic maps\nand (tau)-functions"_s
        << u"Spectral gaps of (nu)-harmonic maps and (tau)-functions"_s;
    QTest::newRow("tab between words") << u"Graphene\tplasmonics tunable terahertz devices"_s
                                       << u"Graphene plasmonics tunable terahertz devices"_s;
    QTest::newRow("book chapter lines with indentation")
        << u"Foundations of X\r\n        Pages 1–24\r\n\t\tSophie Lefèvre"_s
        << u"Foundations of X Pages 1–24 Sophie Lefèvre"_s;
    QTest::newRow("a lone carriage return") << u"a\rb"_s << u"a b"_s;
    QTest::newRow("runs of spaces alone stay") << u"a  b"_s << u"a  b"_s;
    QTest::newRow("breaks at the ends go") << u"\n\t Title \r\n"_s << u"Title"_s;
    QTest::newRow("only breaks") << u"\r\n\t"_s << QString();
}

void TestSavedFileNaming::titleOnOneLine()
{
    QFETCH(QString, title);
    QFETCH(QString, expected);
    QCOMPARE(TitleOnOneLine(title), expected);
}

void TestSavedFileNaming::contentDispositionHeader_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("expected");

    QTest::newRow("upper-case name, value case kept")
        << u"HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\n"
           u"CONTENT-DISPOSITION:  attachment; filename=\"A.PDF\"  \r\n\r\n"_s
        << u"attachment; filename=\"A.PDF\""_s;
    QTest::newRow("first line wins")
        << u"Content-Disposition: inline\r\nContent-Disposition: attachment\r\n"_s << u"inline"_s;
    QTest::newRow("indented line")
        << u"X: 1\r\n   content-disposition:attachment\r\n"_s << u"attachment"_s;
    QTest::newRow("bare line feeds") << u"X: 1\ncontent-disposition: inline\n"_s << u"inline"_s;
    QTest::newRow("absent") << u"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"_s << QString();
    QTest::newRow("name inside another header")
        << u"X-Note: content-disposition: inline\r\n"_s << QString();
}

void TestSavedFileNaming::contentDispositionHeader()
{
    QFETCH(QString, header);
    QFETCH(QString, expected);
    QCOMPARE(从网络文件Header获取ContentDisposition(header), expected);
}

void TestSavedFileNaming::contentDispositionExtension_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << u"attachment; filename=report.PDF"_s << u"PDF"_s;
    QTest::newRow("double quotes") << u"attachment; filename=\"report.PDF\""_s << u"PDF"_s;
    QTest::newRow("single quotes, parameter after")
        << u"attachment; FileName='x.doc'; size=3"_s << u"doc"_s;
    QTest::newRow("last dot") << u"attachment; filename=a.b.tar.gz"_s << u"gz"_s;
    QTest::newRow("digit ends the extension") << u"attachment; filename=song.mp3"_s << u"mp"_s;
    QTest::newRow("five letters") << u"filename=x.abcde"_s << u"abcde"_s;
    QTest::newRow("six letters") << u"filename=x.abcdef"_s << QString();
    QTest::newRow("seven letters") << u"filename=x.abcdefg"_s << QString();
    QTest::newRow("line break inside") << u"filename=\"x.p\r\ndf\""_s << u"pdf"_s;
    QTest::newRow("no dot") << u"attachment; filename=report"_s << QString();
    QTest::newRow("no filename") << u"inline"_s << QString();
    QTest::newRow("non-ASCII letters stop") << u"filename=x.pdé"_s << u"pd"_s;
}

void TestSavedFileNaming::contentDispositionExtension()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(从下载头信息ContentDisposition获取文件名(value), expected);
}

QTEST_GUILESS_MAIN(TestSavedFileNaming)
#include "tst_savedfilenaming.moc"
