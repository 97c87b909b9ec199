#include "InputLines.h"

#include "DownloadList.h"
#include "SavedFileNaming.h"
#include "common/ControlCharacters.h"
#include "common/Doi.h"
#include "common/FileNameHelpers.h"

#include <QUrl>

#include <algorithm>

namespace {

// An absolute http(s) address with a host, without spaces or control
// characters.
bool isHttpAddress(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QStringLiteral("http") || url.scheme() == QStringLiteral("https"))
        && !HasControlCharacter(text) && !text.contains(QLatin1Char(' '));
}

} // namespace

std::optional<InputLine> ParseInputLine(const QString &raw)
{
    const QString line = raw.trimmed();
    if (line.isEmpty())
        return std::nullopt;
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    InputLine result;
    result.Key = (tab < 0 ? line : line.left(tab)).trimmed();
    if (result.Key.isEmpty())
        return std::nullopt;
    result.Title = tab < 0 ? QString() : line.mid(tab + 1).trimmed();
    if (const qsizetype last = result.Title.lastIndexOf(QLatin1Char('\t')); last >= 0) {
        const QString page = result.Title.mid(last + 1).trimmed();
        if (isHttpAddress(page)) {
            result.Referer = page;
            result.Title = result.Title.left(last).trimmed();
        }
    }
    result.Doi = DoiFromInputText(result.Key);
    return result;
}

bool IsDownloadAddress(const QString &key)
{
    const QStringList alternatives = key.split(QLatin1Char('|'));
    return std::all_of(alternatives.cbegin(), alternatives.cend(),
        [](const QString &address) { return isHttpAddress(address); });
}

QList<InputLine> ParseInputLines(const QString &text)
{
    QStringView rest(text);
    if (rest.startsWith(QChar(0xFEFF)))
        rest = rest.mid(1);
    QList<InputLine> lines;
    for (const QStringView raw : rest.split(QLatin1Char('\n'))) {
        if (std::optional<InputLine> line = ParseInputLine(raw.toString()))
            lines.append(std::move(*line));
    }
    return lines;
}

DownloadItem DownloadItemForInputLine(
    const InputLine &line, const QString &folder, const QString &defaultReferer, const QUrl &site)
{
    DownloadItem item;
    const QString pdfAddress = line.Doi.isEmpty() ? QString() : PdfAddressForDoi(site, line.Doi);
    if (!pdfAddress.isEmpty()) {
        item.Key = pdfAddress;
        item.Type = QStringLiteral("pdf");
        item.Name = CleanFileName(line.Title.isEmpty() ? QString(line.Doi).replace(u'/', u'_')
                                                       : TitleOnOneLine(line.Title));
        item.Doi = line.Doi;
    } else {
        const QString url = DownloadList::选择url(line.Key);
        item.Key = line.Key;
        item.Type = UrlFileNameAndExtension(url);
        item.Name = CleanFileName(
            line.Title.isEmpty() ? FileNameFromPath(url, true) : TitleOnOneLine(line.Title));
        item.Doi = line.Doi.isEmpty() ? DoiFromPdfUrl(QUrl(url)) : line.Doi;
    }
    if (item.Name.isEmpty())
        item.Name = QStringLiteral("download");
    item.Folder = folder;
    item.Referer = line.Referer.isEmpty() ? defaultReferer : line.Referer;
    item.StatusCode = Status::Waiting;
    return item;
}
