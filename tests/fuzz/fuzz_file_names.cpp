// File-name and path helpers: names made from titles and addresses, free
// names beside existing files, folder chains under a root.

#include "FakeDialogs.h"
#include "FuzzTarget.h"
#include "common/FileNameHelpers.h"
#include "common/TextMode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Written apart from the helper on purpose: the check must not share its
// faults.
bool holdsForbidden(const QString &name)
{
    static const QString kSeparators = u"\\/:*?\"<>|"_s;
    return std::any_of(name.cbegin(), name.cend(), [](QChar c) {
        return c.category() == QChar::Other_Control
            || kSeparators.contains(QChar(textFold(c.unicode())));
    });
}

bool hasLoneSurrogate(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
                return true;
            ++i;
        } else if (text[i].isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

// Whether `part` can be had from `whole` by dropping characters.
bool isSubsequence(const QString &part, const QString &whole)
{
    qsizetype j = 0;
    for (qsizetype i = 0; i < whole.size() && j < part.size(); ++i) {
        if (whole[i] == part[j])
            ++j;
    }
    return j == part.size();
}

const QList<QByteArray> kNameSeeds
    = { "\x02标题：副标题", "\x02...a.b...", "\x02????", "\x02 a\tb ", "\x02report[0002]",
          "\x02"
          "Deep Learning: A Review (2nd ed.)",
          QByteArray("\x02") + QByteArray(300, 'a'), "\x02" + QString(200, u'中').toUtf8(),
          "\x01\x00\xd8\x41\x00", "\x02.pdf", "\x02\xef\xbc\x8e\xef\xbc\x8e" };

const int cleanFileName = addFuzzTarget(
    { .name = u"CleanFileName"_s, .seeds = kNameSeeds, .run = [](const FuzzInput &in) {
         const QString text = in.text();
         const QString name = CleanFileName(text);
         in.require(
             !holdsForbidden(name), u"a cleaned name holds a separator or control character"_s);
         in.require(!name.startsWith(u'.'), u"a cleaned name starts with a dot"_s);
         // Dots go before the length cut, which may end the name on one.
         in.require(!name.endsWith(u'.') || name.toUtf8().size() > 236 || GbkByteCount(name) > 396,
             u"a cleaned name ends with a dot"_s);
         in.require(name.toUtf8().size() <= 240, u"a cleaned name is over 240 UTF-8 bytes"_s);
         in.require(GbkByteCount(name) <= 400, u"a cleaned name is over 400 GBK bytes"_s);
         in.require(hasLoneSurrogate(name) <= hasLoneSurrogate(text),
             u"cleaning split a surrogate pair"_s);
         in.require(isSubsequence(name, text), u"cleaning added or reordered characters"_s);
         QString undotted = name;
         while (undotted.endsWith(u'.'))
             undotted.chop(1);
         in.require(CleanFileName(name) == undotted, u"cleaning twice changes the name"_s);
     } });

// ---- UniqueFileName: a folder with a few files, some named like the input ----

struct NameFolder
{
    QTemporaryDir dir;
};
std::unique_ptr<NameFolder> g_names;

const int uniqueFileName = addFuzzTarget({ .name = u"UniqueFileName"_s,
    .seeds = kNameSeeds,
    .run =
        [](const FuzzInput &in) {
            const QString folder = g_names->dir.path() + u'/';
            // The name as a title would become one, so it can be created.
            const QString name = CleanFileName(in.text());
            if (name.isEmpty())
                return;
            const QString path = folder + name;
            const bool create = !in.bytes().isEmpty() && (uchar(in.bytes().back()) % 3 != 0);
            QStringList created;
            if (create) {
                // The file itself and, for some inputs, its first numbered variant.
                QString unique = path;
                for (int i = 0; i < 1 + int(uchar(in.bytes().back()) % 3); ++i) {
                    QFile file(unique);
                    if (!file.open(QIODevice::NewOnly))
                        break;
                    file.close();
                    created.append(unique);
                    unique = UniqueFileName(unique);
                }
            }
            const QString result = UniqueFileName(path);
            in.require(result.startsWith(folder) && !result.mid(folder.size()).contains(u'/'),
                u"the free name left the folder"_s);
            if (created.isEmpty())
                in.require(result == path, u"a free path was changed"_s);
            else
                in.require(!FileExists(result), u"the free name is taken"_s);
            for (const QString &file : std::as_const(created))
                QFile::remove(file);
        },
    .perMille = 100,
    .setUp = [] { g_names = std::make_unique<NameFolder>(); },
    .tearDown =
        [] {
            g_names.reset();
        } });

// ---- CreateFolderPath under a root: nothing is ever made outside it ----

struct FolderSandbox
{
    QTemporaryDir sandbox;
    QString root;
};
std::unique_ptr<FolderSandbox> g_folders;

// Every entry of the sandbox outside the root; the root is its only child.
QStringList outsideRoot()
{
    const QDir sandbox(g_folders->sandbox.path());
    QStringList found
        = sandbox.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    found.removeOne(u"root"_s);
    return found;
}

const int createFolderPath = addFuzzTarget({ .name = u"CreateFolderPath"_s,
    .seeds = { "a", "a/b/c", "a:b/", "./x", "sub/.cache/dl", "...", "a//b", "../x", "x/../y",
        "\xef\xbc\x8f/b", "dl/a:b/", "../root/z", "a/./../../root/b" },
    .run =
        [](const FuzzInput &in) {
            const QString root = g_folders->root;
            // Paths of a usual length: a chain of thousands of folders only
            // measures the file system.
            const QString relative = QString::fromUtf8(in.bytes().left(300));
            const QString path = root + u'/' + relative;
            // A path that names a place outside the root asks for that place;
            // only paths inside it say something about the helper.
            const QString named = QDir::cleanPath(path);
            if (named != root && !named.startsWith(root + u'/'))
                return;
            FakeDialogs dialogs;
            const QString result = CreateFolderPath(path, dialogs);
            in.require(dialogs.messages.size() <= 1, u"the message was shown more than once"_s);
            if (!result.isEmpty()) {
                in.require(!result.endsWith(u'/'), u"the result ends with a separator"_s);
                in.require(FolderExists(result), u"the result is no folder"_s);
                const QString canonical = QFileInfo(result).canonicalFilePath();
                in.require(canonical == root || canonical.startsWith(root + u'/'),
                    u"the result lies outside the root"_s);
            }
            const QStringList outside = outsideRoot();
            in.require(
                outside.isEmpty(), u"a folder was made outside the root: "_s + outside.value(0));
            // Each input starts from a nearly empty root.
            if (QDir(root).count() > 20) {
                QDir(root).removeRecursively();
                QDir().mkpath(root);
            }
        },
    .perMille = 50,
    .setUp =
        [] {
            g_folders = std::make_unique<FolderSandbox>();
            g_folders->root = QFileInfo(g_folders->sandbox.path()).canonicalFilePath() + u"/root"_s;
            QDir().mkpath(g_folders->root);
        },
    .tearDown =
        [] {
            g_folders.reset();
        } });

// Names taken from addresses: the last segment never holds a separator and
// the extension stays short.
const int urlFileNames = addFuzzTarget({ .name = u"URL file names"_s,
    .seeds = { "https://link.springer.com/content/pdf/10.1007/978-3-030-12345-6.pdf",
        "http://host/get.php?id=5&name=a.pdf#page=2", "http://a/b/c/", "file:///x.pdf",
        "http://h/x.pdf?u=http://other/y.zip", "\\\\server\\share\\a.doc", "no-scheme/a.b.c" },
    .run =
        [](const FuzzInput &in) {
            const QString url = QString::fromUtf8(in.bytes());
            QString display;
            const QString extension = UrlFileNameAndExtension(url, &display);
            in.require(extension.size() < 7, u"the extension is 7 characters or more"_s);
            for (const bool drop : { false, true }) {
                const QString last = FileNameFromPath(url, drop);
                in.require(!last.contains(u'/') && !last.contains(u'\\'),
                    u"the last segment holds a separator"_s);
            }
            const QString name = CleanFileName(FileNameFromPath(url, true));
            in.require(!holdsForbidden(name), u"a name from an address holds a separator"_s);
            const QString root = SiteRootOfUrl(url);
            in.require(url.startsWith(root), u"the site root is not a prefix of the address"_s);
        },
    .tokens = { "http://", "https://", "/", "?", "#", "=", ".", "\\", "://" } });

} // namespace
