#include "search/ResultExtraction.h"

#include "common/Doi.h"
#include "common/TextMode.h"
#include "common/TrimSpaces.h"
#include "search/AnalysisList.h"

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

} // namespace

DocumentScope extractionScope()
{
    DocumentScope scope;
    scope.tags = QStringList { QStringLiteral("A"), QStringLiteral("LI"), QStringLiteral("OL"),
        QStringLiteral("P") };
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

void AddPageEntries(const Document *document, AnalysisList &list, const QString &saveFolder)
{
    if (ExtractFromResultsList(document, list, saveFolder) == 0)
        ExtractFromOrderedList(document, list, saveFolder);
}
