#include "FakeDialogs.h"
#include "TestEnvironment.h"
#include "download/FileTypeDetection.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray bytes(std::initializer_list<unsigned char> values)
{
    QByteArray out;
    for (const unsigned char v : values)
        out.append(char(v));
    return out;
}

QByteArray padded(QByteArray head, qsizetype length, char fill = ' ')
{
    head.append(QByteArray(length - head.size(), fill));
    return head;
}

// An OLE compound file with the given four bytes at 512 and a total length.
QByteArray ole(std::initializer_list<unsigned char> at512, qsizetype length = 600)
{
    QByteArray out = padded(bytes({ 0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1 }), 512, '\0');
    out.append(bytes(at512));
    return padded(out, length, '\0');
}

const QByteArray kPage = "<HTML><HEAD><TITLE>Sign in</TITLE></HEAD><BODY>x</BODY></HTML>";
const QByteArray kDescriptor = "[target]\r\na1=x\r\nA2=y\r\nb1=1\r\nB2=2\r\nc1=3\r\nC2=4\r\n"
                               "d1=5\r\nD2=6\r\ndoctype=pdf\r\n";

} // namespace

class TestFileTypeDetection : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();

    void detect_data();
    void detect();
    void missingFile();
    void correct_data();
    void correct();
    void showType();

private:
    QString write(const QString &name, const QByteArray &content);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFileTypeDetection::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestFileTypeDetection::write(const QString &name, const QByteArray &content)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the sample file");
    return path;
}

void TestFileTypeDetection::detect_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    // Signatures and their lengths at the edge: a test reaching past the last
    // position ends the detection.
    QTest::newRow("pdf") << padded("%PDF-1.4\n", 100) << u"pdf"_s;
    QTest::newRow("4-byte %PDF") << QByteArray("%PDF") << u"pdf"_s;
    QTest::newRow("2-byte MZ") << QByteArray("MZ") << QString();
    QTest::newRow("3-byte MZ") << QByteArray("MZx") << u"exe"_s;
    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("caj") << padded(bytes({ 0xC8, 0, 0, 0 }), 64) << u"caj"_s;
    QTest::newRow("CAJ and zero is kdh") << padded(bytes({ 'C', 'A', 'J', 0 }), 64) << u"kdh"_s;
    QTest::newRow("nh") << padded(bytes({ 'H', 'N', 0, 0 }), 64) << u"nh"_s;
    QTest::newRow("zip flags 00 00")
        << padded(bytes({ 0x50, 0x4B, 3, 4, 0x14, 0, 0, 0, 8, 0 }), 64, '\0') << u"zip"_s;
    QTest::newRow("docx flags 06 00")
        << padded(bytes({ 0x50, 0x4B, 3, 4, 0x14, 0, 6, 0, 8, 0 }), 64, '\0') << u"docx"_s;
    QTest::newRow("10-byte docx") << bytes({ 0x50, 0x4B, 3, 4, 0x14, 0, 6, 0, 8, 0 }) << u"docx"_s;
    QTest::newRow("zip other flags")
        << padded(bytes({ 0x50, 0x4B, 3, 4, 0x14, 0, 8, 0, 8, 0 }), 64, '\0') << QString();
    QTest::newRow("ID3v2") << padded(bytes({ 'I', 'D', '3', 3 }), 64, '\0') << u"mp3"_s;
    QTest::newRow("png") << padded(bytes({ 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A }), 64)
                         << u"png"_s;
    QTest::newRow("jpeg exif big-endian") << padded(
        bytes({ 0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 0x2A }), 64,
        '\0') << u"jpg"_s;
    QTest::newRow("jpeg exif little-endian") << padded(
        bytes({ 0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 0x2A, 0 }), 64,
        '\0') << QString();
    QTest::newRow("jpeg jfif") << padded(
        bytes({ 0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F' }), 64, '\0')
                               << u"jpg"_s;
    QTest::newRow("doc") << ole({ 0xEC, 0xA5, 0xC1, 0x00 }) << u"doc"_s;
    QTest::newRow("xls") << ole({ 0x09, 0x08, 0x10, 0x00 }) << u"xls"_s;
    QTest::newRow("ppt") << ole({ 0x00, 0x00, 0x00, 0xF0 }) << u"ppt"_s;
    QTest::newRow("ppt, 516 bytes") << ole({ 0x00, 0x00, 0x00, 0xF0 }, 516) << u"ppt"_s;
    QTest::newRow("other OLE file") << ole({ 0x01, 0x02, 0x03, 0x04 }) << QString();
    QTest::newRow("OLE too short for 512, text not tried")
        << padded(bytes({ 0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1 }) + kPage, 300)
        << QString();

    // The ID3v1 trailer.
    QTest::newRow("TAG in the last 128 bytes")
        << padded(QByteArray(1000, '\x01') + "TAG", 1128, '\0') << u"mp3"_s;
    QTest::newRow("TAG file of exactly 128 bytes") << padded("TAG", 128, '\0') << QString();

    // Web pages: markup plus one of title, head, body; files below 200 KB.
    QTest::newRow("300-byte upper-case page") << padded(kPage, 300) << u"htm"_s;
    QTest::newRow("page just below 200 KB") << padded(kPage, 200 * 1024 - 1) << u"htm"_s;
    QTest::newRow("page at 200 KB") << padded(kPage, 200 * 1024) << QString();
    QTest::newRow("page at 250 KB") << padded(kPage, 250 * 1024) << QString();
    QTest::newRow("html element with attributes")
        << padded("<!DOCTYPE x><html lang=\"en\"><head></head>", 300) << u"htm"_s;
    QTest::newRow("body without html") << padded("<p>hi</p><body>x</body>", 300) << QString();
    QTest::newRow("html without title, head or body")
        << padded("<html lang=\"en\"><p>x</p></html>", 300) << QString();
    QTest::newRow("markup beyond the first 10 KB")
        << padded(QByteArray(10300, ' ') + kPage, 20000) << QString();
    // Position 10240 is still read: a marker that ends on it counts.
    QTest::newRow("marker ending at position 10240")
        << padded("<head>" + QByteArray(10236 - 6, ' ') + "html>", 20000) << u"htm"_s;
    QTest::newRow("marker ending at position 10241")
        << padded("<head>" + QByteArray(10237 - 6, ' ') + "html>", 20000) << QString();

    // Download descriptors: all ten markers, any case, below 3 KB.
    QTest::newRow("descriptor at 2 KB") << padded(kDescriptor, 2048) << u"caa"_s;
    QTest::newRow("descriptor just below 3 KB") << padded(kDescriptor, 3071) << u"caa"_s;
    QTest::newRow("descriptor at 4 KB") << padded(kDescriptor, 4096) << QString();
    QTest::newRow("descriptor missing a marker")
        << padded(QByteArray(kDescriptor).replace("D2=", "D3="), 2048) << QString();
}

void TestFileTypeDetection::detect()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QCOMPARE(打开文件判断文件类型(write(u"sample.bin"_s, content)), expected);
}

void TestFileTypeDetection::missingFile()
{
    QCOMPARE(打开文件判断文件类型(m_dir->filePath(u"absent.pdf"_s)), QString());
    // A folder is no file, even when its name looks like one.
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder.pdf"_s));
    QCOMPARE(打开文件判断文件类型(m_dir->filePath(u"folder.pdf"_s)), QString());
}

void TestFileTypeDetection::correct_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("alsoPresent");
    QTest::addColumn<bool>("corrected");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QString>("newType");

    QTest::newRow("web page saved as pdf")
        << u"pdf"_s << padded(kPage, 300) << QStringList() << true << u"Paper"_s << u"htm"_s;
    QTest::newRow("htm name taken")
        << u"pdf"_s << padded(kPage, 300) << QStringList { u"Paper.htm"_s } << true
        << u"Paper[0001]"_s << u"htm"_s;
    QTest::newRow("no extension, really pdf")
        << QString() << padded("%PDF-1.7", 100) << QStringList() << true << u"Paper"_s << u"pdf"_s;
    QTest::newRow("same type in other case")
        << u"PDF"_s << padded("%PDF-1.7", 100) << QStringList() << false << u"Paper"_s << u"PDF"_s;
    QTest::newRow("nothing detected") << u"pdf"_s << padded("plain words", 100) << QStringList()
                                      << false << u"Paper"_s << u"pdf"_s;
}

void TestFileTypeDetection::correct()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, alsoPresent);
    QFETCH(bool, corrected);
    QFETCH(QString, newName);
    QFETCH(QString, newType);

    for (const QString &name : std::as_const(alsoPresent))
        write(name, "other");
    DownloadItem row;
    row.Name = u"Paper"_s;
    row.Type = type;
    row.Folder = m_dir->path() + u'/';
    const QString oldPath = write(row.savedFilePath().mid(row.Folder.size()), content);

    QCOMPARE(CorrectFileType(row), corrected);
    QCOMPARE(row.Name, newName);
    QCOMPARE(row.Type, newType);
    QFile saved(row.savedFilePath());
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), content);
    if (corrected)
        QVERIFY(!QFile::exists(oldPath));
    for (const QString &name : std::as_const(alsoPresent)) {
        QFile other(m_dir->filePath(name));
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("other"));
    }
}

void TestFileTypeDetection::showType()
{
    FakeDialogs dialogs;
    dialogs.fileNames.enqueue(write(u"a.dat"_s, padded("%PDF-1.4", 50)));
    dialogs.fileNames.enqueue(write(u"b.dat"_s, padded("plain words", 50)));
    OpenFileAndShowType(dialogs);
    OpenFileAndShowType(dialogs);
    OpenFileAndShowType(dialogs); // cancelled: nothing shown

    QCOMPARE(dialogs.filtersAsked, QStringList(3, u"*.*|*.*"_s));
    QCOMPARE(dialogs.messages.size(), 2);
    QCOMPARE(dialogs.messages[0].text, u"文件类型为：pdf"_s);
    QCOMPARE(dialogs.messages[1].text, u"目前还无法判断。"_s);
    for (const FakeDialogs::Shown &shown : std::as_const(dialogs.messages))
        QCOMPARE(shown.style, UserDialogs::Style::Information);
}

QTEST_GUILESS_MAIN(TestFileTypeDetection)
#include "tst_filetypedetection.moc"
