#include "platform/webengine/WebEngineBrowser.h"

#include "platform/UserDialogs.h"
#include "platform/webengine/ProgramProfile.h"
#include "platform/webengine/WebEngineDocument.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWebEngineCertificateError>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <utility>

namespace {

int g_emulationValue = 0;

// One address as the engine may write it back: "http://host" comes back as
// "http://host/", and the fragment is no part of the load.
bool sameAddress(const QUrl &a, const QUrl &b)
{
    const auto form = QUrl::StripTrailingSlash | QUrl::RemoveFragment;
    return a.adjusted(form) == b.adjusted(form);
}

int g_snapshotGeneration = 0;

bool isBlank(const QUrl &url)
{
    return url.isEmpty()
        || url.toString().compare(QStringLiteral("about:blank"), Qt::CaseInsensitive) == 0;
}

} // namespace

class WebEngineBrowser::Page final : public QWebEnginePage
{
public:
    Page(WebEngineBrowser *browser)
        : QWebEnginePage(ProgramProfile::profile(), browser), m_browser(browser)
    { }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        m_browser->onNavigationRequest(url, isMainFrame);
        return true;
    }

    void javaScriptAlert(const QUrl &origin, const QString &msg) override
    {
        if (!m_browser->m_silent)
            QWebEnginePage::javaScriptAlert(origin, msg);
    }
    bool javaScriptConfirm(const QUrl &origin, const QString &msg) override
    {
        // Silent: the page's own "leave this page?" lets a navigation go on;
        // any other question is declined.
        if (m_browser->m_silent)
            return msg == leavePageQuestion();
        return QWebEnginePage::javaScriptConfirm(origin, msg);
    }
    bool javaScriptPrompt(const QUrl &origin, const QString &msg, const QString &defaultValue,
        QString *result) override
    {
        if (m_browser->m_silent)
            return false;
        return QWebEnginePage::javaScriptPrompt(origin, msg, defaultValue, result);
    }
    QStringList chooseFiles(
        FileSelectionMode mode, const QStringList &oldFiles, const QStringList &mimeTypes) override
    {
        if (m_browser->m_silent)
            return {};
        return QWebEnginePage::chooseFiles(mode, oldFiles, mimeTypes);
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
        int lineNumber, const QString &sourceID) override
    {
        const QString marker = ProgramProfile::frameCompleteMarker() + QLatin1Char(' ');
        if (message.startsWith(marker)) {
            m_browser->onFrameComplete(message.mid(marker.size()));
            return;
        }
        QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
    }

private:
    // The text the engine puts in the confirmation it shows for a page's
    // beforeunload handler.
    static QString leavePageQuestion()
    {
        return QCoreApplication::translate("QWebEnginePage",
            "Are you sure you want to leave this page? Changes that you made may not be saved.");
    }

    WebEngineBrowser *m_browser;
};

WebEngineBrowser::WebEngineBrowser(QObject *parent) : Browser(parent), m_page(new Page(this))
{
    connect(m_page, &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::onLoadingChanged);
    connect(m_page, &QWebEnginePage::titleChanged, this, &Browser::titleChanged);
    connect(m_page, &QWebEnginePage::linkHovered, this, &WebEngineBrowser::statusTextChanged);
    connect(m_page, &QWebEnginePage::certificateError, this, &WebEngineBrowser::onCertificateError);
    // The new window's address loads in this page; no window is made.
    connect(m_page, &QWebEnginePage::newWindowRequested, this,
        [this](QWebEngineNewWindowRequest &request) {
            const QUrl url = request.requestedUrl();
            Q_EMIT newWindowRedirected(url.toString());
            if (!isBlank(url))
                navigate(url.toString());
        });
    // Left unanswered, a close request keeps the page: only say it happened.
    connect(
        m_page, &QWebEnginePage::windowCloseRequested, this, &WebEngineBrowser::windowCloseRefused);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
        [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
            onRenderProcessTerminated(int(status), exitCode);
        });
}

WebEngineBrowser::~WebEngineBrowser()
{
    // The view must let go of the page before the page goes.
    if (m_view)
        m_view->setPage(nullptr);
    delete m_page;
    m_page = nullptr;
}

QWebEnginePage *WebEngineBrowser::page() const
{
    return m_page;
}

QWebEngineView *WebEngineBrowser::view(QWidget *parent)
{
    if (!m_view) {
        m_view = new QWebEngineView(parent);
        m_view->setPage(m_page);
    }
    return m_view;
}

void WebEngineBrowser::navigate(const QString &url)
{
    m_navigatePending = true;
    m_navigateTarget = QUrl::fromUserInput(url);
    m_navigateRepeated = false;
    m_stopping = false;
    ++m_loadSequence;
    m_page->load(m_navigateTarget);
}

bool WebEngineBrowser::isBusy() const
{
    return m_navigatePending || m_loading;
}

QString WebEngineBrowser::url() const
{
    const QUrl url = m_page->url();
    return url.isEmpty() ? QString() : url.toString();
}

QString WebEngineBrowser::title() const
{
    return m_page->title();
}

bool WebEngineBrowser::goBack()
{
    // Exactly one entry back: the engine's own back action may skip entries
    // made by scripted clicks.
    QWebEngineHistory *history = m_page->history();
    if (!history->canGoBack())
        return false;
    history->goToItem(history->itemAt(history->currentItemIndex() - 1));
    return true;
}

bool WebEngineBrowser::goForward()
{
    QWebEngineHistory *history = m_page->history();
    if (!history->canGoForward())
        return false;
    history->goToItem(history->itemAt(history->currentItemIndex() + 1));
    return true;
}

void WebEngineBrowser::reload()
{
    m_page->triggerAction(QWebEnginePage::Reload);
}

void WebEngineBrowser::stop()
{
    if (!isBusy())
        return;
    // A navigation asked for but not begun yet is dropped too; the engine
    // reports the end of a load it stops, which serves waiting snapshots.
    m_navigatePending = false;
    m_stopping = true;
    m_page->triggerAction(QWebEnginePage::Stop);
    QTimer::singleShot(0, this, [this] {
        if (!isBusy())
            servePending();
    });
}

void WebEngineBrowser::onRenderProcessTerminated(int terminationStatus, int exitCode)
{
    // A normal end is the engine closing the page, not a crash.
    if (terminationStatus == QWebEnginePage::NormalTerminationStatus)
        return;
    QString detail;
    switch (terminationStatus) {
    case QWebEnginePage::AbnormalTerminationStatus:
        detail = QStringLiteral("渲染进程异常退出（退出码 %1）").arg(exitCode);
        break;
    case QWebEnginePage::KilledTerminationStatus:
        detail = QStringLiteral("渲染进程被终止");
        break;
    default:
        detail = QStringLiteral("渲染进程崩溃");
        break;
    }
    m_loading = false;
    m_navigatePending = false;
    m_lastLoadOk = false;
    m_lastLoad = PageLoad { url(), false, 0, detail };
    const quint64 sequence = m_loadSequence;
    Q_EMIT renderProcessCrashed(detail);
    // Whoever waits for the page gets nothing: there is no page.
    std::vector<PendingRequest> pending;
    pending.swap(m_pending);
    for (PendingRequest &request : pending) {
        if (request.context)
            QTimer::singleShot(
                0, request.context, [done = std::move(request.done)] { done(nullptr); });
    }
    // The page is loaded again, once: a page that kills its renderer at once
    // again is left as it is.
    if (m_crashReloadSequence != sequence) {
        QTimer::singleShot(0, this, [this, sequence] {
            if (m_loadSequence != sequence || isBusy())
                return; // something else was loaded meanwhile
            const QUrl address = m_page->url();
            if (isBlank(address))
                return;
            m_crashReloadSequence = sequence + 1;
            navigate(address.toString());
        });
    }
}

void WebEngineBrowser::runInProgramWorld(const QString &script)
{
    if (m_page) // not while the browser is being taken down
        m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

void WebEngineBrowser::onNavigationRequest(const QUrl &url, bool topLevel)
{
    Q_EMIT beforeNavigate(url.toString(), topLevel);
}

void WebEngineBrowser::onFrameComplete(const QString &url)
{
    Q_EMIT frameDocumentComplete(url);
}

void WebEngineBrowser::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    // The engine reports one start and one end for a stretch of loading, not
    // for each navigation: a navigation begun while another page still loads
    // gets no start of its own, and the load it replaced no end.
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        if (!m_navigatePending)
            ++m_loadSequence; // begun by the page itself: a click, a script
        m_navigatePending = false;
        m_loading = true;
        Q_EMIT loadStarted();
        return;
    }
    m_loading = false;
    // The end of the page that was loading before the address asked for.
    // The engine may have dropped that navigation (a new page whose first
    // load was still going on does): it is asked for once more, which
    // otherwise only starts it over.
    // A blank page that ends is never the address asked for, even when the
    // engine already names that address as requested (no answer redirects
    // to about:blank); a redirected load of the address is.
    const bool replacedLoad = !sameAddress(info.url(), m_navigateTarget)
        && ((isBlank(info.url()) && !isBlank(m_navigateTarget))
            || !sameAddress(m_page->requestedUrl(), m_navigateTarget));
    if (m_navigatePending && replacedLoad) {
        if (!std::exchange(m_navigateRepeated, true))
            m_page->load(m_navigateTarget);
        return;
    }
    m_navigatePending = false;
    // A load replaced by another completes nothing. One stopped on purpose
    // ends with the page as far as it came.
    if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus) {
        if (std::exchange(m_stopping, false)) {
            m_lastLoadOk = !isBlank(m_page->url());
            m_lastLoad = PageLoad { m_page->url().toString(), m_lastLoadOk, 0,
                m_lastLoadOk ? QString() : info.errorString() };
            Q_EMIT loadFinished(m_lastLoadOk);
            Q_EMIT documentComplete(url());
        }
        servePending();
        return;
    }
    m_stopping = false;
    m_lastLoadOk = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus;
    m_lastLoad.url = info.url().toString();
    m_lastLoad.ok = m_lastLoadOk;
    // The engine gives the answer's status as the code of a load that
    // succeeded, and in the HTTP domain for one it shows as failed.
    m_lastLoad.httpStatus = 0;
    if (m_lastLoadOk || info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        m_lastLoad.httpStatus = info.errorCode() >= 100 ? info.errorCode() : 0;
    m_lastLoad.error = m_lastLoadOk ? QString() : info.errorString();
    Q_EMIT loadFinished(m_lastLoadOk);
    // A failed page is a document too: whoever waits for the page goes on.
    Q_EMIT documentComplete(url());
    servePending();
}

void WebEngineBrowser::requestDocument(
    QObject *context, DocumentCallback done, const DocumentScope &scope)
{
    m_pending.push_back({ context, std::move(done), scope });
    if (!isBusy()) {
        // Never inside the caller's call.
        QTimer::singleShot(0, this, [this] {
            if (!isBusy())
                servePending();
        });
    }
}

void WebEngineBrowser::servePending()
{
    std::vector<PendingRequest> pending;
    pending.swap(m_pending);
    for (PendingRequest &request : pending)
        takeSnapshot(std::move(request));
}

void WebEngineBrowser::takeSnapshot(PendingRequest request)
{
    if (!request.context)
        return;
    if (!m_lastLoadOk || isBlank(m_page->url())) {
        QTimer::singleShot(0, request.context, [done = std::move(request.done)] { done(nullptr); });
        return;
    }
    const int generation = ++g_snapshotGeneration;
    const quint64 sequence = m_loadSequence;
    QPointer<WebEngineBrowser> self(this);
    const QString script = WebEngineDocument::snapshotScript(generation, request.scope);
    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
        [self, request = std::move(request), generation, sequence](const QVariant &result) {
            if (!self)
                return;
            if (!request.context) {
                WebEngineDocument::release(self.data(), generation, sequence);
                return;
            }
            if (self->m_loadSequence != sequence || self->isBusy()) {
                // The page moved on while it was read: read the new one.
                WebEngineDocument::release(self.data(), generation, sequence);
                self->m_pending.push_back(request);
                if (!self->isBusy())
                    self->servePending();
                return;
            }
            request.done(
                WebEngineDocument::fromJson(result.toString(), generation, self.data(), sequence));
        });
}

void WebEngineBrowser::onCertificateError(const QWebEngineCertificateError &error)
{
    QWebEngineCertificateError pending = error;
    if (m_silent || !m_dialogs || !pending.isOverridable()) {
        pending.rejectCertificate();
        return;
    }
    // Asked after the engine's call has returned, as a modal dialog runs its
    // own event loop.
    pending.defer();
    QTimer::singleShot(0, this, [this, pending]() mutable {
        const QString text
            = QStringLiteral("此网站的安全证书有问题：\n%1\n\n%2\n\n要继续浏览此网站吗？")
                  .arg(pending.url().toString(), pending.description());
        if (m_dialogs
            && m_dialogs->message(text, UserDialogs::Style::QuestionYesNo)
                == UserDialogs::Answer::Yes)
            pending.acceptCertificate();
        else
            pending.rejectCertificate();
    });
}

void WebEngineBrowser::setEmulationValue(int value)
{
    g_emulationValue = value;
}

int WebEngineBrowser::emulationValue()
{
    return g_emulationValue;
}

int BrowserEmulationValue(const QString &versionName, bool force)
{
    const QString name = versionName.toUpper();
    if (name == QStringLiteral("IE10"))
        return force ? 10001 : 10000;
    if (name == QStringLiteral("IE9"))
        return force ? 9999 : 9000;
    if (name == QStringLiteral("IE8"))
        return force ? 8888 : 8000;
    if (name == QStringLiteral("IE7"))
        return 7000;
    return 0;
}

void SetBrowserEmulation(const QString &versionName, bool force)
{
    WebEngineBrowser::setEmulationValue(BrowserEmulationValue(versionName, force));
}
