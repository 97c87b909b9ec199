#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The one DOI rule of the program: how a DOI is read from a site address and
// how the PDF address of a DOI is written. A DOI is "10.", a registrant prefix
// of four to nine digits, "/" and a suffix. DOIs compare case-insensitively.

// The DOI in a path as it appears in an address (percent-encoded): the path is
// cut at any "?" or "#", percent-decoded once, and the DOI is the first path
// segment that is "10." and four to nine digits, then "/" and the next
// segment, which must not be empty. Later segments are not part of it.
// Empty when there is none.
QString DoiFromPath(const QString &path);

// What a content link names.
enum class ContentKind { Unknown, Article, Chapter, Book, ReferenceWorkEntry, Protocol };

// "article", "chapter", "book", "referenceworkentry", "protocol"; empty for
// Unknown.
QString ContentKindName(ContentKind kind);
// The kind of one of those names (any case); Unknown for anything else.
ContentKind ContentKindFromName(const QString &name);

struct ContentLink
{
    QString Doi;
    ContentKind Kind = ContentKind::Unknown;
};

// The DOI and kind of an address whose path is /article/, /chapter/,
// /referenceworkentry/, /protocol/ or /book/ directly followed by a DOI (read
// as DoiFromPath reads it). Only the path is looked at: the caller checks the
// origin.
std::optional<ContentLink> ContentLinkFromUrl(const QUrl &url);

// The DOI of a PDF address /content/pdf/<DOI>.pdf: the rest of the path,
// percent-decoded, without its ".pdf" (here the DOI may hold "/" of its own).
// Empty when the path is not of that form or the rest is no DOI.
QString DoiFromPdfUrl(const QUrl &url);

// <origin>/content/pdf/<DOI>.pdf, where only the scheme, host and port of
// `origin` are used. In the DOI "/" is written %2F, as the site's own PDF
// links are, and "%", "?", "#", space, control and non-ASCII characters are
// percent-encoded (UTF-8); nothing else is. Empty when the DOI is empty or
// the origin has no scheme or host.
QString PdfAddressForDoi(const QUrl &origin, const QString &doi);

// The normal form of a DOI for hashing and comparing: lower case.
QString DoiKey(const QString &doi);
// True when both name the same DOI, in any case. An empty DOI (not known)
// matches nothing, not even another empty one.
bool SameDoi(const QString &a, const QString &b);

// The DOI of an input line's address part: "10.NNNN/..." (a prefix of four to
// nine digits), "doi:10..." or "http(s)://(dx.)doi.org/10..." (any case). The
// DOI is the whole rest of the text, trimmed; in the doi.org form it is
// percent-decoded as every address is. Empty when the text is none of these,
// when the suffix is empty, or when the DOI would hold a control character.
QString DoiFromInputText(const QString &text);
