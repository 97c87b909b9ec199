#pragma once

#include "platform/Document.h"

#include <QString>

#include <optional>

// The next link of a result page: an anchor whose title attribute, trimmed and
// lower-cased, is "next" and whose class name is exactly "next".
bool isNextLink(const Document &document, Element anchor);
// The first next link in document order, or a null handle.
Element findNextLink(const Document &document);

// The number of the page shown, read from the first next link whose address
// has the form ".../page/N?query=...": N - 1. 0 when no next link tells it.
int 提取当前页码数(const Document *document);

// A number as the user may type it: optional spaces and sign, digits with an
// optional decimal part and exponent. Nothing for any other text.
std::optional<double> parseNumericText(const QString &text);
// The whole-number part, rounded down and kept within the int range.
int wholeNumberPart(double value);
