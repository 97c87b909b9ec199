#include "DownloadItemJson.h"

namespace {
const QString kKey = QStringLiteral("key");
const QString kName = QStringLiteral("name");
const QString kType = QStringLiteral("type");
const QString kSize = QStringLiteral("size");
const QString kReceived = QStringLiteral("received");
const QString kPercent = QStringLiteral("percent");
const QString kFolder = QStringLiteral("folder");
const QString kDoi = QStringLiteral("doi");
const QString kKind = QStringLiteral("kind");
const QString kReferer = QStringLiteral("referer");
const QString kStatusCode = QStringLiteral("statusCode");
const QString kFailureReason = QStringLiteral("failureReason");
const QString kReplaceableFile = QStringLiteral("replaceableFile");
} // namespace

QJsonObject DownloadItemToJson(const DownloadItem &item)
{
    return QJsonObject {
        { kKey, item.Key },
        { kName, item.Name },
        { kType, item.Type },
        { kSize, item.Size },
        { kReceived, item.Received },
        { kPercent, item.Percent },
        { kFolder, item.Folder },
        { kReferer, item.Referer },
        { kDoi, item.Doi },
        { kKind, item.Kind },
        { kStatusCode, item.StatusCode },
        { kFailureReason, item.FailureReason },
        { kReplaceableFile, item.ReplaceableFile },
    };
}

DownloadItem DownloadItemFromJson(const QJsonObject &json)
{
    DownloadItem item;
    item.Key = json.value(kKey).toString();
    item.Name = json.value(kName).toString();
    item.Type = json.value(kType).toString();
    item.Size = json.value(kSize).toString();
    item.Received = json.value(kReceived).toString();
    item.Percent = json.value(kPercent).toString();
    item.Folder = json.value(kFolder).toString();
    item.Referer = json.value(kReferer).toString();
    item.Doi = json.value(kDoi).toString();
    item.Kind = json.value(kKind).toString();
    item.StatusCode = json.value(kStatusCode).toInt(Status::Waiting);
    item.FailureReason = json.value(kFailureReason).toString();
    item.ReplaceableFile = json.value(kReplaceableFile).toString();
    RestoreSavedRowState(item);
    return item;
}

void RestoreSavedRowState(DownloadItem &item)
{
    switch (item.StatusCode) {
    case Status::Waiting:
    case Status::Completed:
    case Status::Failed:
        return;
    case Status::Downloading:
        item.StatusCode = Status::Waiting;
        item.Size = StatusText::WaitingAgain;
        item.Received.clear();
        item.Percent.clear();
        item.FailureReason.clear();
        return;
    default:
        item.StatusCode = Status::Waiting;
        return;
    }
}
