#pragma once

#include "DownloadItem.h"

#include <QJsonObject>

// A row of the download list as a saved list holds it: every field, under its
// own key. Reading ignores unknown keys and gives missing or mistyped ones
// their default, so later fields need no new file version.
QJsonObject DownloadItemToJson(const DownloadItem &item);
// Reads a saved row, then applies RestoreSavedRowState.
DownloadItem DownloadItemFromJson(const QJsonObject &json);

// The state a saved row comes back in. A row saved while it was being
// downloaded is waiting again ("等待重新下载", no progress), since no transfer
// carries it on; a status code that is none of the four is waiting as well.
void RestoreSavedRowState(DownloadItem &item);
