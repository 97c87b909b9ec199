#pragma once

#include "download/DownloadItem.h"

#include <QString>

// The tooltip of a row of the download list: what happened to it, in the
// program's own words, with the technical detail after them. Empty for a row
// with nothing to explain.
QString DownloadRowToolTip(const DownloadItem &item);

// A failed row's reason (DownloadItem::FailureReason) explained: a Chinese
// lead text, then the recorded detail in brackets, e.g.
// "服务器上没有这个文件（HTTP 404）". A reason already in Chinese is the
// program's own text and stays as it is; an empty one gives "下载失败".
QString ExplainFailureReason(const QString &reason);
