#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class Browser;
class Clock;
class Document;
class DownloadSession;
struct DownloadOptions;
class Element;
class UserDialogs;

// What the login panel holds while the download window is open. Nothing of
// it is ever written anywhere: the address, the account and above all the
// password are lost when the window closes.
struct SiteLoginOptions
{
    QString address; // Text1
    QString account; // Text2, used trimmed
    QString password; // Text3, used as typed: spaces may belong to it
    bool ipLogin = false; // Option5; Option4 (account login) otherwise
    bool autoLogin = false; // Check2 "自动登录"
    bool autoRefresh = false; // Check1 "自动刷新(每分钟)"
    // Hosts besides the address's own that the user agreed to send the
    // account and password to (an institution's single sign-on page).
    QStringList allowedHosts;
};

// The site login of the download window, without widgets: "浏览", "测试登录"
// (SiteLogin), the automatic login after a download that came back as a web
// page, "网页登录", "关闭(隐藏)" and the one-minute refresh (Timer2).
//
// The account and password go only to the host of the login address and to
// hosts the user agreed to: when the page holding the form (after redirects)
// or the address the form is sent to is on another host, "测试登录" asks, and
// a silent login stops and says why in the status bar. A form that would put
// them into an address (GET) is never submitted: the browser would keep that
// address in its history and disk cache.
//
// Every wait returns to the event loop and reads the injected clock: the page
// wait and the submit wait end after 10 s at most, a login ends with a 5 s
// pause. The window stays usable throughout, and nothing spins.
class SiteLogin : public QObject
{
    Q_OBJECT
public:
    static constexpr double PageWaitSeconds = 10.0;
    static constexpr double FinalWaitSeconds = 5.0;
    static constexpr double RefreshSeconds = 60.0;
    // A page without the login's fields is read again this far apart, for
    // as long as the page wait lasts.
    static constexpr double RereadSeconds = 0.5;

    // What one login run did, for the command line and the tests.
    struct Outcome
    {
        bool started = false; // false: missing data, or a run was going on
        bool pageLoaded = false; // the page was there within the page wait
        int fieldsFilled = 0;
        bool submitted = false; // a submit input or "submitip" was clicked
        QString finalUrl; // the page the browser shows at the end
        // Why nothing was filled in or sent although the page had a form.
        enum class Refusal {
            None,
            OtherHost, // the form is on, or goes to, `otherHost`, not agreed to
            PasswordInAddress, // the form is sent with GET
        };
        Refusal refusal = Refusal::None;
        QString otherHost;
    };

    SiteLogin(
        Browser &browser, const Clock &clock, UserDialogs &dialogs, QObject *parent = nullptr);

    // The panel's values; the window keeps them in step with its controls.
    SiteLoginOptions &options() { return m_options; }
    const SiteLoginOptions &options() const { return m_options; }

    // Makes the session's transfers run a silent login after a download that
    // came back as a web page while "自动登录" is checked; the transfers read
    // the box through the session's options, kept in step from here on.
    void attach(DownloadSession &session);

    // SiteLogin(showMessages): "测试登录" calls it with messages, the
    // transfers without. Missing data shows its message (only with messages)
    // and unchecks "自动登录"; a call while a run is going on returns at once.
    // finished() follows every call that started a run; answers whether it did.
    bool run(bool showMessages);
    // The message for login data that is missing ("必须先设置登录网址！", ...),
    // or empty when a login can run with these values.
    static QString missingDataMessage(const SiteLoginOptions &options);
    // The host of an address or a host name as the checks above compare it:
    // lower case, without port, scheme or a final dot.
    static QString hostOf(const QString &address);
    // The question "测试登录" asks before the login goes to `host`.
    static QString otherHostQuestion(const QString &host);
    bool isRunning() const { return !m_testLoginEnabled; }
    // Whether a wait is still on the browser (a page to load, a snapshot to
    // come) rather than only on the clock, such as the pause a login ends with.
    bool waitsOnBrowser() const;

    // "浏览": opens the trimmed address and waits for it (10 s at most); an
    // empty address does nothing.
    void browse();

    // "自动登录" checked or unchecked by the user. Checking is refused, with
    // the message, when the data the login needs is missing; answers the
    // state the box must show.
    bool setAutoLoginByUser(bool checked);
    // "自动刷新(每分钟)": turns Timer2 on or off.
    void setAutoRefresh(bool checked);
    // "网页登录": when neither automatic option is on and a row is selected,
    // shows what the site returns for the row's first address.
    void showPanel(const QString &selectedRowKey);
    // "关闭(隐藏)": the page is only kept when it is refreshed.
    void hidePanel();
    // The window closes: Timer2 stops, nothing more is loaded.
    void shutDown();

    // Timer2 looks at the clock at this interval and reloads once a minute.
    QTimer &Timer2() { return m_timer2; }
    bool refreshActive() const { return m_timer2.isActive(); }
    // How often the waits look at the clock.
    void setPollIntervalMs(int ms) { m_poll.setInterval(ms); }
    // How the refresh reloads the page; by default the address shown is opened again.
    void setReloader(std::function<void()> reload) { m_reload = std::move(reload); }

    // Set just before a navigation or a click on the page, cleared when the
    // browser reports the top-level document complete.
    bool LoginPageLoading() const { return m_loginPageLoading; }
    bool testLoginEnabled() const { return m_testLoginEnabled; }
    bool browseEnabled() const { return m_browseEnabled; }

Q_SIGNALS:
    // Command5 "测试登录" is disabled while a run goes on.
    void testLoginEnabledChanged(bool enabled);
    // Command2 "浏览" is disabled while its page loads.
    void browseEnabledChanged(bool enabled);
    // "自动登录" was switched off because the login data is incomplete.
    void autoLoginChanged(bool checked);
    // A text for the third status bar panel: a page title, or why a silent
    // login stopped.
    void statusTitle(const QString &title);
    void browseFinished();
    void finished(const SiteLogin::Outcome &outcome);

private:
    struct Wait
    {
        quint64 id;
        double start;
        double limit;
        std::function<bool()> satisfied; // null: wait out the whole limit
        std::function<void()> then;
    };

    bool checkData(bool showMessages);
    void setAutoLogin(bool checked);
    void startWait(double limit, std::function<bool()> satisfied, std::function<void()> then);
    void checkWaits();
    bool pageSettled() const;
    void openAddress(std::function<void()> then);
    void readPage();
    void fillAndSubmit(Document &document);
    bool hasLoginFields(const Document &document) const;
    bool mayReceiveLogin(const Document &document, Element button);
    bool isAllowed(const QString &host) const;
    void refuse(Outcome::Refusal refusal, const QString &host, const QString &message);
    void endRun();
    void setTestLoginEnabled(bool enabled);
    void setBrowseEnabled(bool enabled);
    void refreshTick();
    void navigate(const QString &url);

    Browser &m_browser;
    const Clock &m_clock;
    UserDialogs &m_dialogs;
    SiteLoginOptions m_options;
    DownloadOptions *m_downloadOptions = nullptr;

    QTimer m_poll;
    QTimer m_timer2;
    QList<Wait> m_waits;
    quint64 m_nextWaitId = 0;
    quint64 m_run = 0;
    double m_lastRefresh = 0;
    std::function<void()> m_reload;
    bool m_loginPageLoading = false;
    bool m_testLoginEnabled = true;
    bool m_browseEnabled = true;
    bool m_shutDown = false;
    bool m_showMessages = false;
    double m_firstRead = -1; // when the page was first read in this run
    Outcome m_outcome;
};

Q_DECLARE_METATYPE(SiteLogin::Outcome)
