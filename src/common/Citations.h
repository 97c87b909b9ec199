#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class UserDialogs;

// Citation files of a list of papers, for reference managers (RIS, BibTeX)
// and spreadsheets (CSV). Both lists turn their rows into CitationRow; the
// writers know nothing of either list.

// One paper.
struct CitationRow
{
    QString Title;
    QString Doi; // empty when not known
    QString Kind; // "article", "chapter", ... (ContentKindName), or empty
    QString Link; // the PDF (or book) download address
    QString SourcePage; // the result page the entry was found on
    QString File; // the saved file, absolute, when the download finished; else empty
    QString Status; // "waiting", "downloading", "completed", "failed"; empty when not a download
};

enum class CitationFormat { Ris, BibTeX, Csv };

// The format a file name asks for by its extension (any case): ".bib"
// BibTeX, ".csv" CSV, anything else RIS.
CitationFormat CitationFormatOfPath(const QString &path);
// The file a chosen name stands for: a name without an extension gets ".ris".
QString CitationFilePath(const QString &chosen);

// https://doi.org/<DOI>, the DOI percent-encoded where an address needs it
// ("/" stays). Empty for an empty DOI.
QString DoiResolverAddress(const QString &doi);

// RIS, UTF-8, lines ending in CR LF: per row TY (JOUR for an article; CHAP
// for a chapter, reference-work entry or protocol; BOOK for a book; GEN
// otherwise), TI, DO when the DOI is known, UR (the DOI's address, else the
// source page), L1 (the saved file as a file:// URL when there is one, else
// the link), ER. Line breaks and other control characters in a value become
// one space.
QByteArray RisBytes(const QList<CitationRow> &rows);

// BibTeX, UTF-8: per row @article, @incollection, @book or @misc (kinds as
// in RIS) keyed "doi:<DOI>", or "quillmoor<position>" (from 1) without one;
// a key met before (letters in any case) gets "-2", "-3", ... Fields title
// (BibTeXTitle), doi and url (the DOI's address, else the link) as they are,
// and file = {:<path>:PDF} for a saved file.
QByteArray BibTeXBytes(const QList<CitationRow> &rows);
// A title as a BibTeX value: { } % & # _ $ get a backslash, "\" is written
// $\backslash$, "~" \~{} and "^" \^{}; line breaks become one space.
QString BibTeXTitle(const QString &title);

// CSV (RFC 4180) for spreadsheets: a UTF-8 byte-order mark, the header
// title,doi,kind,link,source_page,file,status, one record per row, CR LF
// after every record; a field holding a quote, comma, CR or LF is quoted
// with its quotes doubled.
QByteArray CsvBytes(const QList<CitationRow> &rows);

QByteArray CitationBytes(const QList<CitationRow> &rows, CitationFormat format);

struct CitationExport
{
    int count = 0; // records written
    QString path; // the file written (the chosen name, ".ris" added when it had none)
    QString error; // why nothing was written; empty on success
    bool ok() const { return error.isEmpty(); }
};

// Writes the rows to a file in the format of its extension (CitationFilePath
// and CitationFormatOfPath). The file is replaced whole or not at all.
CitationExport WriteCitationFile(const QList<CitationRow> &rows, const QString &chosenPath);

// The save dialog's filter: RIS, BibTeX and CSV.
inline const QString CitationFileFilter = QStringLiteral("RIS|*.ris|BibTeX|*.bib|CSV|*.csv");
// "导出引用完毕：N条".
QString CitationExportDoneText(int count);

// "导出引用...": nothing for no rows; else asks for the file, writes it and
// says "导出引用完毕：N条" (information icon), or shows why it could not be
// written (error icon; an earlier file of that name stays as it was). A
// cancelled dialog writes nothing. True when the file was written.
bool ExportCitations(const QList<CitationRow> &rows, UserDialogs &dialogs);
