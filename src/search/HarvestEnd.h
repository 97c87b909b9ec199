#pragma once

#include <QMetaType>
#include <QString>

// Why a harvest run ended. Every run ends for exactly one of these.
enum class HarvestEnd {
    LastPage, // the page taken had no next link
    PageLimit, // the page taken reached the page-number limit
    PageRepeated, // the next link led to a page this run had taken already
    OnePage, // a run over one page only took it
    Stopped, // the stop button, the window closing, SIGINT or SIGTERM
    FirstPageFailed, // the first page could not be opened or read
    PageFailed, // a later page could not be opened or read
    RendererCrashed, // the page's renderer process died
};

Q_DECLARE_METATYPE(HarvestEnd)

// The program's short words for the reason, e.g. "已到最后一页".
QString HarvestEndText(HarvestEnd reason);
// True for the reasons that mean the run did not get to its end.
bool HarvestEndIsFailure(HarvestEnd reason);
// The whole line for the reason: its words, then "：" and the detail when
// there is one (the page's address, the HTTP status or load error).
QString HarvestEndMessage(HarvestEnd reason, const QString &detail);

// What a run has done so far, for a status panel:
// "已加入 3 页、57 条，1 页没有条目".
QString HarvestProgressText(int pagesTaken, int entriesTaken, int pagesWithoutEntries);
