#include "HtmlDocument.h"
#include "LiteratureSite.h"
#include "common/Doi.h"
#include "search/AnalysisList.h"
#include "search/ResultExtraction.h"

#include <QTest>
#include <QUrl>

namespace {

const QString PageUrl = QStringLiteral("http://site.test/search?query=x");

HtmlDocument page(const QString &body)
{
    return HtmlDocument(PageUrl,
        QStringLiteral("<!DOCTYPE html><html><head><title>t</title>"
                       "<script>var a = '<li><a>x</a></li>';</script></head><body>")
            + body + QStringLiteral("</body></html>"));
}

// One field of every row, in list order.
QStringList column(const AnalysisList &list, QString AnalysisItem::*field)
{
    QStringList out;
    for (int row = 0; row < list.size(); ++row)
        out << list.at(row).*field;
    return out;
}

} // namespace

class tst_ResultExtraction : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addPageEntries_data();
    void addPageEntries();
    void rowFields();
    void doiAndKind_data();
    void doiAndKind();
    void samePageTwiceAddsNothing();
    void counterUntouchedWithoutList();
    void fixtureResultPage();
    void fixtureBookPage();
    void noDocument();
};

void tst_ResultExtraction::addPageEntries_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("links");

    const QString pdf = QStringLiteral("http://site.test/content/pdf/10.1007%2Fx.pdf");

    QTest::newRow("results list: a lone anchor gives nothing, even a download") << QStringLiteral(
        "<ul id=\"results-list\"><li>Title <a href=\"/p.pdf\">Download PDF</a>"
        "</li></ul>") << QStringList() << QStringList();
    QTest::newRow("results list: title and Download PDF")
        << QStringLiteral("<ol id=\"results-list\"><li><h2><a href=\"/a\">  A title </a></h2>"
                          "<p>Someone</p><a href=\"/more\">More</a>"
                          "<a href=\"/content/pdf/10.1007%2Fx.pdf\">Download PDF (523 KB)</a>"
                          "<a href=\"/other.pdf\">Download PDF</a></li></ol>")
        << QStringList { QStringLiteral("A title") } << QStringList { pdf };
    QTest::newRow("results list: spaces and capitals match")
        << QStringLiteral("<ol id=\"results-list\"><li><a href=\"/a\">T</a>"
                          "<a href=\"/p.pdf\"><pre>  DOWNLOAD PDF</pre></a></li></ol>")
        << QStringList { QStringLiteral("T") }
        << QStringList { QStringLiteral("http://site.test/p.pdf") };
    QTest::newRow("results list: Get PDF is no download link")
        << QStringLiteral("<ol id=\"results-list\"><li><a href=\"/a\">T</a>"
                          "<a href=\"/p.pdf\">Get PDF</a></li></ol>")
        << QStringList() << QStringList();
    QTest::newRow("results list: &amp; in the address")
        << QStringLiteral("<ol id=\"results-list\"><li><a href=\"/a\">T</a>"
                          "<a href=\"/content/pdf/10.1007%2Fx.pdf?a=1&amp;amp;b=2\">Download "
                          "PDF</a></li></ol>")
        << QStringList { QStringLiteral("T") } << QStringList { pdf + QStringLiteral("?a=1&b=2") };
    QTest::newRow("results list: first anchor is the download")
        << QStringLiteral("<ul id=\"results-list\"><li><a href=\"/p.pdf\">Download PDF</a>"
                          "<a href=\"/a\">T</a></li></ul>")
        << QStringList { QStringLiteral("Download PDF") }
        << QStringList { QStringLiteral("http://site.test/p.pdf") };
    QTest::newRow("results list without PDF links falls back to the first OL")
        << QStringLiteral("<div id=\"results-list\"><li><a href=\"/a\">T</a>"
                          "<a href=\"/b\">Look inside</a></li></div>"
                          "<ol><li>Book chapter, Author <a href=\"/c.pdf\">Download PDF</a>"
                          "</li></ol>")
        << QStringList { QStringLiteral("Book chapter, Author") }
        << QStringList { QStringLiteral("http://site.test/c.pdf") };
    // Line breaks before the link stay; only spaces are trimmed.
    QTest::newRow("ordered list: two P take the text before Download PDF")
        << QStringLiteral("<ol><li><p>Front</p><p>Pages i-x</p>"
                          "<a href=\"/f.pdf\">Download PDF</a> more</li></ol>")
        << QStringList { QStringLiteral("Front\n\nPages i-x\n\n") }
        << QStringList { QStringLiteral("http://site.test/f.pdf") };
    QTest::newRow("ordered list: three P joined by spaces")
        << QStringLiteral("<ol><li><p> Title </p><p></p><p>Authors</p><p>Pages 1-2</p>"
                          "<a href=\"/c.pdf\">download pdf</a></li></ol>")
        << QStringList { QStringLiteral("Title Authors Pages 1-2") }
        << QStringList { QStringLiteral("http://site.test/c.pdf") };
    QTest::newRow("ordered list: only the first OL counts")
        << QStringLiteral("<ol><li>One <a href=\"/1.pdf\">Download PDF</a></li></ol>"
                          "<ol><li>Two <a href=\"/2.pdf\">Download PDF</a></li></ol>")
        << QStringList { QStringLiteral("One") }
        << QStringList { QStringLiteral("http://site.test/1.pdf") };
    QTest::newRow("whole book named by its publication")
        << QStringLiteral("<ol><li><p>A</p><p>B</p><p>C</p>"
                          "<a href=\"/c1.pdf\">Download PDF</a></li></ol>"
                          "<a href=\"/nothing\">Download book EPUB</a>"
                          "<a href=\"/book.pdf?x=1&amp;amp;y=2\" publication=\" Handbook of X \">"
                          "Download book PDF</a>"
                          "<a href=\"/later.pdf\" publication=\"Later\">Download book PDF</a>")
        << QStringList { QStringLiteral("A B C"), QStringLiteral("Handbook of X") }
        << QStringList { QStringLiteral("http://site.test/c1.pdf"),
               QStringLiteral("http://site.test/book.pdf?x=1&y=2") };
    QTest::newRow("book anchor without publication adds no book")
        << QStringLiteral("<ol></ol><a href=\"/book.pdf\">Download book PDF</a>") << QStringList()
        << QStringList();
    QTest::newRow("neither layout")
        << QStringLiteral("<ul><li><a href=\"/a\">T</a><a href=\"/p.pdf\">Download PDF</a>"
                          "</li></ul>")
        << QStringList() << QStringList();
}

void tst_ResultExtraction::addPageEntries()
{
    QFETCH(QString, body);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, links);

    const HtmlDocument document = page(body);
    AnalysisList list;
    AddPageEntries(&document, list, QStringLiteral("/save"));
    QCOMPARE(column(list, &AnalysisItem::Title), titles);
    QCOMPARE(column(list, &AnalysisItem::Link), links);
}

void tst_ResultExtraction::rowFields()
{
    const HtmlDocument document
        = page(QStringLiteral("<ol id=\"results-list\"><li><a href=\"/a\">T</a>"
                              "<a href=\"/p.pdf\">Download PDF</a></li></ol>"));
    AnalysisList list;
    QCOMPARE(ExtractFromResultsList(&document, list, QStringLiteral("/save/")), 1);
    const AnalysisItem &row = list.at(0);
    QCOMPARE(row.Type, QStringLiteral("pdf"));
    QCOMPARE(row.SourcePage, PageUrl);
    QCOMPARE(row.Folder, QStringLiteral("/save/"));
    QVERIFY(row.TypeColumn.isEmpty());
    QVERIFY(row.Status.isEmpty());
    QCOMPARE(list.counterText(), QStringLiteral("1"));
}

void tst_ResultExtraction::doiAndKind_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("dois");
    QTest::addColumn<QStringList>("kinds");

    auto entry = [](const QString &anchors) -> QString {
        return QStringLiteral("<ol id=\"results-list\"><li>") + anchors
            + QStringLiteral("</li></ol>");
    };
    QTest::newRow("PDF address, title link of the same DOI in another case")
        << entry(QStringLiteral("<a href=\"/article/10.1007/S1-X\">T</a>"
                                "<a href=\"/content/pdf/10.1007%2Fs1-x.pdf?a=1\">Download PDF</a>"))
        << QStringList { QStringLiteral("10.1007/s1-x") }
        << QStringList { QStringLiteral("article") };
    QTest::newRow("no DOI in the PDF address: the first content link tells both")
        << entry(QStringLiteral("<a href=\"/journal/1\">T</a>"
                                "<a href=\"/chapter/10.1007/978-3-1_2\">Preview</a>"
                                "<a href=\"/article/10.1007/later\">More</a>"
                                "<a href=\"/files/p.pdf\">Download PDF</a>"))
        << QStringList { QStringLiteral("10.1007/978-3-1_2") }
        << QStringList { QStringLiteral("chapter") };
    QTest::newRow("first content link names another DOI: no kind")
        << entry(QStringLiteral("<a href=\"/article/10.1007/other\">T</a>"
                                "<a href=\"/content/pdf/10.1007%2Fs2.pdf\">Download PDF</a>"))
        << QStringList { QStringLiteral("10.1007/s2") } << QStringList { QString() };
    QTest::newRow("content link of another site is not the entry's")
        << entry(QStringLiteral("<a href=\"http://elsewhere.test/article/10.1007/s3\">T</a>"
                                "<a href=\"/files/p.pdf\">Download PDF</a>"))
        << QStringList { QString() } << QStringList { QString() };
    QTest::newRow("no DOI anywhere")
        << entry(QStringLiteral("<a href=\"/a\">T</a><a href=\"/p.pdf\">Download PDF</a>"))
        << QStringList { QString() } << QStringList { QString() };
    QTest::newRow("ordered list: chapter link, and the whole book is a book")
        << QStringLiteral("<ol><li><p><a href=\"/chapter/10.1007/978-3-9_1\">C1</a></p>"
                          "<a href=\"/c1.pdf\">Download PDF</a></li></ol>"
                          "<a href=\"/content/pdf/10.1007%2F978-3-9.pdf\" publication=\"B\">"
                          "Download book PDF</a>")
        << QStringList { QStringLiteral("10.1007/978-3-9_1"), QStringLiteral("10.1007/978-3-9") }
        << QStringList { QStringLiteral("chapter"), QStringLiteral("book") };
}

void tst_ResultExtraction::doiAndKind()
{
    QFETCH(QString, body);
    QFETCH(QStringList, dois);
    QFETCH(QStringList, kinds);

    const HtmlDocument document = page(body);
    AnalysisList list;
    AddPageEntries(&document, list, {});
    QCOMPARE(column(list, &AnalysisItem::Doi), dois);
    QCOMPARE(column(list, &AnalysisItem::Kind), kinds);
}

void tst_ResultExtraction::samePageTwiceAddsNothing()
{
    const HtmlDocument document = page(QStringLiteral(
        "<ol id=\"results-list\"><li><a href=\"/a\">T</a><a href=\"/p.pdf\">Download PDF</a>"
        "</li><li><a href=\"/b\">U</a><a href=\"/p.pdf\">Download PDF</a></li></ol>"));
    AnalysisList list;
    QCOMPARE(ExtractFromResultsList(&document, list, {}), 2); // the duplicate counts as found
    QCOMPARE(list.size(), 1);
    QCOMPARE(ExtractFromResultsList(&document, list, {}), 2);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.counterText(), QStringLiteral("1"));
}

void tst_ResultExtraction::counterUntouchedWithoutList()
{
    AnalysisList list;
    list.加入LV1(
        QStringLiteral("T"), QStringLiteral("http://x/1.pdf"), {}, QStringLiteral("pdf"), {}, {});
    int refreshes = 0;
    connect(&list, &AnalysisList::counterChanged, this, [&] { ++refreshes; });

    const HtmlDocument bare = page(QStringLiteral("<p>nothing here</p>"));
    AddPageEntries(&bare, list, {});
    QCOMPARE(refreshes, 0);
    QCOMPARE(list.counterText(), QStringLiteral("0"));

    // An empty result list still refreshes it.
    const HtmlDocument empty = page(QStringLiteral("<ol id=\"results-list\"></ol>"));
    AddPageEntries(&empty, list, {});
    QCOMPARE(list.counterText(), QStringLiteral("1"));
}

void tst_ResultExtraction::fixtureResultPage()
{
    const QString query = QStringLiteral("graphene & co");
    const QString url = QStringLiteral("http://127.0.0.1:9") + LiteratureSite::searchPath(query, 2);
    const HtmlDocument document(url, *LiteratureSite::page(url));
    AnalysisList list;
    QCOMPARE(ExtractFromResultsList(&document, list, {}), LiteratureSite::ResultsPerPage - 1);
    QCOMPARE(list.at(0).Title, LiteratureSite::resultTitle(query, 2, 0));
    QCOMPARE(list.at(0).Link,
        QStringLiteral("http://127.0.0.1:9") + LiteratureSite::resultPdfPath(query, 2, 0));
    // The preview-only entry is skipped.
    QCOMPARE(list.at(LiteratureSite::PreviewOnlyPosition).Title,
        LiteratureSite::resultTitle(query, 2, LiteratureSite::PreviewOnlyPosition + 1));
    QVERIFY(list.at(2).Title.contains(u'&'));
    // Every entry knows its DOI; every third result is a chapter.
    for (int row = 0; row < list.size(); ++row) {
        const int index = row < LiteratureSite::PreviewOnlyPosition ? row : row + 1;
        QCOMPARE(
            list.at(row).Doi, DoiFromPdfUrl(QUrl(LiteratureSite::resultPdfPath(query, 2, index))));
        QCOMPARE(list.at(row).Kind,
            index % 3 == 2 ? QStringLiteral("chapter") : QStringLiteral("article"));
    }
}

void tst_ResultExtraction::fixtureBookPage()
{
    const QString url = QStringLiteral("http://127.0.0.1:9/book/") + LiteratureSite::BookDoi;
    const HtmlDocument document(
        url, *LiteratureSite::page(QStringLiteral("/book/") + LiteratureSite::BookDoi));
    AnalysisList list;
    AddPageEntries(&document, list, {});
    // Front matter, the chapters and the whole book.
    QCOMPARE(list.size(), 1 + LiteratureSite::BookChapters + 1);
    QCOMPARE(list.at(0).Title, QStringLiteral("Front Matter\n\nPages i-xii\n\n"));
    QVERIFY2(
        list.at(1).Title.startsWith(QStringLiteral("Chapter 1: Foundations of fixtures, part 1 ")),
        qPrintable(list.at(1).Title));
    QVERIFY(list.at(1).Title.endsWith(QStringLiteral(" Pages 1-20")));
    QCOMPARE(list.at(list.size() - 1).Title, LiteratureSite::BookTitle);
    QVERIFY(list.at(list.size() - 1).Link.endsWith(QStringLiteral("978-3-540-77001-2.pdf")));
    QCOMPARE(list.at(0).Doi, LiteratureSite::BookDoi + QStringLiteral("_fm"));
    QVERIFY(list.at(0).Kind.isEmpty());
    QCOMPARE(list.at(1).Doi, LiteratureSite::BookDoi + QStringLiteral("_1"));
    QCOMPARE(list.at(1).Kind, QStringLiteral("chapter"));
    QCOMPARE(list.at(list.size() - 1).Doi, LiteratureSite::BookDoi);
    QCOMPARE(list.at(list.size() - 1).Kind, QStringLiteral("book"));
}

void tst_ResultExtraction::noDocument()
{
    AnalysisList list;
    QCOMPARE(ExtractFromResultsList(nullptr, list, {}), 0);
    QCOMPARE(ExtractFromOrderedList(nullptr, list, {}), 0);
    AddPageEntries(nullptr, list, {});
    QVERIFY(list.isEmpty());
}

QTEST_GUILESS_MAIN(tst_ResultExtraction)
#include "tst_resultextraction.moc"
