#pragma once

#include "common/Citations.h"

class DownloadList;
class UserDialogs;
struct DownloadItem;

// One download row as a citation: its first address as the link, its
// referring page as the source page, its state as a word, and its saved file
// when the row completed with a file (not when it was skipped as too large).
CitationRow CitationRowOf(const DownloadItem &item);
QList<CitationRow> CitationRowsOf(const DownloadList &list);

// Writes the list's citations to the file (".ris", ".bib" or ".csv"; ".ris"
// added to a name without an extension), whole or not at all.
CitationExport WriteCitations(const DownloadList &list, const QString &path);

// "导出引用..." of the download window: asks for the file, writes it and says
// "导出引用完毕：N条" (see ExportCitations). True when the file was written.
bool ExportCitations(const DownloadList &list, UserDialogs &dialogs);
