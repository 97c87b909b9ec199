#include "common/Citations.h"

#include "common/Doi.h"
#include "platform/UserDialogs.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <algorithm>

namespace {

// Every run of control characters (CR, LF, tab, ...) as one space, trimmed:
// RIS and BibTeX values are single lines.
QString oneLine(const QString &text)
{
    QString out;
    out.reserve(text.size());
    bool inRun = false;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control) {
            if (!inRun)
                out += u' ';
            inRun = true;
        } else {
            out += c;
            inRun = false;
        }
    }
    return out.trimmed();
}

QString risType(ContentKind kind)
{
    switch (kind) {
    case ContentKind::Article:
        return QStringLiteral("JOUR");
    case ContentKind::Chapter:
    case ContentKind::ReferenceWorkEntry:
    case ContentKind::Protocol:
        return QStringLiteral("CHAP");
    case ContentKind::Book:
        return QStringLiteral("BOOK");
    case ContentKind::Unknown:
        break;
    }
    return QStringLiteral("GEN");
}

QString bibTeXType(ContentKind kind)
{
    switch (kind) {
    case ContentKind::Article:
        return QStringLiteral("article");
    case ContentKind::Chapter:
    case ContentKind::ReferenceWorkEntry:
    case ContentKind::Protocol:
        return QStringLiteral("incollection");
    case ContentKind::Book:
        return QStringLiteral("book");
    case ContentKind::Unknown:
        break;
    }
    return QStringLiteral("misc");
}

QString fileUrl(const QString &path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

// A character that would end or break a BibTeX key.
bool breaksKey(QChar c)
{
    static const QString breaking = QStringLiteral(",{}\"#%'=\\~");
    return c.isSpace() || c.category() == QChar::Other_Control || breaking.contains(c);
}

QString bibTeXKey(const CitationRow &row, int position)
{
    if (row.Doi.isEmpty())
        return QStringLiteral("quillmoor") + QString::number(position);
    QString key = QStringLiteral("doi:") + row.Doi;
    for (QChar &c : key) {
        if (breaksKey(c))
            c = u'_';
    }
    return key;
}

// The file field's path as reference managers read it: "\", ":" and ";"
// separate its parts unless escaped.
QString fileFieldPath(const QString &path)
{
    QString out;
    for (const QChar c : oneLine(path)) {
        if (c == u'\\' || c == u':' || c == u';')
            out += u'\\';
        out += c;
    }
    return out;
}

QString csvField(const QString &text)
{
    static const QString needsQuotes = QStringLiteral("\",\r\n");
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return needsQuotes.contains(c); }))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

CitationFormat CitationFormatOfPath(const QString &path)
{
    const QString extension = QFileInfo(path).suffix();
    if (extension.compare(u"bib", Qt::CaseInsensitive) == 0)
        return CitationFormat::BibTeX;
    if (extension.compare(u"csv", Qt::CaseInsensitive) == 0)
        return CitationFormat::Csv;
    return CitationFormat::Ris;
}

QString CitationFilePath(const QString &chosen)
{
    if (chosen.isEmpty() || !QFileInfo(chosen).suffix().isEmpty())
        return chosen;
    return chosen + QStringLiteral(".ris");
}

QString DoiResolverAddress(const QString &doi)
{
    if (doi.isEmpty())
        return {};
    // Kept as they are: letters, digits and what RFC 3986 allows in a path.
    const QByteArray encoded = doi.toUtf8().toPercentEncoding("/:;()!$&'*+,=@~");
    return QStringLiteral("https://doi.org/") + QString::fromLatin1(encoded);
}

QByteArray RisBytes(const QList<CitationRow> &rows)
{
    QString out;
    const auto line = [&out](QStringView tag, const QString &value) {
        const QString text = oneLine(value);
        if (!text.isEmpty())
            out += tag + QStringLiteral("  - ") + text + QStringLiteral("\r\n");
    };
    for (const CitationRow &row : rows) {
        line(u"TY", risType(ContentKindFromName(row.Kind)));
        line(u"TI", row.Title);
        line(u"DO", row.Doi);
        line(u"UR", row.Doi.isEmpty() ? row.SourcePage : DoiResolverAddress(row.Doi));
        line(u"L1", row.File.isEmpty() ? row.Link : fileUrl(row.File));
        out += QStringLiteral("ER  - \r\n\r\n");
    }
    return out.toUtf8();
}

QString BibTeXTitle(const QString &title)
{
    QString out;
    for (const QChar c : oneLine(title)) {
        switch (c.unicode()) {
        case u'{':
        case u'}':
        case u'%':
        case u'&':
        case u'#':
        case u'_':
        case u'$':
            out += u'\\';
            out += c;
            break;
        case u'\\':
            out += QStringLiteral("$\\backslash$");
            break;
        case u'~':
            out += QStringLiteral("\\~{}");
            break;
        case u'^':
            out += QStringLiteral("\\^{}");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray BibTeXBytes(const QList<CitationRow> &rows)
{
    QString out;
    // Keys compare without regard to case, as BibTeX and DOIs do.
    QSet<QString> keys;
    for (int i = 0; i < rows.size(); ++i) {
        const CitationRow &row = rows.at(i);
        const QString base = bibTeXKey(row, i + 1);
        QString key = base;
        for (int n = 2; keys.contains(key.toLower()); ++n)
            key = base + u'-' + QString::number(n);
        keys.insert(key.toLower());

        out += u'@' + bibTeXType(ContentKindFromName(row.Kind)) + u'{' + key + u',' + u'\n';
        QStringList fields;
        fields << QStringLiteral("  title = {") + BibTeXTitle(row.Title) + u'}';
        if (!row.Doi.isEmpty())
            fields << QStringLiteral("  doi = {") + oneLine(row.Doi) + u'}';
        const QString url = row.Doi.isEmpty() ? row.Link : DoiResolverAddress(row.Doi);
        if (!url.isEmpty())
            fields << QStringLiteral("  url = {") + oneLine(url) + u'}';
        if (!row.File.isEmpty())
            fields << QStringLiteral("  file = {:") + fileFieldPath(row.File)
                    + QStringLiteral(":PDF}");
        out += fields.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n\n");
    }
    return out.toUtf8();
}

QByteArray CsvBytes(const QList<CitationRow> &rows)
{
    QString out = QStringLiteral("\uFEFFtitle,doi,kind,link,source_page,file,status\r\n");
    for (const CitationRow &row : rows) {
        const QStringList fields { row.Title, row.Doi, row.Kind, row.Link, row.SourcePage, row.File,
            row.Status };
        QStringList quoted;
        for (const QString &field : fields)
            quoted << csvField(field);
        out += quoted.join(u',') + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

QByteArray CitationBytes(const QList<CitationRow> &rows, CitationFormat format)
{
    switch (format) {
    case CitationFormat::Ris:
        return RisBytes(rows);
    case CitationFormat::BibTeX:
        return BibTeXBytes(rows);
    case CitationFormat::Csv:
        return CsvBytes(rows);
    }
    return {};
}

CitationExport WriteCitationFile(const QList<CitationRow> &rows, const QString &chosenPath)
{
    CitationExport result;
    result.path = CitationFilePath(chosenPath);
    if (result.path.isEmpty()) {
        result.error = QStringLiteral("no file name");
        return result;
    }
    const QByteArray bytes = CitationBytes(rows, CitationFormatOfPath(result.path));
    // Written beside the target and moved into place: a failed write leaves an
    // earlier file of that name as it was.
    QSaveFile file(result.path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        result.error = result.path + QStringLiteral(": ") + file.errorString();
        return result;
    }
    result.count = int(rows.size());
    return result;
}

QString CitationExportDoneText(int count)
{
    return QStringLiteral("导出引用完毕：") + QString::number(count) + u'条';
}

bool ExportCitations(const QList<CitationRow> &rows, UserDialogs &dialogs)
{
    if (rows.isEmpty())
        return false;
    const QString path = dialogs.saveFileName(CitationFileFilter, QString());
    if (path.isEmpty())
        return false;
    const CitationExport written = WriteCitationFile(rows, path);
    if (!written.ok()) {
        dialogs.message(written.error, UserDialogs::Style::Error);
        return false;
    }
    dialogs.message(CitationExportDoneText(written.count), UserDialogs::Style::Information);
    return true;
}
