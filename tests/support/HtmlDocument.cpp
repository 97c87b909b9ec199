#include "HtmlDocument.h"

#include <QHash>
#include <QSet>
#include <QUrl>

namespace {

bool isVoid(const QString &tag)
{
    static const QSet<QString> tags { QStringLiteral("AREA"), QStringLiteral("BASE"),
        QStringLiteral("BR"), QStringLiteral("COL"), QStringLiteral("EMBED"), QStringLiteral("HR"),
        QStringLiteral("IMG"), QStringLiteral("INPUT"), QStringLiteral("LINK"),
        QStringLiteral("META"), QStringLiteral("PARAM"), QStringLiteral("SOURCE"),
        QStringLiteral("TRACK"), QStringLiteral("WBR") };
    return tags.contains(tag);
}

// Elements that start on a line of their own.
bool isBlock(const QString &tag)
{
    static const QSet<QString> tags { QStringLiteral("ADDRESS"), QStringLiteral("ARTICLE"),
        QStringLiteral("ASIDE"), QStringLiteral("BLOCKQUOTE"), QStringLiteral("BODY"),
        QStringLiteral("DD"), QStringLiteral("DIV"), QStringLiteral("DL"), QStringLiteral("DT"),
        QStringLiteral("FIELDSET"), QStringLiteral("FIGCAPTION"), QStringLiteral("FIGURE"),
        QStringLiteral("FOOTER"), QStringLiteral("FORM"), QStringLiteral("H1"),
        QStringLiteral("H2"), QStringLiteral("H3"), QStringLiteral("H4"), QStringLiteral("H5"),
        QStringLiteral("H6"), QStringLiteral("HEADER"), QStringLiteral("HR"),
        QStringLiteral("HTML"), QStringLiteral("LI"), QStringLiteral("MAIN"), QStringLiteral("NAV"),
        QStringLiteral("OL"), QStringLiteral("P"), QStringLiteral("PRE"), QStringLiteral("SECTION"),
        QStringLiteral("TABLE"), QStringLiteral("TR"), QStringLiteral("UL") };
    return tags.contains(tag);
}

// Elements that close an open P when they start.
bool closesParagraph(const QString &tag)
{
    return isBlock(tag) && tag != QLatin1String("LI") && tag != QLatin1String("DD")
        && tag != QLatin1String("DT") && tag != QLatin1String("TR");
}

bool isHidden(const QString &tag)
{
    static const QSet<QString> tags { QStringLiteral("HEAD"), QStringLiteral("SCRIPT"),
        QStringLiteral("STYLE"), QStringLiteral("TEMPLATE"), QStringLiteral("NOSCRIPT"),
        QStringLiteral("TITLE"), QStringLiteral("META"), QStringLiteral("LINK") };
    return tags.contains(tag);
}

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

QString decodeEntities(QStringView text)
{
    static const QHash<QString, char16_t> named { { QStringLiteral("amp"), u'&' },
        { QStringLiteral("lt"), u'<' }, { QStringLiteral("gt"), u'>' },
        { QStringLiteral("quot"), u'"' }, { QStringLiteral("apos"), u'\'' },
        { QStringLiteral("nbsp"), u'\u00a0' }, { QStringLiteral("copy"), u'\u00a9' },
        { QStringLiteral("reg"), u'\u00ae' }, { QStringLiteral("ndash"), u'\u2013' },
        { QStringLiteral("mdash"), u'\u2014' }, { QStringLiteral("hellip"), u'\u2026' },
        { QStringLiteral("middot"), u'\u00b7' }, { QStringLiteral("lsquo"), u'\u2018' },
        { QStringLiteral("rsquo"), u'\u2019' }, { QStringLiteral("ldquo"), u'\u201c' },
        { QStringLiteral("rdquo"), u'\u201d' }, { QStringLiteral("times"), u'\u00d7' } };
    if (!text.contains(u'&'))
        return text.toString();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            out += text[i];
            continue;
        }
        const qsizetype semi = text.indexOf(u';', i + 1);
        if (semi < 0 || semi - i > 10) {
            out += text[i];
            continue;
        }
        const QStringView name = text.sliced(i + 1, semi - i - 1);
        char32_t code = 0;
        bool ok = false;
        if (name.startsWith(u'#')) {
            const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
            code = name.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            ok = ok && code > 0 && code <= 0x10ffff;
        } else if (const auto it = named.constFind(name.toString()); it != named.cend()) {
            code = *it;
            ok = true;
        }
        if (!ok) {
            out += text[i];
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = semi;
    }
    return out;
}

QString escapeText(const QString &text, bool attribute)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            out += QLatin1String("&amp;");
        else if (c == u'\u00a0')
            out += QLatin1String("&nbsp;");
        else if (attribute && c == u'"')
            out += QLatin1String("&quot;");
        else if (!attribute && c == u'<')
            out += QLatin1String("&lt;");
        else if (!attribute && c == u'>')
            out += QLatin1String("&gt;");
        else
            out += c;
    }
    return out;
}

} // namespace

// innerText as a stream of words, spaces and required line breaks.
struct HtmlDocument::TextState
{
    QString out;
    int pendingBreaks = 0;
    bool pendingSpace = false;
    int preDepth = 0;

    void requireBreaks(int n)
    {
        pendingBreaks = qMax(pendingBreaks, n);
        pendingSpace = false;
    }
    void put(QChar c)
    {
        if (!out.isEmpty()) {
            if (pendingBreaks > 0)
                out += QString(pendingBreaks, u'\n');
            else if (pendingSpace && !out.endsWith(u'\n'))
                out += u' ';
        }
        pendingBreaks = 0;
        pendingSpace = false;
        out += c;
    }
    void text(const QString &t)
    {
        for (const QChar c : t) {
            if (preDepth > 0)
                put(c);
            else if (isSpace(c))
                pendingSpace = true;
            else
                put(c);
        }
    }
};

HtmlDocument::HtmlDocument(const QString &url, const QString &html) : m_url(url), m_baseUrl(url)
{
    parse(html);
    const QList<Element> bases = elementsByTagName(QStringLiteral("BASE"));
    if (!bases.isEmpty() && hasAttribute(bases.first(), QStringLiteral("href")))
        m_baseUrl
            = QUrl(url).resolved(QUrl(attribute(bases.first(), QStringLiteral("href")))).toString();
}

void HtmlDocument::parse(const QString &html)
{
    QList<int> open; // stack of open elements
    auto appendChild = [&](Child child) {
        if (open.isEmpty()) {
            if (child.element < 0)
                return; // text outside every element is not rendered
            m_top.append(child);
        } else {
            m_nodes[open.last()].children.append(std::move(child));
        }
    };
    auto closeTo = [&](qsizetype depth) {
        while (open.size() > depth) {
            m_nodes[open.last()].end = int(m_nodes.size());
            open.removeLast();
        }
    };
    auto openIndexOf = [&](const QString &tag, const QStringList &stopAt = {}) -> qsizetype {
        for (qsizetype i = open.size() - 1; i >= 0; --i) {
            const QString &t = m_nodes[open[i]].tag;
            if (t == tag)
                return i;
            if (stopAt.contains(t))
                return -1;
        }
        return -1;
    };

    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = html.indexOf(u'<', i);
        const qsizetype textEnd = lt < 0 ? n : lt;
        if (textEnd > i)
            appendChild({ -1, decodeEntities(QStringView(html).sliced(i, textEnd - i)) });
        if (lt < 0)
            break;
        i = lt;
        const QStringView rest = QStringView(html).sliced(i);
        if (rest.startsWith(u"<!--")) {
            const qsizetype e = html.indexOf(QLatin1String("-->"), i + 4);
            i = e < 0 ? n : e + 3;
            continue;
        }
        if (rest.startsWith(u"<!") || rest.startsWith(u"<?")) {
            const qsizetype e = html.indexOf(u'>', i);
            i = e < 0 ? n : e + 1;
            continue;
        }
        const bool endTag = rest.startsWith(u"</");
        qsizetype p = i + (endTag ? 2 : 1);
        qsizetype nameStart = p;
        while (p < n && !isSpace(html[p]) && html[p] != u'>' && html[p] != u'/')
            ++p;
        const QString tag = html.mid(nameStart, p - nameStart).toUpper();
        if (tag.isEmpty() || !tag[0].isLetter()) {
            appendChild({ -1, QStringLiteral("<") });
            i += 1;
            continue;
        }
        if (endTag) {
            const qsizetype e = html.indexOf(u'>', p);
            i = e < 0 ? n : e + 1;
            const QStringList scopeStops = tag == QLatin1String("LI")
                ? QStringList { QStringLiteral("OL"), QStringLiteral("UL") }
                : QStringList {};
            const qsizetype at = openIndexOf(tag, scopeStops);
            if (at >= 0) // an end tag of nothing open is dropped
                closeTo(at);
            continue;
        }

        Node node;
        node.tag = tag;
        bool selfClosing = false;
        while (p < n) {
            while (p < n && isSpace(html[p]))
                ++p;
            if (p >= n)
                break;
            if (html[p] == u'>') {
                ++p;
                break;
            }
            if (html[p] == u'/') {
                selfClosing = true;
                ++p;
                continue;
            }
            const qsizetype an = p;
            while (
                p < n && !isSpace(html[p]) && html[p] != u'=' && html[p] != u'>' && html[p] != u'/')
                ++p;
            const QString name = html.mid(an, p - an).toLower();
            while (p < n && isSpace(html[p]))
                ++p;
            QString value;
            if (p < n && html[p] == u'=') {
                ++p;
                while (p < n && isSpace(html[p]))
                    ++p;
                if (p < n && (html[p] == u'"' || html[p] == u'\'')) {
                    const QChar quote = html[p];
                    const qsizetype close = html.indexOf(quote, p + 1);
                    const qsizetype stop = close < 0 ? n : close;
                    value = decodeEntities(QStringView(html).sliced(p + 1, stop - p - 1));
                    p = close < 0 ? n : close + 1;
                } else {
                    const qsizetype vs = p;
                    while (p < n && !isSpace(html[p]) && html[p] != u'>')
                        ++p;
                    value = decodeEntities(QStringView(html).sliced(vs, p - vs));
                }
            }
            if (!name.isEmpty()) {
                bool seen = false;
                for (const auto &a : std::as_const(node.attributes))
                    seen = seen || a.first == name;
                if (!seen) // the first of repeated attributes counts
                    node.attributes.append({ name, value });
            }
        }
        i = p;

        // End tags a page may leave out.
        if (tag == QLatin1String("LI")) {
            const qsizetype at
                = openIndexOf(QStringLiteral("LI"), { QStringLiteral("OL"), QStringLiteral("UL") });
            if (at >= 0)
                closeTo(at);
        } else if (tag == QLatin1String("TD") || tag == QLatin1String("TH")) {
            const qsizetype at = qMax(openIndexOf(QStringLiteral("TD"), { QStringLiteral("TR") }),
                openIndexOf(QStringLiteral("TH"), { QStringLiteral("TR") }));
            if (at >= 0)
                closeTo(at);
        } else if (tag == QLatin1String("TR")) {
            const qsizetype at = openIndexOf(QStringLiteral("TR"), { QStringLiteral("TABLE") });
            if (at >= 0)
                closeTo(at);
        } else if (tag == QLatin1String("OPTION")) {
            const qsizetype at
                = openIndexOf(QStringLiteral("OPTION"), { QStringLiteral("SELECT") });
            if (at >= 0)
                closeTo(at);
        }
        if (closesParagraph(tag)) {
            const qsizetype at = openIndexOf(QStringLiteral("P"),
                { QStringLiteral("BUTTON"), QStringLiteral("TABLE"), QStringLiteral("LI") });
            if (at >= 0)
                closeTo(at);
        }

        node.parent = open.isEmpty() ? -1 : open.last();
        if (tag == QLatin1String("INPUT") || tag == QLatin1String("TEXTAREA")) {
            for (const auto &a : std::as_const(node.attributes))
                if (a.first == QLatin1String("value"))
                    node.value = a.second;
        }
        const int index = int(m_nodes.size());
        m_nodes.append(std::move(node));
        appendChild({ index, {} });
        m_nodes[index].end = index + 1;

        const bool rawText = tag == QLatin1String("SCRIPT") || tag == QLatin1String("STYLE");
        const bool escapableRaw = tag == QLatin1String("TITLE") || tag == QLatin1String("TEXTAREA");
        if (rawText || escapableRaw) {
            qsizetype close = html.indexOf(QLatin1String("</") + tag, i, Qt::CaseInsensitive);
            if (close < 0)
                close = n;
            const QStringView content = QStringView(html).sliced(i, close - i);
            if (!content.isEmpty())
                m_nodes[index].children.append(
                    { -1, rawText ? content.toString() : decodeEntities(content) });
            if (tag == QLatin1String("TEXTAREA"))
                m_nodes[index].value = decodeEntities(content);
            const qsizetype gt = html.indexOf(u'>', close);
            i = gt < 0 ? n : gt + 1;
            continue;
        }
        if (!isVoid(tag) && !selfClosing)
            open.append(index);
    }
    closeTo(0);
}

bool HtmlDocument::inScope(int index) const
{
    if (m_scope.isEverything())
        return true;
    const Node &node = m_nodes[index];
    if (m_scope.coversTag(node.tag))
        return true;
    for (const auto &a : node.attributes)
        if (a.first == QLatin1String("id") && m_scope.ids.contains(a.second))
            return true;
    return false;
}

Element HtmlDocument::elementById(const QString &id) const
{
    if (id.isEmpty())
        return {};
    for (int i = 0; i < m_nodes.size(); ++i) {
        for (const auto &a : m_nodes[i].attributes) {
            if (a.first == QLatin1String("id") && a.second == id)
                return m_scope.coversId(id) || inScope(i) ? Element(i) : Element();
        }
    }
    return {};
}

QList<Element> HtmlDocument::elementsByTagName(const QString &tag, Element below) const
{
    QList<Element> found;
    if (!below.isNull() && !valid(below))
        return found;
    const QString upper = tag.toUpper();
    if (!m_scope.coversTag(upper) && upper != QLatin1String("*"))
        return found;
    const int from = below.isNull() ? 0 : below.index() + 1;
    const int to = below.isNull() ? int(m_nodes.size()) : m_nodes[below.index()].end;
    for (int i = from; i < to; ++i) {
        if (upper == QLatin1String("*") ? inScope(i) : m_nodes[i].tag == upper)
            found.append(Element(i));
    }
    return found;
}

QString HtmlDocument::tagName(Element e) const
{
    return valid(e) ? m_nodes[e.index()].tag : QString();
}

QString HtmlDocument::attribute(Element e, const QString &name) const
{
    if (!valid(e))
        return {};
    const QString lower = name.toLower();
    for (const auto &a : m_nodes[e.index()].attributes)
        if (a.first == lower)
            return a.second;
    return {};
}

bool HtmlDocument::hasAttribute(Element e, const QString &name) const
{
    if (!valid(e))
        return false;
    const QString lower = name.toLower();
    for (const auto &a : m_nodes[e.index()].attributes)
        if (a.first == lower)
            return true;
    return false;
}

void HtmlDocument::renderText(int index, TextState &state) const
{
    const Node &node = m_nodes[index];
    if (isHidden(node.tag) || hasAttribute(Element(index), QStringLiteral("hidden")))
        return;
    if (node.tag == QLatin1String("BR")) {
        state.put(u'\n');
        state.pendingBreaks = 0;
        return;
    }
    const bool block = isBlock(node.tag);
    const int breaks = node.tag == QLatin1String("P") ? 2 : 1;
    if (block)
        state.requireBreaks(breaks);
    const bool pre = node.tag == QLatin1String("PRE");
    if (pre)
        ++state.preDepth;
    const bool cell = node.tag == QLatin1String("TD") || node.tag == QLatin1String("TH");
    if (cell && !state.out.isEmpty() && !state.out.endsWith(u'\n') && state.pendingBreaks == 0)
        state.put(u'\t');
    for (const Child &child : node.children) {
        if (child.element >= 0)
            renderText(child.element, state);
        else
            state.text(child.text);
    }
    if (pre)
        --state.preDepth;
    if (block)
        state.requireBreaks(breaks);
}

QString HtmlDocument::innerText(Element e) const
{
    if (!valid(e))
        return {};
    TextState state;
    const Node &node = m_nodes[e.index()];
    // The element's own hidden state does not matter here, only its content's.
    for (const Child &child : node.children) {
        if (child.element >= 0)
            renderText(child.element, state);
        else if (!isHidden(node.tag) || node.tag == QLatin1String("TITLE"))
            state.text(child.text);
    }
    return state.out;
}

void HtmlDocument::serialize(int index, QString &out) const
{
    const Node &node = m_nodes[index];
    const QString tag = node.tag.toLower();
    out += u'<' + tag;
    for (const auto &a : node.attributes)
        out += u' ' + a.first + QLatin1String("=\"") + escapeText(a.second, true) + u'"';
    out += u'>';
    if (isVoid(node.tag))
        return;
    const bool raw = node.tag == QLatin1String("SCRIPT") || node.tag == QLatin1String("STYLE");
    for (const Child &child : node.children) {
        if (child.element >= 0)
            serialize(child.element, out);
        else
            out += raw ? child.text : escapeText(child.text, false);
    }
    out += QLatin1String("</") + tag + u'>';
}

QString HtmlDocument::outerHtml(Element e) const
{
    if (!valid(e))
        return {};
    QString out;
    serialize(e.index(), out);
    return out;
}

namespace {
bool isLinkingTag(const QString &tag)
{
    return tag == QLatin1String("A") || tag == QLatin1String("AREA")
        || tag == QLatin1String("LINK");
}
} // namespace

QString HtmlDocument::href(Element e) const
{
    if (!isLinkingTag(tagName(e)) || !hasAttribute(e, QStringLiteral("href")))
        return {};
    const QString raw = attribute(e, QStringLiteral("href")).trimmed();
    return QUrl(m_baseUrl).resolved(QUrl(raw)).toString(QUrl::FullyEncoded);
}

QString HtmlDocument::formAction(Element e) const
{
    const Element form = enclosing(e, QStringLiteral("FORM"));
    if (form.isNull())
        return {};
    const QString own = QStringLiteral("formaction");
    const QString raw
        = (hasAttribute(e, own) ? attribute(e, own) : attribute(form, QStringLiteral("action")))
              .trimmed();
    if (raw.isEmpty())
        return m_url;
    return QUrl(m_baseUrl).resolved(QUrl(raw)).toString(QUrl::FullyEncoded);
}

QString HtmlDocument::formMethod(Element e) const
{
    const Element form = enclosing(e, QStringLiteral("FORM"));
    if (form.isNull())
        return {};
    const QString own = QStringLiteral("formmethod");
    const QString method
        = (hasAttribute(e, own) ? attribute(e, own) : attribute(form, QStringLiteral("method")))
              .trimmed()
              .toLower();
    // As the browser reads it: anything else is a GET.
    if (method == QLatin1String("post") || method == QLatin1String("dialog"))
        return method;
    return QStringLiteral("get");
}

QString HtmlDocument::rel(Element e) const
{
    return isLinkingTag(tagName(e)) ? attribute(e, QStringLiteral("rel")) : QString();
}

QString HtmlDocument::inputType(Element e) const
{
    if (!valid(e))
        return {};
    const QString type = attribute(e, QStringLiteral("type")).toLower();
    if (tagName(e) == QLatin1String("INPUT") && type.isEmpty())
        return QStringLiteral("text");
    return type;
}

QString HtmlDocument::value(Element e) const
{
    return valid(e) ? m_nodes[e.index()].value : QString();
}

bool HtmlDocument::setValue(Element e, const QString &value)
{
    if (!valid(e))
        return false;
    if (m_onValue)
        return m_onValue(e, value);
    m_nodes[e.index()].value = value;
    return true;
}

bool HtmlDocument::click(Element e)
{
    if (!valid(e))
        return false;
    m_clicks.append(e);
    if (m_onClick)
        return m_onClick(e);
    return true;
}

Element HtmlDocument::enclosing(Element e, const QString &tag) const
{
    if (!valid(e))
        return {};
    const QString upper = tag.toUpper();
    for (int i = m_nodes[e.index()].parent; i >= 0; i = m_nodes[i].parent) {
        if (m_nodes[i].tag == upper)
            return Element(i);
    }
    return {};
}

QString HtmlDocument::documentTitle() const
{
    for (int i = 0; i < m_nodes.size(); ++i)
        if (m_nodes[i].tag == QLatin1String("TITLE"))
            return innerText(Element(i)).trimmed();
    return {};
}
