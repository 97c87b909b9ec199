#include "common/FileNameHelpers.h"

#include "common/SafeFiles.h"
#include "common/TextMode.h"
#include "platform/UserDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace {

const QString kSlash = QStringLiteral("/");
const QString kBadFolderName = QStringLiteral("文件夹名称有误！不能创建文件夹！");

#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;
#endif

// Code units of the code point starting at i: 2 for a whole surrogate pair.
qsizetype codePointLength(const QString &text, qsizetype i, char32_t *codePoint)
{
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        *codePoint = QChar::surrogateToUcs4(c, text[i + 1].unicode());
        return 2;
    }
    *codePoint = c;
    return 1;
}

int utf8Length(char32_t cp)
{
    if (cp < 0x80)
        return 1;
    if (cp < 0x800)
        return 2;
    if (cp < 0x10000)
        return 3; // a lone surrogate is written as U+FFFD, also 3 bytes
    return 4;
}

// The longest prefix of whole characters within both byte limits.
QString cutToByteLimits(const QString &text, int maxGbk, int maxUtf8)
{
    int gbk = 0;
    int utf8 = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        char32_t cp;
        const qsizetype units = codePointLength(text, i, &cp);
        gbk += GbkCharByteCount(cp);
        utf8 += utf8Length(cp);
        if (gbk > maxGbk || utf8 > maxUtf8)
            break;
        i += units;
    }
    return text.left(i);
}

bool isForbiddenInName(QChar c)
{
    switch (textFold(c.unicode())) {
    case u'\\':
    case u'/':
    case u':':
    case u'*':
    case u'?':
    case u'"':
    case u'<':
    case u'>':
    case u'|':
        return true;
    default:
        return false;
    }
}

bool isLineBreakOrNul(QChar c)
{
    return c == u'\r' || c == u'\n' || c == u'\0';
}

// C0 and C1 control characters (tab, escape, DEL, ...). A name made from a
// title never holds one: a tab would split the tab-separated report and
// terminals act on escapes.
bool isControlCharacter(QChar c)
{
    return c.category() == QChar::Other_Control;
}

// The invisible marks that change the direction text is shown in. Kept in a
// name, a right-to-left override can make "x\u202Efdp.exe" look like
// "xexe.pdf" in a file manager. Joiners and the soft hyphen stay.
bool isBidiControl(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E)
        || (u >= 0x2066 && u <= 0x2069);
}

// Cuts at most `limit` code units without splitting a surrogate pair.
QString leftWholeCharacters(const QString &text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    if (limit > 0 && text[limit - 1].isHighSurrogate())
        --limit;
    return text.left(limit);
}

// Last "/" or "\\" of a URL or a path written either way; their full-width
// forms count too (text mode).
qsizetype lastUrlSeparator(const QString &text)
{
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const char16_t c = textFold(text[i].unicode());
        if (c == u'/' || c == u'\\')
            return i;
    }
    return -1;
}

enum class Walk { Folders, Files };

void walkFolder(const QString &folderIn, QStringList &list, bool recurse, Walk what)
{
    const QString folder = folderIn.endsWith(u'/') ? folderIn : folderIn + kSlash;
    const bool atRoot = folder == kSlash;
    // Name order, as the file system the program was made for returns it,
    // so the listing does not depend on directory hashing.
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDir::Name | QDir::IgnoreCase);
    QStringList subfolders;
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (name.toLower() == u"pagefile.sys")
            continue;
        if (atRoot && name.toUpper() == u"RECYCLER")
            continue;
        // An entry whose attributes cannot be read (a link to nothing) is
        // skipped.
        if (!entry.exists())
            continue;
        if (entry.isDir()) {
            if (what == Walk::Folders)
                list.append(folder + name);
            if (!entry.isSymLink())
                subfolders.append(name);
        } else if (what == Walk::Files) {
            list.append(folder + name);
        }
    }
    if (!recurse)
        return;
    for (const QString &name : std::as_const(subfolders))
        walkFolder(folder + name, list, recurse, what);
}

} // namespace

QString CutToNameLimit(const QString &text)
{
    return cutToByteLimits(text, 400, 240);
}

QString CleanFileName(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (!isForbiddenInName(c) && !isLineBreakOrNul(c) && !isControlCharacter(c)
            && !isBidiControl(c))
            result.append(c);
    }
    qsizetype begin = 0;
    qsizetype end = result.size();
    while (begin < end && result[begin] == u'.')
        ++begin;
    while (end > begin && result[end - 1] == u'.')
        --end;
    result = result.sliced(begin, end - begin);
    return CutToNameLimit(result);
}

bool ReadsAsNumber(QStringView text)
{
    // The trimmed text must outlive the view of it.
    const QString trimmed = TrimSpaces(text);
    const QStringView t(trimmed);
    qsizetype i = 0;
    auto digits = [&] {
        const qsizetype start = i;
        while (i < t.size() && t[i] >= u'0' && t[i] <= u'9')
            ++i;
        return i - start;
    };
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    qsizetype mantissa = digits();
    if (i < t.size() && t[i] == u'.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == t.size();
}

QString UniqueFileName(const QString &path)
{
    if (!NameTaken(path))
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return path;
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    const qsizetype dot = textLastIndexOf(name, u".");
    QString base = dot < 0 ? name : name.left(dot);
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    base = leftWholeCharacters(base, 100);
    if (base.endsWith(u']')) {
        const qsizetype open = base.lastIndexOf(u'[');
        if (open >= 0 && ReadsAsNumber(QStringView(base).sliced(open + 1, base.size() - open - 2)))
            base.truncate(open);
    }
    const QString dotExtension = extension.isEmpty() ? QString() : u'.' + extension;
    QString candidate = folder + base + dotExtension;
    for (int n = 1; NameTaken(candidate); ++n)
        candidate = folder + base + u'[' + QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0'))
            + u']' + dotExtension;
    return candidate;
}

QString FileNameFromPath(const QString &pathOrUrl, bool dropExtension)
{
    QString result = pathOrUrl;
    const qsizetype slash = lastUrlSeparator(result);
    if (slash >= 0)
        result = TrimSpaces(QStringView(result).sliced(slash + 1));
    if (dropExtension) {
        const qsizetype dot = textLastIndexOf(result, u".");
        if (dot >= 0)
            result = TrimSpaces(QStringView(result).first(dot));
    }
    return result;
}

QString WithoutCredentials(const QString &url)
{
    const qsizetype scheme = url.indexOf(u"://");
    if (scheme < 0)
        return url;
    const qsizetype begin = scheme + 3;
    qsizetype end = begin;
    while (end < url.size() && url[end] != u'/' && url[end] != u'?' && url[end] != u'#'
        && url[end] != u'\\')
        ++end;
    const qsizetype at = url.lastIndexOf(u'@', end - 1);
    if (at < begin)
        return url;
    return url.left(begin) + url.mid(at + 1);
}

QString SiteRootOfUrl(const QString &url)
{
    const qsizetype scheme = url.indexOf(u"://");
    if (scheme >= 0) {
        const qsizetype slash = url.indexOf(u'/', scheme + 3);
        return slash > scheme + 3 ? url.left(slash) : url;
    }
    const qsizetype slash = url.indexOf(u'/');
    return slash > 3 ? url.left(slash) : url;
}

QString CreateFolderPath(const QString &folderPath, UserDialogs &dialogs, QString *error)
{
    QString path = folderPath;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no folder given");
        return {};
    }
    if (path.startsWith(u"//") && path.section(u'/', 2, 2).isEmpty()) {
        dialogs.message(kBadFolderName, UserDialogs::Style::Error);
        if (error)
            *error = kBadFolderName;
        return {};
    }
    // The usual case, a folder that is there, costs one question.
    if (FolderExists(path))
        return path;
    int lastError = 0;
    for (qsizetype slash = path.indexOf(u'/', 1);; slash = path.indexOf(u'/', slash + 1)) {
        const QString prefix = slash < 0 ? path : path.left(slash);
        if (!prefix.endsWith(u'/') && ::mkdir(QFile::encodeName(prefix).constData(), 0777) != 0
            && errno != EEXIST)
            lastError = errno;
        if (slash < 0)
            break;
    }
    if (FolderExists(path))
        return path;
    if (error)
        *error = FileErrorText(lastError ? lastError : ENOTDIR);
    return {};
}

QString SplitNameAndExtension(const QString &path, QString *base)
{
    QString name = TrimSpaces(path);
    const qsizetype slash = name.lastIndexOf(u'/');
    if (slash >= 0)
        name = name.mid(slash + 1);
    QString stem = name;
    QString extension;
    const qsizetype dot = textLastIndexOf(name, u".");
    if (dot >= 0 && name.size() - dot - 1 < 7) {
        stem = name.left(dot);
        extension = name.mid(dot + 1);
    }
    if (base)
        *base = TrimSpaces(stem);
    return TrimSpaces(extension);
}

QString SplitPath(const QString &path, QString *extension, QString *base)
{
    const QString trimmed = TrimSpaces(path);
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    const QString folder = slash >= 0 ? trimmed.left(slash + 1) : QString();
    QString stem;
    QString ext = SplitNameAndExtension(trimmed, &stem);
    if (stem.isEmpty()) {
        stem = TrimSpaces(QStringView(trimmed).sliced(slash + 1));
        ext.clear();
    }
    if (extension)
        *extension = ext;
    if (base)
        *base = stem;
    return folder;
}

QString SplitBracketNumber(const QString &name, QString *base)
{
    QString counter;
    QString stem = name;
    // Text mode: full-width brackets count as well.
    const qsizetype open = textLastIndexOf(name, u"[");
    const qsizetype close = textLastIndexOf(name, u"]");
    if (close >= 0 && close == name.size() - 1 && open >= 0 && open < close) {
        const QString inside = TrimSpaces(QStringView(name).sliced(open + 1, close - open - 1));
        if (ReadsAsNumber(inside) && open > 0) {
            counter = inside;
            stem = name.left(open);
        }
    }
    if (base)
        *base = stem;
    return counter;
}

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool FolderExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool SameFolder(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    std::error_code error;
    if (std::filesystem::equivalent(
            QFile::encodeName(a).toStdString(), QFile::encodeName(b).toStdString(), error))
        return true;
    const QString first = QDir::cleanPath(QFileInfo(a).absoluteFilePath());
    const QString second = QDir::cleanPath(QFileInfo(b).absoluteFilePath());
    return first.compare(second, kFileNameCase) == 0;
}

QString RemoveLineBreaks(const QString &text)
{
    QString result = text;
    result.removeIf(isLineBreakOrNul);
    return result;
}

void ListSubfolders(const QString &folder, QStringList &list, bool recurse)
{
    // Relative paths would depend on the working folder.
    if (!folder.startsWith(u'/'))
        return;
    walkFolder(folder, list, recurse, Walk::Folders);
}

void ListFiles(const QString &folder, QStringList &list, bool recurse)
{
    // An empty folder would otherwise become "/", the whole file system.
    if (folder.isEmpty())
        return;
    walkFolder(folder, list, recurse, Walk::Files);
}

QString UrlFileNameAndExtension(const QString &url, QString *displayName)
{
    QString work = url;
    bool embedded = false;
    const qsizetype scheme = textIndexOf(url, u"://");
    if (scheme >= 0) {
        const qsizetype second = textIndexOf(url, u"://", scheme + 3);
        if (second > scheme + 3) {
            work = url.mid(scheme + 3, second - scheme - 3);
            embedded = true;
        } else {
            work = url.mid(scheme + 3);
        }
    }
    const qsizetype slash = lastUrlSeparator(work);
    if (slash >= 0)
        work = work.mid(slash + 1);
    static const char16_t cuts[]
        = { u'#', 8, 9, 10, 13, u':', u'*', u'<', u'>', u'|', u'"', u'\'' };
    for (const char16_t cut : cuts) {
        const qsizetype at = textIndexOf(work, QStringView(&cut, 1));
        if (at >= 0)
            work.truncate(at);
    }
    if (displayName) {
        *displayName = work;
        if (embedded) {
            const qsizetype at = textIndexOf(url, work);
            if (at >= 0)
                *displayName = url.mid(at);
        }
    }
    for (const char16_t cut : { u'=', u'?' }) {
        const qsizetype at = textIndexOf(work, QStringView(&cut, 1));
        if (at >= 0)
            work.truncate(at);
    }
    const qsizetype dot = work.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QString extension = TrimSpaces(QStringView(work).sliced(dot + 1));
    return extension.size() < 7 ? extension : QString();
}
