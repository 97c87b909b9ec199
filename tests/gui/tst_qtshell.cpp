#include "common/ui/TextViewer.h"
#include "platform/gui/QtShell.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// Only what starts no outside program: the desktop's own programs are not
// run in tests.
class TestQtShell : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void textViewerOpensAsOwnWindow();
    void clipboardGetsText();
    void missingFileIsNotShown();
};

void TestQtShell::textViewerOpensAsOwnWindow()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"a.txt"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("hello");
    file.close();

    QWidget owner;
    QtShell shell(&owner);
    shell.openTextViewer(path);
    auto *viewer = owner.findChild<TextViewer *>();
    QVERIFY(viewer);
    QVERIFY(viewer->isWindow());
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->path(), path);
    QCOMPARE(viewer->editor()->toPlainText(), u"hello"_s);
    viewer->close(); // deletes itself
    QTRY_VERIFY(!owner.findChild<TextViewer *>());
}

void TestQtShell::clipboardGetsText()
{
    QtShell shell;
    shell.copyToClipboard(u"论文 名称"_s);
    QCOMPARE(QApplication::clipboard()->text(), u"论文 名称"_s);
}

void TestQtShell::missingFileIsNotShown()
{
    QTemporaryDir dir;
    QtShell shell;
    QVERIFY(!shell.showFileInFolder(dir.filePath(u"none.pdf"_s)));
}

QTEST_MAIN(TestQtShell)
#include "tst_qtshell.moc"
