#include "Doi.h"

#include "ControlCharacters.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// "10.", four to nine digits (ASCII only), "/".
const QString kDoiPrefixPattern = QStringLiteral("10\\.[0-9]{4,9}/");

const QString kPdfPathStart = QStringLiteral("/content/pdf/");
const QString kPdfExtension = QStringLiteral(".pdf");

QString percentDecoded(const QString &text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

// The path without query and fragment, percent-decoded once.
QString decodedPath(const QString &path)
{
    qsizetype end = path.size();
    for (const QChar stop : { QLatin1Char('?'), QLatin1Char('#') }) {
        const qsizetype at = path.indexOf(stop);
        if (at >= 0)
            end = std::min(end, at);
    }
    return percentDecoded(path.left(end));
}

struct KindName
{
    ContentKind kind;
    QLatin1String name;
};

constexpr KindName kKindNames[] = {
    { ContentKind::Article, QLatin1String("article") },
    { ContentKind::Chapter, QLatin1String("chapter") },
    { ContentKind::Book, QLatin1String("book") },
    { ContentKind::ReferenceWorkEntry, QLatin1String("referenceworkentry") },
    { ContentKind::Protocol, QLatin1String("protocol") },
};

} // namespace

QString DoiFromPath(const QString &path)
{
    static const QRegularExpression doi(
        QStringLiteral("(?:^|/)(") + kDoiPrefixPattern + QStringLiteral("[^/]+)"));
    const QRegularExpressionMatch match = doi.match(decodedPath(path));
    return match.hasMatch() ? match.captured(1) : QString();
}

QString ContentKindName(ContentKind kind)
{
    for (const KindName &entry : kKindNames) {
        if (entry.kind == kind)
            return entry.name;
    }
    return {};
}

ContentKind ContentKindFromName(const QString &name)
{
    for (const KindName &entry : kKindNames) {
        if (name.compare(entry.name, Qt::CaseInsensitive) == 0)
            return entry.kind;
    }
    return ContentKind::Unknown;
}

std::optional<ContentLink> ContentLinkFromUrl(const QUrl &url)
{
    if (!url.isValid())
        return std::nullopt;
    static const QRegularExpression content(
        QStringLiteral("^/(article|chapter|referenceworkentry|protocol|book)/(") + kDoiPrefixPattern
        + QStringLiteral("[^/]+)"));
    const QRegularExpressionMatch match = content.match(decodedPath(url.path(QUrl::FullyEncoded)));
    if (!match.hasMatch())
        return std::nullopt;
    return ContentLink { match.captured(2), ContentKindFromName(match.captured(1)) };
}

QString DoiFromPdfUrl(const QUrl &url)
{
    if (!url.isValid())
        return {};
    const QString path = url.path(QUrl::FullyEncoded);
    if (!path.startsWith(kPdfPathStart))
        return {};
    const QString rest = percentDecoded(path.mid(kPdfPathStart.size()));
    if (!rest.endsWith(kPdfExtension, Qt::CaseInsensitive))
        return {};
    const QString doi = rest.chopped(kPdfExtension.size());
    static const QRegularExpression whole(
        QStringLiteral("^") + kDoiPrefixPattern + QStringLiteral(".+$"),
        QRegularExpression::DotMatchesEverythingOption);
    return whole.match(doi).hasMatch() ? doi : QString();
}

QString PdfAddressForDoi(const QUrl &origin, const QString &doi)
{
    if (doi.isEmpty() || origin.scheme().isEmpty() || origin.host().isEmpty())
        return {};
    QUrl root;
    root.setScheme(origin.scheme());
    root.setHost(origin.host());
    root.setPort(origin.port());

    QByteArray encoded;
    const QByteArray bytes = doi.toUtf8();
    encoded.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const bool escape = byte == '/' || byte == '%' || byte == '?' || byte == '#' || byte == ' '
            || byte < 0x20 || byte >= 0x7F;
        if (escape) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        } else {
            encoded += c;
        }
    }
    return root.toString(QUrl::FullyEncoded) + kPdfPathStart + QString::fromLatin1(encoded)
        + kPdfExtension;
}

QString DoiKey(const QString &doi)
{
    return doi.toLower();
}

bool SameDoi(const QString &a, const QString &b)
{
    return !a.isEmpty() && !b.isEmpty() && DoiKey(a) == DoiKey(b);
}

QString DoiFromInputText(const QString &text)
{
    const QString line = text.trimmed();
    static const QRegularExpression resolver(QStringLiteral("^https?://(?:dx\\.)?doi\\.org/"),
        QRegularExpression::CaseInsensitiveOption);
    static const QLatin1String doiScheme("doi:");

    QString doi;
    if (line.startsWith(doiScheme, Qt::CaseInsensitive)) {
        doi = line.mid(doiScheme.size()).trimmed();
    } else if (const QRegularExpressionMatch match = resolver.match(line); match.hasMatch()) {
        doi = percentDecoded(line.mid(match.capturedLength())).trimmed();
    } else {
        doi = line;
    }
    static const QRegularExpression whole(
        QStringLiteral("^") + kDoiPrefixPattern + QStringLiteral(".+$"),
        QRegularExpression::DotMatchesEverythingOption);
    if (!whole.match(doi).hasMatch() || HasControlCharacter(doi))
        return {};
    return doi;
}
