#include "AnalysisItemJson.h"

namespace {
const QString kTitle = QStringLiteral("title");
const QString kType = QStringLiteral("type");
const QString kStatus = QStringLiteral("status");
const QString kFolder = QStringLiteral("folder");
const QString kTypeColumn = QStringLiteral("typeColumn");
const QString kLink = QStringLiteral("link");
const QString kDoi = QStringLiteral("doi");
const QString kKind = QStringLiteral("kind");
const QString kSourcePage = QStringLiteral("sourcePage");
const QString kSelected = QStringLiteral("selected");
} // namespace

QJsonObject AnalysisItemToJson(const AnalysisItem &item)
{
    return QJsonObject {
        { kTitle, item.Title },
        { kType, item.Type },
        { kStatus, item.Status },
        { kFolder, item.Folder },
        { kTypeColumn, item.TypeColumn },
        { kLink, item.Link },
        { kSourcePage, item.SourcePage },
        { kDoi, item.Doi },
        { kKind, item.Kind },
        { kSelected, item.Selected },
    };
}

AnalysisItem AnalysisItemFromJson(const QJsonObject &json)
{
    AnalysisItem item;
    item.Title = json.value(kTitle).toString();
    item.Type = json.value(kType).toString();
    item.Status = json.value(kStatus).toString();
    if (item.Status == AnalysisStatus::Analysing)
        item.Status = AnalysisStatus::NotAnalysed;
    item.Folder = json.value(kFolder).toString();
    item.TypeColumn = json.value(kTypeColumn).toString();
    item.Link = json.value(kLink).toString();
    item.SourcePage = json.value(kSourcePage).toString();
    item.Doi = json.value(kDoi).toString();
    item.Kind = json.value(kKind).toString();
    item.Selected = json.value(kSelected).toBool();
    return item;
}
