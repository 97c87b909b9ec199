#include "FakeDialogs.h"
#include "TestFiles.h"
#include "common/Citations.h"
#include "download/DownloadCitations.h"
#include "download/DownloadList.h"
#include "search/AnalysisCitations.h"
#include "search/AnalysisList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

struct Record
{
    QString title;
    QString doi;
    bool subtitled = false;
};

// The records of a MODS collection as bibutils writes it: each record's own
// title (the first one, with its subtitle; a host item's title comes later)
// and its DOI.
QList<Record> modsRecords(const QByteArray &xml)
{
    QList<Record> records;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == u"mods") {
            records.append(Record());
        } else if (reader.name() == u"title" && !records.isEmpty()
            && records.last().title.isEmpty()) {
            records.last().title = reader.readElementText();
        } else if (reader.name() == u"subTitle" && !records.isEmpty()
            && !records.last().subtitled) {
            // bibutils splits a title at its colon.
            records.last().title += u": "_s + reader.readElementText();
            records.last().subtitled = true;
        } else if (reader.name() == u"identifier" && !records.isEmpty()
            && records.last().doi.isEmpty() && reader.attributes().value(u"type"_s) == u"doi"_s) {
            // The first is the record's DOI field; ris2xml adds the DOI of a
            // doi.org address as it is written there (percent-encoded).
            records.last().doi = reader.readElementText();
        }
    }
    if (reader.hasError())
        qWarning() << "MODS:" << reader.errorString();
    return records;
}

// Runs a program on a file; its standard output, or a null array on failure.
QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qWarning() << program << process.readAllStandardError();
        return {};
    }
    return process.readAllStandardOutput();
}

const QString ChineseTitle = u"深度学习在医学影像中的应用：综述"_s;
const QString SpecialTitle = u"Cost & {value}: 50% of #1_item $x\\y ~z ^w"_s;
const QString BrokenTitle = u"First line\r\nsecond\tline"_s;
const QString ChineseDoi = u"10.1007/s00134-020-06294-x"_s;
const QString SpecialDoi = u"10.1002/(SICI)1097-4636(199706)35:4<1::AID>3.0.CO;2-H"_s;

// Rows with every kind of title the readers must give back.
QList<CitationRow> sampleRows()
{
    QList<CitationRow> rows(5);
    rows[0] = { ChineseTitle, ChineseDoi, u"article"_s, u"http://s.test/content/pdf/a.pdf"_s,
        u"http://s.test/search?query=a"_s, {}, {} };
    rows[1] = { SpecialTitle, SpecialDoi, u"chapter"_s, u"http://s.test/b.pdf"_s, {}, {}, {} };
    rows[2] = { BrokenTitle, {}, {}, u"http://s.test/c.pdf"_s, u"http://s.test/p?q=1"_s, {}, {} };
    rows[3] = { u"Same paper, DOI in capitals"_s, ChineseDoi.toUpper(), u"article"_s,
        u"http://s.test/d.pdf"_s, {}, u"/papers/d.pdf"_s, u"completed"_s };
    rows[4] = { u"A book"_s, u"10.1007/978-3-540-77001-2"_s, u"book"_s, u"http://s.test/e.pdf"_s,
        {}, {}, {} };
    return rows;
}

} // namespace

class tst_Citations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void kinds_data();
    void kinds();
    void bibTeXTitle_data();
    void bibTeXTitle();
    void risRecord();
    void bibTeXEntry();
    void bibTeXKeys();
    void csvText();
    void readBack_data();
    void readBack();
    void csvReadBack();
    void fileByExtension_data();
    void fileByExtension();
    void unwritableFileWritesNothing();
    void exportCommand();
    void downloadRows();
    void analysisRows();

private:
    QString m_ris2xml;
    QString m_bib2xml;
    QString m_python;
    QTemporaryDir m_dir;
};

void tst_Citations::initTestCase()
{
    m_ris2xml = QStandardPaths::findExecutable(u"ris2xml"_s);
    m_bib2xml = QStandardPaths::findExecutable(u"bib2xml"_s);
    m_python = QStandardPaths::findExecutable(u"python3"_s);
    QVERIFY2(!m_ris2xml.isEmpty() && !m_bib2xml.isEmpty(), "bibutils is missing (scripts/setup)");
    QVERIFY2(!m_python.isEmpty(), "python3 is missing (scripts/setup)");
    QVERIFY(m_dir.isValid());
}

void tst_Citations::kinds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("ris");
    QTest::addColumn<QString>("bibtex");
    QTest::newRow("article") << u"article"_s << u"JOUR"_s << u"article"_s;
    QTest::newRow("chapter") << u"chapter"_s << u"CHAP"_s << u"incollection"_s;
    QTest::newRow("reference-work entry")
        << u"referenceworkentry"_s << u"CHAP"_s << u"incollection"_s;
    QTest::newRow("protocol") << u"protocol"_s << u"CHAP"_s << u"incollection"_s;
    QTest::newRow("book") << u"book"_s << u"BOOK"_s << u"book"_s;
    QTest::newRow("unknown") << QString() << u"GEN"_s << u"misc"_s;
    QTest::newRow("other text") << u"journal"_s << u"GEN"_s << u"misc"_s;
}

void tst_Citations::kinds()
{
    QFETCH(QString, kind);
    QFETCH(QString, ris);
    QFETCH(QString, bibtex);
    CitationRow row;
    row.Title = u"T"_s;
    row.Kind = kind;
    QVERIFY(QString::fromUtf8(RisBytes({ row })).startsWith(u"TY  - "_s + ris + u"\r\n"_s));
    QVERIFY(QString::fromUtf8(BibTeXBytes({ row })).startsWith(u'@' + bibtex + u'{'));
}

void tst_Citations::bibTeXTitle_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain, Unicode stays")
        << u"Graphene 石墨烯 Ärger"_s << u"Graphene 石墨烯 Ärger"_s;
    QTest::newRow("backslash-escaped")
        << u"{a} 5% & #1 a_b $x"_s << u"\\{a\\} 5\\% \\& \\#1 a\\_b \\$x"_s;
    QTest::newRow("backslash") << u"a\\b"_s << u"a$\\backslash$b"_s;
    QTest::newRow("tilde and caret") << u"~a^b"_s << u"\\~{}a\\^{}b"_s;
    QTest::newRow("line breaks and tabs, one space each run") << u" a\r\n\r\nb\tc "_s << u"a b c"_s;
}

void tst_Citations::bibTeXTitle()
{
    QFETCH(QString, title);
    QFETCH(QString, written);
    QCOMPARE(BibTeXTitle(title), written);
}

void tst_Citations::risRecord()
{
    CitationRow finished { u"A\r\nchapter"_s, u"10.1007/978-3_1"_s, u"chapter"_s,
        u"http://s.test/x.pdf"_s, u"http://s.test/search"_s, u"/papers/a b.pdf"_s, u"completed"_s };
    CitationRow waiting { u"Other"_s, {}, {}, u"http://s.test/y.pdf"_s, u"http://s.test/search"_s,
        {}, u"waiting"_s };
    QCOMPARE(RisBytes({ finished, waiting }),
        QByteArray("TY  - CHAP\r\n"
                   "TI  - A chapter\r\n"
                   "DO  - 10.1007/978-3_1\r\n"
                   "UR  - https://doi.org/10.1007/978-3_1\r\n"
                   "L1  - file:///papers/a%20b.pdf\r\n"
                   "ER  - \r\n"
                   "\r\n"
                   "TY  - GEN\r\n"
                   "TI  - Other\r\n"
                   "UR  - http://s.test/search\r\n"
                   "L1  - http://s.test/y.pdf\r\n"
                   "ER  - \r\n"
                   "\r\n"));
}

void tst_Citations::bibTeXEntry()
{
    CitationRow finished { u"T_1"_s, u"10.1007/a_b"_s, u"chapter"_s, u"http://s.test/x.pdf"_s, {},
        u"/papers/a b;c.pdf"_s, u"completed"_s };
    CitationRow noDoi { u"U"_s, {}, {}, u"http://s.test/y.pdf"_s, {}, {}, {} };
    QCOMPARE(QString::fromUtf8(BibTeXBytes({ finished, noDoi })),
        u"@incollection{doi:10.1007/a_b,\n"
        "  title = {T\\_1},\n"
        "  doi = {10.1007/a_b},\n"
        "  url = {https://doi.org/10.1007/a_b},\n"
        "  file = {:/papers/a b\\;c.pdf:PDF}\n"
        "}\n"
        "\n"
        "@misc{quillmoor2,\n"
        "  title = {U},\n"
        "  url = {http://s.test/y.pdf}\n"
        "}\n"
        "\n"_s);
}

void tst_Citations::bibTeXKeys()
{
    const QStringList dois { u"10.1/A"_s, u"10.1/a"_s, u"10.1/A"_s, u"10.1/a-2"_s, QString(),
        u"10.1/a b,c{d}"_s };
    QList<CitationRow> rows;
    for (const QString &doi : dois)
        rows.append({ u"T"_s, doi, {}, {}, {}, {}, {} });
    static const QRegularExpression key(
        u"^@\\w+\\{([^\\n]*),$"_s, QRegularExpression::MultilineOption);
    QStringList keys;
    for (auto it = key.globalMatch(QString::fromUtf8(BibTeXBytes(rows))); it.hasNext();)
        keys << it.next().captured(1);
    QCOMPARE(keys,
        (QStringList { u"doi:10.1/A"_s, u"doi:10.1/a-2"_s, u"doi:10.1/A-3"_s, u"doi:10.1/a-2-2"_s,
            u"quillmoor5"_s, u"doi:10.1/a_b_c_d_"_s }));
}

void tst_Citations::csvText()
{
    CitationRow row { u"Say \"hi\", then\r\ngo"_s, u"10.1/x"_s, u"article"_s, u"http://s.test/x"_s,
        u"http://s.test/p?a=1,2"_s, u"/p/x.pdf"_s, u"completed"_s };
    QCOMPARE(CsvBytes({ row }),
        QByteArray("\xEF\xBB\xBFtitle,doi,kind,link,source_page,file,status\r\n"
                   "\"Say \"\"hi\"\", then\r\ngo\",10.1/x,article,http://s.test/x,"
                   "\"http://s.test/p?a=1,2\",/p/x.pdf,completed\r\n"));
}

void tst_Citations::readBack_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("RIS through ris2xml") << u"list.ris"_s;
    QTest::newRow("BibTeX through bib2xml") << u"list.bib"_s;
}

// Another program's reader gets back every record with its DOI and title.
void tst_Citations::readBack()
{
    QFETCH(QString, file);
    const bool bib = file.endsWith(u".bib"_s);
    QList<CitationRow> rows = sampleRows();
    // bib2xml reads \^{} back as a bare \^ (or as an accent on the next
    // letter), a fault of its own: no "^" in what it is asked to read.
    if (bib) {
        for (CitationRow &row : rows)
            row.Title.remove(u'^');
    }
    const CitationExport written = WriteCitationFile(rows, m_dir.filePath(file));
    QVERIFY2(written.ok(), qPrintable(written.error));
    QCOMPARE(written.count, rows.size());
    const QList<Record> records = modsRecords(run(bib ? m_bib2xml : m_ris2xml, { written.path }));
    QCOMPARE(records.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        // A record is one line per field: a line break is a space there.
        QString title = rows.at(i).Title;
        title.replace(u"\r\n"_s, u" "_s).replace(u'\t', u' ');
        QCOMPARE(records.at(i).title, title);
        QCOMPARE(records.at(i).doi, rows.at(i).Doi);
    }
}

// Python's csv module reads the same fields back, line breaks included.
void tst_Citations::csvReadBack()
{
    const QList<CitationRow> rows = sampleRows();
    const CitationExport written = WriteCitationFile(rows, m_dir.filePath(u"list.csv"_s));
    QVERIFY2(written.ok(), qPrintable(written.error));
    const QString script = u"import csv, json, sys\n"
                           "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                           "    print(json.dumps(list(csv.reader(f))))\n"_s;
    const QJsonArray read
        = QJsonDocument::fromJson(run(m_python, { u"-c"_s, script, written.path })).array();
    QCOMPARE(read.size(), rows.size() + 1);
    QCOMPARE(read.at(0).toVariant().toStringList(),
        (QStringList { u"title"_s, u"doi"_s, u"kind"_s, u"link"_s, u"source_page"_s, u"file"_s,
            u"status"_s }));
    for (int i = 0; i < rows.size(); ++i) {
        const CitationRow &row = rows.at(i);
        QCOMPARE(read.at(i + 1).toVariant().toStringList(),
            (QStringList {
                row.Title, row.Doi, row.Kind, row.Link, row.SourcePage, row.File, row.Status }));
    }
}

void tst_Citations::fileByExtension_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow(".ris") << u"a.ris"_s << u"a.ris"_s << QByteArray("TY  - ");
    QTest::newRow(".bib in capitals") << u"a.BIB"_s << u"a.BIB"_s << QByteArray("@article{");
    QTest::newRow(".csv") << u"a.csv"_s << u"a.csv"_s << QByteArray("\xEF\xBB\xBFtitle,");
    QTest::newRow("no extension: RIS") << u"refs"_s << u"refs.ris"_s << QByteArray("TY  - ");
    QTest::newRow("another extension: RIS")
        << u"refs.txt"_s << u"refs.txt"_s << QByteArray("TY  - ");
}

void tst_Citations::fileByExtension()
{
    QFETCH(QString, chosen);
    QFETCH(QString, path);
    QFETCH(QByteArray, start);
    QTemporaryDir dir;
    const CitationExport written = WriteCitationFile(sampleRows(), dir.filePath(chosen));
    QVERIFY2(written.ok(), qPrintable(written.error));
    QCOMPARE(written.path, dir.filePath(path));
    QVERIFY(readFile(written.path).startsWith(start));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { path });
}

void tst_Citations::unwritableFileWritesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"missing/refs.ris"_s);
    const CitationExport written = WriteCitationFile(sampleRows(), path);
    QVERIFY(!written.ok());
    QVERIFY(written.error.startsWith(path + u": "_s));
    QCOMPARE(written.count, 0);
    QVERIFY(QDir(dir.path()).isEmpty());
}

void tst_Citations::exportCommand()
{
    QTemporaryDir dir;
    FakeDialogs dialogs;
    // No rows: no dialog at all.
    QVERIFY(!ExportCitations(QList<CitationRow>(), dialogs));
    QVERIFY(dialogs.filtersAsked.isEmpty());

    // Cancelled: nothing written, nothing said.
    QVERIFY(!ExportCitations(sampleRows(), dialogs));
    QCOMPARE(dialogs.filtersAsked, QStringList { u"RIS|*.ris|BibTeX|*.bib|CSV|*.csv"_s });
    QVERIFY(dialogs.messages.isEmpty());

    dialogs.fileNames.enqueue(dir.filePath(u"refs"_s));
    QVERIFY(ExportCitations(sampleRows(), dialogs));
    QVERIFY(readFile(dir.filePath(u"refs.ris"_s)).startsWith("TY  - JOUR\r\n"));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).text, u"导出引用完毕：5条"_s);
    QCOMPARE(dialogs.messages.at(0).style, UserDialogs::Style::Information);

    dialogs.fileNames.enqueue(dir.filePath(u"no/such/refs.bib"_s));
    QVERIFY(!ExportCitations(sampleRows(), dialogs));
    QCOMPARE(dialogs.messages.size(), 2);
    QCOMPARE(dialogs.messages.at(1).style, UserDialogs::Style::Error);
    QVERIFY(dialogs.messages.at(1).text.contains(u"refs.bib"_s));
}

void tst_Citations::downloadRows()
{
    DownloadList list;
    const auto add = [&list](const QString &key, const std::function<void(DownloadItem &)> &set) {
        QVERIFY(list.addItem(
            key, u"Name "_s + key.left(1), u"pdf"_s, u"/papers/"_s, u"http://s.test/search"_s));
        list.update(list.size() - 1, set);
    };
    add(u"a|b"_s, [](DownloadItem &item) {
        item.StatusCode = Status::Completed;
        item.Doi = u"10.1/A"_s;
        item.Kind = u"article"_s;
    });
    add(u"c"_s, [](DownloadItem &item) {
        item.StatusCode = Status::Completed;
        item.Percent = StatusText::LargeFileSkipped;
    });
    add(u"d"_s, [](DownloadItem &item) { item.StatusCode = Status::Failed; });
    add(u"e"_s, [](DownloadItem &) {});

    const QList<CitationRow> rows = CitationRowsOf(list);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(0).Title, u"Name a"_s);
    QCOMPARE(rows.at(0).Link, u"a"_s);
    QCOMPARE(rows.at(0).Doi, u"10.1/A"_s);
    QCOMPARE(rows.at(0).Kind, u"article"_s);
    QCOMPARE(rows.at(0).SourcePage, u"http://s.test/search"_s);
    QCOMPARE(rows.at(0).File, u"/papers/Name a.pdf"_s);
    QStringList files;
    QStringList states;
    for (const CitationRow &row : rows) {
        files << row.File;
        states << row.Status;
    }
    // A file too large to fetch was skipped: there is none to attach.
    QCOMPARE(files, (QStringList { u"/papers/Name a.pdf"_s, {}, {}, {} }));
    QCOMPARE(states, (QStringList { u"completed"_s, u"completed"_s, u"failed"_s, u"waiting"_s }));
}

void tst_Citations::analysisRows()
{
    AnalysisList list;
    QVERIFY(list.加入LV1(u"T"_s, u"http://s.test/a.pdf"_s, u"http://s.test/search"_s, u"pdf"_s,
        u"/save/"_s, {}, u"10.1/x"_s, u"chapter"_s));
    list.setStatus(0, AnalysisStatus::Succeeded);
    const QList<CitationRow> rows = CitationRowsOf(list);
    QCOMPARE(rows.size(), 1);
    const CitationRow &row = rows.at(0);
    QCOMPARE(row.Title, u"T"_s);
    QCOMPARE(row.Doi, u"10.1/x"_s);
    QCOMPARE(row.Kind, u"chapter"_s);
    QCOMPARE(row.Link, u"http://s.test/a.pdf"_s);
    QCOMPARE(row.SourcePage, u"http://s.test/search"_s);
    QVERIFY(row.File.isEmpty() && row.Status.isEmpty());

    QTemporaryDir dir;
    const CitationExport written = WriteCitations(list, dir.filePath(u"a.csv"_s));
    QVERIFY(written.ok());
    QCOMPARE(readFile(written.path),
        QByteArray("\xEF\xBB\xBFtitle,doi,kind,link,source_page,file,status\r\n"
                   "T,10.1/x,chapter,http://s.test/a.pdf,http://s.test/search,,\r\n"));
}

QTEST_GUILESS_MAIN(tst_Citations)
#include "tst_citations.moc"
