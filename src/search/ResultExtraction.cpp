#include "search/ResultExtraction.h"

#include "common/TextMode.h"
#include "common/TrimSpaces.h"
#include "search/AnalysisList.h"

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
        list.加入LV1(title, link, page, Pdf, saveFolder, QString());
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
        const QString link = unescapeAmpersands(
            downloadPdfLink(*document, document->elementsByTagName(QStringLiteral("A"), item)));
        title = TrimSpaces(title);
        if (title.isEmpty() || link.isEmpty())
            continue;
        list.加入LV1(title, link, page, Pdf, saveFolder, QString());
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
        list.加入LV1(title, link, page, Pdf, saveFolder, QString());
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
