#pragma once

#include "platform/Document.h"

#include <QString>

class AnalysisList;

// Taking the entries of a result page into the to-analyse list. Every entry
// gets type "pdf", an empty TYPE column, the page's address as its source
// page and the given save folder. A missing document, a page of another site
// or one still loading simply yields nothing.

// What a document snapshot must hold for the extraction.
DocumentScope extractionScope();

// Layout 1: the LI items of the element with id "results-list". Each LI with
// at least two anchors gives its first anchor's text as the title and the
// address of its first anchor whose text starts with "download pdf" as the
// link. Returns the entries found (duplicates of listed links included) and
// refreshes the counter when the list element exists.
int ExtractFromResultsList(const Document *document, AnalysisList &list, const QString &saveFolder);

// Layout 2: the LI items of the first OL (a book's table of contents), then
// at most one whole-book entry from a "download book" anchor that names its
// publication. Returns the entries found; refreshes the counter when the page
// has an OL.
int ExtractFromOrderedList(const Document *document, AnalysisList &list, const QString &saveFolder);

// Today's pages: the anchors whose address has the document's origin and
// whose path names content (/article/<DOI>, /chapter/<DOI>,
// /referenceworkentry/<DOI>, /protocol/<DOI>, /book/<DOI>). One entry per
// DOI (compared without regard to case), in the order of its first anchor;
// its title is the text, trimmed and with white space squeezed, of the first
// of its anchors that shows any (a cover picture's link shows none), and a
// DOI whose anchors show no text gives no entry. The link is the DOI's PDF
// address at the document's origin; the entry keeps its DOI and content
// kind. Returns the entries found (duplicates of listed links included) and
// refreshes the counter.
int ExtractFromContentLinks(
    const Document *document, AnalysisList &list, const QString &saveFolder);

// Layout 1; layout 2 when layout 1 found nothing; the content links when
// neither found anything. Returns the entries found by the rule that found
// any (duplicates of listed links included), 0 when none did.
int AddPageEntries(const Document *document, AnalysisList &list, const QString &saveFolder);
