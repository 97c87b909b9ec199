#pragma once

#include "download/DownloadWindowState.h"

#include <QObject>
#include <QTimer>

class Clock;
class DownloadList;
class MultiConnectionTransfer;
class NoticeSounds;
class SingleConnectionTransfer;
class UserDialogs;
struct DownloadOptions;

// Turns the download list into transfers. It has no queue of its own: each
// pass takes the first waiting rows from the top of the list. Timer_Down runs the scheduling passes
// and is the on/off switch of downloading; Timer1 runs the watch passes. A row
// the server asked to come back to later (DownloadItem::NotBefore) is passed
// over until then, and a tick of Timer_Down after it takes the row.
class DownloadScheduler : public QObject
{
    Q_OBJECT
public:
    DownloadScheduler(DownloadList &list, DownloadOptions &options, DownloadWindowState &state,
        Clock &clock, SingleConnectionTransfer &single, MultiConnectionTransfer *multi,
        UserDialogs &dialogs, NoticeSounds *sounds, QObject *parent = nullptr);

    DownloadWindowState &state() { return m_state; }
    const DownloadWindowState &state() const { return m_state; }

    // Starts the watch timer; the window does this when it opens. The
    // interval between files also counts from this moment.
    void open();

    // "开始下载": switches Timer_Down on.
    void start();
    // "停止下载": cancels every transfer and fails the rows being downloaded.
    void stop();
    // "切换": method 2 becomes 1 and anything else becomes 2; the connection
    // count shows "1". Running transfers go on.
    void switchMethod();

    bool isRunning() const { return m_timerDown.isActive(); }
    // Menu entry "开始下载" enabled, and the running indicator shown.
    bool startEntryEnabled() const { return m_startEntryEnabled; }
    bool indicatorVisible() const { return m_indicatorVisible; }
    // Downloads count as active: the scheduler runs, the single connection
    // executes, or a multi-connection transfer exists.
    bool downloadsActive() const;

    void schedulingPass();
    void watchPass();

    QTimer &Timer_Down() { return m_timerDown; }
    QTimer &Timer1() { return m_timer1; }

Q_SIGNALS:
    void runningChanged(bool running);
    void counterLine(const QString &text); // status-bar panel 4
    void scrollToRow(int row);
    // Stop unchecked auto-start and automatic re-download, or the method
    // switch changed method and connection count: the window updates controls.
    void optionsChanged();
    // The list is finished and the scheduler is off (the command line quits).
    void listFinished();

private:
    void setRunning(bool on);
    bool intervalAllows() const;
    // Prepares waiting rows from the top and answers the first one that needs
    // a transfer, or -1. Rows whose file exists under the skip policy are
    // marked on the way.
    int takeNextRow(bool createFolders);
    void afterTransfer();

    DownloadList &m_list;
    DownloadOptions &m_options;
    Clock &m_clock;
    SingleConnectionTransfer &m_single;
    MultiConnectionTransfer *m_multi;
    UserDialogs &m_dialogs;
    NoticeSounds *m_sounds;
    DownloadWindowState &m_state;
    QTimer m_timerDown;
    QTimer m_timer1;
    bool m_startEntryEnabled = true;
    bool m_indicatorVisible = false;
    bool m_passQueued = false;
};
