#include "common/TextFileReading.h"
#include "common/ui/TextViewer.h"

#include <QFile>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestTextViewer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decodes_data();
    void decodes();
    void showsFileReadOnly();
    void missingFileIsAnError();
};

void TestTextViewer::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QString chinese = u"论文标题\r\nline 2"_s;
    QTest::newRow("utf-8") << chinese.toUtf8() << chinese;
    QTest::newRow("utf-8 with byte order mark")
        << QByteArray("\xEF\xBB\xBF") + chinese.toUtf8() << chinese;
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringEncoder::Flag::WriteBom);
    QTest::newRow("utf-16 with byte order mark") << QByteArray(utf16(chinese)) << chinese;
    // Bytes that are not UTF-8 (GBK here) are read in the system code page.
    const QByteArray gbk("\xC2\xDB\xCE\xC4 abc");
    QStringDecoder system(QStringConverter::System);
    QTest::newRow("not utf-8") << gbk << QString(system(gbk));
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestTextViewer::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(DecodeFileText(bytes), text);
}

void TestTextViewer::showsFileReadOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"说明.txt"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(u"第一行\n第二行\n"_s.toUtf8());
    file.close();

    TextViewer viewer;
    QVERIFY(viewer.open(path));
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QCOMPARE(viewer.editor()->toPlainText(), u"第一行\n第二行\n"_s);
    QVERIFY(viewer.editor()->isReadOnly());
    QVERIFY(viewer.windowTitle().startsWith(u"说明.txt"_s));
    QVERIFY(viewer.testAttribute(Qt::WA_DeleteOnClose));
    QTest::keyClicks(viewer.editor(), u"x"_s);
    QCOMPARE(viewer.editor()->toPlainText(), u"第一行\n第二行\n"_s);
    QCOMPARE(viewer.menuBar()->actions().size(), 3);
}

void TestTextViewer::missingFileIsAnError()
{
    TextViewer viewer;
    QString error;
    QVERIFY(!viewer.open(u"/nonexistent/file.txt"_s, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(viewer.editor()->toPlainText().isEmpty());
}

QTEST_MAIN(TestTextViewer)
#include "tst_textviewer.moc"
