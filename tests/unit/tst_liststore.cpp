#include "TestEnvironment.h"
#include "TestFiles.h"
#include "common/ListStore.h"
#include "download/DownloadItemJson.h"
#include "search/AnalysisItemJson.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

AnalysisItem analysisRow(int n)
{
    AnalysisItem item;
    item.Title = u"深度学习\t综述（第%1版）\n第二行\r\n"_s.arg(n);
    item.Type = u"pdf"_s;
    item.Status = n % 2 ? AnalysisStatus::Succeeded : AnalysisStatus::Failed;
    item.Folder = u"/home/用户/论文 %1/"_s.arg(n);
    item.TypeColumn = u"col"_s;
    item.Link = u"https://link.springer.com/content/pdf/10.1007%2Fs%1.pdf"_s.arg(n);
    item.SourcePage = u"https://link.springer.com/search?query=a&page=%1"_s.arg(n);
    item.Doi = u"10.1007/s%1-(x);y"_s.arg(n);
    item.Kind = u"chapter"_s;
    item.Selected = n % 2 == 0;
    return item;
}

DownloadItem downloadRow(int n, int status)
{
    DownloadItem item;
    item.Key = u"http://a.test/%1.pdf|http://b.test/%1.pdf"_s.arg(n);
    item.Name = u"名字\t%1\n"_s.arg(n);
    item.Type = u"pdf"_s;
    item.Size = u"123456"_s;
    item.Received = u"1000"_s;
    item.Percent = u"37%"_s;
    item.Folder = u"/tmp/下载/"_s;
    item.Referer = u"http://a.test/page?q=%1"_s.arg(n);
    item.StatusCode = status;
    item.Doi = u"10.1007/978-3-%1"_s.arg(n);
    item.Kind = u"book"_s;
    item.FailureReason = status == Status::Failed ? u"HTTP 404"_s : QString();
    item.ReplaceableFile = status == Status::Failed ? u"/tmp/下载/名字.pdf"_s : QString();
    return item;
}

void compareAnalysis(const AnalysisItem &a, const AnalysisItem &b)
{
    QCOMPARE(a.Title, b.Title);
    QCOMPARE(a.Type, b.Type);
    QCOMPARE(a.Status, b.Status);
    QCOMPARE(a.Folder, b.Folder);
    QCOMPARE(a.TypeColumn, b.TypeColumn);
    QCOMPARE(a.Link, b.Link);
    QCOMPARE(a.SourcePage, b.SourcePage);
    QCOMPARE(a.Doi, b.Doi);
    QCOMPARE(a.Kind, b.Kind);
    QCOMPARE(a.Selected, b.Selected);
}

void compareDownload(const DownloadItem &a, const DownloadItem &b)
{
    QCOMPARE(a.Key, b.Key);
    QCOMPARE(a.Name, b.Name);
    QCOMPARE(a.Type, b.Type);
    QCOMPARE(a.Size, b.Size);
    QCOMPARE(a.Received, b.Received);
    QCOMPARE(a.Percent, b.Percent);
    QCOMPARE(a.Folder, b.Folder);
    QCOMPARE(a.Referer, b.Referer);
    QCOMPARE(a.StatusCode, b.StatusCode);
    QCOMPARE(a.Doi, b.Doi);
    QCOMPARE(a.Kind, b.Kind);
    QCOMPARE(a.FailureReason, b.FailureReason);
    QCOMPARE(a.ReplaceableFile, b.ReplaceableFile);
}

// Lets the process write files of at most `bytes` bytes while it lives; a
// longer write fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace

class TestListStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();

    void analysisRowsRoundTrip();
    void downloadRowsRoundTrip();
    void readingIsLenient();
    void savedStates_data();
    void savedStates();
    void nothingSavedIsAnEmptyList();
    void savingCreatesTheFolder();
    void defaultFolderIsTheDataFolder();
    void refusedFiles_data();
    void refusedFiles();
    void tooLargeFileIsNotRead();
    void failedWriteKeepsTheOldList();
    void removeDeletesTheList();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestListStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestListStore::analysisRowsRoundTrip()
{
    const ListStore store(StoredList::Analysis, m_dir->path());
    QCOMPARE(store.filePath(), m_dir->filePath(u"analysis-list.json"_s));
    QList<QJsonObject> rows;
    for (int n = 1; n <= 3; ++n)
        rows.append(AnalysisItemToJson(analysisRow(n)));
    QString error;
    QVERIFY2(store.save(rows, &error), qPrintable(error));
    QVERIFY(store.exists());
    QCOMPARE(store.rowCount().value_or(-1), qsizetype(3));

    const std::optional<QList<QJsonObject>> loaded = store.load(&error);
    QVERIFY2(loaded, qPrintable(error));
    QCOMPARE(loaded->size(), 3);
    for (int n = 1; n <= 3; ++n)
        compareAnalysis(AnalysisItemFromJson(loaded->at(n - 1)), analysisRow(n));

    const QJsonDocument file = QJsonDocument::fromJson(readFile(store.filePath()));
    QCOMPARE(file[u"format"_s].toString(), u"quillmoor-list"_s);
    QCOMPARE(file[u"kind"_s].toString(), u"analysis"_s);
    QCOMPARE(file[u"version"_s].toInt(), 1);
}

void TestListStore::downloadRowsRoundTrip()
{
    const ListStore store(StoredList::Download, m_dir->path());
    QCOMPARE(store.filePath(), m_dir->filePath(u"download-list.json"_s));
    const QList<DownloadItem> items { downloadRow(1, Status::Waiting),
        downloadRow(2, Status::Completed), downloadRow(3, Status::Failed) };
    QList<QJsonObject> rows;
    for (const DownloadItem &item : items)
        rows.append(DownloadItemToJson(item));
    QVERIFY(store.save(rows));

    const std::optional<QList<QJsonObject>> loaded = store.load();
    QVERIFY(loaded);
    QCOMPARE(loaded->size(), items.size());
    for (qsizetype i = 0; i < items.size(); ++i)
        compareDownload(DownloadItemFromJson(loaded->at(i)), items.at(i));
}

void TestListStore::readingIsLenient()
{
    // Keys of later versions are ignored, missing ones default, mistyped ones
    // read as their default.
    const QJsonObject analysis { { u"title"_s, u"标题"_s }, { u"doi"_s, u"10.1007/s1"_s },
        { u"link"_s, 42 }, { u"selected"_s, u"yes"_s } };
    const AnalysisItem a = AnalysisItemFromJson(analysis);
    QCOMPARE(a.Title, u"标题"_s);
    QCOMPARE(a.Link, QString());
    QCOMPARE(a.Status, AnalysisStatus::NotAnalysed);
    QCOMPARE(a.Selected, false);

    const QJsonObject download { { u"key"_s, u"http://a.test/x.pdf"_s },
        { u"resume"_s, QJsonObject { { u"etag"_s, u"\"1\""_s } } }, { u"statusCode"_s, u"3"_s },
        { u"name"_s, QJsonArray { 1 } } };
    const DownloadItem d = DownloadItemFromJson(download);
    QCOMPARE(d.Key, u"http://a.test/x.pdf"_s);
    QCOMPARE(d.Name, QString());
    QCOMPARE(d.StatusCode, Status::Waiting);
    QCOMPARE(d.Size, QString());
}

void TestListStore::savedStates_data()
{
    QTest::addColumn<int>("savedStatus");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("percent");

    QTest::newRow("waiting stays waiting")
        << Status::Waiting << Status::Waiting << u"123456"_s << u"37%"_s;
    QTest::newRow("downloading comes back waiting")
        << Status::Downloading << Status::Waiting << StatusText::WaitingAgain << QString();
    QTest::newRow("completed stays")
        << Status::Completed << Status::Completed << u"123456"_s << u"37%"_s;
    QTest::newRow("failed stays") << Status::Failed << Status::Failed << u"123456"_s << u"37%"_s;
    QTest::newRow("unknown code is waiting") << 9 << Status::Waiting << u"123456"_s << u"37%"_s;
}

void TestListStore::savedStates()
{
    QFETCH(int, savedStatus);
    QFETCH(int, status);
    QFETCH(QString, size);
    QFETCH(QString, percent);
    const DownloadItem item = DownloadItemFromJson(DownloadItemToJson(downloadRow(1, savedStatus)));
    QCOMPARE(item.StatusCode, status);
    QCOMPARE(item.Size, size);
    QCOMPARE(item.Percent, percent);
    QCOMPARE(item.Key, downloadRow(1, savedStatus).Key);

    // An entry saved while it was analysed is not analysed when read back.
    AnalysisItem analysing = analysisRow(1);
    analysing.Status = AnalysisStatus::Analysing;
    QCOMPARE(
        AnalysisItemFromJson(AnalysisItemToJson(analysing)).Status, AnalysisStatus::NotAnalysed);
}

void TestListStore::nothingSavedIsAnEmptyList()
{
    const ListStore store(StoredList::Analysis, m_dir->path());
    QVERIFY(!store.exists());
    QString error;
    const std::optional<QList<QJsonObject>> rows = store.load(&error);
    QVERIFY(rows);
    QVERIFY(rows->isEmpty());
    QVERIFY(error.isEmpty());
    QCOMPARE(store.rowCount().value_or(-1), qsizetype(0));

    // An empty list is saved as one, not as nothing.
    QVERIFY(store.save({}));
    QVERIFY(store.exists());
    QCOMPARE(store.rowCount().value_or(-1), qsizetype(0));
}

void TestListStore::savingCreatesTheFolder()
{
    const QString folder = m_dir->filePath(u"a/新建/b"_s);
    const ListStore store(StoredList::Download, folder);
    QVERIFY(store.save({ DownloadItemToJson(downloadRow(1, Status::Waiting)) }));
    QVERIFY(QFileInfo(folder + u"/download-list.json"_s).isFile());
    QCOMPARE(store.rowCount().value_or(-1), qsizetype(1));
}

void TestListStore::defaultFolderIsTheDataFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QVERIFY(!data.isEmpty());
    QCOMPARE(
        ListStore(StoredList::Analysis).filePath(), QDir(data).filePath(u"analysis-list.json"_s));
    QCOMPARE(
        ListStore(StoredList::Download).filePath(), QDir(data).filePath(u"download-list.json"_s));
}

void TestListStore::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("errorPart");

    const QByteArray good
        = R"({"format":"quillmoor-list","kind":"analysis","version":1,"rows":[{"title":"a"}]})";
    QTest::newRow("another kind") << QByteArray(
        R"({"format":"quillmoor-list","kind":"download","version":1,"rows":[]})")
                                  << u"download"_s;
    QTest::newRow("no kind") << QByteArray(R"({"format":"quillmoor-list","version":1,"rows":[]})")
                             << u"kind"_s;
    QTest::newRow("newer version")
        << QByteArray(R"({"format":"quillmoor-list","kind":"analysis","version":2,"rows":[]})")
        << u"较新的版本"_s;
    QTest::newRow("version as text")
        << QByteArray(R"({"format":"quillmoor-list","kind":"analysis","version":"1","rows":[]})")
        << u"版本号"_s;
    QTest::newRow("fractional version")
        << QByteArray(R"({"format":"quillmoor-list","kind":"analysis","version":1.5,"rows":[]})")
        << u"版本号"_s;
    QTest::newRow("version zero") << QByteArray(
        R"({"format":"quillmoor-list","kind":"analysis","version":0,"rows":[]})")
                                  << u"版本号"_s;
    QTest::newRow("another format")
        << QByteArray(R"({"format":"other","kind":"analysis","version":1,"rows":[]})")
        << u"不是本程序的列表文件"_s;
    QTest::newRow("rows not an array")
        << QByteArray(R"({"format":"quillmoor-list","kind":"analysis","version":1,"rows":{}})")
        << u"没有行"_s;
    QTest::newRow("a row not an object") << QByteArray(
        R"({"format":"quillmoor-list","kind":"analysis","version":1,"rows":[{},"x"]})")
                                         << u"第 2 行"_s;
    QTest::newRow("top-level array") << QByteArray("[1,2]") << u"不是本程序的列表文件"_s;
    QTest::newRow("truncated") << good.left(good.size() - 5) << u"已损坏"_s;
    QTest::newRow("garbage") << QByteArray("\x00\xff\xfe garbage\x01", 12) << u"已损坏"_s;
    QTest::newRow("empty file") << QByteArray() << u"已损坏"_s;
}

void TestListStore::refusedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, errorPart);
    const ListStore store(StoredList::Analysis, m_dir->path());
    QVERIFY(writeFile(store.filePath(), bytes));
    QVERIFY(store.exists());
    QString error;
    QVERIFY(!store.load(&error));
    QVERIFY2(error.contains(errorPart), qPrintable(error));
    QVERIFY2(error.contains(store.filePath()), qPrintable(error));
    QVERIFY(!store.rowCount());
    // The refused file is left for the user to decide about.
    QCOMPARE(readFile(store.filePath()), bytes);
}

void TestListStore::tooLargeFileIsNotRead()
{
    const ListStore store(StoredList::Download, m_dir->path());
    QFile file(store.filePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    // Sparse: takes no room on the disk.
    QVERIFY(file.resize(ListStore::kLargestFile + 1));
    file.close();
    QString error;
    QVERIFY(!store.load(&error));
    QVERIFY2(error.contains(u"过大"_s), qPrintable(error));
}

void TestListStore::failedWriteKeepsTheOldList()
{
    const ListStore store(StoredList::Analysis, m_dir->path());
    QVERIFY(store.save({ AnalysisItemToJson(analysisRow(1)) }));
    const QByteArray before = readFile(store.filePath());

    QList<QJsonObject> many;
    for (int n = 0; n < 200; ++n)
        many.append(AnalysisItemToJson(analysisRow(n)));
    QString error;
    {
        // The new list does not fit: its write fails half-way.
        const FileSizeLimit limit(before.size() + 1000);
        QVERIFY(limit.ok());
        QVERIFY(!store.save(many, &error));
    }
    QVERIFY2(error.contains(store.filePath()), qPrintable(error));
    QCOMPARE(readFile(store.filePath()), before);
    QCOMPARE(store.rowCount().value_or(-1), qsizetype(1));
    // No half-written file stays beside it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
        QStringList { u"analysis-list.json"_s });

    // A folder in the file's place cannot be replaced either.
    const ListStore blocked(StoredList::Download, m_dir->path());
    QVERIFY(QDir(m_dir->path()).mkdir(u"download-list.json"_s));
    QVERIFY(!blocked.save({}, &error));
    QVERIFY(!error.isEmpty());
}

void TestListStore::removeDeletesTheList()
{
    const ListStore store(StoredList::Download, m_dir->path());
    const ListStore other(StoredList::Analysis, m_dir->path());
    QVERIFY(store.save({ DownloadItemToJson(downloadRow(1, Status::Failed)) }));
    QVERIFY(other.save({ AnalysisItemToJson(analysisRow(1)) }));
    QVERIFY(store.remove());
    QVERIFY(!store.exists());
    QCOMPARE(store.rowCount().value_or(-1), qsizetype(0));
    // Nothing there: removing again is no error.
    QString error;
    QVERIFY(store.remove(&error));
    QVERIFY(error.isEmpty());
    // The other list is untouched.
    QCOMPARE(other.rowCount().value_or(-1), qsizetype(1));
}

QTEST_GUILESS_MAIN(TestListStore)
#include "tst_liststore.moc"
