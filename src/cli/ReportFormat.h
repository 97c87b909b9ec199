#pragma once

#include "common/Citations.h"

#include <QString>

#include <optional>

// --format of the commands' reports: tsv (the lines of today's report) or a
// citation file.
enum class ReportFormat { Tsv, Ris, BibTeX, Csv };

// "tsv", "ris", "bibtex" or "csv" (exactly); nullopt for anything else.
std::optional<ReportFormat> ReportFormatFromName(const QString &name);

// The citation format of a report format other than tsv.
CitationFormat CitationFormatOf(ReportFormat format);

// The usage error of an unknown name.
inline const QString kReportFormatError
    = QStringLiteral("--format must be tsv, ris, bibtex or csv");
