#include "FakeDialogs.h"
#include "TestEnvironment.h"
#include "download/DownloadList.h"
#include "download/FileTypeDetection.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFileTypeCorrection : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();
    void refusedWhileDownloading();
    void correctsEveryRow();

private:
    void write(const QString &name, const QByteArray &content);
    void fill(DownloadList &list);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFileTypeCorrection::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestFileTypeCorrection::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Three rows: a web page saved as pdf, a pdf saved without extension, and a
// pdf that is what it says.
void TestFileTypeCorrection::fill(DownloadList &list)
{
    const QByteArray page
        = "<html><head><title>Sign in</title></head></html>" + QByteArray(300, ' ');
    const QByteArray pdf = "%PDF-1.4" + QByteArray(100, ' ');
    write(u"A.pdf"_s, page);
    write(u"B"_s, pdf);
    write(u"C.pdf"_s, pdf);
    const QString folder = m_dir->path() + u'/';
    QVERIFY(list.addItem(u"http://h/a"_s, u"A"_s, u"pdf"_s, folder, QString()));
    QVERIFY(list.addItem(u"http://h/b"_s, u"B"_s, QString(), folder, QString()));
    QVERIFY(list.addItem(u"http://h/c"_s, u"C"_s, u"pdf"_s, folder, QString()));
}

void TestFileTypeCorrection::refusedWhileDownloading()
{
    DownloadList list;
    fill(list);
    FakeDialogs dialogs;
    QCOMPARE(CheckAndCorrectFileTypes(
                 list, [] { return true; }, dialogs),
        0);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, u"停止下载以后，才能执行此操作！"_s);
    QCOMPARE(dialogs.messages[0].style, UserDialogs::Style::Information);
    QCOMPARE(list.at(0).Type, u"pdf"_s);
    QVERIFY(QFile::exists(m_dir->filePath(u"A.pdf"_s)));
    QVERIFY(!QFile::exists(m_dir->filePath(u"A.htm"_s)));
}

void TestFileTypeCorrection::correctsEveryRow()
{
    DownloadList list;
    fill(list);
    FakeDialogs dialogs;
    QCOMPARE(CheckAndCorrectFileTypes(
                 list, [] { return false; }, dialogs),
        2);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, u"纠正文件类型：2个."_s);
    QCOMPARE(dialogs.messages[0].style, UserDialogs::Style::Information);
    QCOMPARE(list.at(0).Type, u"htm"_s);
    QCOMPARE(list.at(1).Type, u"pdf"_s);
    QCOMPARE(list.at(2).Type, u"pdf"_s);
    for (int i = 0; i < list.size(); ++i)
        QVERIFY2(QFile::exists(list.at(i).savedFilePath()), qPrintable(list.at(i).savedFilePath()));
    QCOMPARE(list.index(0, DownloadList::TypeColumn).data().toString(), u"htm"_s);
}

QTEST_GUILESS_MAIN(TestFileTypeCorrection)
#include "tst_filetypecorrection.moc"
