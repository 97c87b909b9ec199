#include "FakeBrowser.h"

#include <QTimer>
#include <QUrl>

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
    const QString url = m_loadingUrl;
    std::optional<QString> html;
    if (const auto it = m_pages.constFind(url); it != m_pages.cend())
        html = *it;
    else if (m_source)
        html = m_source(url);
    m_url = url;
    m_live = html ? std::make_shared<HtmlDocument>(url, *html) : nullptr;
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
    const QString link = m_live->href(e);
    Q_EMIT elementClicked(m_live->tagName(e), link);
    if (m_clicksNavigate && !link.isEmpty())
        navigate(link);
    return true;
}
