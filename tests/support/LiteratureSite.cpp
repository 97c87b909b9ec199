#include "LiteratureSite.h"

#include "FixtureServer.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <memory>

namespace LiteratureSite {
namespace {

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

// Stable small numbers from text, so every page looks the same on every run.
quint32 hashOf(const QString &text)
{
    const QByteArray digest = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1);
    return (quint32(quint8(digest[0])) << 24) | (quint32(quint8(digest[1])) << 16)
        | (quint32(quint8(digest[2])) << 8) | quint32(quint8(digest[3]));
}

QString queryForLink(const QString &query)
{
    return QString::fromLatin1(query.toUtf8().toPercentEncoding(" ")).replace(u' ', u'+');
}

QString resultDoi(const QString &query, int page, int index)
{
    const int number = (page - 1) * ResultsPerPage + index + 1;
    const quint32 h = hashOf(query) % 900 + 100;
    if (index % 3 == 2) // every third result is a book chapter
        return QStringLiteral("10.1007/978-3-030-%1-%2_%3").arg(h).arg(number % 10).arg(number);
    return QStringLiteral("10.1007/s10%1-02%2-0%3-%4")
        .arg(h)
        .arg(page % 4)
        .arg(1000 + number)
        .arg(number % 9 + 1);
}

QString pdfPathOf(const QString &doi)
{
    return QStringLiteral("/content/pdf/") + QString(doi).replace(u'/', QLatin1String("%2F"))
        + QStringLiteral(".pdf");
}

qint64 pdfSizeOf(const QString &doiPath)
{
    return 12 * 1024 + qint64(hashOf(doiPath) % (48 * 1024));
}

QString authorsOf(int seed)
{
    static const QStringList names { QStringLiteral("Wei Zhang"), QStringLiteral("Anna Müller"),
        QStringLiteral("Rahul Mehta"), QStringLiteral("Sofia Rossi"), QStringLiteral("Kenji Sato"),
        QStringLiteral("Olga Petrova"), QStringLiteral("James O’Neill"), QStringLiteral("Li Na"),
        QStringLiteral("Fatima Haddad") };
    QStringList picked;
    for (int i = 0; i < 1 + seed % 3; ++i)
        picked.append(names.at((seed + i * 4) % names.size()));
    return picked.join(QStringLiteral(", "));
}

QString head(const QString &title, const QString &extraMeta = {})
{
    return QStringLiteral(R"(<!DOCTYPE html>
<html lang="en" class="no-js">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>%1 | Fixture Link</title>
%2<link rel="stylesheet" href="data:text/css,">
<style>
body{font-family:sans-serif;margin:0;color:#222;line-height:1.4}
a{color:#025e8d}
header,footer{background:#eef3f7;padding:8px 16px}
header nav a{margin-right:12px}
.c-header__logo{font-weight:bold;font-size:120%;margin-right:24px}
.c-search{display:inline-block;margin-left:24px}
main{padding:8px 16px;max-width:960px}
h1{font-size:130%}
.c-meta,.meta,.content-type{color:#555;font-size:90%;margin:2px 0}
.content-item-list,.c-book-toc{list-style:none;padding:0}
.content-item-list li,.c-book-toc li{border-bottom:1px solid #dde3e8;padding:10px 0}
.content-item-list h2{font-size:110%;margin:4px 0}
.snippet{margin:4px 0}
.c-button{display:inline-block;border:1px solid #025e8d;border-radius:3px;padding:2px 8px;margin-right:8px;text-decoration:none}
.pagination{margin:8px 0}
.pagination input{width:3em}
.next,.prev{margin:0 8px}
</style>
<script>document.documentElement.className = 'js';</script>
<script type="application/ld+json">{"@context":"https://schema.org","@type":"WebPage","name":"%3"}</script>
</head>
)")
        .arg(esc(title), extraMeta, title.toHtmlEscaped().replace(u'"', QLatin1String("'")));
}

QString siteHeader(const QString &query = {})
{
    return QStringLiteral(R"(<body>
<header class="c-header">
<a class="c-header__logo" href="/" title="Fixture Link home">Fixture Link</a>
<nav class="c-header__nav"><a href="/search?query=">Search</a> <a href="/books/a/1">Books A-Z</a> <a href="/journals/">Journals A-Z</a> <a href="/login">Log in</a></nav>
<form class="c-search" action="/search" method="get" role="search"><input type="text" name="query" value="%1" placeholder="Search"><input type="submit" value="Search"></form>
</header>
)")
        .arg(esc(query));
}

QString siteFooter()
{
    return QStringLiteral(R"(<footer class="c-footer">
<a href="/impressum">Impressum</a> <a href="/privacy">Privacy</a> <a href="/accessibility">Accessibility</a>
<p>© 2026 Fixture Link. Part of the fixture site.</p>
</footer>
<script>(function(){var n=document.querySelectorAll('.c-results-list__item').length;document.body.setAttribute('data-results',n);})();</script>
</body>
</html>
)");
}

QString snippetOf(const QString &query, int number)
{
    static const QStringList sentences {
        QStringLiteral("We study the behaviour of %1 under varying conditions and report "
                       "measurements that agree with the model."),
        QStringLiteral("This work reviews recent research on %1, with emphasis on methods "
                       "that scale to large data sets &amp; long runs."),
        QStringLiteral("A survey of %1: open problems, benchmarks and a roadmap for the "
                       "next decade."),
        QStringLiteral("Experiments on %1 show a 23 % improvement over the baseline "
                       "(p &lt; 0.05)."),
    };
    return sentences.at(number % sentences.size()).arg(esc(query));
}

QString resultItem(const QString &query, int page, int index)
{
    const int number = (page - 1) * ResultsPerPage + index + 1;
    const QString doi = resultDoi(query, page, index);
    const bool chapter = index % 3 == 2;
    const QString title = resultTitle(query, page, index);
    const QString kind = chapter ? QStringLiteral("chapter") : QStringLiteral("article");
    QString item
        = QStringLiteral(R"(<li class="c-results-list__item">
<p class="content-type">%1</p>
<h2><a class="title" href="/%2/%3">%4</a></h2>
<p class="meta"><span class="authors">%5</span> in <a class="publication-title" href="/journal/%6">%7</a> (2026)</p>
<p class="snippet">%8</p>
<div class="actions">)")
              .arg(chapter ? QStringLiteral("Chapter") : QStringLiteral("Article"), kind, doi,
                  esc(title), esc(authorsOf(number)), QString::number(10000 + number % 7),
                  chapter ? QStringLiteral("Advances in Fixture Studies")
                          : QStringLiteral("Journal of Loopback Research"),
                  snippetOf(query, number));
    if (index == PreviewOnlyPosition) {
        item += QStringLiteral(
            R"(<a class="preview" href="/%1/%2">Look Inside</a> <span class="access">Access provided by subscription only</span>)")
                    .arg(kind, doi);
    } else {
        const qint64 kb = pdfSizeOf(pdfPathOf(doi)) / 1024;
        item += QStringLiteral(
            R"(<a class="c-button pdf-link" href="%1" target="_blank" rel="noopener" data-track="click" data-track-action="download pdf">Download PDF (%2 KB)</a> <a class="c-button" href="/%3/%4">View %3</a>)")
                    .arg(pdfPathOf(doi), QString::number(kb), kind, doi);
    }
    item += QStringLiteral("</div>\n</li>\n");
    return item;
}

QString searchPage(const QString &query, int page, bool scriptedNext)
{
    const int pages = pageCount(query);
    const int results = resultsOnPage(query, page);
    const int total = (pages - 1) * ResultsPerPage + ResultsOnLastPage;
    QString html = head(QStringLiteral("Search Results - %1").arg(query),
                       QStringLiteral("<meta name=\"robots\" content=\"noindex\">\n"))
        + siteHeader(query);
    html += QStringLiteral("<main id=\"main-content\">\n");
    if (results == 0) {
        html += QStringLiteral("<h1>Sorry – we couldn’t find what you are looking for.</h1>\n"
                               "<p>Check the spelling or try other words.</p>\n</main>\n");
        return html + siteFooter();
    }
    html += QStringLiteral("<h1 class=\"number-of-search-results-and-search-terms\"><strong>%1"
                           "</strong> Result(s) for '<span>%2</span>'</h1>\n")
                .arg(QString::number(total), esc(query));
    auto pagination = [&](const QString &where) -> QString {
        QString nav
            = QStringLiteral("<nav class=\"pagination %1\" aria-label=\"pagination\">").arg(where);
        if (page > 1)
            nav += QStringLiteral("<a class=\"prev\" title=\"previous\" href=\"%1\">Previous</a>")
                       .arg(esc(searchPath(query, page - 1)));
        nav += QStringLiteral("<span class=\"page-number\">Page <input name=\"go-to-page\" "
                              "type=\"text\" value=\"%1\"> of <span class=\"number-of-pages\">%2"
                              "</span></span>")
                   .arg(page)
                   .arg(pages);
        if (page < pages) {
            nav += QStringLiteral("<a class=\"next\" title=\"next\" href=\"%1\"%2>Next</a>")
                       .arg(esc(searchPath(query, page + 1)),
                           scriptedNext
                               ? QStringLiteral(" onclick=\"history.pushState({}, '', this.href); "
                                                "document.getElementById('results-list')."
                                                "setAttribute('data-page', 2); return false;\"")
                               : QString());
        }
        return nav + QStringLiteral("</nav>\n");
    };
    html += pagination(QStringLiteral("top"));
    html += QStringLiteral("<ol id=\"results-list\" class=\"content-item-list\">\n");
    for (int i = 0; i < results; ++i)
        html += resultItem(query, page, i);
    html += QStringLiteral("</ol>\n");
    html += pagination(QStringLiteral("bottom"));
    html += QStringLiteral("<aside class=\"ad\"><iframe src=\"/frame/ad\" title=\"Advertisement\" "
                           "width=\"300\" height=\"60\"></iframe></aside>\n</main>\n");
    return html + siteFooter();
}

QString bookPage()
{
    QString html = head(BookTitle) + siteHeader();
    html += QStringLiteral(R"(<main id="main-content">
<div class="c-article-header">
<p class="c-meta">Book · © 2026</p>
<h1 class="c-book-title">%1</h1>
<p class="c-meta">Editors: %2</p>
<div class="c-pdf-download">
<a class="c-pdf-download__link" href="%3" publication="%1" data-track-action="Book download - pdf">Download book PDF</a>
<a class="c-pdf-download__link" href="/download/epub/%4.epub" publication="%1" data-track-action="Book download - ePub">Download book EPUB</a>
</div>
</div>
<section class="c-book-section" aria-labelledby="toc"><h2 id="toc">Table of contents (%5 chapters)</h2>
<ol class="c-book-toc">
)")
                .arg(esc(BookTitle), esc(authorsOf(5)), pdfPathOf(BookDoi),
                    QString(BookDoi).replace(u'/', QLatin1String("%2F")),
                    QString::number(BookChapters));
    // Front matter has two lines of text; chapters have title, authors and pages.
    html += QStringLiteral(R"(<li class="c-book-toc__item"><p class="title">Front Matter</p>
<p class="pages">Pages i-xii</p>
<a class="c-button" href="%1">Download PDF</a></li>
)")
                .arg(pdfPathOf(BookDoi + QStringLiteral("_fm")));
    for (int c = 1; c <= BookChapters; ++c) {
        const QString doi = BookDoi + QStringLiteral("_%1").arg(c);
        html += QStringLiteral(R"(<li class="c-book-toc__item">
<p class="title"><a href="/chapter/%1">Chapter %2: %3</a></p>
<p class="authors">%4</p>
<p class="pages">Pages %5-%6</p>
<a class="c-button" href="%7">Download PDF</a> <a href="/chapter/%1">Preview</a>
</li>
)")
                    .arg(doi, QString::number(c),
                        esc(QStringLiteral("Foundations of fixtures, part %1").arg(c)),
                        esc(authorsOf(c)), QString::number(1 + (c - 1) * 20),
                        QString::number(c * 20), pdfPathOf(doi));
    }
    html += QStringLiteral("</ol>\n</section>\n</main>\n");
    return html + siteFooter();
}

QString entryPage(const QString &kind, const QString &doi)
{
    const QString title = QStringLiteral("Entry %1").arg(doi);
    QString html = head(title) + siteHeader();
    html += QStringLiteral(R"(<main id="main-content">
<article>
<p class="c-meta">%1 · Open access · Published: 10 December 2026</p>
<h1 class="c-article-title">%2</h1>
<ul class="c-article-author-list"><li>%3</li></ul>
<a class="c-pdf-download__link" href="%4">Download PDF</a>
<section><h2>Abstract</h2><p>An abstract for the fixture entry %5.</p></section>
<section><h2>References</h2>
<ol class="c-article-references">
<li><p class="c-article-references__text">A. Author, Earlier work (2019)</p></li>
<li><p class="c-article-references__text">B. Author, Later work (2024)</p></li>
</ol></section>
</article>
</main>
)")
                .arg(kind == QLatin1String("chapter") ? QStringLiteral("Chapter")
                                                      : QStringLiteral("Article"),
                    esc(title), esc(authorsOf(int(hashOf(doi) % 9))), pdfPathOf(doi), esc(doi));
    return html + siteFooter();
}

QString homePage()
{
    return head(QStringLiteral("Home")) + siteHeader()
        + QStringLiteral(R"(<main id="main-content">
<h1>Find research</h1>
<p>Try <a href="/search?query=graphene">graphene</a>, <a href="/search?query=deep+learning+pages-12">deep learning</a> or the book <a href="/book/%1">%2</a>.</p>
</main>
)")
              .arg(BookDoi, esc(BookTitle))
        + siteFooter();
}

// Today's layout.

// The query word "WORD-P" names page P, or 0.
int pageOfWord(const QString &query, const QString &word)
{
    const QRegularExpression pattern(
        QStringLiteral("(?:^|\\s)") + word + QStringLiteral("-(\\d+)(?:\\s|$)"));
    const QRegularExpressionMatch m = pattern.match(query);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

int todayNumber(int page, int index)
{
    return (page - 1) * TodayResultsPerPage + index + 1;
}

// The query word "full": every card has a DOI and the last page is full too.
bool fullPages(const QString &query)
{
    return query.split(u' ').contains(QStringLiteral("full"));
}

QString todayKindOf(const QString &query, int index)
{
    if (index == TodayNoDoiPosition && !fullPages(query))
        return {};
    if (index == 9)
        return QStringLiteral("book");
    if (index == 13)
        return QStringLiteral("referenceworkentry");
    if (index == 16)
        return QStringLiteral("protocol");
    if (index % 3 == 2)
        return QStringLiteral("chapter");
    return QStringLiteral("article");
}

QString todayDoi(const QString &query, int page, int index)
{
    const QString kind = todayKindOf(query, index);
    const int number = todayNumber(page, index);
    const quint32 h = hashOf(query) % 900 + 100;
    if (kind == u"book")
        return QStringLiteral("10.1007/978-3-031-%1%2-%3").arg(h).arg(number).arg(number % 10);
    if (kind == u"referenceworkentry")
        return QStringLiteral("10.1007/978-3-030-%1-%2_%3-1").arg(h).arg(number % 10).arg(number);
    if (kind == u"protocol")
        return QStringLiteral("10.1007/978-1-0716-%1-%2_%3").arg(h).arg(number % 10).arg(number);
    if (kind == u"chapter")
        return QStringLiteral("10.1007/978-3-030-%1-%2_%3").arg(h).arg(number % 10).arg(number);
    if (kind == u"article")
        return QStringLiteral("10.1007/s10%1-02%2-0%3-%4")
            .arg(h)
            .arg(page % 4)
            .arg(1000 + number)
            .arg(number % 9 + 1);
    return {};
}

// The title as the card's markup writes it, with a line break and spaces
// inside that the entry squeezes.
QStringList todayTitleParts(const QString &query, int page, int index)
{
    static const QStringList openings { QStringLiteral("Notes on"), QStringLiteral("Towards"),
        QStringLiteral("Revisiting"), QStringLiteral("A field guide to"),
        QStringLiteral("Rethinking") };
    const int number = todayNumber(page, index);
    const QString subject = query.isEmpty() ? QStringLiteral("everything") : query;
    if (todayKindOf(query, index).isEmpty())
        return { QStringLiteral("Journal of Loopback Research"), QStringLiteral("(journal)") };
    return { openings.at(number % openings.size()) + u' ' + subject,
        QStringLiteral("& friends: card %1").arg(number) };
}

QString todayCard(const QString &query, int page, int index)
{
    const TodayResult result = todayResult(query, page, index);
    const int number = todayNumber(page, index);
    const QStringList parts = todayTitleParts(query, page, index);
    QString target;
    if (result.doi.isEmpty()) {
        target = QStringLiteral("/journal/%1").arg(10000 + number % 7);
    } else {
        QString doi = result.doi;
        if (index % 5 == 4)
            doi.replace(u'/', QLatin1String("%2F")); // the slash written %2F
        target = u'/' + result.kind + u'/' + doi;
        if (index == 11)
            target += QStringLiteral("?fromPaywallRec=false");
    }
    static const QHash<QString, QString> typeNames {
        { QStringLiteral("article"), QStringLiteral("Article") },
        { QStringLiteral("chapter"), QStringLiteral("Chapter") },
        { QStringLiteral("book"), QStringLiteral("Book") },
        { QStringLiteral("referenceworkentry"), QStringLiteral("Reference work entry") },
        { QStringLiteral("protocol"), QStringLiteral("Protocol") },
    };
    QString card
        = QStringLiteral("<li class=\"app-card-open\" data-test=\"search-result-item\">\n");
    // Most cards show a cover whose link holds only the picture.
    if (index % 4 != 1) {
        card += QStringLiteral("<div class=\"app-card-open__media\"><a href=\"%1\" tabindex=\"-1\" "
                               "aria-hidden=\"true\"><img src=\"data:image/gif;base64,"
                               "R0lGODlhAQABAAAAACw=\" alt=\"\"></a></div>\n")
                    .arg(esc(target));
    }
    card += QStringLiteral(R"(<div class="app-card-open__main">
<div class="c-meta"><span class="c-meta__type">%1</span></div>
<h3 class="app-card-open__heading"><a class="app-card-open__link" data-track="select_search_result" href="%2"><span>%3
      %4</span></a></h3>
<div class="app-card-open__authors"><span>%5</span></div>
<div class="app-card-open__description"><p>%6</p></div>
<div class="app-card-open__meta"><span class="c-meta__item" data-test="published">10 December 2026</span> <span class="app-entitlement">Open access</span></div>
</div>
</li>
)")
                .arg(typeNames.value(result.kind, QStringLiteral("Journal")), esc(target),
                    esc(parts.at(0)), esc(parts.at(1)), esc(authorsOf(number)),
                    snippetOf(query, number));
    return card;
}

QString todaySearchPage(const QString &query, int page, const QString &hop)
{
    const int pages = todayPageCount(query);
    const int results = todayResultsOnPage(query, page);
    const int total = (pages - 1) * TodayResultsPerPage + todayResultsOnPage(query, pages);
    QString html = head(QStringLiteral("Search Results - %1").arg(query));
    // A page that opens itself again, over and over, before it ever completes.
    if (pageOfWord(query, QStringLiteral("hop")) == page) {
        const int next = hop.toInt() + 1;
        html.replace(QStringLiteral("</head>"),
            QStringLiteral("<script>location.replace(%1);</script>\n</head>")
                .arg(u'\'' + todaySearchPath(query, page) + QStringLiteral("&hop=")
                    + QString::number(next) + u'\''));
    }
    html += siteHeader(query);
    html += QStringLiteral("<main id=\"main-content\" class=\"app-search\">\n");
    if (results == 0) {
        html += QStringLiteral("<h1>No results</h1>\n</main>\n");
        return html + siteFooter();
    }
    html += QStringLiteral("<p><span data-test=\"results-data-total\">Showing %1-%2 of %3 "
                           "results</span></p>\n")
                .arg((page - 1) * TodayResultsPerPage + 1)
                .arg((page - 1) * TodayResultsPerPage + results)
                .arg(total);
    if (pageOfWord(query, QStringLiteral("hang")) == page)
        html += QStringLiteral("<img class=\"c-ad\" src=\"/hang/picture.png\" alt=\"\">\n");
    html += QStringLiteral("<ol class=\"u-list-reset\" data-test=\"darwin-search\">\n");
    for (int i = 0; i < results; ++i)
        html += todayCard(query, page, i);
    html += QStringLiteral(
        "</ol>\n<nav aria-label=\"pagination\"><ul class=\"eds-c-pagination\">\n");
    if (page > 1)
        html += QStringLiteral("<li class=\"eds-c-pagination__item\"><a class=\"eds-c-pagination__"
                               "link\" rel=\"prev\" href=\"%1\">Previous</a></li>\n")
                    .arg(esc(todaySearchPath(query, page - 1)));
    html += QStringLiteral("<li class=\"eds-c-pagination__item\"><span aria-current=\"page\">%1"
                           "</span></li>\n")
                .arg(page);
    if (page < pages) {
        const QString next = pageOfWord(query, QStringLiteral("loop")) == page
            ? todaySearchPath(query, 1)
            : todaySearchPath(query, page + 1);
        html += QStringLiteral("<li class=\"eds-c-pagination__item eds-c-pagination__item--next\">"
                               "<a class=\"eds-c-pagination__link\" rel=\"next\" href=\"%1\">"
                               "<span>Next</span></a></li>\n")
                    .arg(esc(next));
    }
    html += QStringLiteral("</ul></nav>\n</main>\n");
    return html + siteFooter();
}

QString queryOf(const QUrl &url)
{
    QString raw = QUrlQuery(url).queryItemValue(QStringLiteral("query"), QUrl::PrettyDecoded);
    raw.replace(u'+', u' ');
    return QUrl::fromPercentEncoding(raw.toUtf8()).trimmed();
}

} // namespace

int pageCount(const QString &query)
{
    static const QRegularExpression pages(QStringLiteral("(?:^|\\s)pages-(\\d+)(?:\\s|$)"));
    const QRegularExpressionMatch m = pages.match(query);
    if (m.hasMatch())
        return qBound(1, m.captured(1).toInt(), 60);
    return 3;
}

int resultsOnPage(const QString &query, int page)
{
    const int pages = pageCount(query);
    if (page < 1 || page > pages)
        return 0;
    return page == pages ? ResultsOnLastPage : ResultsPerPage;
}

QString resultTitle(const QString &query, int page, int index)
{
    static const QStringList openings { QStringLiteral("A study of"), QStringLiteral("Advances in"),
        QStringLiteral("On the limits of"), QStringLiteral("Modelling"),
        QStringLiteral("Measuring"), QStringLiteral("Scalable methods for") };
    static const QStringList endings { QStringLiteral("in practice"),
        QStringLiteral("for large systems"), QStringLiteral("& related problems"),
        QStringLiteral("at low temperature"), QStringLiteral("under uncertainty") };
    const int number = (page - 1) * ResultsPerPage + index + 1;
    QString subject = query.isEmpty() ? QStringLiteral("everything") : query;
    return QStringLiteral("%1 %2 %3: result %4")
        .arg(openings.at(number % openings.size()), subject, endings.at(number % endings.size()),
            QString::number(number));
}

QString resultPdfPath(const QString &query, int page, int index)
{
    if (index == PreviewOnlyPosition)
        return {};
    return pdfPathOf(resultDoi(query, page, index));
}

QString searchPath(const QString &query, int page)
{
    if (page <= 1)
        return QStringLiteral("/search?query=") + queryForLink(query);
    return QStringLiteral("/search/page/%1?query=").arg(page) + queryForLink(query);
}

int todayPageCount(const QString &query)
{
    static const QRegularExpression pages(QStringLiteral("(?:^|\\s)pages-(\\d+)(?:\\s|$)"));
    const QRegularExpressionMatch m = pages.match(query);
    if (m.hasMatch())
        return qBound(1, m.captured(1).toInt(), 1000);
    return 3;
}

int todayResultsOnPage(const QString &query, int page)
{
    const int pages = todayPageCount(query);
    if (page < 1 || page > pages)
        return 0;
    return page == pages && !fullPages(query) ? TodayResultsOnLastPage : TodayResultsPerPage;
}

TodayResult todayResult(const QString &query, int page, int index)
{
    TodayResult result;
    result.title = todayTitleParts(query, page, index).join(u' ');
    result.doi = todayDoi(query, page, index);
    result.kind = result.doi.isEmpty() ? QString() : todayKindOf(query, index);
    return result;
}

QList<TodayResult> todayEntries(const QString &query, int page)
{
    QList<TodayResult> entries;
    for (int i = 0; i < todayResultsOnPage(query, page); ++i) {
        TodayResult result = todayResult(query, page, i);
        if (!result.doi.isEmpty())
            entries.append(std::move(result));
    }
    return entries;
}

QString todaySearchPath(const QString &query, int page)
{
    QString path = QStringLiteral("/search?new-search=true&query=") + queryForLink(query);
    if (page > 1)
        path += QStringLiteral("&page=%1").arg(page);
    return path;
}

QString pdfPathForDoi(const QString &doi)
{
    return pdfPathOf(doi);
}

std::optional<QString> page(const QString &pathAndQuery)
{
    const QUrl url = pathAndQuery.startsWith(u'/')
        ? QUrl(QStringLiteral("http://site") + pathAndQuery)
        : QUrl(pathAndQuery);
    const QString path = url.path(QUrl::FullyEncoded);
    if (path == QLatin1String("/"))
        return homePage();
    if (path == QLatin1String("/search")) {
        const QUrlQuery query(url);
        if (query.queryItemValue(QStringLiteral("new-search")) == u"true") {
            const QString number = query.queryItemValue(QStringLiteral("page"));
            return todaySearchPage(queryOf(url), number.isEmpty() ? 1 : number.toInt(),
                query.queryItemValue(QStringLiteral("hop")));
        }
        return searchPage(queryOf(url), 1, false);
    }
    if (path == QLatin1String("/search/scripted"))
        return searchPage(queryOf(url), 1, true);
    static const QRegularExpression paged(QStringLiteral("^/search/page/(\\d+)$"));
    if (const QRegularExpressionMatch m = paged.match(path); m.hasMatch())
        return searchPage(queryOf(url), m.captured(1).toInt(), false);
    if (path == QLatin1String("/book/") + BookDoi)
        return bookPage();
    for (const QString &kind : { QStringLiteral("article"), QStringLiteral("chapter") }) {
        const QString prefix = u'/' + kind + u'/';
        if (path.startsWith(prefix) && path.size() > prefix.size())
            return entryPage(kind, QUrl::fromPercentEncoding(path.mid(prefix.size()).toUtf8()));
    }
    if (path == QLatin1String("/frame/ad"))
        return QStringLiteral("<!DOCTYPE html><html><head><title>Ad</title></head><body>"
                              "<p>Your advertisement here</p></body></html>\n");
    return std::nullopt;
}

std::optional<QByteArray> pdf(const QString &path)
{
    if (!path.startsWith(QLatin1String("/content/pdf/")) || !path.endsWith(QLatin1String(".pdf")))
        return std::nullopt;
    return FixtureServer::patternBytes(0, pdfSizeOf(path));
}

void install(FixtureServer &server)
{
    using Response = FixtureServer::Response;
    auto pageHandler = [](const FixtureServer::Request &r) {
        const QString target = QString::fromUtf8(r.target);
        if (const std::optional<QString> html = page(target))
            return Response::ok(html->toUtf8(), "text/html; charset=utf-8");
        return Response::status(404, "Not Found", "<html><body>not found</body></html>");
    };
    server.route("/", pageHandler);
    // Today's pages that answer badly, slowly or never completely.
    auto answers = std::make_shared<QHash<QByteArray, int>>();
    server.route("/search", [pageHandler, answers](const FixtureServer::Request &r) {
        const QUrl url(QStringLiteral("http://site") + QString::fromUtf8(r.target));
        const QUrlQuery query(url);
        if (query.queryItemValue(QStringLiteral("new-search")) != u"true")
            return pageHandler(r);
        const QString words = queryOf(url);
        const QString number = query.queryItemValue(QStringLiteral("page"));
        const int page = number.isEmpty() ? 1 : number.toInt();
        if (pageOfWord(words, QStringLiteral("busy")) == page && ++(*answers)[r.target] <= 2)
            return Response::status(503, "Service Unavailable",
                "<html><body><h1>Service Unavailable</h1></body></html>");
        if (pageOfWord(words, QStringLiteral("broken")) == page)
            return Response::status(500, "Internal Server Error",
                "<html><body><h1>Internal Server Error</h1></body></html>");
        Response response = pageHandler(r);
        if (pageOfWord(words, QStringLiteral("slow")) == page)
            response.delayBeforeHeadersMs = 1500;
        // Each new opening of the page that opens itself comes a little later.
        if (pageOfWord(words, QStringLiteral("hop")) == page
            && query.hasQueryItem(QStringLiteral("hop")))
            response.delayBeforeHeadersMs = 200;
        return response;
    });
    // A picture that never arrives: the headers, then silence.
    server.routePrefix("/hang/", [](const FixtureServer::Request &) {
        Response response = Response::ok({}, "image/png");
        response.announcedLength = 1000;
        response.stallAfterHeaders = true;
        return response;
    });
    for (const QByteArray &prefix : { QByteArray("/search/"), QByteArray("/article/"),
             QByteArray("/chapter/"), QByteArray("/book/"), QByteArray("/frame/") })
        server.routePrefix(prefix, pageHandler);
    server.routePrefix("/content/pdf/", [](const FixtureServer::Request &r) {
        const QString path = QString::fromUtf8(r.path);
        if (!pdf(path))
            return Response::status(404, "Not Found", "<html><body>not found</body></html>");
        return Response::pattern(pdfSizeOf(path), "application/pdf");
    });
}

} // namespace LiteratureSite
