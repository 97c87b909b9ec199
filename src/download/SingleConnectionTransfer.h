#pragma once

#include "common/DownloadPart.h"
#include "platform/curl/LibcurlSafeDialogs.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class Clock;
class CurlInternetTransfer;
class DownloadList;
class NoticeSounds;
class UserDialogs;
struct DownloadItem;
struct DownloadOptions;
struct DownloadWindowState;

// Download method 1: one row at a time through the internet transfer
// component. The transfer is a state machine driven by the component's
// signals and a one-second watchdog; every outcome ends in the same closing
// step.
class SingleConnectionTransfer : public QObject
{
    Q_OBJECT
public:
    SingleConnectionTransfer(DownloadList &list, const DownloadOptions &options,
        DownloadWindowState &state, CurlInternetTransfer &inet, Clock &clock, UserDialogs &dialogs,
        NoticeSounds *sounds, QObject *parent = nullptr);
    ~SingleConnectionTransfer() override;

    // Entry point for the scheduler. A busy component puts the row back as
    // "等待重新下载"; otherwise the transfer starts and runs on by itself.
    void Inet下载当前文件(int row);

    // True from the start of a transfer to the end of its closing step.
    bool isRunning() const { return m_phase != Phase::Idle; }
    // The component is executing a request.
    bool stillExecuting() const;

    // The user stopped downloading: the scheduler has cleared TransferBusy and
    // cancelled the component; a receiving transfer ends as "下载取消".
    void stopByUser();

    // Applies the 30-second header wait and the 120-second stall. Runs every
    // second on its own; tests call it after moving the clock.
    void checkTimeouts();

    // Called when a web page came back where a file was expected and the
    // auto-login option is on.
    void setAutoLoginHook(std::function<void()> hook) { m_autoLogin = std::move(hook); }

    // The Referer line sent with a request.
    static QString refererHeader(const QString &referer, const QString &url);
    // Whether an announced or received byte count is above the limit in MB.
    static bool aboveSizeLimit(qint64 bytes, double maxFileSizeMB);
    // Integer part of received / size × 100, followed by "%".
    static QString percentText(qint64 received, qint64 size);

Q_SIGNALS:
    // Status-bar panel texts: 2 "正在下载:"/"完成下载:" + name, 3 the state text.
    void panelText(int panel, const QString &text);
    // The transfer ended (after its closing step); result true when the row
    // completed or was skipped.
    void transferEnded(int row, bool result);
    // An answer 429 or 503: the row waits for its next try, or gave up; text
    // says which (RetryText).
    void retryNotice(const QString &address, const QString &text);

private:
    enum class Phase { Idle, WaitingHeaders, Receiving, FetchingWhole, Closing };

    void onHeaders();
    void onReadyRead();
    void onFinished();
    void onWholeBody(const QByteArray &body);
    void onStateChanged(int state);

    void afterHeaderWait();
    void drainBody();
    bool openTarget();
    void finishReceiving();
    bool placeFile();
    // A 429 or 503 answer puts the row back to wait, or fails it after its
    // last try, and the transfer ends. False for any other answer.
    bool retryLater();
    void fail(const QString &sizeText, const QString &reason);
    void closingStep(bool result);
    // Ends the body without placing it: kept as a part when the answer can
    // be continued, else dropped.
    void discardTemp();
    void sendRequest();

    int currentRow() const;
    void editRow(const std::function<void(DownloadItem &)> &change);
    const DownloadItem *row() const;

    DownloadList &m_list;
    const DownloadOptions &m_options;
    DownloadWindowState &m_state;
    CurlInternetTransfer &m_inet;
    Clock &m_clock;
    LibcurlSafeDialogs m_safeDialogs;
    NoticeSounds *m_sounds;
    std::function<void()> m_autoLogin;
    QTimer m_watchdog;

    Phase m_phase = Phase::Idle;
    qint64 m_wholeBuffered = 0;
    int m_row = -1;
    // The row's Id finds it again whatever moved it or changed its key; the
    // address and referring page stay those the transfer started with.
    quint64 m_id = 0;
    QString m_url;
    QString m_referer;
    double m_lastProgress = 0;
    qint64 m_announced = 0;
    qint64 m_written = 0;
    QString m_targetPath;
    QString m_responseType; // type named by a refused answer's media type
    bool m_resumed = false; // the answer continues a kept part
    DownloadPart m_part;
};
