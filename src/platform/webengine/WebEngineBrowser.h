#pragma once

#include "platform/Browser.h"

#include <QPointer>
#include <QUrl>

#include <vector>

class QWebEngineCertificateError;
class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWebEngineView;
class QWidget;
class UserDialogs;

// The program's browser over the web engine, in the shared profile. Works with
// or without a view: the command line reads pages with none, the search window
// shows them in the view it asks for.
//
// Links and scripts that ask for a new window load their address here; a
// script's request to close the window is refused. In silent mode the page's
// alerts, confirmations, prompts and file choosers are suppressed and a
// certificate error refuses the page; otherwise the user is asked.
class WebEngineBrowser final : public Browser
{
    Q_OBJECT
public:
    explicit WebEngineBrowser(QObject *parent = nullptr);
    ~WebEngineBrowser() override;

    void navigate(const QString &url) override;
    bool isBusy() const override;
    QString url() const override;
    PageLoad lastLoad() const override { return m_lastLoad; }
    void stop() override;
    void requestDocument(
        QObject *context, DocumentCallback done, const DocumentScope &scope = {}) override;

    // One step in the history; false when there is none.
    bool goBack();
    bool goForward();
    void reload();
    QString title() const;

    void setSilent(bool silent) { m_silent = silent; }
    bool isSilent() const { return m_silent; }
    // Asks about certificate errors when not silent; without dialogs they are refused.
    void setDialogs(UserDialogs *dialogs) { m_dialogs = dialogs; }

    // The view that shows this browser's page, made on first call.
    QWebEngineView *view(QWidget *parent = nullptr);
    QWebEnginePage *page() const;

    // True when the last finished top-level load showed its page.
    bool lastLoadSucceeded() const { return m_lastLoadOk; }
    // Counts top-level loads begun; a document of an older count is stale.
    quint64 loadSequence() const { return m_loadSequence; }
    // Runs a script in the program's own world, not awaited.
    void runInProgramWorld(const QString &script);

    // The document mode value the program computed for its browser. The
    // engine always renders in standards mode, so it is only kept.
    static void setEmulationValue(int value);
    static int emulationValue();

Q_SIGNALS:
    // The text of the link under the pointer (empty when it leaves).
    void statusTextChanged(const QString &text);
    // Before any navigation of the page or one of its frames; never cancelled.
    void beforeNavigate(const QString &url, bool topLevel);
    // A link or script wanted a new window; its address loads here instead.
    void newWindowRedirected(const QString &url);
    // A script asked to close the window; the browser stays.
    void windowCloseRefused();
    // A top-level load ended; ok is false when the page could not be shown.
    void loadFinished(bool ok);

private:
    class Page;
    friend class Page;
    struct PendingRequest
    {
        QPointer<QObject> context;
        DocumentCallback done;
        DocumentScope scope;
    };

    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void onCertificateError(const QWebEngineCertificateError &error);
    void onNavigationRequest(const QUrl &url, bool topLevel);
    void onFrameComplete(const QString &url);
    void onRenderProcessTerminated(int terminationStatus, int exitCode);
    void servePending();
    void takeSnapshot(PendingRequest request);

    Page *m_page = nullptr;
    QPointer<QWebEngineView> m_view;
    UserDialogs *m_dialogs = nullptr;
    bool m_silent = true;
    bool m_navigatePending = false;
    QUrl m_navigateTarget; // the address of the last navigate()
    bool m_navigateRepeated = false; // asked for again after an older page ended
    bool m_loading = false; // between the engine's start and end of loading
    bool m_stopping = false; // stop() was asked for the load under way
    bool m_lastLoadOk = false;
    PageLoad m_lastLoad;
    // The load sequence at the last reload after a crash: a page that
    // crashes its renderer again at once is not reloaded again.
    quint64 m_crashReloadSequence = 0;
    quint64 m_loadSequence = 0;
    std::vector<PendingRequest> m_pending;
};

// The browser emulation value of the program's executable: the version name
// ("IE7" to "IE10", any letter case) and the force flag give the value; 0 for
// a name not in the table.
int BrowserEmulationValue(const QString &versionName, bool force);
// Computes the value and hands it to the browser layer.
void SetBrowserEmulation(const QString &versionName, bool force);
