#pragma once

#include <QString>

class DownloadList;
struct DownloadItem;

// Deletes the file at the row's saved-file path, if there is one.
void DeleteSavedFile(const DownloadItem &row);

// Puts a row back into the queue: its file goes, its progress is cleared, the
// placeholder type "xxx" replaces a web-page type when asked (so the skip
// policy does not take the old page for the file), and the next attempt starts
// with another alternative address.
void RequeueRow(DownloadList &list, int row, bool placeholderType);

// "重新下载" → "出错项": every failed row. Returns the number re-queued.
int RequeueFailedRows(DownloadList &list);
// "重新下载" → "网页类型文件(HTM/HTML/xml)项": every completed or failed row
// whose result was a web page. Returns the number re-queued.
int RequeueWebPageRows(DownloadList &list);

// Type is htm or html (any case); with xml counted when asked.
bool isWebPageType(const QString &type, bool countXml);
