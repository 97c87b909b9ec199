#include "download/SavedFileNaming.h"

#include "common/FileNameHelpers.h"
#include "common/SafeFiles.h"
#include "common/TextMode.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace {

QString withExtension(const QString &name, const QString &type)
{
    return type.isEmpty() ? name : name + QLatin1Char('.') + type;
}

QString counted(const QString &name, qint64 n)
{
    return name + QLatin1Char('[') + QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'))
        + QLatin1Char(']');
}

// The counter of a name ending in "[number]", or 0 (name unchanged).
qint64 takeCounter(QString &name)
{
    if (!name.endsWith(u']'))
        return 0;
    const qsizetype open = name.lastIndexOf(u'[');
    if (open < 0)
        return 0;
    const QString inside = TrimSpaces(QStringView(name).sliced(open + 1, name.size() - open - 2));
    if (!ReadsAsNumber(inside))
        return 0;
    const double value = std::round(inside.toDouble());
    if (!(value >= 0 && value <= double(std::numeric_limits<int>::max())))
        return 0;
    name.truncate(open);
    return qint64(value);
}

} // namespace

QString TitleOnOneLine(const QString &title)
{
    const auto isBreak = [](QChar c) {
        return c == u'\r' || c == u'\n' || c == u'\t';
    };
    QString result;
    result.reserve(title.size());
    for (qsizetype i = 0; i < title.size();) {
        if (!isBreak(title[i])) {
            result.append(title[i++]);
            continue;
        }
        // The break, and the indentation around it, becomes one space.
        while (result.endsWith(u' '))
            result.chop(1);
        while (i < title.size() && (isBreak(title[i]) || title[i] == u' '))
            ++i;
        result.append(QLatin1Char(' '));
    }
    return TrimSpaces(result);
}

bool SameFilePath(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    return a == b || QDir::cleanPath(a) == QDir::cleanPath(b);
}

bool 确定是需要下载(DownloadItem &row, const DownloadOptions &options)
{
    const QString folder = row.Folder.endsWith(u'/') ? row.Folder : row.Folder + QLatin1Char('/');
    const QString path = folder + withExtension(row.Name, row.Type);
    if (options.policy != DuplicatePolicy::Skip || SameFilePath(path, row.ReplaceableFile)
        || !NameTaken(path))
        return true;
    const QString length = QString::number(QFileInfo(path).size());
    row.StatusCode = Status::Completed;
    row.Size = length;
    row.Received = length;
    row.Percent = StatusText::ExistsSkipped;
    return false;
}

QString 重命名保存路径(const QString &folder, const QString &name, const QString &type,
    const DownloadOptions &options, QString *newName, const QString &ownFile)
{
    const QString f = folder.endsWith(u'/') ? folder : folder + QLatin1Char('/');
    const auto taken = [&ownFile](const QString &path) {
        return !SameFilePath(path, ownFile) && NameTaken(path);
    };
    QString candidate = withExtension(name, type);
    if (newName)
        *newName = name;
    if (options.policy == DuplicatePolicy::Overwrite || !taken(f + candidate))
        return f + candidate;

    QString base = name;
    qint64 n = takeCounter(base);
    base.replace(u'[', u'『').replace(u']', u'』');
    // Each swapped bracket takes two more bytes; the name must still leave
    // room for the counter and the extension.
    base = CutToNameLimit(base);
    QString chosen = n != 0 ? counted(base, n) : base;
    while (taken(f + withExtension(chosen, type))) {
        ++n;
        chosen = counted(base, n);
    }
    if (newName)
        *newName = chosen;
    return f + withExtension(chosen, type);
}

QString 从网络文件Header获取ContentDisposition(const QString &header)
{
    static const QString kName = QStringLiteral("content-disposition:");
    const QStringList lines = header.split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        line = TrimSpaces(line);
        if (line.left(kName.size()).toLower() == kName)
            return TrimSpaces(QStringView(line).sliced(kName.size()));
    }
    return {};
}

QString 从下载头信息ContentDisposition获取文件名(const QString &contentDisposition)
{
    static const QString kKey = QStringLiteral("filename=");
    QString s = TrimSpaces(contentDisposition);
    const qsizetype at = textIndexOf(s, kKey);
    if (at < 0)
        return {};
    s = TrimSpaces(QStringView(s).sliced(at + kKey.size()));
    const qsizetype semicolon = s.indexOf(u';');
    if (semicolon >= 0)
        s = TrimSpaces(QStringView(s).first(semicolon));
    s.remove(u'"').remove(u'\'');
    s.remove(QStringLiteral("\r\n"));
    s.removeIf([](QChar c) { return c == u'\0' || c == u'\n' || c == u'\r' || c == u'\t'; });
    s = TrimSpaces(s);

    const qsizetype dot = s.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QString extension = TrimSpaces(QStringView(s).sliced(dot + 1));
    qsizetype letters = 0;
    while (letters < extension.size()) {
        const char16_t c = extension[letters].unicode();
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            break;
        ++letters;
    }
    return letters > 5 ? QString() : extension.left(letters);
}
