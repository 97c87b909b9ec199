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

// Layout 1, and layout 2 when layout 1 found nothing.
void AddPageEntries(const Document *document, AnalysisList &list, const QString &saveFolder);
