#pragma once

#include "common/Citations.h"

class AnalysisList;
class UserDialogs;

// The to-analyse list as citations: every row in list order, with no file
// and no status.
QList<CitationRow> CitationRowsOf(const AnalysisList &list);

// Writes the list's citations to the file (".ris", ".bib" or ".csv"; ".ris"
// added to a name without an extension), whole or not at all.
CitationExport WriteCitations(const AnalysisList &list, const QString &path);

// "导出引用..." of the search window: asks for the file, writes it and says
// "导出引用完毕：N条" (see ExportCitations). True when the file was written.
bool ExportCitations(const AnalysisList &list, UserDialogs &dialogs);
