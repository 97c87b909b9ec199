#pragma once

#include "platform/Document.h"

#include <QString>

#include <optional>

// The next link of a result page: an anchor whose title attribute, trimmed and
// lower-cased, is "next" and whose class name is exactly "next".
bool isNextLink(const Document &document, Element anchor);
// The first next link in document order, or a null handle.
Element findNextLink(const Document &document);

// Today's pages: the address of the first A or LINK element whose rel
// attribute holds the token "next" (any case) and whose address, resolved
// against the document, is an http(s) one. Empty when there is none.
QString relNextAddress(const Document &document);

// Where a page's next link leads: the next link above (followed by a click)
// or, when a page has none, the rel="next" address (opened by navigating).
struct NextPage
{
    Element anchor; // the next link to click, or null
    QString address; // where it leads (the anchor's address, or the rel="next" one)

    bool isNull() const { return anchor.isNull() && address.isEmpty(); }
};
NextPage findNextPage(const Document &document);

// The number of the page shown, read from the first next link whose address
// has the form ".../page/N?query=...": N - 1. When no next link tells it,
// from the rel="next" address: its query parameter "page", when that is a
// whole number N, gives N - 1. 0 when neither tells it.
int 提取当前页码数(const Document *document);

// A number as the user may type it: optional spaces and sign, digits with an
// optional decimal part and exponent. Nothing for any other text.
std::optional<double> parseNumericText(const QString &text);
// The whole-number part, rounded down and kept within the int range.
int wholeNumberPart(double value);
