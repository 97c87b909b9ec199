#pragma once

#include <QString>

class AnalysisList;
class UserDialogs;

// The commands of the menu "清除(&C)" and "导出数据..." on the to-analyse list.
// The clearing commands refuse while an analysis run is active (analysisIdle
// false) with "正在分析，不能清除！", remove the matching rows keeping the order
// of the others, and refresh the entry counter. Each answers whether it ran to
// the end (rows removed or not).

// "清除选中项": rows carrying the selection mark.
bool ClearSelectedRows(AnalysisList &list, UserDialogs &dialogs, bool analysisIdle);
// "清除分析成功项": rows whose status is exactly "成功".
bool ClearSucceededRows(AnalysisList &list, UserDialogs &dialogs, bool analysisIdle);
// "清除标题含指定字符项" / "清除标题不含指定字符项": asks "请输入指定字符："; rows
// whose title contains (does not contain) the answer, letters compared without
// regard to case or width. An empty answer changes nothing.
bool ClearRowsWithTitleText(
    AnalysisList &list, UserDialogs &dialogs, bool analysisIdle, bool containing);
// "清空全部": after "您确定要清空辛辛苦苦搜索的列表数据吗？" is answered yes.
bool ClearAllRows(AnalysisList &list, UserDialogs &dialogs, bool analysisIdle);

// The export text: per row title, "-【", type, "】", status, CR LF.
QString AnalysisExportText(const AnalysisList &list);
// A size in kilobytes as "#,##0.0": 1536 bytes give "1.5", 1572864 "1,536.0".
QString KilobyteText(qint64 bytes);
// "导出数据...": asks for a .txt file, writes the export text in the system
// code page and shows "保存文件完毕：<size>KB". An empty list, a cancelled
// dialog or a failed write end without a message; an existing file is
// replaced only by a complete new one. True when the file was written.
bool ExportAnalysisList(const AnalysisList &list, UserDialogs &dialogs);
