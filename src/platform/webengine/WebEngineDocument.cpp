#include "platform/webengine/WebEngineDocument.h"

#include "platform/webengine/WebEngineBrowser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {

// Reads the elements the caller needs in document order. Each element names
// the nearest element of the snapshot above it, which is all the caller needs
// to ask for "elements below". Arguments: generation, tag names, ids.
const char kSnapshotScript[] = R"JS(
(function (gen, tags, ids) {
    var list;
    if (tags.length === 0 && ids.length === 0) {
        list = document.getElementsByTagName('*');
    } else {
        var parts = tags.slice();
        ids.forEach(function (id) { parts.push('[id="' + CSS.escape(id) + '"]'); });
        list = document.querySelectorAll(parts.join(','));
    }
    var els = [], out = [], index = new Map();
    // The form's own getters: a field named "action" or "method" shadows
    // the form's properties of those names.
    var formAction = Object.getOwnPropertyDescriptor(HTMLFormElement.prototype, 'action').get;
    var formMethod = Object.getOwnPropertyDescriptor(HTMLFormElement.prototype, 'method').get;
    for (var i = 0; i < list.length; ++i) {
        var e = list[i];
        index.set(e, i);
        els.push(e);
        var p = e.parentElement, parent = -1;
        while (p) {
            if (index.has(p)) { parent = index.get(p); break; }
            p = p.parentElement;
        }
        var tag = (e.tagName || '').toUpperCase();
        var o = {
            t: tag,
            p: parent,
            i: e.getAttribute('id') || '',
            c: e.getAttribute('class') || '',
            ti: e.getAttribute('title') || '',
            x: typeof e.innerText === 'string' ? e.innerText : (e.textContent || ''),
            o: e.outerHTML || ''
        };
        if (tag === 'A' || tag === 'AREA' || tag === 'LINK') {
            if (e.hasAttribute('href')) o.h = e.href;
            if (e.hasAttribute('rel')) o.r = e.getAttribute('rel');
        }
        if (tag === 'INPUT' || tag === 'TEXTAREA' || tag === 'SELECT') {
            o.n = e.getAttribute('name') || '';
            o.ty = tag === 'INPUT' ? (e.getAttribute('type') || 'text') : '';
            o.v = e.value || '';
        }
        if ((tag === 'INPUT' || tag === 'BUTTON') && e.form) {
            o.fa = e.hasAttribute('formaction') ? e.formAction : formAction.call(e.form);
            o.fm = e.hasAttribute('formmethod') ? e.formMethod : formMethod.call(e.form);
        }
        out.push(o);
    }
    // Every snapshot keeps its own elements until its reader lets go of it,
    // so a second reader never takes the first one's away.
    var store = window.__quillmoorSnapshots || (window.__quillmoorSnapshots = {});
    store[gen] = els;
    return JSON.stringify({ gen: gen, url: location.href, els: out });
})(%1, %2, %3)
)JS";

// Acts on element `i` of snapshot `gen` when that snapshot is still the
// page's; `body` sees the element as `e`.
const char kActionScript[] = R"JS(
(function (gen, i) {
    var s = window.__quillmoorSnapshots;
    var els = s && s[gen];
    if (!els || !els[i]) return false;
    var e = els[i];
    %3
    return true;
})(%1, %2)
)JS";

// Lets go of the elements of snapshot `gen`.
const char kReleaseScript[] = R"JS(
(function (gen) {
    var s = window.__quillmoorSnapshots;
    if (s) delete s[gen];
})(%1)
)JS";

QString jsonArray(const QStringList &items)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(items)).toJson(QJsonDocument::Compact));
}

QString jsonString(const QString &text)
{
    // A one-element array is valid JSON for any text; its element is the
    // JavaScript string literal.
    return jsonArray({ text }) + QStringLiteral("[0]");
}

} // namespace

QString WebEngineDocument::snapshotScript(int generation, const DocumentScope &scope)
{
    // Tag names go into a selector: only plain names are kept.
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z][A-Za-z0-9-]*$"));
    QStringList tags;
    for (const QString &tag : scope.tags) {
        if (plainName.match(tag).hasMatch())
            tags << tag.toLower();
    }
    QStringList ids = scope.ids;
    // Only unusable tag names asked for: ask for one that matches nothing
    // rather than for the whole page.
    if (tags.isEmpty() && ids.isEmpty() && !scope.isEverything())
        ids << QString();
    return QString::fromUtf8(kSnapshotScript)
        .arg(QString::number(generation), jsonArray(tags), jsonArray(ids));
}

WebEngineDocument::~WebEngineDocument()
{
    release(m_browser, m_generation, m_loadSequence);
}

void WebEngineDocument::release(WebEngineBrowser *browser, int generation, quint64 loadSequence)
{
    // A page that has moved on has dropped the elements with its world.
    if (browser && browser->loadSequence() == loadSequence)
        browser->runInProgramWorld(
            QString::fromUtf8(kReleaseScript).arg(QString::number(generation)));
}

std::shared_ptr<WebEngineDocument> WebEngineDocument::fromJson(
    const QString &json, int generation, WebEngineBrowser *browser, quint64 loadSequence)
{
    const QJsonDocument parsed = QJsonDocument::fromJson(json.toUtf8());
    const QJsonObject root = parsed.object();
    if (!parsed.isObject() || root.value(QStringLiteral("gen")).toInt(-1) != generation)
        return nullptr;
    auto doc = std::make_shared<WebEngineDocument>();
    doc->m_url = root.value(QStringLiteral("url")).toString();
    doc->m_generation = generation;
    doc->m_browser = browser;
    doc->m_loadSequence = loadSequence;
    const QJsonArray els = root.value(QStringLiteral("els")).toArray();
    doc->m_nodes.reserve(els.size());
    for (const QJsonValue &value : els) {
        const QJsonObject o = value.toObject();
        Node n;
        n.tag = o.value(QStringLiteral("t")).toString();
        n.parent = o.value(QStringLiteral("p")).toInt(-1);
        n.id = o.value(QStringLiteral("i")).toString();
        n.className = o.value(QStringLiteral("c")).toString();
        n.title = o.value(QStringLiteral("ti")).toString();
        n.text = o.value(QStringLiteral("x")).toString();
        n.html = o.value(QStringLiteral("o")).toString();
        n.href = o.value(QStringLiteral("h")).toString();
        n.rel = o.value(QStringLiteral("r")).toString();
        n.name = o.value(QStringLiteral("n")).toString();
        n.type = o.value(QStringLiteral("ty")).toString();
        n.value = o.value(QStringLiteral("v")).toString();
        n.formAction = o.value(QStringLiteral("fa")).toString();
        n.formMethod = o.value(QStringLiteral("fm")).toString().toLower();
        // A parent always comes before its children in document order.
        if (n.parent >= int(doc->m_nodes.size()))
            n.parent = -1;
        doc->m_nodes.push_back(std::move(n));
    }
    // The elements below one form one run right after it.
    for (int i = int(doc->m_nodes.size()) - 1; i >= 0; --i) {
        Node &n = doc->m_nodes[i];
        n.last = std::max(n.last, i);
        if (n.parent >= 0)
            doc->m_nodes[n.parent].last = std::max(doc->m_nodes[n.parent].last, n.last);
    }
    return doc;
}

const WebEngineDocument::Node *WebEngineDocument::node(Element e) const
{
    if (e.isNull() || e.index() >= int(m_nodes.size()))
        return nullptr;
    return &m_nodes.at(e.index());
}

Element WebEngineDocument::elementById(const QString &id) const
{
    if (id.isEmpty())
        return {};
    for (int i = 0; i < int(m_nodes.size()); ++i) {
        if (m_nodes.at(i).id == id)
            return Element(i);
    }
    return {};
}

QList<Element> WebEngineDocument::elementsByTagName(const QString &tag, Element below) const
{
    QList<Element> found;
    int first = 0;
    int last = int(m_nodes.size()) - 1;
    if (!below.isNull()) {
        const Node *n = node(below);
        if (!n)
            return found;
        first = below.index() + 1;
        last = n->last;
    }
    const bool any = tag == QStringLiteral("*");
    for (int i = first; i <= last; ++i) {
        if (any || m_nodes.at(i).tag.compare(tag, Qt::CaseInsensitive) == 0)
            found << Element(i);
    }
    return found;
}

#define QM_FIELD(function, field)                                                                  \
    QString WebEngineDocument::function(Element e) const                                           \
    {                                                                                              \
        const Node *n = node(e);                                                                   \
        return n ? n->field : QString();                                                           \
    }
QM_FIELD(tagName, tag)
QM_FIELD(innerText, text)
QM_FIELD(outerHtml, html)
QM_FIELD(className, className)
QM_FIELD(title, title)
QM_FIELD(href, href)
QM_FIELD(rel, rel)
QM_FIELD(inputName, name)
QM_FIELD(inputType, type)
QM_FIELD(value, value)
QM_FIELD(formAction, formAction)
QM_FIELD(formMethod, formMethod)
#undef QM_FIELD

bool WebEngineDocument::act(Element e, const QString &action)
{
    if (!node(e) || !m_browser || m_browser->loadSequence() != m_loadSequence)
        return false;
    m_browser->runInProgramWorld(
        QString::fromUtf8(kActionScript)
            .arg(QString::number(m_generation), QString::number(e.index()), action));
    return true;
}

bool WebEngineDocument::setValue(Element e, const QString &value)
{
    // The snapshot keeps the value it read; the page gets the new one.
    return act(e,
        QStringLiteral("e.value = %1;"
                       "e.dispatchEvent(new Event('input', { bubbles: true }));"
                       "e.dispatchEvent(new Event('change', { bubbles: true }));")
            .arg(jsonString(value)));
}

bool WebEngineDocument::click(Element e)
{
    return act(e, QStringLiteral("e.click();"));
}
