#pragma once

#include <QByteArray>
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

// The HTML of a page, or nothing when the address is not one of the site's
// pages (PDFs are not pages). `pathAndQuery` starts with "/"; a full address
// ("http://host:port/search?...") is accepted as well.
std::optional<QString> page(const QString &pathAndQuery);
// Bytes of the PDF at the path, or nothing.
std::optional<QByteArray> pdf(const QString &path);

// Serves the pages and PDFs above.
void install(FixtureServer &server);

} // namespace LiteratureSite
