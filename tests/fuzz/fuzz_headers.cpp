// What the transfers read from response headers: the Content-Disposition line
// and its file name, the media type's extension, and the name a file is
// saved under beside files that exist.

#include "FuzzTarget.h"
#include "common/FileNameHelpers.h"
#include "common/MimeTypes.h"
#include "download/DownloadOptions.h"
#include "download/SavedFileNaming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

bool isExtension(const QString &text, qsizetype maxLength)
{
    if (text.size() > maxLength)
        return false;
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isLetterOrNumber(); });
}

const int contentDisposition = addFuzzTarget({ .name = u"Content-Disposition"_s,
    .seeds
    = { "HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment; "
        "filename=\"paper.pdf\"\r\n",
        "content-disposition: inline; filename=a.b.c.PDF; size=3\n",
        "Content-Disposition: attachment; filename*=UTF-8''%E6%A0%87%E9%A2%98.pdf\r\n",
        "Content-Disposition:   filename='x.tar.gz'  \r\n",
        "Content-Disposition: attachment; filename=\"..\\..\\evil.exe\"\r\n" },
    .run =
        [](const FuzzInput &in) {
            const QString header = QString::fromUtf8(in.bytes());
            const QString value = 从网络文件Header获取ContentDisposition(header);
            in.require(!value.contains(u'\n'), u"the value runs over a line"_s);
            in.require(
                !value.startsWith(u' ') && !value.endsWith(u' '), u"the value is not trimmed"_s);
            in.require(
                value.isEmpty() || header.contains(value), u"the value is not from the header"_s);
            for (const QString &text : { value, header }) {
                const QString extension = 从下载头信息ContentDisposition获取文件名(text);
                in.require(extension.size() <= 5
                        && std::all_of(extension.cbegin(), extension.cend(),
                            [](QChar c) { return c.unicode() < 128 && c.isLetter(); }),
                    u"the extension is more than five ASCII letters: "_s + extension);
            }
        },
    .tokens = { "Content-Disposition:", "filename=", "filename*=", "attachment;", "\r\n", "\"", "'",
        ".pdf" } });

const int extensionFromContentType = addFuzzTarget({ .name = u"ExtensionFromContentType"_s,
    .seeds = { "application/pdf", "text/html", "image/svg+xml", "application/vnd.ms-excel",
        "application/x-rar-compressed", "video/mp4", "application/octet-stream", "TEXT/HTML",
        "application/x-中文", "/", "" },
    .run =
        [](const FuzzInput &in) {
            const QString type = QString::fromUtf8(in.bytes());
            const QString extension = ExtensionFromContentType(type);
            in.require(isExtension(extension, 5),
                u"the extension is not up to five letters or digits: "_s + extension);
        },
    .tokens = { "application/", "text/", "image/", "x-", "vnd.", "+xml", ";", " charset=utf-8" } });

// ---- the saved-file name beside existing files ----

struct NamingFolder
{
    QTemporaryDir dir;
};
std::unique_ptr<NamingFolder> g_naming;

const int savedFileName = addFuzzTarget({ .name = u"SavedFileNaming"_s,
    .seeds = { "paper\x1fpdf\x1f\x01", "report[002]\x1fpdf\x1f\x02", "a[b]c\x1f\x1f\x01",
        "x[2147483647]\x1fpdf\x1f\x02", "x[-1]\x1fhtm\x1f\x00", "[5]\x1fpdf\x1f\x01",
        QByteArray(236, 'a') + "[99]\x1fpdf\x1f\x02" },
    .run =
        [](const FuzzInput &in) {
            const QStringList parts = in.texts(3);
            // As a row holds them: a cleaned name and an extension of a few letters.
            const QString name = CleanFileName(parts.at(0));
            const QString type = parts.at(1).left(5);
            if (name.isEmpty() || !isExtension(type, 5))
                return;
            const QString folder = g_naming->dir.path() + u'/';
            const int existing = parts.at(2).isEmpty() ? 0 : parts.at(2).at(0).unicode() % 4;
            DownloadOptions options;
            options.policy = DuplicatePolicy::Rename;
            QStringList created;
            for (int i = 0; i < existing; ++i) {
                QString newName;
                const QString path = 重命名保存路径(folder, name, type, options, &newName);
                QFile file(path);
                if (!file.open(QIODevice::NewOnly))
                    break;
                created.append(path);
            }
            QString newName;
            const QString path = 重命名保存路径(folder, name, type, options, &newName);
            const QString fileName = path.mid(folder.size());
            in.require(path.startsWith(folder) && !fileName.contains(u'/'),
                u"the saved file left its folder"_s);
            in.require(!FileExists(path), u"the rename policy chose a taken name"_s);
            in.require(fileName.toUtf8().size() <= 255,
                u"the saved file name is over 255 bytes: "_s
                    + QString::number(fileName.toUtf8().size()));
            in.require(fileName == (type.isEmpty() ? newName : newName + u'.' + type),
                u"the new name does not match the path"_s);
            for (const QString &file : std::as_const(created))
                QFile::remove(file);
        },
    .tokens = { "[", "]", "[001]", "[9999]", "\x1f" },
    .perMille = 300,
    .setUp = [] { g_naming = std::make_unique<NamingFolder>(); },
    .tearDown =
        [] {
            g_naming.reset();
        } });

} // namespace
