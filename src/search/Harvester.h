#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class AnalysisList;
class Browser;
class Clock;
class SaveFolderSource;
class UserDialogs;

// "加入本页到列表" and "加入全部到列表": taking the entries of the page shown,
// or of this page and the pages after it, following each page's next link.
//
// A run goes page by page: take the page's entries, click its next link, wait
// until the browser reports the new top-level document complete (60 s at
// most), pause 5 s, check the page-number limit, and go on. Every wait returns
// to the event loop and reads the injected clock, so the window stays usable,
// the stop request is seen during both waits, and nothing spins.
class Harvester : public QObject
{
    Q_OBJECT
public:
    static constexpr double LoadTimeoutSeconds = 60.0;
    static constexpr double DefaultPauseSeconds = 5.0;

    Harvester(Browser &browser, AnalysisList &list, SaveFolderSource &folders, UserDialogs &dialogs,
        const Clock &clock, QObject *parent = nullptr);

    // "加入本页到列表": asks for the folder first when entries take it on
    // extraction, then takes the entries of the page shown. Done when
    // thisPageAdded() is emitted.
    void addThisPage();

    // One step of a run: takes the entries of the page shown, follows its next
    // link, waits until the new page has loaded (at most 60 s) and pauses.
    // done(true) when the next page was opened and has loaded, or a stop cut
    // the waits short; done(false) when the page has no next link, the load
    // timed out, or the page could not be read or clicked. One at a time.
    void 下一页(std::function<void(bool)> done);

    // "加入全部到列表" and, during a run, its stop. limitText is Text1: a text
    // that is no number shows "最大页码数必须是数字！" and nothing else happens.
    void addAllClicked(const QString &limitText);
    // Check1 "加入到最大页码数："; read at every page of a run.
    void setPageLimitEnabled(bool enabled) { m_limitEnabled = enabled; }
    bool pageLimitEnabled() const { return m_limitEnabled; }
    // The pause after each next page (the command line may change it).
    void setPauseSeconds(double seconds) { m_pauseSeconds = seconds; }
    // How often the waits look at the clock.
    void setPollIntervalMs(int ms) { m_poll.setInterval(ms); }

    // StopHarvest: the run ends at its next check (also when the window closes).
    void requestStop();
    bool stopRequested() const { return m_stop; }
    bool isRunning() const { return m_running; }
    // PageLoading: set when a next link is followed, cleared when the browser
    // reports the top-level document complete.
    bool pageLoading() const { return m_pageLoading; }
    // Pages whose entries the current or last run took.
    int pagesTaken() const { return m_pagesTaken; }

Q_SIGNALS:
    // Caption "停止加入全部" and red while true; "加入全部到列表" after.
    void runningChanged(bool running);
    // Text1 is disabled while a run starts and enabled again after it or on
    // the stop click.
    void limitEditableChanged(bool editable);
    // The to-analyse list's columns should fit their contents.
    void columnsNeedFitting();
    void thisPageAdded();
    // One more page's entries were taken by the run.
    void pageTaken(int pagesTaken);
    void runFinished();

private:
    enum class Phase { Idle, Reading, WaitingForLoad, Pausing, CheckingLimit };

    void startRun();
    void checkWait();
    void finishNextPage(bool opened);
    void afterNextPage();
    void nextRound();
    void endRun();

    Browser &m_browser;
    AnalysisList &m_list;
    SaveFolderSource &m_folders;
    UserDialogs &m_dialogs;
    const Clock &m_clock;

    QTimer m_poll;
    Phase m_phase = Phase::Idle;
    bool m_running = false;
    bool m_stop = false;
    bool m_pageLoading = false;
    bool m_limitEnabled = false;
    int m_limit = 10;
    double m_pauseSeconds = DefaultPauseSeconds;
    double m_waitStart = 0.0;
    int m_pagesTaken = 0;
    quint64 m_run = 0; // tells a run's late callbacks from the next run's
    quint64 m_step = 0; // the same for the steps of 下一页
    std::function<void(bool)> m_nextPageDone;
};
