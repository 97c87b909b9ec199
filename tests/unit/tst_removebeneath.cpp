#include "TestFiles.h"
#include "common/SafeFiles.h"

#include <QTemporaryDir>
#include <QTest>

// Removing inside a folder that another user controls: a link anywhere
// between the trusted top and the entry stops the removal, and nothing
// outside the top is ever touched.
class TestRemoveBeneath : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void removes_data();
    void removes();
    void plainFolders_data();
    void plainFolders();

private:
    QString path(const QString &relative) const { return m_dir.path() + u'/' + relative; }
    QTemporaryDir m_dir;
};

// top/a/b/file, top/a/full/kept, top/a/empty/, top/link -> outside,
// top/a/linkfile -> outside/secret, outside/b/file, outside/secret
void TestRemoveBeneath::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    for (const char *file :
        { "top/a/b/file", "top/a/full/kept", "outside/b/file", "outside/secret" })
        QVERIFY(writeFile(path(QLatin1String(file)), "x"));
    QVERIFY(QDir().mkpath(path(QStringLiteral("top/a/empty"))));
    QVERIFY(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("top/link"))));
    QVERIFY(QFile::link(
        path(QStringLiteral("outside/secret")), path(QStringLiteral("top/a/linkfile"))));
}

void TestRemoveBeneath::removes_data()
{
    using namespace Qt::StringLiterals;
    QTest::addColumn<QString>("target"); // below the temporary folder
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QString>("stillThere"); // empty: nothing to check

    QTest::newRow("a file below") << u"top/a/b/file"_s << false << true << QString();
    QTest::newRow("through a link on the way")
        << u"top/link/b/file"_s << false << false << u"outside/b/file"_s;
    QTest::newRow("a link is removed itself")
        << u"top/a/linkfile"_s << false << true << u"outside/secret"_s;
    QTest::newRow("out through ..")
        << u"top/../outside/secret"_s << false << false << u"outside/secret"_s;
    QTest::newRow("outside the top")
        << u"outside/secret"_s << false << false << u"outside/secret"_s;
    QTest::newRow("the top itself") << u"top"_s << true << false << u"top/a/b/file"_s;
    QTest::newRow("an empty folder") << u"top/a/empty"_s << true << true << QString();
    QTest::newRow("a folder that holds a file")
        << u"top/a/full"_s << true << false << u"top/a/full/kept"_s;
    QTest::newRow("a linked folder is no folder")
        << u"top/link"_s << true << false << u"outside/secret"_s;
}

void TestRemoveBeneath::removes()
{
    QFETCH(QString, target);
    QFETCH(bool, folder);
    QFETCH(bool, removed);
    QFETCH(QString, stillThere);
    QCOMPARE(RemoveBeneath(path(QStringLiteral("top")), path(target),
                 folder ? RemoveWhat::EmptyFolder : RemoveWhat::File),
        removed);
    QCOMPARE(QFileInfo(path(target)).exists() || QFileInfo(path(target)).isSymLink(), !removed);
    if (!stillThere.isEmpty())
        QVERIFY(QFile::exists(path(stillThere)));
}

void TestRemoveBeneath::plainFolders_data()
{
    using namespace Qt::StringLiterals;
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("plain");
    QTest::newRow("a folder below") << u"top/a/b"_s << true;
    QTest::newRow("a link") << u"top/link"_s << false;
    QTest::newRow("below a link") << u"top/link/b"_s << false;
    QTest::newRow("a file") << u"top/a/b/file"_s << false;
    QTest::newRow("missing") << u"top/a/none"_s << false;
    QTest::newRow("outside") << u"outside/b"_s << false;
    QTest::newRow("the top itself") << u"top"_s << false;
}

void TestRemoveBeneath::plainFolders()
{
    QFETCH(QString, folder);
    QFETCH(bool, plain);
    QCOMPARE(IsPlainFolderBeneath(path(QStringLiteral("top")), path(folder)), plain);
}

QTEST_GUILESS_MAIN(TestRemoveBeneath)
#include "tst_removebeneath.moc"
