#include "common/SafeFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// What a body file reads back is what was written to it, at every offset,
// whether the bytes come from the first part kept in memory or from the disk.
class tst_BodyFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsBackWhatWasWritten_data();
    void readsBackWhatWasWritten();
    void startingOverForgetsTheOldBytes();
};

namespace {

QByteArray bytesOf(qint64 size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + seed * 7 + i / 253) & 0xFF);
    return bytes;
}

} // namespace

void tst_BodyFile::readsBackWhatWasWritten_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("chunk");
    QTest::newRow("small, in pieces") << qint64(10) << qint64(3);
    QTest::newRow("just the kept part") << qint64(16 * 1024) << qint64(1000);
    QTest::newRow("one byte more") << qint64(16 * 1024 + 1) << qint64(4096);
    QTest::newRow("larger, odd pieces") << qint64(50000) << qint64(7001);
    QTest::newRow("larger, one piece") << qint64(50000) << qint64(50000);
}

void tst_BodyFile::readsBackWhatWasWritten()
{
    QFETCH(qint64, size);
    QFETCH(qint64, chunk);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("body.bin"));
    const QByteArray data = bytesOf(size, int(chunk));
    BodyFile body;
    QVERIFY(body.open(target));
    for (qint64 at = 0; at < size; at += chunk)
        QVERIFY(body.write(data.constData() + at, qMin(chunk, size - at)));
    QCOMPARE(body.size(), size);

    const QList<std::pair<qint64, qint64>> reads
        = { { 0, size + 1 }, { 0, 10241 }, { size - 128, 128 }, { size / 2, 5000 },
              { 16 * 1024 - 1, 2 }, { size, 10 }, { size + 5, 10 } };
    for (const auto &[offset, length] : reads) {
        if (offset < 0)
            continue;
        QCOMPARE(body.readAt(offset, length), data.mid(offset, length));
    }

    QCOMPARE(body.place(target, BodyFile::Mode::NoReplace), BodyFile::Result::Placed);
    QFile placed(target);
    QVERIFY(placed.open(QIODevice::ReadOnly));
    QCOMPARE(placed.readAll(), data);
}

void tst_BodyFile::startingOverForgetsTheOldBytes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BodyFile body;
    QVERIFY(body.open(dir.filePath(QStringLiteral("again.bin"))));
    QVERIFY(body.write(bytesOf(20000, 1)));
    QVERIFY(body.truncate());
    const QByteArray fresh = bytesOf(100, 2);
    QVERIFY(body.write(fresh));
    QCOMPARE(body.readAt(0, 200), fresh);
    QCOMPARE(body.readAt(50, 10), fresh.mid(50, 10));
}

QTEST_GUILESS_MAIN(tst_BodyFile)
#include "tst_bodyfile.moc"
