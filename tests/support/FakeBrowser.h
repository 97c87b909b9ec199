#pragma once

#include "HtmlDocument.h"
#include "platform/Browser.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// A Browser over static HTML pages held in memory, for tests of everything
// that reads pages or follows links. navigate() loads on the next pass of the
// event loop (or when the test calls finishLoad(), see setAutoFinish), then
// reports each IFRAME as an inner frame, the title, and the top-level document
// complete, as the program's browser does. A click on an anchor follows its
// link, a click on a submit button sends its form (as GET, with the values
// written); setValue() and click() reach the live page later, like the real
// ones.
class FakeBrowser final : public Browser
{
    Q_OBJECT
public:
    // HTML for an address, or nothing (the load fails: no document).
    using PageSource = std::function<std::optional<QString>(const QString &url)>;
    // The HTTP status a page is answered with (200 unless set); called once
    // per load, so it may change from one load to the next.
    using StatusSource = std::function<int(const QString &url)>;

    explicit FakeBrowser(QObject *parent = nullptr);

    // Pages by exact address; the source answers the others.
    void setPage(const QString &url, const QString &html) { m_pages.insert(url, html); }
    void setPageSource(PageSource source) { m_source = std::move(source); }
    // A load of `from` ends at `to`, as after a server's redirect.
    void setRedirect(const QString &from, const QString &to) { m_redirects.insert(from, to); }
    void setStatusSource(StatusSource source) { m_status = std::move(source); }
    // When false a load stays busy until finishLoad(); true by default.
    void setAutoFinish(bool autoFinish) { m_autoFinish = autoFinish; }
    // When false a click starts no navigation, as a page whose link only runs
    // a script.
    void setClicksNavigate(bool navigate) { m_clicksNavigate = navigate; }
    // Completes the load that is running.
    void finishLoad();

    void navigate(const QString &url) override;
    bool isBusy() const override { return m_busy; }
    QString url() const override { return m_url; }
    PageLoad lastLoad() const override { return m_lastLoad; }
    // Ends the load under way without a document complete, as a stop does.
    void stop() override;
    // The page's renderer dies: waiting document requests get nothing, and
    // the page is loaded again.
    void crashRenderer();
    int stops() const { return m_stops; }
    void requestDocument(
        QObject *context, DocumentCallback done, const DocumentScope &scope = {}) override;

    // The page as it stands now (values written, clicks made); null when none.
    std::shared_ptr<HtmlDocument> livePage() const { return m_live; }
    // Every address a load was started for, in order.
    QStringList navigations() const { return m_navigations; }
    int snapshotsTaken() const { return m_snapshots; }

Q_SIGNALS:
    // A click reached the live page.
    void elementClicked(const QString &tagName, const QString &href);

private:
    struct Pending
    {
        QPointer<QObject> context;
        DocumentCallback done;
        DocumentScope scope;
    };
    void deliver(const Pending &request);
    bool clickLive(Element e);
    static QString formSubmission(const HtmlDocument &page, Element form);

    QHash<QString, QString> m_pages;
    QHash<QString, QString> m_redirects;
    PageSource m_source;
    bool m_autoFinish = true;
    bool m_clicksNavigate = true;
    bool m_busy = false;
    StatusSource m_status;
    PageLoad m_lastLoad;
    int m_stops = 0;
    QString m_url;
    QString m_loadingUrl;
    quint64 m_generation = 0;
    std::shared_ptr<HtmlDocument> m_live;
    QList<Pending> m_waiting;
    QStringList m_navigations;
    int m_snapshots = 0;
};
