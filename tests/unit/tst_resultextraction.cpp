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
    void contentLinks_data();
    void contentLinks();
    void contentLinksOnlyWhenTheLayoutsFindNothing();
    void fixtureTodayPage();
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

void tst_ResultExtraction::contentLinks_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("dois");
    QTest::addColumn<QStringList>("kinds");

    const QString doi = QStringLiteral("10.1007/s11192-024-04999-1");
    QTest::newRow("article link") << QStringLiteral("<a href=\"/article/%1\">A  title</a>").arg(doi)
                                  << QStringList { QStringLiteral("A title") }
                                  << QStringList { doi }
                                  << QStringList { QStringLiteral("article") };
    QTest::newRow("every kind, in order of the first anchor")
        << QStringLiteral("<a href=\"/chapter/10.1007/978-3-030-1_2\">C</a>"
                          "<a href=\"/book/10.1007/978-3-030-1\">B</a>"
                          "<a href=\"/referenceworkentry/10.1007/978-3-030-9_3-1\">R</a>"
                          "<a href=\"/protocol/10.1007/978-1-0716-5_4\">P</a>")
        << QStringList { QStringLiteral("C"), QStringLiteral("B"), QStringLiteral("R"),
               QStringLiteral("P") }
        << QStringList { QStringLiteral("10.1007/978-3-030-1_2"),
               QStringLiteral("10.1007/978-3-030-1"), QStringLiteral("10.1007/978-3-030-9_3-1"),
               QStringLiteral("10.1007/978-1-0716-5_4") }
        << QStringList { QStringLiteral("chapter"), QStringLiteral("book"),
               QStringLiteral("referenceworkentry"), QStringLiteral("protocol") };
    QTest::newRow("slash written %2F")
        << QStringLiteral("<a href=\"/article/10.1007%2Fs1-2\">T</a>")
        << QStringList { QStringLiteral("T") } << QStringList { QStringLiteral("10.1007/s1-2") }
        << QStringList { QStringLiteral("article") };
    QTest::newRow("query, fragment, later segments and a trailing slash are no part of it")
        << QStringLiteral("<a href=\"/article/10.1007/s1-2?from=x\">T</a>"
                          "<a href=\"/chapter/10.1007/c-3/fulltext.html\">U</a>"
                          "<a href=\"/chapter/10.1007/c-4/#sec1\">V</a>")
        << QStringList { QStringLiteral("T"), QStringLiteral("U"), QStringLiteral("V") }
        << QStringList { QStringLiteral("10.1007/s1-2"), QStringLiteral("10.1007/c-3"),
               QStringLiteral("10.1007/c-4") }
        << QStringList { QStringLiteral("article"), QStringLiteral("chapter"),
               QStringLiteral("chapter") };
    QTest::newRow("cover with an empty link, then the title")
        << QStringLiteral("<a href=\"/book/10.1007/b-1\"><img src=\"c.png\" alt=\"\"></a>"
                          "<a href=\"/chapter/10.1007/c-1\">Chapter</a>"
                          "<h3><a href=\"/book/10.1007/b-1\"><span>The\n   book</span></a></h3>")
        << QStringList { QStringLiteral("The book"), QStringLiteral("Chapter") }
        << QStringList { QStringLiteral("10.1007/b-1"), QStringLiteral("10.1007/c-1") }
        << QStringList { QStringLiteral("book"), QStringLiteral("chapter") };
    QTest::newRow("a DOI without any text gives nothing")
        << QStringLiteral("<a href=\"/article/10.1007/x-1\"> </a><a href=\"/article/10.1007/x-1\">"
                          "<img alt=\"\"></a>")
        << QStringList() << QStringList() << QStringList();
    QTest::newRow("duplicates in any case are one entry")
        << QStringLiteral("<a href=\"/article/10.1007/ABC-1\">First</a>"
                          "<a href=\"/article/10.1007/abc-1#citeas\">Cite</a>")
        << QStringList { QStringLiteral("First") }
        << QStringList { QStringLiteral("10.1007/ABC-1") }
        << QStringList { QStringLiteral("article") };
    QTest::newRow("other hosts, ports and schemes are not the site's")
        << QStringLiteral("<a href=\"http://other.test/article/10.1007/o-1\">O</a>"
                          "<a href=\"http://site.test:8080/article/10.1007/p-1\">P</a>"
                          "<a href=\"https://site.test/article/10.1007/s-1\">S</a>"
                          "<a href=\"http://site.test:80/article/10.1007/d-1\">Default port</a>")
        << QStringList { QStringLiteral("Default port") }
        << QStringList { QStringLiteral("10.1007/d-1") }
        << QStringList { QStringLiteral("article") };
    QTest::newRow("paths that name no content")
        << QStringLiteral("<a href=\"/journal/10.1007/j-1\">J</a>"
                          "<a href=\"/content/pdf/10.1007%2Fx-1.pdf\">PDF</a>"
                          "<a href=\"/article/11.1007/x-1\">Not a DOI</a>"
                          "<a href=\"/article/10.107/x-1\">Short prefix</a>"
                          "<a href=\"/en/article/10.1007/x-1\">Deeper</a>"
                          "<a href=\"/article/10.1007/\">No suffix</a>")
        << QStringList() << QStringList() << QStringList();
}

void tst_ResultExtraction::contentLinks()
{
    QFETCH(QString, body);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, dois);
    QFETCH(QStringList, kinds);

    const HtmlDocument document(QStringLiteral("http://site.test/search?new-search=true&query=x"),
        QStringLiteral("<!DOCTYPE html><html><body>") + body + QStringLiteral("</body></html>"));
    AnalysisList list;
    QCOMPARE(ExtractFromContentLinks(&document, list, QStringLiteral("/save")), titles.size());
    QCOMPARE(column(list, &AnalysisItem::Title), titles);
    QCOMPARE(column(list, &AnalysisItem::Doi), dois);
    QCOMPARE(column(list, &AnalysisItem::Kind), kinds);
    for (int row = 0; row < list.size(); ++row) {
        const AnalysisItem &item = list.at(row);
        QCOMPARE(item.Link, PdfAddressForDoi(QUrl(document.url()), item.Doi));
        QCOMPARE(item.Type, QStringLiteral("pdf"));
        QCOMPARE(item.SourcePage, document.url());
        QCOMPARE(item.Folder, QStringLiteral("/save"));
    }
}

void tst_ResultExtraction::contentLinksOnlyWhenTheLayoutsFindNothing()
{
    // The results list finds its entry: the content links stay unread.
    const HtmlDocument both = page(
        QStringLiteral("<ol id=\"results-list\"><li><a href=\"/article/10.1007/a-1\">T</a>"
                       "<a href=\"/content/pdf/10.1007%2Fa-1.pdf\">Download PDF</a></li></ol>"
                       "<a href=\"/chapter/10.1007/c-9\">Other</a>"));
    AnalysisList list;
    QCOMPARE(AddPageEntries(&both, list, {}), 1);
    QCOMPARE(column(list, &AnalysisItem::Title), QStringList { QStringLiteral("T") });
    // Its DOI is its own PDF address's, not that of the content link beside it.
    QCOMPARE(list.at(0).Doi, QStringLiteral("10.1007/a-1"));

    // Entries dropped as duplicates count as found: the page is not read again.
    QCOMPARE(AddPageEntries(&both, list, {}), 1);
    QCOMPARE(list.size(), 1);

    // Nothing in either layout: the content links give the entries, with the
    // PDF address at the document's origin (the final one, with its port).
    const HtmlDocument today(QStringLiteral("http://user:pw@site.test:8080/search?query=x"),
        QStringLiteral("<ol id=\"results-list\"></ol><ol><li>no download</li></ol>"
                       "<a href=\"/article/10.1007/a-1\">Today</a>"));
    AnalysisList fresh;
    QCOMPARE(AddPageEntries(&today, fresh, {}), 1);
    QCOMPARE(
        fresh.at(0).Link, QStringLiteral("http://site.test:8080/content/pdf/10.1007%2Fa-1.pdf"));
    QCOMPARE(fresh.counterText(), QStringLiteral("1"));
}

void tst_ResultExtraction::fixtureTodayPage()
{
    const QString query = QStringLiteral("soil & water");
    const QString origin = QStringLiteral("http://127.0.0.1:9");
    const QString url = origin + LiteratureSite::todaySearchPath(query, 2);
    const HtmlDocument document(url, *LiteratureSite::page(url));
    AnalysisList list;
    AddPageEntries(&document, list, {});
    const QList<LiteratureSite::TodayResult> expected = LiteratureSite::todayEntries(query, 2);
    QCOMPARE(list.size(), expected.size());
    QCOMPARE(list.size(), LiteratureSite::TodayResultsPerPage - 1);
    for (int row = 0; row < list.size(); ++row) {
        QCOMPARE(list.at(row).Title, expected.at(row).title);
        QCOMPARE(list.at(row).Doi, expected.at(row).doi);
        QCOMPARE(list.at(row).Kind, expected.at(row).kind);
        QCOMPARE(list.at(row).Link, origin + LiteratureSite::pdfPathForDoi(expected.at(row).doi));
    }
}

QTEST_GUILESS_MAIN(tst_ResultExtraction)
#include "tst_resultextraction.moc"
