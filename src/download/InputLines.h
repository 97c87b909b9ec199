#pragma once

#include "DownloadItem.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// One line of address input, as the command line's --input and the
// add-addresses dialog read it:
//   address[<TAB>title][<TAB>referring page]
// The address part may hold up to three alternatives joined by "|", or be a
// DOI ("10.1007/...", "doi:10...", "https://doi.org/10...").
struct InputLine
{
    QString Key; // the address part as written (trimmed); the row's key
    QString Title; // may be empty; inner tabs that are not a referring page stay
    QString Referer; // the line's own referring page, or empty
    QString Doi; // when the address part is a DOI (DoiFromInputText), else empty
};

// Reads one line. Any Unicode white space around the line, the address and the
// title goes (CR, tab, NBSP, U+3000, ...). A last tab field that is an http(s)
// address without spaces or control characters is the referring page; any
// other tab belongs to the title. Nullopt for a line with no address part.
std::optional<InputLine> ParseInputLine(const QString &line);

// Every line of a text (split at line feeds; a leading byte order mark is
// dropped), lines without an address skipped.
QList<InputLine> ParseInputLines(const QString &text);

// True when every "|" alternative of a row's key is an absolute http or https
// address with a host: something a transfer can fetch. A line of plain text
// gives a key too, but no address.
bool IsDownloadAddress(const QString &key);

// The waiting row a line adds to a download list in `folder`: the type from
// the first alternative's address, the name from the title, else from that
// address ("download" when both clean to nothing), the line's own referring
// page, else `defaultReferer`. A PDF address /content/pdf/<DOI>.pdf gives the
// row its DOI. A DOI line becomes the PDF address of the DOI on the site whose
// origin (scheme, host, port) is `site`, type "pdf", named from its title or
// else from the DOI with "/" turned into "_"; the row carries the DOI. Nothing
// is asked of doi.org. Without a usable site a DOI line keeps its text as key.
DownloadItem DownloadItemForInputLine(
    const InputLine &line, const QString &folder, const QString &defaultReferer, const QUrl &site);
