#pragma once

#include <QObject>
#include <QString>

class AnalysisList;
class DownloadTarget;
class SaveFolderSource;
class UserDialogs;

// Which rows a run visits: "分析未分析项", "分析失败项", "分析选中项", "分析全部".
enum class AnalysisFilter { NotAnalysed, Failed, Selected, All };

// "开始分析": hands rows of the to-analyse list to the download list, each as
// a waiting download named after its title (or its address's file name), and
// marks them "成功". The run works through the rows in slices and returns to
// the event loop between them, so the window stays usable and the stop
// buttons take effect after the row being handed off.
class AnalysisRun : public QObject
{
    Q_OBJECT
public:
    // Label11 at the start of each run.
    static inline const QString BusyText = QStringLiteral("正在分析,请稍候...");

    enum class StartChoice {
        None, // the list is empty: the message was shown
        Started, // no row is selected: a run over all rows started
        ChooseFilter // rows are selected: pop up the menu "加入"
    };

    AnalysisRun(AnalysisList &list, SaveFolderSource &folders, UserDialogs &dialogs,
        DownloadTarget &target, QObject *parent = nullptr);

    // "开始分析" click.
    StartChoice startClicked();
    // Starts a run over the rows the filter picks. Ignored while a run is
    // active.
    void AnalyseItems(AnalysisFilter filter);
    // One row to the download list; sets the row's status.
    void HandOffItem(int row);

    // "停止分析", "停止", and the window closing: AnalysisIdle becomes true and
    // the run ends after its current row.
    void requestStop() { m_idle = true; }
    // AnalysisIdle: no run is active (or a stop was requested).
    bool isIdle() const { return m_idle; }
    bool isRunning() const { return m_running; }

Q_SIGNALS:
    // Show the progress panel with BusyText.
    void started();
    // Rows visited of the rows the run covers.
    void progress(int visited, int total);
    // Hide the progress panel.
    void finished();

private:
    void begin();
    void workSlice();
    void end();

    AnalysisList &m_list;
    SaveFolderSource &m_folders;
    UserDialogs &m_dialogs;
    DownloadTarget &m_target;

    bool m_idle = true;
    bool m_running = false;
    AnalysisFilter m_filter = AnalysisFilter::All;
    int m_next = 0;
    int m_total = 0;
};
