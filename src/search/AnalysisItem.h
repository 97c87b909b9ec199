#pragma once

#include <QString>

// One row of the to-analyse list: an entry taken from a result page.
struct AnalysisItem
{
    QString Title; // as on the page; line breaks stay until the hand-off
    QString Type; // file type text, "pdf" from the extraction
    QString Status; // "", "正在分析", "成功" or "失败"
    QString Folder; // save folder chosen when the entry was added, or empty
    QString TypeColumn; // the "TYPE" column, always empty
    QString Link; // PDF or book download address; the row's key
    QString SourcePage; // address of the result page the entry came from
    QString Doi; // the entry's DOI when its links tell it, else empty
    QString Kind; // content kind ("article", "chapter", ...; ContentKindName), or empty
    bool Selected = false; // the list view's selection mark
};

namespace AnalysisStatus {
inline const QString NotAnalysed;
inline const QString Analysing = QStringLiteral("正在分析");
inline const QString Succeeded = QStringLiteral("成功");
inline const QString Failed = QStringLiteral("失败");
} // namespace AnalysisStatus
