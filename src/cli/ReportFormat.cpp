#include "ReportFormat.h"

std::optional<ReportFormat> ReportFormatFromName(const QString &name)
{
    if (name == QStringLiteral("tsv"))
        return ReportFormat::Tsv;
    if (name == QStringLiteral("ris"))
        return ReportFormat::Ris;
    if (name == QStringLiteral("bibtex"))
        return ReportFormat::BibTeX;
    if (name == QStringLiteral("csv"))
        return ReportFormat::Csv;
    return std::nullopt;
}

CitationFormat CitationFormatOf(ReportFormat format)
{
    switch (format) {
    case ReportFormat::BibTeX:
        return CitationFormat::BibTeX;
    case ReportFormat::Csv:
        return CitationFormat::Csv;
    case ReportFormat::Tsv:
    case ReportFormat::Ris:
        break;
    }
    return CitationFormat::Ris;
}
