#include "download/DownloadCitations.h"

#include "download/DownloadList.h"

#include <QFileInfo>

namespace {

QString stateWord(int statusCode)
{
    switch (statusCode) {
    case Status::Waiting:
        return QStringLiteral("waiting");
    case Status::Downloading:
        return QStringLiteral("downloading");
    case Status::Completed:
        return QStringLiteral("completed");
    case Status::Failed:
        return QStringLiteral("failed");
    }
    return {};
}

} // namespace

CitationRow CitationRowOf(const DownloadItem &item)
{
    CitationRow citation;
    citation.Title = item.Name;
    citation.Doi = item.Doi;
    citation.Kind = item.Kind;
    citation.Link = DownloadList::选择url(item.Key);
    citation.SourcePage = item.Referer;
    citation.Status = stateWord(item.StatusCode);
    if (item.StatusCode == Status::Completed && item.Percent != StatusText::LargeFileSkipped)
        citation.File = QFileInfo(item.savedFilePath()).absoluteFilePath();
    return citation;
}

QList<CitationRow> CitationRowsOf(const DownloadList &list)
{
    QList<CitationRow> rows;
    rows.reserve(list.size());
    for (int row = 0; row < list.size(); ++row)
        rows.append(CitationRowOf(list.at(row)));
    return rows;
}

CitationExport WriteCitations(const DownloadList &list, const QString &path)
{
    return WriteCitationFile(CitationRowsOf(list), path);
}

bool ExportCitations(const DownloadList &list, UserDialogs &dialogs)
{
    return ExportCitations(CitationRowsOf(list), dialogs);
}
