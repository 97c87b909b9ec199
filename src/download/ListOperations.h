#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

class DownloadList;
class QRandomGenerator;
struct DownloadItem;

// Deletes the file at the row's saved-file path, if there is one.
void DeleteSavedFile(const DownloadItem &row);

// Notes the file at a completed row's saved-file path as its own earlier file
// (DownloadItem::ReplaceableFile), which the next download may replace. A
// failed row keeps only the note it has (the file of an earlier completion);
// a note of a file that is gone is dropped. Nothing on disk changes.
void NoteEarlierFile(DownloadItem &item);

// Puts a row back into the queue: its progress is cleared, the placeholder
// type "xxx" replaces a web-page type when asked (so the skip policy does not
// take the old page for the file), and the next attempt starts with another
// alternative address. Its file stays until a new body takes its place
// (NoteEarlierFile), so a retry that fails loses nothing.
void RequeueRow(DownloadList &list, int row, bool placeholderType);

// "重新下载" → "出错项": every failed row. Returns the number re-queued.
int RequeueFailedRows(DownloadList &list);
// "重新下载" → "网页类型文件(HTM/HTML/xml)项": every completed or failed row
// whose result was a web page. Returns the number re-queued.
int RequeueWebPageRows(DownloadList &list);

// Type is htm or html (any case); with xml counted when asked.
bool isWebPageType(const QString &type, bool countXml);

// "重新下载" → "选中项": the given rows that are completed or failed. Returns
// the number re-queued.
int RequeueSelectedRows(DownloadList &list, const QList<int> &rows);
// "重新下载" → "重新下载出错项和网页类型文件项": failed rows, and completed
// rows whose result was an htm/html page (xml does not count here).
int RequeueFailedAndWebPageRows(DownloadList &list);
// "重新下载" → "文件大小小于指定数字的项": completed or failed rows whose size
// and received count (each read without ",") are the same number, below the
// limit in bytes. Compared in single precision, as the limit was entered.
int RequeueCompleteRowsBelow(DownloadList &list, float limitBytes);

// "清除" → "选中项": removes the given rows. Returns the number removed.
int RemoveRowsAt(DownloadList &list, const QList<int> &rows);
// "清除" → "全部出错项" / "完成项": removes every row with that status.
int RemoveRowsWithStatus(DownloadList &list, int statusCode);

// "删除文件" → "出错项": failed rows lose their progress texts and their file;
// they stay in the list. Returns the number of rows.
int DeleteFailedRowFiles(DownloadList &list);
// "删除文件" → "网页类型文件(HTM/HTML/xml)项": the same for completed or failed
// rows whose type is htm, html or xml.
int DeleteWebPageRowFiles(DownloadList &list);

// "取消下载选中项": the given waiting rows fail. Returns the number changed.
int CancelWaitingRows(DownloadList &list, const QList<int> &rows);
// "检查文件是否存在": rows without a file at their saved-file path show
// "不存在" as received count. Returns the number of such rows.
int MarkMissingFiles(DownloadList &list);

// Sorts the rows by one column once (rows added later go to the end). In the
// size and received columns, and in the percent column without its "%",
// numbers sort as numbers: empty texts first, then numbers, then other texts.
// Texts compare without regard to case. Equal rows keep their order; the
// texts themselves are not changed.
void SortRowsByColumn(DownloadList &list, int column, Qt::SortOrder order);

// The most rows one shuffle moves.
inline constexpr int ShuffleRoundLimit = 10000;
// A uniform random permutation of the rows. Of a longer list only
// ShuffleRoundLimit rows, drawn uniformly, move to the end in random order;
// the others keep their order at the front.
void ShuffleRows(DownloadList &list, QRandomGenerator &random);

// The exported name list: every row's name (only rows not completed when
// asked) followed by CR LF, in list order.
QString NameListText(const DownloadList &list, bool unfinishedOnly);

struct UrlReplaceResult
{
    int changedRows = 0; // rows whose key or referring page changed
    int keptKeys = 0; // rows whose new key would have repeated another row's
};
// Replaces every occurrence of `find` (text mode: any case, full-width forms
// equal to ASCII) by `replacement` in every row's key and referring page. A
// row whose new key another row would hold as well keeps its key (a row
// whose key did not change wins, else the first row in list order); its
// referring page is still replaced.
UrlReplaceResult ReplaceInUrls(DownloadList &list, const QString &find, const QString &replacement);
