#include "search/AnalysisCitations.h"

#include "search/AnalysisList.h"

QList<CitationRow> CitationRowsOf(const AnalysisList &list)
{
    QList<CitationRow> rows;
    rows.reserve(list.size());
    for (int row = 0; row < list.size(); ++row) {
        const AnalysisItem &item = list.at(row);
        CitationRow citation;
        citation.Title = item.Title;
        citation.Doi = item.Doi;
        citation.Kind = item.Kind;
        citation.Link = item.Link;
        citation.SourcePage = item.SourcePage;
        rows.append(std::move(citation));
    }
    return rows;
}

CitationExport WriteCitations(const AnalysisList &list, const QString &path)
{
    return WriteCitationFile(CitationRowsOf(list), path);
}

bool ExportCitations(const AnalysisList &list, UserDialogs &dialogs)
{
    return ExportCitations(CitationRowsOf(list), dialogs);
}
