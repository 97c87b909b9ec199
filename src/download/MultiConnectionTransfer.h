#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>

class Clock;
class CookieJar;
class Downloader;
class DownloadList;
class NoticeSounds;
struct DownloadItem;
struct DownloadOptions;
struct DownloadWindowState;

// Download method 2, the window side: up to six connection slots, each served
// by its own Downloader while its transfer runs. A slot is busy exactly while
// its Downloader exists.
class MultiConnectionTransfer : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxSlots = 6;

    MultiConnectionTransfer(DownloadList &list, const DownloadOptions &options,
        DownloadWindowState &state, Clock &clock, NoticeSounds *sounds, CookieJar *jar = nullptr,
        QObject *parent = nullptr);
    ~MultiConnectionTransfer() override;

    bool inUse(int slot) const;
    int rowOf(int slot) const;
    double startedAt(int slot) const;
    // Number of Downloaders that exist (busy slots).
    int instanceCount() const;

    // Starts a connection in slot k for a row, into the given path.
    void 多线程下载(int slot, int row, const QString &url, const QString &path);
    // Destroys the slot's Downloader; its transfer stops where it is.
    void closeSlot(int slot);
    void closeAll();

    void setAutoLoginHook(std::function<void()> hook) { m_autoLogin = std::move(hook); }
    Downloader *downloader(int slot) const;

Q_SIGNALS:
    void panelText(int panel, const QString &text);
    void scrollToRow(int row);
    // The connection of a slot ended (completed or failed); the slot is free.
    void connectionEnded(int slot);
    // An answer 429 or 503: the row waits for its next try, or gave up; text
    // says which (RetryText).
    void retryNotice(const QString &address, const QString &text);

private:
    struct Slot
    {
        QPointer<Downloader> downloader;
        int row = -1; // where the row stood; its Id finds it if it moved
        quint64 id = 0;
        QString url; // the address asked
        QString path; // where the row's file goes
        double started = 0;
    };

    void onProgress(int slot, qint64 current, qint64 max);
    void onError(int slot);
    void onComplete(int slot, qint64 max);
    void runAutoLogin();
    int rowIndex(int slot) const;
    void release(int slot);

    DownloadList &m_list;
    const DownloadOptions &m_options;
    DownloadWindowState &m_state;
    Clock &m_clock;
    NoticeSounds *m_sounds;
    CookieJar *m_jar;
    std::function<void()> m_autoLogin;
    std::array<Slot, MaxSlots + 1> m_slots; // index 0 is never used
};
