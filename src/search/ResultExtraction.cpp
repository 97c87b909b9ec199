#include "search/ResultExtraction.h"

#include "common/Doi.h"
#include "common/TextMode.h"
#include "common/TrimSpaces.h"
#include "search/AnalysisList.h"

#include <QHash>
#include <QUrl>

namespace {

const QString Pdf = QStringLiteral("pdf");

// The text as the page shows it starts with `prefix` (given in lower case).
bool startsLowered(const QString &text, QStringView prefix)
{
    return text.left(prefix.size()).toLower() == prefix;
}

QString unescapeAmpersands(const QString &link)
{
    return textReplace(link, u"&amp;", u"&", CompareMode::Text);
}

// The address of the first anchor whose text starts with "download pdf".
QString downloadPdfLink(const Document &document, const QList<Element> &anchors)
{
    for (const Element anchor : anchors) {
        if (startsLowered(TrimSpaces(document.innerText(anchor)), u"download pdf"))
            return TrimSpaces(document.href(anchor));
    }
    return {};
}

// What an entry's links tell of it: the DOI of its PDF address, else that of
// the first content link (/article/<DOI>, /chapter/<DOI>, ...) among its
// anchors on the page's own site; the kind from that content link when it
// names the same DOI.
ContentLink entryContent(
    const Document &document, const QList<Element> &anchors, const QString &link)
{
    ContentLink entry { DoiFromPdfUrl(QUrl(link)), ContentKind::Unknown };
    const QString host = QUrl(document.url()).host();
    for (const Element anchor : anchors) {
        const QUrl address(TrimSpaces(document.href(anchor)));
        if (address.host() != host)
            continue;
        const std::optional<ContentLink> content = ContentLinkFromUrl(address);
        if (!content)
            continue;
        if (entry.Doi.isEmpty())
            return *content;
        if (SameDoi(entry.Doi, content->Doi))
            entry.Kind = content->Kind;
        break;
    }
    return entry;
}

int defaultPort(const QString &scheme)
{
    if (scheme == u"http")
        return 80;
    if (scheme == u"https")
        return 443;
    return -1;
}

// Scheme, host and port, an omitted port being the scheme's own.
bool sameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme() == b.scheme() && a.host() == b.host()
        && a.port(defaultPort(a.scheme())) == b.port(defaultPort(b.scheme()));
}

} // namespace

DocumentScope extractionScope()
{
    DocumentScope scope;
    // LINK: a page's rel="next" may stand in its head.
    scope.tags = QStringList { QStringLiteral("A"), QStringLiteral("LI"), QStringLiteral("OL"),
        QStringLiteral("P"), QStringLiteral("LINK") };
    scope.ids = QStringList { QStringLiteral("results-list") };
    return scope;
}

int ExtractFromResultsList(const Document *document, AnalysisList &list, const QString &saveFolder)
{
    if (!document)
        return 0;
    const Element results = document->elementById(QStringLiteral("results-list"));
    if (results.isNull())
        return 0;
    int found = 0;
    const QString page = document->url();
    for (const Element item : document->elementsByTagName(QStringLiteral("LI"), results)) {
        const QList<Element> anchors = document->elementsByTagName(QStringLiteral("A"), item);
        // A lone anchor is a title without a download.
        if (anchors.size() < 2)
            continue;
        const QString title = TrimSpaces(document->innerText(anchors.first()));
        const QString link = unescapeAmpersands(downloadPdfLink(*document, anchors));
        if (title.isEmpty() || link.isEmpty())
            continue;
        const ContentLink content = entryContent(*document, anchors, link);
        list.加入LV1(title, link, page, Pdf, saveFolder, QString(), content.Doi,
            ContentKindName(content.Kind));
        ++found;
    }
    list.refreshCounter();
    return found;
}

int ExtractFromOrderedList(const Document *document, AnalysisList &list, const QString &saveFolder)
{
    if (!document)
        return 0;
    const QList<Element> orderedLists = document->elementsByTagName(QStringLiteral("OL"));
    if (orderedLists.isEmpty())
        return 0;
    int found = 0;
    const QString page = document->url();
    for (const Element item :
        document->elementsByTagName(QStringLiteral("LI"), orderedLists.first())) {
        const QList<Element> paragraphs = document->elementsByTagName(QStringLiteral("P"), item);
        QString title;
        if (paragraphs.size() < 3) {
            // Everything the entry shows before its download link.
            QString text = TrimSpaces(document->innerText(item));
            const qsizetype at = textIndexOf(text, u"download pdf");
            if (at >= 0)
                text.truncate(at);
            title = text;
        } else {
            for (const Element paragraph : paragraphs) {
                const QString text = TrimSpaces(document->innerText(paragraph));
                if (!text.isEmpty())
                    title += u' ' + text;
            }
        }
        const QList<Element> anchors = document->elementsByTagName(QStringLiteral("A"), item);
        const QString link = unescapeAmpersands(downloadPdfLink(*document, anchors));
        title = TrimSpaces(title);
        if (title.isEmpty() || link.isEmpty())
            continue;
        const ContentLink content = entryContent(*document, anchors, link);
        list.加入LV1(title, link, page, Pdf, saveFolder, QString(), content.Doi,
            ContentKindName(content.Kind));
        ++found;
    }

    // The whole book, named by the publication attribute of its download link.
    QString title;
    QString link;
    for (const Element anchor : document->elementsByTagName(QStringLiteral("A"))) {
        if (!startsLowered(TrimSpaces(document->innerText(anchor)), u"download book"))
            continue;
        link = TrimSpaces(document->href(anchor));
        const QString markup = TrimSpaces(document->outerHtml(anchor));
        const qsizetype attribute = textIndexOf(markup, u"publication=\"");
        if (attribute < 0)
            continue;
        const QString rest = markup.mid(attribute + 13);
        const qsizetype quote = rest.indexOf(u'"');
        if (quote < 0)
            continue;
        const QString name = TrimSpaces(rest.left(quote));
        if (name.isEmpty())
            continue;
        title = name;
        break;
    }
    link = unescapeAmpersands(link);
    title = TrimSpaces(title);
    if (!title.isEmpty() && !link.isEmpty()) {
        // The anchor offers the whole book: that is its kind.
        list.加入LV1(title, link, page, Pdf, saveFolder, QString(), DoiFromPdfUrl(QUrl(link)),
            ContentKindName(ContentKind::Book));
        ++found;
    }
    list.refreshCounter();
    return found;
}

int ExtractFromContentLinks(const Document *document, AnalysisList &list, const QString &saveFolder)
{
    if (!document)
        return 0;
    const QString page = document->url();
    const QUrl origin(page);
    if (origin.host().isEmpty())
        return 0;
    struct Entry
    {
        QString doi;
        QString kind;
        QString title;
    };
    QList<Entry> entries;
    QHash<QString, qsizetype> entryOfDoi;
    for (const Element anchor : document->elementsByTagName(QStringLiteral("A"))) {
        const QString address = document->href(anchor);
        if (address.isEmpty())
            continue;
        const QUrl url(address);
        if (!sameOrigin(url, origin))
            continue;
        const std::optional<ContentLink> content = ContentLinkFromUrl(url);
        if (!content)
            continue;
        const QString key = DoiKey(content->Doi);
        auto it = entryOfDoi.constFind(key);
        if (it == entryOfDoi.cend()) {
            it = entryOfDoi.insert(key, entries.size());
            entries.append({ content->Doi, {}, {} });
        }
        Entry &entry = entries[*it];
        if (entry.title.isEmpty()) {
            // Trimmed, and every run of white space (line breaks too) one space.
            entry.title = document->innerText(anchor).simplified();
            entry.kind = ContentKindName(content->Kind);
        }
    }
    if (entries.isEmpty())
        return 0;
    int found = 0;
    for (const Entry &entry : std::as_const(entries)) {
        if (entry.title.isEmpty())
            continue;
        AnalysisItem item;
        item.Title = entry.title;
        item.Link = PdfAddressForDoi(origin, entry.doi);
        item.Type = Pdf;
        item.SourcePage = page;
        item.Folder = saveFolder;
        item.Doi = entry.doi;
        item.Kind = entry.kind;
        if (item.Link.isEmpty())
            continue;
        list.addItem(item);
        ++found;
    }
    list.refreshCounter();
    return found;
}

int AddPageEntries(const Document *document, AnalysisList &list, const QString &saveFolder)
{
    if (const int found = ExtractFromResultsList(document, list, saveFolder))
        return found;
    if (const int found = ExtractFromOrderedList(document, list, saveFolder))
        return found;
    return ExtractFromContentLinks(document, list, saveFolder);
}
