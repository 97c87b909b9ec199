#pragma once

class DownloadList;

// Where an analysis run hands its rows: the download window's list, and the
// step that reveals that window.
class DownloadTarget
{
public:
    virtual ~DownloadTarget() = default;
    // The download list, creating the download window hidden when it does not
    // exist yet.
    virtual DownloadList &downloadList() = 0;
    // "显示下载窗口": when the download window is loaded, redraws its list and
    // shows it; with `restore` a minimised window is put back to normal.
    virtual void 显示下载窗口(bool restore) = 0;
};
