#pragma once

#include "search/HarvestEnd.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>

class AnalysisList;
class Browser;
class Clock;
class Document;
struct NextPage;
class SaveFolderSource;
class UserDialogs;

// "加入本页到列表" and "加入全部到列表": taking the entries of the page shown,
// or of this page and the pages after it, following each page's next link.
//
// A run goes page by page: take the page's entries; end when it has no next
// link, when its number reaches the page-number limit, or when the next link
// leads to a page the run has taken already; else follow the link, wait until
// the browser reports the new top-level document complete (60 s at most),
// pause, and take that page. A page the server answers with 429 or 503 is
// asked again after 5 s and then 20 s. Every wait returns to the event loop
// and reads the injected clock, so the window stays usable and nothing spins;
// a stop ends the run at once in every state. Every run ends for one reason
// (runEnded).
class Harvester : public QObject
{
    Q_OBJECT
public:
    static constexpr double LoadTimeoutSeconds = 60.0;
    static constexpr double DefaultPauseSeconds = 5.0;

    // What a run started by startRun() takes.
    enum class Scope {
        ThisPage, // the first page only
        AllPages // the first page and the pages after it
    };

    Harvester(Browser &browser, AnalysisList &list, SaveFolderSource &folders, UserDialogs &dialogs,
        const Clock &clock, QObject *parent = nullptr);

    // "加入本页到列表": asks for the folder first when entries take it on
    // extraction, then takes the entries of the page shown. Done when
    // thisPageAdded() is emitted; a page that does not finish loading within
    // 60 s is stopped and taken as far as it came.
    void addThisPage();

    // One step as the window's run once made it: takes the entries of the
    // page shown, follows its next link, waits until the new page has loaded
    // (at most 60 s) and pauses. done(true) when the next page was opened and
    // has loaded, or a stop cut the waits short; done(false) when the page
    // has no next link, the load failed or timed out, or the page could not be
    // read or clicked. One at a time, and not during a run.
    void 下一页(std::function<void(bool)> done);

    // "加入全部到列表" and, during a run, its stop. limitText is Text1: a text
    // that is no number shows "最大页码数必须是数字！" and nothing else happens.
    void addAllClicked(const QString &limitText);
    // A run without the window's button (the command line): opens firstUrl,
    // or starts on the page shown when it is empty, and takes the pages the
    // scope says, under the page limit set below. False when a run is active.
    bool startRun(const QString &firstUrl, Scope scope);

    // Check1 "加入到最大页码数："; read at every page of a run.
    void setPageLimitEnabled(bool enabled) { m_limitEnabled = enabled; }
    bool pageLimitEnabled() const { return m_limitEnabled; }
    // The limit for startRun() (addAllClicked() takes it from Text1).
    void setPageLimit(int limit) { m_limit = limit; }
    int pageLimit() const { return m_limit; }
    // The pause after each next page (the command line may change it).
    void setPauseSeconds(double seconds) { m_pauseSeconds = seconds; }
    // How often the waits look at the clock.
    void setPollIntervalMs(int ms) { m_poll.setInterval(ms); }

    // StopHarvest: a run ends at once (the page being loaded or read is not
    // taken, and its load is stopped); also when the window closes.
    void requestStop();
    bool stopRequested() const { return m_stop; }
    bool isRunning() const { return m_running; }
    // PageLoading: set when a next link is followed, cleared when the browser
    // reports the top-level document complete.
    bool pageLoading() const { return m_pageLoading; }

    // What the current or last run has done.
    int pagesTaken() const { return m_pagesTaken; }
    // Rows the run added to the list (entries already listed are not counted).
    int entriesTaken() const { return m_entriesTaken; }
    // Pages on which no rule found an entry.
    int pagesWithoutEntries() const { return m_pagesWithoutEntries; }
    QString progressText() const;
    // Why the last run ended, and the whole line that says it (empty before
    // the first run has ended).
    HarvestEnd endReason() const { return m_endReason; }
    QString endMessage() const { return m_endMessage; }

Q_SIGNALS:
    // Caption "停止加入全部" and red while true; "加入全部到列表" after.
    void runningChanged(bool running);
    // Text1 is disabled while a run starts and enabled again after it or on
    // the stop click.
    void limitEditableChanged(bool editable);
    // The to-analyse list's columns should fit their contents.
    void columnsNeedFitting();
    void thisPageAdded();
    // A run took one more page (also at the start of a run, with zeros).
    void progressChanged(int pagesTaken, int entriesTaken, int pagesWithoutEntries);
    // The server asked the run to wait before the page is asked again:
    // "服务器繁忙，5 秒后重试（HTTP 503）".
    void retryWaiting(const QString &text);
    // The run has ended; message is endMessage().
    void runEnded(HarvestEnd reason, const QString &message);

private:
    enum class Phase {
        Idle,
        Loading, // a page is being opened
        RetryWaiting, // the server asked to come back later
        Pausing, // the pause after a page has loaded
        Reading // the page's document is being read
    };
    enum class Mode { None, Run, Step };

    void beginRun(const QString &firstUrl, Scope scope);
    void enterPhase(Phase phase);
    void openPage(const QString &address);
    void checkWait();
    void loadEnded();
    void afterLoad();
    void readPage();
    void pageRead(Document *document);
    void takeEntries(const Document *document);
    bool followNextPage(Document &document, const NextPage &next);
    void failPage(const QString &detail);
    void endRun(HarvestEnd reason, const QString &detail = {});
    void finishStep(bool opened);
    void checkThisPage();
    void onRendererCrashed(const QString &detail);

    Browser &m_browser;
    AnalysisList &m_list;
    SaveFolderSource &m_folders;
    UserDialogs &m_dialogs;
    const Clock &m_clock;

    QTimer m_poll;
    Phase m_phase = Phase::Idle;
    Mode m_mode = Mode::None;
    Scope m_scope = Scope::AllPages;
    bool m_running = false;
    bool m_stop = false;
    bool m_pageLoading = false;
    bool m_limitEnabled = false;
    int m_limit = 10;
    double m_pauseSeconds = DefaultPauseSeconds;
    double m_phaseStart = 0.0;
    bool m_pauseAfterLoad = false;
    double m_retryDelay = 0.0;
    int m_tries = 0; // answers to the page being opened
    QString m_pageAddress; // the page being opened
    QSet<QString> m_takenPages;
    int m_pagesTaken = 0;
    int m_entriesTaken = 0;
    int m_pagesWithoutEntries = 0;
    HarvestEnd m_endReason = HarvestEnd::LastPage;
    QString m_endMessage;
    quint64 m_step = 0; // tells late callbacks of an ended wait from the current one
    std::function<void(bool)> m_stepDone;

    // "加入本页到列表" waiting for its document.
    bool m_thisPagePending = false;
    bool m_thisPageStopped = false;
    double m_thisPageStart = 0.0;
    quint64 m_thisPageRequest = 0;
};
