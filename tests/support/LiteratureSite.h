#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class FixtureServer;

// The literature site of the fixtures: result pages laid out like the real
// site's, generated from the address, so a test, the command line or a demo
// can walk the whole road on loopback.
//
//   /                              home page with a search form
//   /search?query=WORDS            result page 1 of a search
//   /search/page/N?query=WORDS     result page N; pages past the last say
//                                  "no results" and hold no result list
//   /search/scripted?query=WORDS   page 1 whose next link changes the page
//                                  by script instead of loading a new one
//   /article/<DOI>, /chapter/<DOI> an entry's own page (with a reference list)
//   /book/<DOI>                    a book page: table of contents as an OL,
//                                  "Download book PDF" with the publication
//   /content/pdf/<DOI>.pdf         a PDF (size taken from the DOI)
//   /frame/ad                      the advertisement frame of result pages
//
// A search has 3 result pages, or N when a query word is "pages-N" (1 to 60).
// Each full page holds 10 results in <ol id="results-list">, the last page 7;
// each result has a title link, authors, a snippet and "Download PDF (n KB)"
// except the 4th of every page, a preview-only entry without a PDF. Result
// pages carry a next link (class and title "next") except the last.
//
// Today's layout, for the same searches with "new-search=true":
//
//   /search?new-search=true&query=WORDS          page 1
//   /search?new-search=true&query=WORDS&page=N   page N
//
// Cards (li data-test="search-result-item") whose title links go to
// /article/<DOI>, /chapter/<DOI>, /book/<DOI>, /referenceworkentry/<DOI> or
// /protocol/<DOI>, most with a cover picture whose link shows no text, one card
// per page (the 7th) linking to a journal without a DOI; no "Download PDF"
// anchors; a pagination link with rel="next" and page=N+1, except on the
// last page. 3 pages, or N for "pages-N" (1 to 1000); 20 cards a page, the
// last page 11; with the query word "full" every card has a DOI and the last
// page holds 20 too. Query words change one page P of such a search:
//   busy-P    page P answers 503 twice (per address), then as usual
//   broken-P  page P always answers 500
//   slow-P    page P answers after 1.5 s
//   hang-P    page P holds a picture that never arrives
//   hop-P     page P opens itself again by script, over and over
//   loop-P    page P's next link leads back to page 1
namespace LiteratureSite {

inline constexpr int ResultsPerPage = 10;
inline constexpr int ResultsOnLastPage = 7;
inline constexpr int PreviewOnlyPosition = 3; // 0-based, on every page
inline constexpr int BookChapters = 8;
inline const QString BookDoi = QStringLiteral("10.1007/978-3-540-77001-2");
inline const QString BookTitle = QStringLiteral("Handbook of Fixture Science");

// Pages of a search for `query`.
int pageCount(const QString &query);
// Results on one page (0 past the last page).
int resultsOnPage(const QString &query, int page);
// Title and PDF path of the result at 0-based position `index` of page `page`.
QString resultTitle(const QString &query, int page, int index);
QString resultPdfPath(const QString &query, int page, int index);
// Address form of a search page: "/search?query=a+b" or "/search/page/N?query=a+b".
QString searchPath(const QString &query, int page = 1);

// Today's layout.
inline constexpr int TodayResultsPerPage = 20;
inline constexpr int TodayResultsOnLastPage = 11;
inline constexpr int TodayNoDoiPosition = 6; // 0-based: the journal card
// Pages of a search in today's layout.
int todayPageCount(const QString &query);
int todayResultsOnPage(const QString &query, int page);
// One card of today's layout: its title (as the entry takes it), DOI and
// content kind; an empty DOI for the card without one.
struct TodayResult
{
    QString title;
    QString doi;
    QString kind;
};
TodayResult todayResult(const QString &query, int page, int index);
// The entries a page gives: its cards with a DOI, in order.
QList<TodayResult> todayEntries(const QString &query, int page);
// "/search?new-search=true&query=a+b" and "...&page=N" for N > 1.
QString todaySearchPath(const QString &query, int page = 1);
// "/content/pdf/10.1007%2F....pdf"
QString pdfPathForDoi(const QString &doi);

// The HTML of a page, or nothing when the address is not one of the site's
// pages (PDFs are not pages). `pathAndQuery` starts with "/"; a full address
// ("http://host:port/search?...") is accepted as well.
std::optional<QString> page(const QString &pathAndQuery);
// Bytes of the PDF at the path, or nothing.
std::optional<QByteArray> pdf(const QString &path);

// Serves the pages and PDFs above.
void install(FixtureServer &server);

} // namespace LiteratureSite
