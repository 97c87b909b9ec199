#include "FakeBrowser.h"

#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <utility>

FakeBrowser::FakeBrowser(QObject *parent) : Browser(parent) { }

void FakeBrowser::navigate(const QString &url)
{
    m_busy = true;
    m_loadingUrl = url;
    m_navigations.append(url);
    const quint64 generation = ++m_generation;
    Q_EMIT loadStarted();
    if (m_autoFinish) {
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation)
                finishLoad();
        });
    }
}

void FakeBrowser::finishLoad()
{
    if (!m_busy)
        return;
    ++m_generation;
    const QString url = m_redirects.value(m_loadingUrl, m_loadingUrl);
    std::optional<QString> html;
    if (const auto it = m_pages.constFind(url); it != m_pages.cend())
        html = *it;
    else if (m_source)
        html = m_source(url);
    m_url = url;
    m_live = html ? std::make_shared<HtmlDocument>(url, *html) : nullptr;
    m_lastLoad.url = url;
    m_lastLoad.ok = html.has_value();
    m_lastLoad.httpStatus = html ? (m_status ? m_status(url) : 200) : 0;
    m_lastLoad.error = html ? QString() : QStringLiteral("net::ERR_CONNECTION_REFUSED");
    if (m_live)
        m_live->setClickHandler([this](Element e) { return clickLive(e); });
    m_busy = false;

    if (m_live) {
        for (const Element frame : m_live->elementsByTagName(QStringLiteral("IFRAME"))) {
            const QString src = m_live->attribute(frame, QStringLiteral("src"));
            Q_EMIT frameDocumentComplete(QUrl(url).resolved(QUrl(src)).toString());
        }
        Q_EMIT titleChanged(m_live->documentTitle());
    }
    Q_EMIT documentComplete(url);

    const QList<Pending> waiting = std::exchange(m_waiting, {});
    for (const Pending &request : waiting)
        deliver(request);
}

void FakeBrowser::stop()
{
    if (!m_busy)
        return;
    ++m_stops;
    ++m_generation;
    m_busy = false;
    // The page shown before stays; those waiting read it.
    const QList<Pending> waiting = std::exchange(m_waiting, {});
    for (const Pending &request : waiting)
        deliver(request);
}

void FakeBrowser::crashRenderer()
{
    const QString address = m_busy ? m_loadingUrl : m_url;
    ++m_generation;
    m_busy = false;
    m_live.reset();
    m_lastLoad = PageLoad { m_url, false, 0, QStringLiteral("渲染进程崩溃") };
    Q_EMIT renderProcessCrashed(m_lastLoad.error);
    const QList<Pending> waiting = std::exchange(m_waiting, {});
    for (const Pending &request : waiting)
        deliver(request);
    if (!address.isEmpty())
        QTimer::singleShot(0, this, [this, address] { navigate(address); });
}

void FakeBrowser::requestDocument(
    QObject *context, DocumentCallback done, const DocumentScope &scope)
{
    Pending request { context ? context : this, std::move(done), scope };
    if (m_busy)
        m_waiting.append(std::move(request));
    else
        deliver(request);
}

void FakeBrowser::deliver(const Pending &request)
{
    if (!request.context)
        return;
    std::shared_ptr<HtmlDocument> snapshot;
    if (m_live) {
        snapshot = std::make_shared<HtmlDocument>(*m_live);
        snapshot->restrictTo(request.scope);
        ++m_snapshots;
        // Actions go to the live page, and only while it is still shown.
        const quint64 generation = m_generation;
        snapshot->setClickHandler([this, generation](Element e) {
            if (generation != m_generation || !m_live)
                return false;
            QTimer::singleShot(0, this, [this, generation, e] {
                if (generation == m_generation && m_live)
                    m_live->click(e);
            });
            return true;
        });
        snapshot->setValueHandler([this, generation](Element e, const QString &value) {
            if (generation != m_generation || !m_live)
                return false;
            QTimer::singleShot(0, this, [this, generation, e, value] {
                if (generation == m_generation && m_live)
                    m_live->setValue(e, value);
            });
            return true;
        });
    }
    QTimer::singleShot(
        0, request.context.data(), [done = request.done, snapshot] { done(snapshot); });
}

bool FakeBrowser::clickLive(Element e)
{
    QString target = m_live->href(e);
    const QString tag = m_live->tagName(e);
    const bool submit = (tag == QLatin1String("INPUT") || tag == QLatin1String("BUTTON"))
        && m_live->inputType(e) == QLatin1String("submit");
    if (submit) {
        const Element form = m_live->enclosing(e, QStringLiteral("FORM"));
        if (!form.isNull())
            target = formSubmission(*m_live, form);
    }
    Q_EMIT elementClicked(tag, target);
    if (m_clicksNavigate && !target.isEmpty())
        navigate(target);
    return true;
}

QString FakeBrowser::formSubmission(const HtmlDocument &page, Element form)
{
    // A GET submission of the named fields, whatever the form's method.
    QUrl action
        = QUrl(page.url()).resolved(QUrl(page.attribute(form, QStringLiteral("action")).trimmed()));
    QUrlQuery query;
    for (const Element field : page.elementsByTagName(QStringLiteral("INPUT"), form)) {
        const QString name = page.inputName(field);
        const QString type = page.inputType(field);
        if (!name.isEmpty() && type != QLatin1String("submit") && type != QLatin1String("button"))
            query.addQueryItem(name, page.value(field));
    }
    action.setQuery(query);
    return action.toString(QUrl::FullyEncoded);
}
