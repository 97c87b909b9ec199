#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_AppPaths : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void programFolderOfAnExecutable_data();
    void programFolderOfAnExecutable();
};

void tst_AppPaths::programFolderOfAnExecutable_data()
{
    // Folders below a fresh temporary folder; "data" is the per-user fallback.
    QTest::addColumn<QString>("executableFolder");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("expected");
    QTest::newRow("build folder") << u"build/src"_s << false << u"build/src"_s;
    QTest::newRow("unclean build folder") << u"build/src/../src/"_s << false << u"build/src"_s;
    QTest::newRow("portable copy") << u"Quillmoor"_s << false << u"Quillmoor"_s;
    QTest::newRow("installed prefix") << u"prefix/bin"_s << false << u"data"_s;
    QTest::newRow("installed prefix, trailing separator") << u"prefix/bin/"_s << false << u"data"_s;
    QTest::newRow("a folder merely ending in bin") << u"cabin"_s << false << u"cabin"_s;
    QTest::newRow("read-only folder") << u"readonly"_s << true << u"data"_s;
    QTest::newRow("missing folder") << u"missing"_s << false << u"data"_s;
    QTest::newRow("unknown folder") << QString() << false << u"data"_s;
}

void tst_AppPaths::programFolderOfAnExecutable()
{
    QFETCH(QString, executableFolder);
    QFETCH(bool, readOnly);
    QFETCH(QString, expected);

    QTemporaryDir top;
    QVERIFY(top.isValid());
    const QDir root(top.path());
    const QString data = root.filePath(u"data"_s);
    QString folder;
    if (!executableFolder.isEmpty()) {
        folder = root.filePath(executableFolder);
        if (executableFolder != u"missing"_s)
            QVERIFY(QDir().mkpath(folder));
    }
    if (readOnly) {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        if (QFileInfo(folder).isWritable())
            QSKIP("this user writes into read-only folders (root)");
    }

    QCOMPARE(SystemAppPaths::chooseProgramFolder(folder, data), root.filePath(expected));

    if (readOnly)
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_GUILESS_MAIN(tst_AppPaths)
#include "tst_apppaths.moc"
