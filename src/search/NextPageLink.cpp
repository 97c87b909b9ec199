#include "search/NextPageLink.h"

#include "common/TextMode.h"
#include "common/TrimSpaces.h"

#include <QLocale>

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
