#include "download/SiteLogin.h"

#include "common/TrimSpaces.h"
#include "download/DownloadList.h"
#include "download/DownloadOptions.h"
#include "download/DownloadSession.h"
#include "download/MultiConnectionTransfer.h"
#include "download/SingleConnectionTransfer.h"
#include "platform/Browser.h"
#include "platform/Clock.h"
#include "platform/Document.h"
#include "platform/UserDialogs.h"

#include <QPointer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const QString kBlank = QStringLiteral("about:blank");

// The host of an address, or for one without a host ("javascript:...") its
// scheme, so the question names something.
QString shownHost(const QString &address)
{
    const QString host = SiteLogin::hostOf(address);
    if (!host.isEmpty())
        return host;
    return QUrl(address).scheme() + QLatin1Char(':');
}

bool isAccountField(const QString &lowerName)
{
    return lowerName == QLatin1String("userid") || lowerName == QLatin1String("user")
        || lowerName == QLatin1String("username") || lowerName == QLatin1String("useruid");
}

bool isPasswordField(const QString &lowerName)
{
    return lowerName == QLatin1String("pass") || lowerName == QLatin1String("password")
        || lowerName == QLatin1String("passwd");
}

} // namespace

SiteLogin::SiteLogin(Browser &browser, const Clock &clock, UserDialogs &dialogs, QObject *parent)
    : QObject(parent), m_browser(browser), m_clock(clock), m_dialogs(dialogs)
{
    m_poll.setInterval(100);
    connect(&m_poll, &QTimer::timeout, this, &SiteLogin::checkWaits);
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    m_timer2.setInterval(1000);
    connect(&m_timer2, &QTimer::timeout, this, &SiteLogin::refreshTick);

    connect(&m_browser, &Browser::documentComplete, this, [this] {
        m_loginPageLoading = false;
        // A wait for the page ends now, not at the next look at the clock.
        QTimer::singleShot(0, this, &SiteLogin::checkWaits);
    });
    connect(&m_browser, &Browser::titleChanged, this, [this](const QString &title) {
        if (TrimSpaces(title).toLower() != kBlank)
            Q_EMIT statusTitle(title);
    });
}

QString SiteLogin::missingDataMessage(const SiteLoginOptions &options)
{
    if (TrimSpaces(options.address).isEmpty())
        return QStringLiteral("必须先设置登录网址！");
    if (!options.ipLogin && (TrimSpaces(options.account).isEmpty() || options.password.isEmpty()))
        return QStringLiteral("帐号登录,必须先设置登录帐号和登录密码！");
    return {};
}

QString SiteLogin::hostOf(const QString &address)
{
    QString host = QUrl::fromUserInput(TrimSpaces(address)).host(QUrl::FullyEncoded).toLower();
    if (host.endsWith(u'.'))
        host.chop(1);
    return host;
}

QString SiteLogin::otherHostQuestion(const QString &host)
{
    return QStringLiteral("登录表单在另一个网站（%1）上，要把帐号和密码发送到那里吗？").arg(host);
}

bool SiteLogin::checkData(bool showMessages)
{
    const QString missing = missingDataMessage(m_options);
    if (missing.isEmpty())
        return true;
    if (showMessages)
        m_dialogs.message(missing, UserDialogs::Style::Error);
    // Also for silent calls: an incomplete setup stops triggering logins.
    if (m_options.autoLogin) {
        setAutoLogin(false);
        Q_EMIT autoLoginChanged(false);
    }
    return false;
}

bool SiteLogin::run(bool showMessages)
{
    if (m_shutDown || !checkData(showMessages))
        return false;
    if (!m_testLoginEnabled)
        return false; // a login is already running
    setTestLoginEnabled(false);
    m_showMessages = showMessages;
    ++m_run;
    m_outcome = Outcome();
    m_outcome.started = true;
    m_firstRead = -1;
    openAddress([this] { readPage(); });
    return true;
}

void SiteLogin::browse()
{
    if (m_shutDown || TrimSpaces(m_options.address).isEmpty())
        return;
    openAddress([this] { Q_EMIT browseFinished(); });
}

void SiteLogin::openAddress(std::function<void()> then)
{
    setBrowseEnabled(false);
    navigate(TrimSpaces(m_options.address));
    startWait(
        PageWaitSeconds, [this] { return pageSettled(); },
        [this, then = std::move(then)] {
            setBrowseEnabled(true);
            then();
        });
}

bool SiteLogin::pageSettled() const
{
    return !m_browser.isBusy() && !m_loginPageLoading;
}

void SiteLogin::readPage()
{
    const quint64 run = m_run;
    // A page still loading after the wait is given up: its form is not filled.
    if (m_browser.isBusy()) {
        endRun();
        return;
    }
    m_outcome.pageLoaded = true;
    if (m_firstRead < 0)
        m_firstRead = m_clock.nowSeconds();
    auto answered = std::make_shared<bool>(false);
    DocumentScope scope;
    scope.tags = QStringList { QStringLiteral("INPUT") };
    scope.ids = QStringList { QStringLiteral("submitip") };
    m_browser.requestDocument(
        this,
        [this, run, answered](DocumentPtr document) {
            if (*answered || run != m_run)
                return;
            *answered = true;
            // A form a script builds after the load, or a page the engine
            // is still replacing, shows no fields yet: it is read again
            // every half second while the page wait lasts.
            if ((!document || !hasLoginFields(*document))
                && std::abs(m_clock.nowSeconds() - m_firstRead) < PageWaitSeconds) {
                startWait(RereadSeconds, nullptr, [this, run] {
                    if (run != m_run || m_shutDown)
                        return;
                    // A page that began to load meanwhile is waited for.
                    startWait(
                        PageWaitSeconds, [this] { return pageSettled(); },
                        [this, run] {
                            if (run == m_run && !m_shutDown)
                                readPage();
                        });
                });
                return;
            }
            if (document)
                fillAndSubmit(*document);
            else
                endRun();
        },
        scope);
    // A snapshot that never comes (the page went on loading) ends the run too.
    startWait(
        PageWaitSeconds, [answered] { return *answered; },
        [this, run, answered] {
            if (!*answered && run == m_run) {
                *answered = true;
                endRun();
            }
        });
}

void SiteLogin::fillAndSubmit(Document &document)
{
    Element button;
    if (m_options.ipLogin) {
        button = document.elementById(QStringLiteral("submitip"));
    } else {
        // Planned on the snapshot first: nothing is written into a page
        // before it is clear where the values would go.
        const QString account = TrimSpaces(m_options.account);
        QList<QPair<Element, QString>> values;
        for (const Element input : document.elementsByTagName(QStringLiteral("INPUT"))) {
            const QString name = document.inputName(input).toLower();
            if (isAccountField(name))
                values.append({ input, account });
            if (isPasswordField(name))
                values.append({ input, m_options.password });
            if (document.inputType(input).toLower() == QLatin1String("submit")
                && values.size() > 1) {
                button = input;
                break;
            }
        }
        if (!values.isEmpty() && !mayReceiveLogin(document, button)) {
            if (!m_shutDown)
                endRun();
            return;
        }
        for (const auto &[input, value] : std::as_const(values))
            document.setValue(input, value);
        m_outcome.fieldsFilled = int(values.size());
    }
    if (button.isNull()) {
        endRun();
        return;
    }
    m_loginPageLoading = true;
    if (!document.click(button)) {
        m_loginPageLoading = false;
        endRun();
        return;
    }
    m_outcome.submitted = true;
    startWait(
        PageWaitSeconds, [this] { return pageSettled(); }, [this] { endRun(); });
}

bool SiteLogin::hasLoginFields(const Document &document) const
{
    if (m_options.ipLogin)
        return !document.elementById(QStringLiteral("submitip")).isNull();
    const QList<Element> inputs = document.elementsByTagName(QStringLiteral("INPUT"));
    return std::any_of(inputs.cbegin(), inputs.cend(), [&document](Element input) {
        const QString name = document.inputName(input).toLower();
        return isAccountField(name) || isPasswordField(name);
    });
}

bool SiteLogin::mayReceiveLogin(const Document &document, Element button)
{
    if (!button.isNull() && document.formMethod(button) == QLatin1String("get")) {
        refuse(Outcome::Refusal::PasswordInAddress, {},
            QStringLiteral("登录表单会把密码写在网址里（GET 方式），为保护密码没有提交。"));
        return false;
    }
    QStringList targets { document.url() };
    if (!button.isNull() && !document.formAction(button).isEmpty())
        targets.append(document.formAction(button));
    const QString own = hostOf(m_options.address);
    for (const QString &target : std::as_const(targets)) {
        const QString host = shownHost(target);
        if (host == own || isAllowed(host))
            continue;
        if (!m_showMessages) {
            refuse(Outcome::Refusal::OtherHost, host,
                QStringLiteral("登录表单在另一个网站（%1）上，自动登录没有发送帐号和密码。")
                    .arg(host));
            return false;
        }
        const quint64 run = m_run;
        const bool agreed
            = m_dialogs.message(otherHostQuestion(host), UserDialogs::Style::QuestionYesNo)
            == UserDialogs::Answer::Yes;
        // The window may have closed while the question was open.
        if (run != m_run || m_shutDown)
            return false;
        if (!agreed) {
            m_outcome.refusal = Outcome::Refusal::OtherHost;
            m_outcome.otherHost = host;
            return false;
        }
        m_options.allowedHosts.append(host);
    }
    return true;
}

bool SiteLogin::isAllowed(const QString &host) const
{
    return std::any_of(m_options.allowedHosts.cbegin(), m_options.allowedHosts.cend(),
        [&host](const QString &allowed) { return hostOf(allowed) == host; });
}

void SiteLogin::refuse(Outcome::Refusal refusal, const QString &host, const QString &message)
{
    m_outcome.refusal = refusal;
    m_outcome.otherHost = host;
    if (m_showMessages)
        m_dialogs.message(message, UserDialogs::Style::Error);
    else
        Q_EMIT statusTitle(message);
}

void SiteLogin::endRun()
{
    const quint64 run = m_run;
    startWait(FinalWaitSeconds, nullptr, [this, run] {
        if (run != m_run)
            return;
        m_outcome.finalUrl = m_browser.url();
        setTestLoginEnabled(true);
        Q_EMIT finished(m_outcome);
    });
}

void SiteLogin::startWait(double limit, std::function<bool()> satisfied, std::function<void()> then)
{
    m_waits.append(Wait {
        ++m_nextWaitId, m_clock.nowSeconds(), limit, std::move(satisfied), std::move(then) });
    if (!m_poll.isActive())
        m_poll.start();
    // The condition may hold already (a page from memory, an unchanged page).
    QTimer::singleShot(0, this, &SiteLogin::checkWaits);
}

bool SiteLogin::waitsOnBrowser() const
{
    return std::any_of(m_waits.cbegin(), m_waits.cend(),
        [](const Wait &wait) { return wait.satisfied && !wait.satisfied(); });
}

void SiteLogin::checkWaits()
{
    const double now = m_clock.nowSeconds();
    // A continuation may start new waits: take the finished ones out first.
    QList<Wait> due;
    for (auto it = m_waits.begin(); it != m_waits.end();) {
        const bool timedOut = std::abs(now - it->start) >= it->limit;
        if (timedOut || (it->satisfied && it->satisfied())) {
            due.append(std::move(*it));
            it = m_waits.erase(it);
        } else {
            ++it;
        }
    }
    if (m_waits.isEmpty())
        m_poll.stop();
    for (Wait &wait : due)
        wait.then();
}

void SiteLogin::setTestLoginEnabled(bool enabled)
{
    if (m_testLoginEnabled == enabled)
        return;
    m_testLoginEnabled = enabled;
    Q_EMIT testLoginEnabledChanged(enabled);
}

void SiteLogin::setBrowseEnabled(bool enabled)
{
    if (m_browseEnabled == enabled)
        return;
    m_browseEnabled = enabled;
    Q_EMIT browseEnabledChanged(enabled);
}

void SiteLogin::attach(DownloadSession &session)
{
    m_downloadOptions = &session.options();
    m_downloadOptions->autoLogin = m_options.autoLogin;
    const auto hook = [login = QPointer<SiteLogin>(this)] {
        if (login)
            login->run(false);
    };
    session.single().setAutoLoginHook(hook);
    session.multi().setAutoLoginHook(hook);
}

void SiteLogin::setAutoLogin(bool checked)
{
    m_options.autoLogin = checked;
    if (m_downloadOptions)
        m_downloadOptions->autoLogin = checked;
}

bool SiteLogin::setAutoLoginByUser(bool checked)
{
    setAutoLogin(checked);
    // Checking runs the checks of a login with messages; they uncheck the box.
    return checked && checkData(true);
}

void SiteLogin::setAutoRefresh(bool checked)
{
    m_options.autoRefresh = checked;
    if (checked && !m_shutDown) {
        m_lastRefresh = m_clock.nowSeconds();
        m_timer2.start();
    } else {
        m_timer2.stop();
    }
}

void SiteLogin::refreshTick()
{
    const double now = m_clock.nowSeconds();
    if (std::abs(now - m_lastRefresh) < RefreshSeconds)
        return;
    m_lastRefresh = now;
    if (m_reload) {
        m_reload();
        return;
    }
    const QString current = m_browser.url();
    if (!current.isEmpty() && current != kBlank)
        m_browser.navigate(current);
}

void SiteLogin::showPanel(const QString &selectedRowKey)
{
    if (m_shutDown || m_options.autoLogin || m_options.autoRefresh)
        return;
    const QString url = TrimSpaces(DownloadList::选择url(selectedRowKey));
    if (!url.isEmpty())
        navigate(url);
}

void SiteLogin::hidePanel()
{
    if (!m_options.autoRefresh && !m_shutDown)
        navigate(kBlank);
}

void SiteLogin::shutDown()
{
    m_shutDown = true;
    m_timer2.stop();
    m_poll.stop();
    m_waits.clear();
    ++m_run;
}

void SiteLogin::navigate(const QString &url)
{
    m_loginPageLoading = true;
    m_browser.navigate(url);
}
