// Type detection from a file's bytes and the correction of its extension.

#include "FuzzTarget.h"
#include "download/DownloadItem.h"
#include "download/FileTypeDetection.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct TypeFolder
{
    QTemporaryDir dir;
};
std::unique_ptr<TypeFolder> g_types;

const QStringList kTypes = { u"pdf"_s, u"caj"_s, u"kdh"_s, u"nh"_s, u"tif"_s, u"exe"_s, u"rar"_s,
    u"zip"_s, u"docx"_s, u"swf"_s, u"rm"_s, u"wma"_s, u"mp3"_s, u"png"_s, u"gif"_s, u"jpg"_s,
    u"doc"_s, u"xls"_s, u"ppt"_s, u"htm"_s, u"caa"_s, QString() };

const QList<QByteArray> kFileSeeds = { "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj", "MZ\x90\x00",
    "PK\x03\x04\x14\x00\x06\x00word/", "\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", "\x89PNG\r\n\x1a\n",
    "GIF89a", "\xff\xd8\xff\xe0\x00\x10JFIF",
    "\xff\xd8\xff\xe1\x00\x10"
    "Exif",
    "Rar!\x1a\x07", "<!DOCTYPE html><html><head><title>Login</title>", "<html><body>", "CAJ",
    "II*\x00", "ID3\x03", "FWS", ".RMF", "\x30\x26\xb2\x75", "<?xml version=\"1.0\"?>", "", "M" };

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

const int typeDetection = addFuzzTarget({ .name = u"FileTypeDetection"_s,
    .seeds = kFileSeeds,
    .run =
        [](const FuzzInput &in) {
            const QString path = g_types->dir.filePath(u"probe.bin"_s);
            writeFile(path, in.bytes());
            const QString type = 打开文件判断文件类型(path);
            in.require(kTypes.contains(type), u"an unknown type: "_s + type);
        },
    .tokens
    = { "%PDF", "<html", "<HTML", "<!DOCTYPE", "<?xml", "PK\x03\x04", "MZ", "\xff\xd8\xff" },
    .perMille = 200,
    .setUp = [] { g_types = std::make_unique<TypeFolder>(); },
    .tearDown =
        [] {
            g_types.reset();
        } });

// The row's file keeps its bytes and its folder whatever its content says.
const int typeCorrection = addFuzzTarget({ .name = u"CorrectFileType"_s,
    .seeds = kFileSeeds,
    .run =
        [](const FuzzInput &in) {
            const QString folder = g_types->dir.filePath(u"rows/"_s);
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
            DownloadItem row;
            row.Folder = folder;
            row.Name = u"paper"_s;
            row.Type
                = kTypes.at(in.bytes().isEmpty() ? 0 : uchar(in.bytes().back()) % kTypes.size());
            // Sometimes the corrected name is taken already.
            if (!in.bytes().isEmpty() && uchar(in.bytes().at(0)) % 4 == 0)
                writeFile(folder + u"paper.htm"_s, "taken");
            writeFile(row.savedFilePath(), in.bytes());
            CorrectFileType(row);
            QFile file(row.savedFilePath());
            in.require(file.open(QIODevice::ReadOnly), u"the row's file is gone"_s);
            in.require(file.readAll() == in.bytes(), u"the row's file changed its bytes"_s);
            in.require(row.savedFilePath().startsWith(folder)
                    && !row.savedFilePath().mid(folder.size()).contains(u'/'),
                u"the file left its folder"_s);
        },
    .tokens = { "%PDF", "<html", "PK\x03\x04" },
    .perMille = 50,
    .setUp = [] { g_types = std::make_unique<TypeFolder>(); },
    .tearDown =
        [] {
            g_types.reset();
        } });

} // namespace
