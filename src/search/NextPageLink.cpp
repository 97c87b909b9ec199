#include "search/NextPageLink.h"

#include "common/TextMode.h"
#include "common/TrimSpaces.h"

#include <QLocale>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <climits>
#include <cmath>

bool isNextLink(const Document &document, Element anchor)
{
    return TrimSpaces(document.title(anchor)).toLower() == u"next"
        && document.className(anchor) == u"next";
}

Element findNextLink(const Document &document)
{
    for (const Element anchor : document.elementsByTagName(QStringLiteral("A"))) {
        if (isNextLink(document, anchor))
            return anchor;
    }
    return {};
}

namespace {

bool holdsNextToken(const QString &rel)
{
    const QStringList tokens
        = rel.split(QRegularExpression(QStringLiteral("[ \\t\\n\\f\\r]+")), Qt::SkipEmptyParts);
    return std::any_of(tokens.cbegin(), tokens.cend(),
        [](const QString &token) { return token.compare(u"next", Qt::CaseInsensitive) == 0; });
}

// "page=N" with N all digits gives N - 1.
std::optional<int> pageNumberOfQuery(const QString &address)
{
    const QUrlQuery query(QUrl(address).query(QUrl::FullyEncoded));
    if (!query.hasQueryItem(QStringLiteral("page")))
        return std::nullopt;
    const QString value = query.queryItemValue(QStringLiteral("page"), QUrl::FullyDecoded);
    if (value.isEmpty() || !std::all_of(value.cbegin(), value.cend(), [](QChar c) {
            return c >= u'0' && c <= u'9';
        }))
        return std::nullopt;
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number > INT_MAX)
        return INT_MAX - 1;
    return int(number) - 1;
}

} // namespace

QString relNextAddress(const Document &document)
{
    const QUrl base(document.url());
    // A and LINK elements in document order.
    QList<Element> elements = document.elementsByTagName(QStringLiteral("A"));
    elements += document.elementsByTagName(QStringLiteral("LINK"));
    std::sort(elements.begin(), elements.end(),
        [](Element a, Element b) { return a.index() < b.index(); });
    for (const Element element : std::as_const(elements)) {
        if (!holdsNextToken(document.rel(element)))
            continue;
        const QString href = document.href(element);
        if (href.isEmpty())
            continue;
        const QUrl address = base.resolved(QUrl(href));
        if (address.scheme() == u"http" || address.scheme() == u"https")
            return address.toString(QUrl::FullyEncoded);
    }
    return {};
}

NextPage findNextPage(const Document &document)
{
    NextPage next;
    next.anchor = findNextLink(document);
    if (!next.anchor.isNull())
        next.address = document.href(next.anchor);
    else
        next.address = relNextAddress(document);
    return next;
}

int 提取当前页码数(const Document *document)
{
    if (!document)
        return 0;
    for (const Element anchor : document->elementsByTagName(QStringLiteral("A"))) {
        if (!isNextLink(*document, anchor))
            continue;
        const QString address = document->href(anchor);
        const qsizetype page = textIndexOf(address, u"/page/");
        if (page < 0)
            continue;
        QString number = address.mid(page + 6);
        const qsizetype query = textIndexOf(number, u"?query=");
        if (query < 0)
            continue;
        number.truncate(query);
        if (const std::optional<double> value = parseNumericText(number)) {
            const int shown = wholeNumberPart(*value);
            return shown == INT_MIN ? INT_MIN : shown - 1;
        }
    }
    if (const QString next = relNextAddress(*document); !next.isEmpty())
        return pageNumberOfQuery(next).value_or(0);
    return 0;
}

std::optional<double> parseNumericText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    // Only digits, sign, point and exponent: no "inf", "nan" or hex.
    for (const QChar c : trimmed) {
        if (!c.isDigit() && c != u'+' && c != u'-' && c != u'.' && c != u'e' && c != u'E')
            return std::nullopt;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int wholeNumberPart(double value)
{
    const double down = std::floor(value);
    if (down >= double(INT_MAX))
        return INT_MAX;
    if (down <= double(INT_MIN))
        return INT_MIN;
    return int(down);
}
