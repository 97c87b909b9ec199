#include "common/MimeTypes.h"

#include "common/TrimSpaces.h"

#include <QHash>

namespace {

struct Row
{
    const char16_t *subtypes; // space-separated alternatives
    const char16_t *candidate; // nullptr: the subtype itself
    // The candidate is the extension as it stands; the cut to leading letters
    // would spoil extensions with digits such as "mp4".
    bool exact = false;
};

struct Candidate
{
    QString text;
    bool exact = false;
};

// Rows are tried top to bottom within a main type; the first match wins.
const QHash<QString, QList<Row>> &table()
{
    static const QHash<QString, QList<Row>> rows = {
        { QStringLiteral("application"),
            {
                { u"octet-stream", u"" },
                { u"x-shockwave-flash", u"swf" },
                { u"x-javascript", u"js" },
                { u"vnd.ms-wpl", u"wpl" },
                { u"kdh", u"kdh" },
                { u"caj", u"caj" },
                { u"pdf", u"pdf" },
                { u"caa", u"caa" },
                { u"nh", u"nh" },
                { u"vnd.ms-works", u"wps" },
                { u"ppt vnd.ms-powerpoint", u"ppt" },
                { u"doc msword", u"doc" },
                { u"docx vnd.openxmlformats-officedocument.wordprocessingml.document", u"docx" },
                { u"rtf", u"rtf" },
                { u"xls vnd.ms-excel x-excel", u"xls" },
                { u"xlsx vnd.openxmlformats-officedocument.spreadsheetml.sheet", u"xlsx" },
                { u"pptx vnd.openxmlformats-officedocument.presentationml.presentation", u"pptx" },
                { u"pps", u"pps" },
                { u"ppsx vnd.openxmlformats-officedocument.presentationml.slideshow", u"ppsx" },
                { u"dll x-msdownload", u"dll" },
                { u"tar x-tar", u"tar" },
                { u"tgz x-compressed", u"tgz" },
                { u"zip x-zip-compressed", u"zip" },
                { u"z x-compress", u"z" },
                // The subtype itself would be cut to "vnd" below; users expect "rm".
                { u"vnd.rn-realmedia", u"rm" },
            } },
        { QStringLiteral("text"),
            {
                { u"html txt htm xml css", nullptr },
                { u"plain", u"txt" },
            } },
        { QStringLiteral("image"),
            {
                { u"jpg jpeg gif png bmp tif pjpeg ief", nullptr },
                { u"tiff", u"tif" },
                { u"x-png", u"png" },
                { u"x-ms-bmp", u"bmp" },
                { u"x-icon", u"ico" },
                // Fax images are saved as .g3; the subtype itself would be cut to "g".
                { u"g3fax", u"g3", true },
            } },
        { QStringLiteral("video"),
            {
                { u"mpeg", nullptr },
                { u"x-msvideo", u"avi" },
                { u"x-ms-asf", u"asf" },
                { u"x-ms-wmv", u"wmv" },
                { u"quicktime", u"mov" },
                // The final cut would leave "mp"; "mp4" is what the type means.
                { u"mpeg4", u"mp4", true },
            } },
        { QStringLiteral("audio"),
            {
                { u"amr", nullptr },
                { u"x-ms-wma", u"wma" },
                { u"x-wav", u"wav" },
                { u"x-pn-realaudio", u"ram" },
                { u"midi", u"mid" },
                { u"x-mpegurl", u"mpeg" },
            } },
        { QStringLiteral("message"),
            {
                { u"rfc822", u"mht" },
            } },
    };
    return rows;
}

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

// The leading run of letters; empty when that run is longer than 5.
QString finalCut(const QString &candidate)
{
    qsizetype n = 0;
    while (n < candidate.size() && isAsciiLetter(candidate.at(n)))
        ++n;
    return n > 5 ? QString() : candidate.left(n);
}

Candidate candidateFor(const QString &contentType)
{
    const QStringList parts = contentType.split(u'/');
    if (parts.size() != 2)
        return { TrimSpaces(parts.first()).toLower() };

    const QString main = TrimSpaces(parts.at(0)).toLower();
    QString sub = parts.at(1);
    sub.remove(u' ');
    sub = sub.toLower();

    const auto known = table().constFind(main);
    if (known == table().constEnd())
        return { sub };
    for (const Row &row : *known) {
        for (const auto alternative : QStringView(row.subtypes).split(u' ')) {
            if (alternative == sub)
                return { row.candidate ? QString::fromUtf16(row.candidate) : sub, row.exact };
        }
    }
    if (sub.isEmpty() || sub == u"*")
        return {};
    return { sub };
}

} // namespace

QString ExtensionFromContentType(const QString &contentType)
{
    const Candidate candidate = candidateFor(contentType);
    return candidate.exact ? candidate.text : finalCut(candidate.text);
}
