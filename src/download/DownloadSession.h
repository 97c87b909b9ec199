#pragma once

#include "download/DownloadList.h"
#include "download/DownloadListStore.h"
#include "download/DownloadOptions.h"
#include "download/DownloadWindowState.h"
#include "download/TransferRateMeter.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

class AppPaths;
class Clock;
class CookieJar;
class CurlInternetTransfer;
class DownloadScheduler;
class MultiConnectionTransfer;
class NoticeSounds;
class SingleConnectionTransfer;
class SoundPlayer;
class UserDialogs;
struct AppValues;
struct InputLine;

// What adding addresses to the list did.
struct AddedAddresses
{
    int added = 0; // new waiting rows
    int alreadyListed = 0; // keys the list holds already: not added again
    int skipped = 0; // lines that give no download address
    bool noFolder = false; // no save folder was given: nothing was added

    // The message that tells the user about lines skipped and addresses
    // already listed; empty when everything was added.
    QString message() const;
};

// Everything one download window owns: the list, the options its controls
// stand for, both transfer methods and the scheduler, wired together. The
// window and the command-line front end each hold one.
class DownloadSession : public QObject
{
    Q_OBJECT
public:
    DownloadSession(Clock &clock, UserDialogs &dialogs, const AppPaths &paths, SoundPlayer &player,
        CookieJar *jar = nullptr, QObject *parent = nullptr);
    ~DownloadSession() override;

    DownloadList &list() { return m_list; }
    DownloadOptions &options() { return m_options; }
    DownloadWindowState &state() { return m_state; }
    DownloadScheduler &scheduler() { return *m_scheduler; }
    SingleConnectionTransfer &single() { return *m_single; }
    MultiConnectionTransfer &multi() { return *m_multi; }
    CurlInternetTransfer &inet() { return *m_inet; }
    NoticeSounds &sounds() { return *m_sounds; }

    // The window's opening: the stored options are read and handed to the
    // shared values, which from now on follow the method (the method switch
    // "切换" changes both); the watch timer starts. Parts of cut downloads
    // older than a week go from the save folder and the rows' folders.
    void open(AppValues &shared);
    // The options dialog was confirmed with `chosenMethod` (1, 2, or 0 for
    // none): its values take effect at once.
    void takeConfirmedOptions(int chosenMethod);
    // "开始下载" waits while the scheduler runs, unless the list is finished.
    bool startEntryEnabled() const;

    // Adds the addresses of a text (the add-addresses dialog, a paste, a
    // drop) as waiting rows, one line each, read as the command line's
    // --input reads them; blank lines are passed over, lines that give no
    // download address are counted as skipped. DOI lines become addresses on
    // `site`. `saveFolder` is asked only when some line gives an address; an
    // empty answer adds nothing. A key already in the list is not added again.
    AddedAddresses addInputText(
        const QString &text, const std::function<QString()> &saveFolder, const QUrl &site);
    AddedAddresses addInputLines(const QList<InputLine> &lines,
        const std::function<QString()> &saveFolder, const QUrl &site);

    // Closing the download window. Step 1 of every close: the same-name
    // policy and the method are written, even when the close is refused.
    void storeChoices();
    // Downloads run or the list is not finished: closing asks first.
    bool busy() const;
    // The close box or "关闭本下载窗口": writes the choices, then, when busy,
    // asks "正在下载文件或者下载没有完成，要强制关闭窗口吗？". False when the
    // user answered No: the window stays and nothing else happens.
    bool confirmClose();
    // The window goes (after confirmClose, or when the program ends): the
    // timers stop, every download stops as "停止下载" does, and the position
    // of the connection count is written.
    void end();

    // The list as the next window is to find it, kept as the window or the
    // program closes and before the transfers stop (rows being downloaded
    // are kept as waiting). A list with rows that are not finished (waiting,
    // being downloaded, failed) is saved; a finished or empty one leaves no
    // saved list. A saved list this session never offered back (its window
    // was never shown) stays, with this list's new rows after its own. False,
    // with the reason, when the file could not be written.
    bool keepListForNextTime(QString *error = nullptr);
    // Once, when the window is first shown: the question that offers a saved
    // list back ("上次的下载列表还有N项未完成，是否恢复？"), or empty when there
    // is nothing to offer; *error gets the reason when the saved list cannot
    // be read. Empty on every later call.
    QString savedListQuestion(QString *error = nullptr);
    // The user's answer to savedListQuestion(): Yes puts the saved rows back
    // ahead of the rows already there (keys the list holds are dropped), No
    // deletes the saved list.
    bool answerSavedList(bool restore, QString *error = nullptr);
    DownloadListStore &listStore() { return m_store; }

    // Panels 5 and 6 while downloads run: called every 500 ms by a timer that
    // runs only then (starting with the scheduler or a transfer, stopping
    // when both are idle, which empties the two panels).
    void showTransferRate();
    bool transferRateShown() const { return m_rateTimer.isActive(); }

Q_SIGNALS:
    // Status-bar panels: 2 current file, 3 transfer state, 4 counters,
    // 5 total speed, 6 time left.
    void panelText(int panel, const QString &text);
    // Options changed outside the window's controls: the method switch, a
    // stop (which unchecks two), a confirmed options dialog.
    void optionsChanged();
    // A 429 or 503 answer of either method: the row waits for its next try,
    // or gave up (see DownloadRetries.h).
    void retryNotice(const QString &address, const QString &text);

private:
    void watchTransferRate();

    Clock &m_clock;
    DownloadList m_list;
    DownloadOptions m_options;
    DownloadWindowState m_state;
    UserDialogs &m_dialogs;
    AppValues *m_shared = nullptr;
    std::unique_ptr<NoticeSounds> m_sounds;
    std::unique_ptr<CurlInternetTransfer> m_inet;
    std::unique_ptr<SingleConnectionTransfer> m_single;
    std::unique_ptr<MultiConnectionTransfer> m_multi;
    std::unique_ptr<DownloadScheduler> m_scheduler;
    DownloadListStore m_store;
    // The saved list was offered back (or there was none when asked).
    bool m_savedListSettled = false;
    TransferRateMeter m_rate;
    QTimer m_rateTimer;
};
